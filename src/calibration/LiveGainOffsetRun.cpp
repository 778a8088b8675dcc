#include "calibration/LiveGainOffsetRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "calibration/LiveGainOffset.h"
#include "datafiles/ProgramErrors.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

double NowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Summarise(const CLiveGainOffset& lgo, CLgoRunResult& r)
{
    const bool bGray = r.m_iMode != 3;
    for (int32_t c = 0; c < std::clamp(r.m_iCameras, 0, 8); ++c) {
        double dBlack = 0, dWhite = 0;
        int32_t n = 0;
        for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k) {
            const CLgoLevels& L = lgo.Levels(c, k);
            if (L.m_iBlackCall < 0 || L.m_iWhiteCall < 0)
                continue;
            dBlack += (L.m_dBlack[0] + L.m_dBlack[1]) / 2;
            dWhite += (L.m_dWhite[0] + L.m_dWhite[1]) / 2;
            ++n;
        }
        CLgoCameraResult& cr = r.m_Cameras[size_t(c)];
        if (n > 0) {
            cr.m_iBlack = static_cast<int32_t>(std::lround(dBlack / n));
            cr.m_iWhite = static_cast<int32_t>(std::lround(dWhite / n));
        }
        cr.m_bFailed = lgo.m_bCameraFailed[size_t(c)];
        cr.m_iError = lgo.m_iCameraError[size_t(c)];
    }
    if (const CLiveGainOffset_Data* p = lgo.FindData(r.m_iDPI))
        r.m_iCallDelay = p->m_iCallDelay[bGray ? LGO_MODE_GRAY : LGO_MODE_COLOR];
}

} // namespace

int32_t RunLiveGainOffset(CScanner& scanner, const CLgoRunOptions& o, CLgoRunResult& r)
{
    r = CLgoRunResult();
    const int32_t iCameras = scanner.GetCameraCount();
    r.m_iCameras = iCameras;
    if (iCameras < 1 || iCameras > 8) {
        Log_Msg_Int("RunLiveGainOffset: the scanner reports a camera count of", iCameras);
        return r.m_iError = CLiveGainOffset::kErrCameraLayout;
    }
    if (const int32_t iError = scanner.LoadPaperIfNeeded(); iError != 0)
        return r.m_iError = iError;
    const int32_t iMode = o.m_iMode == 2 || o.m_iMode == 3 ? o.m_iMode : (scanner.IsColorScanner() ? 3 : 2);
    r.m_iMode = iMode;
    // Row 1 of the sensor scans with the lamp off: every even line is black.
    scanner.m_bUse_CIS_LightOff = true;
    scanner.m_bUse_CIS_LightOff_Row2 = false;
    CContScan scan(&scanner);
    CLiveGainOffset lgo(&scanner);
    auto stopAll = [&] {
        scan.StopScan();
        for (int32_t c = 0; c < iCameras; ++c)
            scanner.StopCameraMotor(c);
    };
    if (const int32_t iError = scan.StartContinuousScan(iMode); iError != 0) {
        if (!scan.LastError().empty())
            Log_Msg(scan.LastError());
        scan.StopScan();
        return r.m_iError = iError;
    }
    bool bFinal = false;
    CLgoBlock last;
    for (int64_t iBlock = 0;; ++iBlock) {
        if (CCancel::IsCancelRequested()) {
            CCancel::SetCancelled();
            stopAll();
            Log_Msg("RunLiveGainOffset: cancelled; scan and camera motors stopped");
            Summarise(lgo, r);
            return r.m_iError = ScannerProgramError(ERR_USER_CANCELLED);
        }
        if (!bFinal && iBlock >= o.m_iMaxBlocks) {
            // Out of calls: one more step that names whatever is still off.
            Log_Msg_Int("RunLiveGainOffset: loop limit reached after blocks", static_cast<int32_t>(iBlock));
            lgo.SetFinalPass(true);
            bFinal = true;
        }
        const double t0 = NowMs();
        const int32_t iRead = scan.ReadBuffer();
        const double t1 = NowMs();
        r.m_dDeliveryMs += t1 - t0;
        if (iRead != 0) {
            stopAll();
            Summarise(lgo, r);
            return r.m_iError = iRead;
        }
        const CLgoBlock block = CLgoBlock::FromContScan(scan);
        last.m_iDPI = block.m_iDPI;
        last.m_iMode = block.m_iMode;
        r.m_iDPI = block.m_iDPI;
        const int32_t iError = lgo.Do(block);
        r.m_dAnalysisMs += NowMs() - t1;
        ++r.m_iCalls;
        if (o.m_OnBlock)
            o.m_OnBlock(lgo, scan);
        if (iError != 0) {
            r.m_iError = iError;
            break;
        }
        if (lgo.IsCalibrated(block.m_iDPI, iMode)) {
            r.m_bConverged = true;
            break;
        }
        // The final pass ends with the first call that ran a step (or, in
        // the learning, with the first call at all).
        if (bFinal && block.m_iReceived >= 100)
            break;
    }
    stopAll();
    lgo.LogCounters(last);
    Summarise(lgo, r);
    for (int32_t c = 0; c < iCameras; ++c)
        if (r.m_Cameras[size_t(c)].m_bFailed)
            r.m_bConverged = false;
    if (!r.m_bConverged && r.m_iError == 0)
        r.m_iError = MakeProgramError(PERR_LGO_MAX_LOOPS);
    return r.m_iError;
}

