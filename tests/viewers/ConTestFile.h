#pragma once
// A data file as the scanner software writes one: the section line, a
// DataPointer of ten right-aligned digits that points just past the header
// text, the keys, then the data.
#include <cstdio>
#include <string>

inline std::string ConTestFile(const std::string& szSection, const std::string& szKeys, const std::string& szData)
{
    std::string sz = "[" + szSection + "]\nDataPointer=0123456789\n" + szKeys;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%10d", static_cast<int>(sz.size()));
    sz.replace(sz.find('=') + 1, 10, buf);
    return sz + szData;
}
