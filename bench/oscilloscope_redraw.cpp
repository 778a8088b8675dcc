// One playback frame of the oscilloscope: a 5-camera 600 dpi colour line
// (27000 pixels) with the focus evaluation on, the three graphs set up and
// painted at the dialog's view sizes. Playback at the fastest pause (100 ms)
// must never fall behind, so a frame must stay well below that.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "scanner/ScannerVariants.h"
#include "widgets/ui/LPFControle.h"

namespace {

QGuiApplication* MakeApp()
{
    static int argc = 1;
    static char szName[] = "bench_oscilloscope_redraw";
    static char* argv[] = {szName, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
}
QGuiApplication* g_pApp = MakeApp();

COscRecording FiveCameraLines(int64_t iLines)
{
    COscRecording rec;
    rec.m_iColorCode = 3;
    rec.m_bColor = true;
    rec.m_iCameraCount = 5;
    rec.m_CameraPix = {5400, 5400, 5400, 5400, 5400, 0, 0, 0};
    rec.m_iPixelsPerLine = 27000;
    rec.m_iLines = iLines;
    for (int p = 0; p < 3; ++p)
        for (int64_t y = 0; y < iLines; ++y)
            for (int32_t x = 0; x < 27000; ++x) {
                const int32_t t = x % 5400;
                const bool bDark = t < 16 || t >= 5384;
                rec.m_Planes[size_t(p)].push_back(
                    bDark ? 0 : static_cast<uint8_t>(x % 4 == 0 ? 210 - 10 * p : 60 + (x * 7 + y) % 9));
            }
    return rec;
}

void BM_OscilloscopeFrame(benchmark::State& state)
{
    const COscRecording rec = FiveCameraLines(4);
    CSimScanner sim(rec.m_iCameraCount, 0, "bench", true);
    CFocusEvaluation focus(&sim);
    CFocusData data;
    COscViewState view;
    view.m_bFocus = true;
    CLPFGraph overview, left, right;
    COscilloscopeViews views;
    views.Apply(rec, view, overview, left, right, true);
    QImage surfaces[3] = {QImage(QSize(1000, 300), QImage::Format_RGB32), QImage(QSize(480, 220), QImage::Format_RGB32),
                          QImage(QSize(480, 220), QImage::Format_RGB32)};
    for (auto _ : state) {
        view.m_iLine = (view.m_iLine + 1) % rec.m_iLines;
        FillFocusData(rec, view.m_iLine, view.m_iSelection, data);
        focus.Evaluate(data);
        views.Apply(rec, view, overview, left, right, false, &focus.Contrast());
        const CLPFGraph* graphs[3] = {&overview, &left, &right};
        for (int i = 0; i < 3; ++i) {
            QPainter painter(&surfaces[i]);
            PaintLPFGraph(painter, surfaces[i].rect(), *graphs[i]);
        }
        benchmark::DoNotOptimize(surfaces[0].constBits());
    }
}
BENCHMARK(BM_OscilloscopeFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