// ================================================================ soak

CLgoSoakScenario MakeLgoSoakScenario(uint32_t iSeed)
{
    std::mt19937 rng(iSeed * 2654435761u + 12345u);
    auto uniform = [&rng](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    CLgoSoakScenario s;
    s.m_iSeed = iSeed;
    const double dKind = uniform(0, 1);
    s.m_szKind = dKind < 0.8 ? "normal" : dKind < 0.9 ? "weak-lamp" : "high-black";
    s.m_bInRange = s.m_szKind == "normal";
    const int32_t iCameras = 2 + static_cast<int32_t>(uniform(0, 5)); // 2..6
    const bool bColor = uniform(0, 1) < 0.5;
    const bool bFiveBit = uniform(0, 1) < 0.2;
    std::string sz = "[Device]\nTimeScale=200\n[Model]\n";
    sz += "Cameras=" + std::to_string(iCameras) + "\nColor=" + (bColor ? "1" : "0") + "\n";
    sz += "ScanWidth=" + std::to_string(iCameras * 9000) + "\n";
    sz += std::string("GainBits=") + (bFiveBit ? "5" : "8") + "\n";
    sz += "GainDelayLines=" + std::to_string(static_cast<int>(uniform(0, 11))) + "\n";
    sz += "[Sheet]\nKind=calibration\n";
    sz += FormatText("[Noise]\nSeed=%u\nSigma=%.2f\n", iSeed + 1, uniform(0.5, 2.5));
    // A weak lamp has lost most of its light; a normal one up to half.
    sz += FormatText("[Lamp]\nWeakness=%.3f\n", s.m_szKind == "weak-lamp" ? uniform(0.88, 0.97) : uniform(0.0, 0.5));
    const int32_t iHigh = static_cast<int32_t>(uniform(0, iCameras));
    for (int32_t c = 0; c < iCameras; ++c) {
        double dBlack = uniform(4, 24);
        if (s.m_szKind == "high-black" && c == iHigh)
            dBlack = uniform(48, 70);
        sz += FormatText("[Camera.%c]\nBlack=%.2f\nWhiteGain=%.3f\nLamp=%.3f\nOddBlack=%.2f\nOddWhiteGain=%.3f\n"
                         "Phase=%d\n",
                         'A' + c, dBlack, uniform(0.8, 1.2), uniform(0.85, 1.1), uniform(-3, 3), uniform(0.95, 1.05),
                         uniform(0, 1) < 0.5 ? 0 : 1);
    }
    s.m_szIni = sz;
    return s;
}

CLgoSoakCase RunLgoSoakCase(uint32_t iSeed, const std::string& szFolder, int64_t iMaxBlocks)
{
    CLgoSoakCase k;
    k.m_Scenario = MakeLgoSoakScenario(iSeed);
    const std::string szPath = szFolder + "/lgo-soak-" + std::to_string(iSeed) + ".ini";
    if (!WriteFileAtomically(szPath, k.m_Scenario.m_szIni.data(), k.m_Scenario.m_szIni.size())) {
        k.m_iOpenError = -1;
        return k;
    }
    ::setenv("LUMORA_SIM_CONFIG", szPath.c_str(), 1);
    {
        CScanner scanner;
        if (scanner.OpenScanner(0, false) != 0) {
            k.m_iOpenError = scanner.m_ErrorNo;
        } else {
            CLgoRunOptions o;
            o.m_iMaxBlocks = iMaxBlocks;
            RunLiveGainOffset(scanner, o, k.m_Result);
            scanner.CloseScanner(true);
        }
        scanner.CloseLibrary();
    }
    ::unsetenv("LUMORA_SIM_CONFIG");
    std::remove(szPath.c_str());
    const uint32_t n = ProgramErrorNumber(k.m_Result.m_iError);
    const bool bLampError = k.m_Result.m_iError < 0 && (n == PERR_OFFSET_NOT_ADJUSTABLE || n == PERR_GAIN_NOT_ADJUSTABLE);
    k.m_bAsExpected = k.m_iOpenError == 0 &&
                      (k.m_Scenario.m_bInRange ? k.m_Result.m_bConverged && k.m_Result.m_iError == 0 : bLampError);
    return k;
}
