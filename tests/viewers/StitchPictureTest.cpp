// Stitching pictures: both file forms, the decoders, refusals of damaged
// headers, and the view's zoom, clamp and scroll arithmetic.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "support/TestSupport.h"
#include "viewers/StitchPicture.h"
#include "viewers/ViewerTestFiles.h"

namespace {

std::string HeaderStitch(const std::string& szKeys, const std::string& szData)
{
    return ConTestFile("Stitch Test", szKeys, szData);
}

struct CDecoded {
    bool m_bOk = false;
    CStitchPicture m_Pic;
    std::vector<std::string> m_Messages;
};

CDecoded LoadBytes(const std::string& szBytes)
{
    CTempDir dir;
    const std::string szPath = dir.File("s.con");
    WriteFileBytes(szPath, szBytes);
    CDecoded d;
    std::string szError;
    d.m_bOk = d.m_Pic.Load(szPath, d.m_Messages, szError) && d.m_Pic.Decode(d.m_Messages, szError);
    if (d.m_bOk)
        d.m_Pic.CheckRows(d.m_Messages);
    return d;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string sz;
    for (int v : values)
        sz += static_cast<char>(v);
    return sz;
}

}  // namespace

TEST(StitchPicture, DecodesBothFormsToRowsFromTheTop)
{
    struct Case {
        const char* m_szName;
        std::string m_szFile;
        int32_t m_iW, m_iH;
        std::vector<uint8_t> m_Pixels;
        bool m_bRunLength;
    };
    const std::vector<Case> cases = {
        {"old gray", OldStitch(18, 4, 2, 30000, Bytes({0, 255, 0, 255, 128, 128, 128, 128})), 4, 2,
         {0, 255, 0, 255, 128, 128, 128, 128}, false},
        {"old run-length", OldStitch(0x11, 5, 2, 30000, Bytes({3, 130, 0, 132, 0})), 5, 2,
         {0, 0, 0, 255, 255, 255, 255, 255, 255, 255}, true},
        {"run-length white runs leave the background", OldStitch(0, 4, 2, 30000, Bytes({129, 2, 0, 0, 1})), 4, 2,
         {255, 0, 0, 255, 255, 255, 255, 255}, true},
        {"header gray", HeaderStitch("Width=3\nHeight=2\nResolution=400\n", Bytes({1, 2, 3, 4, 5, 6})), 3, 2,
         {1, 2, 3, 4, 5, 6}, false},
        {"short gray data stays white", HeaderStitch("Width=2\nHeight=2\nResolution=400\n", Bytes({7, 8, 9})), 2, 2,
         {7, 8, 9, 255}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        CDecoded d = LoadBytes(c.m_szFile);
        ASSERT_TRUE(d.m_bOk);
        EXPECT_EQ(d.m_Pic.m_iWidth, c.m_iW);
        EXPECT_EQ(d.m_Pic.m_iHeight, c.m_iH);
        EXPECT_EQ(d.m_Pic.m_bRunLength, c.m_bRunLength);
        EXPECT_EQ(d.m_Pic.GrayPixels(), c.m_Pixels);
    }
}

TEST(StitchPicture, HeaderMessagesAndResolution)
{
    CDecoded old = LoadBytes(OldStitch(18, 1, 1, 29999, Bytes({5})));
    EXPECT_EQ(old.m_Pic.m_iResolution, 299);  // truncated, not rounded
    EXPECT_TRUE(old.m_Messages.empty());

    CDecoded missing = LoadBytes(HeaderStitch("Width=2\n", Bytes({1, 2, 3})));
    const std::vector<std::string> expected = {
        "m_iMemoryDC_Height", "m_iPhysicalResolution",
        "Error Picture Length\nm_iDataLength = 3\nm_iMemoryDC_Width = 2\nm_iMemoryDC_Height = 0"};
    ASSERT_GE(missing.m_Messages.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(missing.m_Messages.begin(), missing.m_Messages.begin() + 3), expected);
    EXPECT_FALSE(missing.m_bOk);  // height 0: nothing to show

    CDecoded wrongLength = LoadBytes(HeaderStitch("Width=2\nHeight=2\nResolution=300\n", Bytes({1, 2, 3, 4, 5})));
    EXPECT_TRUE(wrongLength.m_bOk);
    ASSERT_EQ(wrongLength.m_Messages.size(), 1u);
    EXPECT_EQ(wrongLength.m_Messages[0],
              "Error Picture Length\nm_iDataLength = 5\nm_iMemoryDC_Width = 2\nm_iMemoryDC_Height = 2");
}

TEST(StitchPicture, RefusesSizesTheDataCannotHold)
{
    struct Case {
        const char* m_szName;
        std::string m_szFile;
    };
    const std::vector<Case> cases = {
        {"zero width", OldStitch(18, 0, 10, 30000, std::string(10, 'a'))},
        {"negative height", OldStitch(18, 10, -1, 30000, std::string(10, 'a'))},
        {"gigapixels from a few bytes", OldStitch(18, 60000, 60000, 30000, std::string(10, 'a'))},
        {"width overflow", OldStitch(0x11, 0x7FFFFFFF, 0x7FFFFFFF, 30000, std::string(10, 'a'))},
        {"run-length rows without data", OldStitch(0x11, 100, 5000, 30000, std::string(10, '\0'))},
        {"bad data pointer", "[Stitch Test]\nDataPointer=      9999\nWidth=1\n"},
        {"too short to be anything", "[Stitch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        CDecoded d = LoadBytes(c.m_szFile);
        EXPECT_FALSE(d.m_bOk);
        ASSERT_FALSE(d.m_Messages.empty());
        EXPECT_NE(d.m_Messages.back().find("s.con"), std::string::npos) << d.m_Messages.back();
        EXPECT_TRUE(d.m_Pic.m_Pixels.empty() && d.m_Pic.m_RowStart.empty());
    }
}

TEST(StitchPicture, DamagedRunLengthIsCutAndReported)
{
    // A run past the row end, then data after the last row.
    CDecoded d = LoadBytes(OldStitch(0x11, 3, 1, 30000, Bytes({2, 5, 0, 1, 1})));
    ASSERT_TRUE(d.m_bOk);
    EXPECT_EQ(d.m_Pic.GrayPixels(), (std::vector<uint8_t>{0, 0, 0}));
    ASSERT_EQ(d.m_Messages.size(), 2u);
    EXPECT_NE(d.m_Messages[0].find("after the last row"), std::string::npos);
    EXPECT_NE(d.m_Messages[1].find("row 0 runs past the picture width of 3"), std::string::npos);
    // Rows are found as they are drawn: the index is complete afterwards.
    EXPECT_EQ(d.m_Pic.m_RowStart, (std::vector<int64_t>{0, 3}));

    // A row that never ends: only its first width pixels count.
    CDecoded endless = LoadBytes(OldStitch(0x11, 4, 2, 30000, std::string(200, char(100))));
    ASSERT_TRUE(endless.m_bOk);
    EXPECT_EQ(endless.m_Pic.GrayPixels(), (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 255}));
}

TEST(StitchPicture, RowIndexMatchesAPlainWalk)
{
    // Long rows, rows ending inside 16-byte blocks, several ends in one block,
    // overruns and data past the last row: the index against a byte-by-byte walk.
    std::mt19937 rng(5);
    for (int iCase = 0; iCase < 300; ++iCase) {
        const int32_t iWidth = 1 + static_cast<int32_t>(rng() % 3000);
        const int32_t iHeight = 1 + static_cast<int32_t>(rng() % 40);
        const int iZeroEvery = 1 + static_cast<int>(rng() % 120);
        std::vector<uint8_t> data(rng() % 2000);
        for (uint8_t& b : data)
            b = rng() % iZeroEvery == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 255);
        std::vector<int64_t> starts;
        const bool bPast = IndexStitchRunLength(data.data(), static_cast<int64_t>(data.size()), iHeight, starts);

        std::vector<int64_t> expected(static_cast<size_t>(iHeight) + 1, static_cast<int64_t>(data.size()));
        expected[0] = 0;
        int32_t y = 0, iOverrun = -1;
        int64_t iSum = 0, i = 0;
        for (; i < static_cast<int64_t>(data.size()) && y < iHeight; ++i) {
            if (data[static_cast<size_t>(i)] != 0) {
                iSum += data[static_cast<size_t>(i)] & 127;
                continue;
            }
            if (iSum > iWidth && iOverrun < 0)
                iOverrun = y;
            iSum = 0;
            expected[static_cast<size_t>(++y)] = i + 1;
        }
        if (y < iHeight && iSum > iWidth && iOverrun < 0)
            iOverrun = y;
        SCOPED_TRACE(iCase);
        EXPECT_EQ(starts, expected);
        EXPECT_EQ(FirstOverrunRow(data.data(), starts, static_cast<int64_t>(data.size()), iWidth), iOverrun);
        EXPECT_EQ(bPast, y == iHeight && i < static_cast<int64_t>(data.size()));
    }
}

