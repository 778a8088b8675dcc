#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/TestSupport.h"
#include "testtools/ResultText.h"
#include "testtools/TonalChart.h"
#include "testtools/TonalResult.h"

namespace {

// A patch of n pixels whose three channels have the given mean and variance.
void SetPatch(TonalPatch& p, int32_t n, const double mean[3], const double var[3])
{
    uint32_t* sums[3] = {&p.m_iSumR, &p.m_iSumG, &p.m_iSumB};
    uint32_t* squares[3] = {&p.m_iSumRR, &p.m_iSumGG, &p.m_iSumBB};
    p.m_iN = n;
    for (int c = 0; c < 3; ++c) {
        const double dSum = mean[c] * n;
        *sums[c] = uint32_t(std::llround(dSum));
        *squares[c] = uint32_t(std::llround(var[c] * (n - 1) + dSum * dSum / n));
    }
}

// L from 100 down in steps of 4; the scanner saturates on the three
// lightest patches and sees the four darkest as one.
TonalResult StepResult(int32_t iVersion = 2)
{
    TonalResult r;
    r.m_iVersion = iVersion;
    r.m_szScannerName = "Bench";
    for (int i = 0; i < 24; ++i) {
        double m = 255;
        if (i >= 3 && i <= 19) m = 255 - 14.0 * (i - 2);
        if (i >= 20) m = 5;
        const double mean[3] = {m, m, m}, var[3] = {4, 4, 4};
        r.m_Patches[size_t(i)].m_dL = 100 - 4.0 * i;
        SetPatch(r.m_Patches[size_t(i)], 1000, mean, var);
    }
    r.m_iBitDepthIndex = {2, 20};
    r.m_bLoaded = true;
    r.Compute();
    return r;
}

} // namespace

TEST(TonalResult, LightnessConversions)
{
    struct Case { double L, y, d; } cases[] = {
        {100, 1.0, 0.0},
        {50, std::pow(66.0 / 116, 3), 0.734742},
        {8, std::pow(24.0 / 116, 3), 2.052740},
        {4, 4 / 903.3, 2.353772}, // linear part below 7.9996248
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(TonalY(c.L), c.y, 1e-9) << c.L;
        EXPECT_NEAR(TonalDensity(c.L), c.d, 1e-6) << c.L;
    }
    EXPECT_NEAR(TonalY(7.9996248), std::pow(23.9996248 / 116, 3), 1e-6); // both pieces meet
    EXPECT_DOUBLE_EQ(TonalDensity(0), 10.0);                             // no infinity from a black reference

    EXPECT_DOUBLE_EQ(ScannerLightness(255), 255.0);
    EXPECT_DOUBLE_EQ(ScannerLightness(0), 0.0);
    EXPECT_NEAR(ScannerLightness(1), 2.55 * 903.3 / 255, 1e-9);
    EXPECT_NEAR(ScannerLightness(255 * 0.18419), 2.55 * 50, 0.01);
}

TEST(TonalResult, BitDepth)
{
    // mean 200, standard deviation 2: log2(100)
    EXPECT_NEAR(TonalBitDepth(1000, 200000, 4 * 999 + 40000000.0), std::log2(100.0), 1e-9);
    EXPECT_DOUBLE_EQ(TonalBitDepth(1, 200, 40000), 0.0);             // one sample
    EXPECT_DOUBLE_EQ(TonalBitDepth(10, 2000, 400000), 0.0);          // no variance
    EXPECT_DOUBLE_EQ(TonalBitDepth(0, 0, 0), 0.0);
}

TEST(TonalResult, DynamicRangeIndicesByHand)
{
    const TonalResult r = StepResult();
    // patch 3 is the first to climb more than 0.2 per L from the white end;
    // patch 19 the first, counting down from 22, to leave the black end
    EXPECT_EQ(r.m_iIndexMinDynamicRange, 2);
    EXPECT_EQ(r.m_iIndexMaxDynamicRange, 20);
    EXPECT_NEAR(r.m_dIT8DynamicRange, 2.052740, 1e-6);           // D(8) - D(100)
    EXPECT_NEAR(r.m_dScannerDynamicRange, 1.524466 - 0.093103, 1e-5); // D(20) - D(92)
    EXPECT_NEAR(r.m_Patches[5].m_dDensity, TonalDensity(80), 1e-12);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(r.m_dBitDepthLight[size_t(c)], std::log2(255 / 2.0), 1e-6);
}

