#include "app/CommandLine.h"

#include <cctype>
#include <unistd.h>


namespace {
constexpr size_t kFieldSize = 256;   // the file-to-load field, terminator included
constexpr size_t kRuleThreeBuffer = 260;

std::string QuotesToBlanks(std::string sz)
{
    for (char& c : sz)
        if (c == '"')
            c = ' ';
    return sz;
}
// The colon of a drive path ("C:\\..."), which lets the third rule drop a
// switch or stray quote written before it. On Linux a colon is also an
// ordinary character of file names ("scan 12:30.con", "/mnt/C:/x.con"); only
// a letter that begins a word (the text, or after a blank or quote), then the
// colon and a path separator, is taken for a drive.
size_t FindDriveColon(const std::string& sz)
{
    for (size_t i = sz.find(':'); i != std::string::npos; i = sz.find(':', i + 1)) {
        const bool bLetterBefore = i > 0 && std::isalpha(static_cast<unsigned char>(sz[i - 1]));
        const bool bWordStart = i == 1 || (i > 1 && (sz[i - 2] == ' ' || sz[i - 2] == '"'));
        const bool bSeparatorAfter = i + 1 < sz.size() && (sz[i + 1] == '\\' || sz[i + 1] == '/');
        if (i == 0 || (bLetterBefore && bWordStart && bSeparatorAfter))
            return i;
    }
    return std::string::npos;
}
} // namespace

std::string JoinCommandLine(int argc, const char* const* argv, int iFirst)
{
    std::string szLine;
    for (int i = iFirst; i < argc; ++i) {
        if (i > iFirst)
            szLine += ' ';
        szLine += argv[i];
    }
    return szLine;
}

namespace {
std::string ChooseFile(const std::string& sz, size_t iRuleThreeMax)
{
    if ((sz.size() > 1 && sz[1] == ':') || (sz.size() > 2 && sz[2] == ':'))
        return sz;
    if (sz.size() > 2 && sz[1] == '\\' && sz[2] == '\\')
        return QuotesToBlanks(sz).substr(1);
    const size_t iColon = FindDriveColon(sz);
    const size_t iStart = (iColon == std::string::npos || iColon == 0) ? 0 : iColon - 1;
    return QuotesToBlanks(sz.substr(iStart, iRuleThreeMax));
}
} // namespace

std::string ChooseFileFromCommandLine(const std::string& sz)
{
    return ChooseFile(sz, kRuleThreeBuffer - 1);
}

std::string OverlongFileName(const std::string& szCommandLine)
{
    std::string szName;
    for (char c : ChooseFile(szCommandLine, std::string::npos))
        if (c != '"')
            szName += c;
    return szName.size() < kFieldSize ? std::string() : szName;
}

std::string FileToLoadField(const std::string& szText)
{
    std::string szField;
    for (size_t i = 0; i < szText.size() && i < kFieldSize && szField.size() < kFieldSize - 1; ++i)
        if (szText[i] != '"')
            szField += szText[i];
    return szField;
}

std::string TrimForOpening(const std::string& szName)
{
    std::string sz = szName;
    while (!sz.empty() && sz.back() == ' ')
        sz.pop_back();
    // Without a drive colon the third rule turns an opening quote into a
    // leading blank. Linux paths have no drive colon, so a quoted path always
    // arrives that way; a name that really starts with a blank is kept.
    size_t iFirst = 0;
    while (iFirst < sz.size() && sz[iFirst] == ' ')
        ++iFirst;
    if (iFirst > 0 && ::access(sz.c_str(), F_OK) != 0)
        sz.erase(0, iFirst);
    return sz;
}
