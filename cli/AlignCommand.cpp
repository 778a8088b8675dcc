// lumora-cli scanner align: the stitch-and-alignment run on the scanner; and
// its part of lumora-cli scanner soak: many seeded scenarios of the simulated
// scanner run through the same loop, to see how often the cameras end where
// they belong.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "CliCommon.h"
#include "ScanCommands.h"
#include "Soak.h"
#include "StatusLine.h"
#include "calibration/StitchAndAlignment.h"
#include "datafiles/ProgramErrors.h"
#include "platform/AtomicFile.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

struct CAlignOptions {
    int32_t m_hScanner = 0;
    bool m_bJson = false;
    std::string m_szDataDir;
    int32_t m_iMaxScans = 30000;
    double m_dTimeScale = 1.0;
    bool m_bCpuClock = false; // the scanner's clock is this process's CPU time (a soak on the simulator)
};

struct CAlignResult {
    int32_t m_iError = 0;
    int32_t m_iScans = 0;
    bool m_bCancelled = false;
    std::string m_szStitchPicture;
    std::string m_szMessage;
    int64_t m_iReadNs = 0, m_iAnalyzeNs = 0;
};

// The run itself: scan, analyse, move, until every camera is final, the
// scan limit is reached or a cancel request arrives. Every motor is stopped
// on every way out.
CAlignResult RunAlignment(CScanner& scanner, COscilloscopeStitchAndAlignment& osa, const CAlignOptions& o,
                          const std::function<void(const COscilloscopeStitchAndAlignment&)>& onScan)
{
    CAlignResult r;
    int32_t iState = 0, iPosition = 0;
    if (scanner.HasStatusBlock() && scanner.GetPaperState(iState, iPosition) && iState != ZEL_PS_READY &&
        iState != ZEL_PS_READY_BUT_MOVED && iState != ZEL_PS_NOT_PRESENT && scanner.CanPaperBeLoaded())
        if (const int32_t e = scanner.LoadPaper(false); e != 0) {
            r.m_iError = e;
            r.m_szMessage = "paper load failed: " + ScannerErrorText(e);
            return r;
        }
    const int32_t iCameras = scanner.GetCameraCount();
    if (iCameras < 1 || iCameras > COscilloscopeStitchAndAlignment::kMaxCameras) {
        r.m_iError = MakeProgramError(PERR_STITCH_ALIGNMENT_FAILED);
        r.m_szMessage = FormatText("the scanner reports %d cameras; alignment needs 1 to 8", iCameras);
        return r;
    }
    osa.SetCameraCount(iCameras);
    if (const int32_t e = osa.ReadTargets(); e != 0) {
        r.m_iError = e;
        r.m_szMessage = "stitch positions cannot be read: " + ScannerErrorText(e);
        return r;
    }
    // The procedure's waits are in the scanner's time.
    const double dScale = o.m_dTimeScale;
    if (o.m_bCpuClock) {
        auto cpuMs = [] {
            timespec t{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
            return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
        };
        const double d0 = cpuMs();
        osa.m_Tick = [cpuMs, d0, dScale] { return static_cast<uint32_t>((cpuMs() - d0) * dScale); };
    } else {
        const auto t0 = std::chrono::steady_clock::now();
        osa.m_Tick = [t0, dScale] {
            const double dMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            return static_cast<uint32_t>(dMs * dScale);
        };
    }
    CContScan scan(&scanner);
    while (!osa.IsFinished()) {
        if (CCancel::IsCancelRequested()) {
            CCancel::SetCancelled();
            r.m_bCancelled = true;
            r.m_iError = ScannerProgramError(ERR_USER_CANCELLED);
            break;
        }
        if (osa.m_iScans >= o.m_iMaxScans) {
            r.m_szMessage = FormatText("no end after %d scans", osa.m_iScans);
            break;
        }
        const int32_t e = osa.DoTest(scan);
        if (e != 0) {
            r.m_iError = e;
            r.m_szMessage = ScannerErrorText(e);
            break;
        }
        if (onScan)
            onScan(osa);
    }
    osa.StopAll();
    scan.StopScan();
    r.m_iScans = osa.m_iScans;
    r.m_iReadNs = osa.m_iReadNs;
    r.m_iAnalyzeNs = osa.m_iAnalyzeNs;
    return r;
}

CJson CamerasJson(const COscilloscopeStitchAndAlignment& osa)
{
    CJson a = CJson::MakeArray();
    for (int32_t c = 0; c < osa.CameraCount(); ++c) {
        const auto& cam = osa.m_Cameras[size_t(c)];
        CJson j = CJson::MakeObject();
        j.Set("camera", std::string(1, static_cast<char>('A' + c)));
        j.Set("state", COscilloscopeStitchAndAlignment::StateName(cam.m_eState, osa.m_bStepVariant));
        j.Set("state_value", cam.m_eState);
        j.Set("distance", cam.m_dDistance);
        j.Set("signed_distance", cam.m_dSignedDistance);
        j.Set("error", cam.m_szError.empty() ? CJson() : CJson(cam.m_szError));
        a.Push(std::move(j));
    }
    return a;
}

int RunAlign(const CAlignOptions& o)
{
    const CSimulatorSheet sheet;
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit))
        return iExit;
    COscilloscopeStitchAndAlignment osa(&scanner);
    osa.m_szDataDirectory = o.m_szDataDir;
    const std::string szWidthCsv = osa.OpenCameraWidth();
    if (szWidthCsv.empty())
        std::fprintf(stderr, "lumora-cli scanner: %s\n", osa.m_szError.c_str());
    CStatusLine status(o.m_bJson);
    auto onScan = [&](const COscilloscopeStitchAndAlignment& a) {
        if (!status.Shown())
            return;
        std::string szLine = FormatText("%6d", a.m_iScans);
        for (size_t i = 1; i < a.m_StatusLines.size(); ++i)
            szLine += a.m_StatusLines[i];
        status.Show(szLine);
    };
    const CAlignResult r = RunAlignment(scanner, osa, o, onScan);
    status.Done();
    osa.m_pWidth.reset(); // ends the table's last row
    if (r.m_bCancelled) {
        std::fprintf(stderr, "%s\n", ScannerErrorText(r.m_iError).c_str());
        scanner.CloseScanner(true);
        return CLI_EXIT_CHECK_FAILED;
    }
    const std::string szPicture = osa.m_Kept.empty() ? std::string() : osa.SaveStitchPicture();
    if (!osa.m_Kept.empty() && szPicture.empty())
        std::fprintf(stderr, "lumora-cli scanner: %s\n", osa.m_szError.c_str());
    scanner.CloseScanner(true);
    bool bAllDone = osa.CameraCount() > 0;
    for (int32_t c = 0; c < osa.CameraCount(); ++c)
        bAllDone = bAllDone && osa.m_Cameras[size_t(c)].m_eState == COscilloscopeStitchAndAlignment::DONE;
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("cameras", CamerasJson(osa));
        j.Set("scans", r.m_iScans);
        j.Set("kplate_diff", [&] {
            CJson a = CJson::MakeArray();
            a.Push(osa.m_X.m_dKPlateDiff[0]);
            a.Push(osa.m_X.m_dKPlateDiff[1]);
            return a;
        }());
        j.Set("stitch_picture", szPicture.empty() ? CJson() : CJson(szPicture));
        j.Set("camera_width_csv", szWidthCsv.empty() ? CJson() : CJson(szWidthCsv));
        j.Set("error", r.m_iError);
        j.Set("error_text", r.m_szMessage.empty() ? CJson() : CJson(r.m_szMessage));
        std::printf("%s\n", j.Dump().c_str());
    } else {
        for (int32_t c = 0; c < osa.CameraCount(); ++c) {
            const auto& cam = osa.m_Cameras[size_t(c)];
            std::printf("camera %c: %s, distance %.2f%s%s\n", 'A' + c,
                        COscilloscopeStitchAndAlignment::StateName(cam.m_eState), cam.m_dSignedDistance,
                        cam.m_szError.empty() ? "" : ", ", cam.m_szError.c_str());
        }
        if (!szPicture.empty())
            std::printf("stitch picture: %s\n", szPicture.c_str());
        if (!szWidthCsv.empty())
            std::printf("camera widths: %s\n", szWidthCsv.c_str());
    }
    if (!r.m_szMessage.empty())
        std::fprintf(stderr, "lumora-cli scanner: align: %s\n", r.m_szMessage.c_str());
    return bAllDone && r.m_iError == 0 ? CLI_EXIT_OK : CLI_EXIT_CHECK_FAILED;
}

