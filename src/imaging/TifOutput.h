#pragma once
// Buffered output of the TIFF writer: bytes are appended through a buffer of
// at least 10240 bytes, grown to hold a whole strip so the disk sees one write
// per strip; counts and offsets known only at the end are patched in place.
// Failures throw CImageError so a coder deep in a row need not thread result
// codes through every byte it emits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"

class CTifOutFile {
public:
    static constexpr size_t kMinBufferSize = 10240;
    static constexpr size_t kMaxBufferSize = size_t(1) << 20;

    CTifOutFile() = default;
    ~CTifOutFile();
    CTifOutFile(const CTifOutFile&) = delete;
    CTifOutFile& operator=(const CTifOutFile&) = delete;

    // Bytes go to a temporary beside szPath (CAtomicFile) that takes its
    // place only on Close.
    bool Open(const std::string& szPath);
    // Room for iBytes (kept between the two limits); flushes first.
    void Reserve(size_t iBytes);
    // Opens an existing file to add to its end.
    bool OpenForAppend(const std::string& szPath);
    bool IsOpen() const { return m_iFd >= 0; }
    // Puts the file in place; false (and the target untouched) when any
    // byte could not be written.
    bool Close();
    // Drops the file: the target stays as it was. An output never closed is
    // dropped.
    void Discard();

    void Write(const void* pData, size_t iSize);
    // Room for iSize bytes at the end of the buffer, to be filled in place and
    // then committed: uncompressed rows go to the disk without a copy of their own.
    // Null when the piece is larger than the buffer.
    uint8_t* Claim(size_t iSize)
    {
        if (iSize > m_Buffer.size())
            return nullptr;
        if (iSize > m_Buffer.size() - m_iUsed)
            Flush();
        return m_Buffer.data() + m_iUsed;
    }
    void Commit(size_t iSize) { m_iUsed += iSize; }
    void WriteByte(uint8_t b)
    {
        if (m_iUsed == m_Buffer.size())
            Flush();
        m_Buffer[m_iUsed++] = b;
    }
    // Zero bytes up to an even offset (value areas and IFDs start even).
    void AlignEven();
    uint64_t Position() const { return m_iFlushed + m_iUsed; }
    void Patch(uint64_t iPosition, const void* pData, size_t iSize);
    // Drops everything from iPosition on.
    void Truncate(uint64_t iPosition);
    void Flush();

private:
    CAtomicFile m_File;
    int m_iFd = -1; // m_File's descriptor while open
    size_t m_iUsed = 0;
    uint64_t m_iFlushed = 0; // file bytes before the buffer
    std::vector<uint8_t> m_Buffer = std::vector<uint8_t>(kMinBufferSize);
};
