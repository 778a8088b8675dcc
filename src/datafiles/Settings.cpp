#include "datafiles/Settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileHandle.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Paths.h"

namespace {
std::mutex g_SettingsMutex;
std::string g_szProgramDirOverride;
std::string g_szFixPathFolder; // remembered for the run once found

// The fix-path file is a handful of short lines; anything beyond this is not
// one of ours and is not read.
constexpr size_t kMaxFixPathFile = 1u << 20;

std::string WithSlash(std::string sz)
{
    if (!sz.empty() && sz.back() != '/')
        sz += '/';
    return sz;
}

bool ReadSmallFile(const std::string& szPath, size_t iMax, std::string& szText)
{
    return ReadFilePrefix(szPath, iMax, szText);
}

// The value after szKey in szText up to CR or LF, or nullopt.
bool ValueAfter(const std::string& szText, const std::string& szKey, std::string& szValue)
{
    const size_t iKey = szText.find(szKey);
    if (iKey == std::string::npos)
        return false;
    const size_t iStart = iKey + szKey.size();
    size_t iEnd = szText.find_first_of("\r\n", iStart);
    if (iEnd == std::string::npos)
        iEnd = szText.size();
    szValue = szText.substr(iStart, iEnd - iStart);
    return true;
}
} // namespace

std::string ProgramExecutablePath()
{
    return RunningProgramPath();
}

std::string ProgramDirectory()
{
    {
        std::lock_guard<std::mutex> lock(g_SettingsMutex);
        if (!g_szProgramDirOverride.empty())
            return g_szProgramDirOverride;
    }
    return RunningProgramFolder();
}

bool FindProgramDirectory(std::string& szDirectory)
{
    szDirectory = ProgramDirectory();
    if (szDirectory.empty()) {
        ShowMessage("Error in Get Program Path");
        return false;
    }
    return true;
}

void SetProgramDirectoryOverride(const std::string& szDirectory)
{
    std::lock_guard<std::mutex> lock(g_SettingsMutex);
    g_szProgramDirOverride = WithSlash(szDirectory);
}

std::vector<std::string> SettingsRoots()
{
    std::string szList;
    if (const char* p = std::getenv("LUMORA_SETTINGS_ROOTS"))
        szList = p;
    else {
        std::string szConfig;
        if (const char* pXdg = std::getenv("XDG_CONFIG_HOME"); pXdg && *pXdg)
            szConfig = pXdg;
        else if (const char* pHome = std::getenv("HOME"); pHome && *pHome)
            szConfig = std::string(pHome) + "/.config";
        szList = (szConfig.empty() ? std::string() : szConfig + "/lumora") + ":/etc/lumora";
    }
    std::vector<std::string> roots;
    size_t iStart = 0;
    while (iStart <= szList.size()) {
        size_t iColon = szList.find(':', iStart);
        if (iColon == std::string::npos)
            iColon = szList.size();
        if (iColon > iStart)
            roots.push_back(WithSlash(szList.substr(iStart, iColon - iStart)));
        iStart = iColon + 1;
    }
    return roots;
}

bool FileExists(const std::string& szPath)
{
    struct stat st {};
    return ::stat(szPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileExistsIn(const std::string& szFolder, const std::string& szName)
{
    return FileExists(szFolder + szName);
}

std::string ResolveFileNoCase(const std::string& szFolder, const std::string& szName)
{
    if (FileExistsIn(szFolder, szName))
        return szFolder + szName;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(szFolder.empty() ? "." : szFolder, ec)) {
        const std::string szEntry = entry.path().filename().string();
        if (szEntry.size() == szName.size() &&
            std::equal(szEntry.begin(), szEntry.end(), szName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }) &&
            entry.is_regular_file(ec))
            return szFolder + szEntry;
    }
    return szFolder + szName;
}

bool FileExistsInNoCase(const std::string& szFolder, const std::string& szName)
{
    return FileExists(ResolveFileNoCase(szFolder, szName));
}

