// Settings lookups on arbitrary files: alias chains, the fix-path rules and
// the INI reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "datafiles/Settings.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One file in a folder of the run's own, removed when the process ends.
    struct CFuzzFolder {
        std::string m_szDir;
        CFuzzFolder()
        {
            std::string szTemplate = (std::filesystem::temp_directory_path() / "lumora-fuzz-ini-XXXXXX").string();
            if (!::mkdtemp(szTemplate.data()))
                std::abort();
            m_szDir = szTemplate;
        }
        ~CFuzzFolder()
        {
            std::error_code ec;
            std::filesystem::remove_all(m_szDir, ec);
        }
    };
    static const CFuzzFolder folder;
    const std::string szPath = folder.m_szDir + "/Fct_tst6.ini";
    const std::string szText(reinterpret_cast<const char*>(data), size);
    if (std::FILE* pFile = std::fopen(szPath.c_str(), "wb")) {
        std::fwrite(data, 1, size, pFile);
        std::fclose(pFile);
    }
    std::string szOut;
    for (const char* szSection : {"0x12", "A", "Miscellaneous", ""})
        LookupWithAliases(szPath, szSection, "NoiseTest", "dflt", szOut);
    CIniFile ini;
    ini.LoadFromText(szText);
    for (const std::string& szSection : ini.Sections())
        (void)ini.Entries(szSection);
    CFixPathSettings fix;
    ParseFixPathText(szText, fix);
    (void)FormatFixPathText(fix);
    return 0;
}
