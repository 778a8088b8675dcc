#pragma once
// Buffered output of the TIFF writer: bytes are appended through a 10240-byte
// buffer; counts and offsets known only at the end are patched in place.
// Failures throw CImageError so a coder deep in a row need not thread result
// codes through every byte it emits.
#include <cstddef>
#include <cstdint>
#include <string>

class CTifOutFile {
public:
    static constexpr size_t kBufferSize = 10240;

    CTifOutFile() = default;
    ~CTifOutFile();
    CTifOutFile(const CTifOutFile&) = delete;
    CTifOutFile& operator=(const CTifOutFile&) = delete;

    bool Open(const std::string& szPath);
    // Opens an existing file to add to its end.
    bool OpenForAppend(const std::string& szPath);
    bool IsOpen() const { return m_iFd >= 0; }
    // False when buffered bytes could not be written.
    bool Close();

    void Write(const void* pData, size_t iSize);
    void WriteByte(uint8_t b)
    {
        if (m_iUsed == kBufferSize)
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
    int m_iFd = -1;
    size_t m_iUsed = 0;
    uint64_t m_iFlushed = 0; // file bytes before the buffer
    uint8_t m_Buffer[kBufferSize];
};