bool FindSettingsFolder(const std::string& szFileName, std::string& szFolder)
{
    const bool bRemember = szFileName == SETTINGS_FIX_PATH_FILE;
    if (bRemember) {
        std::lock_guard<std::mutex> lock(g_SettingsMutex);
        if (!g_szFixPathFolder.empty()) {
            szFolder = g_szFixPathFolder;
            return true;
        }
    }
    std::string szFound;
    const std::string szProgram = ProgramDirectory();
    if (!szProgram.empty() && FileExistsIn(szProgram, szFileName))
        szFound = szProgram;
    else
        for (const std::string& szRoot : SettingsRoots())
            if (FileExistsIn(szRoot + "Fct_Test/", szFileName)) {
                szFound = szRoot + "Fct_Test/";
                break;
            }
    if (szFound.empty())
        return false;
    szFolder = szFound;
    if (bRemember) {
        std::lock_guard<std::mutex> lock(g_SettingsMutex);
        g_szFixPathFolder = szFound;
    }
    return true;
}

void ResetSettingsCache()
{
    std::lock_guard<std::mutex> lock(g_SettingsMutex);
    g_szFixPathFolder.clear();
}

bool LookupWithAliases(const std::string& szIniPath, const std::string& szSection, const std::string& szKey,
                       const std::string& szDefault, std::string& szOut)
{
    szOut = szDefault;
    CIniFile ini;
    if (!ini.Load(szIniPath))
        return false;
    std::string szCurrent = szSection;
    std::set<std::string> visited;
    for (;;) {
        std::string szLower = szCurrent;
        std::transform(szLower.begin(), szLower.end(), szLower.begin(), [](unsigned char c) { return std::tolower(c); });
        // A chain back to a section already seen would never end: such a
        // file answers nothing but the default.
        if (!visited.insert(szLower).second) {
            szOut = szDefault;
            return false;
        }
        const std::string szAlias = ini.Get(szCurrent, "ALIAS").value_or(szDefault);
        if (szAlias == szDefault)
            break;
        szCurrent = szAlias;
    }
    szOut = ini.Get(szCurrent, szKey).value_or(szDefault);
    return szOut != szDefault;
}

bool GetSharedSetting(const std::string& szSection, const std::string& szKey, const std::string& szDefault,
                      std::string& szOut, std::string* pDirectory)
{
    szOut = szDefault;
    std::string szFolder;
    bool bProgramDir = false;
    if (pDirectory && !pDirectory->empty())
        szFolder = WithSlash(*pDirectory);
    else {
        if (!FindProgramDirectory(szFolder))
            return false;
        bProgramDir = true;
    }
    if (LookupWithAliases(ResolveFileNoCase(szFolder, SETTINGS_SHARED_INI), szSection, szKey, szDefault, szOut))
        return true;
    if (!bProgramDir)
        return false;
    for (const std::string& szRoot : SettingsRoots()) {
        if (LookupWithAliases(ResolveFileNoCase(szRoot, SETTINGS_SHARED_INI), szSection, szKey, szDefault, szOut)) {
            if (pDirectory)
                *pDirectory = szRoot;
            return true;
        }
    }
    szOut = szDefault;
    return false;
}

bool GetToolSetting(const std::string& szSection, const std::string& szKey, const std::string& szDefault,
                    std::string& szOut)
{
    szOut = szDefault;
    const std::string szIni = FindSettingsFileNoCase(SETTINGS_TOOL_INI);
    return !szIni.empty() && LookupWithAliases(szIni, szSection, szKey, szDefault, szOut);
}

std::string FindSettingsFileNoCase(const std::string& szName)
{
    std::vector<std::string> folders;
    if (const std::string szProgram = ProgramDirectory(); !szProgram.empty())
        folders.push_back(szProgram);
    for (const std::string& szRoot : SettingsRoots()) {
        folders.push_back(szRoot + "Fct_Test/");
        folders.push_back(szRoot);
    }
    for (const std::string& szFolder : folders)
        if (const std::string szPath = ResolveFileNoCase(szFolder, szName); FileExists(szPath))
            return szPath;
    return std::string();
}

bool IsTestStation()
{
    return !FindSettingsFileNoCase(SETTINGS_SHARED_INI).empty();
}

std::string ProgramStateFolder()
{
    if (std::string szDir = WritableProgramFolder(ProgramDirectory()); !szDir.empty())
        return szDir;
    return StateFolder();
}

// ---------------------------------------------------------------- fix path file

