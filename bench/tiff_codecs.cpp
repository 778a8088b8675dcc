// TIFF coders and decoders on scanner-sized pictures, ours against libtiff in
// the same run. Rates are of uncompressed picture bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"

#ifdef LUMORA_HAVE_LIBTIFF
#include <tiffio.h>
#endif

namespace {

struct CBenchPicture {
    const char* m_szName;
    int32_t m_iKind;
    int32_t m_iWidth, m_iHeight;
    int64_t m_iRowLength;
    std::vector<uint8_t> m_Data;
};

// White paper, thin dark lines, mild noise: what a scanner delivers.
CBenchPicture MakePicture(const char* szName, int32_t iKind, int32_t w, int32_t h)
{
    CBenchPicture p{szName, iKind, w, h, ImageRowLength(iKind, w), {}};
    p.m_Data.assign(size_t(p.m_iRowLength * h), 0);
    std::mt19937 rng(42);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* r = p.m_Data.data() + int64_t(y) * p.m_iRowLength;
        for (int32_t x = 0; x < w; ++x) {
            const bool bLine = (x % 600) < 3 || (y % 300) < 2 || ((x * 7 + y * 3) % 2400) < 4;
            const int32_t v = bLine ? 25 + int32_t(rng() % 9) : 232 + int32_t(rng() % 9) - 4;
            if (iKind == IMG_KIND_GRAY)
                r[x] = uint8_t(v);
            else if (iKind == IMG_KIND_RGB) {
                r[3 * x] = uint8_t(v);
                r[3 * x + 1] = uint8_t(v - 6);
                r[3 * x + 2] = uint8_t(v - 12);
            } else if (v >= 128)
                r[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    return p;
}

const std::vector<CBenchPicture>& Pictures()
{
    static const std::vector<CBenchPicture> pictures = {
        MakePicture("gray12600x2400", IMG_KIND_GRAY, 12600, 2400),
        MakePicture("rgb7200x2000", IMG_KIND_RGB, 7200, 2000),
        MakePicture("bilevel12600x2400", IMG_KIND_BILEVEL, 12600, 2400),
    };
    return pictures;
}

std::string TempFile(const std::string& szName)
{
    const char* szTmp = std::getenv("TMPDIR");
    return std::string(szTmp && *szTmp ? szTmp : "/tmp") + "/lumora_bench_" + std::to_string(::getpid()) + "_" + szName;
}

void WriteOurs(const CBenchPicture& p, int32_t iCompression, const std::string& szPath)
{
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetOptions(iCompression, false, "", false, 8, 0);
    if (writer.BeginPage(p.m_iKind, p.m_iWidth, p.m_iHeight, 300) != 0)
        std::abort();
    for (int32_t y = 0; y < p.m_iHeight; ++y) {
        std::memcpy(writer.GetLineBuffer(), p.m_Data.data() + int64_t(y) * p.m_iRowLength, size_t(p.m_iRowLength));
        if (writer.WriteLine() != 0)
            std::abort();
    }
    if (writer.EndPage() != 0)
        std::abort();
}

class CDiscard : public CImageReceiver {
public:
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t) override
    {
        m_Row.assign(size_t(ImageRowLength(iKind, iWidth)), 0);
        return 0;
    }
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t WriteLine() override
    {
        m_iSum += m_Row[0];
        return 0;
    }
    uint32_t EndPage(int32_t) override { return 0; }
    std::vector<uint8_t> m_Row;
    uint64_t m_iSum = 0;
};

void ReadOurs(const std::string& szPath)
{
    CDiscard sink;
    CTIFReader reader;
    reader.SetFileName(szPath);
    reader.SetReceiver(&sink);
    int32_t iPages = 0;
    if (reader.Open(iPages) != 0 || reader.ReadPage(0) != 0)
        std::abort();
    benchmark::DoNotOptimize(sink.m_iSum);
}

#ifdef LUMORA_HAVE_LIBTIFF
uint16_t LibtiffCompression(int32_t c)
{
    static const uint16_t kTags[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_CCITTRLE,
                                     COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4, COMPRESSION_PACKBITS};
    return kTags[c];
}

void WriteLibtiff(const CBenchPicture& p, int32_t iCompression, const std::string& szPath)
{
    TIFF* tif = TIFFOpen(szPath.c_str(), "w");
    if (!tif)
        std::abort();
    const bool bRGB = p.m_iKind == IMG_KIND_RGB, bBW = p.m_iKind == IMG_KIND_BILEVEL;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.m_iWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.m_iHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bBW ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bRGB ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, LibtiffCompression(iCompression));
    const bool bFax = iCompression >= 2 && iCompression <= 4;
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bRGB ? PHOTOMETRIC_RGB : (bFax ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK));
    if (bRGB && iCompression == 1)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::max<int64_t>(16, 8192 / p.m_iRowLength));
    std::vector<uint8_t> row(size_t(p.m_iRowLength));
    for (int32_t y = 0; y < p.m_iHeight; ++y) {
        std::memcpy(row.data(), p.m_Data.data() + int64_t(y) * p.m_iRowLength, row.size());
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0)
            std::abort();
    }
    TIFFClose(tif);
}

