#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/DataTable.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "support/DataFileBytes.h"
#include "support/TestSupport.h"
#include "viewers/LightProfileFile.h"
#include "viewers/NoiseRecord.h"

namespace {
CDataTable Export(const std::string& szSample, const std::string& szOut)
{
    const CRunResult r = RunProgram(BinPath("lumora-cli"), {"export", SampleFile(szSample), "--csv", szOut});
    EXPECT_EQ(r.m_iExit, 0) << szSample << ": " << r.m_szErr;
    CDataTable table;
    EXPECT_TRUE(ParseDataTableCsv(ReadFileBytes(szOut), table)) << szSample;
    return table;
}

std::vector<double> Doubles(const uint8_t* p, size_t n)
{
    return std::vector<double>(p, p + n);
}

} // namespace

// The CSV holds exactly the samples the viewers hand their graphs.
TEST(ExportCli, CsvNumbersAreTheGraphsSamples)
{
    CTempDir dir;
    {
        CLightProfileLoad load = LoadLightProfile(SampleFile("light-profile-color-4cam-red.con"), LPF_VIEWER_FILE);
        ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK);
        const CDataTable t = Export("light-profile-color-4cam-red.con", dir.File("lp.csv"));
        EXPECT_EQ(t.m_Headers, (std::vector<std::string>{"pixel", "red"}));
        ASSERT_EQ(t.m_Columns.size(), 1u);
        EXPECT_EQ(t.m_Columns[0], Doubles(load.m_Profile.m_Data.data(), load.m_Profile.m_Data.size()));
    }
    {
        CNoiseRecord rec;
        ASSERT_TRUE(rec.ReadNoiseFile(SampleFile("noise-test-color.con")));
        const CDataTable t = Export("noise-test-color.con", dir.File("noise.csv"));
        EXPECT_EQ(t.m_Headers, (std::vector<std::string>{"pixel", "red", "green", "blue", "gray"}));
        ASSERT_EQ(t.m_Columns.size(), 4u);
        const int32_t colours[4] = {0, 1, 2, 4};
        for (size_t c = 0; c < 4; ++c)
            EXPECT_EQ(t.m_Columns[c], Doubles(rec.Channel(colours[c])->data(), rec.Channel(colours[c])->size())) << c;
    }
    {
        COscRecording rec;
        ASSERT_EQ(ReadOscilloscopeFile(SampleFile("oscilloscope-color.con"), rec).m_eOutcome, OSC_READ_LOADED);
        const CRunResult r = RunProgram(BinPath("lumora-cli"),
                                        {"export", SampleFile("oscilloscope-color.con"), "--csv", dir.File("osc.csv")});
        ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
        // Every recorded line, the first under the plain colour names. The
        // first rows are compared: the whole table's parse would make this
        // process large, and the programs it starts count that as theirs.
        const std::string csv = ReadFileBytes(dir.File("osc.csv"));
        const size_t n = std::min<size_t>(size_t(rec.m_iPixelsPerLine), 1000);
        size_t iEnd = 0;
        for (size_t i = 0; i <= n && iEnd != std::string::npos; ++i)
            iEnd = csv.find('\n', iEnd + (i > 0));
        ASSERT_NE(iEnd, std::string::npos);
        EXPECT_EQ(size_t(std::count(csv.begin(), csv.end(), '\n')), size_t(rec.m_iPixelsPerLine) + 1);
        CDataTable t;
        ASSERT_TRUE(ParseDataTableCsv(csv.substr(0, iEnd + 1), t));
        ASSERT_GT(rec.m_iLines, 1);
        ASSERT_EQ(t.m_Columns.size(), size_t(1 + 3 * rec.m_iLines));
        EXPECT_EQ(std::vector<std::string>(t.m_Headers.begin(), t.m_Headers.begin() + 6),
                  (std::vector<std::string>{"pixel", "camera", "red", "green", "blue", "red line 2"}));
        EXPECT_EQ(t.m_Headers.back(), "blue line " + std::to_string(rec.m_iLines));
        ASSERT_EQ(t.Rows(), n);
        for (int64_t l = 0; l < rec.m_iLines; ++l)
            for (int32_t p = 0; p < 3; ++p)
                EXPECT_EQ(t.m_Columns[size_t(1 + 3 * l + p)], Doubles(rec.Line(p, l), n)) << l << " " << p;
        // Camera letters step up along the line, A first.
        EXPECT_EQ(t.m_Columns[0].front(), 0);
        EXPECT_TRUE(std::is_sorted(t.m_Columns[0].begin(), t.m_Columns[0].end()));
    }
    // Result files: labelled rows, numbers at full precision.
    const CDataTable tonal = Export("TonalResolution_Sample.txt", dir.File("tonal.csv"));
    EXPECT_EQ(tonal.m_KeyLabels.size(), 24u);
    EXPECT_EQ(tonal.m_KeyLabels.front(), "GS00");
    const std::string csv = ReadFileBytes(dir.File("tonal.csv"));
    EXPECT_NE(csv.find_first_of("."), std::string::npos);
    const CDataTable star = Export("StarTest_Sample.txt", dir.File("star.csv"));
    EXPECT_EQ(star.m_Headers.front(), "row");
    EXPECT_GE(star.m_Columns.size(), 2u);
}