void ParseFixPathText(const std::string& szTextIn, CFixPathSettings& s)
{
    s = CFixPathSettings{};
    // "Fixed Path=" also stands inside "Use Fixed Path="; spoil that occurrence
    // in a working copy so the search below finds the key of its own.
    std::string szText = szTextIn;
    std::string szValue;
    if (const size_t iUse = szText.find("Use Fixed Path="); iUse != std::string::npos) {
        if (ValueAfter(szText, "Use Fixed Path=", szValue))
            s.m_bUseFixedPath = (!szValue.empty() && (szValue[0] == 'T' || szValue[0] == 't')) ||
                                (szValue.size() > 1 && (szValue[1] == 'N' || szValue[1] == 'n'));
        size_t iPos = iUse;
        while (iPos != std::string::npos) {
            szText[iPos + 5] = ' ';
            iPos = szText.find("Use Fixed Path=", iPos + 1);
        }
    }
    if (ValueAfter(szText, "Fixed Path=", szValue))
        s.m_szFixedPath = WithFolderSeparator(szValue);
    for (int iGen = CFixPathSettings::kFirstGeneration; iGen <= CFixPathSettings::kLastGeneration; ++iGen)
        if (ValueAfter(szText, FormatText("Fixed Path %dGen=", iGen), szValue))
            s.m_szGenerationPath[iGen] = szValue;
    if (ValueAfter(szText, "Last Chassis No=", szValue)) {
        std::string szClean;
        for (char c : szValue)
            if (static_cast<unsigned char>(c) >= 32)
                szClean += c;
        s.m_szLastChassisNo = szClean;
    }
}

std::string FormatFixPathText(const CFixPathSettings& s)
{
    std::string szText = FormatText("Use Fixed Path=%s\n", s.m_bUseFixedPath ? "ON" : "OFF");
    szText += "Fixed Path=" + s.m_szFixedPath + "\n";
    for (int iGen = CFixPathSettings::kFirstGeneration; iGen <= CFixPathSettings::kLastGeneration; ++iGen)
        szText += FormatText("Fixed Path %dGen=", iGen) + s.m_szGenerationPath[iGen] + "\n";
    szText += "Last Chassis No=" + s.m_szLastChassisNo + "\n";
    return szText;
}

bool ReadFixPathFile(CFixPathSettings& settings)
{
    settings = CFixPathSettings{};
    std::string szFolder, szText;
    if (!FindSettingsFolder(SETTINGS_FIX_PATH_FILE, szFolder) ||
        !ReadSmallFile(szFolder + SETTINGS_FIX_PATH_FILE, kMaxFixPathFile, szText))
        return false;
    ParseFixPathText(szText, settings);
    return true;
}

bool WriteFixPathFile(const CFixPathSettings& settings)
{
    std::string szFolder;
    if (!FindSettingsFolder(SETTINGS_FIX_PATH_FILE, szFolder)) {
        // A first file goes where the lookup finds it again: the program's
        // folder in a build tree, else the user's own settings root.
        szFolder = WritableProgramFolder(ProgramDirectory());
        const std::vector<std::string> roots = SettingsRoots();
        if (szFolder.empty() && !roots.empty()) {
            szFolder = roots.front() + "Fct_Test/";
            std::error_code ec;
            std::filesystem::create_directories(szFolder, ec);
        }
        if (szFolder.empty())
            return false;
    }
    const std::string szText = FormatFixPathText(settings);
    return WriteFileAtomically(szFolder + SETTINGS_FIX_PATH_FILE, szText.data(), szText.size());
}

bool SaveLastPath(const std::string& szFolder)
{
    // The record lives beside the fix-path file, where the sibling tool reads
    // it; without that file there is no tool to tell.
    std::string szSettings;
    if (!FindSettingsFolder(SETTINGS_FIX_PATH_FILE, szSettings))
        return false;
    return WriteFileAtomically(szSettings + SETTINGS_LAST_PATH_FILE, szFolder.data(), szFolder.size());
}

std::string ReadLastPath()
{
    std::string szSettings;
    if (!FindSettingsFolder(SETTINGS_FIX_PATH_FILE, szSettings))
        return std::string();
    std::string sz;
    if (!ReadFilePrefix(szSettings + SETTINGS_LAST_PATH_FILE, 1023, sz))
        return std::string();
    const size_t iEnd = sz.find_first_of("\r\n");
    if (iEnd != std::string::npos)
        sz.resize(iEnd);
    return sz;
}

