// Noise tests: both file forms, the gray-channel rule, averages, the write/read
// round trip, the limit lookup and the dip/peak marks of the graph.
#include <gtest/gtest.h>

#include <tuple>

#include "datafiles/Settings.h"
#include "support/ProgramFolder.h"
#include "support/TestSupport.h"
#include "viewers/NoiseRecord.h"
#include "viewers/ViewerTestFiles.h"

namespace {

std::string HeaderNoise(bool bColor, int32_t iWidth, const std::string& szData, const std::string& szExtra = "")
{
    return ConTestFile("Noise Test",
                       "ScannerName=Zel 36\nFirmware Revision=3\nScannerWidth(1/1200)=50880\nColorScanner=" +
                           std::string(bColor ? "TRUE" : "FALSE") + "\nWidth=" + std::to_string(iWidth) +
                           "\nNoiseLimit=6\n" + szExtra,
                       szData);
}

bool ReadBytesAsNoise(const std::string& szBytes, CNoiseRecord& rec)
{
    CTempDir dir;
    WriteFileBytes(dir.File("n.con"), szBytes);
    return rec.ReadNoiseFile(dir.File("n.con"));
}

}  // namespace

TEST(NoiseRecord, AveragesAreRounded)
{
    const uint8_t samples[][4] = {{1, 2, 2, 2}, {1, 1, 1, 2}, {0, 0, 0, 1}, {255, 255, 255, 255}};
    const int32_t expected[] = {2, 1, 0, 255};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(RoundedAverage(samples[i], 4), expected[i]) << i;
    EXPECT_EQ(RoundedAverage(samples[0], 0), 0);

    CNoiseRecord rec;
    ASSERT_TRUE(ReadBytesAsNoise(HeaderNoise(true, 4, std::string("\x01\x02\x02\x02") + "\x0A\x0A\x0A\x0B" +
                                                          "\x03\x03\x03\x03"),
                                 rec));
    EXPECT_EQ(std::tie(rec.m_iAverageRed, rec.m_iAverageGreen, rec.m_iAverageBlue), std::make_tuple(2, 10, 3));
    EXPECT_FALSE(rec.m_bHasGray);
    EXPECT_EQ(rec.m_iNoiseLimit, 6);
    EXPECT_DOUBLE_EQ(rec.m_dWidthFactor, 10.0);
}

TEST(NoiseRecord, GrayChannelOnlyWhenMoreThan100BytesFollowBlue)
{
    const int32_t iW = 200;
    for (int32_t iAfterBlue : {0, 100, 101, 200, 300}) {
        SCOPED_TRACE(iAfterBlue);
        std::string szData(static_cast<size_t>(3 * iW + iAfterBlue), char(50));
        if (iAfterBlue > 0)
            szData.replace(static_cast<size_t>(3 * iW), static_cast<size_t>(iAfterBlue), iAfterBlue, char(90));
        CNoiseRecord rec;
        ASSERT_TRUE(ReadBytesAsNoise(HeaderNoise(true, iW, szData), rec));
        EXPECT_EQ(rec.m_bHasGray, iAfterBlue > 100);
        if (rec.m_bHasGray) {
            // A partial gray channel counts what is there; the rest stays zero.
            const int64_t iSum = int64_t(std::min(iAfterBlue, iW)) * 90;
            EXPECT_EQ(rec.m_iAverageGray, (iSum + iW / 2) / iW);
        }
    }
}

