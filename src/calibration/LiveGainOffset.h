#pragma once
// Live analog gain/offset calibration: while the scanner scans continuously,
// every block is measured and, when a step is due, each camera's offset
// (black level) and gain (white level) of every colour and odd/even channel
// move one step toward their targets and the whole set goes back to the
// scanner. One CLiveGainOffset_Data per CIS resolution mode keeps the
// parameters and the state, so a scanner with several sensor modes is
// calibrated mode by mode.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scanner/CalibrationLibrary.h"

class CScanner;
class CContScan;

// States of one mode (gray or colour) of a data object.
enum ELgoState : int32_t {
    LGO_STATE_IDLE = 0,
    LGO_STATE_LEARNING_SETUP = 1,
    LGO_STATE_LEARNING = 2,
    LGO_STATE_CALIBRATING = 3,
};

// Index of the per-mode arrays: gray first, then colour.
enum ELgoMode : int32_t { LGO_MODE_GRAY = 0, LGO_MODE_COLOR = 1 };

// One received continuous-scan block as the loop needs it. Planes hold
// m_iLines rows of m_iPixelsPerLine samples each (gray blocks in the green
// plane); m_LampOff says which rows were scanned with the lamp off (those
// give the black level, the others the white level).
struct CLgoBlock {
    int32_t m_iDPI = 0;
    int32_t m_iMode = 2; // 2 gray, 3 colour
    int32_t m_iReceived = 0;
    int32_t m_iLines = 0;
    int32_t m_iPixelsPerLine = 0;
    std::array<int32_t, 8> m_CameraPixels{};
    std::array<const uint8_t*, 3> m_pPlanes{};
    std::array<size_t, 3> m_iPlaneSize{};
    std::vector<uint8_t> m_LampOff;

    // The block the continuous scan holds now; rows are told lamp-on or
    // lamp-off from their scan line number and the scan's light-off flags.
    static CLgoBlock FromContScan(const CContScan& scan);
    // The sample of a plane, -1 outside what the block holds.
    int32_t Sample(int32_t iColor, int32_t iRow, int32_t x) const;
};

// The scanner facts the rules depend on, taken once from the scanner.
struct CLgoScannerKind {
    int32_t m_iType = 0;
    bool m_bGroupA = false, m_bGroupB = false, m_bGroupD = false;
    static CLgoScannerKind From(CScanner& scanner);
};

// Levels measured in one camera and colour: odd and even channel of the
// black (lamp off) and white (lamp on) rows, and the four interleaved phase
// means the learning watches. -1 = not measured yet.
struct CLgoLevels {
    double m_dBlack[2] = {-1, -1}; // odd, even
    double m_dWhite[2] = {-1, -1};
    double m_dPhase[4] = {-1, -1, -1, -1};
    int64_t m_iBlackCall = -1, m_iWhiteCall = -1; // owner's call count when measured
};

class CLiveGainOffset_Data {
public:
    CLiveGainOffset_Data(const CLgoScannerKind& kind, int32_t iDPI);

    // The older one-camera step: even channel first, then odd. Returns 0 or
    // the program error it raised (the camera is then marked failed).
    int32_t Do(int32_t iCamera, int32_t iColor, int32_t iBlackOdd, int32_t iWhiteOdd, int32_t iBlackEven,
               int32_t iWhiteEven);
    // The newer one-camera step for 5-bit gains.
    int32_t DoCalibrateOneCameraOneStep(int32_t iCamera, int32_t iColor, int32_t iBlackOdd, int32_t iWhiteOdd,
                                        int32_t iBlackEven, int32_t iWhiteEven, int32_t iSequence);
    // Gains and offsets of the handled colours to their start values.
    void InitGainOffset(int32_t iCamera, int32_t iColor, int32_t iGain, int32_t iOffset);
    void LogData(int32_t iIndexMode) const;
    static int32_t ModeIndex(int32_t iColor) { return iColor == 3 ? LGO_MODE_GRAY : LGO_MODE_COLOR; }
    int32_t Step(int32_t iColor) const { return m_iStep[ModeIndex(iColor)]; }

