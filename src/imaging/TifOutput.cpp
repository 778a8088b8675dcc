#include "imaging/TifOutput.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "imaging/ImageErrors.h"
#include "platform/FileHandle.h"

namespace {

bool WriteAll(int iFd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        const ssize_t k = RetryOnInterrupt([&] { return ::write(iFd, p, n); });
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

bool PWriteAll(int iFd, const uint8_t* p, size_t n, uint64_t iPos)
{
    while (n > 0) {
        const ssize_t k = RetryOnInterrupt([&] { return ::pwrite(iFd, p, n, static_cast<off_t>(iPos)); });
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<size_t>(k);
        iPos += static_cast<uint64_t>(k);
    }
    return true;
}

} // namespace

CTifOutFile::~CTifOutFile()
{
    Discard();
}

bool CTifOutFile::Open(const std::string& szPath)
{
    Discard();
    if (!m_File.Open(szPath))
        return false;
    m_iFd = m_File.Descriptor();
    return true;
}

bool CTifOutFile::OpenForAppend(const std::string& szPath)
{
    // The pages go onto a copy, which replaces the file when it is closed:
    // a failed page leaves the pages that were there before untouched.
    Discard();
    if (!m_File.OpenCopy(szPath))
        return false;
    m_iFd = m_File.Descriptor();
    const off_t iEnd = ::lseek(m_iFd, 0, SEEK_END);
    if (iEnd < 0) {
        Discard();
        return false;
    }
    m_iFlushed = static_cast<uint64_t>(iEnd);
    return true;
}

bool CTifOutFile::Close()
{
    if (m_iFd < 0)
        return true;
    if (!WriteAll(m_iFd, m_Buffer.data(), m_iUsed))
        m_File.SetFailed(std::strerror(errno));
    const bool bOk = m_File.Commit();
    m_iFd = -1;
    m_iUsed = 0;
    m_iFlushed = 0;
    return bOk;
}

void CTifOutFile::Discard()
{
    m_File.Discard();
    m_iFd = -1;
    m_iUsed = 0;
    m_iFlushed = 0;
}

void CTifOutFile::Flush()
{
    if (m_iFd < 0)
        throw CImageError{IMG_CANT_WRITE_TIF};
    if (m_iUsed == 0)
        return;
    if (!WriteAll(m_iFd, m_Buffer.data(), m_iUsed))
        throw CImageError{IMG_CANT_WRITE_TIF};
    m_iFlushed += m_iUsed;
    m_iUsed = 0;
}

void CTifOutFile::Reserve(size_t iBytes)
{
    iBytes = std::clamp(iBytes, kMinBufferSize, kMaxBufferSize);
    if (iBytes <= m_Buffer.size())
        return;
    if (m_iFd >= 0)
        Flush();
    m_Buffer.resize(iBytes);
}

void CTifOutFile::Write(const void* pData, size_t iSize)
{
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    const size_t iBufferSize = m_Buffer.size();
    if (iSize <= iBufferSize - m_iUsed) {
        std::memcpy(m_Buffer.data() + m_iUsed, p, iSize);
        m_iUsed += iSize;
        return;
    }
    // Large pieces bypass the buffer once it is emptied: uncompressed rows are
    // then written at the speed of the disk.
    const size_t iFill = iBufferSize - m_iUsed;
    std::memcpy(m_Buffer.data() + m_iUsed, p, iFill);
    m_iUsed = iBufferSize;
    Flush();
    p += iFill;
    iSize -= iFill;
    if (iSize >= iBufferSize) {
        const size_t iDirect = iSize - iSize % iBufferSize;
        if (!WriteAll(m_iFd, p, iDirect))
            throw CImageError{IMG_CANT_WRITE_TIF};
        m_iFlushed += iDirect;
        p += iDirect;
        iSize -= iDirect;
    }
    std::memcpy(m_Buffer.data(), p, iSize);
    m_iUsed = iSize;
}

void CTifOutFile::AlignEven()
{
    if (Position() & 1)
        WriteByte(0);
}

void CTifOutFile::Patch(uint64_t iPosition, const void* pData, size_t iSize)
{
    if (m_iFd < 0 || iPosition + iSize > Position())
        throw CImageError{IMG_CANT_SEEK_TIF};
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    if (iPosition >= m_iFlushed) {
        std::memcpy(m_Buffer.data() + (iPosition - m_iFlushed), p, iSize);
        return;
    }
    if (iPosition + iSize > m_iFlushed)
        Flush();
    if (!PWriteAll(m_iFd, p, iSize, iPosition))
        throw CImageError{IMG_CANT_SEEK_TIF};
}

void CTifOutFile::Truncate(uint64_t iPosition)
{
    if (m_iFd < 0)
        throw CImageError{IMG_CANT_SEEK_TIF};
    if (iPosition >= m_iFlushed && iPosition <= Position()) {
        m_iUsed = static_cast<size_t>(iPosition - m_iFlushed);
        return;
    }
    Flush();
    if (iPosition > m_iFlushed || ::ftruncate(m_iFd, static_cast<off_t>(iPosition)) != 0 ||
        ::lseek(m_iFd, static_cast<off_t>(iPosition), SEEK_SET) < 0)
        throw CImageError{IMG_CANT_SEEK_TIF};
    m_iFlushed = iPosition;
}
