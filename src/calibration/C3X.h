#pragma once
// C3X: the camera layout finder. It reads light profiles of the calibration
// target (one averaged scan row per colour, the raw line with every camera's
// dark reference pixels) and finds, per camera and side, the bright stitch
// area, the stitch mark (a pair of dark wires) and, in C3X_KPlate, the
// K-plates at both ends of the scan line. From these it derives each
// camera's start and stop pixel.
//
// Every finder reports into one error table (first error per camera and side
// wins) and returns the code it set, so a caller runs them all and then asks
// what failed. Program errors are not shown here: the finder keeps the number
// in m_iProgramError and the caller reports it.
//
// Coordinates: profiles are whole lines, so windows and found centres are
// line pixels; the layout's start/stop and K-plate values are the own pixels
// of their camera (0 = its first dark reference pixel), as the scanner keeps
// them.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class CScanner;

enum E3XSide : int32_t { X3_LEFT = 0, X3_RIGHT = 1, X3_MIDDEL = 2 };

struct C3XLayout {
    static constexpr int32_t kMaxCameras = 8;
    int32_t m_iDPI = 600;
    int32_t m_iCameraCount = 0;
    int32_t m_iKPlateStart[2] = {}; // own pixels of camera A (left) and of the last camera (right)
    int32_t m_iKPlateStop[2] = {};
    int32_t m_iStart_Calc[kMaxCameras] = {};
    int32_t m_iStop_Calc[kMaxCameras] = {};
    // Last dark reference pixel at the start of each camera (own pixels);
    // the same count of dark pixels closes the camera at its end.
    int32_t m_iBlackPixelStop[kMaxCameras] = {};
    int32_t m_iCameraPixels[kMaxCameras] = {}; // whole row, dark pixels included
    int32_t m_iBlackStop = 0;                  // the black-pixel stop common to the cameras

    // First line pixel of camera c in a raw line.
    int32_t CameraOffset(int32_t c) const;
    // Dark pixels at each end of camera c.
    int32_t DarkPixels(int32_t c) const;
    int32_t ActivePixels(int32_t c) const { return m_iCameraPixels[c] - 2 * DarkPixels(c); }
    // Fills pixel counts and dark pixels for a raw line of equal cameras.
    void SetCameras(int32_t iCameras, int32_t iPixelsPerCamera, int32_t iDarkPixels, int32_t iDpi);
};

// What a finder marks on the profile for the oscilloscope display.
struct C3XMark {
    enum EKind : int32_t { WINDOW_START, WINDOW_END, CENTER, LINE };
    EKind m_eKind = CENTER;
    double m_dX = 0.0; // line pixel
    int32_t m_iCamera = 0;
    int32_t m_iSide = 0;
};

class C3X {
public:
    static constexpr int32_t kMaxCameras = C3XLayout::kMaxCameras;
    static constexpr int32_t kSides = 3;
    enum E3XError : int32_t {
        ERROR_3X_NONE = 0,
        ERROR_3X_X_NOT_FOUND = 1,
        ERROR_3X_K_NOT_FOUND = 2,
        ERROR_3X_SWU_NOT_FOUND = 3,
        ERROR_3X_FOCUS_NOT_FOUND = 4,
        ERROR_3X_UNKNOWN = 5,
    };
    static const char* ErrorName(int32_t iCode);

    C3X();
    virtual ~C3X() = default;

    // Records iCode for the camera and side unless one is there already;
    // becomes the last error either way. Returns the last error.
    int32_t SetError(int32_t iCode, int32_t iCamera, int32_t iSide);
    void ReSet();
    int32_t GetError(int32_t iCamera, int32_t iSide) const;
    int32_t LastError() const { return m_iLastError; }
    // The first recorded error of the cameras in use, or 0.
    int32_t AnyError() const;

    int32_t Find_Rough_X(std::span<const uint8_t> profile, int32_t iCamera, int32_t iSide, int32_t iFirst,
                         int32_t iLast);
    int32_t Find_SWU(std::span<const uint8_t> profile, int32_t iCamera, int32_t iSide, int32_t iFirst, int32_t iLast);

    // Windows the rough finder searches for a camera side in a raw line
    // (false for a side the camera does not have: camera A's left, the last
    // camera's right).
    bool RoughWindow(int32_t iCamera, int32_t iSide, int32_t iLineLength, int32_t& iFirst, int32_t& iLast) const;
    // Rough finder then stitch-mark finder on every side of every camera.
    int32_t FindAllStitchMarks(std::span<const uint8_t> profile);

