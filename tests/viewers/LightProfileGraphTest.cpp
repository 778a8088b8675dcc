// The graph's geometry checked with numbers: which samples each column shows,
// how zooming moves and clamps the view, where grid, markers and letters go.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "widgets/LightProfileGraph.h"
#include "viewers/LightProfileView.h"

namespace {

std::vector<uint8_t> Ramp(int64_t n)
{
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 251);
    return v;
}

CLPFGraph GraphOf(const std::vector<uint8_t>& v)
{
    CLPFGraph g;
    g.SetData(v.data(), static_cast<int64_t>(v.size()), LPF_CHANNEL_GRAY);
    g.ZoomAll();
    return g;
}

} // namespace

TEST(LightProfileGraph, LevelsAgreeWithPlainWalkOnEveryRangeShape)
{
    std::mt19937 rng(7);
    for (int64_t n : {1, 2, 3, 17, 64, 1000, 4099}) {
        std::vector<uint8_t> v(static_cast<size_t>(n));
        for (auto& s : v)
            s = static_cast<uint8_t>(rng());
        CLPFSampleLevels levels;
        levels.Prepare(v.data(), n);
        for (int k = 0; k < 300; ++k) {
            int64_t a = static_cast<int64_t>(rng() % static_cast<uint32_t>(n));
            int64_t b = static_cast<int64_t>(rng() % static_cast<uint32_t>(n));
            if (a > b)
                std::swap(a, b);
            uint8_t lo, hi;
            levels.RangeMinMax(a, b, lo, hi);
            const auto [itMin, itMax] = std::minmax_element(v.begin() + a, v.begin() + b + 1);
            ASSERT_EQ(lo, *itMin) << "n=" << n << " [" << a << "," << b << "]";
            ASSERT_EQ(hi, *itMax) << "n=" << n << " [" << a << "," << b << "]";
        }
    }
}

TEST(LightProfileGraph, FullViewColumnsTileTheDataWithoutGapsOrOverlap)
{
    struct Case { int64_t n; int32_t w; };
    for (const Case c : {Case{4000, 1000}, Case{1000, 800}, Case{999, 1000}, Case{10, 640}, Case{4000000, 700}}) {
        const CLPFGraph g = GraphOf(Ramp(c.n));
        const auto cols = g.Columns(c.w);
        int64_t iNext = 0;
        for (const CLPFColumn& col : cols) {
            ASSERT_FALSE(col.IsEmpty());
            // A column takes every sample it touches: with a whole number of
            // samples per column each starts where the last ended, otherwise
            // neighbours may share the sample on their border.
            if (c.n % c.w == 0)
                ASSERT_EQ(col.m_iFirst, iNext) << c.n << "/" << c.w;
            else
                ASSERT_TRUE(col.m_iFirst == iNext || col.m_iFirst == iNext - 1) << c.n << "/" << c.w;
            iNext = col.m_iLast + 1;
        }
        EXPECT_EQ(iNext, c.n) << c.n << "/" << c.w;
    }
    const CLPFGraph g = GraphOf(Ramp(4000));
    const CLPFColumn col = g.Column(10, 1000);
    uint8_t lo, hi;
    g.ColumnMinMax(col, 0, lo, hi);
    EXPECT_EQ(std::make_tuple(col.m_iFirst, col.m_iLast, int(lo), int(hi)), std::make_tuple(40, 43, 40, 43));
}

TEST(LightProfileGraph, ZoomMovesTowardsTheClickAndClampsTheCentre)
{
    struct Step { char op; int32_t x; int32_t z; int64_t c; };
    // n = 1000 samples on a plot 100 columns wide.
    const std::vector<Step> steps = {
        {'i', 0, 2, 250},    // shift -500 to 0, then clamped to (n/z)/2
        {'i', 99, 4, 495},   // 250 + round(49/50 * 250), inside [125, 875]
        {'o', 0, 2, 495},
        {'o', 0, 1, 500},    // back at zoom 1: the middle sample
        {'i', 50, 2, 500},
        {'i', 100, 4, 750},  // + 250
        {'a', 0, 1, 500},
    };
    CLPFGraph g = GraphOf(Ramp(1000));
    for (const Step& s : steps) {
        if (s.op == 'i')
            g.ZoomIn(s.x, 100);
        else if (s.op == 'o')
            g.ZoomOut();
        else
            g.ZoomAll();
        EXPECT_EQ(g.Zoom(), s.z) << s.op << s.x;
        EXPECT_EQ(g.Center(), s.c) << s.op << s.x;
        EXPECT_GE(g.Center(), (1000 / g.Zoom()) / 2);
        EXPECT_LE(g.Center(), 1000 - (1000 / g.Zoom()) / 2);
    }
}

