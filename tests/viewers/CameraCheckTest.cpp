// Camera adjustment check: the run-length profile, both file forms, refusals,
// and the zoom steps of the view.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "support/TestSupport.h"
#include "viewers/CameraCheckProfile.h"
#include "viewers/ViewerTestFiles.h"

namespace {

std::string WidthRow(std::initializer_list<int> runs)
{
    std::string sz;
    for (int r : runs)
        sz += static_cast<char>(r);
    return sz + '\0' + std::string(48, '\x55');  // the skipped block may hold anything
}

std::string NewHeader(const std::string& szKeys, const std::string& szData)
{
    return ConTestFile("G3 Light Profile", szKeys, szData);
}

struct CLoaded {
    bool m_bOk = false;
    CCameraCheckProfile m_Profile;
    std::vector<std::string> m_Messages;
};

CLoaded Load(const std::string& szBytes)
{
    CTempDir dir;
    WriteFileBytes(dir.File("c.con"), szBytes);
    CLoaded l;
    std::string szError;
    l.m_bOk = l.m_Profile.Load(dir.File("c.con"), l.m_Messages, szError);
    return l;
}

// Runs of at most 127 columns adding up to iColumns, white (0x80 set) or black.
std::string Runs(int iColumns, bool bBlack)
{
    std::string sz;
    for (; iColumns > 0; iColumns -= 127)
        sz += static_cast<char>(std::min(iColumns, 127) | (bBlack ? 0 : 0x80));
    return sz;
}

// A view of iProfile columns on iView pixels, showing all.
CCameraCheckView ViewOf(int32_t iProfile, int32_t iView)
{
    CCameraCheckView v;
    v.m_iProfileWidth = iProfile;
    v.m_iViewWidth = iView;
    v.ShowAll();
    return v;
}

}  // namespace

TEST(CameraCheckProfile, WidthRowRunsAndGrid)
{
    // Width 100 + 28 = 128; row 0: 3 black, 2 white, 1 black; row 1: 4 black; row 14 (grid) 2 black.
    std::string szRows = std::string("\x03\x82\x01", 3) + '\0' + "\x04" + '\0';
    szRows += std::string(12, '\0');  // rows 2..13 empty
    szRows += "\x02";
    CLoaded l = Load(OldCameraCheck(WidthRow({100, 28}) + szRows));
    ASSERT_TRUE(l.m_bOk);
    EXPECT_EQ(l.m_Profile.m_iWidth, 128);
    const std::vector<std::pair<std::pair<int, int>, uint8_t>> expected = {
        {{0, 0}, 0},   {{2, 0}, 0},  {{3, 0}, 255}, {{4, 0}, 255}, {{5, 0}, 0}, {{6, 0}, 255},
        {{3, 1}, 0},   {{4, 1}, 255},
        {{0, 14}, 255}, {{1, 14}, 255}, {{2, 14}, 0},  // inverted grid row
        {{127, 29}, 0}, {{50, 254}, 0}, {{50, 255}, 255}, {{50, 13}, 255}};
    for (const auto& [pt, v] : expected)
        EXPECT_EQ(l.m_Profile.Pixel(pt.first, pt.second), v) << pt.first << "," << pt.second;
}

TEST(CameraCheckProfile, NewHeaderTakesTheLengthFromTheHeader)
{
    const std::string szData = WidthRow({10}) + std::string("\x05", 1);
    CLoaded l = Load(NewHeader("Length=" + std::to_string(szData.size()) + "\n", szData + "trailing junk"));
    ASSERT_TRUE(l.m_bOk);
    EXPECT_TRUE(l.m_Profile.m_bHasHeader);
    EXPECT_EQ(l.m_Profile.m_Data.size(), szData.size());
    EXPECT_EQ(l.m_Profile.Pixel(4, 0), 0);
    EXPECT_EQ(l.m_Profile.Pixel(5, 0), 255);
}

