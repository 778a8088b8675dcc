#pragma once
// Settings shared with the family's sibling test tool, the folders it keeps
// results in, the product record of the installed driver package and a few
// path helpers. The program keeps no settings of its own.
//
// Folders handed out here always end in "/".
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "datafiles/VersionInfo.h"

// Names of the files this module reads and writes.
inline constexpr const char* SETTINGS_SHARED_INI = "Fct_tst6.ini";
inline constexpr const char* SETTINGS_TOOL_INI = "Probx6.ini";
inline constexpr const char* SETTINGS_FIX_PATH_FILE = "Probex6_FixPath.txt";
inline constexpr const char* SETTINGS_LAST_PATH_FILE = "Probex6_Path.txt";
inline constexpr const char* SETTINGS_LAST_ERROR_FILE = "LastError.txt";
inline constexpr const char* SETTINGS_PRODUCT_INFO_FILE = "productinfo.ini";

// Full path of the running executable (/proc/self/exe), empty if unknown.
std::string ProgramExecutablePath();

// The directory of the running executable, with its trailing "/". False (and
// "Error in Get Program Path" shown) when it cannot be found.
bool FindProgramDirectory(std::string& szDirectory);
// The same without the message, empty when unknown (callers that only log).
std::string ProgramDirectory();
// Makes every lookup use this folder as the program directory; empty restores
// the real one. For tests and tools that run out of a staging folder.
void SetProgramDirectoryOverride(const std::string& szDirectory);

// The ordered roots that stand in for the drives a settings file may sit on:
// LUMORA_SETTINGS_ROOTS (colon-separated), default
// $XDG_CONFIG_HOME/lumora:/etc/lumora. Each ends in "/"; empty entries are dropped.
std::vector<std::string> SettingsRoots();

// Where a settings file is: the program directory when it holds the file,
// otherwise the first "root/Fct_Test/" that does. The folder found for
// "Probex6_FixPath.txt" is remembered for the run.
bool FindSettingsFolder(const std::string& szFileName, std::string& szFolder);
// Forgets remembered folders (tests change the roots between cases).
void ResetSettingsCache();

// A value of "Fct_tst6.ini", following "ALIAS" redirections (a chain that
// returns to a section already visited gives the default). The file is read in
// *pDirectory when that is given and not empty, else in the program directory;
// a lookup there that yields only the default is repeated in each settings
// root in order, and the root that answered is handed back through pDirectory.
// szOut receives the default when nothing is found. True when the value found
// differs from the default.
bool GetSharedSetting(const std::string& szSection, const std::string& szKey, const std::string& szDefault,
                      std::string& szOut, std::string* pDirectory = nullptr);
// The same on "Probx6.ini", found as FindSettingsFileNoCase finds it.
bool GetToolSetting(const std::string& szSection, const std::string& szKey, const std::string& szDefault,
                    std::string& szOut);
// The alias walk and lookup on one INI file, for both of the above.
bool LookupWithAliases(const std::string& szIniPath, const std::string& szSection, const std::string& szKey,
                       const std::string& szDefault, std::string& szOut);

// A settings file of the sibling tools, in any spelling of its name: the
// program directory, then "root/Fct_Test/" and "root/" of each settings root.
// Empty when none exists.
std::string FindSettingsFileNoCase(const std::string& szName);
// A test station is one where "Fct_Tst6.ini" is found that way.
bool IsTestStation();
// Where the program keeps files of its own ("LastError.txt", "Scanner.txt",
// pictures without a folder): the program directory of a build tree when it
// is writable, else StateFolder().
std::string ProgramStateFolder();

// "Probex6_FixPath.txt": where the test tools keep their results.
struct CFixPathSettings {
    static constexpr int kFirstGeneration = 3;
    static constexpr int kLastGeneration = 20;
    bool m_bUseFixedPath = false;
    std::string m_szFixedPath = "/tmp/";
    std::array<std::string, kLastGeneration + 1> m_szGenerationPath{}; // index = generation, 3..20 used
    std::string m_szLastChassisNo = "CHxxxxxx";
};
// Fills every field from the file (defaults for missing keys). False when the
// file is not found in any settings folder.
bool ReadFixPathFile(CFixPathSettings& settings);
// Parses the file's text; exposed so the rules can be tested without files.
void ParseFixPathText(const std::string& szText, CFixPathSettings& settings);
std::string FormatFixPathText(const CFixPathSettings& settings);
// Rewrites the file (atomically) in its settings folder; a first one goes into
// a writable build tree's program directory, else "Fct_Test/" of the first
// settings root.
bool WriteFixPathFile(const CFixPathSettings& settings);

// Records szFolder as the folder last used for results ("Probex6_Path.txt"
// beside "Probex6_FixPath.txt"). False when there is no fix-path file.
bool SaveLastPath(const std::string& szFolder);
// The folder "Probex6_Path.txt" records (first line), empty when there is none.
std::string ReadLastPath();

// The product record of the installed scanner driver package, read from
// productinfo.ini ([ProductInfo]) at LUMORA_PRODUCT_INFO or in the settings
// roots. Every field has a found flag (value present and not empty).
enum EProductSelector : int32_t {
    PRODUCT_SCANNER_DRIVER = 0,
    PRODUCT_SELECTOR_4 = 4, // reads the version record with code page 1252
};
struct CProductInfo {
    std::string m_szName, m_szVersion, m_szInstallBuild, m_szCompany, m_szPath;
    int32_t m_iOem = 0;
    bool m_bNameFound = false, m_bVersionFound = false, m_bInstallBuildFound = false, m_bCompanyFound = false,
         m_bOemFound = false, m_bPathFound = false;
    CVersionInfo m_Version;
};
CProductInfo ReadProductInfo(int32_t iSelector = PRODUCT_SCANNER_DRIVER);
// Where ReadProductInfo looks, empty when no file exists.
std::string FindProductInfoFile();

// szPath unchanged when no such file exists, else "base-N.ext" with the first
// free N of 1..999. False when all are taken.
bool MakeUniqueFileName(std::string& szPath);

// One line "d/M-yyyy HH:mm:ss - text" appended to "LastError.txt" in the
// program directory of a build tree, or beside the log file (an installed
// program, or a folder that takes no files), or in StateFolder(); silently
// skipped when none can be opened.
void AppendLastError(const std::string& szText);
// The line AppendLastError writes for a moment in time (without the line feed).
std::string FormatLastErrorLine(int iDay, int iMonth, int iYear, int iHour, int iMinute, int iSecond,
                                const std::string& szText);

// True when szName exists as a file in szFolder (szFolder ends in "/").
bool FileExistsIn(const std::string& szFolder, const std::string& szName);
bool FileExists(const std::string& szPath);
// The sibling tools spell their file names with varying case ("Fct_tst6.ini",
// "Fct_Tst6.ini", "Fct_tst6.INI"); on a case-sensitive file system any
// spelling counts. Returns the path of the file found, or szFolder + szName.
std::string ResolveFileNoCase(const std::string& szFolder, const std::string& szName);
bool FileExistsInNoCase(const std::string& szFolder, const std::string& szName);
