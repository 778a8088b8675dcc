#pragma once
// The header keys a light profile carries, read with the container's rules.
#include <cstdint>
#include <string>

// The bytes read from a file's start, up to the first zero byte, as a header text.
std::string LpfHeaderText(const std::string& bytes);

class CLpfHeader {
public:
    explicit CLpfHeader(std::string szText);
    int64_t DataPointer() const;
    bool ScannerName(std::string& sz) const;
    bool Date(std::string& sz) const;
    bool Time(std::string& sz) const;
    bool ColorScanner(bool& b) const;
    bool Color(int32_t& i) const;
    bool CameraUsed(int32_t& i) const;
    bool CameraCount(int32_t& i) const;
    bool ScannerWidth(int32_t& i) const;
    bool Corrected(bool& b) const;
    bool Generation(int32_t& i) const;
    bool FirmwareRevision(int32_t& i) const;
    bool Signed32Profile(bool& b) const;

private:
    bool Value(const char* szKey, std::string& sz) const;
    std::string m_szText;
};
