#include <gtest/gtest.h>

#include "support/DataFileBytes.h"
#include "support/TestSupport.h"

namespace {
CRunResult Cli(const std::vector<std::string>& args)
{
    return RunProgram(BinPath("lumora-cli"), args);
}
} // namespace

TEST(CliInfo, ExitCodesFollowTheContract)
{
    CTempDir dir;
    WriteFileBytes(dir.File("lp.con"), "[Light Profile]\nDataPointer=        40\nWidth=1\nDATA");
    WriteFileBytes(dir.File("junk.bin"), "hello");
    WriteFileBytes(dir.File("bad.con"), "[Noise Test]\nDataPointer=      9999\n");
    // Start-up does not know headerless run-length pictures; the launcher's
    // stitching button does, and so must info --as stitch.
    const std::string szRunLength = SampleFile("stitch-headerless-runlength.con");
    struct { std::vector<std::string> args; int exit; const char* out; } cases[] = {
        {{"info", "--json", dir.File("lp.con")}, 0, "\"header_length\": 40"},
        {{"info", dir.File("lp.con")}, 0, "viewer:        CView_LPF_Dialog"},
        {{"info", "--json", dir.File("junk.bin")}, 65, "\"kind\": \"unknown\""},
        {{"info", "--json", dir.File("bad.con")}, 65, "points past the end"},
        {{"info", "--as", "stitch", "--json", dir.File("junk.bin")}, 65, "CView_Stitch_Dialog"},
        {{"info", "--json", szRunLength}, 65, ""},
        {{"info", "--json", "--as", "stitch", szRunLength}, 0, "\"run_length\": true"},
        {{"info", SampleFile("rawdex-packed.con")}, 0, ""},
        {{"info", "--as", "bogus", dir.File("lp.con")}, 64, ""},
        {{"info"}, 64, ""},
    };
    for (const auto& c : cases) {
        const CRunResult r = Cli(c.args);
        EXPECT_EQ(r.m_iExit, c.exit) << c.args.back() << "\n" << r.m_szErr;
        EXPECT_NE(r.m_szOut.find(c.out), std::string::npos) << r.m_szOut;
        if (c.exit == 0)
            EXPECT_EQ(r.m_szErr, "");
    }
}

TEST(CliInfo, SeveralFilesGiveAnArray)
{
    CTempDir dir;
    // A well-formed MTF recording and headerless stitching picture, as the samples write them.
    const std::string szA = SampleFile("mtf.con"), szB = SampleFile("stitch-headerless-gray.con");
    const CRunResult r = Cli({"info", "--json", szA, szB});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut.substr(0, 1), "[");
    EXPECT_NE(r.m_szOut.find("\"kind\": \"mtf\""), std::string::npos);
    EXPECT_NE(r.m_szOut.find("\"kind\": \"headerless-stitch\""), std::string::npos);

    // A missing file keeps its place in the array, and the exit code says so.
    const CRunResult missing = Cli({"info", "--json", szA, dir.File("gone.con"), szB});
    EXPECT_EQ(missing.m_iExit, 66);
    const size_t iGone = missing.m_szOut.find("gone.con");
    ASSERT_NE(iGone, std::string::npos) << missing.m_szOut;
    EXPECT_LT(missing.m_szOut.find("\"kind\": \"mtf\""), iGone);
    EXPECT_GT(missing.m_szOut.find("\"kind\": \"headerless-stitch\""), iGone);
}

TEST(CliUnpack, WritesEntriesAndNamesRefusedOnes)
{
    CTempDir dir;
    WriteFileBytes(dir.File("p.con"), RawdexBytes({{"first.con", "ONE"}, {"../escape", "BAD"}, {"second.con", "TWO"}}));
    CRunResult r = Cli({"unpack", dir.File("p.con"), "--into", dir.File("out")});
    EXPECT_EQ(r.m_iExit, 65);
    EXPECT_EQ(r.m_szOut, dir.File("out/first.con") + "\n" + dir.File("out/second.con") + "\n");
    EXPECT_NE(r.m_szErr.find("\"../escape\""), std::string::npos) << r.m_szErr;
    EXPECT_EQ(ReadFileBytes(dir.File("out/second.con")), "TWO");

    WriteFileBytes(dir.File("ok.con"), RawdexBytes({{"only.txt", "X"}, {"other.txt", "Y"}}));
    r = Cli({"unpack", dir.File("ok.con")});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(ReadFileBytes(dir.File("other.txt")), "Y");

    EXPECT_EQ(Cli({"unpack", dir.File("missing.con")}).m_iExit, 66);
    WriteFileBytes(dir.File("lp.con"), "[Light Profile]\nDataPointer=        40\n");
    EXPECT_EQ(Cli({"unpack", dir.File("lp.con")}).m_iExit, 65);
}

TEST(CliRender, KindsWithoutARendererAreRefusedClearly)
{
    CTempDir dir;
    WriteFileBytes(dir.File("r.con"), RawdexBytes({{"a.txt", "A"}}));
    const CRunResult r = Cli({"render", dir.File("r.con"), "-o", dir.File("r.png")});
    EXPECT_EQ(r.m_iExit, 65);
    EXPECT_NE(r.m_szErr.find("no view of rawdex files"), std::string::npos) << r.m_szErr;
    EXPECT_EQ(Cli({"render", dir.File("r.con"), "-o", dir.File("r.png"), "--size", "0x5"}).m_iExit, 64);
    EXPECT_EQ(Cli({"render", dir.File("none.con"), "-o", dir.File("r.png")}).m_iExit, 66);
}
