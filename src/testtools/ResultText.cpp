#include "testtools/ResultText.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "platform/Decimal.h"
#include "platform/FileHandle.h"

bool CLineSource::Open(const std::string& szPath)
{
    if (m_pFile) std::fclose(m_pFile);
    m_bFromText = false;
    m_pFile = nullptr;
    std::string szError;
    int64_t iSize = 0;
    CFilePtr file = OpenRegularFile(szPath, szError, &iSize);
    if (!file)
        return false;
    m_pFile = file.release();
    m_iSize = iSize;
    return true;
}

void CLineSource::SetText(const std::string& szText)
{
    m_szText = szText;
    m_iPos = 0;
    m_iSize = int64_t(szText.size());
    m_bFromText = true;
}

CLineSource::~CLineSource()
{
    if (m_pFile) std::fclose(m_pFile);
}

int CLineSource::Get()
{
    if (m_bFromText) return m_iPos < m_szText.size() ? static_cast<unsigned char>(m_szText[m_iPos++]) : EOF;
    return m_pFile ? std::getc(m_pFile) : EOF;
}

bool CLineSource::Next(std::string& szLine)
{
    szLine.clear();
    int c = Get();
    if (c == EOF) return false;
    while (c != EOF && c != '\n' && c != '\r') {
        if (szLine.size() < kMaxLine) szLine.push_back(char(c));
        c = Get();
    }
    if (c == '\r') {
        const int d = Get();
        if (d != '\n' && d != EOF) {
            if (m_bFromText) --m_iPos;
            else std::ungetc(d, m_pFile);
        }
    }
    return true;
}

std::string TrimText(const std::string& sz)
{
    size_t b = 0, e = sz.size();
    while (b < e && std::isspace(static_cast<unsigned char>(sz[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(sz[e - 1]))) --e;
    return sz.substr(b, e - b);
}

bool SplitKeyValue(const std::string& szLine, std::string& szKey, std::string& szValue)
{
    const size_t iEq = szLine.find('=');
    if (iEq == std::string::npos) return false;
    szKey = TrimText(szLine.substr(0, iEq));
    szValue = TrimText(szLine.substr(iEq + 1));
    return true;
}

void CNumberScanner::SkipBlanks()
{
    while (m_iPos < m_sz.size() && std::isspace(static_cast<unsigned char>(m_sz[m_iPos]))) ++m_iPos;
}

bool CNumberScanner::Int(int32_t& i)
{
    SkipBlanks();
    return ScanDecimal(m_sz, m_iPos, i);
}

bool CNumberScanner::Float(float& f)
{
    SkipBlanks();
    if (m_iPos >= m_sz.size()) return false;
    const char* pBegin = m_sz.c_str() + m_iPos;
    char* pEnd = nullptr;
    const float v = std::strtof(pBegin, &pEnd);
    if (pEnd == pBegin || !std::isfinite(v)) return false; // the analysis relies on finite values
    f = v;
    m_iPos += size_t(pEnd - pBegin);
    return true;
}

bool CNumberScanner::Literal(const char* szText)
{
    SkipBlanks();
    size_t n = 0;
    while (szText[n]) {
        if (m_iPos + n >= m_sz.size() || m_sz[m_iPos + n] != szText[n]) return false;
        ++n;
    }
    m_iPos += n;
    return true;
}

std::string Printf(const char* szFormat, ...)
{
    char szBuf[1024];
    va_list args;
    va_start(args, szFormat);
    const int n = std::vsnprintf(szBuf, sizeof szBuf, szFormat, args);
    va_end(args);
    if (n < 0) return {};
    if (size_t(n) < sizeof szBuf) return std::string(szBuf, size_t(n));
    std::string sz(size_t(n) + 1, '\0');
    va_start(args, szFormat);
    std::vsnprintf(sz.data(), sz.size(), szFormat, args);
    va_end(args);
    sz.resize(size_t(n));
    return sz;
}
