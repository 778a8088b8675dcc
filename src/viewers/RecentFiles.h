#pragma once
// The desktop's shared list of recently used files ("recently-used.xbel",
// read by every file dialog and file manager). The program keeps no list of
// its own: a file opened or saved in a viewer is added there, merged with
// what other programs wrote.
#include <string>
#include <vector>

struct CRecentFileEntry {
    std::string m_szFile;     // absolute path
    std::string m_szMimeType; // "application/x-lumora-con"
    std::string m_szApp;      // application name as desktops show it
    std::string m_szExec;     // command line with %u
    std::string m_szNow;      // time stamp, "2026-12-07T06:30:00Z"
};

// $XDG_DATA_HOME/recently-used.xbel, ~/.local/share/recently-used.xbel
// without it; empty when neither is known.
std::string RecentlyUsedFile();

// "file://" URI of an absolute path, bytes outside the unreserved set escaped.
std::string FileUri(const std::string& szPath);

// The list's text with the entry added or, when the file is listed already,
// its times and this program's count brought up to date. Everything else is
// kept byte for byte. False when szOld is not empty and not a list this code
// can merge into (the file is then left alone).
bool MergeRecentFile(const std::string& szOld, const CRecentFileEntry& entry, std::string& szNew);

// Adds the entry to the list at szXbel (atomically; a missing list is created).
bool AddRecentFile(const std::string& szXbel, const CRecentFileEntry& entry, std::string& szError);

// The program's own short list for its File menus and the launcher: the
// files last opened, newest first, one absolute path a line, in
// $XDG_CONFIG_HOME/lumora/recent-files (~/.config/lumora/ without it).
inline constexpr size_t kRecentListMax = 10;
std::string RecentListFile();
std::vector<std::string> ParseRecentList(const std::string& szText);
std::string FormatRecentList(const std::vector<std::string>& list);
// szFile moved (or added) to the front; at most kRecentListMax entries.
void PutFirstInRecentList(std::vector<std::string>& list, const std::string& szFile);
// Entries whose file is gone are dropped; true when any was.
bool DropVanishedFromRecentList(std::vector<std::string>& list);
// The list as stored, without vanished files (the file is rewritten when any went).
std::vector<std::string> LoadRecentList(const std::string& szListFile);
// Adds szFile at the front and saves atomically (the folder is made when missing).
bool AddToRecentList(const std::string& szListFile, const std::string& szFile, std::string& szError);
bool SaveRecentList(const std::string& szListFile, const std::vector<std::string>& list, std::string& szError);
