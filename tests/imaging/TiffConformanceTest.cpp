// Our TIFF files judged by libtiff, and libtiff's files read by us.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "TiffTestSupport.h"
#include "datafiles/Settings.h"
#include "imaging/IccProfile.h"
#include "imaging/ImageErrors.h"
#include "imaging/Picture.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"
#include "platform/Log.h"
#include "support/TestSupport.h"

namespace {

std::string g_szLibtiffMessages;

void CollectMessage(const char* szModule, const char* szFormat, va_list args)
{
    char sz[1024];
    std::vsnprintf(sz, sizeof(sz), szFormat, args);
    g_szLibtiffMessages += std::string(szModule ? szModule : "") + ": " + sz + "\n";
}

struct CLibtiffPage {
    uint32_t m_iWidth = 0, m_iHeight = 0, m_iRowsPerStrip = 0;
    uint16_t m_iBits = 1, m_iSamples = 1, m_iPhotometric = 0, m_iCompression = 1;
    std::string m_szDescription;
    std::vector<uint8_t> m_Icc;
    Rows m_Rows;
};

// Every directory of a file as libtiff decodes it; false on any error or warning.
bool ReadWithLibtiff(const std::string& szPath, std::vector<CLibtiffPage>& pages)
{
    g_szLibtiffMessages.clear();
    TIFFSetWarningHandler(CollectMessage);
    TIFFSetErrorHandler(CollectMessage);
    TIFF* tif = TIFFOpen(szPath.c_str(), "r");
    if (!tif)
        return false;
    pages.clear();
    do {
        CLibtiffPage p;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.m_iWidth);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.m_iHeight);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.m_iBits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.m_iSamples);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.m_iPhotometric);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.m_iCompression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &p.m_iRowsPerStrip);
        char* szDesc = nullptr;
        if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &szDesc) && szDesc)
            p.m_szDescription = szDesc;
        uint32_t iIccSize = 0;
        void* pIcc = nullptr;
        if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iIccSize, &pIcc) && pIcc)
            p.m_Icc.assign(static_cast<uint8_t*>(pIcc), static_cast<uint8_t*>(pIcc) + iIccSize);
        std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
        for (uint32_t y = 0; y < p.m_iHeight; ++y) {
            if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
                TIFFClose(tif);
                return false;
            }
            p.m_Rows.push_back(row);
        }
        pages.push_back(std::move(p));
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return g_szLibtiffMessages.empty();
}

struct CPageCase {
    int32_t m_iKind;
    int32_t m_iBits;
    int32_t m_iWidth;
    int32_t m_iCompression;
    bool m_bBig;
    bool m_bBigEndian;
};

std::string Name(const CPageCase& s)
{
    return FormatText("kind%d_bits%d_w%d_c%d_%s_%s", s.m_iKind, s.m_iBits, s.m_iWidth, s.m_iCompression,
                      s.m_bBig ? "big" : "classic", s.m_bBigEndian ? "MM" : "II");
}

// The writer's kind and the rows it takes for a case.
int32_t RowKind(const CPageCase& s)
{
    if (s.m_iBits == 16)
        return s.m_iKind == IMG_KIND_RGB ? IMG_KIND_RGB48 : IMG_KIND_GRAY16;
    return s.m_iKind;
}

Rows MakeRows(const CPageCase& s, int32_t iHeight)
{
    if (s.m_iBits == 4) {
        const int32_t iSamples = s.m_iKind == IMG_KIND_RGB ? 3 * s.m_iWidth : s.m_iWidth;
        Rows rows = ScanLikeRows(IMG_KIND_GRAY, iSamples, iHeight);
        for (auto& r : rows) {
            std::vector<uint8_t> packed(static_cast<size_t>((4 * iSamples + 7) / 8), 0);
            for (int32_t x = 0; x < iSamples; ++x)
                packed[size_t(x / 2)] |= uint8_t((r[size_t(x)] >> 4) << (x % 2 ? 0 : 4));
            r = packed;
        }
        return rows;
    }
    return ScanLikeRows(RowKind(s), s.m_iWidth, iHeight, uint32_t(s.m_iWidth));
}

uint32_t WritePage(CTIFWriter& writer, const CPageCase& s, const Rows& rows, int32_t iAnnounced)
{
    std::vector<uint8_t> palette(256 * 4);
    for (int i = 0; i < 256; ++i) {
        palette[size_t(4 * i)] = uint8_t(255 - i);
        palette[size_t(4 * i + 1)] = uint8_t(i / 2);
        palette[size_t(4 * i + 2)] = uint8_t(i);
    }
    uint32_t r = writer.BeginPage(s.m_iKind, s.m_iWidth, iAnnounced, 300, palette.data(), 256);
    for (size_t y = 0; y < rows.size() && r == 0; ++y) {
        std::memcpy(writer.GetLineBuffer(), rows[y].data(), rows[y].size());
        r = writer.WriteLine();
    }
    return r ? r : writer.EndPage();
}

uint32_t WriteFile(const std::string& szPath, const CPageCase& s, const Rows& rows, int32_t iAnnounced)
{
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetOptions(s.m_iCompression, s.m_bBig, "conformance", s.m_bBigEndian, s.m_iBits, 0);
    return WritePage(writer, s, rows, iAnnounced);
}

