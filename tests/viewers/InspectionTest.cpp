// Cursors and the pixel inspector as numbers: what a press, a drag or a key
// does to the two cursors on a zoomed or shrunk axis, what the read-out says,
// and the statistics of a dragged rectangle against a plain walk.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "widgets/GraphCursors.h"
#include "widgets/PixelInspection.h"

namespace {

CGraphAxis Axis(double dFirst, double dPerColumn, int64_t iCount, double dMm = 0.0)
{
    CGraphAxis a;
    a.m_iLeft = 20;
    a.m_iWidth = 100;
    a.m_dFirst = dFirst;
    a.m_dPerColumn = dPerColumn;
    a.m_iCount = iCount;
    a.m_dMmPerPosition = dMm;
    return a;
}

// A picture whose pixel (x, y, c) is a known function, for sums by hand.
class CTestSource : public CPixelSource {
public:
    CTestSource(int32_t w, int32_t h, int32_t nc, int32_t dpi) : m_iW(w), m_iH(h), m_iC(nc), m_iDpi(dpi)
    {
        std::mt19937 rng(3);
        m_Values.resize(size_t(w) * size_t(h) * size_t(nc));
        for (auto& v : m_Values)
            v = int32_t(rng() % 65536);
    }
    int32_t Width() const override { return m_iW; }
    int32_t Height() const override { return m_iH; }
    int32_t Channels() const override { return m_iC; }
    int32_t Resolution() const override { return m_iDpi; }
    void ReadRow(int32_t y, int32_t x, int32_t n, int32_t* p) const override
    {
        EXPECT_TRUE(y >= 0 && y < m_iH && x >= 0 && x + n <= m_iW) << "row read outside the picture";
        for (int32_t i = 0; i < n * m_iC; ++i)
            p[i] = At(x + i / m_iC, y, i % m_iC);
    }
    int32_t At(int32_t x, int32_t y, int32_t c) const { return m_Values[(size_t(y) * m_iW + x) * m_iC + c]; }
    std::vector<int32_t> m_Values;

private:
    int32_t m_iW, m_iH, m_iC, m_iDpi;
};

} // namespace

TEST(GraphCursors, AxisMapsColumnsAndPositionsBothWaysAtEveryZoom)
{
    struct Case { double dFirst, dPer; int64_t iCount; int32_t x; int64_t iPos; int32_t iBack; };
    const Case cases[] = {
        {0, 10, 1000, 20, 0, 20},        // shrunk: a column covers ten samples
        {0, 10, 1000, 119, 990, 119},
        {0, 10, 1000, 19, -1, -1},       // left of the plot
        {0, 10, 1000, 120, -1, -1},      // right of it
        {500, 0.25, 1000, 24, 501, 26},  // magnified: four columns a sample, the middle one stands for it
        {500, 0.25, 1000, 20, 500, 22},
        {995, 1, 1000, 60, 999, 24},     // past the data: clamped to the last sample
    };
    for (const Case& c : cases) {
        const CGraphAxis a = Axis(c.dFirst, c.dPer, c.iCount);
        EXPECT_EQ(a.PositionAt(c.x), c.iPos) << "x " << c.x << " per " << c.dPer;
        if (c.iPos >= 0)
            EXPECT_EQ(a.ColumnOf(c.iPos), c.iBack) << "pos " << c.iPos;
    }
    EXPECT_EQ(Axis(0, 10, 1000).ColumnOf(1000), -1);
    EXPECT_EQ(Axis(500, 1, 1000).ColumnOf(10), -1); // scrolled out of view
    EXPECT_EQ(Axis(0, 1, 0).PositionAt(50), -1);    // no data, no position
}

TEST(GraphCursors, PressesPlaceGrabAndDragWithoutLeavingTheData)
{
    const CGraphAxis a = Axis(0, 2, 200);
    CGraphCursors c;
    struct Step { int32_t x; int iTaken; int64_t p0, p1; };
    // First press places C1, second C2, a press near C1 grabs it, a far press
    // moves the active cursor, a press outside the plot does nothing.
    const Step steps[] = {
        {30, 0, 20, -1}, {80, 1, 20, 120}, {33, 0, 26, 120}, {100, 0, 160, 120}, {10, -1, 160, 120},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(c.Press(s.x, a), s.iTaken) << "x " << s.x;
        EXPECT_EQ(c.IsSet(0) ? c.Position(0) : -1, s.p0) << "x " << s.x;
        EXPECT_EQ(c.IsSet(1) ? c.Position(1) : -1, s.p1) << "x " << s.x;
    }
    c.Drag(1, 500, a); // dragged beyond the plot: stays on its last column
    EXPECT_EQ(c.Position(1), 198);
    EXPECT_EQ(c.Active(), 1);
    c.Step(5, a);
    EXPECT_EQ(c.Position(1), 199);
    c.SwitchActive();
    c.Step(-1000, a);
    EXPECT_EQ(c.Position(0), 0);
    c.Fit(100); // shorter data: C2 beyond it goes
    EXPECT_TRUE(c.IsSet(0));
    EXPECT_FALSE(c.IsSet(1));

    CGraphCursors k; // keys alone: the first step puts the cursor in the middle of the view
    k.Step(1, a);
    EXPECT_EQ(k.Position(0), 100);
}

