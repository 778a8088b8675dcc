#pragma once
// Loading a light profile the way both light profile viewers do: the section
// test that decides whether the file is a light profile at all or belongs to
// another viewer, the header keys with their defaults and missing-information
// messages, the older headerless files with their 44-byte trailer, and the
// texts built from the record (window title, print lines, header display).
// The command-line tool's `info` uses the same code, so what it reports is
// what the viewer shows.
#include <cstdint>
#include <string>
#include <vector>

#include "datafiles/DataTable.h"

// The light profile record.
struct CLightProfile {
    std::string m_szFileName;
    std::string m_szScannerName;
    std::string m_szDate, m_szTime;
    bool m_bColorScanner = false;
    bool m_bCorrected = false;
    int32_t m_iColor = 0;
    int32_t m_iCamera = 0;
    int32_t m_iCameraCount = 0;
    double m_dWidthFactor = 8.5;        // scanner width / 5088, so that f x 4.24 is the width in inches
    int32_t m_iGeneration = 0;
    int32_t m_iFirmwareRevision = 0;
    bool m_bSigned32Profile = false;
    bool m_bCameraAdjustmentMode = false;
    std::string m_szHeaderText;         // the H header bytes, or the text typed for a headerless file
    int64_t m_iHeaderLength = 0;        // offset of the samples in the file
    std::vector<uint8_t> m_Data;        // one 8-bit sample per pixel
    int32_t DataLength() const { return static_cast<int32_t>(m_Data.size()); }
};

// Which viewer loads: each shows its own list of missing-information messages.
enum LPF_VIEWER {
    LPF_VIEWER_DIALOG = 0, // CLPF_Dialog, opened from the launcher
    LPF_VIEWER_FILE = 1,   // CView_LPF_Dialog, opened by the start-up recognition
};

enum LPF_LOAD_OUTCOME {
    LPF_LOAD_OK = 0,       // m_Profile holds the profile
    LPF_LOAD_HAND_OVER,    // another viewer shows the file: m_szViewer
    LPF_LOAD_RAWDEX,       // packed file: unpack, then choose again
    LPF_LOAD_ASK_SETTINGS, // headerless file of unknown layout: ask for the scanner settings
    LPF_LOAD_FAILED,       // m_szError says why; the viewer keeps what it had
};

// Facts the "Select Scanner Settings" dialog supplies for a file that does not carry them.
struct CScannerSettings {
    bool m_bColorScanner = false;
    int32_t m_iColor = 4;        // 0 red, 1 green, 2 blue; 4 gray for a monochrome scanner
    int32_t m_iCamera = 255;     // 0..3, 255 all
    int32_t m_iCameraCount = 4;
    bool m_bCorrected = false;
    bool m_bCameraAdjustmentMode = false; // third generation or older: the camera adjustment check shows it
    std::string m_szHeader;               // optional, at most 256 characters
};

struct CLightProfileLoad {
    LPF_LOAD_OUTCOME m_eOutcome = LPF_LOAD_FAILED;
    CLightProfile m_Profile;
    std::vector<std::string> m_Messages; // shown in this order while loading
    std::string m_szViewer;              // LPF_LOAD_HAND_OVER: class name of the viewer
    std::string m_szError;               // LPF_LOAD_FAILED: names the file and the problem
    bool m_bHeaderless = false;          // LPF_LOAD_OK from an older file without a text header
    int64_t m_iSampleCount = 0;          // LPF_LOAD_OK: samples in the file, read or not
};

// Class names of the viewers a light profile viewer hands files to.
extern const char* const kLpfNoiseTestViewer;      // "CNoiseTest_SM_Dialog"
extern const char* const kLpfNoiseCheckViewer;     // "CNCTest_Dialog"
extern const char* const kLpfOscilloscopeViewer;   // "COscilloscope_Dialog"
extern const char* const kLpfCameraCheckViewer;    // "COstra_Check_Camera_Adjustment_Test_Dialog"

// Decides what the file is and, for a light profile, reads it. Without
// bReadData only the header (or trailer) is read: what `info` needs.
CLightProfileLoad LoadLightProfile(const std::string& szFile, LPF_VIEWER eViewer, bool bReadData = true);
// The same on bytes already in memory (fuzzing, tests); szFile only names the file in messages.
CLightProfileLoad LoadLightProfileBytes(const std::string& szFile, const std::string& bytes, LPF_VIEWER eViewer);
// Completes LPF_LOAD_ASK_SETTINGS with what the user chose.
CLightProfileLoad LoadLightProfileWithSettings(const std::string& szFile, const CScannerSettings& settings,
                                               bool bReadData = true);
CLightProfileLoad LoadLightProfileBytesWithSettings(const std::string& szFile, const std::string& bytes,
                                                    const CScannerSettings& settings);

// The header keys of a light profile into load.m_Profile, with the viewer's
// missing-information messages into load.m_Messages.
void ReadLightProfileKeys(const std::string& header, LPF_VIEWER eViewer, CLightProfileLoad& load);
// Default generation when the header does not name one.
int32_t DefaultLightProfileGeneration(bool bHasScannerWidth, int32_t iScannerWidth, bool bColorScanner);

// "Scanner: Camera A  Color=Red" as the window title shows it.
std::string LightProfileTitle(const CLightProfile& profile);
// The identification lines printed under the graph.
std::vector<std::string> LightProfilePrintLines(const CLightProfile& profile);
// The text the header display (key I) shows (UTF-8, as every message): the
// header of a file with one of the known sections, else "Old Con-file.\nNo
// Header Information available".
// False with szText set to the problem when the file cannot be read.
bool LightProfileHeaderInfo(const std::string& szFile, std::string& szText);
// The samples as the graph draws them, keyed by pixel, the column named by
// the profile's colour ("red", "green", "blue", "gray"); a [-32:31] profile's
// samples are the signed values its scale shows.
CDataTable LightProfileDataTable(const CLightProfile& profile);
// Headerless light profiles: 48-byte header, samples, 44-byte trailer.
constexpr int64_t kLpfOldHeaderSize = 48;
constexpr int64_t kLpfOldTrailerSize = 44;