// Bilevel rows compare without their pad bits; CCITT files say 0 = white.
std::vector<uint8_t> Normalised(const std::vector<uint8_t>& row, const CPageCase& s, bool bInvert)
{
    std::vector<uint8_t> r = row;
    if (s.m_iKind != IMG_KIND_BILEVEL)
        return r;
    for (auto& b : r)
        b = bInvert ? uint8_t(~b) : b;
    if (s.m_iWidth % 8)
        r.back() &= uint8_t(0xFF << (8 - s.m_iWidth % 8));
    return r;
}

// What our reader hands on for a row we wrote: 4-bit samples become bytes,
// levels scaled to 0..255, palette indexes kept.
std::vector<uint8_t> Widened(const std::vector<uint8_t>& row, const CPageCase& s)
{
    if (s.m_iBits != 4)
        return Normalised(row, s, false);
    const int64_t iSamples = s.m_iKind == IMG_KIND_RGB ? 3 * int64_t(s.m_iWidth) : s.m_iWidth;
    std::vector<uint8_t> r(static_cast<size_t>(iSamples));
    for (int64_t i = 0; i < iSamples; ++i) {
        const uint8_t v = (i & 1) ? (row[size_t(i / 2)] & 0x0F) : (row[size_t(i / 2)] >> 4);
        r[size_t(i)] = s.m_iKind == IMG_KIND_PALETTE ? v : uint8_t(v * 17);
    }
    return r;
}

std::vector<CPageCase> WriterMatrix()
{
    std::vector<CPageCase> pageCases;
    const CPageCase kinds[] = {
        {IMG_KIND_BILEVEL, 1, 1728, 0, false, false}, {IMG_KIND_BILEVEL, 1, 203, 0, false, false},
        {IMG_KIND_BILEVEL, 1, 37, 0, false, false}, // less than one 64-pixel word
        {IMG_KIND_GRAY, 8, 1000, 0, false, false},    {IMG_KIND_GRAY, 8, 300, 0, false, false},
        {IMG_KIND_GRAY, 16, 257, 0, false, false},    {IMG_KIND_GRAY, 4, 301, 0, false, false},
        {IMG_KIND_RGB, 8, 500, 0, false, false},      {IMG_KIND_RGB, 16, 130, 0, false, false},
        {IMG_KIND_RGB, 4, 77, 0, false, false},
        {IMG_KIND_PALETTE, 8, 400, 0, false, false},  {IMG_KIND_PALETTE, 4, 99, 0, false, false},
    };
    for (const CPageCase& k : kinds)
        for (int32_t c = 0; c <= 5; ++c) {
            const bool bCCITT = c >= 2 && c <= 4;
            if (bCCITT != (k.m_iKind == IMG_KIND_BILEVEL) && bCCITT)
                continue;
            if (k.m_iKind == IMG_KIND_RGB && k.m_iBits == 4 && c == 1)
                continue; // no predictor for packed samples: refused
            for (int big = 0; big < 2; ++big)
                for (int mm = 0; mm < 2; ++mm)
                    pageCases.push_back(CPageCase{k.m_iKind, k.m_iBits, k.m_iWidth, c, big == 1, mm == 1});
        }
    return pageCases;
}

// The first page through our reader: the result of opening, else of reading.
uint32_t ReadWithOurs(const std::string& szPath, CRowCollector& collect)
{
    CTIFReader reader;
    reader.SetFileName(szPath);
    reader.SetReceiver(&collect);
    int32_t iPages = 0;
    const uint32_t r = reader.Open(iPages);
    return r ? r : reader.ReadPage(0);
}

} // namespace

TEST(TiffConformance, EverythingWeWriteLibtiffReadsIdentically)
{
    CTempDir dir;
    for (const CPageCase& s : WriterMatrix()) {
        SCOPED_TRACE(Name(s));
        const int32_t iHeight = 83;
        const Rows rows = MakeRows(s, iHeight);
        const std::string szPath = dir.File(Name(s) + ".tif");
        ASSERT_EQ(WriteFile(szPath, s, rows, s.m_iCompression == 1 ? 0 : iHeight), 0u);

        std::vector<CLibtiffPage> pages;
        ASSERT_TRUE(ReadWithLibtiff(szPath, pages)) << g_szLibtiffMessages;
        ASSERT_EQ(pages.size(), 1u);
        const CLibtiffPage& p = pages[0];
        EXPECT_EQ(p.m_iWidth, uint32_t(s.m_iWidth));
        ASSERT_EQ(p.m_iHeight, uint32_t(iHeight));
        EXPECT_EQ(p.m_iCompression, TifCompressionTag(s.m_iCompression));
        const bool bCCITT = s.m_iCompression >= 2 && s.m_iCompression <= 4;
        for (int32_t y = 0; y < iHeight; ++y)
            ASSERT_EQ(Normalised(p.m_Rows[size_t(y)], s, bCCITT), Normalised(rows[size_t(y)], s, false)) << "row " << y;

        // tiffinfo is just as silent about it.
        const CRunResult info = RunProgram("/usr/bin/tiffinfo", {szPath});
        EXPECT_EQ(info.m_iExit, 0);
        EXPECT_EQ(info.m_szErr, "");

        CRowCollector collect;
        const uint32_t iRead = ReadWithOurs(szPath, collect);
        if (s.m_iCompression == 3) {
            EXPECT_EQ(iRead, uint32_t(IMG_UNSUPPORTED_TIF)); // Group 3 is refused as written
            continue;
        }
        ASSERT_EQ(iRead, 0u);
        ASSERT_EQ(collect.m_Rows.size(), size_t(iHeight));
        for (int32_t y = 0; y < iHeight; ++y)
            ASSERT_EQ(Normalised(collect.m_Rows[size_t(y)], s, false), Widened(rows[size_t(y)], s)) << y;
        if (s.m_iKind == IMG_KIND_PALETTE) { // the colour map comes back, blue-green-red per entry
            for (int i = 0; i < (1 << s.m_iBits); ++i)
                ASSERT_EQ(collect.m_Palette[size_t(4 * i + 2)], uint8_t(i)) << i;
        }
    }
}

