#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "support/TestSupport.h"
#include "imaging/Picture.h"
#include "platform/Messages.h"

namespace {

// A gray picture whose rows are all the given samples.
CPicture GrayRows(const std::vector<int>& row, int iRows = 1)
{
    CPicture pic;
    EXPECT_TRUE(pic.CreateFilled(100, row.size() / 100.0, iRows / 100.0, PIC_GRAY, 255, 255, 255));
    for (int y = 0; y < iRows; ++y)
        for (size_t x = 0; x < row.size(); ++x)
            pic.SetPixel(int(x), y, row[x], row[x], row[x]);
    return pic;
}

std::vector<uint8_t> Bytes(const CPicture& pic)
{
    return std::vector<uint8_t>(pic.m_pData, pic.m_pData + pic.m_iSize);
}

} // namespace

TEST(Picture, ClearGoesBackToTheEmptyState)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(300, 1, 1, PIC_RGB, 1, 2, 3));
    pic.Clear();
    EXPECT_EQ(pic.m_pData, nullptr);
    EXPECT_EQ(pic.m_iAllocated, -1);
    EXPECT_EQ(pic.m_iSize, -1);
    EXPECT_EQ(pic.m_iWidth, -1);
    EXPECT_EQ(pic.m_PicData, PIC_UNDEFINED);
    EXPECT_TRUE(std::equal(pic.m_BiC, pic.m_BiC + 8, CPicture().m_BiC));
}

TEST(Picture, CreateFamily)
{
    CPicture pic;
    ASSERT_TRUE(pic.Create(1000, 10, 600, PIC_BW)); // anything but RGB becomes gray
    EXPECT_EQ(pic.m_PicData, PIC_GRAY);
    EXPECT_EQ(pic.m_iAllocated, 10000);
    EXPECT_EQ(pic.m_iSize, 0);
    EXPECT_EQ(pic.m_iHeight, 0);
    EXPECT_EQ(pic.m_pData[9999], 255);

    ASSERT_TRUE(pic.CreateForArea(2, 1, 100, PIC_RGB));
    EXPECT_EQ(pic.m_iWidth, 200);
    EXPECT_EQ(pic.m_iAllocated, int(2 * 1 * 100 * 100 * 1.1 * 3));

    ASSERT_TRUE(pic.CreateFilled(300, 42, 8, PIC_GRAY, 0, 200, 0));
    EXPECT_EQ(pic.m_iWidth, 12600);
    EXPECT_EQ(pic.m_iHeight, 2400);
    EXPECT_EQ(pic.m_BiC[0], 12600);
    EXPECT_EQ(pic.NumberOfCameras(), 1);
    EXPECT_EQ(pic.GetSample(5, 5, 0), 200);

    struct Bad { int res; double w, h; EPicData kind; int r, g, b; } bad[] = {
        {0, 1, 1, PIC_GRAY, 0, 0, 0},   {100, 0.001, 1, PIC_GRAY, 0, 0, 0}, {100, 1, 1, PIC_BW, 0, 0, 0},
        {100, 1, 1, PIC_RGB, 256, 0, 0}, {100, 1, 1, PIC_RGB, 0, -1, 0},
    };
    for (const Bad& b : bad)
        EXPECT_FALSE(pic.CreateFilled(b.res, b.w, b.h, b.kind, b.r, b.g, b.b));
}