TEST(LightProfileGraph, ZoomStopsDoublingAtTheLimit)
{
    CLPFGraph g = GraphOf(Ramp(100));
    for (int i = 0; i < 40; ++i)
        g.ZoomIn(50, 100);
    EXPECT_EQ(g.Zoom(), 33554432); // the last doubling from 2^24, which is below 33554431
    g.ZoomOut();
    EXPECT_EQ(g.Zoom(), 16777216);
    // Deep zoom: every column still shows a sample inside the data.
    for (const CLPFColumn& col : g.Columns(100))
        EXPECT_TRUE(col.IsEmpty() || (col.m_iFirst >= 0 && col.m_iLast < 100));
    // Zooming in on either edge never leaves the plot blank: the edge sample stays in view.
    for (int32_t x : {0, 99}) {
        CLPFGraph e = GraphOf(Ramp(100));
        for (int i = 0; i < 12; ++i) {
            e.ZoomIn(x, 100);
            EXPECT_FALSE(e.Column(0, 100).IsEmpty()) << x << " zoom " << e.Zoom();
        }
        EXPECT_EQ(e.Column(0, 100).m_iFirst, x == 0 ? 0 : 99);
    }
}

TEST(LightProfileGraph, ScrollPositionFollowsTheVisibleStart)
{
    CLPFGraph g = GraphOf(Ramp(1000));
    g.ZoomIn(50, 100); // z 2, c 500
    EXPECT_EQ(std::make_tuple(g.ScrollPosition(), g.ScrollMaximum()), std::make_tuple(250, 500));
    g.SetScrollPosition(0);
    EXPECT_EQ(g.Center(), 250);
    g.SetScrollPosition(10000);
    EXPECT_EQ(g.Center(), 750);
}

TEST(LightProfileGraph, GridLinesPerMode)
{
    CLPFGraph g = GraphOf(Ramp(10));
    struct Case { int32_t mode; int32_t h; std::vector<int32_t> lines; };
    const std::vector<Case> cases = {
        {LPF_MODE_PROFILE, 256, {236, 216, 196, 176, 156, 157, 136, 116, 96, 76, 56, 57, 36, 16}},
        {LPF_MODE_PERCENT, 100, {10, 20, 30, 40, 50, 51, 60, 70, 80, 90}},
        {LPF_MODE_FILLED, 100, {}},
        {LPF_MODE_SIGNED32, 128, {0, 8, 16, 24, 32, 40, 48, 56, 64, 65, 72, 80, 88, 96, 104, 112, 120, 128}},
    };
    for (const Case& c : cases) {
        CLPFGraph m = GraphOf(Ramp(10));
        m.SetDisplayMode(c.mode);
        EXPECT_EQ(m.GridLines(c.h), c.lines) << "mode " << c.mode;
    }
    // Separate colour arrays use the percent grid even in mode 1.
    const std::vector<uint8_t> r = Ramp(10);
    g.SetColorData(r.data(), r.data(), r.data(), 10);
    EXPECT_EQ(g.GridLines(100), cases[1].lines);
}

