#pragma once
// Packed Rawdex files: one container holding several files. The header lists
// "name=size" entries; the contents follow the header in that order.
#include <cstdint>
#include <string>
#include <vector>

struct CRawdexResult {
    bool m_bOk = false;                   // opened, read, and every entry written
    std::string m_szOutputDir;            // with its trailing "/"
    std::vector<std::string> m_Written;   // full paths, in entry order
    std::vector<std::string> m_Skipped;   // entry names passed over by rule ("Rawdex.txt" off a test station)
    std::vector<std::string> m_Problems;  // one readable line per problem, naming the entry
    std::vector<std::string> m_Dropped;   // entries passed over by the header walk's own rule (not a failure)
    bool m_bCannotOpen = false;           // the packed file itself could not be opened
    bool m_bWriteFailed = false;          // a problem was the output folder, not the packed file
};

// Unpacks P next to itself (or into szIntoDir when given). Records the folder
// (made absolute) as the sibling tool's last-used path, unless it lies on
// removable media.
// Entries are streamed into their files and each file appears atomically.
// An entry whose name could leave the folder (empty, absolute, "/", "\\",
// "..", NUL) is never written: its bytes are passed over and the unpacking
// fails, naming it. A size that runs past the end of the file stops it.
CRawdexResult UnpackRawdex(const std::string& szPath, const std::string& szIntoDir = std::string());

// One entry line as the unpacker sees it, for info and tests.
struct CRawdexEntry {
    std::string m_szName;
    int64_t m_iSize = 0;
    int64_t m_iOffset = 0; // in the file
};
// Lists the entries of a Rawdex header text of length H (the header bytes as
// read). Stops at the first malformed entry and says why in szProblem. An
// entry line the walk never reaches (it ends within the header's last 9
// bytes) is named in *pDropped.
std::vector<CRawdexEntry> ListRawdexEntries(const std::string& szHeader, int64_t iH, std::string& szProblem,
                                            std::string* pDropped = nullptr);

// Why an entry name must not be written, or empty when it is safe.
std::string RawdexNameProblem(const std::string& szName);
