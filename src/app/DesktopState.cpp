#include "app/DesktopState.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/StartupRecognition.h"
#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"

std::string WindowPlacesFile()
{
    if (const char* p = std::getenv("XDG_CONFIG_HOME"); p && *p == '/')
        return std::string(p) + "/lumora/windows";
    if (const char* p = std::getenv("HOME"); p && *p == '/')
        return std::string(p) + "/.config/lumora/windows";
    return std::string();
}

std::map<std::string, CWindowPlace> ParseWindowPlaces(const std::string& szText)
{
    std::map<std::string, CWindowPlace> places;
    std::istringstream in(szText);
    std::string szLine;
    while (std::getline(in, szLine)) {
        const size_t iEq = szLine.find('=');
        if (iEq == std::string::npos || iEq == 0)
            continue;
        CWindowPlace p;
        char cTail = 0;
        // A size below 50 pixels is no window anyone meant to keep.
        if (std::sscanf(szLine.c_str() + iEq + 1, "%d,%d,%d,%d%c", &p.m_iX, &p.m_iY, &p.m_iWidth, &p.m_iHeight,
                        &cTail) != 4 ||
            p.m_iWidth < 50 || p.m_iHeight < 50 || p.m_iWidth > 20000 || p.m_iHeight > 20000)
            continue;
        places[szLine.substr(0, iEq)] = p;
    }
    return places;
}

std::string FormatWindowPlaces(const std::map<std::string, CWindowPlace>& places)
{
    std::string sz;
    for (const auto& [szName, p] : places)
        sz += szName + "=" + std::to_string(p.m_iX) + "," + std::to_string(p.m_iY) + "," + std::to_string(p.m_iWidth) +
              "," + std::to_string(p.m_iHeight) + "\n";
    return sz;
}

namespace {
std::string ReadAll(const std::string& szFile)
{
    std::string sz;
    ReadFilePrefix(szFile, kWholeFile, sz);
    return sz;
}
} // namespace

bool SaveWindowPlace(const std::string& szFile, const std::string& szViewer, const CWindowPlace& place,
                     std::string& szError)
{
    if (szFile.empty()) {
        szError = "no folder for the window places (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    std::map<std::string, CWindowPlace> places = ParseWindowPlaces(ReadAll(szFile));
    places[szViewer] = place;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(szFile).parent_path(), ec);
    const std::string sz = FormatWindowPlaces(places);
    return WriteFileAtomically(szFile, sz.data(), sz.size(), &szError);
}

bool LoadWindowPlace(const std::string& szFile, const std::string& szViewer, CWindowPlace& place)
{
    const std::map<std::string, CWindowPlace> places = ParseWindowPlaces(ReadAll(szFile));
    const auto it = places.find(szViewer);
    if (it == places.end())
        return false;
    place = it->second;
    return true;
}

CDropDecision DecideDroppedFile(const std::string& szPath)
{
    CDropDecision d;
    std::error_code ec;
    if (std::filesystem::is_directory(szPath, ec)) {
        d.m_szMessage = szPath + "\nis a folder. Drop a \".con\" data file to open it.";
        return d;
    }
    CDispatchDecision decision;
    std::string szError;
    if (!RecognizeFile(szPath, decision, szError)) {
        d.m_szMessage = szPath + " cannot be opened:\n" + szError;
        return d;
    }
    // The result files of the test tools carry other extensions; what their
    // header says counts, not the name.
    if (decision.m_bRawdex) {
        d.m_bRawdex = true;
        d.m_szMessage = szPath + "\nis a Rawdex packed file. Drop it onto the launcher, which unpacks it.";
        return d;
    }
    if (decision.m_szViewer.empty()) {
        d.m_szMessage = szPath + "\nis not a \".con\" data file any viewer shows.";
        return d;
    }
    d.m_szViewer = decision.m_szViewer;
    return d;
}
