// The live gain/offset loop closed on the simulated scanner: what it learns
// and where it ends follow from the scenario's optics, never from a table.
#include <gtest/gtest.h>

#include <cstdlib>

#include "calibration/CameraWidth.h"
#include "calibration/LiveGainOffset.h"
#include "calibration/LiveGainOffsetRun.h"
#include "datafiles/ProgramErrors.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace {

const std::string kCard = "[Device]\nTimeScale=200\n[Sheet]\nKind=calibration\n[Noise]\nSigma=1\n";

struct CSimRun {
    CLgoRunResult m_Result;
    int32_t m_iEven[8] = {-9, -9, -9, -9, -9, -9, -9, -9};
};

CSimRun RunOn(const CTempDir& dir, const std::string& szIni, int32_t iMode, int64_t iMaxBlocks)
{
    CSimRun run;
    const std::string szPath = dir.File("scenario.ini");
    WriteFileBytes(szPath, szIni);
    ::setenv("LUMORA_SIM_CONFIG", szPath.c_str(), 1);
    CScanner scanner;
    EXPECT_EQ(scanner.OpenScanner(0, false), 0);
    CLgoRunOptions o;
    o.m_iMode = iMode;
    o.m_iMaxBlocks = iMaxBlocks;
    o.m_OnBlock = [&run](const CLiveGainOffset& lgo, const CContScan& scan) {
        if (const CLiveGainOffset_Data* p = lgo.FindData(scan.Picture().m_iResolution))
            for (int c = 0; c < 8; ++c)
                run.m_iEven[c] = p->m_iEvenIndex_Offset[c];
    };
    RunLiveGainOffset(scanner, o, run.m_Result);
    scanner.CloseScanner(true);
    scanner.CloseLibrary();
    ::unsetenv("LUMORA_SIM_CONFIG");
    return run;
}

int32_t Number(int32_t iCode)
{
    return iCode == 0 ? 0 : static_cast<int32_t>(ProgramErrorNumber(iCode));
}

} // namespace

TEST(LiveGainOffsetSim, LearnsAndCalibratesWhatTheScenarioBuilt)
{
    struct {
        const char* m_szName;
        std::string m_szIni;
        int32_t m_iMode;
        int32_t m_iEvenA, m_iEvenB; // -1: not looked at
        int32_t m_iMinDelay;
    } cases[] = {
        {"gray, camera B's even channel on odd pixels",
         kCard + "[Camera.B]\nPhase=1\nOddBlack=3\nOddWhiteGain=0.95\n", 2, 0, 1, 15},
        {"colour, a slow front end", kCard + "[Model]\nGainDelayLines=30\n", 3, -1, -1, 30},
        {"gray, 5-bit gains", kCard + "[Model]\nGainBits=5\nColor=0\n[Camera.A]\nPhase=1\n", 2, 1, 0, 15},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CTempDir dir;
        const CSimRun run = RunOn(dir, t.m_szIni, t.m_iMode, 3000);
        const CLgoRunResult& r = run.m_Result;
        EXPECT_TRUE(r.m_bConverged);
        EXPECT_EQ(r.m_iError, 0);
        EXPECT_GE(r.m_iCallDelay, t.m_iMinDelay);
        if (t.m_iEvenA >= 0) {
            EXPECT_EQ(run.m_iEven[0], t.m_iEvenA);
            EXPECT_EQ(run.m_iEven[1], t.m_iEvenB);
        }
        ASSERT_EQ(r.m_iCameras, 4);
        for (int c = 0; c < 4; ++c) {
            EXPECT_FALSE(r.m_Cameras[size_t(c)].m_bFailed) << c;
            EXPECT_NEAR(r.m_Cameras[size_t(c)].m_iBlack, 10, 5) << c;
            EXPECT_NEAR(r.m_Cameras[size_t(c)].m_iWhite, 200, 10) << c;
        }
    }
}

