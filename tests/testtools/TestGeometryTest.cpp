#include <gtest/gtest.h>

#include "widgets/TestGeometry.h"

TEST(TestGeometry, PositionToScaleEdges)
{
    struct Case { int32_t x, expected; } cases[] = {
        {99, -1},   // left of the control
        {100, 0},   // left edge
        {150, 64},  // a quarter: 50 * 256 / 200 = 64
        {101, 1},   // 1.28 + 0.5 truncates to 1
        {300, 256}, // right edge
        {301, -1},  // more than a width to the right
    };
    for (const Case& c : cases) EXPECT_EQ(PositionToScale(c.x, 100, 200), c.expected) << c.x;
    EXPECT_EQ(PositionToScale(5, 0, 0), -1); // a control without width maps nothing
}

TEST(TestGeometry, PointInsideIsInclusive)
{
    EXPECT_TRUE(IsPointInsideSize(0, 0, 10, 5));
    EXPECT_TRUE(IsPointInsideSize(10, 5, 10, 5));
    EXPECT_FALSE(IsPointInsideSize(11, 5, 10, 5));
    EXPECT_FALSE(IsPointInsideSize(-1, 0, 10, 5));
}

TEST(TestGeometry, SignedLogScale)
{
    // Bar of 300 pixels, maximum 100: k = 150 / 3 = 50 pixels per decade.
    struct Case { double v, offset; } cases[] = {
        {0.0, 0.0}, {0.5, 25.0}, {-0.5, -25.0}, {1.0, 50.0}, {10.0, 100.0}, {-100.0, -150.0}, {0.999, 49.95},
    };
    for (const Case& c : cases) EXPECT_NEAR(SignedLogOffset(c.v, 300, 100), c.offset, 1e-9) << c.v;
    EXPECT_EQ(SignedLogPixel(10.0, 20, 300, 100), 20 + 150 - 100);
    EXPECT_EQ(SignedLogPixel(-1.0, 20, 300, 100), 20 + 150 + 50);
}

TEST(TestGeometry, ElapsedTime)
{
    struct Case { int64_t ms; const char* text; } cases[] = {
        {3725000, "1:02:05"}, {0, "0:00:00"}, {499, "0:00:00"}, {500, "0:00:01"}, {59500, "0:01:00"},
        {36000000 + 59 * 60000 + 9000, "10:59:09"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatElapsed(SplitElapsed(c.ms)), c.text) << c.ms;
}

TEST(TestGeometry, PrintLayoutFitsPictureWidthOrShrinksToSpaceLeft)
{
    // A4-ish page 720 x 1440: line step 20, margins 72 and 72.
    const CPrintLayout a = ComputePrintLayout(720, 1440, 3, 400, 200);
    EXPECT_EQ(a.m_iLineStep, 20);
    EXPECT_EQ(a.m_iMarginX, 72);
    EXPECT_EQ(a.m_iMarginY, 72);
    EXPECT_EQ(a.m_iPictureTop, 72 + 60);
    EXPECT_EQ(a.m_iPictureWidth, 576);
    EXPECT_EQ(a.m_iPictureHeight, 288);

    // A landscape page with 20 header lines leaves 600 - 30 - 20*8 - 30 = 380 rows.
    const CPrintLayout b = ComputePrintLayout(2000, 600, 20, 400, 200);
    EXPECT_EQ(b.m_iLineStep, 8);
    EXPECT_EQ(b.m_iPictureTop, 30 + 160);
    EXPECT_EQ(b.m_iPictureHeight, 380);
    EXPECT_EQ(b.m_iPictureWidth, 760); // aspect ratio kept: 400 * 380 / 200
}

TEST(TestGeometry, ScrollTextClamps)
{
    // 1000 pixels of text in a 100 pixel control: positions 0..900, line step 10.
    struct Case { int32_t code, thumb, current, expected; } cases[] = {
        {SCROLL_LINEDOWN, 0, 0, 10},       {SCROLL_LINEUP, 0, 5, 0},        {SCROLL_PAGEDOWN, 0, 850, 900},
        {SCROLL_PAGEUP, 0, 150, 50},       {SCROLL_THUMBTRACK, 400, 0, 400}, {SCROLL_THUMBPOSITION, 5000, 0, 900},
        {SCROLL_ENDSCROLL, 0, 123, 123},   {SCROLL_BOTTOM, 0, 0, 900},
    };
    for (const Case& c : cases) EXPECT_EQ(ScrollTextPosition(c.code, c.thumb, c.current, 1000, 100), c.expected) << c.code;
    EXPECT_EQ(ScrollTextPosition(SCROLL_LINEDOWN, 0, 0, 50, 100), 0); // text shorter than the control
    EXPECT_EQ(ScrollTextPosition(SCROLL_LINEDOWN, 0, 0, 100, 5), 1);  // step never 0
}

TEST(TestGeometry, ZoomWindowStaysInsideData)
{
    CZoomWindow z{1000, 1, 500};
    EXPECT_EQ(z.Visible(), 1000);
    EXPECT_EQ(z.First(), 0);
    EXPECT_TRUE(z.ZoomIn(10)); // centre clamped so the window stays inside
    EXPECT_EQ(z.Visible(), 500);
    EXPECT_EQ(z.m_iCentre, 250);
    EXPECT_EQ(z.First(), 0);
    z.Move(5);
    EXPECT_EQ(z.First(), 500);
    for (int i = 0; i < 5; ++i) z.ZoomIn(700);
    EXPECT_EQ(z.m_iZoom, 64); // 1000/64 = 15 rows; one more would leave 7 < 10
    EXPECT_FALSE(z.ZoomIn(700));
    z.ZoomOut();
    EXPECT_EQ(z.m_iZoom, 32);
    CZoomWindow empty{0, 1, 0};
    EXPECT_EQ(empty.Visible(), 0);
    EXPECT_FALSE(empty.ZoomIn(0));

    CZoomWindow w{100, 1, 50};
    const CPlotRect plot{10, 0, 110, 50};
    EXPECT_EQ(w.RowAt(10, plot), 0);
    EXPECT_EQ(w.RowAt(60, plot), 50);
    EXPECT_EQ(w.RowAt(500, plot), 99);
    EXPECT_DOUBLE_EQ(w.XOf(25, plot), 35.0);
}
