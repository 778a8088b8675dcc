// Camera width analysis on drawn blocks: where the centre lines or the
// scan-width stripes are, what width, centre and tilt follow, and what the
// table gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "calibration/CameraWidth.h"
#include "imaging/Picture.h"
#include "support/TestSupport.h"

namespace {

constexpr int32_t kPixels = 1200, kCard = 30, kWhite = 220, kWire = 20;

// Two cameras side by side, every row the same unless iShiftPerRow moves
// the drawn marks along the rows.
struct CDrawing {
    int32_t m_iRows = 2;
    double m_dShiftPerRow = 0;
    bool m_bClassic = true;
    int32_t m_iRightExtra = 0; // camera B's right mark lies this much further out
    bool m_bFlat = false;
};

CPicture Draw(const CDrawing& d)
{
    CPicture pic;
    EXPECT_TRUE(pic.Create(2 * kPixels, d.m_iRows, 600, PIC_GRAY));
    // Create leaves room for the rows; the block holds them all at once.
    pic.m_iHeight = d.m_iRows;
    pic.m_iSize = 2 * kPixels * d.m_iRows;
    for (int c = 0; c < 8; ++c)
        pic.m_BiC[c] = c < 2 ? kPixels : 0;
    for (int32_t y = 0; y < d.m_iRows; ++y) {
        const int32_t s = static_cast<int32_t>(d.m_dShiftPerRow * y);
        for (int32_t c = 0; c < 2; ++c) {
            const int32_t iRight = 1100 + (c == 1 ? d.m_iRightExtra : 0);
            for (int32_t x = 0; x < kPixels; ++x) {
                int32_t v = kCard;
                if (d.m_bFlat) {
                    v = 128;
                } else if (d.m_bClassic) {
                    // White stitch areas at both ends, each with a wire pair
                    // centred on 100 and iRight.
                    const bool bArea = (x >= 16 && x < 220) || (x >= 980 && x < 1184);
                    if (bArea)
                        v = kWhite;
                    for (int32_t centre : {100 + s, iRight + s})
                        if ((x >= centre - 15 && x < centre - 8) || (x >= centre + 8 && x < centre + 15))
                            v = kWire;
                } else {
                    // Bright stripes that mark the scan width: 40..139 and 1060..iRight+59.
                    if ((x >= 40 + s && x < 140 + s) || (x >= 1060 + s && x < iRight + 60 + s))
                        v = kWhite;
                }
                pic.SetPixel(c * kPixels + x, y, v, v, v);
            }
        }
    }
    return pic;
}

CCameraWidthLayout Layout(double dTeoretical)
{
    CCameraWidthLayout l;
    l.m_iCameraCount = 2;
    l.m_iBlackStop = 16;
    for (int c = 0; c < 2; ++c) {
        l.m_iStartCamera[size_t(c)] = 16;
        l.m_iStopCamera[size_t(c)] = 1184;
        l.m_dGroupCenterMiddle[size_t(c)] = 603;
        l.m_dWidth_Teoretical[size_t(c)] = dTeoretical;
    }
    return l;
}

} // namespace

