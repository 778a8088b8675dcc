#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "testtools/ResultText.h"
#include "testtools/StarTestEngine.h"

namespace {

struct Row {
    double x = 0, y = 0, wide = 0;
    int xs = 0, ys = 0;
    int sp[3] = {0, 0, 0};
};

// One measured record in the file's own layout.
std::string Record(const std::vector<Row>& rows, int iXStart, int iXEnd, int iSpeedIndex = 0, bool bEnd = true,
                   int iLength = -1)
{
    const int n = iLength >= 0 ? iLength : int(rows.size());
    std::string sz = Printf("Length = %d\nScanSpeed = 4\nScanWidth = %5.1f\nResolution = 300\n", n, 36.0);
    sz += Printf("XVib_Start = %d\nXVib_End = %d\nYVib_Start = %d\nYVib_End = %d\n", iXStart, iXEnd, iXStart, iXEnd);
    sz += Printf("WideLine_Start = 0\nWideLine_End = %d\nScanSpeedIndex = %d\n", int(rows.size()), iSpeedIndex);
    sz += "ScanSpeedWidth = 100\nScanSpeedBytePerPix = 1\nAvgResult = 0\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        sz += Printf("%d\t %5.2f\t%5.2f\t%d\t%5.2f\t %d\t%d\t%d %5.2f\t%5.2f %d\t%d\t\n", int(i), r.x, r.y, 0, r.wide,
                     r.sp[0], r.sp[1], r.sp[2], 3.0, 3.0, r.xs, r.ys);
    }
    if (bEnd) sz += "END_DATA\n";
    return sz;
}

std::string File(const std::string& szRecords, int iSweep = 1, int iRepeat = 0)
{
    std::string sz = Printf("[StarTest]\nVersion = 1\nSweep = %d\n", iSweep);
    if (iRepeat) sz += Printf("Repeat = %d\n", iRepeat);
    return sz + "BEGIN_DATA\n" + szRecords;
}

// Rows whose X line follows the 45 degree path exactly except for the given
// deviations; a line starts at every index listed in starts.
std::vector<Row> Rows(const std::vector<double>& dev, const std::vector<int>& starts)
{
    std::vector<Row> rows(dev.size());
    double dBase = 100;
    for (size_t i = 0; i < dev.size(); ++i) {
        for (int s : starts)
            if (size_t(s) == i) {
                rows[i].xs = 1;
                dBase = 100 + 20.0 * double(i);
            }
        rows[i].x = dBase - double(i) + dev[i];
        rows[i].y = 50 + double(i);
    }
    return rows;
}

CStarTestEngine PlainEngine()
{
    CStarTestEngine e;
    e.m_bDetrend = false;
    e.m_bSubtractWideLine = false;
    return e;
}

} // namespace

TEST(StarTestEngine, LineValuesAndAppFctByHand)
{
    CStarTestEngine e = PlainEngine();
    // line 0: deviations 0, 0.5, 0 -> 10 * 0.25/3; line 1: 0, 0, 1 -> 10/3 against limit 1.75
    ASSERT_TRUE(e.ReadText(File(Record(Rows({0, 0.5, 0, 0, 0, 1}, {0, 3}), 0, 6)), "t"));
    ASSERT_EQ(e.m_Sweeps.size(), 1u);
    const StarTestSweep& s = e.m_Sweeps[0];
    ASSERT_EQ(s.m_Lines.size(), 2u);
    EXPECT_NEAR(s.m_Lines[0].m_dValue, 10 * 0.25 / 3, 1e-5);
    EXPECT_EQ(s.m_Lines[0].m_iRow, 1);
    EXPECT_TRUE(s.m_Lines[0].m_bPassed);
    EXPECT_NEAR(s.m_Lines[1].m_dValue, 10.0 / 3, 1e-5);
    EXPECT_FALSE(s.m_Lines[1].m_bPassed);
    EXPECT_NEAR(s.m_dAppFct, (10.0 / 3) / 1.75, 1e-5);
    EXPECT_EQ(s.m_iAppFctLine, 1);
    EXPECT_FALSE(s.m_bPassed);
    EXPECT_EQ(s.m_iErrorNo, CStarTestEngine::kErrorLineFailed);
    EXPECT_EQ(s.m_iLineCount, 2);
    EXPECT_NEAR(s.m_dXVibAvg[4], 10.0 / 3, 1e-5);
    EXPECT_EQ(s.m_RowColors[3], 0x00FFFFu);
    EXPECT_TRUE(e.m_Messages.empty());
}

TEST(StarTestEngine, ValueExactlyAtItsLimitFails)
{
    struct Case { std::vector<double> dev; bool passed; } cases[] = {
        {{0, 1, 0, 0, 0}, false},       // 10 * 1/5 = 2.0, the limit of line 0
        {{0, 0.99, 0, 0, 0}, true},     // just below
    };
    for (const Case& c : cases) {
        CStarTestEngine e = PlainEngine();
        ASSERT_TRUE(e.ReadText(File(Record(Rows(c.dev, {0}), 0, 5)), "t"));
        ASSERT_EQ(e.m_Sweeps[0].m_Lines.size(), 1u);
        EXPECT_EQ(e.m_Sweeps[0].m_bPassed, c.passed);
        if (!c.passed) {
            EXPECT_DOUBLE_EQ(e.m_Sweeps[0].m_dAppFct, 1.0);
        }
    }
}

