// Scan-line positioning results are read as text from anywhere: any bytes
// must end in a message or a result, never a crash or an oversized allocation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testtools/CenterCCDEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    CCenterCCDEngine e;
    e.ReadPositioningText(std::string(reinterpret_cast<const char*>(pData), iSize), "fuzz.t32");
    (void)e.Passed();
    return 0;
}
