// Render cost of a full view must follow the window's pixels, not the
// profile's length: a 4,000,000-sample profile against a 4,000-sample one,
// in the graph control and in the file viewer's own view, same window size.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "widgets/LightProfileGraph.h"
#include "viewers/LightProfileSamples.h"
#include "viewers/LightProfileView.h"
#include "widgets/ui/LPFControle.h"
#include "viewers/ui/LPFViewDialog.h"

namespace {

// Text in the view needs fonts, and fonts need an application object.
QGuiApplication* MakeApp()
{
    static int argc = 1;
    static char szName[] = "bench_light_profile_render";
    static char* argv[] = {szName, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
}
QGuiApplication* g_pApp = MakeApp();

const QSize kWindow(1200, 500);

std::vector<uint8_t> Profile(int64_t iSamples)
{
    // Sensor-shaped data repeated to length, so both sizes look alike.
    CLpfSampleShape shape;
    const std::vector<uint8_t> one = MakeLightProfileSamples(shape);
    std::vector<uint8_t> v(static_cast<size_t>(iSamples));
    for (int64_t i = 0; i < iSamples; ++i)
        v[static_cast<size_t>(i)] = one[static_cast<size_t>((i * static_cast<int64_t>(one.size())) / iSamples)];
    return v;
}

void BM_GraphFullView(benchmark::State& state)
{
    const std::vector<uint8_t> v = Profile(state.range(0));
    CLPFGraph graph;
    graph.SetData(v.data(), static_cast<int64_t>(v.size()), LPF_CHANNEL_RED);
    graph.ZoomAll();
    QImage image(kWindow, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        PaintLPFGraph(painter, QRect(QPoint(0, 0), kWindow), graph);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_FileViewFullView(benchmark::State& state)
{
    const std::vector<uint8_t> v = Profile(state.range(0));
    CLPFView view;
    view.SetData(v.data(), static_cast<int64_t>(v.size()));
    view.SetScanner(5, true, 255, 4, 9.43);
    QImage image(kWindow, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        PaintLPFView(painter, kWindow, view);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Preparing the per-level extrema happens once per data set, on load.
void BM_PrepareLevels(benchmark::State& state)
{
    const std::vector<uint8_t> v = Profile(state.range(0));
    for (auto _ : state) {
        CLPFSampleLevels levels;
        levels.Prepare(v.data(), static_cast<int64_t>(v.size()));
        benchmark::DoNotOptimize(levels.Count());
    }
}

} // namespace

BENCHMARK(BM_GraphFullView)->Arg(4000)->Arg(4000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileViewFullView)->Arg(4000)->Arg(4000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrepareLevels)->Arg(4000)->Arg(4000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
