// The command line on recordings the simulator made: info with and without
// the focus evaluation, render, and a hostile recording's exit code.
#include <gtest/gtest.h>

#include "OscTestFiles.h"
#include "support/TestSupport.h"

namespace {

CRunResult Cli(const std::vector<std::string>& args)
{
    return RunProgram(BinPath("lumora-cli"), args);
}

TEST(OscilloscopeCli, SamplesDescribeAndRender)
{
    CTempDir dir;
    struct {
        const char* m_szFile;
        std::vector<const char*> m_Facts;
    } cases[] = {
        {"oscilloscope-gray.con", {"\"kind\": \"oscilloscope\"", "\"lines\": 8", "\"color\": false",
                                   "\"camera_count\": 4"}},
        {"oscilloscope-color.con", {"\"color\": true", "\"pixels_per_line\": 21600"}},
        {"oscilloscope-gen9-5cam.con", {"\"generation\": 9", "\"camera_adjustment\": true"}},
        {"mtf.con", {"\"kind\": \"mtf\"", "\"mtf_arrays\": ["}},
    };
    for (const auto& c : cases) {
        const CRunResult r = Cli({"info", "--json", SampleFile(c.m_szFile)});
        EXPECT_EQ(r.m_iExit, 0) << c.m_szFile << r.m_szErr;
        for (const char* szFact : c.m_Facts)
            EXPECT_NE(r.m_szOut.find(szFact), std::string::npos) << szFact << "\n" << r.m_szOut.substr(0, 3000);
        EXPECT_EQ(r.m_szOut.find("\"focus\""), std::string::npos);
    }
    // Camera B of the simulated scanner is out of focus: its contrast is well below its neighbours'.
    const CRunResult focus = Cli({"info", "--json", "--focus", SampleFile("oscilloscope-gray.con")});
    ASSERT_EQ(focus.m_iExit, 0);
    auto mean = [&](char cCamera) {
        const size_t i = focus.m_szOut.find(std::string("\"camera\": \"") + cCamera + "\"");
        const size_t j = focus.m_szOut.find("\"mean_contrast\": ", i);
        return j == std::string::npos ? -1.0 : std::atof(focus.m_szOut.c_str() + j + 17);
    };
    EXPECT_GT(mean('A'), 40.0);
    EXPECT_LT(mean('B'), 0.6 * mean('A'));
    EXPECT_GT(mean('C'), 40.0);

    const CRunResult render = Cli({"render", SampleFile("oscilloscope-color.con"), "-o", dir.File("o.png")});
    EXPECT_EQ(render.m_iExit, 0) << render.m_szErr;
    EXPECT_GT(ReadFileBytes(dir.File("o.png")).size(), 1000u);
}

TEST(OscilloscopeCli, HostileRecordingIsMalformed)
{
    CTempDir dir;
    WriteFileBytes(dir.File("bad.con"), OscFile("[Oscilloscope]", OscKeys(2, 100), "x"));
    const CRunResult r = Cli({"info", "--json", dir.File("bad.con")});
    EXPECT_EQ(r.m_iExit, 65);
    EXPECT_NE(r.m_szOut.find("less than one line"), std::string::npos) << r.m_szOut;
    const CRunResult render = Cli({"render", dir.File("bad.con"), "-o", dir.File("o.png")});
    EXPECT_NE(render.m_iExit, 0);
}

} // namespace
