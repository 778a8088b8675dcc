#pragma once
// The contract between the subsystems that know a file kind and the tools
// that show one: a subsystem describes its files, reads their pictures and
// writes samples through this registry; the command-line tool and the
// launcher reach every kind without knowing it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <array>
#include <span>
#include <string_view>

#include "datafiles/ConHeader.h"
#include "datafiles/DataTable.h"
#include "platform/Json.h"

class CPicture;

// Class names of the dialogs that show files: the launcher, the viewers'
// hand-overs and the registries all name a viewer by these.
inline constexpr const char* VIEWER_LIGHT_PROFILE_FILE = "CView_LPF_Dialog";   // start-up dispatch
inline constexpr const char* VIEWER_LIGHT_PROFILE = "CLPF_Dialog";             // "View &Light Profile"
inline constexpr const char* VIEWER_STITCH = "CView_Stitch_Dialog";
inline constexpr const char* VIEWER_OSCILLOSCOPE = "COscilloscope_Dialog";
inline constexpr const char* VIEWER_NOISE_TEST = "CNoiseTest_SM_Dialog";
inline constexpr const char* VIEWER_NOISE_CHECK = "CNCTest_Dialog";
inline constexpr const char* VIEWER_CAMERA_CHECK = "COstra_Check_Camera_Adjustment_Test_Dialog";
inline constexpr const char* VIEWER_ADJUST_CENTER_CCD = "CAdjustCenterCCD_Dialog";
inline constexpr const char* VIEWER_VERTICAL_CAMERA = "CVerticalCameraVerification_Dialog";
inline constexpr const char* VIEWER_STAR_TEST = "CStarTest_Dialog";
inline constexpr const char* VIEWER_TONAL_RESOLUTION = "CTonalResolutionDialog";
inline constexpr const char* VIEWER_PICTURE_VIEW = "CPictureView_Dialog";

// One file kind, declared once: how the launcher tells it from a file's first
// bytes, which dialog it opens and what its header must hold. m_szId is the
// name `lumora-cli info` prints under "kind" and the key every registry files
// the kind's describer, reader and renderer under; code names a kind by its
// record, never by that text.
struct CFileKind {
    const char* m_szId;
    const char* m_szViewer = "";              // the dialog start-up opens; "" when none
    std::array<const char*, 2> m_Sections{};  // section lines naming it, in the launcher's order
    int32_t m_iMarker11 = -1;                 // headerless: byte 11 tells it (-1: not)
    int64_t m_iValue20 = -1;                  // headerless: the value at bytes 20-23 tells it (-1: not)
    bool m_bDataPointer = false;              // its header carries a DataPointer; a bad one makes it malformed
    bool m_bBesideLauncher = false;           // opens beside the launcher, which keeps its file field
    bool m_bRawdex = false;                   // a package: unpacked first, then a viewer opens
    bool m_bAfterMarkers = false;             // known by its section, yet only when no marker tells another kind

    friend bool operator==(const CFileKind& kind, std::string_view szId) { return szId == kind.m_szId; }
};

inline constexpr CFileKind KIND_UNKNOWN{.m_szId = "unknown"};
inline constexpr CFileKind KIND_LIGHT_PROFILE{.m_szId = "light-profile", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE,
                                              .m_Sections = {CON_SECTION_LIGHT_PROFILE}, .m_bDataPointer = true};
inline constexpr CFileKind KIND_G3_LIGHT_PROFILE{.m_szId = "g3-light-profile", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE,
                                                 .m_Sections = {CON_SECTION_G3_LIGHT_PROFILE}, .m_bDataPointer = true};
inline constexpr CFileKind KIND_OSCILLOSCOPE{.m_szId = "oscilloscope", .m_szViewer = VIEWER_OSCILLOSCOPE,
                                             .m_Sections = {CON_SECTION_OSCILLOSCOPE}, .m_bDataPointer = true};
inline constexpr CFileKind KIND_MTF{.m_szId = "mtf", .m_szViewer = VIEWER_OSCILLOSCOPE,
                                    .m_Sections = {CON_SECTION_MTF}, .m_bDataPointer = true};
inline constexpr CFileKind KIND_STITCH_TEST{.m_szId = "stitch-test", .m_szViewer = VIEWER_STITCH,
                                            .m_Sections = {CON_SECTION_STITCH_TEST}, .m_bDataPointer = true};
