// Star test result files come from test stations and file shares: any bytes
// must end in a message, never a crash or a runaway allocation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testtools/StarTestEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    CStarTestEngine e;
    e.ReadText(std::string(reinterpret_cast<const char*>(pData), iSize), "fuzz.txt");
    for (size_t i = 0; i < e.m_Sweeps.size(); ++i) {
        e.m_iDisplayed = int32_t(i);
        (void)e.ChartData();
    }
    (void)CStarTestEngine::FormatFile(e.m_Sweeps, e.m_iSweepCount, e.m_iRepeat);
    return 0;
}
