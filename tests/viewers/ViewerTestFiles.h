#pragma once
// The older headerless forms of the viewers' files, and a camera check of a
// known picture, for the core and the UI tests alike.
#include <string>

#include "support/DataFileBytes.h"

// A stitching picture: marker 18 gray, 0x11 or 0 run-length.
inline std::string OldStitch(int iMarker, int32_t iW, int32_t iH, int32_t iRes100, const std::string& szData)
{
    return HeaderlessBytes(iMarker, {{24, iRes100}, {28, iW}, {32, iH}}) + szData;
}

// A noise test: the channels, then a trailer naming the scanner and whether it is a colour one.
inline std::string OldNoise(bool bColor, int32_t iWidth, const std::string& szChannels, uint32_t uModel = 0,
                            const std::string& szScanner = "ZelOld")
{
    std::string szTrailer(44, '\0');
    szTrailer.replace(0, szScanner.size(), szScanner);
    szTrailer[17] = bColor ? 1 : 0;
    return HeaderlessBytes(19, {{28, iWidth}, {40, uModel}}) + szChannels + szTrailer;
}

// A camera adjustment check: 13900 at offset 20 marks the headerless form.
inline std::string OldCameraCheck(const std::string& szData)
{
    return HeaderlessBytes(0, {{20, 13900}}) + szData;
}

// 1270 columns; the left 635 black from row 100 down (level 155).
inline std::string CameraCheckFile(bool bNewHeader = false)
{
    std::string szData(10, '\x7F');
    szData += '\0';
    szData += std::string(48, '\0');
    for (int y = 0; y < 256; ++y) {
        if (y >= 100)
            szData += std::string(5, '\x7F');
        szData += '\0';
    }
    return bNewHeader ? ConTestFile("G3 Light Profile", "Length=" + std::to_string(szData.size()) + "\n", szData)
                      : OldCameraCheck(szData);
}