TEST(StarTestEngine, DetrendFitsEachSegmentAndOneRowSegmentCopiesThePreviousValue)
{
    CStarTestEngine e;
    e.m_bSubtractWideLine = false;
    ASSERT_TRUE(e.ReadText(File(Record(Rows({0, 0.5, 0, 0, 0, 0}, {0, 3, 4}), 0, 6)), "t"));
    const std::vector<double>& v = e.m_Sweeps[0].m_dXVib;
    // 0, 0.5, 0 less its best line (flat at 1/6)
    EXPECT_NEAR(v[0], -1.0 / 6, 1e-5);
    EXPECT_NEAR(v[1], 1.0 / 3, 1e-5);
    EXPECT_NEAR(v[2], -1.0 / 6, 1e-5);
    EXPECT_NEAR(v[3], v[2], 1e-12); // row 3 alone between two line starts
    EXPECT_NEAR(v[4], 0.0, 1e-5);
}

TEST(StarTestEngine, FewerThanTenLinesFailsEvenWhenEveryLinePassed)
{
    for (int iLines : {9, 10}) {
        std::vector<int> starts;
        for (int i = 0; i < iLines; ++i) starts.push_back(i * 3);
        CStarTestEngine e = PlainEngine();
        ASSERT_TRUE(e.ReadText(File(Record(Rows(std::vector<double>(size_t(iLines) * 3, 0.0), starts), 0, iLines * 3)),
                               "t"));
        const StarTestSweep& s = e.m_Sweeps[0];
        EXPECT_TRUE(s.m_bPassed);
        EXPECT_EQ(s.m_iLineCount, iLines);
        EXPECT_EQ(s.IsFailing(), iLines < 10) << iLines;
    }
}

TEST(StarTestEngine, ScanSpeedAndWideLineByHand)
{
    std::vector<Row> rows(5);
    const double kWide[5] = {1, 2, 3, 4, 10};
    for (int i = 0; i < 5; ++i) rows[size_t(i)].wide = kWide[i];
    rows[0].sp[0] = 0; rows[0].sp[1] = 0; rows[0].sp[2] = 2;
    rows[1].sp[0] = 100; rows[1].sp[1] = 50000; rows[1].sp[2] = 4;
    CStarTestEngine e = PlainEngine();
    ASSERT_TRUE(e.ReadText(File(Record(rows, 0, 5, 2)), "t"));
    const StarTestSweep& s = e.m_Sweeps[0];
    const double kSpeed[5] = {0, 0, 0.1, 0.1, 0};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(s.m_dSpeedOrDeviation[size_t(i)], kSpeed[i], 1e-12) << i;
    // mid value at row 2 (3): -2 -1 0 1 7; row 0 averages 41 x -2, -1, 0, 1 and 37 x 7
    EXPECT_NEAR(s.m_dWideLineUnsmoothed[4], 7.0, 1e-6);
    EXPECT_NEAR(s.m_dWideLine[0], 177.0 / 81, 1e-6);
    EXPECT_NEAR(s.m_dXLineWidth[2], 0.0, 1e-6); // zero-mean
}

TEST(StarTestEngine, RepeatsAreAveragedWithTheSampleStandardDeviation)
{
    // six measured records, three groups of two: repeat k of group j at k*3+j
    const double kDev[6] = {0.3, 0.6, 0.9, 0.6, 0.6, 0.3};
    std::string sz;
    for (double d : kDev) sz += Record(Rows({0, d, 0}, {0}), 0, 3);
    CStarTestEngine e = PlainEngine();
    ASSERT_TRUE(e.ReadText(File(sz, 9, 2), "t"));
    ASSERT_EQ(e.m_Sweeps.size(), 9u);
    EXPECT_EQ(e.m_iSweepCount, 9);
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(e.m_Sweeps[i].m_bAvgResult, i >= 6) << i;
    for (int j = 0; j < 3; ++j) {
        const double a = 10 * kDev[j] * kDev[j] / 3, b = 10 * kDev[j + 3] * kDev[j + 3] / 3;
        const StarTestSweep& avg = e.m_Sweeps[size_t(6 + j)];
        ASSERT_EQ(avg.m_Lines.size(), 1u);
        EXPECT_NEAR(avg.m_Lines[0].m_dValue, (a + b) / 2, 1e-5) << j;
        EXPECT_NEAR(avg.m_dLineStdDev[0], std::fabs(a - b) / std::sqrt(2.0), 1e-5) << j;
        EXPECT_NEAR(avg.m_dSpeedOrDeviation[1], avg.m_dLineStdDev[0], 1e-12);
        EXPECT_EQ(avg.m_iResolution, 300);
    }
    // group 2: (2.7 + 0.3) / 2 = 1.5 < 2.0 passes; group 0: 0.3 and 1.2 pass
    EXPECT_TRUE(e.m_Sweeps[8].m_bPassed);
    EXPECT_EQ(e.m_iDisplayed, 6); // the first averaged record
}

