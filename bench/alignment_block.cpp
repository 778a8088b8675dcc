// One block of the camera alignment on the simulated scanner's calibration
// sheet (600 dpi gray, four cameras): what the simulator needs to deliver it
// against what the alignment's analysis needs (stitch areas and marks,
// K-plates, each camera's distance, the camera width row), with the log off
// and on. The goal is an analysis cheaper than the delivery.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "calibration/StitchAndAlignment.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

const std::string& BenchFolder()
{
    static const std::string sz = [] {
        const std::string szDir = std::filesystem::temp_directory_path().string() + "/lumora-bench-alignment";
        std::filesystem::create_directories(szDir);
        std::ofstream(szDir + "/scenario.ini") << "[Device]\nTimeScale=200\n[Model]\nCameras=4\n[Paper]\nInitial=ready\n"
                                                  "[Sheet]\nKind=calibration\n[Noise]\nSigma=1\n[Camera.B]\nOffsetX=3\n";
        ::setenv("LUMORA_SIM_CONFIG", (szDir + "/scenario.ini").c_str(), 1);
        ::setenv("LUMORA_SIM_STATE", "none", 1);
        return szDir;
    }();
    return sz;
}

struct CRig {
    CScanner m_Scanner;
    std::unique_ptr<CContScan> m_pScan;
    std::unique_ptr<COscilloscopeStitchAndAlignment> m_pOsa;
    bool Open()
    {
        BenchFolder();
        if (m_Scanner.OpenScanner(0, false) != 0)
            return false;
        m_pScan = std::make_unique<CContScan>(&m_Scanner);
        m_pOsa = std::make_unique<COscilloscopeStitchAndAlignment>(&m_Scanner);
        m_pOsa->m_szDataDirectory = BenchFolder();
        m_pOsa->m_bStatusLines = false;
        m_pOsa->SetCameraCount(m_Scanner.GetCameraCount());
        m_pOsa->ReadTargets();
        m_pOsa->OpenCameraWidth();
        return m_pScan->StartContinuousScan(2) == 0 && m_pScan->ReadBuffer() == 0 && m_pScan->ReceivedBytes() > 0;
    }
    ~CRig()
    {
        m_pOsa.reset();
        if (m_pScan)
            m_pScan->StopScan();
        m_Scanner.CloseScanner(true);
    }
};

void BM_DeliverBlock(benchmark::State& state)
{
    CRig rig;
    if (!rig.Open()) {
        state.SkipWithError("the simulated scanner does not scan");
        return;
    }
    for (auto _ : state) {
        if (rig.m_pScan->ReadBuffer() != 0) {
            state.SkipWithError("ReadBuffer failed");
            break;
        }
        benchmark::DoNotOptimize(rig.m_pScan->Plane(1).data());
    }
    state.SetLabel(std::to_string(rig.m_pScan->ReceivedBytes()) + " bytes per block");
}

void AnalyzeBlocks(benchmark::State& state, bool bLog)
{
    CRig rig;
    if (!rig.Open()) {
        state.SkipWithError("the simulated scanner does not scan");
        return;
    }
    if (bLog) {
        ::setenv("LUMORA_LOG_DIR", BenchFolder().c_str(), 1);
        log_Init("bench", "bench.log", std::string());
    }
    for (auto _ : state) {
        if (rig.m_pOsa->Analyze(*rig.m_pScan) != 0) {
            state.SkipWithError("the block does not analyse");
            break;
        }
        rig.m_pOsa->m_pWidth->FindClassicScanWidth(rig.m_pScan->Picture(), rig.m_pOsa->WidthLayout());
    }
    if (bLog) {
        log_Close();
        std::filesystem::remove(BenchFolder() + "/bench.log");
    }
}

void BM_AnalyzeBlock(benchmark::State& state) { AnalyzeBlocks(state, false); }
void BM_AnalyzeBlockLogged(benchmark::State& state) { AnalyzeBlocks(state, true); }

} // namespace

BENCHMARK(BM_DeliverBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyzeBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyzeBlockLogged)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
