#include "datafiles/Rawdex.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>

#include "datafiles/ConFile.h"
#include "datafiles/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Paths.h"

namespace {
constexpr size_t kMaxName = 259;     // a name of 260 or more ends the unpacking
constexpr size_t kMaxSizeText = 29;  // so does a size text of 30 or more
constexpr size_t kCopyChunk = 1u << 20;

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// atoi over 64 bits: blanks, sign, digits; false on overflow.
bool ParseSize(const std::string& sz, int64_t& iValue)
{
    size_t i = 0;
    while (i < sz.size() && std::isspace(static_cast<unsigned char>(sz[i])))
        ++i;
    bool bNegative = false;
    if (i < sz.size() && (sz[i] == '+' || sz[i] == '-'))
        bNegative = sz[i++] == '-';
    iValue = 0;
    while (i < sz.size() && std::isdigit(static_cast<unsigned char>(sz[i]))) {
        if (iValue > (INT64_MAX - 9) / 10)
            return false;
        iValue = iValue * 10 + (sz[i++] - '0');
    }
    if (bNegative)
        iValue = -iValue;
    return true;
}

// Names are shown in messages; keep control bytes out of them.
std::string Printable(const std::string& sz)
{
    std::string out;
    for (char c : sz) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127)
            out += FormatText("\\x%02X", u);
        else
            out += c;
    }
    return out;
}
// The walk stops once fewer than 10 header bytes follow an entry line; an
// entry written there is passed over by that rule. Say so, since the packing
// tool meant it to be unpacked.
std::string DroppedEntryNote(const std::string& szRest)
{
    const size_t iEq = szRest.find('=');
    if (iEq == std::string::npos || szRest.find_first_not_of(" \t\r\n") == std::string::npos)
        return std::string();
    std::string szSize = szRest.substr(iEq + 1);
    if (const size_t iEnd = szSize.find_first_of("\r\n"); iEnd != std::string::npos)
        szSize.resize(iEnd);
    return "entry \"" + Printable(szRest.substr(0, iEq)) + "\" (" + szSize +
           " bytes) is not unpacked: its line ends within the last 9 bytes of the header, where no entry is read";
}
} // namespace

std::string RawdexNameProblem(const std::string& szName)
{
    if (szName.empty())
        return "has an empty name";
    if (szName.find('\0') != std::string::npos)
        return "has a NUL byte in its name";
    // A line feed or other control byte in a name means the entry line was
    // broken (its "=" stood on a later line); such a name is no file to make.
    if (std::any_of(szName.begin(), szName.end(), [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }))
        return "has a control character in its name";
    if (szName[0] == '/')
        return "has an absolute name";
    if (szName.find('/') != std::string::npos || szName.find('\\') != std::string::npos)
        return "names a folder (\"/\" or \"\\\")";
    if (szName == "." || szName == "..")
        return "names a folder (\"..\")";
    return std::string();
}

std::vector<CRawdexEntry> ListRawdexEntries(const std::string& szHeader, int64_t iH, std::string& szProblem,
                                            std::string* pDropped)
{
    std::vector<CRawdexEntry> entries;
    szProblem.clear();
    if (pDropped)
        pDropped->clear();
    std::string t = szHeader.substr(0, static_cast<size_t>(std::max<int64_t>(0, iH)));
    const int64_t iLen = static_cast<int64_t>(t.size());
    if (iLen <= 9)
        return entries;
    // The section and DataPointer lines must not read as entries.
    if (const size_t i = t.find('\n'); i != std::string::npos)
        t[i] = ' ';
    if (const size_t i = t.find('='); i != std::string::npos)
        t[i] = ' ';
    int64_t iOffset = iH;
    size_t iPos = 0;
    for (;;) {
        const size_t iLf = t.find('\n', iPos);
        if (iLf == std::string::npos)
            break;
        t[iLf] = ' ';
        const size_t iEq = t.find('=', iLf);
        if (iEq == std::string::npos) {
            if (t.find_first_not_of(" \t\r\n", iLf) != std::string::npos)
                szProblem = "an entry line without \"=\"";
            break;
        }
        t[iEq] = ' ';
        const std::string szName = t.substr(iLf + 1, iEq - iLf - 1);
        if (szName.size() > kMaxName) {
            szProblem = "an entry name of 260 or more characters";
            break;
        }
        size_t iEnd = t.find('\n', iEq);
        const bool bLast = iEnd == std::string::npos;
        if (bLast)
            iEnd = t.size();
        const std::string szSize = t.substr(iEq + 1, iEnd - iEq - 1);
        if (szSize.size() > kMaxSizeText) {
            szProblem = "entry \"" + Printable(szName) + "\": a size text of 30 or more characters";
            break;
        }
        int64_t iSize = 0;
        if (!ParseSize(szSize, iSize) || iSize < 0) {
            szProblem = "entry \"" + Printable(szName) + "\": the size is not a number of bytes";
            break;
        }
        entries.push_back({szName, iSize, iOffset});
        if (iSize > INT64_MAX - iOffset) {
            szProblem = "entry \"" + Printable(szName) + "\": the size runs past the end of the file";
            break;
        }
        iOffset += iSize;
        if (bLast)
            break;
        if (static_cast<int64_t>(iEnd) + 9 >= iLen) {
            if (pDropped)
                *pDropped = DroppedEntryNote(t.substr(iEnd + 1));
            break;
        }
        iPos = iEnd;
    }
    return entries;
}