TEST(TonalResult, BestFitOfAPerfectScannerAndOfAFlatTarget)
{
    TonalResult r;
    for (int i = 0; i < 24; ++i) {
        TonalPatch& p = r.m_Patches[size_t(i)];
        p.m_dL = 97 - 4.0 * i;
        p.m_iN = 100000;
        const uint32_t s = uint32_t(std::llround(255 * TonalY(p.m_dL) * p.m_iN));
        p.m_iSumR = p.m_iSumG = p.m_iSumB = s;
    }
    r.Compute();
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(r.m_dSlope[size_t(c)], 2.55, 1e-4);
        EXPECT_NEAR(r.m_dOffset[size_t(c)], 0.0, 1e-3);
        EXPECT_NEAR(r.m_dCorrelation[size_t(c)], 1.0, 1e-8);
    }
    EXPECT_LT(r.m_dMaxLightDeviation, 0.01);
    EXPECT_LT(r.m_dMaxDarkDeviation, 0.01);

    // one patch off the line: its deviation lands in the dark or light maximum by density
    r.m_Patches[23].m_iSumG = uint32_t(std::llround(255 * TonalY(5.0 + 6) * 100000)); // L 5 looks like 11
    r.Compute();
    EXPECT_GT(r.m_dMaxDarkDeviation, 10.0);
    EXPECT_LT(r.m_dMaxLightDeviation, r.m_dMaxDarkDeviation);

    TonalResult flat;
    for (TonalPatch& p : flat.m_Patches) {
        p.m_dL = 50;
        p.m_iN = 10;
        p.m_iSumR = p.m_iSumG = p.m_iSumB = 1000;
    }
    flat.Compute();
    EXPECT_DOUBLE_EQ(flat.m_dSlope[0], 0.0);
    EXPECT_DOUBLE_EQ(flat.m_dCorrelation[0], 0.0);
    EXPECT_TRUE(std::isfinite(flat.m_dOffset[0]));
}

TEST(TonalResult, FileRoundTripAndDefaults)
{
    const TonalResult sample = MakeSampleTonalResult();
    const std::string sz = sample.Format();
    EXPECT_EQ(sz.rfind("[Tonal Resolution]\nVersion=\t2\nScannerName=\tZel Wide 3600\n", 0), 0u);
    EXPECT_NE(sz.find("\nMaxLigktDeviation =\t"), std::string::npos);
    EXPECT_NE(sz.find("\nBitDebthColorIndex=\tGS02\tGS20\n"), std::string::npos);
    TonalResult back;
    back.ReadText(sz, "s.txt");
    EXPECT_TRUE(back.m_bLoaded);
    EXPECT_TRUE(back.m_Messages.empty());
    EXPECT_EQ(back.Format(), sz);
    EXPECT_EQ(back.m_Patches[7].m_iSumG, sample.m_Patches[7].m_iSumG);

    TonalResult d;
    d.ReadText("[Tonal Resolution]\nScannerName=\tX3+\nGammaSlopeLimit=\t-1\nGS00=50.0\t1\t1\t1\t1\t1\t1\t1\n", "d.txt");
    EXPECT_EQ(d.m_szScannerName, "X3");
    EXPECT_EQ(d.m_iGammaSlopeLimit, 3);
    EXPECT_EQ(d.m_iBitDepthIndex[0], 99);
    EXPECT_EQ(d.m_iBitDepthIndex[1], 99);
    EXPECT_EQ(d.m_szDate, "No Date");
    EXPECT_EQ(d.m_szFirmwareBuild, "No Firmware Build");
    ASSERT_EQ(d.m_Messages.size(), 1u);
    EXPECT_EQ(d.m_Messages[0], "d.txt: 23 of the 24 patches are missing");
    EXPECT_NE(d.Format().find("BitDebthColorIndex=\tGS99\tGS99\n"), std::string::npos);
}

