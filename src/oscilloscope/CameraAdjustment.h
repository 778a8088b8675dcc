#pragma once
// Camera adjustment of a recorded line: the recording describes a scanner
// (camera count, type, optical resolution) that a CScannerFixed stands in
// for, and the stitch-and-alignment engine measures each camera's distance
// from where it should look on the calibration sheet, as it would on a live
// block.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "oscilloscope/OscilloscopeRecording.h"
#include "scanner/ScannerVariants.h"

class COscilloscopeStitchAndAlignment;

struct COscAdjustResult {
    bool m_bRan = false;             // false: gray recording, or nothing to analyse
    int32_t m_iError = 0;            // the engine's first finder error, 0 = every camera measured
    int32_t m_iOpticalResolution = 0;
    int32_t m_iScannerType = 0;
    int32_t m_iCameraCount = 0;
    std::array<double, OSC_MAX_CAMERAS> m_dDistance{};  // pixels; positive: the camera looks too far right
    std::array<bool, OSC_MAX_CAMERAS> m_bMeasured{};
    // The scan width step (scanner types 5, 17, 28, 29, 30): how much wider
    // than the line's reference each camera's view is, pixels. Measured for
    // cameras that show both stitch marks they share with their neighbours.
    bool m_bWidthStep = false;
    std::array<double, OSC_MAX_CAMERAS> m_dWidth{};
    std::array<bool, OSC_MAX_CAMERAS> m_bWidthMeasured{};
    // Stitch mark centres found (line pixels; 0 = none): left, right, middle.
    std::array<std::array<double, 3>, OSC_MAX_CAMERAS> m_dMarks{};
    // "Camera Adjustment  A +0.4  B -1.2  C n/a ..." for the dialog.
    std::string Text() const;
};

class COscCameraAdjustment {
public:
    COscCameraAdjustment();
    ~COscCameraAdjustment();
    // Sets up the stand-in scanner and, for colour recordings, analyses line iLine.
    COscAdjustResult Run(const COscRecording& rec, int64_t iLine);
    const CScannerFixed& Scanner() const { return m_Fixed; }
    const COscilloscopeStitchAndAlignment* Engine() const { return m_pEngine.get(); }

private:
    CScannerFixed m_Fixed{0, 0, 0};
    std::unique_ptr<COscilloscopeStitchAndAlignment> m_pEngine;
};

// Scanner types whose camera adjustment measures the scan width too.
bool HasScanWidthStep(int32_t iScannerType);

// Tags for the overview at each camera's lens axis: 2 (green) within a pixel
// of its place, 1 (red) further off, 3 (blue) not measured. Empty when the
// analysis did not run.
std::vector<uint8_t> AdjustmentTags(const COscRecording& rec, const COscAdjustResult& r);