    // Derives start and stop of every camera from the stitch marks and the
    // K-plates and checks them; on a failed check shows its message, raises
    // the program error and changes nothing in the scanner. 0 when all pass.
    int32_t Set_Classic_OAP_Start_Stop();
    // Reads the scanner's start/stop values, logs them against the middle
    // references and refuses (997) when not all are found.
    int32_t CutToPicSize(CScanner& scanner);
    // The stitch pixels the scanner's configuration manager asks for.
    void SetStitchPixels(int32_t iPixels);

    // ---- state the finders share
    std::array<std::array<int32_t, kSides>, kMaxCameras> m_eErrors{};
    int32_t m_iLastError = ERROR_3X_NONE;
    // Stitch mark centres (line pixels), 0 = not found.
    double m_dGroup_Center[kMaxCameras][kSides] = {};
    double m_dLastCenter = 0.0;
    int32_t m_iRoughStart[kMaxCameras][kSides] = {};
    int32_t m_iRoughStop[kMaxCameras][kSides] = {};
    C3XLayout m_Layout;
    C3XLayout* m_ptrLayout = &m_Layout;
    bool m_bNoStitchArea = false;
    bool m_bTypeGroupB = false;
    bool m_bTypeGroupD = false;
    int32_t m_iStitchPixels = 16;
    int32_t m_iProgramError = 0; // number of the last program error raised
    std::vector<C3XMark> m_Marks;

protected:
    void Mark(C3XMark::EKind eKind, double dX, int32_t iCamera, int32_t iSide)
    {
        m_Marks.push_back({eKind, dX, iCamera, iSide});
    }
    bool CheckCameraIndex(int32_t iCamera, int32_t iSide) const
    {
        return iCamera >= 0 && iCamera < kMaxCameras && iSide >= 0 && iSide < kSides;
    }
    int32_t Raise(int32_t iNumber);
};

// The K-plate half: plate positions at both ends, the line pattern and the
// patch intensities.
class C3X_KPlate : public C3X {
public:
    static constexpr int32_t kLines = 3;
    static constexpr int32_t kColors = 3; // 0 red, 1 green, 2 blue (gray profiles: green)

    // The profiles Find_Lines and DetectKPlates look at; empty colours are
    // skipped.
    void SetProfiles(std::span<const uint8_t> red, std::span<const uint8_t> green, std::span<const uint8_t> blue);
    void SetProfile(std::span<const uint8_t> gray) { SetProfiles({}, gray, {}); }

    int32_t Find_Position(std::span<const uint8_t> profile, int32_t iSide);
    int32_t Find_Lines(int32_t iCamera, int32_t iColor, int32_t iSide, int32_t iStart, int32_t iStop, int32_t iLimit);
    // Finds both plates and their lines in every colour; raises 983 when a
    // plate's lines are missing.
    int32_t DetectKPlates();
    // A new block: true with the profiles set (through SetProfiles), false
    // when the scanner delivered nothing.
    using CScanSource = std::function<bool(C3X_KPlate&)>;
    int32_t Find_WhitePatchIntensity(const CScanSource& scan);
    // Checks the K-plate positions against what the scanner holds, fixes a
    // wrong one and writes the stitch positions of the inner cameras.
    int32_t Save_StartStop(CScanner& scanner);
    // Shifts every start/stop by the difference between the plate found now
    // and the stored one, at the scan resolution.
    int32_t CorrectImagePixelStartStop(int32_t iScanDpi);

    // Where the K-plate's lines lie inward from the scan line's end, inches.
    static double NominalLineInch(int32_t iLine) { return 0.10 + (2.0 * iLine + 0.5) / 75.0; }

    std::array<std::vector<uint8_t>, kColors> m_Profiles;
    int32_t m_iKPlateDPI = 600;
    int32_t m_iKLimit[2] = {};
    int32_t m_iStart_Camera_A = 0, m_iStop_Camera_A = 0;
    int32_t m_iStart_EndCamera = 0, m_iStop_EndCamera = 0;
    double m_dKPlateDiff[2] = {};
    double m_dLines_Center[2][kColors][kLines] = {};
    double m_dLines_Start[2][kColors][kLines] = {};
    double m_dLines_Stop[2][kColors][kLines] = {};
    int32_t m_iLinesFound[2][kColors] = {};
    double m_dWhitePatchIntensity_Sum[2][kColors] = {};
    int32_t m_iWhitePatchIntensity_Count[2][kColors] = {};
    double m_dBlackPatchIntensity_Sum[2][kColors] = {};
    int32_t m_iBlackPatchIntensity_Count[2][kColors] = {};
    double m_dKPlateBlackMaxVal = 60.0;
    int32_t m_iBlackLevelIsStableCount = 3;
    int32_t m_iMaxPatchScans = 20;
    // The K-plate centre stored with the start/stop values (own pixels of
    // camera A at m_iDPI), for CorrectImagePixelStartStop; -1 = none.
    int32_t m_iStoredKPlateCenter = -1;
};