TEST(TonalResult, BadFilesEndWithAMessage)
{
    struct Case { std::string text; const char* message; bool loaded; } cases[] = {
        {"[Tonal Resolution]\nScannerName=\tDefault\nGS00=50\t1\t1\t1\t1\t1\t1\t1\n", "holds no result", false},
        {"[Tonal Resolution]\nVersion=\t2\n", "the file holds no patches", false},
        {"[Other]\nGS00=50\t1\t1\t1\t1\t1\t1\t1\n", "the file holds no patches", false},
        {"[Tonal Resolution]\nGS00=nan\t-5\t-1\t99999999999\tx\n", "23 of the 24 patches are missing", true},
        {std::string("\0\xff\n=\n[Tonal Resolution]\nGS05=", 29) + std::string(10000, '9'), "23 of the 24", true},
    };
    for (const Case& c : cases) {
        TonalResult r;
        r.ReadText(c.text, "bad.txt");
        EXPECT_EQ(r.m_bLoaded, c.loaded) << c.text;
        ASSERT_FALSE(r.m_Messages.empty()) << c.text;
        EXPECT_NE(r.m_Messages[0].find(c.message), std::string::npos) << r.m_Messages[0];
        EXPECT_EQ(r.m_Messages[0].rfind("bad.txt: ", 0), 0u);
        for (const std::string& l : r.TextResultLines()) EXPECT_EQ(l.find("nan"), std::string::npos);
    }
    TonalResult missing;
    EXPECT_FALSE(missing.Read("/nonexistent/tonal.txt"));
    EXPECT_EQ(missing.TextResultLines(), std::vector<std::string>{"No data to display."});
    EXPECT_EQ(missing.m_szScannerName, "No Name");
}

TEST(TonalResult, EarlyFilesAreRepairedAboveTheThresholdOnly)
{
    // light patch: red sd 2; green sd such that its bit depth exceeds red's by d
    struct Case { int version; double diff; bool repaired; } cases[] = {
        {1, 1.0, true}, {1, 0.79, false}, {2, 1.0, false},
    };
    for (const Case& c : cases) {
        TonalResult r = StepResult(c.version);
        const double sdG = 2.0 / std::pow(2.0, c.diff);
        for (TonalPatch& p : r.m_Patches) {
            const double mean[3] = {200, 200, 200}, var[3] = {4, sdG * sdG, 4};
            SetPatch(p, 1000, mean, var);
        }
        r.Compute();
        EXPECT_NEAR(r.m_dBitDepthLight[1] - r.m_dBitDepthLight[0], c.diff, 1e-3);
        CTempDir dir;
        const std::string szPath = dir.File("tonal.txt");
        ASSERT_TRUE(r.Write(szPath));
        const std::string szBefore = ReadFileBytes(szPath);

        TonalResult back;
        ASSERT_TRUE(back.Read(szPath));
        const bool bCopy = std::filesystem::exists(szPath + "_Original");
        EXPECT_EQ(bCopy, c.repaired) << c.diff;
        if (!c.repaired) {
            EXPECT_EQ(ReadFileBytes(szPath), szBefore);
            EXPECT_EQ(back.m_Patches[2].m_iN, 1000);
            continue;
        }
        EXPECT_EQ(ReadFileBytes(szPath + "_Original"), szBefore);
        EXPECT_EQ(back.m_Patches[2].m_iN, 992);
        EXPECT_EQ(back.m_Patches[2].m_iSumG, 200000u - 2040u);
        EXPECT_NE(ReadFileBytes(szPath).find("GS02= 92.00\t992\t200000\t197960\t"), std::string::npos);
        // a second load leaves the corrected file alone
        const std::string szRepaired = ReadFileBytes(szPath);
        TonalResult again;
        ASSERT_TRUE(again.Read(szPath));
        EXPECT_EQ(ReadFileBytes(szPath), szRepaired);
        EXPECT_EQ(ReadFileBytes(szPath + "_Original"), szBefore);
    }
}