TEST(Picture, CameraArithmetic)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 10, 0.1, PIC_RGB, 9, 9, 9));
    const int biC[8] = {300, 600, 900, 0, -1, 0, 0, 0};
    std::copy(biC, biC + 8, pic.m_BiC);
    EXPECT_EQ(pic.PixCameras(1), 200);
    EXPECT_EQ(pic.PixCameras(8), -1);
    EXPECT_EQ(pic.PixelsUpToCamera(-1), 0);
    EXPECT_EQ(pic.PixelsUpToCamera(-2), -1);
    EXPECT_EQ(pic.PixelsUpToCamera(8), -1);
    EXPECT_EQ(pic.PixelsUpToCamera(2), 600);
    EXPECT_EQ(pic.NumberOfCameras(), 3);
    int f = 0, l = 0;
    ASSERT_TRUE(pic.CameraPixelRange(1, f, l));
    EXPECT_EQ(f, 100);
    EXPECT_EQ(l, 299);

    // Entry 4 negative: a four-camera layout, the width counts A..D only.
    CPicture gray;
    ASSERT_TRUE(gray.CreateFilled(100, 1, 1, PIC_GRAY, 0, 0, 0));
    const int four[8] = {10, 20, 30, 40, -1, 500, 500, 500};
    std::copy(four, four + 8, gray.m_BiC);
    ASSERT_TRUE(gray.ComputeWidth());
    EXPECT_EQ(gray.m_iWidth, 100);
    gray.m_BiC[4] = 0;
    ASSERT_TRUE(gray.ComputeWidth());
    EXPECT_EQ(gray.m_iWidth, 1600);

    CPicture act = GrayRows({0, 1, 1, 50, 60, 70, 1, 0});
    act.m_BiC[0] = 8;
    ASSERT_TRUE(act.CameraActiveRange(0, f, l));
    EXPECT_EQ(f, 3);
    EXPECT_EQ(l, 5);

    CPicture mm;
    ASSERT_TRUE(mm.CreateFilled(254, 1, 1, PIC_GRAY, 0, 0, 0));
    EXPECT_DOUBLE_EQ(mm.PixelsToMm(10), 1.0);
    EXPECT_EQ(mm.MmToPixels(1.05), 10);
    EXPECT_DOUBLE_EQ(mm.PixelsPerMm(), 10.0);
}

TEST(Picture, RunLengthCoding)
{
    struct Case { std::vector<int> row; int rows; std::vector<uint8_t> coded; } cases[] = {
        {std::vector<int>(300, 255), 1, {255, 255, 174, 0}},
        {std::vector<int>(127, 0), 2, {127, 0, 127, 0}},            // exact 127 runs keep one zero per row
        {{0, 0, 200, 128, 127, 255}, 1, {2, 130, 1, 129, 0}},
    };
    for (const Case& c : cases) {
        CPicture pic = GrayRows(c.row, c.rows);
        ASSERT_TRUE(pic.GrayToBW(128));
        EXPECT_EQ(pic.m_PicData, PIC_BW);
        EXPECT_EQ(Bytes(pic), c.coded);
        pic.m_iWidth = -1;
        ASSERT_TRUE(pic.ComputeHeight());
        EXPECT_EQ(pic.m_iWidth, int(c.row.size()));
        EXPECT_EQ(pic.m_iHeight, c.rows);
        ASSERT_TRUE(pic.BWToGray());
        for (size_t x = 0; x < c.row.size(); ++x)
            EXPECT_EQ(pic.GetSample(int(x), c.rows - 1, 0), c.row[x] >= 128 ? 255 : 0);
    }
    CPicture rgb;
    ASSERT_TRUE(rgb.CreateFilled(100, 0.03, 0.01, PIC_RGB, 200, 10, 200));
    EXPECT_FALSE(rgb.GrayToBW(128));
    ASSERT_TRUE(rgb.RGBToBW(1, 128));
    EXPECT_EQ(Bytes(rgb), (std::vector<uint8_t>{3, 0}));
}

TEST(Picture, KindConversionsScaleCameras)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.02, 0.01, PIC_RGB, 1, 2, 3));
    ASSERT_TRUE(pic.RGBToGray(2));
    EXPECT_EQ(pic.m_BiC[0], 2);
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{3, 3}));
    EXPECT_FALSE(pic.RGBToGray(0));
    ASSERT_TRUE(pic.GrayToRGB());
    EXPECT_EQ(pic.m_BiC[0], 6);
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{3, 3, 3, 3, 3, 3}));
}

TEST(Picture, PixelAccessBounds)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(10, 1, 1, PIC_RGB, 7, 8, 9));
    int r = 0, g = 0, b = 0;
    EXPECT_TRUE(pic.SetPixel(9, 9, 1, 2, 3));
    EXPECT_TRUE(pic.GetPixel(9, 9, r, g, b));
    EXPECT_EQ(b, 3);
    EXPECT_EQ(pic.GetSample(9, 9, 1), 2);
    EXPECT_FALSE(pic.SetPixel(10, 0, 0, 0, 0));
    EXPECT_FALSE(pic.SetPixel(0, 10, 0, 0, 0));
    EXPECT_EQ(pic.GetSample(0, 10, 0), -1);
    EXPECT_EQ(pic.GetSample(-1, 0, 0), -1);
    EXPECT_FALSE(pic.GetPixel(-1, 0, r, g, b));
}

