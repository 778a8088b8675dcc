#pragma once
// Oscilloscope and MTF recordings: a ".con" header with the scanner's
// description, then raw 8-bit lines across all cameras (camera A first).
// Colour recordings interleave red, green and blue per pixel and are split
// into planes on reading; gray ones fill the green plane only.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int32_t OSC_MAX_CAMERAS = 8;
inline constexpr int32_t OSC_MTF_ARRAYS = 5;
inline constexpr int32_t OSC_MTF_WIDTH = 0, OSC_MTF_CENTER = 1, OSC_MTF_RED = 2;
// Nothing we record comes near this; a bigger data block is not believed.
inline constexpr int64_t OSC_MAX_DATA = int64_t(1) << 30;

struct COscRecording {
    std::string m_szFile;
    bool m_bMTF = false;
    bool m_bColorScanner = false;
    int32_t m_iColorCode = 4;          // "Color=" as read
    bool m_bColor = false;             // any colour code but 4
    int32_t m_iCameraUsed = 0;
    int32_t m_iCameraCount = 0;
    int32_t m_iScannerWidth = 0;       // 1/1200 inch, 0 when missing
    double m_dWidthFactor = 8.5;       // factor x 4.24 = width in inches
    bool m_bCorrected = false;
    std::string m_szDate, m_szTime, m_szScannerID, m_szScannerName;
    int32_t m_iScannerFamily = 5;
    std::array<int32_t, OSC_MAX_CAMERAS> m_CameraPix{};
    std::array<int32_t, 3> m_Magnification{};
    std::array<int32_t, 3> m_CenterLines{};
    int32_t m_iGeneration = 0;
    int32_t m_iFirmwareRevision = 0;

    // Plane 0 red, 1 green (or gray), 2 blue; each m_iLines x m_iPixelsPerLine.
    std::array<std::vector<uint8_t>, 3> m_Planes;
    int64_t m_iPixelsPerLine = 0;
    int64_t m_iLines = 0;
    // "[MTF]": five arrays after the line, one little-endian 32-bit value per
    // camera: scan width and centre deviation (1/100 pixel, OSC_MTF_WIDTH and
    // OSC_MTF_CENTER), then the modulation of the focus pattern in red, green
    // and blue (percent, OSC_MTF_RED + plane).
    std::array<std::vector<int32_t>, OSC_MTF_ARRAYS> m_MtfArrays;
    // The value of array a for camera c; 0 when the array is short.
    int32_t Mtf(int32_t a, int32_t c) const;

    bool IsGray() const { return !m_bColor; }
    bool Interleaved() const { return m_iColorCode == 3 || m_iColorCode == 254; }
    int32_t CamerasWithPixels() const; // cameras of the count with at least 10 pixels
    // Start of line iLine in the plane (0, 1, 2); null when out of range or the plane is empty.
    const uint8_t* Line(int32_t iPlane, int64_t iLine) const;
};

enum EOscReadOutcome {
    OSC_READ_LOADED,
    OSC_READ_RAWDEX,         // a packed raw dump: unpack, then read what it held
    OSC_READ_HAND_OVER,      // another viewer shows it (m_szViewer)
    OSC_READ_FAILED,         // m_szError names the file and the problem
};

struct COscReadResult {
    EOscReadOutcome m_eOutcome = OSC_READ_FAILED;
    std::string m_szViewer;               // "CNCTest_Dialog", "CView_LPF_Dialog"
    std::vector<std::string> m_Messages;  // "Missing Information:\n..." and notes, in order
    std::string m_szError;
};

// Decides by the first bytes what the file is and, for recordings, reads it.
// Never shows anything: the caller shows m_Messages and m_szError.
COscReadResult ReadOscilloscopeFile(const std::string& szFile, COscRecording& rec);
// Writes header and data atomically (the planes interleaved again for colour).
bool WriteOscilloscopeFile(const std::string& szFile, const COscRecording& rec, std::string* pError = nullptr);
