// Noise tests from hostile bytes: header and headerless forms, widths and
// channel layouts that do not fit the file, the marks of what was read.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "viewers/NoiseRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    const std::string szPath = FuzzScratchFile("noise", pData, iSize);
    CNoiseRecord record;
    if (record.ReadNoiseFile(szPath)) {
        for (int32_t iColor : {0, 1, 2, 4}) {
            const std::vector<uint8_t>* pChannel = record.Channel(iColor);
            if (pChannel && pChannel->size() != size_t(record.m_iWidth))
                __builtin_trap();
            if (pChannel)
                FindNoiseMarks(*pChannel, iColor, 640, 400, record.m_iWidth / 2, 2, 1, record.m_dWidthFactor);
        }
    }
    return 0;
}