TEST(LightProfileGraph, SpreadModesConvertSamples)
{
    struct Case { uint8_t s; uint8_t signed32; uint8_t tx64; };
    const std::vector<Case> cases = {{0, 128, 0}, {31, 252, 124}, {32, 0, 128}, {63, 124, 252}, {64, 128, 0},
                                     {255, 124, 252}};
    for (const Case& c : cases) {
        EXPECT_EQ(CLPFGraph::ConvertSigned32(c.s), c.signed32) << int(c.s);
        EXPECT_EQ(CLPFGraph::ConvertTx64(c.s), c.tx64) << int(c.s);
    }
    const std::vector<uint8_t> v = {0, 31, 32, 63};
    CLPFGraph g = GraphOf(v);
    g.SetDisplayMode(LPF_MODE_SIGNED32);
    EXPECT_EQ(g.Samples(), (std::vector<uint8_t>{128, 252, 0, 124}));
    // While the mode is 3, later data arrives spread as well; mode 4 converts only on choice.
    g.SetData(v.data(), 4, 0);
    EXPECT_EQ(g.Samples(), (std::vector<uint8_t>{128, 252, 0, 124}));
    CLPFGraph t = GraphOf(v);
    t.SetDisplayMode(LPF_MODE_TX64);
    EXPECT_EQ(t.Samples(), (std::vector<uint8_t>{0, 124, 128, 252}));
    t.SetData(v.data(), 4, 0);
    EXPECT_EQ(t.Samples(), v);
    // A reference travels with its samples: spread on choice, and on arrival while the mode is 3.
    CLPFGraph r = GraphOf(v);
    r.SetReference(v.data(), 4);
    r.SetDisplayMode(LPF_MODE_SIGNED32);
    EXPECT_EQ(r.Reference(), r.Samples());
    r.SetReference(v.data(), 4);
    EXPECT_EQ(r.Reference(), r.Samples());
}

TEST(LightProfileView, FlashAndPreserveCaptionsFromTheFileName)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/data/CamA_LPF.con", ""},
        {"/data/CamA_Flash_LPF.con", "   Normal Flash LPF"},
        {"/data/ref-flash/CamA_LPF.con", ""}, // folders do not count
        {"/data/CamA_Ref_Flash_LPF.con", "   Reference Flash LPF"},
        {"/data/REFERENCEFLASH.CON", "   Reference Flash LPF"},
        {"/data/CamA_Black_Preserve.con", "  Black preserve"},
        {"/data/white-preserve.con", "  White preserve"},
        {"/data/Flash MixedPreserve.con", "   Normal Flash LPF  Mixed preserve"},
        {"C:\\scans\\RefFlash_BlackPreserve.con", "   Reference Flash LPF  Black preserve"},
    };
    for (const auto& [szFile, szCaption] : cases)
        EXPECT_EQ(LightProfileFlashCaption(szFile), szCaption) << szFile;
}

TEST(LightProfileGraph, MarkersTagsAndCameraColumns)
{
    CLPFGraph g = GraphOf(Ramp(1000));
    g.SetMarkers(437, -1, 512, 999);
    std::vector<uint8_t> tags(1000, 0);
    tags[250] = 4;
    tags[251] = 1;
    g.SetTags(tags.data(), 1000);
    g.SetCameraPositions({800, 0, 1200});
    std::vector<int32_t> solid, dotted, tagged;
    const auto cols = g.Columns(100);
    for (int x = 0; x < 100; ++x) {
        const uint32_t bits = g.ColumnMarkers(cols[static_cast<size_t>(x)]);
        if (bits & 3u)
            solid.push_back(x);
        if (bits & 12u)
            dotted.push_back(x);
        if (g.ColumnTag(cols[static_cast<size_t>(x)]))
            tagged.push_back(x);
    }
    EXPECT_EQ(solid, std::vector<int32_t>{43});
    EXPECT_EQ(dotted, (std::vector<int32_t>{51, 99}));
    EXPECT_EQ(tagged, std::vector<int32_t>{25});
    EXPECT_EQ(g.ColumnTag(cols[25]), 4); // the first tagged sample of the column decides
    // Camera A at sample 800 / 2, none for B, C at 1200 / 2.
    EXPECT_EQ(std::make_tuple(g.CameraColumn(0, 100), g.CameraColumn(1, 100), g.CameraColumn(2, 100)),
              std::make_tuple(40, -1, 60));
    g.ZoomIn(99, 100); // view now 500..999: camera A's letter is off screen
    EXPECT_EQ(g.CameraColumn(0, 100), -1);
}

