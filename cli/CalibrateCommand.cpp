// lumora-cli scanner calibrate: the live analog gain/offset calibration on
// the connected scanner; and its part of lumora-cli scanner soak: the same
// run on seeded scenarios of the simulated scanner, counting how many end as
// they should.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>

#include "CliCommon.h"
#include "ScanCommands.h"
#include "Soak.h"
#include "StatusLine.h"
#include "calibration/LiveGainOffset.h"
#include "calibration/LiveGainOffsetRun.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

struct CCalibrateOptions {
    int32_t m_hScanner = 0;
    bool m_bJson = false;
    std::string m_szMode = "auto";
    int64_t m_iMaxBlocks = 4000;
};

const char* StateName(int32_t iState)
{
    switch (iState) {
    case LGO_STATE_IDLE: return "idle";
    case LGO_STATE_LEARNING_SETUP: return "setup";
    case LGO_STATE_LEARNING: return "learning";
    case LGO_STATE_CALIBRATING: return "calibrating";
    default: return "?";
    }
}

// The state and each camera's black/white level, once per scan.
std::string CalibrationStatus(const CLiveGainOffset& lgo, const CContScan& scan)
{
    const bool bColor = scan.m_iColorKind == 2;
    const CLiveGainOffset_Data* p = lgo.FindData(scan.Picture().m_iResolution);
    const int32_t m = bColor ? LGO_MODE_COLOR : LGO_MODE_GRAY;
    std::string sz = FormatText("scan %lld %s", static_cast<long long>(lgo.m_iCall_Do),
                                p ? StateName(p->m_iState[m]) : "-");
    for (int32_t c = 0; c < std::min(scan.CameraCount(), 8); ++c) {
        const CLgoLevels& L = lgo.Levels(c, bColor ? 1 : 3);
        sz += FormatText("  %c %3.0f/%3.0f", 'A' + c, (L.m_dBlack[0] + L.m_dBlack[1]) / 2,
                         (L.m_dWhite[0] + L.m_dWhite[1]) / 2);
    }
    return sz;
}

CJson ResultJson(const CLgoRunResult& r)
{
    CJson j = CJson::MakeObject();
    j.Set("converged", r.m_bConverged);
    j.Set("calls", static_cast<long long>(r.m_iCalls));
    j.Set("dpi", r.m_iDPI);
    j.Set("mode", r.m_iMode == 3 ? "color" : "gray");
    j.Set("call_delay", r.m_iCallDelay);
    j.Set("error", r.m_iError);
    j.Set("error_text", r.m_iError ? CJson(ScannerErrorText(r.m_iError)) : CJson());
    CJson cameras = CJson::MakeArray();
    for (int32_t c = 0; c < std::clamp(r.m_iCameras, 0, 8); ++c) {
        const CLgoCameraResult& cr = r.m_Cameras[size_t(c)];
        CJson o = CJson::MakeObject();
        o.Set("camera", std::string(1, static_cast<char>('A' + c)));
        o.Set("black", cr.m_iBlack);
        o.Set("white", cr.m_iWhite);
        o.Set("failed", cr.m_bFailed);
        o.Set("error", cr.m_iError);
        cameras.Push(std::move(o));
    }
    j.Set("cameras", std::move(cameras));
    j.Set("analysis_ms", r.m_dAnalysisMs);
    j.Set("delivery_ms", r.m_dDeliveryMs);
    return j;
}

