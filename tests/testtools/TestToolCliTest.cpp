#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "testtools/StarTestEngine.h"

// The command-line tool sees the same data sets as the dialogs.
TEST(TestToolCli, SamplesDescribeAndRender)
{
    CTempDir dir;
    const CRunResult s = RunProgram(BinPath("lumora-cli"), {"samples", dir.Path()});
    ASSERT_EQ(s.m_iExit, 0) << s.m_szErr;
    const std::string szStar = dir.File("StarTest_Sample.txt");
    const std::string szTonal = dir.File("TonalResolution_Sample.txt");

    const CRunResult a = RunProgram(BinPath("lumora-cli"), {"info", "--json", szStar});
    ASSERT_EQ(a.m_iExit, 0) << a.m_szErr;
    EXPECT_NE(a.m_szOut.find("\"kind\": \"star-test\""), std::string::npos);
    EXPECT_NE(a.m_szOut.find("\"viewer\": \"CStarTest_Dialog\""), std::string::npos);
    EXPECT_NE(a.m_szOut.find("\"averaged\": true"), std::string::npos);
    EXPECT_NE(a.m_szOut.find("\"passed\": false"), std::string::npos);
    EXPECT_NE(a.m_szOut.find("\"all_passed\": false"), std::string::npos);

    const CRunResult b = RunProgram(BinPath("lumora-cli"), {"info", "--json", szTonal});
    ASSERT_EQ(b.m_iExit, 0) << b.m_szErr;
    for (const char* sz : {"\"it8_dynamic_range\": 2.74588545316", "\"index_max\": 16", "\"correlation\": [", "\"bit_depth_dark\": ["})
        EXPECT_NE(b.m_szOut.find(sz), std::string::npos) << sz << "\n" << b.m_szOut;

    for (const std::string& f : {szStar, szTonal}) {
        const std::string szPng = f + ".png";
        const CRunResult r = RunProgram(BinPath("lumora-cli"), {"render", f, "-o", szPng, "--size", "400x300"});
        EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
        EXPECT_EQ(ReadFileBytes(szPng).substr(1, 3), "PNG");
    }
}

TEST(TestToolCli, HostileStarTestFileIsDescribedWithItsMessage)
{
    CTempDir dir;
    const std::string szPath = dir.File("bad.txt");
    WriteFileBytes(szPath, "[StarTest]\nVersion = 1\nSweep = 1\nBEGIN_DATA\nLength = 999999999\n0\t 1\n");
    const CRunResult a = RunProgram(BinPath("lumora-cli"), {"info", "--json", szPath});
    EXPECT_NE(a.m_szOut.find("Length 999999999 is more than the file can hold"), std::string::npos) << a.m_szOut;
    EXPECT_NE(a.m_szOut.find("\"sweeps\": []"), std::string::npos) << a.m_szOut;
    EXPECT_EQ(a.m_iExit, 65);
}

TEST(TestToolCli, CutResultFilesAreNotTakenForWholeOnes)
{
    CTempDir dir;
    ASSERT_EQ(RunProgram(BinPath("lumora-cli"), {"samples", dir.Path()}).m_iExit, 0);
    for (const char* szName : {"StarTest_Sample.txt", "TonalResolution_Sample.txt", "ScanLinePositioning_Sample.t32",
                               "MirrorCarriage_Sample.t33"}) {
        const std::string szWhole = ReadFileBytes(dir.File(szName));
        const std::string szCut = dir.File(std::string("cut_") + szName);
        WriteFileBytes(szCut, szWhole.substr(0, szWhole.size() / 3));
        const CRunResult r = RunProgram(BinPath("lumora-cli"), {"info", "--json", szCut});
        EXPECT_EQ(r.m_iExit, 65) << szName << "\n" << r.m_szOut;
        EXPECT_NE(r.m_szOut.find("\"problem\""), std::string::npos) << szName;
    }
}

TEST(LiveTestCli, HeadlessRunsWriteFilesThatInfoDescribes)
{
    CTempDir dir;
    const std::string szScenario = dir.File("scenario.ini");
    WriteFileBytes(szScenario, "[Device]\nTimeScale=200\n[Paper]\nLength=2400\n[Sheet]\nKind=line\nMarkWidth=2\n"
                               "MarkRepeat=40\nFrontLineY=4\nRearLineY=6\n[Camera.A]\nBlur=1\n[Camera.B]\nBlur=1\n");
    const std::vector<std::string> env = {"LUMORA_SIM_CONFIG=" + szScenario};
    struct Case {
        const char* szTest;
        const char* szFile;
        const char* szKey;
    } cases[] = {{"positioning", "p.ACC", "\"passed\": true"}, {"carriage", "c.VCV", "\"direction_front\""}};
    for (const Case& c : cases) {
        const CRunResult r =
            RunProgram(BinPath("lumora-cli"), {"scanner", "test", c.szTest, "-o", dir.File(c.szFile), "--json"}, env);
        EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
        const CRunResult i = RunProgram(BinPath("lumora-cli"), {"info", "--json", dir.File(c.szFile)});
        EXPECT_EQ(i.m_iExit, 0) << i.m_szErr;
        EXPECT_NE(i.m_szOut.find(c.szKey), std::string::npos) << i.m_szOut;
    }
    // A sheet without the mark: nothing is measured, so nothing passes.
    WriteFileBytes(szScenario, "[Device]\nTimeScale=200\n[Sheet]\nKind=white\n[Noise]\nSigma=1\n");
    const CRunResult r = RunProgram(BinPath("lumora-cli"),
                                    {"scanner", "test", "positioning", "--frames", "1", "-o", dir.File("w.ACC"), "--json"}, env);
    EXPECT_EQ(r.m_iExit, 1) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"passed\": false"), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szErr.find("not found"), std::string::npos) << r.m_szErr;
}
