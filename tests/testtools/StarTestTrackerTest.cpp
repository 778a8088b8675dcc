#include <gtest/gtest.h>

#include <cmath>

#include "imaging/Picture.h"
#include "testtools/StarTestEngine.h"
#include "testtools/StarTestTracker.h"

namespace {
double Vibration(int32_t r) { return 0.4 * std::sin(r * 0.3); }

// A gray star sheet: 3-pixel diagonals x + y = c (c = 100 + 160 k) shaken
// sideways row by row, and a 12-pixel wide line at x = 54..66. Edge pixels are
// covered in part, as a scanner sees them.
CPicture StarSheet(int32_t w, int32_t h)
{
    CPicture pic;
    EXPECT_TRUE(pic.CreateFilled(100, w / 100.0, h / 100.0, PIC_GRAY, 255, 255, 255));
    EXPECT_EQ(pic.m_iHeight, h);
    auto cover = [](double a0, double a1, int32_t x) {
        return std::max(0.0, std::min(a1, x + 1.0) - std::max(a0, double(x)));
    };
    for (int32_t r = 0; r < h; ++r)
        for (int32_t x = 0; x < w; ++x) {
            double dDark = cover(54, 66, x);
            for (int32_t k = 0; k < 4; ++k) {
                const double c = 100 + 160 * k - r + Vibration(r);
                dDark = std::max(dDark, cover(c - 1.5, c + 1.5, x));
            }
            const int32_t v = int32_t(std::lround(255 * (1 - dDark)));
            pic.SetPixel(x, r, v, v, v);
        }
    return pic;
}
} // namespace

TEST(StarTestTracker, FollowsTheDiagonalAcrossTheWideLineAndStartsTheNext)
{
    const CPicture pic = StarSheet(400, 400);
    StarTestSweep s;
    s.Allocate(400);
    std::string szError;
    const int32_t iStarts = TrackStarTestLines(pic, s, szError);
    EXPECT_TRUE(szError.empty());
    // line c=100 from row 0, c=260 once it reaches the picture's edge (where
    // its centre can no longer be measured: x - 1.5 < 0, about row 98), c=420
    // about row 258
    ASSERT_EQ(iStarts, 3);
    EXPECT_TRUE(s.m_XLineStart[0]);
    int32_t iSecond = -1, iThird = -1;
    for (int32_t r = 1; r < 400; ++r)
        if (s.m_XLineStart[size_t(r)]) (iSecond < 0 ? iSecond : iThird) = r;
    EXPECT_NEAR(iSecond, 98, 2);
    EXPECT_NEAR(iThird, 258, 2);
    struct Row { int32_t r; double c; } rows[] = {{10, 100}, {50, 100}, {150, 260}, {300, 420}, {390, 420}};
    for (const Row& row : rows) {
        // pixel x covers x..x+1: its centre is at x + 0.5
        const double dTruth = row.c - row.r + Vibration(row.r) - 0.5;
        EXPECT_NEAR(s.m_dXLinePos[size_t(row.r)], dTruth, 0.15) << row.r;
        EXPECT_NEAR(s.m_dXLineWidthRaw[size_t(row.r)], 3.0, 0.2) << row.r;
        EXPECT_NEAR(s.m_dWideLinePos[size_t(row.r)], 59.5, 0.1) << row.r;
    }
    // crossing the wide line (rows 34..46 of the first line) is no new line
    for (int32_t r = 30; r <= 50; ++r) {
        EXPECT_FALSE(s.m_XLineStart[size_t(r)]) << r;
        EXPECT_NEAR(s.m_dXLinePos[size_t(r)], 100 - r + Vibration(r) - 0.5, 1.0) << r;
    }
}

TEST(StarTestTracker, ThePictureReplacesTheNumbersOnlyWhenItHoldsLines)
{
    CStarTestEngine e;
    StarTestSweep s;
    s.Allocate(400);
    s.m_iXVibStart = s.m_iYVibStart = s.m_iWideLineStart = 5;
    s.m_iXVibEnd = s.m_iYVibEnd = s.m_iWideLineEnd = 395;
    s.m_iResolution = 300;
    e.m_Sweeps.push_back(s);
    std::string szError;
    CPicture blank;
    ASSERT_TRUE(blank.CreateFilled(100, 4.0, 4.0, PIC_GRAY, 255, 255, 255));
    EXPECT_FALSE(e.AnalyseFromPicture(0, blank, szError));
    EXPECT_EQ(szError, "no star test line was found in the picture");
    EXPECT_EQ(e.m_iAnalysed, -1);

    ASSERT_TRUE(e.AnalyseFromPicture(0, StarSheet(400, 400), szError)) << szError;
    EXPECT_EQ(e.m_iAnalysed, 0);
    const StarTestSweep& t = e.m_Sweeps[0];
    EXPECT_EQ(t.m_iLineCount, 3);
    EXPECT_TRUE(t.m_bStatisticsDone);
    // the shaking of 0.4 pixels comes back as X vibration
    double dPeak = 0;
    for (int32_t r = 120; r < 240; ++r) dPeak = std::max(dPeak, std::fabs(t.m_dXVib[size_t(r)]));
    EXPECT_GT(dPeak, 0.25);
    EXPECT_LT(dPeak, 0.6);
}