TEST(LightProfileGraph, ReadOutTableAndText)
{
    CLPFGraph g = GraphOf(Ramp(10000));
    const auto table = g.ReadOutTable(8000);
    ASSERT_EQ(table.size(), 5001u);
    EXPECT_EQ(std::make_tuple(table[0], table[4000]), std::make_tuple(0, 5000));
    EXPECT_EQ(CLPFGraph::ReadOutText(table, 4000), "5000");
    EXPECT_EQ(CLPFGraph::ReadOutText(table, -1), "");
    EXPECT_EQ(CLPFGraph::ReadOutText(table, 5001), "");
    EXPECT_TRUE(CLPFGraph().ReadOutTable(100).empty());
}

TEST(LightProfileGraph, HighlightRangeSelectsColumns)
{
    CLPFGraph g = GraphOf(Ramp(100));
    EXPECT_TRUE(g.InHighlight(g.Column(0, 100)));
    g.SetHighlight(20, 29);
    EXPECT_FALSE(g.InHighlight(g.Column(19, 100)));
    EXPECT_TRUE(g.InHighlight(g.Column(20, 100)));
    EXPECT_TRUE(g.InHighlight(g.Column(29, 100)));
    EXPECT_FALSE(g.InHighlight(g.Column(30, 100)));
    EXPECT_STREQ(CLPFGraph::ChannelName(7), "Gray "); // an unknown channel is drawn as gray
}

// ---------------------------------------------------------------------------
// the file viewer's own view

TEST(LightProfileView, ScaledColumnsFromTheLeftAndFromTheRight)
{
    const std::vector<uint8_t> v = Ramp(4000);
    CLPFView view;
    view.SetData(v.data(), 4000);
    // Client 1040 x 296: graph 1000 x 256, so y = 256 - level.
    auto cols = view.ColumnsScaled(1040, 296);
    ASSERT_EQ(cols.size(), 1000u);
    EXPECT_EQ(std::make_tuple(cols[10].m_iX, cols[10].m_iYMax, cols[10].m_iYMin),
              std::make_tuple(10, 256 - 43, 256 - 40));
    // A range starting in the second half fills from the right, ending at the end sample.
    view.SetRange(60.0, 80.0); // samples 2400 .. 3200, 0.8 samples a column
    cols = view.ColumnsScaled(1040, 296);
    ASSERT_FALSE(cols.empty());
    EXPECT_EQ(std::make_tuple(cols.front().m_iX, cols.front().m_iYMax), std::make_tuple(999, 256 - (3200 % 251)));
    // A range starting in the first half fills from the left, starting at the start sample.
    view.SetRange(10.0, 20.0); // 400 .. 800
    cols = view.ColumnsScaled(1040, 296);
    EXPECT_EQ(std::make_tuple(cols.front().m_iX, cols.front().m_iYMax), std::make_tuple(0, 256 - (400 % 251)));
}

TEST(LightProfileView, OneToOneViewCentresOnTheCentreSample)
{
    const std::vector<uint8_t> v = Ramp(4000);
    CLPFView view;
    view.SetData(v.data(), 4000);
    view.SetScaled(false);
    view.SetCenter(1000, 140); // graph 100 wide: samples 950 .. 1049
    const auto cols = view.Columns1To1(140, 296);
    ASSERT_EQ(cols.size(), 100u);
    EXPECT_EQ(cols[0].m_iYMax, 256 - (950 % 251));
    EXPECT_EQ(cols[99].m_iYMax, 256 - (1049 % 251));
    EXPECT_EQ(view.SampleAt(20 + 50, 140), 1000);
    view.SetCenter(5, 140); // clamped so the window stays inside the data
    EXPECT_EQ(view.Center(), 50);
}

TEST(LightProfileView, WhiteGridPerGeneration)
{
    CLPFView view;
    view.SetScanner(5, false, 255, 4, 8.5);
    auto lines = view.GridLines(296); // graph 256 high
    EXPECT_EQ(lines.front(), 256 - 20);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 256 - 100), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 256 - 100 + 1), 1);
    EXPECT_EQ(lines.size(), 14u);
    view.SetScanner(4, false, 255, 4, 8.5); // d = 256 / 20 = 12
    lines = view.GridLines(296);
    EXPECT_EQ(lines[0], 244);
    EXPECT_EQ(lines.size(), 19u + 3u); // every fifth doubled
    EXPECT_EQ(lines[4], 196);
    EXPECT_EQ(lines[5], 197);
    view.SetScanner(4, true, 255, 4, 8.5); // colour: d = 256 / 13 = 19, lines stop at the top
    lines = view.GridLines(296);
    EXPECT_EQ(lines[0], 237);
    EXPECT_EQ(lines.back(), 256 - 13 * 19);
}