int RunCalibrate(const CCalibrateOptions& o)
{
    const CSimulatorSheet sheet;
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit))
        return iExit;
    CLgoRunOptions ro;
    ro.m_iMode = o.m_szMode == "color" ? 3 : o.m_szMode == "gray" ? 2 : 0;
    ro.m_iMaxBlocks = o.m_iMaxBlocks;
    CStatusLine status(o.m_bJson);
    ro.m_OnBlock = [&status](const CLiveGainOffset& lgo, const CContScan& scan) {
        if (status.Shown())
            status.Show(CalibrationStatus(lgo, scan));
    };
    CLgoRunResult r;
    const int32_t iError = RunLiveGainOffset(scanner, ro, r);
    status.Done();
    scanner.CloseScanner(true);
    if (iError == ScannerProgramError(ERR_USER_CANCELLED)) {
        std::fprintf(stderr, "%s\n", ScannerErrorText(iError).c_str());
        return CLI_EXIT_CHECK_FAILED;
    }
    if (o.m_bJson) {
        std::printf("%s\n", ResultJson(r).Dump().c_str());
    } else {
        std::printf("%s after %lld scans (%d dpi %s)\n", r.m_bConverged ? "calibrated" : "not calibrated",
                    static_cast<long long>(r.m_iCalls), r.m_iDPI, r.m_iMode == 3 ? "color" : "gray");
        for (int32_t c = 0; c < std::clamp(r.m_iCameras, 0, 8); ++c) {
            const CLgoCameraResult& cr = r.m_Cameras[size_t(c)];
            std::printf("camera %c: black %d, white %d%s\n", 'A' + c, cr.m_iBlack, cr.m_iWhite,
                        cr.m_bFailed ? ", FAILED" : "");
        }
    }
    if (iError != 0) {
        std::fprintf(stderr, "lumora-cli scanner: calibrate failed: %s\n", ScannerErrorText(iError).c_str());
        return CLI_EXIT_CHECK_FAILED;
    }
    return CLI_EXIT_OK;
}

} // namespace

CSimulatorSheet::CSimulatorSheet()
{
    // A real scanner scans whatever sheet the technician put in; the
    // simulator's own default is a flat field that no calibration can use.
    // The simulator is the library this program brings along, in its own
    // folder or its private library folder.
    if (const char* szLibrary = std::getenv("LUMORA_SCAN_LIBRARY"); szLibrary && *szLibrary) {
        std::error_code ec;
        const std::string szDir = RunningProgramFolder();
        bool bOurs = false;
        for (const std::string& sz : {szDir + "libzel_scan_2000.so", PrivateLibraryFolder(szDir) + "libzel_scan_2000.so"})
            bOurs = bOurs || std::filesystem::equivalent(szLibrary, sz, ec);
        if (!bOurs)
            return;
    }
    std::string szText;
    if (const char* szConfig = std::getenv("LUMORA_SIM_CONFIG"); szConfig && *szConfig) {
        std::ifstream in(szConfig, std::ios::binary);
        if (!in)
            return; // the simulator reports the unreadable scenario itself
        std::ostringstream ss;
        ss << in.rdbuf();
        szText = ss.str();
    }
    CIniFile ini;
    ini.LoadFromText(szText);
    const bool bSheet = ini.Get("Sheet", "Kind").has_value(), bNoise = ini.Get("Noise", "Sigma").has_value();
    if (bSheet && bNoise)
        return;
    // A real sensor is never free of noise, and the light-off check of the
    // continuous scan counts on it.
    szText += "\n";
    if (!bSheet)
        szText += "[Sheet]\nKind=calibration\n";
    if (!bNoise)
        szText += "[Noise]\nSigma=1\n";
    const char* szTmp = std::getenv("TMPDIR");
    m_szPath = std::string(szTmp && *szTmp ? szTmp : "/tmp") + FormatText("/lumora-sheet-%d.ini", int(::getpid()));
    if (WriteFileAtomically(m_szPath, szText)) {
        if (const char* szOld = std::getenv("LUMORA_SIM_CONFIG")) {
            m_szOld = szOld;
            m_bHadOld = true;
        }
        ::setenv("LUMORA_SIM_CONFIG", m_szPath.c_str(), 1);
        return;
    }
    std::error_code ec;
    std::filesystem::remove(m_szPath, ec);
    m_szPath.clear();
}

CSimulatorSheet::~CSimulatorSheet()
{
    if (m_szPath.empty())
        return;
    if (m_bHadOld)
        ::setenv("LUMORA_SIM_CONFIG", m_szOld.c_str(), 1);
    else
        ::unsetenv("LUMORA_SIM_CONFIG");
    std::error_code ec;
    std::filesystem::remove(m_szPath, ec);
}

