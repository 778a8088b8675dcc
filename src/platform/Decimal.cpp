#include "platform/Decimal.h"

#include <cctype>
#include <charconv>
#include <limits>

bool ScanDecimal(std::string_view sz, size_t& iPos, int32_t& iOut)
{
    while (iPos < sz.size() && std::isspace(static_cast<unsigned char>(sz[iPos])))
        ++iPos;
    size_t i = iPos;
    const bool bNegative = i < sz.size() && sz[i] == '-';
    if (i < sz.size() && (sz[i] == '+' || sz[i] == '-'))
        ++i;
    if (i >= sz.size() || !std::isdigit(static_cast<unsigned char>(sz[i])))
        return false;
    // from_chars takes the minus sign itself, so a value beyond the range is
    // told by its own sign.
    const char* pBegin = sz.data() + (bNegative ? i - 1 : i);
    int32_t iValue = 0;
    const auto [pEnd, ec] = std::from_chars(pBegin, sz.data() + sz.size(), iValue);
    if (ec == std::errc::result_out_of_range)
        iValue = bNegative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    iOut = iValue;
    iPos = static_cast<size_t>(pEnd - sz.data());
    return true;
}

int32_t AtoiText(std::string_view sz)
{
    size_t iPos = 0;
    int32_t iValue = 0;
    return ScanDecimal(sz, iPos, iValue) ? iValue : 0;
}
