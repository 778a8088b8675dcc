// Opening the largest stitching picture (12600 x 2400): read, decode and build
// the displayable image, against only reading the file into memory. Gray and
// run-length files; the goal is at most twice the plain read. The open-and-paint
// cases add drawing the first view, what the technician waits for in the end.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "viewers/StitchNoiseHeader.h"
#include "viewers/StitchPicture.h"
#include "viewers/ui/StitchView.h"

namespace {

constexpr int32_t kWidth = 12600, kHeight = 2400;

// A scan-like stitch area: paper with mild noise and thin dark lines.
std::vector<uint8_t> AreaPixels()
{
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            int v = 228 + noise(rng);
            if (y % 120 < 3 || x % 300 < 2 || (x + y) % 400 < 2)
                v = 35 + noise(rng);
            pixels[size_t(y) * kWidth + x] = static_cast<uint8_t>(v);
        }
    return pixels;
}

std::string Header(uint8_t uMarker)
{
    std::string sz(48, '\0');
    sz[11] = static_cast<char>(uMarker);
    StitchNoiseFile::PutLe32(sz, 24, 30000);
    StitchNoiseFile::PutLe32(sz, 28, kWidth);
    StitchNoiseFile::PutLe32(sz, 32, kHeight);
    return sz;
}

struct CFiles {
    std::string m_szGray, m_szRunLength;
    CFiles()
    {
        const std::string szDir = std::filesystem::temp_directory_path().string() + "/lumora-bench-stitch";
        std::filesystem::create_directories(szDir);
        m_szGray = szDir + "/gray.con";
        m_szRunLength = szDir + "/runlength.con";
        const std::vector<uint8_t> pixels = AreaPixels();
        std::string szGray = Header(kStitchGrayMarker);
        szGray.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
        Write(m_szGray, szGray);
        std::string szRl = Header(0x11);
        for (int32_t y = 0; y < kHeight; ++y) {
            const uint8_t* pRow = &pixels[size_t(y) * kWidth];
            for (int32_t x = 0; x < kWidth;) {
                const bool bBlack = pRow[x] < 128;
                int32_t n = 0;
                while (x + n < kWidth && (pRow[x + n] < 128) == bBlack && n < 127)
                    ++n;
                szRl += static_cast<char>(bBlack ? n : (n | 128));
                x += n;
            }
            szRl += '\0';
        }
        Write(m_szRunLength, szRl);
    }
    ~CFiles() { std::filesystem::remove_all(std::filesystem::path(m_szGray).parent_path()); }
    static void Write(const std::string& szPath, const std::string& sz)
    {
        std::FILE* f = std::fopen(szPath.c_str(), "wb");
        std::fwrite(sz.data(), 1, sz.size(), f);
        std::fclose(f);
    }
};

const CFiles& Files()
{
    static CFiles files;
    return files;
}

void ReadOnly(benchmark::State& state, const std::string& szPath)
{
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        StitchNoiseFile::ReadBytes(szPath, 0, INT64_MAX, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(szPath));
}

void Open(benchmark::State& state, const std::string& szPath)
{
    for (auto _ : state) {
        CStitchPicture picture;
        std::shared_ptr<CStitchImage> pImage;
        std::vector<std::string> messages;
        std::string szError;
        if (!LoadStitchImage(szPath, picture, pImage, messages, szError))
            state.SkipWithError(szError.c_str());
        benchmark::DoNotOptimize(pImage.get());
    }
}

// Opening and drawing the first view (884 x 600 at zoom 1) as the dialog does.
void OpenAndPaint(benchmark::State& state, const std::string& szPath)
{
    QImage screen(884, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        CStitchPicture picture;
        std::shared_ptr<CStitchImage> pImage;
        std::vector<std::string> messages;
        std::string szError;
        if (!LoadStitchImage(szPath, picture, pImage, messages, szError))
            state.SkipWithError(szError.c_str());
        CStitchView view;
        view.m_iWidth = kWidth;
        view.m_iHeight = kHeight;
        view.m_iClientWidth = screen.width();
        view.m_iClientHeight = screen.height();
        view.Reset();
        QPainter painter(&screen);
        PaintStitchView(painter, screen.size(), view, pImage.get());
    }
}

void BM_OpenAndPaintGray(benchmark::State& state) { OpenAndPaint(state, Files().m_szGray); }
void BM_OpenAndPaintRunLength(benchmark::State& state) { OpenAndPaint(state, Files().m_szRunLength); }

void BM_ReadGray(benchmark::State& state) { ReadOnly(state, Files().m_szGray); }
void BM_OpenGray(benchmark::State& state) { Open(state, Files().m_szGray); }
void BM_ReadRunLength(benchmark::State& state) { ReadOnly(state, Files().m_szRunLength); }
void BM_OpenRunLength(benchmark::State& state) { Open(state, Files().m_szRunLength); }

}  // namespace

BENCHMARK(BM_ReadGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRunLength)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRunLength)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndPaintGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndPaintRunLength)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
