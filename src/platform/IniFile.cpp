#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

#include "platform/FileHandle.h"

namespace {
bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& sz)
{
    size_t b = 0, e = sz.size();
    while (b < e && std::isspace(static_cast<unsigned char>(sz[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(sz[e - 1])))
        --e;
    return sz.substr(b, e - b);
}

// Reads one line (without its end) into szLine, at most CIniFile::kMaxLine
// characters; the rest of a longer line is skipped. False at end of file.
class CFileLines {
public:
    explicit CFileLines(std::FILE* pFile) : m_pFile(pFile) {}
    bool operator()(std::string& szLine)
    {
        szLine.clear();
        int c;
        bool bAny = false;
        while ((c = std::getc(m_pFile)) != EOF) {
            bAny = true;
            if (c == '\n')
                return true;
            if (c == '\r')
                continue;
            if (szLine.size() < CIniFile::kMaxLine)
                szLine += static_cast<char>(c);
        }
        return bAny;
    }

private:
    std::FILE* m_pFile;
};

class CTextLines {
public:
    explicit CTextLines(const std::string& szText) : m_szText(szText) {}
    bool operator()(std::string& szLine)
    {
        szLine.clear();
        if (m_iPos >= m_szText.size())
            return false;
        while (m_iPos < m_szText.size()) {
            const char c = m_szText[m_iPos++];
            if (c == '\n')
                break;
            if (c != '\r' && szLine.size() < CIniFile::kMaxLine)
                szLine += c;
        }
        return true;
    }

private:
    const std::string& m_szText;
    size_t m_iPos = 0;
};

// Splits a line into a section name (bSection) or a key and value; false for
// blank lines, comments and lines without '='.
bool SplitLine(const std::string& szRaw, bool& bSection, std::string& szName, std::string& szValue)
{
    const std::string szLine = Trim(szRaw);
    if (szLine.empty() || szLine[0] == ';')
        return false;
    if (szLine[0] == '[') {
        const size_t iClose = szLine.find(']');
        bSection = true;
        szName = Trim(szLine.substr(1, iClose == std::string::npos ? std::string::npos : iClose - 1));
        return true;
    }
    const size_t iEq = szLine.find('=');
    if (iEq == std::string::npos)
        return false;
    bSection = false;
    szName = Trim(szLine.substr(0, iEq));
    szValue = Trim(szLine.substr(iEq + 1));
    // Profile strings drop one pair of enclosing quotes.
    if (szValue.size() >= 2 && (szValue.front() == '"' || szValue.front() == '\'') && szValue.back() == szValue.front())
        szValue = szValue.substr(1, szValue.size() - 2);
    return true;
}
} // namespace

template <class LineSource> void CIniFile::Parse(LineSource& next)
{
    m_Sections.clear();
    size_t iStored = 0;
    std::string szLine, szName, szValue;
    Section* pCurrent = nullptr;
    while (next(szLine)) {
        bool bSection = false;
        if (!SplitLine(szLine, bSection, szName, szValue))
            continue;
        if (iStored > kMaxStored)
            continue; // keep reading so behaviour does not depend on where the cap falls mid-section
        if (bSection) {
            m_Sections.push_back({szName, {}});
            pCurrent = &m_Sections.back();
            iStored += szName.size();
        } else if (pCurrent) {
            pCurrent->m_Entries.emplace_back(szName, szValue);
            iStored += szName.size() + szValue.size();
        }
    }
}

bool CIniFile::Load(const std::string& szPath)
{
    m_Sections.clear();
    CFilePtr file = OpenFile(szPath, "rb");
    if (!file)
        return false;
    CFileLines lines(file.get());
    Parse(lines);
    return true;
}

bool CIniFile::LoadFromText(const std::string& szText)
{
    CTextLines lines(szText);
    Parse(lines);
    return true;
}

std::optional<std::string> CIniFile::Get(const std::string& szSection, const std::string& szKey) const
{
    for (const Section& s : m_Sections) {
        if (!EqualNoCase(s.m_szName, szSection))
            continue;
        for (const auto& kv : s.m_Entries)
            if (EqualNoCase(kv.first, szKey))
                return kv.second;
    }
    return std::nullopt;
}

std::vector<std::string> CIniFile::Sections() const
{
    std::vector<std::string> names;
    for (const Section& s : m_Sections)
        names.push_back(s.m_szName);
    return names;
}

std::vector<std::pair<std::string, std::string>> CIniFile::Entries(const std::string& szSection) const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const Section& s : m_Sections)
        if (EqualNoCase(s.m_szName, szSection))
            out.insert(out.end(), s.m_Entries.begin(), s.m_Entries.end());
    return out;
}

std::optional<std::string> ReadIniValue(const std::string& szPath, const std::string& szSection,
                                        const std::string& szKey)
{
    CFilePtr file = OpenFile(szPath, "rb");
    if (!file)
        return std::nullopt;
    CFileLines next(file.get());
    std::string szLine, szName, szValue;
    bool bInSection = false;
    std::optional<std::string> result;
    while (!result && next(szLine)) {
        bool bSection = false;
        if (!SplitLine(szLine, bSection, szName, szValue))
            continue;
        if (bSection)
            bInSection = EqualNoCase(szName, szSection);
        else if (bInSection && EqualNoCase(szName, szKey))
            result = szValue;
    }
    return result;
}

std::string GetProfileString(const std::string& szPath, const std::string& szSection, const std::string& szKey,
                             const std::string& szDefault)
{
    auto value = ReadIniValue(szPath, szSection, szKey);
    return value ? *value : szDefault;
}

int32_t GetProfileInt(const std::string& szPath, const std::string& szSection, const std::string& szKey,
                      int32_t iDefault)
{
    auto value = ReadIniValue(szPath, szSection, szKey);
    return value ? AtoiText(*value) : iDefault;
}

