#include "datafiles/VersionInfo.h"

#include <cstdio>

#include "BuildVersion.h"
#include "datafiles/Settings.h"

namespace {
void PutU32(std::array<uint8_t, CVersionInfo::kFixedBlockSize>& block, size_t iOffset, uint32_t iValue)
{
    for (int i = 0; i < 4; ++i)
        block[iOffset + i] = static_cast<uint8_t>(iValue >> (8 * i));
}

// "6.0.0" -> 6, 0, 0
void SplitVersion(const char* szVersion, uint32_t parts[3])
{
    parts[0] = parts[1] = parts[2] = 0;
    unsigned a = 0, b = 0, c = 0;
    const int n = std::sscanf(szVersion, "%u.%u.%u", &a, &b, &c);
    if (n >= 1) parts[0] = a & 0xFFFF;
    if (n >= 2) parts[1] = b & 0xFFFF;
    if (n >= 3) parts[2] = c & 0xFFFF;
}
} // namespace

const std::string& CVersionInfo::Get(const std::string& szName) const
{
    static const std::string kEmpty;
    for (size_t i = 0; i < m_szStrings.size(); ++i)
        if (szName == kNames[i])
            return m_szStrings[i];
    return kEmpty;
}

void CVersionInfo::Set(const std::string& szName, const std::string& szValue)
{
    for (size_t i = 0; i < m_szStrings.size(); ++i)
        if (szName == kNames[i])
            m_szStrings[i] = szValue.substr(0, kMaxString - 1);
}

std::string VersionLookupPath(uint16_t iLanguage, uint16_t iCodePage, const std::string& szName)
{
    char szPath[64];
    std::snprintf(szPath, sizeof szPath, "\\StringFileInfo\\%04X%04X\\", iLanguage, iCodePage);
    return szPath + szName;
}

bool ReadVersionInfo(const std::string& szModule, uint16_t /*iLanguage*/, uint16_t /*iCodePage*/, CVersionInfo& info)
{
    // The strings are stamped once per build, identical for every language and
    // code page we are asked for.
    if (!szModule.empty() && szModule != ProgramExecutablePath())
        return false;
    info = CVersionInfo{};
    uint32_t file[3], product[3];
    SplitVersion(LUMORA_FILE_VERSION, file);
    SplitVersion(LUMORA_PRODUCT_VERSION, product);
    PutU32(info.m_FixedBlock, 0, 0xFEEF04BDu);                    // signature
    PutU32(info.m_FixedBlock, 4, 0x00010000u);                    // structure version
    PutU32(info.m_FixedBlock, 8, (file[0] << 16) | file[1]);
    PutU32(info.m_FixedBlock, 12, file[2] << 16);
    PutU32(info.m_FixedBlock, 16, (product[0] << 16) | product[1]);
    PutU32(info.m_FixedBlock, 20, product[2] << 16);
    PutU32(info.m_FixedBlock, 24, 0x3Fu);                         // flags mask
    PutU32(info.m_FixedBlock, 36, 1u);                            // file type: application
    info.Set("CompanyName", LUMORA_COMPANY_NAME);
    info.Set("FileDescription", LUMORA_FILE_DESCRIPTION);
    info.Set("FileVersion", LUMORA_FILE_VERSION);
    info.Set("InternalName", LUMORA_INTERNAL_NAME);
    info.Set("LegalCopyright", LUMORA_LEGAL_COPYRIGHT);
    info.Set("OriginalFilename", LUMORA_ORIGINAL_FILENAME);
    info.Set("ProductName", LUMORA_PRODUCT_NAME);
    info.Set("ProductVersion", LUMORA_PRODUCT_VERSION);
    return true;
}

CVersionInfo OwnVersionInfo()
{
    CVersionInfo info;
    ReadVersionInfo(std::string(), 1033, 1200, info);
    return info;
}

std::string VersionLine(const std::string& szProgram)
{
    const CVersionInfo info = OwnVersionInfo();
    return szProgram + ": " + info.Get("FileDescription") + ", Release " + info.Get("ProductVersion") + ", build " +
           info.Get("FileVersion");
}
