#pragma once
// Small text helpers shared by the result-file readers of the test tools:
// bounded line reading (a hostile file with an endless line costs time, not
// memory), "key = value" splitting and number parsing without the undefined
// behaviour of scanf on out-of-range values.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class CLineSource {
public:
    static constexpr size_t kMaxLine = 4096;
    // Reads from a file (false when it cannot be opened) or from text.
    bool Open(const std::string& szPath);
    void SetText(const std::string& szText);
    ~CLineSource();
    // Next line without its end (CR, LF or CR LF); false at the end.
    bool Next(std::string& szLine);
    int64_t Size() const { return m_iSize; }

private:
    int Get();
    std::FILE* m_pFile = nullptr;
    std::string m_szText;
    size_t m_iPos = 0;
    int64_t m_iSize = 0;
    bool m_bFromText = false;
};

std::string TrimText(const std::string& sz);
// "key = value", "key=value": false when the line holds no '='.
bool SplitKeyValue(const std::string& szLine, std::string& szKey, std::string& szValue);

// Reads whitespace-separated numbers the way scanf reads them, stopping at the
// first field that does not parse. Integers saturate to the int32 range.
class CNumberScanner {
public:
    explicit CNumberScanner(const std::string& sz, size_t iPos = 0) : m_sz(sz), m_iPos(iPos) {}
    bool Int(int32_t& i);
    bool Float(float& f);
    bool Literal(const char* szText); // skips blanks, then matches the text exactly
    size_t Position() const { return m_iPos; }

private:
    void SkipBlanks();
    const std::string& m_sz;
    size_t m_iPos;
};

// printf into a std::string.
std::string Printf(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
