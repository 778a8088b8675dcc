#pragma once
// The oscilloscope dialog's rules without the dialog: playback pause,
// directory entries, camera adjustment, print header lines, and how the three
// graphs (overview, left and right detail) are set up for each view mode.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "widgets/LightProfileGraph.h"

inline constexpr int32_t OSC_PAUSE_MIN = 100;
inline constexpr int32_t OSC_PAUSE_MAX = 10000;
// A pause outside the range keeps the previous one.
int32_t NextPause(int32_t iCurrent, int32_t iEntered);

// One "Oscil_*.con" file of directory mode.
struct COscDirEntry {
    std::string m_szPath;
    bool m_bCorrected = true;   // the title does not contain "unadjust"
    bool m_bColor = true;       // the title does not contain "gray"
    int32_t m_iResolution = 0;  // the number after the title's last "_"
    std::string Label() const;  // "300dpi Gray Unadjusted"
};
COscDirEntry MakeDirEntry(const std::string& szPath);
// Every "Oscil_*.con" of the folder (case ignored, as the original platform did), by name.
std::vector<COscDirEntry> ScanOscDirectory(const std::string& szDir);
// Entry to load for an index; out of range loads entry 0.
size_t DirEntryIndex(size_t iWanted, size_t iCount);

// Camera adjustment runs for newer scanners with at least five cameras.
bool CameraAdjustmentApplies(int32_t iGeneration, int32_t iCameraCount);
// trunc(pixels per line / (width factor x 4.24) / 100) x 100.
int32_t RecordingOpticalResolution(int64_t iPixelsPerLine, double dWidthFactor);

// Plane of a colour selection: red 0, green 1 (also gray 4), blue otherwise.
int32_t PlaneOfSelection(int32_t iSelection);
const char* SelectionColorName(int32_t iSelection, bool bGray); // "Red", "Green", "Blue", "Gray"

// "Scanner Name:  ..." and the rest, labels padded to 15 characters.
std::vector<std::string> OscPrintHeaderLines(const COscRecording& rec, int32_t iSelection);

// OSC_VIEW_CAMERA_ADJUSTMENT takes the light profile button's place when the
// recording's camera adjustment applies.
enum EOscViewMode {
    OSC_VIEW_NORMAL = 0, OSC_VIEW_LIGHT_PROFILE, OSC_VIEW_SCAN_WIDTH, OSC_VIEW_VERTICAL, OSC_VIEW_CAMERA_ADJUSTMENT
};
const char* OscViewModeName(EOscViewMode e);
// "MTF red/green/blue:  A 46/46/47 %  B ..." for an MTF recording, empty otherwise.
std::string MtfText(const COscRecording& rec);

// Light profile compares two cameras; with one it falls back to vertical positioning.
EOscViewMode EffectiveViewMode(EOscViewMode e, int32_t iCameraCount);

// Pixels shown by a detail view around a stitch.
inline constexpr int32_t OSC_DETAIL_PIXELS = 16;
// Stitch mark centres of each camera (line pixels, 0 = not found): left, right, middle.
using COscMarks = std::array<std::array<double, 3>, OSC_MAX_CAMERAS>;

// Pixels of each camera end the scan width view shows.
inline constexpr int32_t OSC_WIDTH_PIXELS = 64;

// Everything the three graphs are drawn from.
struct COscViewState {
    int64_t m_iLine = 0;
    int32_t m_iSelection = 1;   // 0 red, 1 green or gray, 2 blue
    int32_t m_iCamera = 0;
    EOscViewMode m_eMode = OSC_VIEW_NORMAL;
    bool m_bFocus = false;
};

// First pixel of each camera in the line (the boundaries the views mark), count+1 entries.
std::vector<int64_t> CameraStarts(const COscRecording& rec);
// First and last pixel at least 2 of each camera (the stitch wires of the focus evaluation).
void FillFocusData(const COscRecording& rec, int64_t iLine, int32_t iSelection, CFocusData& data);
// Mean of each line over the camera's active pixels (vertical positioning).
std::vector<uint8_t> CameraLineMeans(const COscRecording& rec, int32_t iPlane, int32_t iCamera);

class COscilloscopeViews {
public:
    // Sets up the overview and both detail graphs for the state. bResetView
    // puts the detail views back on their mode's range; playback keeps the
    // user's zoom by passing false. pContrast, when given, is drawn over the
    // overview; pMarks are the camera adjustment's marks its view shows.
    void Apply(const COscRecording& rec, const COscViewState& state, CLPFGraph& overview, CLPFGraph& left,
               CLPFGraph& right, bool bResetView, const std::vector<int32_t>* pContrast = nullptr,
               const COscMarks* pMarks = nullptr) const;
    // A short line under each detail view telling what it shows.
    static std::string DetailCaption(const COscRecording& rec, const COscViewState& state, bool bLeft,
                                     const COscMarks* pMarks = nullptr);
    // The camera adjustment view's mark for a detail view: the mark the
    // camera shares with its left (right) neighbour, else its middle mark.
    static int32_t AdjustmentSide(int32_t iCamera, int32_t iCameras, bool bLeft);
};

// The header display command: the file's header text (UTF-8 for the message
// box), or the old-file text when there is no header. False when unreadable.
bool OscHeaderInfo(const std::string& szFile, std::string& szText);
// The file a Rawdex package held for the oscilloscope: its first recording,
// else the first file written.
std::string PickUnpackedRecording(const std::vector<std::string>& written);