TEST(TonalResult, ACorrectionTheFileCannotTakeIsKeptForSaving)
{
    TonalResult r = StepResult(1);
    for (TonalPatch& p : r.m_Patches) {
        const double mean[3] = {200, 200, 200}, var[3] = {4, 0.25, 4};
        SetPatch(p, 1000, mean, var);
    }
    r.Compute();
    ASSERT_TRUE(TonalResult::NeedsRepair(r));
    CTempDir dir;
    // a name too long to take "_Original": no copy, so no rewrite either
    const std::string szPath = dir.File(std::string(250, 't'));
    ASSERT_TRUE(r.Write(dir.File("short.txt")));
    std::filesystem::rename(dir.File("short.txt"), szPath);
    const std::string szBefore = ReadFileBytes(szPath);
    TonalResult back;
    ASSERT_TRUE(back.Read(szPath));
    EXPECT_EQ(back.m_Patches[2].m_iN, 992);
    EXPECT_TRUE(back.m_bRepairUnsaved);
    EXPECT_EQ(ReadFileBytes(szPath), szBefore);
    ASSERT_EQ(back.m_Messages.size(), 1u);
    EXPECT_NE(back.m_Messages[0].find("the file was not corrected on disk"), std::string::npos);

    TonalResult plain;
    ASSERT_TRUE(StepResult(2).Write(dir.File("plain.txt")));
    ASSERT_TRUE(plain.Read(dir.File("plain.txt")));
    EXPECT_FALSE(plain.m_bRepairUnsaved);
}

TEST(TonalResult, TextResultAndChartValues)
{
    const TonalResult r = StepResult();
    const std::vector<std::string> t = r.TextResultLines();
    ASSERT_EQ(t.size(), 13u);
    EXPECT_EQ(t[1], "   IT8 dynamic range:           2.05");
    EXPECT_EQ(t[5].substr(0, 29), "   Slope:                    ");
    const std::vector<std::string> p = r.PrintLines();
    EXPECT_EQ(p[0], "Scanner:          Bench");
    EXPECT_EQ(p[8], "GS00    100.00    255.00    255.00    255.00");
    EXPECT_EQ(p.size(), 8u + 24u + 13u);

    const CPlotRect plot{50, 20, 450, 220};
    EXPECT_EQ(TonalMapX(0, plot), 50);
    EXPECT_EQ(TonalMapX(50, plot), 250);
    EXPECT_EQ(TonalMapY(255, TONAL_VIEW_BEST_FIT, plot), 20);
    EXPECT_EQ(TonalMapY(0, TONAL_VIEW_DIFFERENCE, plot), 120);
    EXPECT_EQ(TonalMapY(2.5, TONAL_VIEW_DYNAMIC_RANGE, plot), 120);
    EXPECT_DOUBLE_EQ(TonalChartValue(r, TONAL_VIEW_BEST_FIT, 4, 0, true), 255 - 28.0);
    EXPECT_NEAR(TonalChartValue(r, TONAL_VIEW_DYNAMIC_RANGE, 23, 0, false), -std::log10(5 / 255.0), 1e-12);
}

TEST(TonalChart, AxisLabelsAreRoundNumbersWithZero)
{
    struct Case { CTonalAxis axis; std::vector<double> labels; };
    const Case cases[] = {
        {TonalYAxis(TONAL_VIEW_BEST_FIT), {0, 50, 100, 150, 200, 250}},
        {TonalYAxis(TONAL_VIEW_DIFFERENCE), {-10, -5, 0, 5, 10}},
        {TonalYAxis(TONAL_VIEW_DYNAMIC_RANGE), {0, 1, 2, 3, 4, 5}},
        {TonalXAxis(), {0, 20, 40, 60, 80, 100}},
        {CTonalAxis{-7, 9, 2}, {-4, 0, 4, 8}}, // a minimum off the label grid still labels 0
        {CTonalAxis{0, 5, 0}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TonalAxisLabels(c.axis), c.labels) << c.axis.m_dMin << ".." << c.axis.m_dMax;
}
