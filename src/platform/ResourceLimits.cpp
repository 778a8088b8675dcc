#include "platform/ResourceLimits.h"

#include <cerrno>
#include <cstdlib>

#include "platform/Log.h"

uint64_t MaxAllocationBytes()
{
    static const uint64_t iLimit = [] {
        uint64_t iMiB = kDefaultMaxAllocationMiB;
        if (const char* sz = std::getenv(kMaxAllocationVariable); sz && *sz) {
            char* pEnd = nullptr;
            errno = 0;
            const unsigned long long v = std::strtoull(sz, &pEnd, 10);
            // A value that is not a plain positive number keeps the default:
            // a typo must not lift the cap.
            if (errno == 0 && pEnd && *pEnd == '\0' && v > 0 && v <= (uint64_t(1) << 24))
                iMiB = v;
        }
        return iMiB << 20;
    }();
    return iLimit;
}

std::string CheckAllocation(const char* szField, uint64_t iCount, uint64_t iItemBytes, uint64_t iAvailable,
                            const char* szItems)
{
    const bool bOverflow = iItemBytes != 0 && iCount > UINT64_MAX / iItemBytes;
    const uint64_t iBytes = bOverflow ? UINT64_MAX : iCount * iItemBytes;
    const auto describe = [&] {
        std::string sz = FormatText("%s declares %llu %s", szField, static_cast<unsigned long long>(iCount), szItems);
        if (iItemBytes != 1)
            sz += FormatText(" of %llu bytes", static_cast<unsigned long long>(iItemBytes));
        return sz + FormatText(" (%llu MiB)", static_cast<unsigned long long>(bOverflow ? UINT64_MAX >> 20 : iBytes >> 20));
    };
    if (iBytes > iAvailable)
        return describe() + FormatText("; the file holds %llu bytes for them", static_cast<unsigned long long>(iAvailable));
    if (iBytes > MaxAllocationBytes())
        return describe() + FormatText(", more than the limit of %llu MiB (%s)",
                                       static_cast<unsigned long long>(MaxAllocationBytes() >> 20), kMaxAllocationVariable);
    return {};
}
