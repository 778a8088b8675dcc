// An old scanner library that knows only a few entries: the binding must let
// the missing ones answer 0 and say which they are.
#include <cstring>

#include "scanner/zel_scan_2000.h"

#define ZEL_EXPORT extern "C" __attribute__((visibility("default")))

ZEL_EXPORT int32_t scanOpenLib2(const char*) { return ZEL_OK; }
ZEL_EXPORT int32_t scanCloseLib(void) { return ZEL_OK; }
ZEL_EXPORT int32_t scanGetNextScanner(int32_t* phScanner, void*, int32_t bFirst)
{
    if (!bFirst)
        return ZEL_NO_MORE_SCANNERS;
    *phScanner = 7;
    return ZEL_OK;
}
ZEL_EXPORT int32_t scanGetScannerNameToDisplay(int32_t, char* szName, int32_t iSize)
{
    std::strncpy(szName, "Old Library Scanner", static_cast<size_t>(iSize));
    return ZEL_OK;
}
// Refuses every write with a check condition, and has no scanGetLastAsc to
// say why.
ZEL_EXPORT int32_t scanWriteBuffer(int32_t, const void*, int32_t, int32_t, int32_t, int32_t)
{
    return ZEL_CHECK_CONDITION;
}