TEST(TiffConformance, MultiPageChainsEveryPage)
{
    CTempDir dir;
    for (bool bBig : {false, true}) {
        const std::string szPath = dir.File(bBig ? "multi_big.tif" : "multi.tif");
        CTIFWriter writer;
        writer.SetFileName(szPath);
        writer.SetMultiPage(true);
        const CPageCase pageCases[] = {{IMG_KIND_GRAY, 8, 640, 1, bBig, true},
                               {IMG_KIND_BILEVEL, 1, 800, 4, bBig, true},
                               {IMG_KIND_RGB, 8, 320, 5, bBig, true}};
        std::vector<Rows> all;
        for (const CPageCase& s : pageCases) {
            writer.SetOptions(s.m_iCompression, bBig, "page", true, s.m_iBits, 0);
            all.push_back(MakeRows(s, 40));
            ASSERT_EQ(WritePage(writer, s, all.back(), 40), 0u);
        }
        ASSERT_TRUE(writer.Close());
        std::vector<CLibtiffPage> pages;
        ASSERT_TRUE(ReadWithLibtiff(szPath, pages)) << g_szLibtiffMessages;
        ASSERT_EQ(pages.size(), 3u);
        for (size_t i = 0; i < 3; ++i)
            for (size_t y = 0; y < 40; ++y)
                ASSERT_EQ(Normalised(pages[i].m_Rows[y], pageCases[i], i == 1), Normalised(all[i][y], pageCases[i], false));
        CTIFReader reader;
        reader.SetFileName(szPath);
        int32_t iPages = 0;
        ASSERT_EQ(reader.Open(iPages), 0u);
        EXPECT_EQ(iPages, 3);
    }
}

