// ".osa" recordings from hostile bytes: headers without their last camera,
// pixel counts beyond any camera, bodies cut inside a line, endless headers.
// A recording that reads must replay through the block processing.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "FuzzScratch.h"
#include "scanner/ContScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    static const std::string szBase = "/tmp/lumora-fuzz-osa-" + std::to_string(::getpid());
    static const bool bCleanup = std::atexit([] { std::remove((szBase + "_OSA-0.osa").c_str()); }) == 0;
    (void)bCleanup;
    if (std::FILE* f = std::fopen((szBase + "_OSA-0.osa").c_str(), "wb")) {
        std::fwrite(pData, 1, iSize, f);
        std::fclose(f);
    }
    for (const int32_t iKind : {1, 2}) {
        CContScan scan(nullptr);
        scan.m_iColorKind = iKind;
        scan.m_iColorComponent = iKind == 2 ? ZEL_COLOR_RGB : ZEL_COLOR_GRAY;
        scan.m_bDoubleBlock = iSize % 2 == 0;
        if (!scan.OpenRecording(szBase))
            continue;
        const int64_t iLine = int64_t(scan.PixelsPerLine()) * scan.BytesPerPixel();
        if (iLine <= 0 || scan.ReplayLength() <= 0)
            __builtin_trap();
        for (int i = 0; i < 4; ++i) {
            scan.ReadBuffer();
            if (scan.ReceivedBytes() % iLine != 0)
                __builtin_trap();
            scan.BufferWithoutCISNoise();
        }
    }
    return 0;
}
