#include <gtest/gtest.h>

#include <random>

#include "imaging/ImageErrors.h"
#include "imaging/ImageReceiver.h"
#include "imaging/Picture.h"
#include "imaging/TifCoders.h"
#include "imaging/TifReader.h"

TEST(Pipeline, DifferencingPerKind)
{
    struct Case { int32_t kind; std::vector<uint8_t> in, out; } cases[] = {
        {IMG_KIND_GRAY, {10, 12, 15}, {10, 2, 3}},
        {IMG_KIND_GRAY, {200, 10}, {200, 66}}, // wraps modulo 256
        {IMG_KIND_RGB, {10, 20, 30, 11, 22, 33}, {10, 20, 30, 1, 2, 3}},
        {IMG_KIND_GRAY16, {0x00, 0x01, 0x05, 0x01}, {0x00, 0x01, 0x05, 0x00}},
        {IMG_KIND_RGB48, {1, 0, 2, 0, 3, 0, 0, 1, 0, 0, 4, 0}, {1, 0, 2, 0, 3, 0, 0xFF, 0, 0xFE, 0xFF, 1, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> row = c.in;
        CDifferencingFilter::Difference(c.kind, row.data(), int64_t(row.size()));
        EXPECT_EQ(row, c.out) << c.kind;
        CDifferencingFilter::Undifference(c.kind, row.data(), int64_t(row.size()));
        EXPECT_EQ(row, c.in) << c.kind;
    }
    CDifferencingFilter filter;
    EXPECT_EQ(filter.BeginPage(IMG_KIND_BILEVEL, 10, 1, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    EXPECT_EQ(filter.BeginPage(IMG_KIND_PALETTE, 10, 1, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
}

TEST(Pipeline, FilterPassesRowsOnThroughNextBuffer)
{
    CPicture pic;
    CMyReceiver receiver(&pic);
    CDifferencingFilter filter(&receiver);
    ASSERT_EQ(filter.BeginPage(IMG_KIND_GRAY, 3, 2, 200), 0u);
    for (int y = 0; y < 2; ++y) {
        uint8_t* p = filter.GetLineBuffer();
        p[0] = 10;
        p[1] = 12;
        p[2] = uint8_t(15 + y);
        ASSERT_EQ(filter.WriteLine(), 0u);
    }
    ASSERT_EQ(filter.EndPage(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(pic.m_pData, pic.m_pData + 6), (std::vector<uint8_t>{10, 2, 3, 10, 2, 4}));
}

TEST(Pipeline, PictureReceiverKinds)
{
    struct Case { int32_t kind; int32_t width; EPicData pic; int32_t size; } cases[] = {
        {IMG_KIND_BILEVEL, 10, PIC_BW, 2 * 3},
        {IMG_KIND_GRAY, 10, PIC_GRAY, 10 * 3},
        {IMG_KIND_RGB, 10, PIC_RGB, 30 * 3},
        {IMG_KIND_RGB48, 10, PIC_RGB48, 60 * 3},
    };
    for (const Case& c : cases) {
        CPicture pic;
        CMyReceiver receiver(&pic);
        ASSERT_EQ(receiver.BeginPage(c.kind, c.width, 3, 400), 0u);
        EXPECT_EQ(pic.m_PicData, c.pic);
        EXPECT_EQ(pic.m_iSize, c.size);
        EXPECT_EQ(pic.m_iWidth3, 30);
        EXPECT_EQ(pic.m_iResolution, 400);
        uint8_t* first = receiver.GetLineBuffer();
        receiver.WriteLine();
        EXPECT_EQ(receiver.GetLineBuffer() - first, c.size / 3);
    }
    // Palette and 16-bit gray have no picture kind: the picture stays as it was.
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 0.1, 0.1, PIC_GRAY, 0, 9, 0));
    CMyReceiver receiver(&pic);
    for (int32_t k : {IMG_KIND_PALETTE, IMG_KIND_GRAY16}) {
        EXPECT_NE(receiver.BeginPage(k, 10, 3, 300), 0u);
        EXPECT_EQ(pic.m_PicData, PIC_GRAY);
        EXPECT_EQ(pic.m_iSize, 100);
    }
}

TEST(Pipeline, PackBitsAndLzwRoundTripHardData)
{
    std::mt19937 rng(3);
    // Noise restarts the LZW table hundreds of times (beyond 15 generations);
    // long runs and short repeats exercise PackBits' choices.
    std::vector<uint8_t> data(400000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = i % 50000 < 25000 ? uint8_t(rng()) : uint8_t((i / 3) % 4 == 0 ? 7 : (i / 200) % 3);
    std::vector<uint8_t> packed(data.size() * 2);
    const size_t n = CPackbitCoder::Encode(data.data(), data.size(), packed.data());
    CTIFReader::CDecoderPackbit pack;
    pack.SetRow(int64_t(data.size()), 0);
    pack.BeginStrip(packed.data(), n, 1);
    std::vector<uint8_t> back(data.size());
    ASSERT_EQ(pack.DecodeLine(back.data()), 0u);
    EXPECT_EQ(back, data);
    for (uint8_t literalRun : {uint8_t(1), uint8_t(2)}) {
        const std::vector<uint8_t> tiny(2, literalRun);
        EXPECT_EQ(CPackbitCoder::Encode(tiny.data(), 2, packed.data()), 2u); // a pair at the end replicates
    }
}
