#pragma once
// COscilloscopeStitchAndAlignment: aligns the cameras while the scanner scans
// the calibration sheet continuously. Every block is analysed (stitch areas,
// stitch marks, K-plates), each camera's distance from where it should look
// is averaged over the last 50 blocks, and the camera's adjustment motor is
// driven until the distance is small. Cameras move one at a time, left to
// right.
//
// The distance of a camera (pixels at the scan resolution, signed):
// target minus found, taken at the camera's lens axis. The targets are the
// scanner's stitch positions (buffer 0x92: the middle of each overlap, own
// pixels) for the marks a camera shares with its neighbours, and for the mark
// beside its middle the sheet's own design (0.15 inch right of the middle of
// the active pixels). A straight line through the camera's deviations,
// evaluated at the middle of its active pixels, is the camera's shift along
// the scan line: a view that is too wide moves the outer marks apart
// symmetrically about the lens axis and leaves the shift alone. A positive
// distance means the camera looks too far right; running its motor forward
// moves its view right, so the motor runs forward when the distance is <= 0.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "calibration/C3X.h"
#include "calibration/CameraWidth.h"
#include "imaging/Picture.h"

class CScanner;
class CContScan;

class COscilloscopeStitchAndAlignment {
public:
    static constexpr int32_t kMaxCameras = 8;
    static constexpr int32_t kWindow = 50;
    static constexpr int32_t kMaxKept = 10;
    enum EState : int32_t {
        IDLE = 0, MEASURE_ST, PARKED, MOTOR_STRT, MOTOR_RUN, WAIT_1_SEC, MEASURE_50, MOTOR_XSEC, FAILED, ENDED, DONE
    };
    enum EMotorCommand : int32_t { MOTOR_FORWARD, MOTOR_BACKWARD, MOTOR_STOP };
    static const char* StateName(int32_t iState, bool bStepVariant = false);
    static bool IsFinal(int32_t iState) { return iState == FAILED || iState == ENDED || iState == DONE; }

    // pScanner may be null: the analysis alone (a recorded line), or a test
    // that drives the state machine through m_Motor and m_Tick.
    explicit COscilloscopeStitchAndAlignment(CScanner* pScanner);

    // Starts the continuous scan when none runs, then reads one block.
    // Ten empty blocks in a row raise 993.
    int32_t DoScan(CContScan& scan);
    // One cycle: scan, analyse, run the per-camera state machines.
    int32_t DoTest(CContScan& scan);
    // Analyses the block the scan holds: stitch marks, K-plates, and each
    // camera's measured distance (m_dMeasured, m_bMeasured). Returns the
    // first finder error, 0 when every camera was measured.
    int32_t Analyze(const CContScan& scan);
    // The same on a profile of one raw line (gray), for tests and recordings.
    int32_t AnalyzeProfile(std::span<const uint8_t> profile, const std::array<int32_t, 8>& cameraPixels, int32_t iDpi);
    // Feeds one scan's measurements to the averages and runs every camera's
    // state machine at time iNow (ms).
    void Step(const std::array<double, kMaxCameras>& measured, uint32_t iNow);
    // Reads the targets from the scanner (stitch positions); without a
    // scanner they follow the layout's overlap (SetTargets).
    int32_t ReadTargets();
    void SetTargets(const std::array<int32_t, kMaxCameras>& left, const std::array<int32_t, kMaxCameras>& right);
    // Every started motor stopped; cameras not yet final become ENDED.
    void StopAll();
    bool IsFinished() const;
    int32_t CameraCount() const { return m_iCameraCount; }
    void SetCameraCount(int32_t iCameras);
    // Writes "_X-Stitch.tif" into the data directory; returns the path
    // (empty on failure, reason in m_szError).
    std::string SaveStitchPicture();
    // Starts the camera width table: "CameraWidth.csv" in the data
    // directory, a row per analysed block from now on. Returns its path
    // (empty when it cannot be opened; reason in m_szError).
    std::string OpenCameraWidth();
    // Where the cameras lie for the width analysis, from the last analysis.
    CCameraWidthLayout WidthLayout() const;
    // Classification of one stitch wire from its three line widths.
    static int32_t ClassifyStitchWire(double w1, double w2, double w3, double r);
    // The same, saving the block as "XStitchWire_FailCase.con" when no case
    // applies.
    int32_t ClassifyStitchWire(int32_t iCamera, int32_t iSide, double w1, double w2, double w3, double r,
                               std::span<const uint8_t> profile);
    // Motor response check for a running camera: false when the motor turns
    // and the distance does not follow.
    bool CameraOapResponse(int32_t iCamera, uint32_t iNow);

