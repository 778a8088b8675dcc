#pragma once
// The one model of the simulated cameras. Every answer about pixels (the
// pixel-range query, the camera pixel counts, the line width in the status
// block) and every rendered line come from a CLayout, so they cannot
// disagree.
//
// A camera's row has covered dark reference pixels at both ends and active
// pixels between them. Neighbouring cameras see an overlapping stretch of the
// sheet (the stitch area). Sheet positions are in 1/1200 inch; x runs along
// the scan line from the first active pixel of camera A, y along the sheet
// from its top edge.
#include <array>
#include <cstdint>
#include <vector>

namespace sim {

constexpr int kMaxCameras = 8;

struct CScenario;
struct CDevice;

// One camera as the delivered line sees it, at the window's resolution.
struct CCameraView {
    int32_t m_iPixels = 0;          // whole row, dark reference pixels included
    int32_t m_iDark = 0;            // covered pixels at each end
    int32_t m_iFrom = 0, m_iTo = 0; // own pixels the stitched line takes
    double m_dSheetX = 0.0;         // sheet x at the left edge of the first active pixel
    double m_dSheetPerPixel = 0.0;  // sheet width one pixel sees
    double m_dLineOffset = 0.0;     // sheet distance ahead of the nominal scan line
    double m_dTiltPerRow = 0.0;     // extra look-ahead per unit of sheet travel
    int32_t m_iDelay = 0;           // alignment delay in scan lines (buffer 0x22)
    int32_t m_iInLine = 0;          // first pixel of this camera in the delivered line
    int32_t m_iCountInLine = 0;     // its pixels in the delivered line
    int32_t m_iFirstOwn = 0;        // own pixel index of its first delivered pixel
    bool m_bFront = true;           // front row (A, C, ...) or rear row of a staggered sensor
};

struct CLayout {
    int32_t m_iCameras = 0;
    bool m_bStitched = false;
    int32_t m_iResolution = 0;
    std::array<CCameraView, kMaxCameras> m_Views{};
    int32_t m_iFullWidth = 0; // the whole line in this mode
    int32_t m_iFirst = 0;     // the window's first pixel in it
    int32_t m_iWidth = 0;     // pixels delivered
};

// The cameras as built, at the optical resolution: what the calibration sheet
// is printed for.
struct CNominal {
    int32_t m_iCameras = 1;
    int32_t m_iResolution = 600;
    int32_t m_iPixels = 0;  // per camera, dark pixels included
    int32_t m_iDark = 0;    // per end
    int32_t m_iOverlap = 0; // pixels
    double m_dActive = 0.0; // sheet width one camera's active pixels see
    double m_dPitch = 0.0;  // sheet distance from one camera's start to the next
    double m_dSheetWidth = 0.0;
    double Seam(int32_t i) const { return i * m_dPitch + (m_dActive - m_dPitch) / 2; } // between camera i-1 and i
    double Middle(int32_t c) const { return c * m_dPitch + m_dActive / 2; }
};

CNominal Nominal(const CScenario& s);
// Buffer 0x92 as a fresh device holds it: the middle of each overlap, seen
// from both cameras (own pixel indices at the optical resolution).
std::vector<uint8_t> DefaultStitchPositions(const CScenario& s);
// iLeft/iWidth in 1/1200 inch along the delivered line; a negative width
// takes the whole line.
CLayout MakeLayout(const CScenario& s, const CDevice& d, bool bStitched, int32_t iResolution, int64_t iLeft,
                   int64_t iWidth);

} // namespace sim
