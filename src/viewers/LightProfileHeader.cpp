#include "viewers/LightProfileHeader.h"

#include "platform/IniFile.h"

std::string LpfHeaderText(const std::string& bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

CLpfHeader::CLpfHeader(std::string szText) : m_szText(std::move(szText)) {}

bool CLpfHeader::Value(const char* szKey, std::string& sz) const
{
    const size_t iAt = m_szText.find(szKey);
    if (iAt == std::string::npos)
        return false;
    const size_t iStart = iAt + std::char_traits<char>::length(szKey);
    const size_t iEnd = m_szText.find_first_of("\r\n", iStart);
    sz = m_szText.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart);
    return true;
}

int64_t CLpfHeader::DataPointer() const
{
    const size_t iAt = m_szText.find('=');
    if (iAt == std::string::npos)
        return -1;
    return AtoiText(m_szText.substr(iAt + 1, 10));
}

bool CLpfHeader::ScannerName(std::string& sz) const { return Value("ScannerName=", sz); }

bool CLpfHeader::Date(std::string& sz) const
{
    sz.clear();
    return Value("Date=", sz);
}

bool CLpfHeader::Time(std::string& sz) const
{
    sz.clear();
    return Value("Time=", sz);
}

bool CLpfHeader::ColorScanner(bool& b) const
{
    std::string v;
    b = false;
    if (!Value("ColorScanner=", v))
        return false;
    b = !v.empty() && v[0] == 'T';
    return true;
}

bool CLpfHeader::Corrected(bool& b) const
{
    std::string v;
    b = false;
    if (!Value("Corrected=", v))
        return false;
    b = !v.empty() && v[0] == 'T';
    return true;
}

bool CLpfHeader::Signed32Profile(bool& b) const
{
    std::string v;
    b = false;
    if (!Value("IsSigned_32_Profile=", v) || v.empty() || (v[0] != 't' && v[0] != 'T'))
        return false;
    b = true;
    return true;
}

bool CLpfHeader::Color(int32_t& i) const
{
    std::string v;
    i = 0;
    if (!Value("Color=", v))
        return false;
    if (v.compare(0, 4, "Gray") == 0)
        i = 4;
    else if (!v.empty() && v[0] == 'R')
        i = v.size() > 4 && v[4] == 'G' ? 254 : 0;
    else if (!v.empty() && v[0] == 'G')
        i = 1;
    else if (!v.empty() && v[0] == 'B')
        i = 2;
    else if (!v.empty() && v[0] == 'N')
        i = 1;
    else
        i = AtoiText(v);
    return true;
}

bool CLpfHeader::CameraUsed(int32_t& i) const
{
    std::string v;
    i = 0;
    if (!Value("CameraUsed=", v))
        return false;
    if (v.compare(0, 2, "Al") == 0)
        i = 255;
    else if (!v.empty() && v[0] >= 'A' && v[0] <= 'H')
        i = v[0] - 'A';
    else
        i = AtoiText(v);
    return true;
}

namespace {
bool IntValue(const CLpfHeader&, bool bFound, const std::string& v, int32_t& i)
{
    i = bFound ? AtoiText(v) : 0;
    return bFound;
}
} // namespace

bool CLpfHeader::CameraCount(int32_t& i) const { std::string v; return IntValue(*this, Value("CameraCount=", v), v, i); }
bool CLpfHeader::ScannerWidth(int32_t& i) const { std::string v; return IntValue(*this, Value("ScannerWidth(1/1200)=", v), v, i); }
bool CLpfHeader::Generation(int32_t& i) const { std::string v; return IntValue(*this, Value("Generation=", v), v, i); }
bool CLpfHeader::FirmwareRevision(int32_t& i) const { std::string v; return IntValue(*this, Value("Firmware Revision=", v), v, i); }