TEST(NoiseRecord, MonochromeAndHeaderlessForms)
{
    CNoiseRecord mono;
    ASSERT_TRUE(ReadBytesAsNoise(HeaderNoise(false, 3, "\x05\x06\x07"), mono));
    EXPECT_EQ(mono.m_Green, (std::vector<uint8_t>{5, 6, 7}));
    EXPECT_EQ(mono.m_Red, (std::vector<uint8_t>{0, 0, 0}));  // allocated, untouched
    EXPECT_EQ(std::tie(mono.m_iAverageGreen, mono.m_iAverageRed), std::make_tuple(6, 0));

    // Colour headerless: channels of (length - 92) / 3 bytes, width samples each.
    CNoiseRecord old;
    ASSERT_TRUE(ReadBytesAsNoise(OldNoise(true, 2, "\x01\x02\x09\x03\x04\x09\x05\x06\x09", 0x36C), old));
    EXPECT_EQ(std::tie(old.m_bHeaderless, old.m_bColorScanner), std::make_tuple(true, true));
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(std::tie(old.m_Red, old.m_Green, old.m_Blue), std::make_tuple(Bytes{1, 2}, Bytes{3, 4}, Bytes{5, 6}));
    EXPECT_EQ(old.m_szScannerName, "ZelOld");
    EXPECT_EQ(old.m_uModelCode, 0x36Cu);
    EXPECT_DOUBLE_EQ(old.m_dWidthFactor, 8.5);

    CNoiseRecord oldMono;
    ASSERT_TRUE(ReadBytesAsNoise(OldNoise(false, 3, "\x07\x08\x09"), oldMono));
    EXPECT_FALSE(oldMono.m_bColorScanner);
    EXPECT_EQ(oldMono.m_Green, (std::vector<uint8_t>{7, 8, 9}));
}

TEST(NoiseRecord, RefusesWhatItCannotRead)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"not a noise file", std::string(200, 'x')},
        {"width larger than the data", HeaderNoise(true, 100, std::string(299, 'a'))},
        {"negative width", HeaderNoise(false, -5, "abc")},
        {"no width", "[Noise Test]\nDataPointer=        30\nabc"},
        {"headerless too short", std::string(11, '\0') + char(19) + std::string(20, '\0')},
        {"headerless width beyond the channels", OldNoise(true, 4, "\x01\x02\x09\x03\x04\x09\x05\x06\x09")},
        {"headerless huge width", OldNoise(false, 0x7FFFFFFF, "abc")},
    };
    for (const auto& [szName, szBytes] : cases) {
        SCOPED_TRACE(szName);
        CNoiseRecord rec;
        EXPECT_FALSE(ReadBytesAsNoise(szBytes, rec));
        EXPECT_NE(rec.m_szError.find("n.con"), std::string::npos) << rec.m_szError;
    }
    CNoiseRecord rec;
    EXPECT_FALSE(rec.ReadNoiseFile("/nonexistent/n.con"));
}

TEST(NoiseRecord, WriteThenReadGivesTheSameRecord)
{
    CTempDir dir;
    for (bool bColor : {true, false}) {
        CNoiseRecord rec;
        rec.m_szScannerName = "Zel ScanWide";
        rec.m_szScannerID = bColor ? "CH1" : "";
        rec.m_iFirmwareRevision = 4;
        rec.m_iScannerWidth = 43200;
        rec.m_bColorScanner = bColor;
        rec.m_iWidth = 300;
        rec.m_iNoiseLimit = 7;
        ASSERT_TRUE(rec.AllocateChannels());
        for (int i = 0; i < 300; ++i) {
            rec.m_Red[i] = static_cast<uint8_t>(i);
            rec.m_Green[i] = static_cast<uint8_t>(i * 3);
            rec.m_Blue[i] = static_cast<uint8_t>(i * 7);
            rec.m_Gray[i] = static_cast<uint8_t>(i * 11);
        }
        rec.m_bHasGray = bColor;
        const std::string szPath = dir.File(bColor ? "c.con" : "m.con");
        ASSERT_TRUE(rec.WriteNoiseFile(szPath));
        const std::string szFile = ReadFileBytes(szPath);
        EXPECT_EQ(szFile.find("[Noise Test]\nDataPointer="), 0u);
        EXPECT_EQ(szFile.find("Scanner ID=") != std::string::npos, bColor);  // only when not empty

        CNoiseRecord back;
        ASSERT_TRUE(back.ReadNoiseFile(szPath));
        EXPECT_EQ(std::tie(back.m_iWidth, back.m_iNoiseLimit, back.m_iFirmwareRevision), std::make_tuple(300, 7, 4));
        EXPECT_EQ(std::tie(back.m_bColorScanner, back.m_bHasGray), std::make_tuple(bColor, bColor));
        EXPECT_EQ(back.m_szScannerName, "Zel ScanWide");
        EXPECT_EQ(back.m_Green, rec.m_Green);
        if (bColor)
            EXPECT_EQ(std::tie(back.m_Red, back.m_Blue, back.m_Gray), std::tie(rec.m_Red, rec.m_Blue, rec.m_Gray));
    }
    CNoiseRecord rec;
    rec.m_iWidth = 1;
    rec.AllocateChannels();
    EXPECT_FALSE(rec.WriteNoiseFile(dir.File("missing/folder/x.con")));
}