// ================================================================ soak

// One seeded scenario: the calibration sheet, cameras put off by random
// amounts the motors can take back, black and white levels off, noise. The
// device runs on this process's CPU time, so a busy host does not turn into
// longer motor moves.
// Timed moves on a scanner type outside group C (6), positioned steps on
// one inside it (5), whose motors then turn the view by 0.7 to 1.3 pixels
// per unit.
std::string SoakScenario(std::mt19937& rng, const CSoakOptions& o, bool bStep, std::array<double, 8>& offsets,
                         std::array<double, 8>& ratios, int32_t& iCameras)
{
    std::uniform_real_distribution<double> off(-o.m_dMaxOffset, o.m_dMaxOffset), black(6, 20), gain(0.8, 1.15),
        sigma(0.5, 2.0), ratio(0.7, 1.3);
    iCameras = 4;
    std::string s = FormatText("[Device]\nTimeScale=%g\nClock=cpu\n[Model]\nType=%d\nCameras=%d\n[Paper]\n"
                               "Initial=ready\nMotorSpeed=200\n[Sheet]\nKind=calibration\n[Noise]\nSeed=%u\n"
                               "Sigma=%.2f\n",
                               o.m_dTimeScale, bStep ? 5 : 6, iCameras, static_cast<unsigned>(rng()), sigma(rng));
    for (int32_t c = 0; c < iCameras; ++c) {
        offsets[size_t(c)] = off(rng);
        s += FormatText("[Camera.%c]\nOffsetX=%.3f\nBlack=%.1f\nWhiteGain=%.3f\n", 'A' + c, offsets[size_t(c)],
                        black(rng), gain(rng));
        ratios[size_t(c)] = 1.0;
        if (bStep) {
            ratios[size_t(c)] = ratio(rng);
            s += FormatText("MotorX=%.3f\n", ratios[size_t(c)]);
        }
    }
    return s;
}

} // namespace

