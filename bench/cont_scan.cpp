// Continuous-scan delivery from the simulated scanner at 600 dpi colour with
// four cameras: ReadBuffer with its block processing, against a plain memcpy
// of the same bytes in the same run. The goal is at least a quarter of the
// memcpy rate.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

// The device from a scenario of its own; nothing of a technician's state.
void UseBenchScenario()
{
    static const bool bDone = [] {
        const std::string szPath = std::filesystem::temp_directory_path().string() + "/lumora-bench-contscan.ini";
        std::ofstream(szPath) << "[Device]\nTimeScale=200\n[Model]\nCameras=4\nOpticalResolution=600\nColor=1\n"
                                 "[Sheet]\nKind=calibration\n";
        ::setenv("LUMORA_SIM_CONFIG", szPath.c_str(), 1);
        ::setenv("LUMORA_SIM_STATE", "none", 1);
        return true;
    }();
    (void)bDone;
}

int64_t g_iBlockBytes = 0;

void BM_ReadBufferColour(benchmark::State& state)
{
    UseBenchScenario();
    CScanner scanner;
    if (scanner.OpenScanner(0, false) != 0 || scanner.LoadPaper(false) != 0) {
        state.SkipWithError("the simulated scanner does not open");
        return;
    }
    CContScan scan(&scanner);
    if (scan.StartContinuousScan(3) != 0) {
        state.SkipWithError("the continuous scan does not start");
        return;
    }
    int64_t iBytes = 0;
    for (auto _ : state) {
        if (scan.ReadBuffer() != 0) {
            state.SkipWithError("ReadBuffer failed");
            break;
        }
        iBytes += scan.ReceivedBytes();
        benchmark::DoNotOptimize(scan.Plane(2).data());
    }
    g_iBlockBytes = scan.ReceivedBytes();
    scan.StopScan();
    scanner.CloseScanner(true);
    state.SetBytesProcessed(iBytes);
}
BENCHMARK(BM_ReadBufferColour)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The block processing alone: the same blocks replayed from a recording, so
// the simulator's rendering is not part of the figure.
void BM_ReplayProcessingColour(benchmark::State& state)
{
    const std::string szBase = std::filesystem::temp_directory_path().string() + "/lumora-bench-contscan";
    {
        std::ofstream f(szBase + "_OSA.osa", std::ios::binary);
        f << "CameraCount 4\n";
        for (int c = 0; c < 8; ++c)
            f << "Camera " << char('A' + c) << " " << (c < 4 ? 5400 : 0) << "\n";
        std::vector<char> line(size_t(21600) * 3);
        for (int y = 0; y < 16; ++y) {
            for (size_t i = 0; i < line.size(); ++i)
                line[i] = char((i * 7 + size_t(y)) % 251);
            f.write(line.data(), std::streamsize(line.size()));
        }
    }
    CContScan scan(nullptr);
    scan.m_iColorKind = 2;
    scan.m_iColorComponent = ZEL_COLOR_RGB;
    if (!scan.OpenRecording(szBase)) {
        state.SkipWithError(scan.LastError().c_str());
        return;
    }
    int64_t iBytes = 0;
    for (auto _ : state) {
        scan.ReadBuffer();
        iBytes += scan.ReceivedBytes();
        benchmark::DoNotOptimize(scan.Plane(2).data());
    }
    state.SetBytesProcessed(iBytes);
}
BENCHMARK(BM_ReplayProcessingColour)->Unit(benchmark::kMicrosecond);

void BM_MemcpySameBytes(benchmark::State& state)
{
    const size_t iBytes = g_iBlockBytes > 0 ? size_t(g_iBlockBytes) : size_t(21600) * 3;
    std::vector<uint8_t> from(iBytes, 200), to(iBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), iBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(iBytes));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
