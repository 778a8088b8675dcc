// The layout finder on synthetic 600 dpi profiles drawn the way the
// calibration sheet looks through a camera: dark reference pixels, white
// stitch areas with wire pairs, K-plates with three bars.
#include <gtest/gtest.h>

#include <vector>

#include "calibration/C3X.h"
#include "datafiles/ProgramErrors.h"
#include "platform/Messages.h"

namespace {

constexpr int32_t kDpi = 600;
constexpr uint8_t kCard = 32, kWhite = 200, kInk = 18, kBlack = 12;

struct CProfile {
    std::vector<uint8_t> p;
    explicit CProfile(size_t n, uint8_t v = kCard) : p(n, v) {}
    void Fill(int32_t a, int32_t b, uint8_t v)
    {
        for (int32_t x = std::max(a, 0); x < b && x < static_cast<int32_t>(p.size()); ++x)
            p[size_t(x)] = v;
    }
};

// One camera of 1200 pixels with 16 dark pixels at each end, the white
// middle area (480..720) and in it two wires iGap pixels apart around 690.
CProfile StitchArea(int32_t iGap, int32_t iWire = 7)
{
    CProfile c(1200);
    c.Fill(0, 16, kBlack);
    c.Fill(1184, 1200, kBlack);
    c.Fill(480, 720, kWhite);
    const int32_t iCentre = 690;
    c.Fill(iCentre - iGap / 2 - iWire / 2, iCentre - iGap / 2 - iWire / 2 + iWire, kInk);
    c.Fill(iCentre + iGap - iGap / 2 - iWire / 2, iCentre + iGap - iGap / 2 - iWire / 2 + iWire, kInk);
    return c;
}

TEST(C3XErrorTable, FirstErrorPerPlaceWinsButLastErrorFollows)
{
    C3X x;
    EXPECT_EQ(x.SetError(C3X::ERROR_3X_K_NOT_FOUND, 1, 2), C3X::ERROR_3X_K_NOT_FOUND);
    EXPECT_EQ(x.SetError(C3X::ERROR_3X_SWU_NOT_FOUND, 1, 2), C3X::ERROR_3X_SWU_NOT_FOUND);
    EXPECT_EQ(x.GetError(1, 2), C3X::ERROR_3X_K_NOT_FOUND);
    EXPECT_EQ(x.LastError(), C3X::ERROR_3X_SWU_NOT_FOUND);
    // Out-of-range places are named in the log but never written.
    x.SetError(C3X::ERROR_3X_UNKNOWN, 9, 0);
    EXPECT_EQ(x.GetError(9, 0), C3X::ERROR_3X_NONE);
    x.ReSet();
    EXPECT_EQ(x.GetError(1, 2), C3X::ERROR_3X_NONE);
    EXPECT_EQ(x.LastError(), C3X::ERROR_3X_NONE);
    EXPECT_STREQ(C3X::ErrorName(77), "ERROR_3X_UNKNOWN"); // a code without a name
}

TEST(C3XStitchMark, WireSpacingDecidesAt600Dpi)
{
    // 1.8 x 600 / 83.82 = 12.9 pixels: pairs further apart give a centre.
    struct {
        int32_t m_iGap;
        bool m_bFound;
    } cases[] = {{15, true}, {14, true}, {12, false}, {5, false}};
    for (const auto& t : cases) {
        C3X x;
        x.m_Layout.SetCameras(1, 1200, 16, kDpi);
        const CProfile c = StitchArea(t.m_iGap);
        const int32_t e = x.FindAllStitchMarks(c.p);
        EXPECT_GT(x.m_iRoughStart[0][2], 460) << t.m_iGap;
        EXPECT_LT(x.m_iRoughStart[0][2], 480) << t.m_iGap;
        EXPECT_EQ(e == 0, t.m_bFound) << t.m_iGap;
        if (t.m_bFound)
            EXPECT_NEAR(x.m_dGroup_Center[0][2], 690.0, 1.0) << t.m_iGap;
        else
            EXPECT_EQ(x.GetError(0, 2), C3X::ERROR_3X_SWU_NOT_FOUND);
    }
}

TEST(C3XStitchMark, BadProfilesEndInTheirError)
{
    const std::vector<uint8_t> flat(1200, 128), saturated(1200, 255), black(1200, 0), tiny(10, 200);
    const std::vector<uint8_t> empty;
    for (const auto* p : {&flat, &saturated, &black, &tiny, &empty}) {
        C3X x;
        x.m_Layout.SetCameras(1, 1200, 16, kDpi);
        const int32_t r = x.Find_Rough_X(*p, 0, 2, 300, 800);
        const int32_t s = x.Find_SWU(*p, 0, 2, 300, 800);
        EXPECT_NE(s, 0) << p->size();
        if (p->size() < 20)
            EXPECT_EQ(r, C3X::ERROR_3X_X_NOT_FOUND);
    }
    // Windows outside the profile are clamped, never read past it.
    C3X x;
    const CProfile c = StitchArea(15);
    EXPECT_NE(x.Find_SWU(c.p, 0, 2, 5000, 90000), 0);
    EXPECT_EQ(x.Find_Rough_X(c.p, 12, 0, 0, 10), C3X::ERROR_3X_UNKNOWN);
}

TEST(C3XRough, AreaRunningIntoTheWindowStartIsNotFound)
{
    C3X x;
    x.m_Layout.SetCameras(1, 1200, 16, kDpi);
    CProfile c(1200);
    c.Fill(0, 700, kWhite); // bright from the window's very start
    EXPECT_EQ(x.Find_Rough_X(c.p, 0, 2, 100, 800), C3X::ERROR_3X_X_NOT_FOUND);
}

// A left K-plate as camera A sees it: dark pixels, white patch, three bars of
// 1/75 inch (8 pixels at 600 dpi) with equal gaps from 0.10 inch, black patch.
CProfile LeftKPlate(uint8_t white, uint8_t black, int32_t iBar = 8)
{
    CProfile c(1200, kCard);
    c.Fill(0, 16, black);
    c.Fill(16, 16 + 240, white);
    for (int32_t i = 0; i < 3; ++i)
        c.Fill(16 + 60 + 2 * i * 8, 16 + 60 + 2 * i * 8 + iBar, kInk);
    c.Fill(16 + 132, 16 + 192, kInk);
    return c;
}

TEST(C3XKPlate, PositionLinesAndLimits)
{
    struct {
        const char* m_szName;
        uint8_t m_byWhite, m_byBlack;
        int32_t m_iBar;
        int32_t m_iExpected;
    } cases[] = {
        {"plate", kWhite, kBlack, 8, 0},
        {"dip of exactly 4 pixels", kWhite, kBlack, 4, 0},
        {"dips of 3 pixels are no dips", kWhite, kBlack, 3, C3X::ERROR_3X_K_NOT_FOUND},
        {"white only 20 above black 0: limit 13", 20, 0, 8, C3X::ERROR_3X_K_NOT_FOUND},
    };
    for (const auto& t : cases) {
        C3X_KPlate k;
        k.m_Layout.SetCameras(1, 1200, 16, kDpi);
        const CProfile c = LeftKPlate(t.m_byWhite, t.m_byBlack, t.m_iBar);
        EXPECT_EQ(k.Find_Position(c.p, 0), t.m_iExpected) << t.m_szName;
        if (t.m_iExpected != 0)
            continue;
        EXPECT_EQ(k.m_iStart_Camera_A, 76) << t.m_szName;
        EXPECT_EQ(k.m_iStop_Camera_A, 76 + 32 + t.m_iBar - 1) << t.m_szName;
    }
    C3X_KPlate k;
    k.m_Layout.SetCameras(1, 1200, 16, kDpi);
    CProfile c = LeftKPlate(kWhite, kBlack);
    // The same plate mirrored at the right end.
    CProfile both(1200, kCard);
    for (int32_t x = 0; x < 600; ++x) {
        both.p[size_t(x)] = c.p[size_t(x)];
        both.p[size_t(1199 - x)] = c.p[size_t(x)];
    }
    k.SetProfile(both.p);
    EXPECT_EQ(k.DetectKPlates(), 0);
    EXPECT_EQ(k.m_iLinesFound[0][1], 3);
    EXPECT_EQ(k.m_iLinesFound[1][1], 3);
    EXPECT_NEAR(k.m_dLines_Center[0][1][0], 79.5, 0.5);
    // The plates lie where the sheet puts them.
    EXPECT_NEAR(k.m_dKPlateDiff[0], 0.0, 0.6);
    EXPECT_NEAR(k.m_dKPlateDiff[1], 0.0, 0.6);
    EXPECT_EQ(k.m_iProgramError, 0);

    C3X_KPlate none;
    none.m_Layout.SetCameras(1, 1200, 16, kDpi);
    none.SetProfile(std::vector<uint8_t>(1200, 128));
    EXPECT_NE(none.DetectKPlates(), 0);
    EXPECT_EQ(none.m_iProgramError, PERR_KPLATE_LINES_NOT_FOUND);
}

TEST(C3XKPlate, BlackPatchTooHighRaises990)
{
    for (const bool bHigh : {false, true}) {
        C3X_KPlate k;
        k.m_Layout.SetCameras(1, 1200, 16, kDpi);
        CProfile c = LeftKPlate(kWhite, kBlack);
        if (bHigh)
            c.Fill(16 + 132, 16 + 192, 90);
        int32_t iScans = 0;
        const int32_t e = k.Find_WhitePatchIntensity([&](C3X_KPlate& kp) {
            ++iScans;
            kp.SetProfile(c.p);
            return true;
        });
        EXPECT_EQ(e, bHigh ? PERR_KPLATE_BLACK_TOO_HIGH : 0);
        // A steady black level ends the scanning early.
        EXPECT_LE(iScans, 5);
        EXPECT_NEAR(k.m_dWhitePatchIntensity_Sum[0][1] / k.m_iWhitePatchIntensity_Count[0][1], kWhite, 0.01);
    }
    C3X_KPlate k;
    k.m_Layout.SetCameras(1, 1200, 16, kDpi);
    // A scanner that never delivers ends after the loop limit.
    EXPECT_NE(k.Find_WhitePatchIntensity([](C3X_KPlate&) { return false; }), 0);
}

TEST(C3XStartStop, ChecksShowTheirMessageAndSaveNothing)
{
    struct {
        const char* m_szName;
        double m_dLeftMark, m_dRightMark; // camera B's left mark, camera A's right mark (line pixels)
        int32_t m_iKPlateStop0, m_iKPlateStart1;
        int32_t m_iError;
        const char* m_szMessage;
    } cases[] = {
        {"good", 5480, 5320, 120, 5280, 0, nullptr},
        {"start in the dark pixels", 5410, 5320, 120, 5280, PERR_CCD_NOT_CENTERED,
         "Save Start Stop failed.\nCamera B Start not correct."},
        {"too few stitch pixels", 5425, 5320, 120, 5280, PERR_CCD_NOT_CENTERED,
         "Save Start Stop failed.\nCamera B Start not correct.\nNot 16 pixels for stitching."},
        {"stop near the end", 5480, 5390, 120, 5280, PERR_CCD_NOT_CENTERED,
         "Save Start Stop failed.\nCamera A Stop not correct.\nNot 16 pixels for stitching."},
        {"stop below 100", 5480, 90, 120, 5280, PERR_CCD_NOT_CENTERED,
         "Save Start Stop failed.\nCamera A Stop not correct."},
        {"right plate inside the last camera", 5480, 5320, 120, 5390, PERR_CCD_NOT_CENTERED,
         "Save Start Stop failed.\nCamera B Stop not correct.\nNot 16 pixels for stitching."},
    };
    for (const auto& t : cases) {
        CMessageRecorder messages;
        C3X x;
        x.m_Layout.SetCameras(2, 5400, 16, kDpi);
        x.m_dGroup_Center[1][X3_LEFT] = t.m_dLeftMark;
        x.m_dGroup_Center[0][X3_RIGHT] = t.m_dRightMark;
        x.m_Layout.m_iKPlateStart[0] = 70;
        x.m_Layout.m_iKPlateStop[0] = t.m_iKPlateStop0;
        x.m_Layout.m_iKPlateStart[1] = t.m_iKPlateStart1;
        x.m_Layout.m_iKPlateStop[1] = 5330;
        EXPECT_EQ(x.Set_Classic_OAP_Start_Stop(), t.m_iError) << t.m_szName;
        if (!t.m_szMessage) {
            EXPECT_TRUE(messages.Texts().empty()) << t.m_szName;
            EXPECT_EQ(x.m_Layout.m_iStart_Calc[0], 121);
            EXPECT_EQ(x.m_Layout.m_iStart_Calc[1], 80);
            EXPECT_EQ(x.m_Layout.m_iStop_Calc[0], 5320);
            EXPECT_EQ(x.m_Layout.m_iStop_Calc[1], 5279);
            continue;
        }
        ASSERT_EQ(messages.Texts().size(), 1u) << t.m_szName;
        EXPECT_EQ(messages.Texts()[0], t.m_szMessage) << t.m_szName;
        EXPECT_EQ(x.m_Layout.m_iStart_Calc[1], 0) << t.m_szName;
    }
    CMessageRecorder messages;
    C3X none;
    EXPECT_EQ(none.Set_Classic_OAP_Start_Stop(), PERR_CCD_NOT_CENTERED); // no cameras at all
    C3X nine;
    nine.m_Layout.m_iCameraCount = 9;
    EXPECT_EQ(nine.Set_Classic_OAP_Start_Stop(), PERR_CCD_NOT_CENTERED);
}

TEST(C3XStartStop, KPlateCorrectionShiftsEveryCamera)
{
    C3X_KPlate k;
    k.m_Layout.SetCameras(2, 5400, 16, kDpi);
    k.m_Layout.m_iKPlateStart[0] = 76;
    k.m_Layout.m_iKPlateStop[0] = 115;
    k.m_iStoredKPlateCenter = 90;
    k.m_Layout.m_iStart_Calc[1] = 80;
    // Found at 95 now: 5 pixels at 600 dpi, 2 at 300 dpi (in 300 dpi pixels).
    EXPECT_EQ(k.CorrectImagePixelStartStop(600), 5);
    EXPECT_EQ(k.m_Layout.m_iStart_Calc[1], 85);
    EXPECT_EQ(k.CorrectImagePixelStartStop(300), 2);
}

} // namespace
