#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <sys/stat.h>

#include "platform/FileHandle.h"
#include "platform/Json.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

TEST(Paths, FolderSeparatorTakesABackslashForTheSeparator)
{
    struct { const char* in; const char* out; } cases[] = {
        {"/srv/results", "/srv/results/"},
        {"/srv/results/", "/srv/results/"},
        {"/srv/results\\", "/srv/results/"},
        {"c:\\temp\\", "c:\\temp/"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithFolderSeparator(c.in), c.out) << c.in;
}

TEST(Paths, StateFolderFollowsXdgThenHomeThenTheAccount)
{
    const std::string szAccount = std::string(::getpwuid(::getuid())->pw_dir) + "/.local/state/lumora/";
    struct {
        const char* szXdg; // nullptr: unset
        const char* szHome;
        std::string szWant;
    } cases[] = {
        {"/x/state", "/h", "/x/state/lumora/"},
        {"relative/state", "/h", "/h/.local/state/lumora/"}, // not absolute: ignored
        {nullptr, "/h", "/h/.local/state/lumora/"},
        {nullptr, nullptr, szAccount},
    };
    const auto Saved = [](const char* sz) {
        const char* p = std::getenv(sz);
        return p ? std::optional<std::string>(p) : std::nullopt;
    };
    const auto Restore = [](const char* sz, const std::optional<std::string>& v) {
        v ? ::setenv(sz, v->c_str(), 1) : ::unsetenv(sz);
    };
    const auto xdg = Saved("XDG_STATE_HOME"), home = Saved("HOME");
    for (const auto& c : cases) {
        Restore("XDG_STATE_HOME", c.szXdg ? std::optional<std::string>(c.szXdg) : std::nullopt);
        Restore("HOME", c.szHome ? std::optional<std::string>(c.szHome) : std::nullopt);
        EXPECT_EQ(StateFolder(), c.szWant) << (c.szXdg ? c.szXdg : "-") << " " << (c.szHome ? c.szHome : "-");
    }
    Restore("XDG_STATE_HOME", xdg);
    Restore("HOME", home);
}

TEST(Paths, OnlyRemovableMediaCountAsTheOldDriveA)
{
    struct { const char* folder; bool removable; } cases[] = {
        {"/media/tech/STICK/", true},
        {"/run/media/tech/CARD/scans/", true},
        {"/media/../home/tech/", false},
        {"archive/", false},
        {"a/", false},
        {"A", false},
        {"/mediathek/", false},
        {"/mnt/data/", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsRemovableMediaFolder(c.folder), c.removable) << c.folder;
}

TEST(Paths, AnInstallationIsKnownByItsPrivateLibraryFolder)
{
    CTempDir dir;
    const std::string szBin = dir.File("usr/bin/");
    std::filesystem::create_directories(szBin);
    // A build tree: the programs' folder takes files.
    EXPECT_FALSE(IsInstalledProgramFolder(szBin));
    EXPECT_EQ(WritableProgramFolder(szBin), szBin);
    EXPECT_EQ(WritableProgramFolder(dir.File("usr/bin")), szBin);

    std::filesystem::create_directories(PrivateLibraryFolder(szBin));
    EXPECT_TRUE(IsInstalledProgramFolder(szBin));
    EXPECT_EQ(WritableProgramFolder(szBin), "") << "an installation is never written to, even when it could be";
    EXPECT_EQ(WritableProgramFolder(""), "");
}

TEST(Paths, ReadersOpenOnlyRegularFilesAndNeverWaitForAWriter)
{
    CTempDir dir;
    WriteFileBytes(dir.File("data.con"), "12345");
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    struct { std::string path; bool opens; const char* error; } cases[] = {
        {dir.File("data.con"), true, ""},
        {dir.File("pipe"), false, "is not a regular file"},
        {"/dev/null", false, "is not a regular file"},
        {dir.Path(), false, "is a folder"},
        {dir.File("missing.con"), false, "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string szError;
        int64_t iSize = -1;
        // A reader that waited for a writer on the pipe would hang here.
        const CFilePtr file = OpenRegularFile(c.path, szError, &iSize);
        EXPECT_EQ(file.get() != nullptr, c.opens) << c.path;
        EXPECT_EQ(szError, c.error) << c.path;
        if (c.opens)
            EXPECT_EQ(iSize, 5);
    }
}

TEST(Json, FileNamesAreWrittenAsTheyAreAndBrokenBytesReplaced)
{
    struct { std::string in, out; } cases[] = {
        {"Pr\xC3\xBC" "fung-\xC3\x9F.con", "Pr\xC3\xBC" "fung-\xC3\x9F.con"},
        {"\xE2\x82\xAC/\xF0\x9F\x93\x84", "\xE2\x82\xAC/\xF0\x9F\x93\x84"},
        {"Pr\xFC" "fung.con", "Pr\xEF\xBF\xBD" "fung.con"},            // a Latin-1 name
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                       // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},       // a surrogate
        {"end\xE2\x82", "end\xEF\xBF\xBD\xEF\xBF\xBD"},                 // cut short
        {"q\"\\", "q\\\"\\\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CJson::Utf8(c.in).Dump(-1), "\"" + c.out + "\"") << c.in;
    // Header texts stay code-page text.
    EXPECT_EQ(CJson(std::string("\xFC")).Dump(-1), "\"\xC3\xBC\"");
}