CRawdexResult UnpackRawdex(const std::string& szPath, const std::string& szIntoDir)
{
    CRawdexResult result;
    Log_Msg_Txt("UnpackRawdex", szPath);
    std::string szDir;
    if (!szIntoDir.empty())
        szDir = szIntoDir.back() == '/' ? szIntoDir : szIntoDir + "/";
    else if (const size_t iSlash = szPath.rfind('/'); iSlash != std::string::npos)
        szDir = szPath.substr(0, iSlash + 1);
    result.m_szOutputDir = szDir;
    // The sibling tool goes back to this folder next time; a removable
    // medium will not be there then.
    if (!szDir.empty() && !IsRemovableMediaFolder(szDir)) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(szDir, ec);
        SaveLastPath(ec ? szDir : WithFolderSeparator(absolute.lexically_normal().string()));
    }

    std::string szOpenError;
    int64_t iFileSize = 0;
    CFilePtr file = OpenRegularFile(szPath, szOpenError, &iFileSize);
    if (!file.get()) {
        result.m_Problems.push_back("cannot open the file: " + szOpenError);
        result.m_bCannotOpen = true;
        return result;
    }

    std::string szFirst, szHeader;
    try {
        szFirst.resize(static_cast<size_t>(std::min<int64_t>(200, iFileSize)));
    } catch (const std::bad_alloc&) {
        ShowMessage("Low memory");
        result.m_Problems.push_back("Low memory");
        return result;
    }
    if (std::fread(szFirst.data(), 1, szFirst.size(), file.get()) != szFirst.size()) {
        result.m_Problems.push_back("cannot read the file");
        return result;
    }
    const size_t iEq = szFirst.find('=');
    if (iEq == std::string::npos) {
        result.m_Problems.push_back("no DataPointer in the header");
        return result;
    }
    const int64_t iH = AtoiText(szFirst.substr(iEq + 1, 10));
    // The header holds at least its data-pointer line; a shorter H (or one
    // that is no number) would unpack nothing and say nothing.
    const int64_t iMinH = static_cast<int64_t>(iEq) + 12;
    if (iH < iMinH || iH > iFileSize || iH > CON_MAX_HEADER) {
        result.m_Problems.push_back(iH > iFileSize ? "DataPointer points past the end of the file"
                                                    : "DataPointer is not a header length");
        return result;
    }
    try {
        szHeader.resize(static_cast<size_t>(iH));
    } catch (const std::bad_alloc&) {
        ShowMessage("Low Memory (2)");
        result.m_Problems.push_back("Low Memory (2)");
        return result;
    }
    if (::fseeko(file.get(), 0, SEEK_SET) != 0 || std::fread(szHeader.data(), 1, szHeader.size(), file.get()) != szHeader.size()) {
        result.m_Problems.push_back("cannot read the header");
        return result;
    }

    const bool bTestStation = IsTestStation();
    std::string szListProblem, szDropped;
    const std::vector<CRawdexEntry> entries = ListRawdexEntries(szHeader, iH, szListProblem, &szDropped);
    if (!szDropped.empty()) {
        Log_Msg_Txt("UnpackRawdex:", szDropped);
        result.m_Dropped.push_back(szDropped);
    }

    std::vector<char> buffer;
    for (const CRawdexEntry& entry : entries) {
        const std::string szShown = "entry \"" + Printable(entry.m_szName) + "\"";
        if (entry.m_iSize > iFileSize - entry.m_iOffset) {
            result.m_Problems.push_back(szShown + ": its size runs past the end of the file");
            szListProblem.clear(); // the walk would have stopped here anyway
            break;
        }
        if (const std::string szWhy = RawdexNameProblem(entry.m_szName); !szWhy.empty()) {
            result.m_Problems.push_back(szShown + " " + szWhy + "; not written");
            continue;
        }
        if (!bTestStation && EqualNoCase(entry.m_szName, "Rawdex.txt")) {
            result.m_Skipped.push_back(entry.m_szName);
            continue;
        }
        const std::string szTarget = szDir + entry.m_szName;
        CAtomicFile out;
        bool bOk = out.Open(szTarget) && ::fseeko(file.get(), static_cast<off_t>(entry.m_iOffset), SEEK_SET) == 0;
        if (bOk && buffer.empty())
            buffer.resize(kCopyChunk);
        for (int64_t iLeft = entry.m_iSize; bOk && iLeft > 0;) {
            const size_t iChunk = static_cast<size_t>(std::min<int64_t>(iLeft, static_cast<int64_t>(buffer.size())));
            bOk = std::fread(buffer.data(), 1, iChunk, file.get()) == iChunk && out.Write(buffer.data(), iChunk);
            iLeft -= static_cast<int64_t>(iChunk);
        }
        if (bOk)
            bOk = out.Commit();
        if (!bOk) {
            const std::string szError = out.Error().empty() ? "read error" : out.Error();
            result.m_Problems.push_back(szShown + ": cannot write " + szTarget + ": " + szError);
            result.m_bWriteFailed = true;
            out.Discard();
            continue;
        }
        Log_Msg_Txt("UnpackRawdex wrote", szTarget);
        result.m_Written.push_back(szTarget);
    }
    if (!szListProblem.empty())
        result.m_Problems.push_back(szListProblem);
    result.m_bOk = result.m_Problems.empty();
    return result;
}
