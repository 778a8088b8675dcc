#include "testtools/TestFolders.h"

#include <filesystem>

#include "datafiles/Settings.h"
#include "platform/FileHandle.h"

namespace {
std::string WithSlash(std::string sz)
{
    if (!sz.empty() && sz.back() != '/') sz += '/';
    return sz;
}

bool IsFolder(const std::string& sz)
{
    std::error_code ec;
    return !sz.empty() && std::filesystem::is_directory(sz, ec);
}

// "Probex6_Path.txt" beside the fix-path file: its whole content is a folder.
std::string LastResultsPath()
{
    std::string szSettings;
    if (!FindSettingsFolder(SETTINGS_FIX_PATH_FILE, szSettings)) return {};
    std::string sz;
    if (!ReadFilePrefix(szSettings + SETTINGS_LAST_PATH_FILE, 1023, sz))
        return {};
    const size_t iEnd = sz.find_first_of("\r\n");
    if (iEnd != std::string::npos) sz.resize(iEnd);
    return sz;
}
} // namespace

std::string TestResultsFolder()
{
    CFixPathSettings fix;
    if (ReadFixPathFile(fix)) {
        if (fix.m_bUseFixedPath && IsFolder(fix.m_szFixedPath)) return WithSlash(fix.m_szFixedPath);
        const std::string szLast = LastResultsPath();
        if (IsFolder(szLast)) return WithSlash(szLast);
        if (IsFolder(fix.m_szFixedPath)) return WithSlash(fix.m_szFixedPath);
    }
    std::error_code ec;
    return WithSlash(std::filesystem::current_path(ec).string());
}

std::string TestDataFolder(const std::string& szSub)
{
    const std::string szRoot = TestResultsFolder();
    const std::string szFolder = szRoot + szSub + "/";
    return IsFolder(szFolder) ? szFolder : szRoot;
}