CJson GainOffsetSoak(const CSoakOptions& o, CStatusLine& status, CSoakOutcome& out)
{
    std::string szFolder = o.m_szFolder;
    if (szFolder.empty()) {
        const char* szTmp = std::getenv("TMPDIR");
        szFolder = szTmp && *szTmp ? szTmp : "/tmp";
    }
    CJson cases = CJson::MakeArray();
    int32_t iInRange = 0, iInRangeOk = 0, iOutOfRange = 0, iOutOfRangeOk = 0;
    double dAnalysis = 0, dDelivery = 0;
    long long iCalls = 0;
    for (int32_t i = 0; i < o.m_iScenarios && !CCancel::IsCancelRequested(); ++i) {
        const CLgoSoakCase k = RunLgoSoakCase(o.m_iSeed + static_cast<uint32_t>(i), szFolder, o.m_iMaxBlocks);
        if (k.m_iOpenError != 0) {
            out.m_iOpenError = k.m_iOpenError;
            break;
        }
        ++out.m_iRuns;
        out.m_iAsExpected += k.m_bAsExpected;
        (k.m_Scenario.m_bInRange ? iInRange : iOutOfRange)++;
        (k.m_Scenario.m_bInRange ? iInRangeOk : iOutOfRangeOk) += k.m_bAsExpected;
        dAnalysis += k.m_Result.m_dAnalysisMs;
        dDelivery += k.m_Result.m_dDeliveryMs;
        iCalls += k.m_Result.m_iCalls;
        CJson c = ResultJson(k.m_Result);
        c.Set("seed", static_cast<long long>(k.m_Scenario.m_iSeed));
        c.Set("kind", k.m_Scenario.m_szKind);
        c.Set("as_expected", k.m_bAsExpected);
        cases.Push(std::move(c));
        status.Show(FormatText("gain/offset scenario %d of %d: %d as expected", i + 1, o.m_iScenarios,
                               out.m_iAsExpected));
    }
    const double dPerCallAnalysis = iCalls ? dAnalysis / double(iCalls) : 0.0;
    const double dPerCallDelivery = iCalls ? dDelivery / double(iCalls) : 0.0;
    CJson j = CJson::MakeObject();
    j.Set("scenarios", out.m_iRuns);
    j.Set("in_range", iInRange);
    j.Set("in_range_converged", iInRangeOk);
    j.Set("out_of_range", iOutOfRange);
    j.Set("out_of_range_lamp_error", iOutOfRangeOk);
    j.Set("calls", iCalls);
    j.Set("analysis_ms_per_call", dPerCallAnalysis);
    j.Set("delivery_ms_per_call", dPerCallDelivery);
    j.Set("cases", std::move(cases));
    out.m_szSummary = FormatText("gain/offset: %d of %d in-range scenarios converged; %d of %d out-of-range ended in "
                                 "984/985\n  per scan: analysis %.4f ms, delivery %.4f ms (%lld scans)\n",
                                 iInRangeOk, iInRange, iOutOfRangeOk, iOutOfRange, dPerCallAnalysis,
                                 dPerCallDelivery, iCalls);
    return j;
}

void AddCalibrateCommand(CLI::App& scannerCommand, int& iExit)
{
    auto opts = std::make_shared<CCalibrateOptions>();
    auto logStart = [] { log_Init("lumora-cli", "Lumora.log", std::string()); };

    CLI::App* p = scannerCommand.add_subcommand(
        "calibrate", "Live analog gain/offset calibration during a continuous scan, until done or the loop limit");
    p->add_flag("--json", opts->m_bJson, "Machine-readable output");
    p->add_option("--handle", opts->m_hScanner, "Scanner handle (default: the first scanner)");
    p->add_option("--mode", opts->m_szMode, "gray, color or auto (color on a colour scanner)")
        ->check(CLI::IsMember({"auto", "gray", "color"}));
    p->add_option("--max-scans", opts->m_iMaxBlocks, "Scans before the final pass (4000)")
        ->check(CLI::Range(1, 10000000));
    p->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunCalibrate(*opts);
    });

}