void ReadLibtiff(const std::string& szPath)
{
    TIFF* tif = TIFFOpen(szPath.c_str(), "r");
    if (!tif)
        std::abort();
    uint32_t h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif)));
    uint64_t iSum = 0;
    for (uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0)
            std::abort();
        iSum += row[0];
    }
    benchmark::DoNotOptimize(iSum);
    TIFFClose(tif);
}
#endif

void SetRate(benchmark::State& state, const CBenchPicture& p)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.m_Data.size()));
}

void PlainWrite(benchmark::State& state, const CBenchPicture* p)
{
    const std::string szPath = TempFile("plain");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(szPath.c_str());
        state.ResumeTiming();
        std::FILE* f = std::fopen(szPath.c_str(), "wb");
        for (int32_t y = 0; y < p->m_iHeight; ++y)
            std::fwrite(p->m_Data.data() + int64_t(y) * p->m_iRowLength, 1, size_t(p->m_iRowLength), f);
        std::fclose(f);
    }
    std::remove(szPath.c_str());
    SetRate(state, *p);
}

enum EWho { OURS, LIBTIFF };

void Write(benchmark::State& state, const CBenchPicture* p, int32_t iCompression, EWho eWho)
{
    const std::string szPath = TempFile("w.tif");
    for (auto _ : state) {
        // Every save makes a new file (pictures are saved through a temporary);
        // rewriting an old one would time the file system's flush of the
        // emptied file instead of the writer.
        state.PauseTiming();
        std::remove(szPath.c_str());
        state.ResumeTiming();
#ifdef LUMORA_HAVE_LIBTIFF
        if (eWho == LIBTIFF) {
            WriteLibtiff(*p, iCompression, szPath);
            continue;
        }
#endif
        WriteOurs(*p, iCompression, szPath);
    }
    std::remove(szPath.c_str());
    SetRate(state, *p);
}

void Read(benchmark::State& state, const CBenchPicture* p, int32_t iCompression, EWho eWho)
{
    const std::string szPath = TempFile("r.tif");
#ifdef LUMORA_HAVE_LIBTIFF
    if (eWho == LIBTIFF)
        WriteLibtiff(*p, iCompression, szPath);
    else
#endif
        WriteOurs(*p, iCompression, szPath);
    for (auto _ : state) {
#ifdef LUMORA_HAVE_LIBTIFF
        if (eWho == LIBTIFF) {
            ReadLibtiff(szPath);
            continue;
        }
#endif
        ReadOurs(szPath);
    }
    std::remove(szPath.c_str());
    SetRate(state, *p);
}

} // namespace

int main(int argc, char** argv)
{
    static const char* const kCodecs[] = {"none", "lzw", "mh", "g3", "g4", "packbits"};
    for (const CBenchPicture& p : Pictures()) {
        benchmark::RegisterBenchmark((std::string("plain_fwrite/") + p.m_szName).c_str(), PlainWrite, &p)
            ->Unit(benchmark::kMillisecond)->MinTime(0.3)->UseRealTime();
        for (int32_t c : {0, 1, 5, 2, 4}) {
            if ((c == 2 || c == 4) && p.m_iKind != IMG_KIND_BILEVEL)
                continue;
            for (EWho who : {OURS, LIBTIFF}) {
#ifndef LUMORA_HAVE_LIBTIFF
                if (who == LIBTIFF)
                    continue;
#endif
                const std::string szWho = who == OURS ? "ours" : "libtiff";
                const std::string szBase = std::string(kCodecs[c]) + "/" + p.m_szName + "/" + szWho;
                benchmark::RegisterBenchmark(("write/" + szBase).c_str(), Write, &p, c, who)
                    ->Unit(benchmark::kMillisecond)->MinTime(0.3)->UseRealTime();
                benchmark::RegisterBenchmark(("read/" + szBase).c_str(), Read, &p, c, who)
                    ->Unit(benchmark::kMillisecond)->MinTime(0.3)->UseRealTime();
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
