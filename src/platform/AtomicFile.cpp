#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Signals.h"

CAtomicFile::~CAtomicFile()
{
    Discard();
}

bool CAtomicFile::Open(const std::string& szTarget)
{
    Discard();
    m_szTarget = szTarget;
    m_szTemp = szTarget + ".tmp-XXXXXX";
    m_bFailed = false;
    m_szError.clear();
    const int fd = CreateTemporaryFile(m_szTemp, m_iSignalSlot);
    if (fd < 0) {
        m_szError = std::strerror(errno);
        m_szTemp.clear();
        return false;
    }
    ::fchmod(fd, 0644);
    m_pFile = ::fdopen(fd, "wb");
    if (!m_pFile) {
        m_szError = std::strerror(errno);
        ::close(fd);
        ::unlink(m_szTemp.c_str());
        m_szTemp.clear();
        UnregisterTemporaryFile(m_iSignalSlot);
        m_iSignalSlot = -1;
        return false;
    }
    return true;
}

bool CAtomicFile::Write(const void* pData, size_t iSize)
{
    if (!m_pFile || m_bFailed)
        return false;
    if (iSize && std::fwrite(pData, 1, iSize, m_pFile) != iSize) {
        m_bFailed = true;
        m_szError = std::strerror(errno);
        return false;
    }
    return true;
}

bool CAtomicFile::Commit()
{
    if (!m_pFile)
        return false;
    bool bOk = !m_bFailed && std::fflush(m_pFile) == 0 && ::fsync(::fileno(m_pFile)) == 0;
    if (!bOk && m_szError.empty())
        m_szError = std::strerror(errno);
    if (std::fclose(m_pFile) != 0 && bOk) {
        bOk = false;
        m_szError = std::strerror(errno);
    }
    m_pFile = nullptr;
    if (bOk && std::rename(m_szTemp.c_str(), m_szTarget.c_str()) != 0) {
        bOk = false;
        m_szError = std::strerror(errno);
    }
    if (!bOk)
        ::unlink(m_szTemp.c_str());
    m_szTemp.clear();
    UnregisterTemporaryFile(m_iSignalSlot);
    m_iSignalSlot = -1;
    return bOk;
}

void CAtomicFile::Discard()
{
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    if (!m_szTemp.empty()) {
        ::unlink(m_szTemp.c_str());
        m_szTemp.clear();
    }
    UnregisterTemporaryFile(m_iSignalSlot);
    m_iSignalSlot = -1;
}

bool WriteFileAtomically(const std::string& szPath, const void* pData, size_t iSize, std::string* pError)
{
    CAtomicFile file;
    const bool bOk = file.Open(szPath) && file.Write(pData, iSize) && file.Commit();
    if (!bOk && pError)
        *pError = file.Error();
    return bOk;
}
