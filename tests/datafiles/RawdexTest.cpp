#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/DataFileBytes.h"
#include "support/TestSupport.h"
#include "datafiles/Rawdex.h"
#include "datafiles/Settings.h"

namespace {
class CRawdexFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_Dir.File("prog"));
        std::filesystem::create_directories(m_Dir.File("out"));
        SetProgramDirectoryOverride(m_Dir.File("prog"));
        m_Roots.emplace("LUMORA_SETTINGS_ROOTS", m_Dir.File("roots").c_str());
        ResetSettingsCache();
    }
    void TearDown() override
    {
        SetProgramDirectoryOverride("");
        m_Roots.reset();
        ResetSettingsCache();
    }
    std::string Out(const std::string& szName) const { return m_Dir.File("out/" + szName); }
    CRawdexResult Unpack(const std::string& szBytes)
    {
        WriteFileBytes(Out("pack.con"), szBytes);
        return UnpackRawdex(Out("pack.con"));
    }
    CTempDir m_Dir;
    std::optional<CScopedEnv> m_Roots;
};
} // namespace

TEST_F(CRawdexFixture, EntriesAreWrittenNextToTheFileAndThePathIsRecorded)
{
    WriteFileBytes(m_Dir.File("prog/Probex6_FixPath.txt"), "Use Fixed Path=OFF\n");
    const CRawdexResult r = Unpack(RawdexBytes({{"a.con", "AAAA"}, {"b.txt", std::string("\0\1\2", 3)}, {"empty-entry", ""}}));
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(r.m_Written, (std::vector<std::string>{Out("a.con"), Out("b.txt"), Out("empty-entry")}));
    EXPECT_EQ(ReadFileBytes(Out("a.con")), "AAAA");
    EXPECT_EQ(ReadFileBytes(Out("b.txt")), std::string("\0\1\2", 3));
    EXPECT_TRUE(FileExists(Out("empty-entry")));
    EXPECT_EQ(ReadFileBytes(m_Dir.File("prog/Probex6_Path.txt")), m_Dir.File("out/"));
    for (const auto& e : std::filesystem::directory_iterator(m_Dir.File("out")))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(CRawdexFixture, RawdexTxtOnlyOnTestStations)
{
    const std::string szPack = RawdexBytes({{"Rawdex.txt", "notes"}, {"c-entry.con", "C"}});
    CRawdexResult r = Unpack(szPack);
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(r.m_Skipped, std::vector<std::string>{"Rawdex.txt"});
    EXPECT_FALSE(FileExists(Out("Rawdex.txt")));
    EXPECT_EQ(ReadFileBytes(Out("c-entry.con")), "C"); // the skipped bytes were passed over

    // A station's settings file counts in a settings root as in the program folder.
    for (const std::string& szMarker : {m_Dir.File("roots/Fct_Test/fct_tst6.ini"), m_Dir.File("prog/Fct_Tst6.ini")}) {
        std::filesystem::remove(Out("Rawdex.txt"));
        std::filesystem::create_directories(std::filesystem::path(szMarker).parent_path());
        WriteFileBytes(szMarker, "");
        r = Unpack(szPack);
        EXPECT_TRUE(r.m_Skipped.empty()) << szMarker;
        EXPECT_EQ(ReadFileBytes(Out("Rawdex.txt")), "notes") << szMarker;
        std::filesystem::remove(szMarker);
    }
}

TEST_F(CRawdexFixture, ARelativeFolderIsRecordedAsTheFolderItNames)
{
    // "archive/" starts with an "a" but is no floppy drive: it is recorded,
    // and as a folder the sibling tool can find from anywhere.
    WriteFileBytes(m_Dir.File("prog/Probex6_FixPath.txt"), "Use Fixed Path=OFF\n");
    std::filesystem::create_directories(m_Dir.File("archive"));
    WriteFileBytes(m_Dir.File("archive/pack.con"), RawdexBytes({{"x.con", "X"}}));
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(m_Dir.Path());
    const CRawdexResult r = UnpackRawdex("archive/pack.con");
    std::filesystem::current_path(old);
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(ReadFileBytes(m_Dir.File("archive/x.con")), "X");
    EXPECT_EQ(ReadFileBytes(m_Dir.File("prog/Probex6_Path.txt")),
              std::filesystem::path(m_Dir.File("archive/")).lexically_normal().string());
}

TEST_F(CRawdexFixture, HostileNamesAreNeverWrittenButTheRestIs)
{
    struct { std::string name; } cases[] = {
        {""}, {"/etc/evil"}, {"sub/file"}, {"..\\up"}, {".."}, {std::string("nu\0l", 4)}, {"tab\tname"}, {"no-size\nnext"},
    };
    for (const auto& c : cases) {
        const CRawdexResult r = Unpack(RawdexBytes({{c.name, "EVIL"}, {"good-entry", "G"}}));
        EXPECT_FALSE(r.m_bOk) << c.name;
        ASSERT_EQ(r.m_Problems.size(), 1u) << c.name;
        EXPECT_NE(r.m_Problems[0].find("not written"), std::string::npos) << r.m_Problems[0];
        EXPECT_EQ(ReadFileBytes(Out("good-entry")), "G") << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(m_Dir.File("up")));
    EXPECT_FALSE(std::filesystem::exists(Out("sub")));
}

TEST_F(CRawdexFixture, SizesPastTheEndStopTheUnpacking)
{
    const CRawdexResult r = Unpack(RawdexBytes({{"one", "1"}, {"two", "22", "999"}, {"three-entry", "3"}}));
    EXPECT_FALSE(r.m_bOk);
    EXPECT_EQ(r.m_Written, std::vector<std::string>{Out("one")});
    ASSERT_EQ(r.m_Problems.size(), 1u);
    EXPECT_NE(r.m_Problems[0].find("\"two\""), std::string::npos);
    EXPECT_NE(r.m_Problems[0].find("past the end"), std::string::npos);
    EXPECT_FALSE(FileExists(Out("two")));
    EXPECT_FALSE(FileExists(Out("three-entry")));
}

TEST_F(CRawdexFixture, MalformedHeadersFailWithAReason)
{
    struct { std::string bytes; const char* problem; } cases[] = {
        {"no header at all", "no DataPointer"},
        {"[Rawdex]\nDataPointer=      9999\n", "past the end"},
        {"", "no DataPointer"},
        {"[Rawdex]\nDataPointer=abcdefghij\nx=1\nX", "not a header length"},
        {"[Rawdex]\nDataPointer=         5\nx=1\nX", "not a header length"},
        {RawdexBytes({{std::string(300, 'n'), "x"}}), "260 or more"},
        {RawdexBytes({{"n", "x", std::string(40, '1')}}), "30 or more"},
        {RawdexBytes({{"n", "x", "-5"}}), "not a number of bytes"},
    };
    for (const auto& c : cases) {
        const CRawdexResult r = Unpack(c.bytes);
        EXPECT_FALSE(r.m_bOk);
        ASSERT_FALSE(r.m_Problems.empty());
        EXPECT_NE(r.m_Problems.back().find(c.problem), std::string::npos) << r.m_Problems.back();
    }
    EXPECT_FALSE(UnpackRawdex(m_Dir.File("missing.con")).m_bOk);
}

TEST_F(CRawdexFixture, ALastEntryLineOfEightBytesOrLessIsNotUnpacked)
{
    // The walk goes on only while the line feed that ended an entry lies more
    // than 9 bytes before the end of the header.
    const CRawdexResult r = Unpack(RawdexBytes({{"first.con", "F"}, {"a.con", "X"}}));
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(r.m_Written, std::vector<std::string>{Out("first.con")});
    ASSERT_EQ(r.m_Dropped.size(), 1u);
    EXPECT_EQ(r.m_Dropped[0].substr(0, 32), "entry \"a.con\" (1 bytes) is not u");
    const CRawdexResult r2 = Unpack(RawdexBytes({{"first.con", "F"}, {"ab.con", "X"}}));
    EXPECT_EQ(r2.m_Written, (std::vector<std::string>{Out("first.con"), Out("ab.con")}));
    EXPECT_TRUE(r2.m_Dropped.empty());
}

TEST(RawdexEntries, ThePlusNineRuleEndsTheWalk)
{
    std::string szProblem;
    // A header with just its two lines holds no entries.
    EXPECT_TRUE(ListRawdexEntries("[Rawdex]\nDataPointer=        32\n", 32, szProblem).empty());
    EXPECT_TRUE(szProblem.empty());
    EXPECT_TRUE(ListRawdexEntries("[R]\n=1\n", 9, szProblem).empty());
    // Trailing bytes after the last entry line that are 9 or fewer are not read as entries.
    const std::string szHeader = "[Rawdex]\nDataPointer=        49\nx=1\ny=2\nabc=de";
    const auto entries = ListRawdexEntries(szHeader, 49, szProblem);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].m_szName, "x");
    EXPECT_EQ(entries[0].m_iOffset, 49);
    EXPECT_EQ(entries[1].m_szName, "y");
    EXPECT_EQ(entries[1].m_iOffset, 50);
    EXPECT_EQ(entries[1].m_iSize, 2);
}

TEST_F(CRawdexFixture, IntoAnotherFolder)
{
    // No fix-path file anywhere: no last-path record either.
    WriteFileBytes(Out("pack.con"), RawdexBytes({{"x.con", "X"}}));
    std::filesystem::create_directories(m_Dir.File("into"));
    const CRawdexResult r = UnpackRawdex(Out("pack.con"), m_Dir.File("into"));
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(ReadFileBytes(m_Dir.File("into/x.con")), "X");
    EXPECT_FALSE(FileExists(Out("x.con")));
    EXPECT_FALSE(FileExists(m_Dir.File("prog/Probex6_Path.txt")));
}