// ---------------------------------------------------------------- product info

std::string FindProductInfoFile()
{
    if (const char* p = std::getenv("LUMORA_PRODUCT_INFO"); p && *p)
        return FileExists(p) ? std::string(p) : std::string();
    for (const std::string& szRoot : SettingsRoots())
        if (FileExistsIn(szRoot, SETTINGS_PRODUCT_INFO_FILE))
            return szRoot + SETTINGS_PRODUCT_INFO_FILE;
    return std::string();
}

CProductInfo ReadProductInfo(int32_t iSelector)
{
    CProductInfo info;
    ReadVersionInfo(std::string(), 1033, iSelector == PRODUCT_SELECTOR_4 ? 1252 : 1200, info.m_Version);
    const std::string szFile = FindProductInfoFile();
    if (szFile.empty())
        return info;
    CIniFile ini;
    if (!ini.Load(szFile))
        return info;
    auto text = [&](const char* szName, std::string& szOut, bool& bFound) {
        szOut = ini.Get("ProductInfo", szName).value_or(std::string());
        bFound = !szOut.empty();
    };
    text("Name", info.m_szName, info.m_bNameFound);
    text("Version", info.m_szVersion, info.m_bVersionFound);
    text("InstallBuild", info.m_szInstallBuild, info.m_bInstallBuildFound);
    text("Company", info.m_szCompany, info.m_bCompanyFound);
    text("Path", info.m_szPath, info.m_bPathFound);
    std::string szOem;
    text("Oem", szOem, info.m_bOemFound);
    info.m_iOem = info.m_bOemFound ? AtoiText(szOem) : 0;
    return info;
}

// ---------------------------------------------------------------- paths

bool MakeUniqueFileName(std::string& szPath)
{
    if (::access(szPath.c_str(), F_OK) != 0)
        return true;
    const size_t iSlash = szPath.rfind('/');
    const size_t iDot = szPath.rfind('.');
    const bool bHasExt = iDot != std::string::npos && (iSlash == std::string::npos || iDot > iSlash);
    const std::string szBase = bHasExt ? szPath.substr(0, iDot) : szPath;
    const std::string szExt = bHasExt ? szPath.substr(iDot + 1) : std::string();
    for (int n = 1; n <= 999; ++n) {
        const std::string szTry = szBase + "-" + std::to_string(n) + (bHasExt ? "." + szExt : std::string());
        if (::access(szTry.c_str(), F_OK) != 0) {
            szPath = szTry;
            return true;
        }
    }
    return false;
}

std::string FormatLastErrorLine(int iDay, int iMonth, int iYear, int iHour, int iMinute, int iSecond,
                                const std::string& szText)
{
    const std::string szWhen = FormatText("%d/%d-%04d %02d:%02d:%02d", iDay, iMonth, iYear, iHour, iMinute, iSecond);
    return szWhen + " - " + szText;
}

void AppendLastError(const std::string& szText)
{
    const CDateTime now = CDateTime::Now();
    const std::string szLine =
        FormatLastErrorLine(now.m_iDay, now.m_iMonth, now.m_iYear, now.m_iHour, now.m_iMinute, now.m_iSecond, szText);
    // An installed program never writes into its own folder; the trail then
    // goes beside the log file, the next place a technician looks.
    std::vector<std::string> folders;
    if (const std::string szDir = WritableProgramFolder(ProgramDirectory()); !szDir.empty())
        folders.push_back(szDir);
    if (const std::string szLog = log_FilePath(); szLog.rfind('/') != std::string::npos)
        folders.push_back(szLog.substr(0, szLog.rfind('/') + 1));
    folders.push_back(StateFolder());
    for (const std::string& szFolder : folders) {
        if (&szFolder == &folders.back()) {
            std::error_code ec;
            std::filesystem::create_directories(szFolder, ec);
        }
        if (std::FILE* pFile = std::fopen((szFolder + SETTINGS_LAST_ERROR_FILE).c_str(), "ab")) {
            std::fprintf(pFile, "%s\n", szLine.c_str());
            std::fclose(pFile);
            return;
        }
    }
}