inline constexpr CFileKind KIND_NOISE_TEST{.m_szId = "noise-test", .m_szViewer = VIEWER_NOISE_TEST,
                                           .m_Sections = {CON_SECTION_NOISE_TEST}, .m_bDataPointer = true,
                                           .m_bBesideLauncher = true};
// The viewer is the light profile viewer's unless the product is an OEM 2 one.
inline constexpr CFileKind KIND_RAWDEX{.m_szId = "rawdex", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE,
                                       .m_Sections = {CON_SECTION_RAWDEX}, .m_bDataPointer = true, .m_bRawdex = true};
inline constexpr CFileKind KIND_SCAN_LINE_POSITIONING{
    .m_szId = "scan-line-positioning", .m_szViewer = VIEWER_ADJUST_CENTER_CCD,
    .m_Sections = {CON_SECTION_ADJUST_CENTER_CCD, CON_SECTION_SCAN_LINE_POSITIONING}};
inline constexpr CFileKind KIND_MIRROR_CARRIAGE_ADJUSTMENT{
    .m_szId = "mirror-carriage-adjustment", .m_szViewer = VIEWER_VERTICAL_CAMERA,
    .m_Sections = {CON_SECTION_VERTICAL_CAMERA_VERIFICATION, CON_SECTION_MIRROR_CARRIAGE_ADJUSTMENT}};
inline constexpr CFileKind KIND_STAR_TEST{.m_szId = "star-test", .m_szViewer = VIEWER_STAR_TEST,
                                          .m_Sections = {CON_SECTION_STAR_TEST}};
inline constexpr CFileKind KIND_TONAL_RESOLUTION{.m_szId = "tonal-resolution", .m_szViewer = VIEWER_TONAL_RESOLUTION,
                                                 .m_Sections = {CON_SECTION_TONAL_RESOLUTION}};
// Recognised, though nothing in the launcher opens a live recording.
inline constexpr CFileKind KIND_LIVE_OSCILLOSCOPE{.m_szId = "live-oscilloscope",
                                                  .m_Sections = {CON_SECTION_LIVE_OSCILLOSCOPE},
                                                  .m_bDataPointer = true, .m_bAfterMarkers = true};
inline constexpr CFileKind KIND_HEADERLESS_LIGHT_PROFILE{
    .m_szId = "headerless-light-profile", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE, .m_iMarker11 = 16};
inline constexpr CFileKind KIND_HEADERLESS_STITCH{.m_szId = "headerless-stitch", .m_szViewer = VIEWER_STITCH,
                                                  .m_iMarker11 = 18};
inline constexpr CFileKind KIND_HEADERLESS_NOISE{.m_szId = "headerless-noise", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE,
                                                 .m_iMarker11 = 19};
inline constexpr CFileKind KIND_CAMERA_ADJUSTMENT_CHECK{
    .m_szId = "camera-adjustment-check", .m_szViewer = VIEWER_LIGHT_PROFILE_FILE, .m_iValue20 = 13900};

// Every kind in the launcher's order: the first section found decides, then
// the markers in this order (byte 11 before the value at 20).
inline constexpr const CFileKind* FILE_KINDS[] = {
    &KIND_LIGHT_PROFILE, &KIND_G3_LIGHT_PROFILE, &KIND_OSCILLOSCOPE, &KIND_MTF, &KIND_STITCH_TEST,
    &KIND_NOISE_TEST, &KIND_RAWDEX, &KIND_SCAN_LINE_POSITIONING, &KIND_MIRROR_CARRIAGE_ADJUSTMENT,
    &KIND_STAR_TEST, &KIND_TONAL_RESOLUTION, &KIND_LIVE_OSCILLOSCOPE, &KIND_HEADERLESS_LIGHT_PROFILE,
    &KIND_HEADERLESS_STITCH, &KIND_HEADERLESS_NOISE, &KIND_CAMERA_ADJUSTMENT_CHECK, &KIND_UNKNOWN,
};

// The record of a kind name, nullptr for a name no kind has.
const CFileKind* FindFileKind(std::string_view szId);

// A launcher button that hands a file to its viewer whatever the start-up
// recognition makes of it ("--as stitch", "--as light-profile"): the viewer it
// opens, and the kind that viewer reads a file it does not otherwise know as.
struct CLauncherButton {
    const char* m_szAs;
    const char* m_szViewer;
    const CFileKind* m_pKind;
};
inline constexpr CLauncherButton AS_STITCH{"stitch", VIEWER_STITCH, &KIND_STITCH_TEST};
inline constexpr CLauncherButton AS_LIGHT_PROFILE{"light-profile", VIEWER_LIGHT_PROFILE, &KIND_LIGHT_PROFILE};
inline constexpr const CLauncherButton* LAUNCHER_BUTTONS[] = {&AS_STITCH, &AS_LIGHT_PROFILE};
// nullptr for "" and for names no button has.
const CLauncherButton* FindLauncherButton(std::string_view szAs);