TEST(CameraCheckProfile, RefusalsNameTheProblem)
{
    const std::vector<std::tuple<const char*, std::string, const char*>> cases = {
        {"no length", NewHeader("Width=3\n", WidthRow({10})), "No Length in new G3 Header"},
        {"length past the end", NewHeader("Length=999\n", WidthRow({10})), "runs past the end"},
        {"width row never ends", OldCameraCheck(std::string(300, '\x7F')), "never ends"},
        {"empty width row", OldCameraCheck(std::string(1, '\0')), "is empty"},
        {"absurd width", OldCameraCheck(std::string(200000, '\x7F') + '\0'), "cannot be shown"},
    };
    for (const auto& [szName, szBytes, szText] : cases) {
        SCOPED_TRACE(szName);
        CLoaded l = Load(szBytes);
        EXPECT_FALSE(l.m_bOk);
        ASSERT_FALSE(l.m_Messages.empty());
        EXPECT_NE(l.m_Messages.back().find(szText), std::string::npos) << l.m_Messages.back();
        EXPECT_FALSE(l.m_Profile.HasPicture());
    }
}

TEST(CameraCheckView, ZoomStepsInAndOut)
{
    CCameraCheckView v = ViewOf(8000, 800);
    EXPECT_EQ(v.ScaleText(), "Showing All");
    EXPECT_EQ(v.m_iCenter, 4000);

    // From show-all: zoom = width / view width, centre = the clicked fraction.
    v.ZoomIn(200);
    EXPECT_EQ(v.m_iZoom, 10);
    EXPECT_EQ(v.m_iCenter, 4000);  // 8000 * 200 / 800 = 2000, clamped to half the visible 8000 columns
    EXPECT_EQ(v.ScaleText(), "Scaling : 10");

    // The table of steps in: 10 -> 9 -> ... -> 1 -> -2 -> -3; and out: -3 -> -2 -> 1 -> 2.
    for (int32_t iExpected : {9, 8, 7, 6, 5, 4, 3, 2, 1, -2, -3}) {
        v.ZoomIn(400);
        EXPECT_EQ(v.m_iZoom, iExpected);
    }
    for (int32_t iExpected : {-2, 1, 2}) {
        v.ZoomOut(400);
        EXPECT_EQ(v.m_iZoom, iExpected);
    }
    // Out until the whole width at the scale is narrower than the view: show-all.
    for (int i = 0; i < 20 && !v.IsShowAll(); ++i)
        v.ZoomOut(400);
    EXPECT_TRUE(v.IsShowAll());
    EXPECT_EQ(v.m_iCenter, 4000);
}

TEST(CameraCheckView, RecentringClampsAndScrolls)
{
    CCameraCheckView v = ViewOf(2000, 500);
    v.ZoomIn(0);  // zoom 4, centre 0 -> clamped to 1000 (visible 2000)
    EXPECT_EQ(v.m_iZoom, 4);
    v.ZoomIn(500);  // recentre +250*4 = 2000 -> zoom 3: half 750, max centre 2000 - 750
    EXPECT_EQ(std::make_tuple(v.m_iZoom, v.m_iCenter, v.FirstColumn()), std::make_tuple(3, 1250, 500));
    EXPECT_EQ(std::make_tuple(v.ScrollMax(), v.ScrollPos(), v.ScrollPage()), std::make_tuple(500, 500, 150));
    v.ScrollBy(-1);
    EXPECT_EQ(v.ScrollPos(), 499);
    v.ScrollTo(-50);
    EXPECT_EQ(v.ScrollPos(), 0);

    // A profile narrower than the view is magnified until it fills the view.
    CCameraCheckView narrow = ViewOf(300, 800);
    narrow.ZoomIn(400);
    EXPECT_EQ(narrow.m_iZoom, -3);
    EXPECT_LE(narrow.VisibleColumns(), 300);
}

