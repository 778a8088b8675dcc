// Damaged and hostile TIFF files end with their error code, never a crash,
// a hang or an allocation the file cannot justify.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <random>

#include "TiffTestSupport.h"
#include "imaging/ImageErrors.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"
#include "support/TestSupport.h"

namespace {

constexpr uint32_t kStrip = 0xFFFFFFFF; // stands for "offset of the strip data"

struct CTag {
    uint16_t m_iTag, m_iType;
    uint32_t m_iCount, m_iValue;
};

void Put16(std::string& s, uint32_t v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A little-endian classic file: header, one IFD, then the strip bytes.
std::string BuildTiff(const std::vector<CTag>& tags, const std::string& strip, int64_t iNextIfd = 0)
{
    std::string s = "II";
    Put16(s, 42);
    Put32(s, 8);
    const uint32_t iStripAt = uint32_t(8 + 2 + 12 * tags.size() + 4);
    Put16(s, uint32_t(tags.size()));
    for (const CTag& t : tags) {
        Put16(s, t.m_iTag);
        Put16(s, t.m_iType);
        Put32(s, t.m_iCount);
        const uint32_t v = t.m_iValue == kStrip ? iStripAt : t.m_iValue;
        if (t.m_iType == 3 && t.m_iCount == 1) {
            Put16(s, v);
            Put16(s, 0);
        } else {
            Put32(s, v);
        }
    }
    Put32(s, iNextIfd < 0 ? 8u : uint32_t(iNextIfd));
    return s + strip;
}

std::vector<CTag> GrayTags(uint32_t w, uint32_t h, uint16_t iCompression, uint32_t iStripBytes,
                           uint16_t iBits = 8, uint16_t iPhotometric = 1)
{
    return {{256, 4, 1, w},           {257, 4, 1, h},      {258, 3, 1, iBits},
            {259, 3, 1, iCompression}, {262, 3, 1, iPhotometric}, {273, 4, 1, kStrip},
            {278, 4, 1, h},           {279, 4, 1, iStripBytes}};
}

uint32_t ReadBytes(const std::string& bytes)
{
    CRowCollector collect;
    CTIFReader reader;
    reader.SetMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    reader.SetReceiver(&collect);
    int32_t iPages = 0;
    uint32_t r = reader.Open(iPages);
    if (r == 0)
        r = reader.ReadPageInfo();
    for (int32_t i = 0; r == 0 && i < iPages; ++i)
        r = reader.ReadPage(i);
    return r;
}

std::vector<CTag> With(std::vector<CTag> tags, uint16_t iTag, uint32_t iValue)
{
    for (CTag& t : tags)
        if (t.m_iTag == iTag)
            t.m_iValue = iValue;
    return tags;
}

std::vector<CTag> WithPredictor(std::vector<CTag> tags)
{
    tags.push_back({317, 3, 1, 2});
    return tags;
}

std::vector<CTag> CompressionAsLong()
{
    std::vector<CTag> tags = GrayTags(4, 4, 1, 16);
    tags[3].m_iType = 4;
    return tags;
}

} // namespace

TEST(TiffHostile, EachDamageEndsWithItsCode)
{
    const std::string strip(16, 'x');
    // LZW: ClearCode then code 300, which no table holds yet.
    const std::string lzwBeyond("\x80\x12\xC0\x00", 4);
    const std::string packRun("\xF0\x00", 2);           // 17 copies into a 4-byte row
    const std::string mhRun("\x34\x00\x00\x00", 4);      // white 63 in a 10-pixel row
    struct Case { const char* name; std::string bytes; uint32_t code; } cases[] = {
        {"empty", "", IMG_TIF_FORMAT_ERROR},
        {"not tiff", "GIF89a..........", IMG_TIF_FORMAT_ERROR},
        {"wrong version", std::string("II\x2B\0\x08\0\0\0", 8), IMG_TIF_FORMAT_ERROR},
        {"first IFD past end", std::string("II\x2A\0\xFF\xFF\0\0", 8), IMG_TIF_FORMAT_ERROR},
        {"fine", BuildTiff(GrayTags(4, 4, 1, 16), strip), 0},
        {"strip past end", BuildTiff(With(GrayTags(4, 4, 1, 16), 273, 100000), strip), IMG_TIF_FORMAT_ERROR},
        {"count larger than file", BuildTiff(GrayTags(4, 4, 1, 100000), strip), IMG_TIF_FORMAT_ERROR},
        {"short strip", BuildTiff(GrayTags(4, 4, 1, 12), strip), IMG_TIF_READ_TOO_LONG},
        {"width x height overflow", BuildTiff(GrayTags(0x7FFFFFFF, 0x7FFFFFFF, 1, 16), strip), IMG_TIF_READ_TOO_LONG},
        {"gigapixels in a tiny file", BuildTiff(GrayTags(100000, 100000, 5, 16), strip), IMG_TIF_READ_TOO_LONG},
        {"G4 gigapixels", BuildTiff(GrayTags(60000, 60000, 4, 16, 1, 0), strip), IMG_TIF_READ_TOO_LONG},
        {"IFD loop", BuildTiff(GrayTags(4, 4, 1, 16), strip, -1), IMG_TIF_FORMAT_ERROR},
        {"LZW code beyond table", BuildTiff(GrayTags(4, 4, 5, 4), lzwBeyond), IMG_LZW_FORMAT_ERROR},
        {"LZW too short", BuildTiff(GrayTags(4, 4, 5, 2), std::string("\x80\x00", 2)), IMG_LZW_FORMAT_ERROR},
        {"PackBits run beyond row", BuildTiff(GrayTags(4, 1, 32773, 2), packRun), IMG_PACKBIT_FORMAT_ERROR},
        {"PackBits runs out", BuildTiff(GrayTags(4, 1, 32773, 1), std::string("\x03", 1)), IMG_PACKBIT_CANT_READ},
        {"MH run beyond row", BuildTiff(GrayTags(10, 1, 2, 4, 1, 0), mhRun), IMG_HUFFMAN_FORMAT_ERROR},
        {"G4 garbage", BuildTiff(GrayTags(10, 1, 4, 4, 1, 0), std::string(4, '\0')), IMG_HUFFMAN_FORMAT_ERROR},
        {"Group 3", BuildTiff(GrayTags(10, 1, 3, 4, 1, 0), strip), IMG_UNSUPPORTED_TIF},
        {"JPEG", BuildTiff(GrayTags(4, 4, 7, 16), strip), IMG_UNSUPPORTED_TIF},
        {"12 bits", BuildTiff(GrayTags(4, 4, 1, 16, 12), strip), IMG_UNSUPPORTED_TIF},
        {"4 bits", BuildTiff(GrayTags(4, 4, 1, 8, 4), strip), 0},
        {"4 bits, short strip", BuildTiff(GrayTags(4, 4, 1, 7, 4), strip), IMG_TIF_READ_TOO_LONG},
        {"4 bits with predictor", BuildTiff(WithPredictor(GrayTags(4, 4, 5, 16, 4)), strip), IMG_UNSUPPORTED_TIF},
        {"4-bit palette without map", BuildTiff(GrayTags(4, 4, 1, 8, 4, 3), strip), IMG_TIF_FORMAT_ERROR},
        {"compression as LONG", BuildTiff(CompressionAsLong(), strip), IMG_TIF_FORMAT_ERROR},
        {"no strips", BuildTiff({{256, 4, 1, 4}, {257, 4, 1, 4}}, strip), IMG_TIF_FORMAT_ERROR},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadBytes(c.bytes), c.code) << c.name << ": " << ImageErrorText(ReadBytes(c.bytes));

    // An entry count far beyond the file.
    std::string huge = BuildTiff(GrayTags(4, 4, 1, 16), strip);
    huge[8] = '\xFF';
    huge[9] = '\xFF';
    EXPECT_EQ(ReadBytes(huge), uint32_t(IMG_TIF_FORMAT_ERROR));
}

TEST(TiffHostile, TruncationsAndByteFlipsOfRealFiles)
{
    // Every prefix and a few thousand random corruptions of real files must
    // end cleanly; the interesting part is that nothing crashes under ASan.
    CTempDir dir;
    std::mt19937 rng(7);
    for (int32_t c : {0, 1, 4, 5}) {
        const int32_t iKind = c == 4 ? IMG_KIND_BILEVEL : IMG_KIND_GRAY;
        const Rows rows = ScanLikeRows(iKind, 120, 40);
        CTIFWriter writer;
        writer.SetFileName(dir.File("f.tif"));
        writer.SetOptions(c, c == 5, "ZEL", false, 8, 0);
        ASSERT_EQ(writer.BeginPage(iKind, 120, 40, 300), 0u);
        for (const auto& r : rows) {
            std::memcpy(writer.GetLineBuffer(), r.data(), r.size());
            ASSERT_EQ(writer.WriteLine(), 0u);
        }
        ASSERT_EQ(writer.EndPage(), 0u);
        const std::string good = ReadFileBytes(dir.File("f.tif"));
        ASSERT_EQ(ReadBytes(good), 0u);
        for (size_t n = 0; n < good.size(); n += 7)
            ReadBytes(good.substr(0, n));
        for (int k = 0; k < 1500; ++k) {
            std::string bad = good;
            for (int flips = 0; flips < 3; ++flips)
                bad[rng() % bad.size()] = char(rng());
            ReadBytes(bad);
        }
    }
}