    int32_t m_iDPI = -1;
    int32_t m_iCallDelay[2] = {-1, -1};
    int32_t m_iStep[2] = {64, 64};
    int32_t m_iDataWidth = 100;
    bool m_bFirstUse[2] = {true, true};
    int32_t m_iBlack_Target = 10;
    int32_t m_iBlack_Done_Limit = 4;
    int32_t m_iBlack_MaxAllowed = 30;
    bool m_bOffsetFrozen = false;
    int32_t m_iWhite_Target = 200;
    int32_t m_iWhite_Done_Limit = 7;
    int32_t m_iWhite_MinAllowed = 180;
    bool m_bCheckLimits = true;
    int32_t m_iBlack_SumDiff = 0, m_iWhite_SumDiff = 0;
    bool m_CheckAndSetGobalCameraFailedNow = false;
    CGainOffset m_GainOffset;
    int32_t m_iEvenIndex_Offset[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    // Learning: the phase means at set-up per camera and colour, and whether
    // the channel was set up inverted.
    double m_dLearning[8][4][4] = {};
    bool m_bInverted[8][4] = {};
    bool m_bDecided[8][4] = {};
    int32_t m_iState[2] = {LGO_STATE_IDLE, LGO_STATE_IDLE};
    bool m_bDone[2] = {true, true};
    // Calibration steps run per mode (m_bDone means something only after one).
    int32_t m_iSteps[2] = {0, 0};
    CLgoScannerKind m_Kind;
    // Cameras this object marked failed with the error each raised, and the
    // first error it raised.
    std::array<bool, 8> m_bCameraFailed{};
    std::array<int32_t, 8> m_iCameraError{};
    int32_t m_ErrorNo = 0;

private:
    int32_t Fail(int32_t iCamera, int32_t iNumber);
    int32_t CheckLimits(int32_t iCamera, int32_t iColor, int32_t iOddEven, int32_t iBlack, int32_t iWhite, bool bDone);
    int16_t* Words(int32_t iCamera, int32_t iColor)
    {
        return m_GainOffset.m_Cameras[static_cast<size_t>(iCamera)].m_Words[iColor];
    }
};

class CLiveGainOffset {
public:
    // Camera count outside 1..8 or a camera narrower than the measuring
    // windows: nothing can be measured.
    static constexpr int32_t kErrCameraLayout = -30;
    // Setup calls before learning starts.
    static constexpr int32_t kSetupCalls = 100;
    // Learning calls before a channel may be decided.
    static constexpr int32_t kMinLearningCalls = 15;
    // The block's resolution is none of the scanner's modes.
    static constexpr int32_t kErrNoMode = -32;

    explicit CLiveGainOffset(CScanner* pScanner);
    ~CLiveGainOffset();

    // Once per received block. Returns 0 or the error of this call (also
    // kept in m_ErrorNo until a later call raises another).
    int32_t Do(const CLgoBlock& block);
    CLiveGainOffset_Data* GetData(const CLgoBlock& block);
    // One calibration step of every handled camera: the newer form (5-bit
    // gains, sequence-numbered writes) and the older one.
    int32_t DoCalibrateAllCamerasOneStep(const CLgoBlock& block);
    int32_t DoCalibrateAllCamerasOneStep_Old(const CLgoBlock& block);
    void LogCounters(const CLgoBlock& block);

    // True once the mode of the block's resolution has finished a step in
    // which every channel was done.
    bool IsCalibrated(int32_t iDPI, int32_t iMode) const;
    const CLiveGainOffset_Data* FindData(int32_t iDPI) const;
    // The last measured levels of a camera and colour.
    const CLgoLevels& Levels(int32_t iCamera, int32_t iColor) const
    {
        return m_Levels[static_cast<size_t>(iCamera & 7)][iColor & 3];
    }
    // The final pass: the next call runs a step whatever the delay, and
    // every channel still off target fails with 978.
    void SetFinalPass(bool b);

