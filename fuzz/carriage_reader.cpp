// Mirror carriage results are read as text from anywhere: a declared height is
// never believed beyond what the bytes can hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testtools/CenterCCDEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    CCenterCCDEngine e;
    e.ReadCarriageText(std::string(reinterpret_cast<const char*>(pData), iSize), "fuzz.t33");
    (void)PixelsToMove(e.m_dPathDiffFront);
    return 0;
}