CJson AlignmentSoak(const CSoakOptions& so, CStatusLine& status, CSoakOutcome& out)
{
    std::mt19937 rng(so.m_iSeed);
    std::string szBase = so.m_szFolder;
    if (szBase.empty())
        szBase = std::filesystem::temp_directory_path().string();
    const std::string szDir = szBase + FormatText("/lumora-soak-%d", static_cast<int>(::getpid()));
    std::error_code ec;
    std::filesystem::create_directories(szDir, ec);
    const std::string szIni = szDir + "/scenario.ini";
    CAlignOptions o;
    o.m_iMaxScans = so.m_iMaxScans;
    o.m_dTimeScale = so.m_dTimeScale;
    o.m_bCpuClock = true;
    std::vector<int32_t> scans;
    double dWorstResidual = 0;
    std::array<double, 8> worstPerCamera{};
    int32_t iCamerasSeen = 0;
    int64_t iReadNs = 0, iAnalyzeNs = 0, iBlocks = 0;
    CJson runs = CJson::MakeArray();
    int32_t variantRuns[2] = {}, variantOk[2] = {}; // timed, step
    for (int32_t i = 0; i < so.m_iScenarios && !CCancel::IsCancelRequested(); ++i) {
        std::array<double, 8> offsets{}, ratios{};
        int32_t iCameras = 0;
        const bool bStep = so.m_szVariant == "step" || (so.m_szVariant == "both" && i % 2 == 1);
        const std::string szScenario = SoakScenario(rng, so, bStep, offsets, ratios, iCameras);
        WriteFileAtomically(szIni, szScenario.data(), szScenario.size());
        ::setenv("LUMORA_SIM_CONFIG", szIni.c_str(), 1);
        CScanner scanner;
        int iExit = 0;
        if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit)) {
            out.m_iOpenError = iExit;
            break;
        }
        COscilloscopeStitchAndAlignment osa(&scanner);
        osa.m_szDataDirectory = szDir;
        osa.m_bStatusLines = false;
        osa.OpenCameraWidth();
        const CAlignResult r = RunAlignment(scanner, osa, o, nullptr);
        osa.m_pWidth.reset();
        std::filesystem::remove(szDir + "/" + CCameraWidth::kFileName, ec);
        std::array<double, 8> motor{};
        scanner.GetCameraMotorPositions(motor);
        scanner.CloseScanner(true);
        ++out.m_iRuns;
        bool bOk = r.m_iError == 0;
        CJson residual = CJson::MakeArray(), states = CJson::MakeArray();
        iCamerasSeen = std::max(iCamerasSeen, iCameras);
        for (int32_t c = 0; c < iCameras; ++c) {
            // Where the camera looks now, from the scenario and the motor: the truth the engine never sees.
            const double dResidual = offsets[size_t(c)] + ratios[size_t(c)] * motor[size_t(c)];
            dWorstResidual = std::max(dWorstResidual, std::fabs(dResidual));
            worstPerCamera[size_t(c)] = std::max(worstPerCamera[size_t(c)], std::fabs(dResidual));
            bOk = bOk && osa.m_Cameras[size_t(c)].m_eState == COscilloscopeStitchAndAlignment::DONE &&
                  std::fabs(dResidual) <= 0.95;
            residual.Push(std::round(dResidual * 1000) / 1000);
            states.Push(COscilloscopeStitchAndAlignment::StateName(osa.m_Cameras[size_t(c)].m_eState));
        }
        out.m_iAsExpected += bOk;
        ++variantRuns[bStep];
        variantOk[bStep] += bOk;
        scans.push_back(r.m_iScans);
        iReadNs += r.m_iReadNs;
        iAnalyzeNs += r.m_iAnalyzeNs;
        iBlocks += r.m_iScans;
        CJson run = CJson::MakeObject();
        run.Set("scenario", i);
        run.Set("variant", osa.m_bStepVariant ? "step" : "timed");
        run.Set("converged", bOk);
        run.Set("scans", r.m_iScans);
        run.Set("states", states);
        run.Set("residual", residual);
        if (!r.m_szMessage.empty())
            run.Set("error_text", r.m_szMessage);
        runs.Push(std::move(run));
        status.Show(FormatText("alignment scenario %d of %d: %d converged", i + 1, so.m_iScenarios, out.m_iAsExpected));
    }
    ::unsetenv("LUMORA_SIM_CONFIG");
    std::filesystem::remove_all(szDir, ec);
    std::sort(scans.begin(), scans.end());
    const int32_t iMedian = scans.empty() ? 0 : scans[scans.size() / 2];
    const int32_t iWorst = scans.empty() ? 0 : scans.back();
    const double dShare = out.m_iRuns > 0 ? 100.0 * out.m_iAsExpected / out.m_iRuns : 0.0;
    const double dReadUs = iBlocks > 0 ? static_cast<double>(iReadNs) / 1000.0 / static_cast<double>(iBlocks) : 0.0;
    const double dAnalyzeUs =
        iBlocks > 0 ? static_cast<double>(iAnalyzeNs) / 1000.0 / static_cast<double>(iBlocks) : 0.0;
    CJson j = CJson::MakeObject();
    j.Set("scenarios", out.m_iRuns);
    j.Set("converged", out.m_iAsExpected);
    j.Set("converged_percent", dShare);
    for (int32_t v = 0; v < 2; ++v) {
        CJson k = CJson::MakeObject();
        k.Set("scenarios", variantRuns[v]);
        k.Set("converged", variantOk[v]);
        j.Set(v ? "step" : "timed", k);
    }
    j.Set("median_scans", iMedian);
    j.Set("worst_scans", iWorst);
    j.Set("worst_residual", dWorstResidual);
    CJson perCamera = CJson::MakeObject();
    for (int32_t c = 0; c < iCamerasSeen; ++c)
        perCamera.Set(std::string(1, static_cast<char>('A' + c)), worstPerCamera[size_t(c)]);
    j.Set("worst_residual_per_camera", perCamera);
    j.Set("block_read_us", dReadUs);
    j.Set("block_analysis_us", dAnalyzeUs);
    j.Set("time_scale", so.m_dTimeScale);
    j.Set("runs", runs);
    out.m_szSummary = FormatText("alignment: %d of %d scenarios converged (%.1f %%; timed %d of %d, steps %d of %d), "
                                 "scans median %d, worst %d, worst residual %.3f px\n  per block: %.1f us to deliver, "
                                 "%.1f us to analyse\n",
                                 out.m_iAsExpected, out.m_iRuns, dShare, variantOk[0], variantRuns[0], variantOk[1],
                                 variantRuns[1], iMedian, iWorst, dWorstResidual, dReadUs, dAnalyzeUs);
    return j;
}

void AddAlignCommands(CLI::App& scannerCommand, int& iExit)
{
    auto opts = std::make_shared<CAlignOptions>();
    auto logStart = [] { log_Init("lumora-cli", "Lumora.log", std::string()); };
    CLI::App* pAlign = scannerCommand.add_subcommand(
        "align", "Stitch and alignment: scan the calibration sheet and drive each camera's motor until it is aligned");
    pAlign->add_flag("--json", opts->m_bJson, "Machine-readable output");
    pAlign->add_option("--handle", opts->m_hScanner, "Scanner handle (default: the first scanner)");
    pAlign->add_option("--data-dir", opts->m_szDataDir, "Folder for _X-Stitch.tif and CameraWidth.csv (the program's state folder)");
    pAlign->add_option("--max-scans", opts->m_iMaxScans, "Give up after this many scans (30000)")
        ->check(CLI::Range(1, 10000000));
    pAlign->add_option("--time-scale", opts->m_dTimeScale,
                       "Scanner time per real time, as the simulator's [Device] TimeScale (1)")
        ->check(CLI::Range(0.001, 1000.0));
    pAlign->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunAlign(*opts);
    });
}
