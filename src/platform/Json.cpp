#include "platform/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
// Code points for 0x80..0x9F in Windows-1252; 0 marks the five unassigned bytes.
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::string Cp1252ToUtf8(const std::string& sz)
{
    std::string out;
    out.reserve(sz.size());
    for (unsigned char c : sz) {
        uint32_t cp = c;
        if (c >= 0x80 && c < 0xA0)
            cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : c;
        AppendUtf8(out, cp);
    }
    return out;
}

CJson& CJson::Set(const std::string& szKey, CJson value)
{
    if (!IsObject())
        m_Value = Object{};
    auto& obj = std::get<Object>(m_Value);
    for (auto& kv : obj) {
        if (kv.first == szKey) {
            kv.second = std::move(value);
            return kv.second;
        }
    }
    obj.emplace_back(szKey, std::move(value));
    return obj.back().second;
}

const CJson* CJson::Find(const std::string& szKey) const
{
    if (!IsObject())
        return nullptr;
    for (const auto& kv : std::get<Object>(m_Value))
        if (kv.first == szKey)
            return &kv.second;
    return nullptr;
}

CJson& CJson::Push(CJson value)
{
    if (!IsArray())
        m_Value = Array{};
    auto& arr = std::get<Array>(m_Value);
    arr.push_back(std::move(value));
    return arr.back();
}

std::string ValidUtf8(const std::string& sz)
{
    std::string out;
    out.reserve(sz.size());
    const auto* p = reinterpret_cast<const unsigned char*>(sz.data());
    const size_t n = sz.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        size_t iLen = 0;
        uint32_t cp = 0, iMin = 0;
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            iLen = 2, cp = c & 0x1F, iMin = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            iLen = 3, cp = c & 0x0F, iMin = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            iLen = 4, cp = c & 0x07, iMin = 0x10000;
        }
        bool bOk = iLen > 0 && i + iLen <= n;
        for (size_t k = 1; bOk && k < iLen; ++k) {
            bOk = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        if (bOk && (cp < iMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            bOk = false;
        if (bOk) {
            out.append(sz, i, iLen);
            i += iLen;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

namespace {
std::string EscapeUtf8(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}
} // namespace

std::string CJson::EscapeString(const std::string& sz)
{
    return EscapeUtf8(Cp1252ToUtf8(sz));
}

std::string CJson::Dump(int iIndent) const
{
    std::string out;
    DumpTo(out, iIndent, 0);
    return out;
}

void CJson::DumpTo(std::string& out, int iIndent, int iLevel) const
{
    const bool bPretty = iIndent >= 0;
    auto newline = [&](int iLvl) {
        if (bPretty) {
            out += '\n';
            out.append(static_cast<size_t>(iIndent * iLvl), ' ');
        }
    };
    if (std::holds_alternative<std::monostate>(m_Value)) {
        out += "null";
    } else if (const bool* pb = std::get_if<bool>(&m_Value)) {
        out += *pb ? "true" : "false";
    } else if (const int64_t* pi = std::get_if<int64_t>(&m_Value)) {
        out += std::to_string(*pi);
    } else if (const double* pd = std::get_if<double>(&m_Value)) {
        if (!std::isfinite(*pd)) {
            out += "null";
        } else {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", *pd);
            // Shortest text that reads back to the same double.
            for (int iPrec = 1; iPrec <= 17; ++iPrec) {
                std::snprintf(buf, sizeof buf, "%.*g", iPrec, *pd);
                if (std::strtod(buf, nullptr) == *pd)
                    break;
            }
            out += buf;
        }
    } else if (const std::string* ps = std::get_if<std::string>(&m_Value)) {
        out += EscapeString(*ps);
    } else if (const CUtf8Text* pu = std::get_if<CUtf8Text>(&m_Value)) {
        out += EscapeUtf8(ValidUtf8(pu->m_sz));
    } else if (const Array* pa = std::get_if<Array>(&m_Value)) {
        if (pa->empty()) {
            out += "[]";
            return;
        }
        out += '[';
        for (size_t i = 0; i < pa->size(); ++i) {
            if (i)
                out += ',';
            newline(iLevel + 1);
            (*pa)[i].DumpTo(out, iIndent, iLevel + 1);
        }
        newline(iLevel);
        out += ']';
    } else if (const Object* po = std::get_if<Object>(&m_Value)) {
        if (po->empty()) {
            out += "{}";
            return;
        }
        out += '{';
        for (size_t i = 0; i < po->size(); ++i) {
            if (i)
                out += ',';
            newline(iLevel + 1);
            out += EscapeString((*po)[i].first);
            out += bPretty ? ": " : ":";
            (*po)[i].second.DumpTo(out, iIndent, iLevel + 1);
        }
        newline(iLevel);
        out += '}';
    }
}