TEST(Picture, CopyRegionAndCameraKeepLayout)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.3, 0.1, PIC_GRAY, 0, 50, 0));
    const int biC[8] = {10, 10, 10, 0, 0, 0, 0, 0};
    std::copy(biC, biC + 8, pic.m_BiC);
    pic.SetPixel(15, 2, 7, 7, 7);
    CPicture region;
    ASSERT_TRUE(region.CopyRegion(pic, 2, 5, 24, 100));
    EXPECT_EQ(region.m_iWidth, 20);
    EXPECT_EQ(region.m_iHeight, 8);
    EXPECT_EQ(region.m_BiC[0], 5);
    EXPECT_EQ(region.m_BiC[1], 10);
    EXPECT_EQ(region.m_BiC[2], 5);
    EXPECT_EQ(region.GetSample(10, 0, 0), 7);

    CPicture cam;
    ASSERT_TRUE(pic.CopyCamera(1, cam));
    EXPECT_EQ(cam.m_iWidth, 10);
    EXPECT_EQ(cam.m_BiC[0], 0);
    EXPECT_EQ(cam.m_BiC[1], 10);
    EXPECT_EQ(cam.GetSample(5, 2, 0), 7);

    ASSERT_TRUE(pic.CropColumns(15, 16));
    EXPECT_EQ(pic.m_iWidth, 2);
    EXPECT_EQ(pic.m_BiC[0], 2);
    EXPECT_EQ(pic.GetSample(0, 2, 0), 7);
    EXPECT_FALSE(pic.CropColumns(1, 2));
}

TEST(Picture, AppendFillsCapacityOnly)
{
    CPicture block;
    ASSERT_TRUE(block.CreateFilled(10, 1, 0.4, PIC_GRAY, 0, 9, 0));
    CPicture pic;
    ASSERT_TRUE(pic.Create(10, 8, 10, PIC_GRAY));
    EXPECT_TRUE(pic.Append(block));
    EXPECT_TRUE(pic.Append(block));
    EXPECT_EQ(pic.m_iHeight, 8);
    EXPECT_EQ(pic.m_BiC[0], 10);
    EXPECT_FALSE(pic.Append(block));
    EXPECT_EQ(pic.m_iHeight, 8);
}

TEST(Picture, HalveAndDecimate)
{
    CPicture pic = GrayRows({0, 1, 2, 3, 4, 5, 10, 11, 12, 13}, 2);
    const int biC[8] = {6, 4, 0, 0, 0, 0, 0, 0};
    std::copy(biC, biC + 8, pic.m_BiC);
    ASSERT_TRUE(pic.HalveCameras());
    EXPECT_EQ(pic.m_BiCSaved[0], 6);
    EXPECT_EQ(pic.m_iWidth, 5);
    ASSERT_TRUE(pic.DecimateCameras());
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{0, 2, 4, 10, 12, 0, 2, 4, 10, 12}));
}

TEST(Picture, RepairDeadColumns)
{
    CPicture pic = GrayRows({100, 3, 90, 80}, 2);
    CPicture copy;
    ASSERT_TRUE(copy.Copy(pic));
    ASSERT_TRUE(pic.RepairDeadColumns(5, 77));
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{100, 77, 90, 80, 100, 77, 90, 80}));
    ASSERT_TRUE(copy.RepairDeadColumns(5, -1));
    EXPECT_EQ(Bytes(copy), (std::vector<uint8_t>{100, 0, 90, 80, 100, 100, 100, 80}));
}

TEST(Picture, PercentBelowAndGains)
{
    CPicture pic = GrayRows({0, 10, 200, 255});
    EXPECT_EQ(pic.PercentBelow(11), 50);
    EXPECT_EQ(pic.PercentBelow(0), 0);
    CPicture rgb;
    ASSERT_TRUE(rgb.CreateFilled(100, 0.01, 0.02, PIC_RGB, 100, 200, 50));
    const double gains[3] = {1.5, 2.0, -1.0};
    ASSERT_TRUE(rgb.ApplyColumnGains(gains));
    EXPECT_EQ(Bytes(rgb), (std::vector<uint8_t>{150, 255, 0, 150, 255, 0}));
}

