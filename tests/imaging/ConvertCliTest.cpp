#include <gtest/gtest.h>
#include <tiffio.h>

#include "imaging/Picture.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"
#include "support/TestSupport.h"

namespace {

CRunResult Convert(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"convert"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(BinPath("lumora-cli"), all, {"QT_QPA_PLATFORM=offscreen"});
}

// A 40 x 30 PGM with a gradient and a dark line.
std::string Pgm()
{
    std::string s = "P5\n40 30\n255\n";
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            s += char(x == 17 ? 20 : 100 + 3 * x);
    return s;
}

} // namespace

TEST(ConvertCli, PicturesMoveBetweenFormats)
{
    CTempDir dir;
    WriteFileBytes(dir.File("in.pgm"), Pgm());
    const struct { std::vector<std::string> extra; EPicData kind; } cases[] = {
        {{}, PIC_GRAY},
        {{"--compression", "lzw", "--big-endian"}, PIC_GRAY},
        {{"--compression", "packbits", "--bigtiff"}, PIC_GRAY},
        {{"--compression", "g4"}, PIC_BW},
        {{"--compression", "mh", "--bigtiff", "--big-endian"}, PIC_BW},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {dir.File("in.pgm"), dir.File("out.tif")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CRunResult r = Convert(args);
        ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
        EXPECT_NE(r.m_szOut.find("40x30"), std::string::npos);
        CPicture pic;
        ASSERT_EQ(LoadTiffIntoPicture(pic, dir.File("out.tif")), 0u);
        EXPECT_EQ(pic.m_PicData, c.kind);
        EXPECT_EQ(pic.m_iWidth, 40);
        EXPECT_EQ(pic.m_iHeight, 30);
        if (c.kind == PIC_GRAY) {
            EXPECT_EQ(pic.GetSample(17, 5, 0), 20);
            EXPECT_EQ(pic.GetSample(39, 29, 0), 100 + 3 * 39);
        } else {
            // 100 + 3x reaches 128 at x = 10: black left of it, white from there on.
            const uint8_t* row = pic.m_pData + 5 * 5;
            EXPECT_EQ(row[0], 0x00);
            EXPECT_EQ(row[1], 0x3F);
            EXPECT_EQ(row[2] & 0x40, 0); // the dark line at x = 17
        }
    }
    // TIFF in, PNG out and back.
    ASSERT_EQ(Convert({dir.File("in.pgm"), dir.File("a.tif")}).m_iExit, 0);
    ASSERT_EQ(Convert({dir.File("a.tif"), dir.File("b.png")}).m_iExit, 0);
    ASSERT_EQ(Convert({dir.File("b.png"), dir.File("c.tif")}).m_iExit, 0);
    CPicture a, c;
    ASSERT_EQ(LoadTiffIntoPicture(a, dir.File("a.tif")), 0u);
    ASSERT_EQ(LoadTiffIntoPicture(c, dir.File("c.tif")), 0u);
    ASSERT_EQ(a.m_iSize, c.m_iSize);
    EXPECT_EQ(std::string(a.m_pData, a.m_pData + a.m_iSize), std::string(c.m_pData, c.m_pData + c.m_iSize));
}

TEST(ConvertCli, PaletteAndSixteenBitGrayAreWidened)
{
    CTempDir dir;
    for (int bits : {8, 16}) {
        const std::string szIn = dir.File("in.tif");
        TIFF* tif = TIFFOpen(szIn.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bits == 8 ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK);
        std::vector<uint16_t> r(256, 0), g(256, 0), b(256, 0);
        r[1] = 65535;
        g[2] = 65535;
        b[3] = 32896;
        if (bits == 8)
            TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        const uint16_t gray[4] = {0, 0x1234, 0x8000, 0xFFFF};
        const uint8_t index[4] = {0, 1, 2, 3};
        ASSERT_EQ(TIFFWriteScanline(tif, bits == 8 ? (void*)index : (void*)gray, 0, 0), 1);
        TIFFClose(tif);
        const CRunResult run = Convert({szIn, dir.File("out.tif")});
        ASSERT_EQ(run.m_iExit, 0) << run.m_szErr;
        CPicture pic;
        ASSERT_EQ(LoadTiffIntoPicture(pic, dir.File("out.tif")), 0u);
        const std::vector<uint8_t> got(pic.m_pData, pic.m_pData + pic.m_iSize);
        if (bits == 8)
            EXPECT_EQ(got, (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 128}));
        else
            EXPECT_EQ(got, (std::vector<uint8_t>{0, 0x12, 0x80, 0xFF}));
    }
}

TEST(ConvertCli, FailuresNameFileAndProblem)
{
    CTempDir dir;
    WriteFileBytes(dir.File("in.pgm"), Pgm());
    WriteFileBytes(dir.File("bad.tif"), std::string("II\x2A\0\xFF\xFF\xFF\x00", 8));
    WriteFileBytes(dir.File("empty.tif"), "");
    ASSERT_EQ(std::system(("mkdir '" + dir.File("folder.tif") + "'").c_str()), 0);
    {
        CTIFWriter g3;
        g3.SetFileName(dir.File("g3.tif"));
        g3.SetOptions(TIF_COMPRESSION_G3, false, "", false, 8, 0);
        ASSERT_EQ(g3.BeginPage(0, 16, 1, 300), 0u);
        ASSERT_EQ(g3.WriteLine(), 0u);
        ASSERT_EQ(g3.EndPage(), 0u);
    }
    struct Case { std::vector<std::string> args; int exit; const char* text; } cases[] = {
        {{dir.File("missing.pgm"), dir.File("o.tif")}, 66, "cannot be read"},
        {{dir.File("bad.tif"), dir.File("o.tif")}, 65, "Tif format error"},
        {{dir.File("empty.tif"), dir.File("o.tif")}, 65, "the file is empty"},
        {{dir.File("folder.tif"), dir.File("o.tif")}, 66, "is a folder"},
        {{dir.File("g3.tif"), dir.File("o.png")}, 65, "Unsupported tif format (CCITT Group 3"},
        {{dir.File("in.pgm"), dir.File("o.bmp")}, 64, ".tif, .tiff or .png"},
        {{dir.File("in.pgm"), dir.File("o.png"), "--compression", "lzw"}, 64, "TIFF output only"},
        {{dir.File("in.pgm"), dir.Path() + "/no/such/dir/o.tif"}, 73, "Can't open tif-file"},
    };
    for (const Case& c : cases) {
        const CRunResult r = Convert(c.args);
        EXPECT_EQ(r.m_iExit, c.exit) << c.args[0] << " " << r.m_szErr;
        EXPECT_NE(r.m_szErr.find(c.text), std::string::npos) << r.m_szErr;
        EXPECT_NE(r.m_szErr.find(c.args[0] == dir.File("in.pgm") ? c.args[1] : c.args[0]), std::string::npos)
            << r.m_szErr;
    }
    // A failed conversion leaves an existing target untouched.
    WriteFileBytes(dir.File("keep.tif"), "old");
    EXPECT_EQ(Convert({dir.File("bad.tif"), dir.File("keep.tif")}).m_iExit, 65);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.tif")), "old");
}
