#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "InstallLayout.h"

namespace {
std::string& StandInPath()
{
    static std::string s_szPath;
    return s_szPath;
}
} // namespace

void StandInForProgram(const std::string& szProgramPath)
{
    StandInPath() = szProgramPath;
}

std::string RunningProgramPath()
{
    if (!StandInPath().empty())
        return StandInPath();
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string RunningProgramFolder()
{
    const std::string szExe = RunningProgramPath();
    const size_t iSlash = szExe.rfind('/');
    return iSlash == std::string::npos ? std::string() : szExe.substr(0, iSlash + 1);
}

std::string PrivateLibraryFolder(const std::string& szProgramFolder)
{
    if (szProgramFolder.empty())
        return std::string();
    return WithFolderSeparator(szProgramFolder) + WithFolderSeparator(LUMORA_PRIVATE_LIBDIR_FROM_BINDIR);
}

bool IsInstalledProgramFolder(const std::string& szProgramFolder)
{
    struct stat st {};
    const std::string szLib = PrivateLibraryFolder(szProgramFolder);
    return !szLib.empty() && ::stat(szLib.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WritableProgramFolder(const std::string& szProgramFolder)
{
    if (szProgramFolder.empty() || IsInstalledProgramFolder(szProgramFolder) ||
        ::access(szProgramFolder.c_str(), W_OK) != 0)
        return std::string();
    return WithFolderSeparator(szProgramFolder);
}

std::string StateFolder()
{
    std::string szBase;
    if (const char* pXdg = std::getenv("XDG_STATE_HOME"); pXdg && *pXdg == '/')
        szBase = pXdg;
    else if (const char* pHome = std::getenv("HOME"); pHome && *pHome)
        szBase = std::string(pHome) + "/.local/state";
    else if (const passwd* pUser = ::getpwuid(::getuid()); pUser && pUser->pw_dir && *pUser->pw_dir)
        // A service or cron job without HOME: the account's own home still
        // beats a folder in /tmp that any other user could have made first.
        szBase = std::string(pUser->pw_dir) + "/.local/state";
    else
        szBase = "/tmp";
    return WithFolderSeparator(szBase) + "lumora/";
}

std::string WithFolderSeparator(std::string szFolder)
{
    if (szFolder.empty())
        return szFolder;
    if (szFolder.back() == '\\')
        szFolder.back() = '/';
    else if (szFolder.back() != '/')
        szFolder += '/';
    return szFolder;
}

bool IsRemovableMediaFolder(const std::string& szFolder)
{
    if (szFolder.empty())
        return false;
    std::error_code ec;
    std::string sz = std::filesystem::absolute(szFolder, ec).lexically_normal().string();
    if (ec)
        sz = szFolder;
    for (const char* szMount : {"/media/", "/run/media/"})
        if (sz.rfind(szMount, 0) == 0)
            return true;
    return false;
}