TEST(Picture, PictureInfoRoundTripAndOldKeys)
{
    CTempDir dir;
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(600, 1, 1, PIC_GRAY, 0, 0, 0));
    pic.m_BiC[3] = 77;
    std::FILE* f = std::fopen(dir.File("info.ini").c_str(), "wb");
    ASSERT_TRUE(pic.WritePictureInfo(f));
    std::fclose(f);
    const std::string text = ReadFileBytes(dir.File("info.ini"));
    EXPECT_EQ(text.rfind("[PictureInfo]\nm_BiC[0]=600\n", 0), 0u);
    EXPECT_NE(text.find("m_BiC[3]=77\nm_BiC[4]=0\n"), std::string::npos);
    EXPECT_NE(text.find("m_iResolution=600\nm_PicData=PIC_GRAY\n[PictureInfo End]\n"), std::string::npos);

    CPicture back;
    ASSERT_TRUE(back.ReadPictureInfo(dir.File("info.ini")));
    EXPECT_EQ(back.m_PicData, PIC_GRAY);
    EXPECT_EQ(back.m_BiC[3], 77);
    EXPECT_EQ(back.m_iWidth, 600);
    EXPECT_EQ(back.m_pData, nullptr);

    WriteFileBytes(dir.File("old.ini"), "[PictureInfo]\nm_iA=3000\nm_iB=2000\nm_iWidth=5000\n");
    ASSERT_TRUE(back.ReadPictureInfo(dir.File("old.ini")));
    EXPECT_EQ(back.m_BiC[0], 3000);
    EXPECT_EQ(back.m_BiC[1], 2000);
    EXPECT_EQ(back.m_BiC[2], -1);
    EXPECT_EQ(back.m_PicData, PIC_RGB);  // missing kind reads as RGB
    WriteFileBytes(dir.File("odd.ini"), "[PictureInfo]\nm_PicData=PIC_X\n");
    ASSERT_TRUE(back.ReadPictureInfo(dir.File("odd.ini")));
    EXPECT_EQ(back.m_PicData, PIC_UNDEFINED);
}

TEST(Picture, HorizontalLineCenterInterpolates)
{
    // Column values down the rows: a dark line between rows 3 and 5.
    std::vector<int> col = {250, 250, 200, 50, 40, 150, 250, 250};
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.01, 0.08, PIC_GRAY, 0, 0, 0));
    for (size_t y = 0; y < col.size(); ++y)
        pic.SetPixel(0, int(y), col[y], 0, 0);
    double c = 0;
    ASSERT_TRUE(pic.FindCenterOfHorizontalLine(0, 0, 7, 100, c));
    EXPECT_DOUBLE_EQ(pic.m_dLineStart, 2 + 100.0 / 150);
    EXPECT_DOUBLE_EQ(pic.m_dLineEnd, 4 + 60.0 / 110);
    EXPECT_DOUBLE_EQ(c, (pic.m_dLineStart + pic.m_dLineEnd) / 2);
    double w = 0;
    ASSERT_TRUE(pic.LineWidthInColumn(0, 0, 7, 100, w));
    EXPECT_DOUBLE_EQ(w, pic.m_dLineWidth);
    EXPECT_FALSE(pic.FindCenterOfHorizontalLine(0, 0, 4, 100, c));   // line not closed
    EXPECT_FALSE(pic.FindCenterOfHorizontalLine(0, 5, 5, 100, c));   // empty range
    // Starting inside the line skips it, and there is no second one.
    EXPECT_FALSE(pic.FindCenterOfHorizontalLine(0, 4, 7, 100, c));
}