TEST(StitchView, ZoomClampAndScroll)
{
    CStitchView v;
    v.m_iWidth = 1000;
    v.m_iHeight = 600;
    v.m_iClientWidth = 400;
    v.m_iClientHeight = 300;
    v.Reset();
    const auto zoomAndCentre = [&v] { return std::make_tuple(v.m_iZoom, v.m_iCenterX, v.m_iCenterY); };
    EXPECT_EQ(zoomAndCentre(), std::make_tuple(1, 500, 200)); // y: height / 3

    // Right click at zoom 1 leaves it at 1; "Zoom 1:1" at 1 does nothing.
    v.ZoomOut();
    EXPECT_EQ(v.m_iZoom, 1);
    EXPECT_FALSE(v.ZoomOneToOne());

    // Left click at (100, 50): centre moves by (200 - 100) / 1 and (150 - 50) / 1, then zoom 2.
    v.ZoomIn(100, 50);
    EXPECT_EQ(zoomAndCentre(), std::make_tuple(2, 400, 100));
    EXPECT_EQ(v.HalfWidth(), 100);
    EXPECT_EQ(v.HalfHeight(), 75);

    // Clamped at the picture's edges: lower bound, then upper.
    v.ZoomIn(0, 0);  // centre 400 - 200/2 = 300, y 100 - 150/2 = 25 -> raised to hh = 300 / 6
    EXPECT_EQ(zoomAndCentre(), std::make_tuple(3, 300, 50));
    v.m_iCenterX = 5000;
    v.Clamp();
    EXPECT_EQ(v.m_iCenterX, 1000 - 400 / 6);

    // Scroll bars on 0..10000: page = visible * 10000 / extent, pos = start * 10000 / extent.
    const CStitchView::CScroll h = v.HorizontalScroll();
    EXPECT_EQ(h.m_iPage, 133 * 10000 / 1000);
    EXPECT_EQ(h.m_iPos, (v.m_iCenterX - 66) * 10000 / 1000);
    v.ScrollHorizontalTo(0);
    EXPECT_EQ(v.VisibleLeft(), 0);
    v.ScrollVerticalTo(10000);
    EXPECT_EQ(v.m_iCenterY, 600 - 50);

    EXPECT_TRUE(v.ZoomOneToOne());
    EXPECT_EQ(zoomAndCentre(), std::make_tuple(1, 500, 200));
}

TEST(StitchView, PictureSmallerThanViewFollowsTheClampOrder)
{
    CStitchView v;
    v.m_iWidth = 100;
    v.m_iHeight = 50;
    v.m_iClientWidth = 400;
    v.m_iClientHeight = 300;
    v.Reset();
    // Raised to 200 first, then lowered to 100 - 200 = -100.
    EXPECT_EQ(v.m_iCenterX, -100);
    EXPECT_EQ(v.VisibleLeft(), -300);
}
