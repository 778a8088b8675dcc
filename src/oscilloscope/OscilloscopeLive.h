#pragma once
// Recording oscilloscope lines from a scanner that scans continuously.
#include <array>
#include <cstdint>
#include <string>

#include "oscilloscope/OscilloscopeRecording.h"

class CScanner;

// iLines lines of continuous scanning (colour when the scanner is a colour
// one and bColor is set), described as the oscilloscope's recorder writes
// them. Returns the scanner's error number (0 = success) with szError set.
int32_t RecordOscilloscopeLines(CScanner& scanner, int32_t iLines, bool bColor, COscRecording& rec,
                                std::string& szError);

// The simulated scanner on the calibration card, as the sample recordings
// and the tests of the camera adjustment see it.
struct COscSimScenario {
    int32_t m_iCameras = 4;
    bool m_bColor = true;
    int32_t m_iGeneration = 6;
    int32_t m_iType = 5;
    int32_t m_iFineLines = 4; // the card's focus pattern, 0 = plain card
    int32_t m_iSeed = 7;
    int32_t m_iResolution = 600; // optical
    // Each camera's view shifted along the scan line, optical pixels.
    std::array<double, OSC_MAX_CAMERAS> m_dOffsetX{};
    // Each camera's view this many optical pixels wider than nominal.
    std::array<double, OSC_MAX_CAMERAS> m_dWidthError{};
    std::string Ini() const;
};

// iLines lines recorded from the simulated scanner running s; the scenario
// file lives in szDir for the recording only. false with szError set when the
// simulator cannot be loaded or the scan fails.
bool RecordSimulatorLines(const std::string& szDir, const COscSimScenario& s, int32_t iLines, COscRecording& rec,
                          std::string& szError);

// Makes rec (recorded on the card's fine line pattern) an "[MTF]" recording
// of its first line: the modulation of the pattern per colour (focus
// contrast against the camera's own black to white range), and the scan
// width and centre of each camera from the camera adjustment of plain, the
// same scanner on the plain card, whose stitch marks no fine line disturbs.
void MakeMtfRecording(COscRecording& rec, const COscRecording& plain);