TEST(LightProfileView, PositionReadOut)
{
    struct Case {
        int32_t gen; int32_t camera; int32_t count; bool scaled; double start, end; int64_t centre;
        const char* text;
    };
    const std::vector<Case> cases = {
        {5, 255, 4, true, 0, 100, 0, "4.25"},
        {5, 1, 4, true, 0, 100, 0, "3.18"},         // 212.5 + 106.25
        {5, 255, 4, true, 50, 100, 0, "6.37"},
        {5, 255, 4, false, 0, 100, 999, "2.12"},     // (999 + 1) / 4000 * 850
        {5, 2, 4, false, 0, 100, 2000, "5.31"},      // 2000/4000*850/4 + 2*850/4
        {7, 255, 4, true, 0, 100, 0, "left  0.0"},
        {7, 255, 4, true, 50, 100, 0, "right  45.7"}, // 2 * (6.37 - 4.25) * 4.24 * 2.54
        {7, 255, 4, true, 0, 50, 0, "left  -45.9"},   // signed: left of the middle is negative
        {7, 0, 4, false, 0, 100, 0, "left  -85.9"},     // 1:1, centre clamped to 500: P = 26
        {7, 3, 4, false, 0, 100, 3999, "right  85.7"},  // centre clamped to 3500: P = 823
        // Header values no scanner writes name the key instead of a number.
        {5, INT32_MAX, 0, true, 0, 100, 0, "Out of range: Camera Used"},
        {7, -1, 4, false, 0, 100, 0, "Out of range: Camera Used"},
        {5, 4, 4, true, 0, 100, 0, "Out of range: Camera Used"},   // camera E of four
        {5, 255, -3, true, 0, 100, 0, "Out of range: Camera Count"},
        {5, 255, 9, true, 0, 100, 0, "Out of range: Camera Count"},
    };
    std::vector<uint8_t> v(4000, 100);
    for (const Case& c : cases) {
        CLPFView view;
        view.SetData(v.data(), 4000);
        view.SetScanner(c.gen, true, c.camera, c.count, 8.5);
        view.SetRange(c.start, c.end);
        view.SetScaled(c.scaled);
        if (!c.scaled)
            view.SetCenter(c.centre, 1040);
        EXPECT_EQ(view.PositionText(1040), c.text) << c.gen << " " << c.camera << " " << c.start << "-" << c.end;
    }
    for (double f : {0.0, -8.5, 2147483647 / 5088.0, std::nan("")}) {
        CLPFView view;
        view.SetData(v.data(), 4000);
        view.SetScanner(7, false, 255, 4, f);
        view.SetScaled(false);
        EXPECT_EQ(view.PositionText(1040), "Out of range: Scanner Width") << f;
    }
}

TEST(LightProfileView, MouseZoomAndMeasuringLine)
{
    std::vector<uint8_t> v(4000, 100);
    CLPFView view;
    view.SetData(v.data(), 4000);
    view.ZoomIn(20 + 750, 1040); // sample 3000: range 50 wide around 75 %
    EXPECT_DOUBLE_EQ(view.StartPercent(), 50.0);
    EXPECT_DOUBLE_EQ(view.EndPercent(), 100.0);
    view.ZoomOut(0, 1040);
    EXPECT_TRUE(view.IsWholeProfile());
    view.ZoomIn(5, 1040); // outside the graph: nothing happens
    EXPECT_TRUE(view.IsWholeProfile());

    int32_t x1, x2, y;
    view.StartMeasure(300, 100);
    view.MoveMeasure(100);
    ASSERT_TRUE(view.MeasureLine(1040, 296, x1, x2, y));
    EXPECT_EQ(std::make_tuple(x1, x2, y), std::make_tuple(100, 300, 100));
    view.MoveMeasure(10); // left of the graph: not drawn
    EXPECT_FALSE(view.MeasureLine(1040, 296, x1, x2, y));
}