// What the start-up recognition and the matching viewer's loading make of one
// file. The shell fills the common part; a kind's describer adds the rest.
struct CFileDescription {
    std::string m_szFile;
    std::string m_szKind = KIND_UNKNOWN.m_szId; // a CFileKind's m_szId
    std::optional<std::string> m_szSection;    // "[Light Profile]" as found, or none
    std::optional<std::string> m_szViewer;     // class name of the dialog that opens it
    std::optional<std::string> m_szShownBy;    // the dialog that shows it when m_szViewer passes it on
    std::optional<int64_t> m_iHeaderLength;    // H, none without a text header
    int64_t m_iDataLength = 0;
    int64_t m_iFileSize = 0;
    std::vector<std::pair<std::string, std::string>> m_Keys; // first occurrence, file order
    std::vector<std::string> m_Messages;       // exactly what the viewer shows while loading
    CJson m_Extra = CJson::MakeObject();       // kind-specific fields, in order
    // What is wrong with the file, as the readers word it (file-system bytes
    // and header text as they are); set, it makes the file malformed. The
    // JSON output writes it last, under "problem".
    std::optional<std::string> m_szProblem;
};

// Headerless files are told by bytes 11 and 20-23 of this many first bytes.
inline constexpr size_t STARTUP_MARKER_BYTES = 48;

// "--as stitch" / "--as light-profile": read the file the way that launcher
// button hands it to its viewer. Empty: the start-up recognition decides.
using KindDescriber = std::function<void(const std::string& szAs, CFileDescription& desc)>;
// Fills the picture from a file of this kind (for convert); false with szError set on failure.
using PictureReader = std::function<bool(const std::string& szFile, const std::string& szAs, CPicture& pic, std::string& szError)>;
// The dialog a viewer passes szFile on to (a light profile viewer handing a
// noise or camera check file over), empty when the viewer shows it itself.
using ViewerHandOver = std::function<std::string(const std::string& szFile)>;
// The numbers behind the view of a file of this kind (CSV export); false with
// szError set when the file cannot be read.
using DataTableReader =
    std::function<bool(const std::string& szFile, const std::string& szAs, CDataTable& table, std::string& szError)>;
// Writes realistic samples into szDir and returns the paths written.
using SampleWriter = std::function<std::vector<std::string>(const std::string& szDir)>;

class CKindRegistry {
public:
    static CKindRegistry& Instance(); // filled once by the program's composition root

    void AddDescriber(const CFileKind& kind, KindDescriber fn) { m_Describers[kind.m_szId] = std::move(fn); }
    void AddPictureReader(const CFileKind& kind, PictureReader fn) { m_PictureReaders[kind.m_szId] = std::move(fn); }
    void AddDataTable(const CFileKind& kind, DataTableReader fn) { m_DataTables[kind.m_szId] = std::move(fn); }
    void AddSampleWriter(const std::string& szName, SampleWriter fn) { m_SampleWriters.emplace_back(szName, std::move(fn)); }
    // szViewer is a dialog class name; its hand-over decides who shows a file.
    void AddHandOver(const std::string& szViewer, ViewerHandOver fn) { m_HandOvers[szViewer] = std::move(fn); }

    const KindDescriber* FindDescriber(const std::string& szKind) const;
    const PictureReader* FindPictureReader(const std::string& szKind) const;
    const ViewerHandOver* FindHandOver(const std::string& szViewer) const;
    const DataTableReader* FindDataTable(const std::string& szKind) const;
    const std::vector<std::pair<std::string, SampleWriter>>& SampleWriters() const { return m_SampleWriters; }
    // The kind names describers are filed under, for checking them against FILE_KINDS.
    std::vector<std::string> DescribedKinds() const;

private:
    std::map<std::string, KindDescriber> m_Describers;
    std::map<std::string, PictureReader> m_PictureReaders;
    std::map<std::string, ViewerHandOver> m_HandOvers;
    std::map<std::string, DataTableReader> m_DataTables;
    std::vector<std::pair<std::string, SampleWriter>> m_SampleWriters;
};