TEST(ExportCli, RefusalsNameTheFileAndWriteNothing)
{
    CTempDir dir;
    const std::string szProfile = SampleFile("light-profile-mono.con");
    WriteFileBytes(dir.File("note.txt"), "not a data file\n");
    std::filesystem::create_directories(dir.File("locked"));
    ::chmod(dir.File("locked").c_str(), 0555);
    const bool bRoot = ::geteuid() == 0; // root writes anywhere
    struct {
        std::string szIn, szOut;
        int iExit;
        const char* szSays;
    } cases[] = {
        {dir.File("missing.con"), dir.File("a.csv"), 66, "cannot be read"},
        {dir.File("note.txt"), dir.File("b.csv"), 65, "not a recognised data file"},
        {SampleFile("stitch-test.con"), dir.File("c.csv"), 65, "render it as PNG"},
        {szProfile, dir.File("no/such/folder/d.csv"), 73, "cannot write"},
        {szProfile, dir.File("locked/e.csv"), bRoot ? 0 : 73, bRoot ? "" : "cannot write"},
    };
    for (const auto& c : cases) {
        const CRunResult r = RunProgram(BinPath("lumora-cli"), {"export", c.szIn, "--csv", c.szOut});
        EXPECT_EQ(r.m_iExit, c.iExit) << c.szIn << " " << r.m_szErr;
        if (c.iExit == 0)
            continue;
        EXPECT_NE(r.m_szErr.find(c.szSays), std::string::npos) << r.m_szErr;
        EXPECT_NE(r.m_szErr.find(c.iExit == 73 ? c.szOut : c.szIn), std::string::npos) << r.m_szErr;
        EXPECT_FALSE(std::filesystem::exists(c.szOut)) << c.szOut;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("locked")) || bRoot) << "a temporary was left behind";
    ::chmod(dir.File("locked").c_str(), 0755);
}

// The thumbnailer draws each kind with its viewer's painting code and fits
// the picture into the square the file manager asks for.
TEST(Thumbnailer, FitsEveryKindIntoTheAskedSquare)
{
    CTempDir dir;
    struct {
        const char* szSample;
        int iSize;
    } cases[] = {
        {"light-profile-mono.con", 128}, {"stitch-test.con", 256},        {"noise-test-color.con", 64},
        {"oscilloscope-color.con", 128}, {"StarTest_Sample.txt", 128},     {"TonalResolution_Sample.txt", 128},
        {"camera-adjustment-check.con", 96},
    };
    for (const auto& c : cases) {
        const std::string szOut = dir.File(std::string(c.szSample) + ".png");
        const CRunResult r = RunProgram(BinPath("lumora-thumbnailer"),
                                        {"-s", std::to_string(c.iSize), SampleFile(c.szSample), szOut});
        ASSERT_EQ(r.m_iExit, 0) << c.szSample << ": " << r.m_szErr;
        const auto [w, h] = PngSize(ReadFileBytes(szOut));
        EXPECT_EQ(std::max(w, h), uint32_t(c.iSize)) << c.szSample << " " << w << "x" << h;
        EXPECT_GT(std::min(w, h), 0u) << c.szSample;
    }
    WriteFileBytes(dir.File("note.con"), "plain text\n");
    const CRunResult r = RunProgram(BinPath("lumora-thumbnailer"), {"-s", "64", dir.File("note.con"), dir.File("n.png")});
    EXPECT_NE(r.m_iExit, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("n.png")));
}
