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

#include "datafiles/DataTable.h"
#include "platform/Json.h"

class CPicture;

// What the start-up recognition and the matching viewer's loading make of one
// file. The shell fills the common part; a kind's describer adds the rest.
struct CFileDescription {
    std::string m_szFile;
    std::string m_szKind = "unknown";          // "light-profile", "stitch-test", ...
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

    void AddDescriber(const std::string& szKind, KindDescriber fn) { m_Describers[szKind] = std::move(fn); }
    void AddPictureReader(const std::string& szKind, PictureReader fn) { m_PictureReaders[szKind] = std::move(fn); }
    void AddDataTable(const std::string& szKind, DataTableReader fn) { m_DataTables[szKind] = std::move(fn); }
    void AddSampleWriter(const std::string& szName, SampleWriter fn) { m_SampleWriters.emplace_back(szName, std::move(fn)); }
    // szViewer is a dialog class name; its hand-over decides who shows a file.
    void AddHandOver(const std::string& szViewer, ViewerHandOver fn) { m_HandOvers[szViewer] = std::move(fn); }

    const KindDescriber* FindDescriber(const std::string& szKind) const;
    const PictureReader* FindPictureReader(const std::string& szKind) const;
    const ViewerHandOver* FindHandOver(const std::string& szViewer) const;
    const DataTableReader* FindDataTable(const std::string& szKind) const;
    const std::vector<std::pair<std::string, SampleWriter>>& SampleWriters() const { return m_SampleWriters; }

private:
    std::map<std::string, KindDescriber> m_Describers;
    std::map<std::string, PictureReader> m_PictureReaders;
    std::map<std::string, ViewerHandOver> m_HandOvers;
    std::map<std::string, DataTableReader> m_DataTables;
    std::vector<std::pair<std::string, SampleWriter>> m_SampleWriters;
};