TEST(TiffConformance, AppendAddsPagesToAnExistingFile)
{
    CTempDir dir;
    const std::string szPath = dir.File("append.tif");
    const CPageCase s{IMG_KIND_GRAY, 8, 300, 1, false, false};
    const Rows rows = MakeRows(s, 20);
    for (int i = 0; i < 3; ++i) {
        CTIFWriter writer;
        writer.SetFileName(szPath);
        writer.AppendFlag() = true; // the first time there is nothing yet to append to
        writer.SetOptions(s.m_iCompression, false, "page", false, 8, 0);
        ASSERT_EQ(WritePage(writer, s, rows, 20), 0u);
    }
    std::vector<CLibtiffPage> pages;
    ASSERT_TRUE(ReadWithLibtiff(szPath, pages)) << g_szLibtiffMessages;
    EXPECT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].m_Rows, rows);
    // A file of the other byte order is not ours to extend.
    CTIFWriter other;
    other.SetFileName(szPath);
    other.AppendFlag() = true;
    other.SetOptions(0, false, "", true, 8, 0);
    EXPECT_EQ(other.BeginPage(IMG_KIND_GRAY, 300, 1, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    ASSERT_TRUE(ReadWithLibtiff(szPath, pages));
    EXPECT_EQ(pages.size(), 3u);
}

TEST(TiffConformance, LayoutRules)
{
    CTempDir dir;
    struct Case { CPageCase s; uint32_t rowsPerStrip; } cases[] = {
        {{IMG_KIND_GRAY, 8, 1000, 0, false, false}, 16},
        {{IMG_KIND_RGB, 8, 5000, 0, false, false}, 16},
        {{IMG_KIND_BILEVEL, 1, 1728, 0, false, false}, 37},
        {{IMG_KIND_BILEVEL, 1, 1728, 3, false, false}, 36},
        {{IMG_KIND_GRAY, 8, 100, 0, false, false}, 81},
    };
    for (const Case& c : cases) {
        const std::string szPath = dir.File(Name(c.s) + ".tif");
        ASSERT_EQ(WriteFile(szPath, c.s, MakeRows(c.s, 100), 0), 0u);
        std::vector<CLibtiffPage> pages;
        ASSERT_TRUE(ReadWithLibtiff(szPath, pages));
        EXPECT_EQ(pages[0].m_iRowsPerStrip, c.rowsPerStrip) << Name(c.s);
        EXPECT_EQ(pages[0].m_iHeight, 100u); // announced 0, patched at the end
    }
    // 16-bit RGB: three BitsPerSample values stored outside the entry.
    const CPageCase rgb48{IMG_KIND_RGB, 16, 10, 0, false, false};
    ASSERT_EQ(WriteFile(dir.File("rgb48.tif"), rgb48, MakeRows(rgb48, 2), 2), 0u);
    const std::string bytes = ReadFileBytes(dir.File("rgb48.tif"));
    const size_t iEntry = 8 + 2 + 12 * 2; // the third entry
    ASSERT_EQ(uint8_t(bytes[iEntry]) | uint8_t(bytes[iEntry + 1]) << 8, 258);
    const uint32_t iAt = uint8_t(bytes[iEntry + 8]) | uint8_t(bytes[iEntry + 9]) << 8;
    EXPECT_EQ(bytes.substr(iAt, 6), std::string("\x10\0\x10\0\x10\0", 6));

    // CCITT is for bilevel pages only.
    CTIFWriter writer;
    writer.SetFileName(dir.File("refused.tif"));
    for (int c : {2, 3, 4}) {
        writer.SetOptions(c, false, "", false, 8, 0);
        EXPECT_EQ(writer.BeginPage(IMG_KIND_GRAY, 100, 10, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    }
    writer.SetOptions(0, false, "", false, 12, 0);
    EXPECT_EQ(writer.BeginPage(IMG_KIND_GRAY, 100, 10, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    writer.SetOptions(0, false, "", false, 8, 0);
    EXPECT_EQ(writer.BeginPage(IMG_KIND_PALETTE, 100, 10, 300), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    EXPECT_STREQ(ImageErrorText(IMG_INVALID_TIFF_ARGUMENTS), "Invalid tiff-arguments");
}

TEST(TiffConformance, ClassicFormatLimit)
{
    CTempDir dir;
    CTIFWriter writer;
    writer.SetFileName(dir.File("limit.tif"));
    writer.SetClassicLimitForTest(100000);
    writer.SetOptions(0, false, "", false, 8, 0);
    EXPECT_EQ(writer.BeginPage(IMG_KIND_GRAY, 1000, 100, 300), uint32_t(IMG_FILE_EXCEEDS_LIMIT));
    // Announced small, then grown row by row: the row over the limit is taken back.
    ASSERT_EQ(writer.BeginPage(IMG_KIND_GRAY, 1000, 0, 300), 0u);
    uint32_t r = 0;
    int iRows = 0;
    while ((r = writer.WriteLine()) == 0)
        ++iRows;
    EXPECT_EQ(r, uint32_t(IMG_FILE_EXCEEDS_LIMIT));
    ASSERT_EQ(writer.EndPage(), 0u);
    std::vector<CLibtiffPage> pages;
    ASSERT_TRUE(ReadWithLibtiff(dir.File("limit.tif"), pages)) << g_szLibtiffMessages;
    EXPECT_EQ(pages[0].m_iHeight, uint32_t(iRows));
    EXPECT_GT(iRows, 90);
    // BigTIFF has no such limit.
    CTIFWriter big;
    big.SetFileName(dir.File("big.tif"));
    big.SetClassicLimitForTest(100000);
    big.SetOptions(0, true, "", false, 8, 0);
    EXPECT_EQ(big.BeginPage(IMG_KIND_GRAY, 1000, 200, 300), 0u);
}

TEST(TiffConformance, IccProfileTravels)
{
    CTempDir dir;
    const std::string szColor = dir.Path() + "/share/color/icc";
    ASSERT_EQ(std::system(("mkdir -p '" + szColor + "'").c_str()), 0);
    std::string profile(1234, '\0');
    for (size_t i = 0; i < profile.size(); ++i)
        profile[i] = char(i * 7);
    WriteFileBytes(szColor + "/test.icc", profile);
    const char* szOld = std::getenv("XDG_DATA_DIRS");
    const std::string szSaved = szOld ? szOld : "";
    setenv("XDG_DATA_DIRS", (dir.Path() + "/nothing:" + dir.Path() + "/share").c_str(), 1);
    CFileIccProfileReader source;
    source.SetProfileName("test.icc");
    EXPECT_EQ(source.ProfilePath(), szColor + "/test.icc");
    source.SetProfileName("\\abs.icc");
    EXPECT_EQ(source.ProfilePath(), "\\abs.icc");
    source.SetProfileName("C:x.icc");
    EXPECT_EQ(source.ProfilePath(), "C:x.icc");

    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(300, 1, 0.5, PIC_RGB, 10, 20, 30));
    ASSERT_EQ(SavePictureAsTiff(pic, dir.File("icc.tif"), "test.icc"), 0u);
    EXPECT_EQ(SavePictureAsTiff(pic, dir.File("noicc.tif"), "missing.icc"), uint32_t(IMG_CANT_OPEN_ICC));
    EXPECT_EQ(SavePictureAsTiff(pic, dir.File("noicc.tif"), szColor), uint32_t(IMG_CANT_OPEN_ICC)); // a folder
    ASSERT_EQ(SavePictureAsTiff(pic, dir.File("plain.tif"), ""), 0u);
    if (szOld)
        setenv("XDG_DATA_DIRS", szSaved.c_str(), 1);
    else
        unsetenv("XDG_DATA_DIRS");

    std::vector<CLibtiffPage> pages;
    ASSERT_TRUE(ReadWithLibtiff(dir.File("icc.tif"), pages)) << g_szLibtiffMessages;
    EXPECT_EQ(std::string(pages[0].m_Icc.begin(), pages[0].m_Icc.end()), profile);
    ASSERT_TRUE(ReadWithLibtiff(dir.File("plain.tif"), pages));
    EXPECT_TRUE(pages[0].m_Icc.empty());

    std::vector<uint8_t> sink;
    CRowCollector collect;
    CTIFReader reader;
    reader.SetFileName(dir.File("icc.tif"));
    reader.SetReceiver(&collect);
    reader.SetIccProfileSink(&sink);
    int32_t iPages = 0;
    ASSERT_EQ(reader.Open(iPages), 0u);
    ASSERT_EQ(reader.ReadPage(0), 0u);
    EXPECT_EQ(std::string(sink.begin(), sink.end()), profile);
}

namespace {

// libtiff's own file from one of ours: tiffcp with the given arguments.
bool Tiffcp(const std::string& szIn, const std::string& szOut, std::vector<std::string> args)
{
    args.push_back(szIn);
    args.push_back(szOut);
    const CRunResult r = RunProgram("/usr/bin/tiffcp", args);
    return r.m_iExit == 0;
}

} // namespace

TEST(TiffConformance, WhatLibtiffWritesWeDecodeIdentically)
{
    CTempDir dir;
    const CPageCase sources[] = {
        {IMG_KIND_GRAY, 8, 777, 0, false, false},    {IMG_KIND_RGB, 8, 301, 0, false, false},
        {IMG_KIND_GRAY, 16, 211, 0, false, false},   {IMG_KIND_RGB, 16, 97, 0, false, false},
        {IMG_KIND_BILEVEL, 1, 1003, 0, false, false}, {IMG_KIND_PALETTE, 8, 150, 0, false, false},
    };
    const std::vector<std::string> codecs[] = {{"-c", "none"}, {"-c", "lzw"}, {"-c", "lzw:2"},
                                               {"-c", "packbits"}, {"-c", "g4"}, {"-c", "g3"}};
    for (const CPageCase& s : sources) {
        const std::string szSource = dir.File("src_" + Name(s) + ".tif");
        const Rows rows = MakeRows(s, 70);
        ASSERT_EQ(WriteFile(szSource, s, rows, 70), 0u);
        int n = 0;
        for (const auto& codec : codecs) {
            const bool bFax = codec[1] == "g4" || codec[1] == "g3";
            if (bFax != (s.m_iKind == IMG_KIND_BILEVEL) && bFax)
                continue;
            if (codec[1] == "lzw:2" && (s.m_iKind == IMG_KIND_PALETTE || s.m_iKind == IMG_KIND_BILEVEL))
                continue;
            for (const char* szOrder : {"-B", "-L"})
                for (bool bBig : {false, true}) {
                    std::vector<std::string> args = codec;
                    args.push_back(szOrder);
                    args.push_back("-r");
                    args.push_back(n % 2 ? "7" : "32");
                    if (bBig)
                        args.push_back("-8");
                    const std::string szOut = dir.File("cp" + std::to_string(n++) + ".tif");
                    SCOPED_TRACE(Name(s) + " " + codec[1] + " " + szOrder + (bBig ? " big" : ""));
                    ASSERT_TRUE(Tiffcp(szSource, szOut, args));
                    std::vector<CLibtiffPage> pages;
                    ASSERT_TRUE(ReadWithLibtiff(szOut, pages)) << g_szLibtiffMessages;
                    CRowCollector collect;
                    CTIFReader reader;
                    reader.SetFileName(szOut);
                    reader.SetReceiver(&collect);
                    int32_t iPages = 0;
                    ASSERT_EQ(reader.Open(iPages), 0u);
                    ASSERT_EQ(reader.ReadPageInfo(), 0u);
                    const uint32_t r = reader.ReadPage(0);
                    if (codec[1] == "g3") {
                        EXPECT_EQ(r, uint32_t(IMG_UNSUPPORTED_TIF));
                        EXPECT_STREQ(ImageErrorText(r), "Unsupported tif format");
                        continue;
                    }
                    ASSERT_EQ(r, 0u);
                    const bool bInvert = pages[0].m_iPhotometric == (bFax ? 1 : 0);
                    ASSERT_EQ(collect.m_Rows.size(), pages[0].m_Rows.size());
                    for (size_t y = 0; y < collect.m_Rows.size(); ++y) {
                        ASSERT_EQ(Normalised(collect.m_Rows[y], s, false),
                                  Normalised(pages[0].m_Rows[y], s, bFax ? !bInvert : bInvert))
                            << "row " << y;
                        ASSERT_EQ(Normalised(collect.m_Rows[y], s, false), Normalised(rows[y], s, false));
                    }
                }
        }
    }
}

TEST(TiffConformance, LibtiffModifiedHuffmanAndResolutionUnits)
{
    CTempDir dir;
    const CPageCase s{IMG_KIND_BILEVEL, 1, 1234, 2, false, false};
    const Rows rows = MakeRows(s, 50);
    struct Unit { uint16_t iUnit; float fRes; int32_t iDpi; } units[] = {
        {RESUNIT_CENTIMETER, 236.2f, 600}, {RESUNIT_INCH, 299.6f, 300}, {RESUNIT_NONE, 72.0f, 0}};
    for (const Unit& u : units) {
        const std::string szPath = dir.File("mh.tif");
        TIFF* tif = TIFFOpen(szPath.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1234);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 50);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, u.fRes);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, u.fRes);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, u.iUnit);
        for (uint32_t y = 0; y < 50; ++y) {
            std::vector<uint8_t> r = rows[y];
            for (auto& b : r)
                b = uint8_t(~b);
            ASSERT_EQ(TIFFWriteScanline(tif, r.data(), y, 0), 1);
        }
        TIFFClose(tif);
        CPicture pic;
        ASSERT_EQ(LoadTiffIntoPicture(pic, szPath), 0u);
        EXPECT_EQ(pic.m_iResolution, u.iDpi);
        ASSERT_EQ(pic.m_PicData, PIC_BW);
        for (int y = 0; y < 50; ++y) {
            std::vector<uint8_t> got(pic.m_pData + y * 155, pic.m_pData + (y + 1) * 155);
            ASSERT_EQ(Normalised(got, s, false), Normalised(rows[size_t(y)], s, false)) << y;
        }
    }
}

TEST(TiffConformance, PictureRoundTripKeepsLayout)
{
    CTempDir dir;
    CPicture gray;
    ASSERT_TRUE(gray.CreateFilled(600, 10, 0.2, PIC_GRAY, 0, 180, 0));
    gray.m_BiC[0] = 3000;
    gray.m_BiC[1] = 3000;
    gray.SetPixel(4321, 77, 3, 3, 3);
    CPicture rgb;
    ASSERT_TRUE(rgb.CreateFilled(300, 1, 0.1, PIC_RGB, 1, 2, 3));
    rgb.m_BiC[0] = 600;
    rgb.m_BiC[1] = 300;
    rgb.m_BiC[4] = -1;
    for (CPicture* p : {&gray, &rgb}) {
        const std::string szPath = dir.File("round.tif");
        ASSERT_EQ(SavePictureAsTiff(*p, szPath), 0u);
        std::vector<CLibtiffPage> pages;
        ASSERT_TRUE(ReadWithLibtiff(szPath, pages));
        EXPECT_EQ(pages[0].m_szDescription,
                  FormatText("ZEL\nm_iA=%d\nm_iB=%d\nm_iC=%d\nm_iD=%d\nm_iE=%d\nm_iF=%d\nm_iG=%d\nm_iH=%d",
                             p->m_BiC[0], p->m_BiC[1], p->m_BiC[2], p->m_BiC[3], p->m_BiC[4], p->m_BiC[5],
                             p->m_BiC[6], p->m_BiC[7]));
        CPicture back;
        ASSERT_EQ(LoadTiffIntoPicture(back, szPath), 0u);
        EXPECT_EQ(back.m_iWidth, p->m_iWidth);
        EXPECT_EQ(back.m_iHeight, p->m_iHeight);
        EXPECT_EQ(back.m_iResolution, p->m_iResolution);
        EXPECT_EQ(back.m_PicData, p->m_PicData);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(back.m_BiC[i], p->m_BiC[i]) << i;
        ASSERT_EQ(back.m_iSize, p->m_iSize);
        EXPECT_EQ(std::memcmp(back.m_pData, p->m_pData, size_t(p->m_iSize)), 0);
        EXPECT_TRUE(back.ComputeWidth());
        EXPECT_EQ(back.m_iWidth, p->m_iWidth);
    }
    // A description of another form leaves the layout alone.
    CTIFWriter writer;
    writer.SetFileName(dir.File("other.tif"));
    writer.SetOptions(0, false, "made elsewhere", false, 8, 0);
    ASSERT_EQ(writer.BeginPage(IMG_KIND_GRAY, 8, 1, 300), 0u);
    ASSERT_EQ(writer.WriteLine(), 0u);
    ASSERT_EQ(writer.EndPage(), 0u);
    CPicture other;
    ASSERT_EQ(LoadTiffIntoPicture(other, dir.File("other.tif")), 0u);
    EXPECT_EQ(other.m_BiC[0], -1);
    EXPECT_EQ(other.m_BiC[4], 0);

    // Nothing happens for a missing picture.
    EXPECT_EQ(SavePictureAsTiff(static_cast<const CPicture*>(nullptr), dir.File("none.tif")), 0u);
    EXPECT_EQ(ReadFileBytes(dir.File("none.tif")), "");
    EXPECT_EQ(LoadTiffIntoPicture(other, dir.File("missing.tif")), uint32_t(IMG_CANT_OPEN_TIF));
}

TEST(TiffConformance, LastPageTakenBackLeavesTheFileAsBeforeIt)
{
    CTempDir dir;
    const CPageCase pageCases[] = {{IMG_KIND_GRAY, 8, 640, 1, false, false},
                               {IMG_KIND_BILEVEL, 1, 800, 4, false, false},
                               {IMG_KIND_RGB, 8, 320, 0, false, false}};
    std::vector<Rows> all;
    for (const CPageCase& s : pageCases)
        all.push_back(MakeRows(s, 40));
    for (int iVariant = 0; iVariant < 4; ++iVariant) {
        const bool bBig = iVariant & 1, bMM = iVariant & 2;
        SCOPED_TRACE(iVariant);
        auto write = [&](const std::string& szPath, size_t iPages, bool bTakeBack) {
            CTIFWriter writer;
            writer.SetFileName(szPath);
            writer.SetMultiPage(true);
            for (size_t i = 0; i < iPages; ++i) {
                writer.SetOptions(pageCases[i].m_iCompression, bBig, "page", bMM, pageCases[i].m_iBits, 0);
                ASSERT_EQ(WritePage(writer, pageCases[i], all[i], 0), 0u);
            }
            if (bTakeBack) {
                ASSERT_EQ(writer.RemoveLastPage(), 0u);
                EXPECT_EQ(writer.PageCount(), int32_t(iPages - 1));
            }
            ASSERT_TRUE(writer.Close());
        };
        write(dir.File("two.tif"), 2, false);
        write(dir.File("three_less_one.tif"), 3, true);
        EXPECT_EQ(ReadFileBytes(dir.File("three_less_one.tif")), ReadFileBytes(dir.File("two.tif")));
        write(dir.File("one.tif"), 1, false);
        write(dir.File("two_less_one.tif"), 2, true);
        EXPECT_EQ(ReadFileBytes(dir.File("two_less_one.tif")), ReadFileBytes(dir.File("one.tif")));
    }

    // After a take-back the sequence goes on; with its first page gone it starts afresh.
    const std::string szPath = dir.File("again.tif");
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetMultiPage(true);
    writer.AppendFlag() = true; // nothing there yet: the sequence makes the file
    EXPECT_EQ(writer.RemoveLastPage(), uint32_t(IMG_INVALID_TIFF_ARGUMENTS)); // nothing to take back
    writer.SetOptions(1, false, "page", false, 8, 0);
    ASSERT_EQ(WritePage(writer, pageCases[0], all[0], 40), 0u);
    ASSERT_EQ(writer.RemoveLastPage(), 0u);
    ASSERT_EQ(WritePage(writer, pageCases[0], all[0], 40), 0u);
    writer.SetOptions(0, false, "page", false, 8, 0);
    ASSERT_EQ(WritePage(writer, pageCases[2], all[2], 40), 0u);
    ASSERT_TRUE(writer.Close());
    std::vector<CLibtiffPage> pages;
    ASSERT_TRUE(ReadWithLibtiff(szPath, pages)) << g_szLibtiffMessages;
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].m_Rows, all[0]);
    EXPECT_EQ(pages[1].m_Rows, all[2]);
}

