#pragma once
// Where the bytes of an embedded colour profile come from.
#include <cstdint>
#include <cstdio>
#include <string>

class CIccProfileReader {
public:
    virtual ~CIccProfileReader() = default;
    virtual int32_t Open() = 0;               // 0 on success
    virtual int64_t GetSize() = 0;            // bytes
    virtual int64_t Read(uint8_t* pBuffer, int64_t iCount) = 0; // bytes read
    virtual void Close() = 0;
};

// A profile file; a bare name is looked up in the colour directory.
class CFileIccProfileReader : public CIccProfileReader {
public:
    CFileIccProfileReader() = default;
    ~CFileIccProfileReader() override { Close(); }
    CFileIccProfileReader(const CFileIccProfileReader&) = delete;
    CFileIccProfileReader& operator=(const CFileIccProfileReader&) = delete;

    void SetProfileName(const std::string& szName);
    const std::string& ProfilePath() const { return m_szPath; }
    int32_t Open() override;
    int64_t GetSize() override;
    int64_t Read(uint8_t* pBuffer, int64_t iCount) override;
    void Close() override;

private:
    std::string m_szPath;
    std::FILE* m_pFile = nullptr;
};

// The directory of installed ICC profiles: the first <dir>/color/icc of
// $XDG_DATA_DIRS that exists, else /usr/share/color/icc.
std::string GetColorDirectory();
