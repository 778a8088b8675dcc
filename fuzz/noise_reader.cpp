// Noise tests from hostile bytes: header and headerless forms, widths and
// channel layouts that do not fit the file, the marks of what was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Messages.h"
#include "viewers/NoiseRecord.h"

namespace {
// The readers take a path: the input goes to one scratch file per process.
std::string ScratchFile(const uint8_t* pData, size_t iSize)
{
    static const std::string szPath = "/tmp/lumora-fuzz-noise-" + std::to_string(::getpid()) + ".con";
    static const bool bCleanup = std::atexit([] { std::remove(szPath.c_str()); }) == 0;
    (void)bCleanup;
    std::FILE* f = std::fopen(szPath.c_str(), "wb");
    if (f) {
        std::fwrite(pData, 1, iSize, f);
        std::fclose(f);
    }
    return szPath;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    static CMessageRecorder* pQuiet = new CMessageRecorder;
    pQuiet->Clear();
    const std::string szPath = ScratchFile(pData, iSize);
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