    // ---- per camera
    struct CCamera {
        int32_t m_eState = IDLE;
        std::vector<double> m_Window; // last measurements (ring)
        size_t m_iNext = 0;
        double m_dDistance = 0.0, m_dSignedDistance = 0.0;
        int32_t m_iDirection = 0; // sign of the distance when the motor started
        bool m_bMotorRunning = false;
        int32_t m_iOvershoot = 0;
        int32_t m_iSamples = 0;
        uint32_t m_dwTimeStamp = 0;
        double m_dMoveDistance = 0.0;  // distance when the last move started
        double m_dStartValue = 0.0;    // for the response check
        int32_t m_iShortMoves = 0;
        std::string m_szError;         // why the camera failed or ended
        // Step variant: the move under way, in motor units, and where the
        // motor stood when it began.
        double m_dStepUnits = 0.0, m_dStepFrom = 0.0, m_dLastPosition = 0.0;
        bool m_bStepPending = false;   // the measurement of the last step is still to be learnt from
        double m_dPixelsPerUnit = 1.0; // what one motor unit moved the distance, learnt from every step
        int32_t m_ReverseAllowed = 3, m_ForwardAllowed = 3; // direction changes still allowed
    };
    std::array<CCamera, kMaxCameras> m_Cameras{};
    std::array<double, kMaxCameras> m_dWWW_Limit{};
    std::array<double, kMaxCameras> m_dAlignDiff_Pre{};
    std::array<double, kMaxCameras> m_dMeasured{};
    std::array<bool, kMaxCameras> m_bMeasured{};
    // Per stitch area (between camera i and i + 1); -10000 = unknown.
    std::array<double, kMaxCameras - 1> m_dInitialDiff{};
    std::array<double, kMaxCameras - 1> m_dCurrentDiff{};

    // ---- run data
    C3X_KPlate m_X;
    CScanner* m_pScanner;
    std::array<int32_t, kMaxCameras> m_iTargetLeft{}, m_iTargetRight{};
    bool m_bScanStarted = false;
    bool m_bNoScanRunning = true;
    bool m_bStepVariant = false;
    bool m_bFirstCycle = true;
    bool m_bPreAlignmentDone = false;
    int32_t m_iNoData = 0;
    int32_t m_iRetry = 0, m_iRetryLimit = 10;
    int32_t m_iScans = 0;
    int32_t m_iProgramError = 0;
    int32_t m_iLastBytes = 0;
    // Where the time goes: reading blocks and analysing them (nanoseconds, totals).
    int64_t m_iReadNs = 0, m_iAnalyzeNs = 0;
    int32_t m_iCameraCount = 0;
    double m_dWWW_LimitInit = 3.0;   // how far a camera may move away from its target
    uint32_t m_iNoMovementMs = 8000; // a running motor must show this soon
    double m_dNoMovementPixels = 0.3;
    int32_t m_iMaxShortMoves = 60;
    std::vector<std::string> m_StatusLines; // this scan's lines: header, then one per camera
    bool m_bStatusLines = true;             // false: made only for the log
    std::string m_szDataDirectory;          // empty: the program's state folder
    std::string m_szError;
    std::unique_ptr<CCameraWidth> m_pWidth;  // null: no width table
    std::vector<CPicture> m_Kept;           // scan pictures kept for the stitch picture
    std::vector<std::array<std::array<double, 3>, kMaxCameras>> m_KeptMarks;
    std::function<uint32_t()> m_Tick;                              // ms; steady clock by default
    std::function<int32_t(int32_t, EMotorCommand)> m_Motor;        // scanner drive commands by default
    std::function<void(uint32_t)> m_Sleep;                         // waits ms on m_Tick's clock
    // Step variant: a positioned move by motor units, and where a motor stands.
    std::function<int32_t(int32_t, double)> m_Step;
    std::function<bool(int32_t, double&)> m_Position;
    double m_TargetStopLimit = 0.05; // step variant: a camera this close is DONE
    double m_dMaxStepUnits = 200.0;  // step variant: the largest single move

private:
    bool MayMove(int32_t iCamera) const;
    void Average(int32_t iCamera, double dValue);
    void ResetCounters(CCamera& c);
    int32_t Motor(int32_t iCamera, EMotorCommand e);
    void StopMotor(int32_t iCamera);
    void Fail(int32_t iCamera, const std::string& szWhy);
    void RunCamera(int32_t iCamera, uint32_t iNow);
    void RunCameraStep(int32_t iCamera, uint32_t iNow);
    bool StartStep(int32_t iCamera, uint32_t iNow);
    bool ReadyToStart(int32_t iCamera);
    void FailNoMovement(int32_t iCamera);
    void PreAlignmentCheck();
    void StatusLines(uint32_t iElapsed);
    double Measure(int32_t iCamera, bool& bOk) const;
    std::vector<uint8_t> m_Profile;
    std::vector<uint32_t> m_Sums;
    std::vector<uint8_t> m_Means;
    std::array<int32_t, 8> m_CameraPixels{};
    std::array<std::array<double, 2>, kMaxCameras> m_StitchSum{};
    uint32_t m_iLastTick = 0;
    uint32_t m_iBlockMs = 0; // time between the last two blocks
};
