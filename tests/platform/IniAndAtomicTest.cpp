#include <gtest/gtest.h>

#include <sys/stat.h>

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
    ::chmod(szPath.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomically(szPath, "new", 3));
    EXPECT_EQ(ReadFileBytes(szPath), "new");
    struct stat st {};
    ASSERT_EQ(::stat(szPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its permissions";
    std::string szError;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/dir/f"), "x", 1, &szError));
    EXPECT_FALSE(szError.empty());
}