TEST(Picture, VerticalLineFinder)
{
    //                  0    1    2   3   4    5    6    7   8   9  10  11  12  13  14   15   16
    std::vector<int> row = {50, 200, 200, 40, 60, 200, 200, 90, 20, 20, 20, 20, 20, 20, 20, 220, 200};
    CPicture pic = GrayRows(row);
    double c = 0;
    struct Case { int start, end, maxW, minW; bool found; double s, e; } cases[] = {
        // forward: the dark pixel at the start column is skipped, first line is 3..4
        {0, 16, 0, 0, true, 2 + 100.0 / 160, 4 + 40.0 / 140},
        // limits pass over the 2-pixel line and take the wide one
        {0, 16, 20, 4, true, 6 + 100.0 / 110, 14 + 80.0 / 200},
        // only narrower lines: false, but the outputs hold the last line
        {0, 16, 3, 2, false, 6 + 100.0 / 110, 14 + 80.0 / 200},
        // backward from a dark start column: no skip, that column belongs to the line
        {8, 0, 0, 0, true, 0, 0},
        // end column reached before the line closes
        {6, 12, 0, 0, false, 0, 0},
    };
    for (const Case& k : cases) {
        const bool found = pic.FindCenterOfVerticalLine(0, k.start, k.end, 100, c, 0, k.maxW, k.minW);
        EXPECT_EQ(found, k.found) << k.start << "->" << k.end;
        if (k.s != 0 && k.start < k.end) {
            EXPECT_DOUBLE_EQ(pic.m_dLineStart, k.s);
            EXPECT_DOUBLE_EQ(pic.m_dLineEnd, k.e);
        }
    }
    // Backward from column 8: closing bright column 6, so a = 7; b = 9 (next to the first dark).
    ASSERT_TRUE(pic.FindCenterOfVerticalLine(0, 8, 0, 100, c, 0));
    EXPECT_DOUBLE_EQ(pic.m_dLineStart, 6 + 100.0 / 110);
    EXPECT_DOUBLE_EQ(pic.m_dLineEnd, 8 + 0.0);

    EXPECT_FALSE(pic.FindCenterOfVerticalLine(-1, 0, 5, 100, c));
    EXPECT_FALSE(pic.FindCenterOfVerticalLine(0, -1, 5, 100, c));
    CPicture bw = GrayRows({0, 255});
    bw.GrayToBW(128);
    CMessageRecorder rec;
    EXPECT_FALSE(bw.FindCenterOfVerticalLine(0, 0, 1, 100, c));
    double w = 0;
    EXPECT_FALSE(bw.LineWidthInRow(0, 0, 1, 100, w));
    ASSERT_EQ(rec.Texts().size(), 2u);
    EXPECT_EQ(rec.Texts()[0], "Not RGB or Gray picture\nCPicture::FindCenterOfVerticalLine() not valid");
    EXPECT_EQ(rec.Texts()[1], "Not RGB or Gray picture\nCPicture::LineWidthInRow() not valid");
}

TEST(Picture, BandFindersAndRowEdges)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.1, 0.1, PIC_GRAY, 0, 255, 0));
    for (int x = 2; x < 6; ++x)
        pic.SetPixel(x, 7, 10, 0, 0);
    int row = 0, col = 0;
    EXPECT_TRUE(pic.FindHorizontalLineAtPixelColumn(2, 0, 4, 50, row, true));
    EXPECT_EQ(row, 7);
    EXPECT_TRUE(pic.FindHorizontalLineAtPixelColumn(2, 99, 4, 50, row, false));
    EXPECT_EQ(row, 7);
    EXPECT_FALSE(pic.FindHorizontalLineAtPixelColumn(2, 0, 5, 50, row, true));
    for (int y = 0; y < 10; ++y)
        pic.SetPixel(8, y, 0, 0, 0);
    EXPECT_TRUE(pic.FindVerticalLineAtPixelRow(0, -5, 10, 50, col));
    EXPECT_EQ(col, 8);

    double s = 0, e = 0;
    EXPECT_TRUE(pic.FindLineEdgesInRow(7, 0, 9, 100, 0, s, e));
    EXPECT_DOUBLE_EQ(s, 1 + 155.0 / 245);
    EXPECT_DOUBLE_EQ(e, 5 + 90.0 / 245);
    EXPECT_FALSE(pic.FindLineEdgesInRow(0, 0, 7, 100, 0, s, e));
    EXPECT_EQ(s, -1.0);

    CPicture bright = GrayRows({10, 10, 200, 200, 200, 10, 10});
    EXPECT_TRUE(bright.FindBrightLineInRow(0, 0, 6, 100, 0, s, e));
    EXPECT_DOUBLE_EQ(s, 1 + 90.0 / 190);
    EXPECT_DOUBLE_EQ(e, 4 + 100.0 / 190);
}