TEST(GraphCursors, ReadOutGivesPositionsValuesAndDifferences)
{
    CGraphCursors c;
    const CGraphAxis a = Axis(0, 1, 1000, 25.4 / 200);
    const std::vector<CCursorChannel> channels = {{"Red", {200, 180}}, {"Blue", {10.5, 12}}};
    EXPECT_TRUE(CursorReadOut(c, a, channels).empty());
    c.Press(40, a);
    EXPECT_EQ(CursorReadOut(c, a, channels),
              (std::vector<std::string>{"C1 20 (2.54 mm)", "Red 200", "Blue 10.50"}));
    c.Press(70, a);
    EXPECT_EQ(CursorReadOut(c, a, channels),
              (std::vector<std::string>{"C1 20 (2.54 mm)   C2 50 (6.35 mm)   \xCE\x94 30 (3.81 mm)",
                                        "Red 200 / 180   \xCE\x94 -20", "Blue 10.50 / 12   \xCE\x94 1.50"}));
    EXPECT_EQ(HoverReadOut(7, Axis(0, 1, 10), {{"Level", {-0.0, 0}}}), "x 7  Level 0");
    EXPECT_EQ(HoverReadOut(-1, a, channels), "");
}

TEST(PixelInspection, DraggedRectInAnyDirectionIsCutToThePicture)
{
    struct Case { int32_t x0, y0, x1, y1; CPixelRect r; };
    const Case cases[] = {
        {2, 3, 5, 7, {2, 3, 4, 5}},
        {5, 7, 2, 3, {2, 3, 4, 5}},     // dragged up and left
        {-5, -5, 3, 3, {0, 0, 4, 4}},   // started outside
        {8, 8, 50, 50, {8, 8, 2, 2}},   // ended outside
        {4, 4, 4, 4, {4, 4, 1, 1}},     // a single pixel
        {20, 0, 30, 5, {}},             // wholly right of the picture
        {-9, -9, -1, -1, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DraggedRect(c.x0, c.y0, c.x1, c.y1, 10, 10), c.r) << c.x0 << "," << c.y0 << " " << c.x1 << ","
                                                                     << c.y1;
}

TEST(PixelInspection, AreaStatisticsAgreeWithAPlainWalk)
{
    struct Case { int32_t nc; CPixelRect r; };
    for (const Case& c : {Case{1, {0, 0, 37, 23}}, Case{3, {5, 2, 10, 1}}, Case{3, {30, 20, 50, 50}},
                          Case{1, {36, 22, 1, 1}}}) {
        const CTestSource src(37, 23, c.nc, 300);
        const CAreaStats s = ComputeAreaStats(src, c.r);
        const CPixelRect cut = DraggedRect(c.r.m_iLeft, c.r.m_iTop, c.r.m_iLeft + c.r.m_iWidth - 1,
                                           c.r.m_iTop + c.r.m_iHeight - 1, 37, 23);
        ASSERT_EQ(s.m_Rect, cut);
        ASSERT_EQ(int32_t(s.m_Channels.size()), c.nc);
        for (int32_t ch = 0; ch < c.nc; ++ch) {
            double sum = 0, sq = 0;
            int32_t lo = 1 << 30, hi = -1;
            for (int32_t y = cut.m_iTop; y < cut.m_iTop + cut.m_iHeight; ++y)
                for (int32_t x = cut.m_iLeft; x < cut.m_iLeft + cut.m_iWidth; ++x) {
                    const int32_t v = src.At(x, y, ch);
                    sum += v;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            const double mean = sum / double(cut.Area());
            for (int32_t y = cut.m_iTop; y < cut.m_iTop + cut.m_iHeight; ++y)
                for (int32_t x = cut.m_iLeft; x < cut.m_iLeft + cut.m_iWidth; ++x)
                    sq += (src.At(x, y, ch) - mean) * (src.At(x, y, ch) - mean);
            EXPECT_NEAR(s.m_Channels[size_t(ch)].m_dMean, mean, 1e-9);
            EXPECT_NEAR(s.m_Channels[size_t(ch)].m_dStdDev, std::sqrt(sq / double(cut.Area())), 1e-6);
            EXPECT_EQ(s.m_Channels[size_t(ch)].m_iMin, lo);
            EXPECT_EQ(s.m_Channels[size_t(ch)].m_iMax, hi);
        }
    }
    const CTestSource src(10, 10, 1, 0);
    EXPECT_TRUE(ComputeAreaStats(src, {20, 20, 5, 5}).m_Channels.empty());
    EXPECT_TRUE(ComputeAreaStats(src, {2, 2, 0, 5}).m_Channels.empty());
}

TEST(PixelInspection, ReadOutsNameChannelsAndMillimetresOnlyWithAResolution)
{
    CTestSource rgb(400, 300, 3, 200);
    rgb.m_Values[(size_t(40) * 400 + 120) * 3 + 0] = 200;
    rgb.m_Values[(size_t(40) * 400 + 120) * 3 + 1] = 100;
    rgb.m_Values[(size_t(40) * 400 + 120) * 3 + 2] = 50;
    EXPECT_EQ(PixelReadOut(rgb, 120, 40), "x 120 (15.24 mm)  y 40 (5.08 mm)  R 200 G 100 B 50");
    EXPECT_EQ(PixelReadOut(rgb, 400, 40), "");
    CTestSource gray(10, 10, 1, 0);
    gray.m_Values[0] = 7;
    EXPECT_EQ(PixelReadOut(gray, 0, 0), "x 0  y 0  Gray 7");

    CAreaStats s;
    s.m_Rect = {0, 0, 20, 10};
    s.m_Channels = {{120.5, 3.2, 100, 140}};
    EXPECT_EQ(AreaStatsLines(s, 1, 254),
              (std::vector<std::string>{"Area 20 x 10 px (2.00 x 1.00 mm)", "Gray mean 120.50 sd 3.20 min 100 max 140"}));
    EXPECT_TRUE(AreaStatsLines(CAreaStats{}, 3, 254).empty());
}
