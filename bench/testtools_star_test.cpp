// How long a technician waits for a star test file to open (read, analyse
// every sweep, average the repeats) and for the chart to redraw after a zoom
// or a pan, at realistic and at long sweep lengths; and the tonal computations.
#include <QApplication>
#include <benchmark/benchmark.h>

#include "imaging/Picture.h"
#include "testtools/StarTestEngine.h"
#include "testtools/StarTestTracker.h"
#include "testtools/TonalResult.h"
#include "testtools/ui/StarTestControls.h"

namespace {

std::string StarFileText(int32_t iRows)
{
    std::vector<StarTestSweep> sweeps = MakeSampleStarTestSweeps();
    for (StarTestSweep& s : sweeps) {
        const StarTestSweep src = s;
        s.Allocate(iRows);
        for (int32_t i = 0; i < iRows; ++i) {
            const size_t d = size_t(i), k = size_t(i % src.m_iLength);
            s.m_dXLinePos[d] = src.m_dXLinePos[k];
            s.m_dYLinePos[d] = src.m_dYLinePos[k];
            s.m_iXLineColumn[d] = src.m_iXLineColumn[k];
            s.m_dWideLinePos[d] = src.m_dWideLinePos[k];
            s.m_dXLineWidthRaw[d] = src.m_dXLineWidthRaw[k];
            s.m_dYLineWidthRaw[d] = src.m_dYLineWidthRaw[k];
            s.m_XLineStart[d] = src.m_XLineStart[k];
            s.m_YLineStart[d] = src.m_YLineStart[k];
            if (d < size_t(src.m_iScanSpeedIndex)) s.m_SpeedIndex[d] = src.m_SpeedIndex[d];
        }
        s.m_iXVibEnd = s.m_iYVibEnd = s.m_iWideLineEnd = iRows - 20;
    }
    return CStarTestEngine::FormatFile(sweeps, 9, 2);
}

void BM_StarTestReadAndAnalyse(benchmark::State& state)
{
    const std::string sz = StarFileText(int32_t(state.range(0)));
    for (auto _ : state) {
        CStarTestEngine e;
        e.ReadText(sz, "bench.txt");
        benchmark::DoNotOptimize(e.m_Sweeps.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sz.size()));
}
BENCHMARK(BM_StarTestReadAndAnalyse)->Arg(1800)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_StarTestChartRedraw(benchmark::State& state)
{
    CStarTestEngine e;
    e.ReadText(StarFileText(int32_t(state.range(0))), "bench.txt");
    e.m_iDisplayed = 4;
    CA2_StarTest_Control c;
    c.resize(1001, 601);
    c.InitControl();
    c.SetData(&e);
    for (auto _ : state) benchmark::DoNotOptimize(c.Redraw());
}
BENCHMARK(BM_StarTestChartRedraw)->Arg(1800)->Arg(20000)->Unit(benchmark::kMillisecond);

// Picking a sweep that was not analysed yet: its lines are found again in the
// raw picture (a 36 inch sheet at 300 dpi is 10800 pixels wide).
void BM_StarTestTrackRawPicture(benchmark::State& state)
{
    const int32_t w = int32_t(state.range(0)), h = 1800;
    CPicture pic;
    pic.CreateFilled(300, w / 300.0, h / 300.0, PIC_GRAY, 255, 255, 255);
    uint8_t* p = pic.GetDataPointer();
    for (int32_t r = 0; r < pic.m_iHeight; ++r)
        for (int32_t c = 100; c < w + h; c += 150) {
            const int32_t x = c - r;
            for (int32_t k = x - 1; k <= x + 1; ++k)
                if (k >= 0 && k < pic.m_iWidth) p[int64_t(r) * pic.m_iWidth + k] = 20;
        }
    StarTestSweep s;
    s.Allocate(h);
    for (auto _ : state) {
        std::string szError;
        benchmark::DoNotOptimize(TrackStarTestLines(pic, s, szError));
    }
}
BENCHMARK(BM_StarTestTrackRawPicture)->Arg(10800)->Unit(benchmark::kMillisecond);

void BM_TonalReadAndCompute(benchmark::State& state)
{
    const std::string sz = MakeSampleTonalResult().Format();
    for (auto _ : state) {
        TonalResult r;
        r.ReadText(sz, "bench.txt");
        benchmark::DoNotOptimize(r.m_dSlope);
    }
}
BENCHMARK(BM_TonalReadAndCompute)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