// However wide the first row declares the profile, loading and drawing cost
// what the file's bytes and the view's pixels cost: a few hundred bytes once
// made the viewer fill and scan a 64 MiB bitmap.
TEST(CameraCheckProfile, WorkFollowsTheFileNotTheDeclaredWidth)
{
    // Rows with a few runs each; only the width row changes.
    std::string szRows;
    for (int y = 0; y < 256; ++y)
        szRows += Runs(1 + y % 7, y % 2 == 0) + Runs(3, true) + '\0';
    std::vector<int64_t> loads;
    for (int iWidth : {128, 5000, 100000, static_cast<int>(kCheckMaxWidth)}) {
        SCOPED_TRACE(iWidth);
        const std::string szFile = OldCameraCheck(Runs(iWidth, true) + '\0' + std::string(48, '\x55') + szRows);
        CLoaded l = Load(szFile);
        ASSERT_TRUE(l.m_bOk);
        ASSERT_EQ(l.m_Profile.m_iWidth, iWidth);
        // Every byte read once, every span kept once.
        EXPECT_LE(l.m_Profile.m_iWork, 2 * static_cast<int64_t>(szFile.size()));
        EXPECT_LE(l.m_Profile.m_Spans.size(), szRows.size());
        loads.push_back(l.m_Profile.m_iWork - static_cast<int64_t>(iWidth / 127 + 1)); // less the width row
        for (bool bZoomed : {false, true}) {
            CCameraCheckView v = ViewOf(iWidth, 300);
            if (bZoomed)
                v.ZoomIn(150);
            int64_t iWork = 0;
            RenderCheckView(l.m_Profile, v, 300, 100, &iWork);
            // A step per row and per span, and one fill per black range on screen.
            EXPECT_LE(iWork, 300 + 2 * static_cast<int64_t>(l.m_Profile.m_Spans.size()));
        }
    }
    for (size_t i = 1; i < loads.size(); ++i)
        EXPECT_EQ(loads[i], loads[0]);
}

// The drawn view against the plain rule, pixel by pixel: a screen pixel is
// black when any profile pixel it covers is black, in every zoom state.
TEST(CameraCheckView, DrawingAgreesWithThePixelsItCovers)
{
    std::mt19937 rng(20);
    for (int iCase = 0; iCase < 12; ++iCase) {
        const int iWidth = 50 + static_cast<int>(rng() % 900);
        std::string szRows;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < iWidth; ) {
                const int iRun = 1 + static_cast<int>(rng() % (iCase % 2 ? 9 : 127));
                szRows += static_cast<char>(iRun | (rng() % 3 == 0 ? 0 : 0x80));
                x += iRun;
            }
            szRows += '\0';
        }
        CLoaded l = Load(OldCameraCheck(Runs(iWidth, true) + '\0' + std::string(48, '\x55') + szRows));
        ASSERT_TRUE(l.m_bOk);
        const int iW = 40 + static_cast<int>(rng() % 200), iH = 30 + static_cast<int>(rng() % 300);
        CCameraCheckView v;
        v.m_iProfileWidth = iWidth;
        v.m_iViewWidth = iW;
        v.m_iViewHeight = iH;
        v.ShowAll();
        for (int iStep = 0; iStep < 4; ++iStep) {
            SCOPED_TRACE(testing::Message() << "case " << iCase << " step " << iStep << " zoom " << v.m_iZoom);
            const std::vector<uint8_t> out = RenderCheckView(l.m_Profile, v, iW, iH);
            const int64_t iFirst = v.FirstColumn(), iVisible = std::max(1, v.VisibleColumns());
            int iWrong = 0;
            for (int y = 0; y < iH; ++y) {
                const int r0 = y * 256 / iH, r1 = std::max(r0 + 1, (y + 1) * 256 / iH);
                for (int x = 0; x < iW; ++x) {
                    const int64_t a = std::clamp<int64_t>(iFirst + x * iVisible / iW, 0, iWidth);
                    const int64_t b = std::clamp<int64_t>(std::max(iFirst + x * iVisible / iW + 1,
                                                                   iFirst + (x + 1) * iVisible / iW), 0, iWidth);
                    bool bBlack = false;
                    for (int r = r0; r < r1 && r < 256 && !bBlack; ++r)
                        for (int64_t c = a; c < b && !bBlack; ++c)
                            bBlack = l.m_Profile.Pixel(static_cast<int>(c), r) == 0;
                    iWrong += out[static_cast<size_t>(y) * iW + x] != (bBlack ? 0 : 255);
                }
            }
            EXPECT_EQ(iWrong, 0);
            v.ZoomIn(static_cast<int32_t>(rng() % static_cast<unsigned>(iW)));
        }
    }
}
