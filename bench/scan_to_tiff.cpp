// A 42 x 8 inch gray scan at 300 dpi from the simulated scanner through CScan
// into a TIFF file, against writing the same picture alone. The goal is at
// most 1.5 times the write. Scan_Do is the data path; Scan adds the one-second
// settle wait after the reset that ends every non-streaming scan.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "imaging/Picture.h"
#include "imaging/TifWriter.h"
#include "scanner/Scan.h"
#include "scanner/Scanner.h"

namespace {

const std::string& Dir()
{
    static const std::string szDir = [] {
        const std::string sz = std::filesystem::temp_directory_path().string() + "/lumora-bench-scan";
        std::filesystem::create_directories(sz);
        std::ofstream(sz + "/scenario.ini") << "[Device]\nTimeScale=200\n[Model]\nSoftwareScanner=1\n"
                                               "ScanWidth=50400\nBlockSize=1048576\n[Sheet]\nKind=calibration\n"
                                               "[Paper]\nLength=1000000\n";
        ::setenv("LUMORA_SIM_CONFIG", (sz + "/scenario.ini").c_str(), 1);
        ::setenv("LUMORA_SIM_STATE", "none", 1);
        return sz;
    }();
    return szDir;
}

CScanRequest Request()
{
    CScanRequest r;
    r.m_dWidth = 42;
    r.m_dLength = 8;
    r.m_iResolution = 300;
    r.m_iColorMode = 2;
    return r;
}

CPicture g_Picture;

void ScanAndSave(benchmark::State& state, bool bBodyOnly)
{
    const std::string szTif = Dir() + "/scan.tif";
    CScanner scanner;
    if (scanner.OpenScanner(0, false) != 0) {
        state.SkipWithError("the simulated scanner does not open");
        return;
    }
    for (auto _ : state) {
        scanner.LoadPaper(false);
        CScan scan(&scanner, &g_Picture);
        const int32_t iResult = bBodyOnly ? scan.Scan_Do(Request()) : scan.Scan(Request());
        if ((iResult != 0 && iResult != 0x3B09) || g_Picture.m_iHeight != 2400) {
            state.SkipWithError("the scan failed");
            break;
        }
        if (SavePictureAsTiff(g_Picture, szTif) != 0) {
            state.SkipWithError("the TIFF cannot be written");
            break;
        }
        if (bBodyOnly)
            scanner.ResetCommand(1);
    }
    scanner.CloseScanner(true);
}

void BM_ScanDoIntoTiff(benchmark::State& state) { ScanAndSave(state, true); }
BENCHMARK(BM_ScanDoIntoTiff)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanIntoTiff(benchmark::State& state) { ScanAndSave(state, false); }
BENCHMARK(BM_ScanIntoTiff)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_WriteSamePictureAlone(benchmark::State& state)
{
    if (g_Picture.m_iHeight <= 0) {
        state.SkipWithError("run after a scan benchmark");
        return;
    }
    const std::string szTif = Dir() + "/alone.tif";
    for (auto _ : state)
        if (SavePictureAsTiff(g_Picture, szTif) != 0)
            state.SkipWithError("the TIFF cannot be written");
}
BENCHMARK(BM_WriteSamePictureAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