    // ---- counters
    int64_t m_iCall_Do = 0;
    int64_t m_iCall_EmptyBuffer = 0;
    int32_t m_iCall_LastDPI = -1;
    int32_t m_iCall_LastMode = -1;
    int64_t m_iCall_SetupWait = 0;
    int64_t m_iCall_Learning = 0;
    int64_t m_iCall_Calibrating = 0;

    // ---- settings
    bool m_bSingleCamera = false;
    int32_t m_iSingleCamera = 0;
    // Overrides: data width <= 0, the others < 0 keep the default.
    int32_t m_iOverride_DataWidth = 0;
    int32_t m_iOverride_Black_Target = -1, m_iOverride_Black_Done_Limit = -1, m_iOverride_Black_MaxAllowed = -1;
    int32_t m_iOverride_White_Target = -1, m_iOverride_White_Done_Limit = -1, m_iOverride_White_MinAllowed = -1;
    // Gray mode at this resolution reads four interleaved phases, two per
    // channel (0 = no such mode).
    int32_t m_iReferenceDPI = 0;
    // Final check after "Analog calibration done".
    bool m_bFinalCheck = true;
    int32_t m_iSaturationLimit = 254;
    // 0: the sheet under the cameras need not be white everywhere (the
    // calibration card is dark but for its stitch areas).
    int32_t m_iProfileMinimum = 0;
    int32_t m_iSegmentLength = 256;
    // The highest segment mean of the final check per camera and colour and
    // its pixel range.
    struct CSegmentPeak {
        int32_t m_iLevel = -1, m_iFirst = 0, m_iLast = 0;
    };
    std::array<std::array<CSegmentPeak, 4>, 8> m_Peaks{};

    // Scanner facts: taken from the scanner when there is one (tests and
    // replays without a scanner set them).
    CLgoScannerKind m_Kind;
    // 1: the newer step form (5-bit gains), 0: the older, -1: ask the scanner
    // (inquiry page 0xC6 byte 88 = 2 is the newer analog front end).
    int32_t m_iNewerForm = -1;
    // Every set written, and the last one (also without a scanner).
    int64_t m_iWrites = 0;
    CGainOffset m_LastWritten;

    int32_t m_iSequence = 0;
    std::vector<std::unique_ptr<CLiveGainOffset_Data>> m_Data;
    int32_t m_ErrorNo = 0;
    std::array<bool, 8> m_bCameraFailed{};
    std::array<int32_t, 8> m_iCameraError{};

private:
    bool Handled(int32_t iCamera) const { return !m_bSingleCamera || iCamera == m_iSingleCamera; }
    int32_t CameraCount(const CLgoBlock& block) const;
    bool Measure(const CLgoBlock& block, CLiveGainOffset_Data& data);
    void LearningSetup(const CLgoBlock& block, CLiveGainOffset_Data& data);
    void LearningStep(const CLgoBlock& block, CLiveGainOffset_Data& data);
    int32_t CalibrateAll(const CLgoBlock& block, CLiveGainOffset_Data& data, bool bNewer);
    void FinalCheck(const CLgoBlock& block, CLiveGainOffset_Data& data);
    int32_t Raise(int32_t iError);

    CScanner* m_pScanner;
    int32_t WriteSet(CLiveGainOffset_Data& data, bool bNewer);
    bool m_bFinalPass = false;
    int64_t m_iSetupCall = -1;
    std::array<std::array<CLgoLevels, 4>, 8> m_Levels{};
    // The last lamp-on row of every plane, for the final check.
    std::array<std::vector<uint8_t>, 3> m_LastWhiteRow;
    std::array<int32_t, 8> m_LastWhiteCameras{};
};
