#pragma once
// Data files as the scanner software writes them, built byte by byte so a
// test can damage exactly what it means to, and the size a PNG declares.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// The section line, a DataPointer of ten right-aligned digits that points just
// past the header text, the keys, then the data.
inline std::string ConTestFile(const std::string& szSection, const std::string& szKeys, const std::string& szData)
{
    std::string sz = "[" + szSection + "]\nDataPointer=0123456789\n" + szKeys;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%10d", static_cast<int>(sz.size()));
    sz.replace(sz.find('=') + 1, 10, buf);
    return sz + szData;
}

// The 48-byte header of the older files: a kind marker in byte 11 and
// little-endian 32-bit values at the given offsets.
inline std::string HeaderlessBytes(int iByte11, std::initializer_list<std::pair<size_t, int64_t>> values = {})
{
    std::string sz(48, '\0');
    sz[11] = static_cast<char>(iByte11);
    for (const auto& [iAt, iValue] : values)
        for (size_t i = 0; i < 4; ++i)
            sz[iAt + i] = static_cast<char>((static_cast<uint64_t>(iValue) >> (8 * i)) & 0xFF);
    return sz;
}

struct CPackedEntry {
    std::string m_szName;
    std::string m_szData;
    std::string m_szSizeText = std::string(); // empty: the real size
};

// A packed file: one "name=size" line an entry, then the entries' bytes.
inline std::string RawdexBytes(const std::vector<CPackedEntry>& entries)
{
    std::string szLines;
    for (const CPackedEntry& e : entries)
        szLines += e.m_szName + "=" +
                   (e.m_szSizeText.empty() ? std::to_string(e.m_szData.size()) : e.m_szSizeText) + "\n";
    char szHead[64];
    std::snprintf(szHead, sizeof szHead, "[Rawdex]\nDataPointer=%10zu\n", 32 + szLines.size());
    std::string sz = szHead + szLines;
    for (const CPackedEntry& e : entries)
        sz += e.m_szData;
    return sz;
}

// Width and height from a PNG's header chunk; 0 x 0 when it is no PNG.
inline std::pair<uint32_t, uint32_t> PngSize(const std::string& png)
{
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t i) {
        return uint32_t(uint8_t(png[i])) << 24 | uint32_t(uint8_t(png[i + 1])) << 16 |
               uint32_t(uint8_t(png[i + 2])) << 8 | uint8_t(png[i + 3]);
    };
    return {be32(16), be32(20)};
}
