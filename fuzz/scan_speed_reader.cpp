// "[ScanSpeed]" files from hostile bytes: counts beyond the capacity, huge
// capacities, cut and malformed data lines. What reads must count its stalls
// and write back.
#include <cstdint>
#include <string>

#include "FuzzScratch.h"
#include "scanner/ScanSpeed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    const std::string szPath = FuzzScratchFile("scanspeed", pData, iSize);
    CScanSpeedRecord record;
    if (record.ReadScanSpeed(szPath)) {
        if (record.Count() > record.Capacity())
            __builtin_trap();
        record.CountStalls();
    } else if (record.m_szError.empty()) {
        __builtin_trap();
    }
    return 0;
}
