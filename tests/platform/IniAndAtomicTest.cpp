#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

TEST(IniFile, ProfileLookupRules)
{
    CTempDir dir;
    const std::string szIni = dir.File("a.ini");
    WriteFileBytes(szIni, "; comment\r\n[0x1A]\r\n  NoiseTest = 7 \r\nALIAS=Other\n[other]\nnoisetest=9\nQuoted=\"x y\"\n"
                          "[0x1a]\nNoiseTest=8\n");
    struct { const char* section; const char* key; const char* expect; } cases[] = {
        {"0x1A", "NoiseTest", "7"},   // blanks dropped
        {"0X1A", "NOISETEST", "7"},   // names compare without case, first occurrence wins
        {"Other", "NoiseTest", "9"},
        {"other", "Quoted", "x y"},   // one pair of quotes dropped
        {"0x1A", "Missing", "dflt"},
        {"Nowhere", "NoiseTest", "dflt"},
    };
    CIniFile ini;
    ASSERT_TRUE(ini.Load(szIni));
    for (const auto& c : cases) {
        EXPECT_EQ(GetProfileString(szIni, c.section, c.key, "dflt"), c.expect) << c.section << "/" << c.key;
        EXPECT_EQ(ini.Get(c.section, c.key).value_or("dflt"), c.expect) << c.section << "/" << c.key;
    }
    EXPECT_EQ(GetProfileInt(szIni, "0x1A", "NoiseTest", -1), 7);
    EXPECT_EQ(GetProfileInt(dir.File("none.ini"), "0x1A", "NoiseTest", -1), -1);
}

TEST(IniFile, EndlessLineIsCutNotHeld)
{
    CTempDir dir;
    const std::string szIni = dir.File("big.ini");
    WriteFileBytes(szIni, "[S]\nK=" + std::string(3u << 20, 'v') + "\nL=1\n");
    EXPECT_EQ(GetProfileString(szIni, "S", "L", ""), "1");
    CIniFile ini;
    ini.Load(szIni);
    EXPECT_EQ(ini.Get("S", "K")->size(), CIniFile::kMaxLine - 2);
}

TEST(AtoiText, BehavesLikeAtoiWithoutOverflow)
{
    struct { const char* in; int32_t out; } cases[] = {
        {"  42x", 42}, {"-7", -7}, {"+3", 3}, {"x1", 0}, {"", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AtoiText(c.in), c.out) << c.in;
}

TEST(AtomicFile, FailedSaveLeavesOldFile)
{
    CTempDir dir;
    const std::string szPath = dir.File("f.txt");
    WriteFileBytes(szPath, "old");
    {
        CAtomicFile f;
        ASSERT_TRUE(f.Open(szPath));
        f.Write("new half");
        // not committed: destructor discards
    }
    EXPECT_EQ(ReadFileBytes(szPath), "old");
    ASSERT_TRUE(WriteFileAtomically(szPath, "new", 3));
    EXPECT_EQ(ReadFileBytes(szPath), "new");
    std::string szError;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/dir/f"), "x", 1, &szError));
    EXPECT_FALSE(szError.empty());
}

// A full file system, without privileges: the save runs in a child whose
// RLIMIT_FSIZE lets no file grow past 4 KiB (with SIGXFSZ ignored, the write
// fails with EFBIG as on a full disk). Whatever the save did, the old file is
// whole and no temporary is left beside it.
TEST(AtomicFile, FullFileSystemKeepsTheOldFileAndNoTemporary)
{
    const std::string szBig(64 * 1024, 'n');
    const struct {
        const char* m_szName;
        std::function<bool(const std::string&)> m_Save;
    } kSaves[] = {
        {"whole file", [&](const std::string& sz) { return WriteFileAtomically(sz, szBig.data(), szBig.size()); }},
        {"streamed", [&](const std::string& sz) {
             CAtomicFile f;
             if (!f.Open(sz))
                 return false;
             for (int i = 0; i < 16; ++i)
                 f.Write(szBig.data(), 4096);
             return f.Commit();
         }},
    };
    for (const auto& save : kSaves) {
        SCOPED_TRACE(save.m_szName);
        CTempDir dir;
        const std::string szPath = dir.File("result.txt");
        WriteFileBytes(szPath, "old contents");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::_Exit(save.m_Save(szPath) ? 0 : 1);
        }
        int iStatus = 0;
        ::waitpid(pid, &iStatus, 0);
        ASSERT_TRUE(WIFEXITED(iStatus));
        EXPECT_EQ(WEXITSTATUS(iStatus), 1) << "the save reports the failure";
        EXPECT_EQ(ReadFileBytes(szPath), "old contents");
        const auto files = std::filesystem::directory_iterator(dir.Path());
        EXPECT_EQ(std::distance(begin(files), end(files)), 1) << "no temporary behind";
    }
}