TEST(TiffConformance, FailedSaveLeavesTheOldPictureAlone)
{
    CTempDir dir;
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(300, 1, 0.5, PIC_GRAY, 0, 77, 0));
    const std::string szPath = dir.File("kept.tif");
    ASSERT_EQ(SavePictureAsTiff(pic, szPath), 0u);
    const std::string szBefore = ReadFileBytes(szPath);
    ASSERT_FALSE(szBefore.empty());

    CPicture bigger;
    ASSERT_TRUE(bigger.CreateFilled(300, 2, 1, PIC_RGB, 1, 2, 3));
    EXPECT_EQ(SavePictureAsTiff(bigger, szPath, "/nonexistent/profile.icc"), uint32_t(IMG_CANT_OPEN_ICC));
    EXPECT_EQ(ReadFileBytes(szPath), szBefore);
    CPicture empty;
    EXPECT_EQ(SavePictureAsTiff(empty, szPath), uint32_t(IMG_INVALID_TIFF_ARGUMENTS));
    EXPECT_EQ(ReadFileBytes(szPath), szBefore);
    EXPECT_EQ(SavePictureAsTiff(pic, dir.File("no/such/folder.tif")), uint32_t(IMG_CANT_OPEN_TIF));
    // No temporary is left behind.
    const CRunResult ls = RunProgram("/bin/ls", {"-A", dir.Path()});
    EXPECT_EQ(ls.m_szOut, "kept.tif\n");

    // The form without a folder saves into the program directory.
    SetProgramDirectoryOverride(dir.Path() + "/");
    EXPECT_EQ(SavePictureAsTiffInDefaultDirectory(pic, "default.tif"), 0u);
    SetProgramDirectoryOverride("");
    EXPECT_EQ(ReadFileBytes(dir.File("default.tif")), szBefore);
}