TEST(NoiseLimit, LooksUpTheModelSectionWithAliases)
{
    CProgramFolder folder({{"Fct_Tst6.ini", "[0x36C]\nALIAS=Wide36\n[Wide36]\nNoiseTest=7\n[0x10]\nNoiseTest=\n"}});
    struct Case {
        uint32_t m_uModel;
        bool m_bFound;
        int32_t m_iLimit;
        const char* m_szMessage;
    };
    const Case cases[] = {
        {0x36C, true, 7, ""},
        {0x10, false, 42, ""},  // present but empty: the previous limit stays, no message
        {0x99, false, 42, "Noise Test Value not found in Fct_Tst6.INI."},
    };
    for (const Case& c : cases) {
        int32_t iLimit = 42;
        std::string szMessage;
        EXPECT_EQ(LookupNoiseLimit(c.m_uModel, iLimit, szMessage), c.m_bFound) << c.m_uModel;
        EXPECT_EQ(iLimit, c.m_iLimit);
        EXPECT_EQ(szMessage, c.m_szMessage);
    }
}

TEST(NoiseMarks, DipsAndPeaksOfTheVisibleRange)
{
    // 200 samples at 100, a dip run 30..32 (lowest 31), a peak run 150..151 (first highest wins).
    std::vector<uint8_t> s(200, 100);
    s[30] = 90;
    s[31] = 80;
    s[32] = 80;
    s[150] = 120;
    s[151] = 120;
    s[199] = 50;  // a dip that runs to the end of the range
    const int32_t W = 400, H = 256;
    CNoiseMarks m = FindNoiseMarks(s, 0, W, H, 100, 1, NOISE_UNIT_INCH, 10.0);
    ASSERT_TRUE(m.m_bDrawn);
    EXPECT_EQ(m.m_uColor, 0x0000FFu);
    // avg = trunc(mean) of all samples
    int sum = 0;
    for (uint8_t v : s)
        sum += v;
    const int avg = sum / 200;
    EXPECT_EQ(std::tie(m.m_iAvg, m.m_iLo, m.m_iHi), std::make_tuple(avg, avg * 95 / 100, avg * 105 / 100));
    EXPECT_EQ(m.m_iYAverage, (256 - avg) * H / 256);
    EXPECT_EQ(m.m_iYLow, (256 - m.m_iLo) * H / 256);
    EXPECT_EQ(m.m_iYMirror, (m.m_iLo + 2 * (128 - avg)) * H / 256);
    EXPECT_EQ(std::tie(m.m_iFirst, m.m_iLast), std::make_tuple(0, 200));
    ASSERT_EQ(m.m_Marks.size(), 3u);
    EXPECT_EQ(m.m_Marks[0].m_iIndex, 31);
    EXPECT_EQ(m.m_Marks[0].m_iX, (31 + 1) * W / 200);
    EXPECT_EQ(m.m_Marks[0].m_iY, (255 - 80) * H / 256);
    EXPECT_EQ(m.m_Marks[0].m_szLabel, "6.6");  // 4.24 * 10 * 31 / 200
    EXPECT_EQ(m.m_Marks[1].m_iIndex, 199);
    EXPECT_TRUE(m.m_Marks[2].m_bPeak);
    EXPECT_EQ(m.m_Marks[2].m_iIndex, 150);
    EXPECT_EQ(m.m_Marks[2].m_iY, (255 - avg) * H / 256);  // peaks hang at the average

    // Zoomed 2x around sample 150: only the peak is visible.
    CNoiseMarks z = FindNoiseMarks(s, 0, W, H, 150, 2, NOISE_UNIT_INCH, 10.0);
    EXPECT_EQ(std::tie(z.m_iFirst, z.m_iLast), std::make_tuple(100, 200));
    ASSERT_EQ(z.m_Marks.size(), 2u);  // the end dip at 199 and the peak
    EXPECT_EQ(z.m_Marks[1].m_iX, (150 - 100 + 1) * W / 100);

    // Nothing for unknown channels or fewer than 101 samples.
    EXPECT_FALSE(FindNoiseMarks(s, 3, W, H, 100, 1, 0, 10.0).m_bDrawn);
    EXPECT_FALSE(FindNoiseMarks(std::vector<uint8_t>(100, 5), 1, W, H, 50, 1, 0, 10.0).m_bDrawn);
    EXPECT_TRUE(FindNoiseMarks(std::vector<uint8_t>(101, 5), 4, W, H, 50, 1, 0, 10.0).m_bDrawn);
    EXPECT_EQ(NoiseChannelColor(4), 0x7F7F7Fu);
}

