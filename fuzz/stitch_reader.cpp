// Stitching pictures from hostile bytes: both forms, header keys, run-length
// rows that overrun or never end, sizes the data cannot hold.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "viewers/StitchPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    const std::string szPath = FuzzScratchFile("stitch", pData, iSize);
    CStitchPicture picture;
    std::vector<std::string> messages;
    std::string szError;
    if (picture.Load(szPath, messages, szError) && picture.Decode(messages, szError)) {
        const size_t iPixels = size_t(picture.m_iWidth) * size_t(picture.m_iHeight);
        if (picture.m_bRunLength) {
            if (picture.m_RowStart.size() != size_t(picture.m_iHeight) + 1)
                __builtin_trap();
            const int32_t iStride = StitchBitStride(picture.m_iWidth);
            std::vector<uint8_t> band(size_t(iStride) * 64);
            picture.DecodeRows(picture.m_iHeight / 2, picture.m_iHeight / 2 + 64, band.data(), iStride);
            picture.CheckRows(messages);
        } else if (picture.m_Pixels.size() != iPixels) {
            __builtin_trap();
        }
        CStitchView view;
        view.m_iWidth = picture.m_iWidth;
        view.m_iHeight = picture.m_iHeight;
        view.m_iClientWidth = 640;
        view.m_iClientHeight = 480;
        view.Reset();
        view.ZoomIn(iSize > 0 ? pData[0] : 0, 3);
        view.HorizontalScroll();
        view.VerticalScroll();
    }
    return 0;
}