TEST(Picture, CrossingsAlongRgbRow)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.06, 0.01, PIC_RGB, 0, 0, 0));
    const int green[6] = {200, 200, 100, 20, 20, 180};
    for (int x = 0; x < 6; ++x)
        pic.SetPixel(x, 0, 0, green[x], 0);
    double d = 0;
    EXPECT_TRUE(pic.FindFallingCrossing(1, 0, 5, 0, 127.0, d));
    EXPECT_DOUBLE_EQ(d, 1 + (127.0 - 200) / (100 - 200));
    EXPECT_TRUE(pic.FindRisingCrossing(1, 2, 5, 0, 127.0, d));
    EXPECT_DOUBLE_EQ(d, 4 + (127.0 - 20) / 160);
    EXPECT_TRUE(pic.FindFallingCrossingBackward(1, 5, 0, 0, 127.0, d));
    EXPECT_DOUBLE_EQ(d, 5 - (127.0 - 180) / (20 - 180));
    EXPECT_FALSE(pic.FindRisingCrossingBackward(1, 1, 0, 0, 127.0, d));
    EXPECT_EQ(d, -1.0);
    CPicture gray = GrayRows({0, 255});
    EXPECT_FALSE(gray.FindFallingCrossing(0, 0, 1, 0, 127.0, d));
}

TEST(Picture, LevelsAndThresholds)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 1, 1, PIC_GRAY, 0, 200, 0));
    int white = 0, black = 0;
    EXPECT_EQ(pic.GetBlackWhiteLevels(0, 99, 0, 99, 1, 10, 1, white, black), 100);
    EXPECT_EQ(white, 200);
    EXPECT_EQ(black, 0);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 100; ++y)
            pic.SetPixel(x, y, 20, 0, 0);
    EXPECT_EQ(pic.GetBlackWhiteLevels(0, 99, 0, 500, 5, 10, 1, white, black), 110);
    EXPECT_EQ(black, 20);
    CPicture none;
    ASSERT_TRUE(none.Create(10, 10, 100, PIC_GRAY));
    EXPECT_EQ(none.GetBlackWhiteLevels(0, 9, 0, 9, 1, 10, 1, white, black), 100);

    int thr[3] = {};
    ASSERT_TRUE(pic.ChannelThresholds(0, 1000, 0, 1000, 0.05, 0.5, 0.5, thr));
    EXPECT_EQ(thr[0], 110);

    // Rows 0..29 bright, then dark rows: mode 0 finds row 30 after 3 qualifying rows.
    for (int y = 30; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            pic.SetPixel(x, y, 5, 0, 0);
    EXPECT_EQ(pic.FindEdgeRunSingle(10, 50, 0, 99, 100, 0, 3, 0.9), 30);
    EXPECT_EQ(pic.FindEdgeRunSingle(10, 50, 99, 0, 100, 1, 3, 0.9), 29);
    EXPECT_EQ(pic.FindEdgeRunSingle(10, 50, 0, 99, 100, 4, 3, 0.9), -1);
    EXPECT_EQ(pic.FindEdgeRunSingle(10, 500, 0, 99, 100, 0, 3, 0.9), -1);
}

TEST(Picture, MeansAndExtremes)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.1, 0.1, PIC_RGB, 30, 60, 90));
    double r = 0, g = 0, b = 0;
    ASSERT_TRUE(pic.MeanRGB(0, 0, 9, 9, r, g, b));
    EXPECT_DOUBLE_EQ(b, 90);
    EXPECT_DOUBLE_EQ(pic.Mean(0, 0, 9, 9), 60);
    EXPECT_FALSE(pic.MeanRGB(0, 0, 11, 9, r, g, b));
    EXPECT_FALSE(pic.MeanRGB(0, 0, 9, 10, r, g, b));
    EXPECT_EQ(pic.MeanOfBlock(0, 0, 2, 2), 60);
    EXPECT_TRUE(std::isnan(GrayRows({1, 2}).MeanGray(0, 0, 1, -1)));

    pic.SetPixel(5, 5, 0, 0, 30);
    int x = 4, y = 4;
    EXPECT_EQ(pic.FindDarkestInBlock(x, y, 5, 5), 10);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    EXPECT_EQ(pic.GetSample(2, 2, 1), 255); // the searched block is painted green

    CPicture gray = GrayRows({100, 254, 255, 120}, 1);
    x = 0;
    y = 0;
    EXPECT_EQ(gray.FindBrightestInBlock(x, y, 4, 1), 254);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(Bytes(gray), (std::vector<uint8_t>{0, 255, 0, 0}));

    CPicture a = GrayRows({10, 20, 30}, 3), c = GrayRows({10, 20, 30}, 3);
    EXPECT_DOUBLE_EQ(a.RmsDifference(1, 1, 1, 1, 3), 0.0);
    EXPECT_DOUBLE_EQ(a.RmsDifference(0, 1, 1, 1, 1), std::sqrt(3.0 * 100));
}

