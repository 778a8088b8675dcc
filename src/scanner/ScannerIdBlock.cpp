#include "scanner/ScannerIdBlock.h"

#include <cstring>

#include "datafiles/VersionInfo.h"
#include "platform/Log.h"
#include "scanner/Scanner.h"
#include "scanner/zel_scan_2000.h"

namespace {

std::string Trimmed(std::string sz)
{
    while (!sz.empty() && (sz.back() == ' ' || sz.back() == '\0' || sz.back() == '\r' || sz.back() == '\n'))
        sz.pop_back();
    size_t i = 0;
    while (i < sz.size() && sz[i] == ' ')
        ++i;
    return sz.substr(i);
}

// The word after szWord in the identification text ("... firmware 6.0 build 12").
std::optional<std::string> WordAfter(const std::string& szText, const char* szWord)
{
    const std::string szKey = std::string(szWord) + " ";
    const size_t i = szText.find(szKey);
    if (i == std::string::npos)
        return std::nullopt;
    const size_t iStart = i + szKey.size();
    const size_t iEnd = szText.find(' ', iStart);
    std::string sz = szText.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart);
    if (sz.empty())
        return std::nullopt;
    return sz;
}

} // namespace

void CScannerIdBlock::Collect(CScanner& scanner, bool bWithChassis)
{
    m_Fields = {};
    if (const std::string szName = scanner.GetScannerName(); !szName.empty())
        m_Fields[SCANNER] = szName;
    if (bWithChassis)
        if (const std::string szUnit = scanner.GetUnitText(); !szUnit.empty())
            m_Fields[CHASSIS_NO] = szUnit;
    char szSerial[13] = {};
    if (scanner.ReadBuffer(ZEL_BUF_SERIAL, 0, std::span(reinterpret_cast<uint8_t*>(szSerial), 12)) == 0)
        if (std::string sz = Trimmed(std::string(szSerial, strnlen(szSerial, 12))); !sz.empty())
            m_Fields[SERIAL_NO] = sz;
    const CDateTime now = CDateTime::Now();
    m_Fields[DATE] = now.DateString();
    m_Fields[TIME] = now.TimeString();
    uint8_t id[256] = {};
    int32_t iReceived = 0;
    if (scanner.ReadIdentification(id, iReceived) == 0 && iReceived > 0) {
        const std::string szText(reinterpret_cast<const char*>(id), strnlen(reinterpret_cast<const char*>(id),
                                                                            static_cast<size_t>(iReceived)));
        m_Fields[FIRMWARE_REVISION] = WordAfter(szText, "firmware");
        m_Fields[FIRMWARE_BUILD] = WordAfter(szText, "build");
    }
    const CVersionInfo own = OwnVersionInfo();
    if (!own.Get("ProductVersion").empty())
        m_Fields[PROGRAM_REVISION] = own.Get("ProductVersion");
    if (!own.Get("FileVersion").empty())
        m_Fields[PROGRAM_BUILD] = own.Get("FileVersion");
}

std::string CScannerIdBlock::Text() const
{
    std::string sz;
    for (size_t i = 0; i < FIELD_COUNT; ++i) {
        if (!m_Fields[i])
            continue;
        std::string szKey = FormatText("%s ", kKeys[i]);
        while (static_cast<int>(szKey.size()) < m_iKeyColumn)
            szKey += ' ';
        sz += szKey + FormatText("= %s\n", m_Fields[i]->c_str());
    }
    return sz;
}

bool CScannerIdBlock::Write(std::FILE* pFile) const
{
    const std::string sz = Text();
    return std::fwrite(sz.data(), 1, sz.size(), pFile) == sz.size();
}

bool CScannerIdBlock::ParseLine(const std::string& szLine)
{
    // A key must end at a blank or "=": "Scanner" is no prefix match of a longer word.
    for (size_t i = 0; i < FIELD_COUNT; ++i) {
        const size_t n = std::strlen(kKeys[i]);
        if (szLine.compare(0, n, kKeys[i]) != 0 || (szLine.size() > n && szLine[n] != ' ' && szLine[n] != '='))
            continue;
        const size_t iEquals = szLine.find('=', n);
        if (iEquals == std::string::npos)
            return false;
        std::string szValue = iEquals + 2 <= szLine.size() ? szLine.substr(iEquals + 2) : std::string();
        while (!szValue.empty() && (szValue.back() == '\n' || szValue.back() == '\r'))
            szValue.pop_back();
        m_Fields[i] = szValue;
        return true;
    }
    return false;
}
