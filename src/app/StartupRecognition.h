#pragma once
// What the launcher makes of a file named on the command line: the section
// names of the header in a fixed order, then the markers of the older
// headerless files. The same decision feeds the GUI's dispatch and
// `lumora-cli info`, so both always agree.
#include <optional>
#include <string>

#include "app/KindRegistry.h"

// How many bytes the section stage looks at (the markers: STARTUP_MARKER_BYTES).
inline constexpr size_t STARTUP_SECTION_BYTES = 100;

struct CDispatchDecision {
    const CFileKind* m_pKind = &KIND_UNKNOWN;
    std::string m_szKind = KIND_UNKNOWN.m_szId;  // m_pKind's name
    std::optional<std::string> m_szSection; // the bracketed name found
    std::string m_szViewer;                 // empty: nothing opens, the launcher stays up
    bool m_bPassFile = true;                // hand the file name to the viewer
    bool m_bHideLauncher = true;            // the noise test runs beside the launcher
    bool m_bClearFileField = true;          // ... and leaves the field as it was
    bool m_bRawdex = false;                 // unpack first, then open m_szViewer
    std::string m_szDataFolder;             // Rawdex on an OEM 2 package: the oscilloscope's folder
};

// The decision on the first bytes of a file (up to STARTUP_SECTION_BYTES; the
// markers use the first STARTUP_MARKER_BYTES, missing bytes counting as zero).
// iOem is the product record's OEM code, used only for Rawdex files.
CDispatchDecision RecognizeFirstBytes(const std::string& szFirstBytes, const std::string& szFile, int32_t iOem);

// Reads the first bytes and decides. False (szError set) when the file cannot
// be read; the launcher then stays up with the name kept.
bool RecognizeFile(const std::string& szFile, CDispatchDecision& decision, std::string& szError);

// The kind name of a section line ("[Light Profile]" -> "light-profile"),
// "unknown" for others.
std::string KindOfSection(const std::string& szSection);
// Whether a kind's header carries a DataPointer (a bad one makes the file malformed).
bool KindHasDataPointer(const std::string& szKind);

enum EDescribeStatus {
    DESCRIBE_OK = 0,
    DESCRIBE_UNRECOGNISED, // kind "unknown"
    DESCRIBE_MALFORMED,    // recognised, but its header or data cannot be right
    DESCRIBE_MISSING,      // cannot be opened
};

// What `lumora-cli info` prints for one file: the common part from the header,
// then the kind's describer (CKindRegistry) when one is registered. With szAs
// ("stitch" / "light-profile") the viewer is the one that launcher button
// opens, and a file the recognition leaves unknown goes to the describer of
// "stitch-test" / "light-profile". Reads the first bytes and the header only.
EDescribeStatus DescribeFile(const std::string& szFile, const std::string& szAs, CFileDescription& desc);

// The class name of the dialog that finally shows the described file: the one
// start-up opens, or the one it hands the file to. Empty when none opens.
std::string ViewerShowing(const CFileDescription& desc);

// The text of the problem a description carries, empty when none.
std::string DescriptionProblem(const CFileDescription& desc);

// The JSON object of a description (fields in the documented order).
CJson FileDescriptionToJson(const CFileDescription& desc);