TEST(Picture, TraceFollowsDarkLine)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.2, 0.2, PIC_GRAY, 0, 255, 0));
    // A line from row 3 drifting one column to the right half way down, ending at row 15.
    for (int y = 3; y <= 15; ++y)
        pic.SetPixel(y < 8 ? 5 : 6, y, 0, 0, 0);
    int x = 5, y = 3;
    EXPECT_TRUE(pic.TraceLineDown(x, y, 100));
    EXPECT_EQ(x, 6);
    EXPECT_EQ(y, 15);
    EXPECT_TRUE(pic.TraceLineUp(x, y, 100));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 3);
    CPicture edge;
    ASSERT_TRUE(edge.CreateFilled(100, 0.2, 0.2, PIC_GRAY, 0, 0, 0));
    x = 3;
    y = 3;
    EXPECT_FALSE(edge.TraceLineRight(x, y, 100));
    EXPECT_EQ(x, 19);
}

TEST(Picture, RotateAndRawFile)
{
    CPicture pic = GrayRows({1, 2, 3}, 2); // rows 1 2 3 / 1 2 3
    pic.SetPixel(0, 1, 9, 9, 9);           // rows 1 2 3 / 9 2 3
    ASSERT_TRUE(pic.Rotate90Clockwise());
    EXPECT_EQ(pic.m_iWidth, 2);
    EXPECT_EQ(pic.m_iHeight, 3);
    EXPECT_EQ(pic.m_BiC[0], 2);
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{9, 1, 2, 2, 3, 3}));

    ASSERT_TRUE(pic.Rotate90CounterClockwise()); // back to rows 1 2 3 / 9 2 3
    EXPECT_EQ(pic.m_iWidth, 3);
    EXPECT_EQ(Bytes(pic), (std::vector<uint8_t>{1, 2, 3, 9, 2, 3}));

    CPicture cams = GrayRows({1, 2, 3, 4, 5});
    cams.m_BiC[0] = 2;
    cams.m_BiC[1] = 3;
    ASSERT_TRUE(cams.MirrorCameras());
    EXPECT_EQ(Bytes(cams), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
    EXPECT_EQ(cams.m_BiC[0], 3);
    EXPECT_EQ(cams.m_BiC[1], 2);
    EXPECT_FALSE(GrayRows({1, 2}).MirrorCameras()); // a single camera has no mirror image

    CTempDir dir;
    WriteFileBytes(dir.File("raw.bin"), std::string("\x01\x02\x03\x04\x05", 5));
    std::FILE* f = std::fopen(dir.File("raw.bin").c_str(), "rb");
    ASSERT_TRUE(pic.ReadRawFile(f));
    std::fclose(f);
    EXPECT_EQ(pic.m_iSize, 5);
    EXPECT_EQ(pic.m_iAllocated, 5);
    EXPECT_EQ(pic.m_iWidth, 3); // header fields untouched
}

TEST(Picture, ColumnProfilesAverageTheBand)
{
    CPicture gray = GrayRows({10, 200, 30}, 4);
    gray.SetPixel(1, 3, 0, 0, 0); // outside the band below
    gray.SetPixel(0, 1, 20, 20, 20);
    std::vector<float> p, r, g, b;
    ASSERT_TRUE(gray.ColumnProfileGray(-5, 2, p)); // first row clamped to 0
    EXPECT_EQ(p, (std::vector<float>{float(40.0 / 3), 200.f, 30.f}));
    ASSERT_TRUE(gray.ColumnProfileGray(3, 99, p)); // last row clamped
    EXPECT_EQ(p[1], 0.f);
    EXPECT_FALSE(gray.ColumnProfileGray(4, 9, p));
    EXPECT_FALSE(gray.ColumnProfileRGB(0, 3, r, g, b));

    CPicture rgb;
    ASSERT_TRUE(rgb.CreateFilled(100, 0.02, 0.03, PIC_RGB, 30, 60, 90));
    rgb.SetPixel(1, 0, 0, 0, 0);
    ASSERT_TRUE(rgb.ColumnProfileRGB(0, 2, r, g, b));
    EXPECT_EQ(r, (std::vector<float>{30.f, 20.f}));
    EXPECT_EQ(g, (std::vector<float>{60.f, 40.f}));
    EXPECT_EQ(b, (std::vector<float>{90.f, 60.f}));
    EXPECT_FALSE(rgb.ColumnProfileGray(0, 2, p));
}
