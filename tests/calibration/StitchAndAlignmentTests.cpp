// The alignment procedure: its per-camera state machine walked on scripted
// distances and times, the stitch-wire classes, and whole runs on the
// simulated scanner through lumora-cli.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "calibration/StitchAndAlignment.h"
#include "support/TestSupport.h"

namespace {

using OSA = COscilloscopeStitchAndAlignment;

struct CWalk {
    OSA m_Osa{nullptr};
    std::vector<std::string> m_Motor; // "A+" forward, "A-" backward, "A0" stop
    uint32_t m_iNow = 0;
    explicit CWalk(int32_t iCameras)
    {
        m_Osa.SetCameraCount(iCameras);
        m_Osa.m_Motor = [this](int32_t c, OSA::EMotorCommand e) {
            m_Motor.push_back(std::string(1, static_cast<char>('A' + c)) +
                              (e == OSA::MOTOR_FORWARD ? "+" : e == OSA::MOTOR_BACKWARD ? "-" : "0"));
            return 0;
        };
    }
    void Scan(std::initializer_list<double> d, int32_t iTimes = 1, uint32_t iStepMs = 20)
    {
        std::array<double, 8> m{};
        std::copy(d.begin(), d.end(), m.begin());
        for (int32_t i = 0; i < iTimes; ++i) {
            m_iNow += iStepMs;
            m_Osa.Step(m, m_iNow);
        }
    }
    int32_t State(int32_t c) const { return m_Osa.m_Cameras[size_t(c)].m_eState; }
};

TEST(AlignmentStates, SecondCameraParksUntilTheFirstIsDone)
{
    CWalk w(2);
    w.Scan({3.0, 3.0}, 51); // IDLE takes the first scan, then a full window
    EXPECT_EQ(w.State(0), OSA::MOTOR_STRT);
    w.Scan({3.0, 3.0});
    EXPECT_EQ(w.State(0), OSA::MOTOR_RUN);
    EXPECT_EQ(w.State(1), OSA::PARKED);
    // A positive distance runs the motor backward.
    EXPECT_EQ(w.m_Motor, std::vector<std::string>{"A-"});
    w.Scan({3.0, 3.0}, 20);
    EXPECT_EQ(w.State(1), OSA::PARKED);
    // A arrives: the average falls below 0.95, the motor stops, A measures again.
    w.Scan({0.0, 3.0}, 40);
    EXPECT_EQ(w.State(0), OSA::MEASURE_50);
    EXPECT_EQ(w.m_Motor.back(), "A0");
    w.Scan({0.0, 3.0}, 50);
    EXPECT_EQ(w.State(0), OSA::DONE);
    w.Scan({0.0, 3.0}, 2);
    EXPECT_EQ(w.State(1), OSA::MOTOR_RUN);
    EXPECT_EQ(w.m_Motor.back(), "B-");
}

TEST(AlignmentStates, StartDistancesDecideAtOnce)
{
    struct {
        double m_dDistance;
        int32_t m_iState;
    } cases[] = {{0.04, OSA::DONE}, {-0.04, OSA::DONE}, {1500.0, OSA::FAILED}, {-1500.0, OSA::FAILED}};
    for (const auto& t : cases) {
        CWalk w(1);
        w.Scan({t.m_dDistance}, 53);
        EXPECT_EQ(w.State(0), t.m_iState) << t.m_dDistance;
        EXPECT_TRUE(w.m_Osa.IsFinished());
    }
    CWalk w(1);
    w.Scan({-2.0}, 52);
    EXPECT_EQ(w.m_Motor, std::vector<std::string>{"A+"}) << "negative distance: forward";
}

TEST(AlignmentStates, OvershootStopsOnlyAfterTheThirteenthFlippedScan)
{
    CWalk w(1);
    w.Scan({3.0}, 52);
    ASSERT_EQ(w.State(0), OSA::MOTOR_RUN);
    w.Scan({-1000.0}, 12); // the average flips with the first of these
    EXPECT_EQ(w.State(0), OSA::MOTOR_RUN);
    EXPECT_EQ(w.m_Motor.size(), 1u);
    w.Scan({-1000.0});
    EXPECT_EQ(w.State(0), OSA::DONE);
    EXPECT_EQ(w.m_Motor.back(), "A0");
}

TEST(AlignmentStates, ShortMovesLast200Or2000Ms)
{
    for (const double d : {1.5, 2.5}) {
        CWalk w(1);
        w.m_Osa.m_Sleep = [](uint32_t) { ADD_FAILURE() << "no wait when the next block comes in time"; };
        OSA::CCamera& c = w.m_Osa.m_Cameras[0];
        c.m_eState = OSA::MOTOR_XSEC;
        c.m_dMoveDistance = d;
        c.m_bMotorRunning = true;
        c.m_dwTimeStamp = 1000;
        const uint32_t iRun = d > 2.0 ? 2000 : 200;
        w.m_iNow = 1000 + iRun - 22; // the next scan comes 20 ms later
        w.Scan({d});
        EXPECT_EQ(w.State(0), OSA::MOTOR_XSEC) << d;
        EXPECT_TRUE(w.m_Motor.empty()) << d;
        w.Scan({d}, 1, 2);
        EXPECT_EQ(w.State(0), OSA::MEASURE_50) << d;
        EXPECT_EQ(w.m_Motor, std::vector<std::string>{"A0"}) << d;
    }
}

TEST(AlignmentStates, AShortMoveEndsOnItsTimeWhenTheNextBlockWouldComeLate)
{
    // Blocks every 50 ms: the one 50 ms before the end of a 200 ms move waits
    // those 50 ms and stops, rather than leave the move to the next block,
    // which may come late.
    CWalk w(1);
    std::vector<uint32_t> waits;
    w.m_Osa.m_Sleep = [&waits](uint32_t iMs) { waits.push_back(iMs); };
    w.Scan({1.5}, 1, 50);
    OSA::CCamera& c = w.m_Osa.m_Cameras[0];
    c.m_eState = OSA::MOTOR_XSEC;
    c.m_dMoveDistance = 1.5;
    c.m_bMotorRunning = true;
    c.m_dwTimeStamp = w.m_iNow;
    w.Scan({1.5}, 2, 50);
    EXPECT_EQ(w.State(0), OSA::MOTOR_XSEC);
    EXPECT_TRUE(waits.empty());
    w.Scan({1.5}, 1, 50);
    EXPECT_EQ(waits, std::vector<uint32_t>{50});
    EXPECT_EQ(w.State(0), OSA::MEASURE_50);
    EXPECT_EQ(w.m_Motor, std::vector<std::string>{"A0"});
}

// The step variant on a motor of its own ratio: steps are positioned moves
// the motor makes at 0.02 units per scan; the camera sees d0 + ratio x position.
TEST(AlignmentSteps, StepsLearnTheMotorAndEndWhereTheyShould)
{
    struct {
        const char* m_szName;
        double m_dStart, m_dRatio;
        bool m_bStuck;
        int32_t m_iState;
        const char* m_szError;
    } cases[] = {
        {"motor as nominal", -3.0, 1.0, false, OSA::DONE, ""},
        {"weaker motor", 4.0, 0.7, false, OSA::DONE, ""},
        {"stronger motor overshoots once", -2.0, 1.6, false, OSA::DONE, ""},
        {"stuck motor", -3.0, 1.0, true, OSA::FAILED, "no movement detected"},
        {"motor wired the other way", 2.0, -1.0, false, OSA::FAILED, "moving in wrong direction"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CWalk w(1);
        w.m_Osa.m_bStepVariant = true;
        double dPosition = 0.0, dTarget = 0.0;
        int32_t iSteps = 0;
        w.m_Osa.m_Step = [&](int32_t, double dUnits) {
            dTarget = dPosition + dUnits;
            ++iSteps;
            return 0;
        };
        w.m_Osa.m_Position = [&](int32_t, double& d) {
            d = dPosition;
            return true;
        };
        for (int32_t i = 0; i < 20000 && !w.m_Osa.IsFinished(); ++i) {
            if (!t.m_bStuck)
                dPosition += std::clamp(dTarget - dPosition, -0.02, 0.02);
            w.Scan({t.m_dStart + t.m_dRatio * dPosition});
        }
        EXPECT_EQ(w.State(0), t.m_iState);
        EXPECT_EQ(w.m_Osa.m_Cameras[0].m_szError, t.m_szError);
        if (t.m_iState == OSA::DONE) {
            EXPECT_LE(std::fabs(t.m_dStart + t.m_dRatio * dPosition), 0.05);
            EXPECT_LE(iSteps, 4);
        }
    }
}

TEST(AlignmentStates, MotorThatDoesNotMoveOrMovesAwayFails)
{
    {
        // Stuck: the distance stays where it was however long the motor runs.
        CWalk w(1);
        w.Scan({5.0}, 52);
        ASSERT_EQ(w.State(0), OSA::MOTOR_RUN);
        w.Scan({5.0}, 400, 20);
        EXPECT_EQ(w.State(0), OSA::FAILED);
        EXPECT_EQ(w.m_Osa.m_Cameras[0].m_szError, "no movement detected");
        EXPECT_EQ(w.m_Motor.back(), "A0");
    }
    {
        // Wired the wrong way round: the distance grows past the limit.
        CWalk w(1);
        w.Scan({2.0}, 52);
        w.Scan({20.0}, 30);
        EXPECT_EQ(w.State(0), OSA::FAILED);
        EXPECT_EQ(w.m_Osa.m_Cameras[0].m_szError, "moving in wrong direction");
    }
    {
        // A later camera carries on after an earlier one failed.
        CWalk w(2);
        w.Scan({1500.0, 0.0}, 54);
        EXPECT_EQ(w.State(0), OSA::FAILED);
        EXPECT_EQ(w.State(1), OSA::DONE);
    }
}

TEST(AlignmentStates, StatusLinesPerScan)
{
    CWalk w(2);
    w.m_Osa.m_iLastBytes = 21600;
    w.Scan({0.5, -0.25}, 3);
    ASSERT_EQ(w.m_Osa.m_StatusLines.size(), 3u);
    EXPECT_EQ(w.m_Osa.m_StatusLines[0], "   21600 bytes,  20 msec, KPlateDiff[0]  0.00, KPlateDiff[1]  0.00");
    EXPECT_EQ(w.m_Osa.m_StatusLines[1], "  A:  0.50,  0.50 MEASURE_ST (1) ");
    EXPECT_EQ(w.m_Osa.m_StatusLines[2], "  B:  0.25, -0.25 MEASURE_ST (1) ");
}

TEST(AlignmentAnalysis, ProfilesWithoutCamerasOrMarksAreErrors)
{
    OSA osa(nullptr);
    std::array<int32_t, 8> none{};
    const std::vector<uint8_t> flat(21600, 128);
    EXPECT_NE(osa.AnalyzeProfile(flat, none, 600), 0);
    std::array<int32_t, 8> four{5400, 5400, 5400, 5400};
    EXPECT_NE(osa.AnalyzeProfile(flat, four, 600), 0);
    EXPECT_FALSE(osa.m_bMeasured[0]);
    // More camera pixels than the line holds: refused, not read past.
    std::array<int32_t, 8> eight{5400, 5400, 5400, 5400, 5400, 5400, 5400, 5400};
    EXPECT_NE(osa.AnalyzeProfile(flat, eight, 600), 0);
    OSA nine(nullptr);
    nine.SetCameraCount(9);
    EXPECT_EQ(nine.CameraCount(), 8);
}

TEST(StitchWire, Classes)
{
    struct {
        double w1, w2, w3, r;
        int32_t m_iClass;
    } cases[] = {
        {-1, -1, 5, 3, -1}, {5, -1, -1, 3, -1}, {-1, 6, 4, 3, 0}, {4, 6, -1, 3, 0}, {8, 6, 4, 3, 1},
        {8, 6, 2, 3, 2},    {8, 4, 6, 3, 3},    {2, 4, 6, 3, 4},  {4, 5, 6, 3, 5},  {5, 5, 5, 3, -2},
    };
    for (const auto& t : cases)
        EXPECT_EQ(OSA::ClassifyStitchWire(t.w1, t.w2, t.w3, t.r), t.m_iClass) << t.w1 << " " << t.w2 << " " << t.w3;
    CTempDir dir;
    OSA osa(nullptr);
    osa.m_szDataDirectory = dir.Path();
    const std::vector<uint8_t> profile(100, 7);
    EXPECT_EQ(osa.ClassifyStitchWire(1, 0, 5, 5, 5, 3, profile), -1);
    const std::string szFile = ReadFileBytes(dir.File("XStitchWire_FailCase.con"));
    EXPECT_EQ(szFile.rfind("[test]", 0), 0u);
    EXPECT_EQ(szFile.substr(szFile.size() - 100), std::string(100, '\7'));
}

// ---- whole runs on the simulated scanner

// The motors turn on the simulated clock while scans come as fast as the host
// makes them, so a quick host takes several times the scans of a slow one to
// the same end (3000 to 12000 seen): the cap is only a guard against a run
// that never ends.
CRunResult Align(const CTempDir& dir, const std::string& szScenario, const std::vector<std::string>& extra = {})
{
    WriteFileBytes(dir.File("scenario.ini"), szScenario);
    std::vector<std::string> args = {"scanner", "align", "--json", "--time-scale", "5", "--data-dir", dir.Path(),
                                     "--max-scans", "100000"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(BinPath("lumora-cli"), args, {"LUMORA_SIM_CONFIG=" + dir.File("scenario.ini")});
}

const std::string kCalibration = "[Device]\nTimeScale=5\n[Paper]\nInitial=ready\nMotorSpeed=200\n"
                                 "[Sheet]\nKind=calibration\n[Noise]\nSigma=1\n";

TEST(AlignmentRun, CamerasEndAlignedAndTheStitchPictureIsWritten)
{
    CTempDir dir;
    const CRunResult r = Align(dir, kCalibration + "[Camera.A]\nOffsetX=2.5\n[Camera.C]\nOffsetX=-1.5\n");
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    for (const char c : {'A', 'B', 'C', 'D'})
        EXPECT_NE(r.m_szOut.find(std::string("\"camera\": \"") + c + "\",\n      \"state\": \"DONE\""),
                  std::string::npos)
            << r.m_szOut;
    EXPECT_TRUE(std::filesystem::exists(dir.File("_X-Stitch.tif")));
    EXPECT_NE(r.m_szOut.find("\"stitch_picture\": \"" + dir.File("_X-Stitch.tif") + "\""), std::string::npos);
    // The width table: its path in the answer, a row per analysed scan.
    EXPECT_NE(r.m_szOut.find("\"camera_width_csv\": \"" + dir.File("CameraWidth.csv") + "\""), std::string::npos);
    const std::string szCsv = ReadFileBytes(dir.File("CameraWidth.csv"));
    EXPECT_EQ(szCsv.rfind("sep=;\n[msec]; A; ", 0), 0u) << szCsv.substr(0, 200);
    EXPECT_GT(std::count(szCsv.begin(), szCsv.end(), '\n'), 100);
}

TEST(AlignmentRun, FaultsEndInTheirRecordedError)
{
    struct {
        const char* m_szName;
        std::string m_szScenario;
        const char* m_szExpected;
    } cases[] = {
        {"stuck motor", kCalibration + "[Camera.B]\nOffsetX=4\nMotorStuck=1\n",
         "\"error\": \"no movement detected\""},
        {"no calibration sheet", "[Paper]\nInitial=ready\n[Sheet]\nKind=flat\n[Noise]\nSigma=1\n",
         "Stitch and Alignment failed."},
        {"no data after the first block", kCalibration + "[Faults]\nStallEvery=1\nStallMs=100000000\n",
         "No data in last scan."},
        {"no cameras", kCalibration + "[Model]\nCameras=0\n", "alignment needs 1 to 8"},
    };
    for (const auto& t : cases) {
        CTempDir dir;
        const CRunResult r = Align(dir, t.m_szScenario);
        EXPECT_EQ(r.m_iExit, 1) << t.m_szName << r.m_szErr;
        EXPECT_NE((r.m_szOut + r.m_szErr).find(t.m_szExpected), std::string::npos)
            << t.m_szName << "\n" << r.m_szOut << r.m_szErr;
    }
}

} // namespace