TEST(LiveGainOffsetSim, AnOldLampOrAHighBlackEndsInItsErrorNeverInAHang)
{
    struct {
        const char* m_szName;
        std::string m_szIni;
        int32_t m_iExpect;
        int32_t m_iFailedCamera;
    } cases[] = {
        {"weak lamp", kCard + "[Lamp]\nWeakness=0.92\n", PERR_GAIN_NOT_ADJUSTABLE, 0},
        {"camera C black beyond the offset", kCard + "[Camera.C]\nBlack=60\n", PERR_OFFSET_NOT_ADJUSTABLE, 2},
        {"the flat field does not answer the gains", "[Device]\nTimeScale=200\n", PERR_LGO_MAX_LOOPS, 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CTempDir dir;
        const CSimRun run = RunOn(dir, t.m_szIni, 0, 400);
        EXPECT_FALSE(run.m_Result.m_bConverged);
        EXPECT_EQ(Number(run.m_Result.m_iError), t.m_iExpect);
        EXPECT_TRUE(run.m_Result.m_Cameras[size_t(t.m_iFailedCamera)].m_bFailed);
        EXPECT_EQ(Number(run.m_Result.m_Cameras[size_t(t.m_iFailedCamera)].m_iError), t.m_iExpect);
        EXPECT_LE(run.m_Result.m_iCalls, 402);
    }
}

TEST(LiveGainOffsetSim, SoakCasesAreReproducibleAndEndAsTheirKindSays)
{
    CTempDir dir;
    int32_t iKinds = 0;
    for (uint32_t iSeed : {3u, 17u, 42u}) {
        const CLgoSoakScenario a = MakeLgoSoakScenario(iSeed), b = MakeLgoSoakScenario(iSeed);
        EXPECT_EQ(a.m_szIni, b.m_szIni);
        const CLgoSoakCase k = RunLgoSoakCase(iSeed, dir.Path(), 3000);
        EXPECT_EQ(k.m_iOpenError, 0);
        EXPECT_TRUE(k.m_bAsExpected) << iSeed << " " << a.m_szKind << "\n" << a.m_szIni;
        iKinds += a.m_bInRange ? 1 : 0;
    }
    EXPECT_GT(iKinds, 0);
}

TEST(LiveGainOffsetCli, CalibrateReportsJsonAndStopsOnCtrlC)
{
    CTempDir dir;
    const std::string szScenario = dir.File("scenario.ini");
    // No sheet named: the command puts the calibration sheet in, as a technician would.
    WriteFileBytes(szScenario, "[Device]\nTimeScale=200\n");
    const CRunResult r = RunProgram(BinPath("lumora-cli"), {"scanner", "calibrate", "--json"},
                                    {"LUMORA_SIM_CONFIG=" + szScenario, "LUMORA_LOG_DIR=" + dir.Path()});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    for (const char* szKey : {"\"converged\": true", "\"calls\"", "\"black\"", "\"white\"", "\"failed\": false",
                              "\"error\": 0", "\"camera\": \"D\""})
        EXPECT_NE(r.m_szOut.find(szKey), std::string::npos) << szKey << "\n" << r.m_szOut;

    // A slow scanner, interrupted while the loop runs: every scan stops.
    WriteFileBytes(szScenario, kCard + "[Faults]\nSlowReadMs=20\n");
    CTempDir logs; // the first run's log must not count as this one's
    const CInterruptedRun run = InterruptCliWhenLogged({"scanner", "calibrate"}, {"LUMORA_SIM_CONFIG=" + szScenario},
                                                       logs.Path(), "CLiveGainOffset use mode");
    ASSERT_TRUE(run.m_bEnded) << "calibrate did not end on SIGINT";
    EXPECT_EQ(run.m_iExit, 130);
    EXPECT_EQ(run.m_szErr, "User cancelled.\n");
    // The scan was reset and every motor told to stop before the end.
    const std::string szLogText = ReadFileBytes(logs.File("Lumora.log"));
    EXPECT_NE(szLogText.find("cancelled; scan and camera motors stopped"), std::string::npos);
}

// The width analysis on the simulator's calibration sheet: a camera whose
// view is wider than built sees its two seams closer together in pixels.
TEST(CameraWidthSim, AWiderViewShowsAsANarrowerSeamDistance)
{
    double dWidth[2] = {};
    for (int iCase = 0; iCase < 2; ++iCase) {
        CTempDir dir;
        const std::string szPath = dir.File("scenario.ini");
        WriteFileBytes(szPath, kCard + (iCase ? "[Camera.B]\nWidthError=10\n" : ""));
        ::setenv("LUMORA_SIM_CONFIG", szPath.c_str(), 1);
        CScanner scanner;
        ASSERT_EQ(scanner.OpenScanner(0, false), 0);
        ASSERT_EQ(scanner.LoadPaper(false), 0);
        CContScan scan(&scanner);
        ASSERT_EQ(scan.StartContinuousScan(2), 0);
        ASSERT_EQ(scan.ReadBuffer(), 0);
        CContScanPicture block;
        block.SetFromBlock(scan);
        scan.StopScan();
        scanner.CloseScanner(true);
        scanner.CloseLibrary();
        ::unsetenv("LUMORA_SIM_CONFIG");

        CCameraWidthLayout layout;
        layout.m_iCameraCount = scan.CameraCount();
        layout.m_iBlackStop = 16;
        for (int c = 0; c < 8; ++c) {
            layout.m_iStartCamera[size_t(c)] = 16;
            layout.m_iStopCamera[size_t(c)] = 5383;
            layout.m_dGroupCenterMiddle[size_t(c)] = -1; // the camera's centre stands in
            layout.m_dWidth_Teoretical[size_t(c)] = 5400 - 2 * 16 - 128; // seam to seam as built
        }
        CCameraWidth w("");
        ASSERT_EQ(w.FindClassicScanWidth(block.m_Pic, layout), 0);
        ASSERT_TRUE(w.m_bFound[1]);
        ASSERT_TRUE(w.m_bFound[2]);
        EXPECT_NEAR(w.m_rdWidth[2], 0.0, 1.0) << "camera C is as built";
        dWidth[iCase] = w.m_rdWidth[1];
    }
    EXPECT_NEAR(dWidth[0], 0.0, 1.0);
    // 5240 seam-to-seam pixels seen through a view 10 pixels wider than 5368.
    EXPECT_NEAR(dWidth[1] - dWidth[0], 5240.0 * 5368.0 / 5378.0 - 5240.0, 1.0);
}