TEST(CameraWidth, ClassicWidthIsBothHalvesLessTheNominal)
{
    struct {
        const char* m_szName;
        CDrawing m_Drawing;
        double m_dWidthB, m_dTilt;
    } cases[] = {
        {"marks where they belong", {}, 0.0, 0.0},
        {"camera B sees its right mark 6 pixels further out", {2, 0.0, true, 6, false}, 6.0, 0.0},
        {"marks drifting one pixel per line", {3, 1.0, true, 0, false}, 0.0, 1.0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        const CPicture pic = Draw(t.m_Drawing);
        CCameraWidth w("");
        ASSERT_EQ(w.FindClassicScanWidth(pic, Layout(1000)), 0);
        ASSERT_TRUE(w.m_bFound[0] && w.m_bFound[1]);
        EXPECT_NEAR(w.m_dWidth_Left[0], 503, 0.6);
        EXPECT_NEAR(w.m_dWidth_Right[0], 497, 0.6);
        EXPECT_NEAR(w.m_rdWidth[0], 0.0, 0.6);
        EXPECT_NEAR(w.m_rdWidth[1], t.m_dWidthB, 0.6);
        EXPECT_NEAR(w.m_rdCenter[1], 603 - 608, 1e-9);
        EXPECT_NEAR(w.m_aTilt[0], t.m_dTilt, 0.05);
    }
}

TEST(CameraWidth, SimpleWidthIsRightEdgeLessLeftEdgeLessTheNominal)
{
    CDrawing d;
    d.m_bClassic = false;
    d.m_iRightExtra = -4;
    const CPicture pic = Draw(d);
    CCameraWidth w("");
    ASSERT_EQ(w.FindSimpleScanWidth(pic, Layout(1120)), 0);
    ASSERT_TRUE(w.m_bFound[0] && w.m_bFound[1]);
    EXPECT_NEAR(w.m_dWidth_Left[0], 40, 0.6);
    EXPECT_NEAR(w.m_dWidth_Right[0], 1160, 0.6);
    EXPECT_NEAR(w.m_rdWidth[0], 0.0, 0.6);
    EXPECT_NEAR(w.m_rdWidth[1], -4.0, 0.6);
}

TEST(CameraWidth, TheTableIsAppendedWithAHintLineAtEveryOpening)
{
    CTempDir dir;
    const std::string szPath = dir.File(CCameraWidth::kFileName);
    const CPicture pic = Draw(CDrawing());
    for (int iRun = 0; iRun < 2; ++iRun) {
        CCameraWidth w(szPath);
        ASSERT_TRUE(w.Csv()->IsOpen());
        ASSERT_EQ(w.FindClassicScanWidth(pic, Layout(1000)), 0);
        ASSERT_EQ(w.FindClassicScanWidth(pic, Layout(1000)), 0);
    }
    const std::string sz = ReadFileBytes(szPath);
    EXPECT_EQ(sz.rfind("sep=;\n[msec]; A; iGrayPivot_L; iColMin; iColMax; Left SWU edge; ", 0), 0u) << sz.substr(0, 80);
    size_t iHints = 0, iHeaders = 0, iRows = 0;
    for (size_t i = 0; (i = sz.find("sep=;\n", i)) != std::string::npos; ++i)
        ++iHints;
    for (size_t i = 0; (i = sz.find("[msec]", i)) != std::string::npos; ++i)
        ++iHeaders;
    for (size_t i = 0; (i = sz.find("; A; ", i)) != std::string::npos; ++i)
        ++iRows;
    EXPECT_EQ(iHints, 2u);
    EXPECT_EQ(iHeaders, 2u);
    EXPECT_EQ(iRows, 6u); // two headers and four rows name camera A
    EXPECT_EQ(sz.back(), '\n');
    // One cell per column in every row: "[msec]" plus both cameras' blocks.
    const std::string szHeader = sz.substr(6, sz.find('\n', 6) - 6);
    const std::string szRow = sz.substr(sz.find('\n', 6) + 1, sz.find('\n', sz.find('\n', 6) + 1) - sz.find('\n', 6) - 1);
    auto cells = [](const std::string& s) { return std::count(s.begin(), s.end(), ';'); };
    EXPECT_EQ(cells(szHeader), 1 + 2 * 36);
    EXPECT_EQ(cells(szRow), cells(szHeader));
}

TEST(CameraWidth, BadInputEndsInItsErrorOrInEmptyCells)
{
    const CPicture good = Draw(CDrawing());
    CDrawing flat;
    flat.m_bFlat = true;
    const CPicture plain = Draw(flat);
    CPicture empty;
    struct {
        const char* m_szName;
        const CPicture* m_pPic;
        int32_t m_iCameras;
        int32_t m_iStop;
        int32_t m_iExpect;
        bool m_bFound;
    } cases[] = {
        {"no camera", &good, 0, 1184, CCameraWidth::kErrLayout, false},
        {"nine cameras", &good, 9, 1184, CCameraWidth::kErrLayout, false},
        {"no rows", &empty, 2, 1184, CCameraWidth::kErrLayout, false},
        {"a flat block", &plain, 2, 1184, 0, false},
        {"a stop far beyond the camera", &good, 2, 100000, 0, false},
        {"cameras the block does not hold", &good, 8, 1184, 0, true},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CCameraWidthLayout l = Layout(1000);
        l.m_iCameraCount = t.m_iCameras;
        for (auto& s : l.m_iStopCamera)
            s = t.m_iStop;
        for (bool bClassic : {true, false}) {
            CCameraWidth w("");
            const int32_t iResult = bClassic ? w.FindClassicScanWidth(*t.m_pPic, l) : w.FindSimpleScanWidth(*t.m_pPic, l);
            EXPECT_EQ(iResult, t.m_iExpect);
            if (bClassic)
                EXPECT_EQ(w.m_bFound[0], t.m_bFound);
            EXPECT_FALSE(w.m_bFound[5]);
        }
    }
}
