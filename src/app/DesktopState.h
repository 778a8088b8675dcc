#pragma once
// What the desktop expects a program to remember and to accept: each
// viewer's window place, and files dropped onto a window.
#include <map>
#include <string>

struct CWindowPlace {
    int m_iX = 0, m_iY = 0, m_iWidth = 0, m_iHeight = 0;
};

// $XDG_CONFIG_HOME/lumora/windows (~/.config/lumora/ without it): one line
// per viewer, "CClassName=x,y,width,height".
std::string WindowPlacesFile();
std::map<std::string, CWindowPlace> ParseWindowPlaces(const std::string& szText);
std::string FormatWindowPlaces(const std::map<std::string, CWindowPlace>& places);
// Reads, sets the one entry and saves atomically; false with szError set.
bool SaveWindowPlace(const std::string& szFile, const std::string& szViewer, const CWindowPlace& place,
                     std::string& szError);
bool LoadWindowPlace(const std::string& szFile, const std::string& szViewer, CWindowPlace& place);

// What a file dropped onto a window opens. Empty m_szViewer: nothing opens
// and m_szMessage says why (a folder, a file that is not a data file, a file
// that cannot be read); the window stays as it was.
struct CDropDecision {
    std::string m_szViewer;
    bool m_bRawdex = false; // a packed file: only the launcher unpacks it
    std::string m_szMessage;
};
CDropDecision DecideDroppedFile(const std::string& szPath);