TEST(StarTestEngine, HostileFilesEndWithAMessage)
{
    const std::string kGood = Record(Rows({0, 0, 0}, {0}), 0, 3);
    struct Case { std::string text; const char* message; size_t sweeps; } cases[] = {
        {File("Length = -5\n0\t 1.0\t1.0\t0\t1.0\t 0\t0\t0 1.0\t1.0 0\t0\t\nEND_DATA\n"), "Length -5 is not valid", 0},
        {File("Length = 2000000000\nEND_DATA\n"), "more than the file can hold", 0},
        {File(Record(Rows({0, 0, 0, 0, 0}, {0}), 0, 5, 0, true, 3)), "2 data rows outside Length 3", 1},
        {File(kGood.substr(0, kGood.size() - 9)), "END_DATA missing after sweep 1", 1},
        {"[StarTest]\nVersion = 1\nSweep = 1\n", "BEGIN_DATA not found", 0},
        {"[StarTest]\nVersion = 7\nSweep = 1\nBEGIN_DATA\n" + kGood, "version 7 is not supported", 0},
        {File("7\t 1.0\nEND_DATA\n"), "data rows before Length were ignored", 0},
        {File(""), "the file holds no sweep", 0},
        {File("Length = 3\nXVib_Start = -100\nXVib_End = 99999\nWideLine_End = 2147483647\nScanSpeedIndex = "
              "2147483647\n0\t 1e38\t-1e38\t-2147483648\t1e30\t 2147483647\t-2147483648\t5 nan\tinf 1\t1\t\n"
              "1\t 1\t1\t1\t1\t -2147483648\t2147483647\t-7\nEND_DATA\n"),
         nullptr, 1},
    };
    for (const Case& c : cases) {
        CStarTestEngine e;
        e.ReadText(c.text, "bad.txt");
        EXPECT_EQ(e.m_Sweeps.size(), c.sweeps) << c.text;
        if (!c.message) continue;
        bool bFound = false;
        for (const std::string& m : e.m_Messages) bFound |= m.find(c.message) != std::string::npos && m.find("bad.txt") == 0;
        EXPECT_TRUE(bFound) << c.message << "\n" << (e.m_Messages.empty() ? "(none)" : e.m_Messages[0]);
    }
    CStarTestEngine e;
    EXPECT_FALSE(e.ReadFile("/nonexistent/star.txt"));
    EXPECT_TRUE(e.m_Sweeps.empty());
}

TEST(StarTestEngine, SampleRoundTripsAndFailsOneLine)
{
    const std::vector<StarTestSweep> sample = MakeSampleStarTestSweeps();
    const std::string sz = CStarTestEngine::FormatFile(sample, 9, 2);
    CTempDir dir;
    const std::string szPath = dir.File("StarTest_0815.txt");
    ASSERT_TRUE(CStarTestEngine::WriteFile(szPath, sample, 9, 2));
    CStarTestEngine e;
    ASSERT_TRUE(e.ReadFile(szPath));
    EXPECT_TRUE(e.m_Messages.empty());
    ASSERT_EQ(e.m_Sweeps.size(), 9u);
    EXPECT_EQ(CStarTestEngine::FormatFile(e.m_Sweeps, 9, 2), sz);

    int iFailedMeasured = 0;
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(e.m_Sweeps[i].m_iLineCount, 12);
        for (const StarTestLine& l : e.m_Sweeps[i].m_Lines) iFailedMeasured += l.m_bPassed ? 0 : 1;
    }
    EXPECT_EQ(iFailedMeasured, 1);
    EXPECT_FALSE(e.m_Sweeps[4].m_bPassed);
    EXPECT_EQ(e.m_Sweeps[4].m_iAppFctLine, 5);
    EXPECT_TRUE(e.m_Sweeps[0].m_bColorScan);
    EXPECT_EQ(e.m_Sweeps[1].m_szRawPictureName, dir.File("StarTest_0815_Sweep02.tif"));

    e.m_iDisplayed = 4;
    const StarTestChartData c = e.ChartData();
    ASSERT_EQ(c.m_Curves.size(), 9u);
    EXPECT_EQ(c.m_Curves[0].m_szName, "X-vib");
    EXPECT_EQ(c.m_Curves[6].m_szName, "Scan Speed");
    ASSERT_EQ(c.m_MarkerRows.size(), 1u);
    EXPECT_EQ(c.m_MarkerRows[0], 20 + 5 * 150 + 75);
    e.m_iDisplayed = 6;
    const StarTestChartData a = e.ChartData();
    ASSERT_EQ(a.m_Curves.size(), 2u);
    EXPECT_EQ(a.m_Curves[1].m_szName, "Std Dev");
}