TEST(NoiseMarks, PositionLabelsPerUnit)
{
    struct Case {
        int32_t m_iUnit;
        const char* m_szLabel;
    };
    // p = u * 8.5 * 50 / 100
    const Case cases[] = {{0, "4.2"}, {1, "18.0"}, {2, "46"}, {3, "18.0"}, {7, "18.0"}};
    for (const Case& c : cases)
        EXPECT_EQ(NoisePositionLabel(c.m_iUnit, 8.5, 50, 100), c.m_szLabel) << c.m_iUnit;
    EXPECT_EQ(NoiseUnitFromText("Inch"), NOISE_UNIT_INCH);
    EXPECT_EQ(NoiseUnitFromText("cm"), NOISE_UNIT_CM);
    EXPECT_EQ(NoiseUnitFromText("SU"), NOISE_UNIT_SU);
    EXPECT_EQ(NoiseUnitFromText(""), NOISE_UNIT_INCH);
}

TEST(NoiseMarks, RulerTicksAreRoundStepsOfTheUnit)
{
    struct Case {
        int32_t m_iUnit;
        int64_t m_iFirst, m_iLast;
        std::vector<std::string> m_Labels;
    };
    // 1000 samples over a width factor of 10: 42.4 inches, 105.2 cm, 10 scanner units.
    const std::vector<Case> cases = {
        {NOISE_UNIT_INCH, 0, 1000, {"0", "10", "20", "30", "40"}},
        {NOISE_UNIT_SU, 0, 1000, {"0", "2", "4", "6", "8"}},
        {NOISE_UNIT_CM, 0, 1000, {"0", "20", "40", "60", "80", "100"}},
        {NOISE_UNIT_SU, 500, 520, {"5.00", "5.05", "5.10", "5.15"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_iUnit);
        const std::vector<CNoiseTick> ticks = NoiseRulerTicks(c.m_iUnit, 10.0, 1000, c.m_iFirst, c.m_iLast, 400, 8);
        std::vector<std::string> labels;
        for (const CNoiseTick& t : ticks)
            labels.push_back(t.m_szLabel);
        EXPECT_EQ(labels, c.m_Labels);
    }
    // Placed by the marks' column rule: 10 inches is sample 236 of 1000 (10 / 0.0424).
    const std::vector<CNoiseTick> ticks = NoiseRulerTicks(NOISE_UNIT_INCH, 10.0, 1000, 0, 1000, 400, 8);
    EXPECT_EQ(ticks[1].m_iX, (236 + 1) * 400 / 1000);
    EXPECT_TRUE(NoiseRulerTicks(NOISE_UNIT_INCH, 10.0, 1000, 10, 10, 400).empty());
}

TEST(NoiseZoom, PowersOfTwoClampedToTheSamples)
{
    CNoiseZoom z;
    z.Reset(1000);
    EXPECT_EQ(std::make_tuple(z.First(), z.Last()), std::make_tuple(0, 1000));
    z.ZoomIn(400, 400);  // the right edge of a 400-pixel plot: centre + 500/2... clamped
    EXPECT_EQ(std::make_tuple(z.m_iZoom, z.m_iCenter, z.Last()), std::make_tuple(2, 750, 1000));
    z.ScrollTo(0);
    EXPECT_EQ(z.First(), 0);
    EXPECT_EQ(z.ScrollPage(), 5000);
    z.ZoomOut();
    EXPECT_EQ(std::tie(z.m_iZoom, z.m_iCenter), std::make_tuple(1, 500));
    for (int i = 0; i < 20; ++i)
        z.ZoomIn(200, 400);
    EXPECT_GE(z.Last() - z.First(), 32);  // never fewer than 32 samples on screen
}
