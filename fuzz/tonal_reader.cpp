// Tonal resolution results are read as text from anywhere: any bytes must end
// in defaults and a message, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testtools/TonalChart.h"
#include "testtools/TonalResult.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    TonalResult r;
    r.ReadText(std::string(reinterpret_cast<const char*>(pData), iSize), "fuzz.txt");
    (void)r.Format();
    (void)r.TextResultLines();
    const CPlotRect plot{10, 10, 300, 200};
    for (int32_t v = 0; v < 3; ++v)
        for (int32_t i = 0; i < TonalResult::kPatches; ++i) (void)TonalMapY(TonalChartValue(r, v, i, 1, false), v, plot);
    return 0;
}
