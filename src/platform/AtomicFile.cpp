#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Fixed storage so the termination handler touches no allocator. A slot is
// free, being filled, or holds a path the handler may remove.
enum : int { SLOT_FREE = 0, SLOT_FILLING, SLOT_PATH };
constexpr int kSlots = 32;
constexpr size_t kPathMax = 4096;
char g_szTemp[kSlots][kPathMax];
std::atomic<int> g_iSlotState[kSlots];

int RegisterTemporary(const std::string& szPath)
{
    if (szPath.size() >= kPathMax)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int iFree = SLOT_FREE;
        if (g_iSlotState[i].compare_exchange_strong(iFree, SLOT_FILLING)) {
            std::memcpy(g_szTemp[i], szPath.c_str(), szPath.size() + 1);
            g_iSlotState[i].store(SLOT_PATH);
            return i;
        }
    }
    return -1; // all in use: this temporary simply stays behind on a signal
}

void UnregisterTemporary(int& iSlot)
{
    if (iSlot >= 0 && iSlot < kSlots)
        g_iSlotState[iSlot].store(SLOT_FREE);
    iSlot = -1;
}

// mkstemp and the registration in one step, with the signals held off in
// between, so no temporary can be left behind unregistered.
int CreateTemporary(std::string& szTemplate, int& iSlot)
{
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    const int fd = ::mkstemp(szTemplate.data());
    iSlot = fd >= 0 ? RegisterTemporary(szTemplate) : -1;
    const int iError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = iError;
    return fd;
}

bool CopyInto(int iFrom, int iTo)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(iFrom, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t iDone = 0; iDone < n;) {
            const ssize_t k = ::write(iTo, buffer + iDone, static_cast<size_t>(n - iDone));
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                return false;
            iDone += k;
        }
    }
}

// The rename is on the disk only once the folder is: best effort, since some
// file systems refuse to sync a folder.
void SyncFolderOf(const std::string& szTarget)
{
    const size_t iSlash = szTarget.rfind('/');
    const std::string szFolder = iSlash == std::string::npos ? "." : iSlash == 0 ? "/" : szTarget.substr(0, iSlash);
    const int fd = ::open(szFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void RemoveUnfinishedTemporaries()
{
    for (int i = 0; i < kSlots; ++i)
        if (g_iSlotState[i].load() == SLOT_PATH)
            ::unlink(g_szTemp[i]);
}

CAtomicFile::~CAtomicFile()
{
    Discard();
}

bool CAtomicFile::Create(const std::string& szTarget)
{
    Discard();
    m_szTarget = szTarget;
    m_szTemp = szTarget + ".tmp-XXXXXX";
    m_bFailed = false;
    m_szError.clear();
    const int fd = CreateTemporary(m_szTemp, m_iSignalSlot);
    if (fd < 0) {
        m_szError = std::strerror(errno);
        m_szTemp.clear();
        return false;
    }
    // A replaced file keeps its permissions; a new one is readable by all.
    struct stat st {};
    ::fchmod(fd, ::stat(szTarget.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_mode & 07777 : 0644);
    m_pFile = ::fdopen(fd, "wb");
    if (!m_pFile) {
        m_szError = std::strerror(errno);
        ::close(fd);
        Discard();
        return false;
    }
    return true;
}

bool CAtomicFile::Open(const std::string& szTarget)
{
    return Create(szTarget);
}

bool CAtomicFile::OpenCopy(const std::string& szTarget)
{
    if (!Create(szTarget))
        return false;
    const int iFrom = ::open(szTarget.c_str(), O_RDONLY | O_CLOEXEC);
    if (iFrom < 0) {
        if (errno == ENOENT)
            return true; // nothing there yet: the file starts empty
        m_szError = std::strerror(errno);
        Discard();
        return false;
    }
    const bool bCopied = CopyInto(iFrom, Descriptor());
    const int iError = errno;
    ::close(iFrom);
    if (!bCopied) {
        m_szError = std::strerror(iError);
        Discard();
        return false;
    }
    return true;
}

bool CAtomicFile::Write(const void* pData, size_t iSize)
{
    if (!m_pFile || m_bFailed)
        return false;
    if (iSize && std::fwrite(pData, 1, iSize, m_pFile) != iSize) {
        SetFailed(std::strerror(errno));
        return false;
    }
    return true;
}

void CAtomicFile::SetFailed(const std::string& szWhy)
{
    if (!m_bFailed)
        m_szError = szWhy;
    m_bFailed = true;
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
    if (bOk) {
        m_szTemp.clear();
        SyncFolderOf(m_szTarget);
    }
    Discard();
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
    UnregisterTemporary(m_iSignalSlot);
}

bool WriteFileAtomically(const std::string& szPath, const void* pData, size_t iSize, std::string* pError)
{
    CAtomicFile file;
    const bool bOk = file.Open(szPath) && file.Write(pData, iSize) && file.Commit();
    if (!bOk && pError)
        *pError = file.Error();
    return bOk;
}
