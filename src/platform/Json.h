#pragma once
// A small JSON value for the command-line tool's machine-readable output.
// Objects keep their keys in insertion order so the output is stable.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class CJson {
public:
    using Array = std::vector<CJson>;
    using Object = std::vector<std::pair<std::string, CJson>>;

    CJson() = default; // null
    CJson(std::nullptr_t) {}
    CJson(bool b) : m_Value(b) {}
    CJson(int i) : m_Value(static_cast<int64_t>(i)) {}
    CJson(unsigned u) : m_Value(static_cast<int64_t>(u)) {}
    CJson(long i) : m_Value(static_cast<int64_t>(i)) {}
    CJson(long long i) : m_Value(static_cast<int64_t>(i)) {}
    CJson(unsigned long u) : m_Value(static_cast<int64_t>(u)) {}
    CJson(unsigned long long u) : m_Value(static_cast<int64_t>(u)) {}
    CJson(double d) : m_Value(d) {}
    CJson(const char* sz) : m_Value(std::string(sz)) {}
    CJson(std::string sz) : m_Value(std::move(sz)) {}
    CJson(Array a) : m_Value(std::move(a)) {}

    // A text that is already UTF-8 rather than code-page bytes: file names
    // (bytes from the file system, shown in the locale's encoding) and the
    // system's own messages. Invalid sequences are written as U+FFFD.
    static CJson Utf8(std::string sz) { CJson j; j.m_Value = CUtf8Text{std::move(sz)}; return j; }
    static CJson MakeObject() { CJson j; j.m_Value = Object{}; return j; }
    static CJson MakeArray() { CJson j; j.m_Value = Array{}; return j; }

    bool IsNull() const { return std::holds_alternative<std::monostate>(m_Value); }
    bool IsObject() const { return std::holds_alternative<Object>(m_Value); }
    bool IsArray() const { return std::holds_alternative<Array>(m_Value); }

    // Object access: sets (replacing an existing key in place) or appends.
    CJson& Set(const std::string& szKey, CJson value);
    // Returns nullptr when absent or not an object.
    const CJson* Find(const std::string& szKey) const;
    // Array access.
    CJson& Push(CJson value);

    const Object& AsObject() const { return std::get<Object>(m_Value); }
    const Array& AsArray() const { return std::get<Array>(m_Value); }

    // Compact when iIndent < 0, else pretty-printed with that many blanks a level.
    std::string Dump(int iIndent = 2) const;

    // Plain strings are 8-bit texts in the Windows-1252 code page (header
    // values); they are written as UTF-8 so the output is always valid JSON.
    static std::string EscapeString(const std::string& sz);

private:
    struct CUtf8Text {
        std::string m_sz;
    };
    void DumpTo(std::string& out, int iIndent, int iLevel) const;
    std::variant<std::monostate, bool, int64_t, double, std::string, Array, Object, CUtf8Text> m_Value;
};

// Windows-1252 → UTF-8, the way header texts are shown.
std::string Cp1252ToUtf8(const std::string& sz);
// Bytes that should be UTF-8 made valid: every byte that does not belong to a
// well-formed sequence becomes U+FFFD.
std::string ValidUtf8(const std::string& sz);
