// Unpacks arbitrary bytes as a Rawdex file into a private temporary folder;
// nothing may be written outside it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "datafiles/Rawdex.h"
#include "datafiles/Settings.h"

namespace {
// The run's own folder, removed when the process ends.
struct CFuzzFolder {
    std::string m_szPath;
    CFuzzFolder()
    {
        std::string szTemplate = (std::filesystem::temp_directory_path() / "lumora-fuzz-XXXXXX").string();
        if (!::mkdtemp(szTemplate.data()))
            std::abort();
        SetProgramDirectoryOverride(szTemplate);
        m_szPath = szTemplate + "/";
    }
    ~CFuzzFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_szPath, ec);
    }
};

const std::string& Folder()
{
    static const CFuzzFolder folder;
    return folder.m_szPath;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string szDir = Folder();
    const std::string szOut = szDir + "out/";
    std::error_code ec;
    std::filesystem::remove_all(szOut, ec);
    std::filesystem::create_directories(szOut, ec);
    const std::string szPack = szDir + "pack.con";
    if (std::FILE* pFile = std::fopen(szPack.c_str(), "wb")) {
        std::fwrite(data, 1, size, pFile);
        std::fclose(pFile);
    }
    const CRawdexResult result = UnpackRawdex(szPack, szOut);
    for (const std::string& szWritten : result.m_Written)
        if (szWritten.compare(0, szOut.size(), szOut) != 0 || szWritten.find('/', szOut.size()) != std::string::npos)
            std::abort(); // an entry escaped its folder
    std::filesystem::remove_all(szOut, ec);
    return 0;
}