namespace {

// A scanned page as a camera sees it: paper shading, sensor noise, ruled lines and text-like strokes.
// Bilevel comes from thresholding the same gray so noise flips pixels along every edge.
Rows RealisticRows(int32_t iKind, int32_t iWidth, int32_t iHeight, uint32_t iSeed)
{
    std::mt19937 rng(iSeed);
    const int64_t iRowLength = ImageRowLength(iKind, iWidth);
    Rows rows(size_t(iHeight), std::vector<uint8_t>(size_t(iRowLength), 0));
    for (int32_t y = 0; y < iHeight; ++y)
        for (int32_t x = 0; x < iWidth; ++x) {
            double v = 200.0 + 25.0 * double(x) / iWidth - 15.0 * double(y) / iHeight; // shading
            const bool bRule = (y % 40) == 0 || (x % 257) < 2;
            const bool bStroke = (y % 40) > 8 && (y % 40) < 30 && ((x / 7 + y / 40) % 5 == 0 || (x + 3 * y) % 23 < 2);
            if (bRule)
                v = 60.0;
            else if (bStroke)
                v = 132.0; // faint strokes sit on the threshold, so noise decides pixel by pixel
            v += double(int32_t(rng() % 13) + int32_t(rng() % 13) - 12); // triangular noise, same with any library
            const int32_t g = std::clamp(int32_t(v), 0, 255);
            switch (iKind) {
            case IMG_KIND_BILEVEL:
                if (g >= 128)
                    rows[size_t(y)][size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
                break;
            case IMG_KIND_GRAY: rows[size_t(y)][size_t(x)] = uint8_t(g); break;
            case IMG_KIND_RGB:
                for (int c = 0; c < 3; ++c)
                    rows[size_t(y)][size_t(3 * x + c)] = uint8_t(std::clamp(g - 6 * c + int32_t(rng() % 5), 0, 255));
                break;
            default: break;
            }
        }
    return rows;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

// Every strip's coded bytes end to end, as they lie in the file.
std::vector<uint8_t> RawStrips(const std::string& szPath)
{
    std::vector<uint8_t> all;
    TIFF* tif = TIFFOpen(szPath.c_str(), "r");
    if (!tif)
        return all;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
        std::vector<uint8_t> strip(size_t(TIFFRawStripSize(tif, s)));
        if (TIFFReadRawStrip(tif, s, strip.data(), tmsize_t(strip.size())) < 0)
            break;
        all.insert(all.end(), strip.begin(), strip.end());
    }
    TIFFClose(tif);
    return all;
}

} // namespace

// Any change to a coder must leave its output byte for byte as it was; the hashes pin it.
TEST(TiffConformance, CodedBytesOfRealisticPagesStayTheSame)
{
    struct CCorpusCase {
        int32_t m_iKind, m_iWidth, m_iCompression;
        uint64_t m_iHash;
    };
    const CCorpusCase cases[] = {
        {IMG_KIND_BILEVEL, 1728, 2, 0x401939f0565a5a09ull}, {IMG_KIND_BILEVEL, 2481, 3, 0xf55a01830d5262d2ull},
        {IMG_KIND_BILEVEL, 1728, 4, 0xab913c74a4e24a2bull}, {IMG_KIND_BILEVEL, 2481, 4, 0x3a629abc6859caefull},
        {IMG_KIND_GRAY, 1201, 1, 0x7c8ba6d92aeb7263ull},    {IMG_KIND_GRAY, 1201, 5, 0xb853a49b9f8d242full},
        {IMG_KIND_RGB, 803, 1, 0xa0e2717bdd50988aull},      {IMG_KIND_RGB, 803, 5, 0x03c77c36222b75d3ull},
    };
    CTempDir dir;
    for (const CCorpusCase& c : cases) {
        const CPageCase s{c.m_iKind, 8, c.m_iWidth, c.m_iCompression, false, false};
        SCOPED_TRACE(Name(s));
        const Rows rows = RealisticRows(c.m_iKind, c.m_iWidth, 317, uint32_t(c.m_iWidth));
        const std::string szPath = dir.File(Name(s) + ".tif");
        ASSERT_EQ(WriteFile(szPath, s, rows, 317), 0u);
        const std::vector<uint8_t> coded = RawStrips(szPath);
        ASSERT_FALSE(coded.empty());
        EXPECT_EQ(Fnv1a(coded), c.m_iHash) << FormatText("0x%016llx", (unsigned long long)Fnv1a(coded));
    }
}

// Rows built from run lengths that sit on the decoders' shortcuts and just
// past them: pairs of short runs, a short run that ends the row (the bits after
// it belong to the next row), make-up runs inside a horizontal step, zero-width
// reference spans, rows of one colour. Both fax codings must give them back.
TEST(TiffConformance, FaxRunsAtTheEdgesOfTheShortcutsRoundTrip)
{
    const std::vector<std::vector<int32_t>> runPatterns = {
        {1, 1, 2, 3, 63, 1, 64, 2, 5, 0}, // white, black, white, ... over and over; zero runs too
        {0, 4, 1, 7, 2611, 3},           {2560, 1, 130, 66, 1},
        {3, 1},                          {1},
        {7, 0, 9},                       {1728},
    };
    CTempDir dir;
    for (int32_t w : {1, 63, 64, 65, 1728, 2623}) {
        const CPageCase s{IMG_KIND_BILEVEL, 1, w, 0, false, false};
        Rows rows;
        for (size_t p = 0; p < 3 * runPatterns.size(); ++p) {
            std::vector<uint8_t> row(size_t(ImageRowLength(IMG_KIND_BILEVEL, w)), 0xFF);
            const std::vector<int32_t>& runs = runPatterns[p % runPatterns.size()];
            int32_t x = int32_t(p / runPatterns.size()); // shifted copies: vertical and pass codes between them
            bool bBlack = false;
            for (size_t i = 0; x < w; i = (i + 1) % runs.size(), bBlack = !bBlack)
                for (int32_t k = 0; k < runs[i] && x < w; ++k, ++x)
                    if (bBlack)
                        row[size_t(x / 8)] &= uint8_t(~(0x80 >> (x % 8)));
            rows.push_back(Normalised(row, s, false));
        }
        for (int32_t c : {2, 4}) {
            const CPageCase t{IMG_KIND_BILEVEL, 1, w, c, false, false};
            SCOPED_TRACE(Name(t));
            const std::string szPath = dir.File(Name(t) + ".tif");
            ASSERT_EQ(WriteFile(szPath, t, rows, int32_t(rows.size())), 0u);
            CRowCollector collect;
            ASSERT_EQ(ReadWithOurs(szPath, collect), 0u);
            ASSERT_EQ(collect.m_Rows.size(), rows.size());
            for (size_t y = 0; y < rows.size(); ++y)
                ASSERT_EQ(Normalised(collect.m_Rows[y], t, false), rows[y]) << "row " << y;
        }
    }
}
