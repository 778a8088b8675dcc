#include "viewers/RecentFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"

namespace {

std::string XmlAttribute(const std::string& sz)
{
    std::string out;
    for (char c : sz) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

// Sets attribute szName inside the tag [iTag, iTagEnd) of sz to szValue when
// the tag has it; returns the change in length.
long SetAttribute(std::string& sz, size_t iTag, size_t iTagEnd, const std::string& szName, const std::string& szValue)
{
    const std::string szKey = " " + szName + "=\"";
    const size_t i = sz.find(szKey, iTag);
    if (i == std::string::npos || i >= iTagEnd)
        return 0;
    const size_t iValue = i + szKey.size();
    const size_t iQuote = sz.find('"', iValue);
    if (iQuote == std::string::npos || iQuote >= iTagEnd)
        return 0;
    const long iDelta = static_cast<long>(szValue.size()) - static_cast<long>(iQuote - iValue);
    sz.replace(iValue, iQuote - iValue, szValue);
    return iDelta;
}

std::string ApplicationLine(const CRecentFileEntry& e, int iCount)
{
    return "          <bookmark:application name=\"" + XmlAttribute(e.m_szApp) + "\" exec=\"" +
           XmlAttribute(e.m_szExec) + "\" modified=\"" + e.m_szNow + "\" count=\"" + std::to_string(iCount) + "\"/>\n";
}

std::string BookmarkElement(const CRecentFileEntry& e)
{
    return "  <bookmark href=\"" + FileUri(e.m_szFile) + "\" added=\"" + e.m_szNow + "\" modified=\"" + e.m_szNow +
           "\" visited=\"" + e.m_szNow + "\">\n"
           "    <info>\n"
           "      <metadata owner=\"http://freedesktop.org\">\n"
           "        <mime:mime-type type=\"" + XmlAttribute(e.m_szMimeType) + "\"/>\n"
           "        <bookmark:applications>\n" +
           ApplicationLine(e, 1) +
           "        </bookmark:applications>\n"
           "      </metadata>\n"
           "    </info>\n"
           "  </bookmark>\n";
}

} // namespace

std::string RecentlyUsedFile()
{
    if (const char* p = std::getenv("XDG_DATA_HOME"); p && *p == '/')
        return std::string(p) + "/recently-used.xbel";
    if (const char* p = std::getenv("HOME"); p && *p == '/')
        return std::string(p) + "/.local/share/recently-used.xbel";
    return std::string();
}

std::string FileUri(const std::string& szPath)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (unsigned char c : szPath) {
        const bool bPlain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '.' || c == '_' || c == '~' || c == '/';
        if (bPlain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool MergeRecentFile(const std::string& szOld, const CRecentFileEntry& entry, std::string& szNew)
{
    if (szOld.find_first_not_of(" \t\r\n") == std::string::npos) {
        szNew = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<xbel version=\"1.0\"\n"
                "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
                ">\n" +
                BookmarkElement(entry) + "</xbel>\n";
        return true;
    }
    const size_t iClose = szOld.rfind("</xbel>");
    if (szOld.find("<xbel") == std::string::npos || iClose == std::string::npos)
        return false;
    szNew = szOld;
    const size_t iMark = szNew.find("<bookmark href=\"" + FileUri(entry.m_szFile) + "\"");
    if (iMark == std::string::npos) {
        szNew.insert(iClose, BookmarkElement(entry));
        return true;
    }
    size_t iTagEnd = szNew.find('>', iMark);
    size_t iEnd = szNew.find("</bookmark>", iMark);
    if (iTagEnd == std::string::npos || iEnd == std::string::npos || iEnd < iTagEnd)
        return false;
    const long iDelta = SetAttribute(szNew, iMark, iTagEnd, "modified", entry.m_szNow);
    iTagEnd = static_cast<size_t>(static_cast<long>(iTagEnd) + iDelta);
    iEnd = static_cast<size_t>(static_cast<long>(iEnd) + iDelta);
    iEnd = static_cast<size_t>(static_cast<long>(iEnd) + SetAttribute(szNew, iMark, iTagEnd, "visited", entry.m_szNow));
    const size_t iApp = szNew.find("<bookmark:application name=\"" + XmlAttribute(entry.m_szApp) + "\"", iMark);
    if (iApp != std::string::npos && iApp < iEnd) {
        const size_t iAppEnd = szNew.find('>', iApp);
        const size_t iCount = szNew.find(" count=\"", iApp);
        int iOld = 0;
        if (iCount != std::string::npos && iCount < iAppEnd)
            iOld = std::atoi(szNew.c_str() + iCount + 8);
        const long iMoved = SetAttribute(szNew, iApp, iAppEnd, "modified", entry.m_szNow);
        SetAttribute(szNew, iApp, static_cast<size_t>(static_cast<long>(iAppEnd) + iMoved), "count",
                     std::to_string(iOld + 1));
        return true;
    }
    const size_t iApps = szNew.find("</bookmark:applications>", iMark);
    if (iApps != std::string::npos && iApps < iEnd) {
        // Inserted at the start of the closing tag's line, so the indentation holds.
        const size_t iLine = szNew.rfind('\n', iApps);
        szNew.insert(iLine == std::string::npos || iLine < iMark ? iApps : iLine + 1, ApplicationLine(entry, 1));
    }
    return true;
}

bool AddRecentFile(const std::string& szXbel, const CRecentFileEntry& entry, std::string& szError)
{
    if (szXbel.empty()) {
        szError = "no folder for the recently used list (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    std::string szOld;
    ReadFilePrefix(szXbel, kWholeFile, szOld);
    std::string szNew;
    if (!MergeRecentFile(szOld, entry, szNew)) {
        szError = szXbel + ": not a recently used list this program can add to; left as it is";
        return false;
    }
    return WriteFileAtomically(szXbel, szNew.data(), szNew.size(), &szError);
}

std::string RecentListFile()
{
    if (const char* p = std::getenv("XDG_CONFIG_HOME"); p && *p == '/')
        return std::string(p) + "/lumora/recent-files";
    if (const char* p = std::getenv("HOME"); p && *p == '/')
        return std::string(p) + "/.config/lumora/recent-files";
    return std::string();
}

std::vector<std::string> ParseRecentList(const std::string& szText)
{
    std::vector<std::string> list;
    std::istringstream in(szText);
    std::string szLine;
    while (std::getline(in, szLine) && list.size() < kRecentListMax) {
        while (!szLine.empty() && szLine.back() == '\r')
            szLine.pop_back();
        // Only absolute paths, each once: a hand-edited list may hold anything.
        if (szLine.empty() || szLine[0] != '/' || std::find(list.begin(), list.end(), szLine) != list.end())
            continue;
        list.push_back(szLine);
    }
    return list;
}

std::string FormatRecentList(const std::vector<std::string>& list)
{
    std::string sz;
    for (const std::string& s : list)
        sz += s + "\n";
    return sz;
}

void PutFirstInRecentList(std::vector<std::string>& list, const std::string& szFile)
{
    list.erase(std::remove(list.begin(), list.end(), szFile), list.end());
    list.insert(list.begin(), szFile);
    if (list.size() > kRecentListMax)
        list.resize(kRecentListMax);
}

bool DropVanishedFromRecentList(std::vector<std::string>& list)
{
    const size_t n = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const std::string& s) {
                                  std::error_code ec;
                                  return !std::filesystem::is_regular_file(s, ec);
                              }),
               list.end());
    return list.size() != n;
}

bool SaveRecentList(const std::string& szListFile, const std::vector<std::string>& list, std::string& szError)
{
    if (szListFile.empty()) {
        szError = "no folder for the recent files list (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(szListFile).parent_path(), ec);
    const std::string sz = FormatRecentList(list);
    return WriteFileAtomically(szListFile, sz.data(), sz.size(), &szError);
}

std::vector<std::string> LoadRecentList(const std::string& szListFile)
{
    std::string szText;
    if (!ReadFilePrefix(szListFile, kWholeFile, szText))
        return {};
    std::vector<std::string> list = ParseRecentList(szText);
    std::string szError;
    if (DropVanishedFromRecentList(list))
        SaveRecentList(szListFile, list, szError);
    return list;
}

bool AddToRecentList(const std::string& szListFile, const std::string& szFile, std::string& szError)
{
    std::vector<std::string> list = LoadRecentList(szListFile);
    PutFirstInRecentList(list, szFile);
    return SaveRecentList(szListFile, list, szError);
}
