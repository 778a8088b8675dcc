#include "testtools/StarTestPicture.h"

#include <algorithm>
#include <cmath>

#include "imaging/ImageErrors.h"
#include "imaging/TifReader.h"
#include "testtools/ResultText.h"

bool LoadStarTestRawPicture(const std::string& szPath, CPicture& picture, std::string& szError)
{
    const uint32_t iCode = LoadTiffIntoPicture(picture, szPath);
    if (iCode != 0) {
        const char* szText = ImageErrorText(iCode);
        szError = Printf("the picture cannot be read (0x%08X %s)", iCode, szText ? szText : "");
        return false;
    }
    if (!picture.IsGray() && !picture.IsRGB()) {
        szError = "the picture is neither gray nor RGB";
        return false;
    }
    return true;
}

static int32_t ToPixel(double d)
{
    if (!std::isfinite(d)) return -1;
    return static_cast<int32_t>(std::lround(std::clamp(d, -1.0, 2e9)));
}

void MarkStarTestPicture(const StarTestSweep& s, CPicture& pic)
{
    if (pic.IsGray()) pic.GrayToRGB();
    if (!pic.IsRGB()) return;
    const int32_t a = std::clamp(s.m_iXVibStart, 0, s.m_iLength);
    const int32_t b = std::clamp(s.m_iXVibEnd, 0, s.m_iLength);
    for (int32_t r = a; r < b; ++r) {
        const size_t i = size_t(r);
        pic.SetPixel(s.m_iXLineColumn[i], ToPixel(s.m_dYLinePos[i]), 0, 255, 0); // SetPixel checks the bounds
        pic.SetPixel(ToPixel(s.m_dXLinePos[i]), r, 0, 0, 255);
    }
}

void StarTestPickCentre(const StarTestSweep& s, const CPicture& pic, int32_t iRow, int32_t& x, int32_t& y)
{
    x = std::max(0, pic.m_iWidth) / 2;
    y = std::max(0, pic.m_iHeight) / 2;
    if (iRow < 0 || iRow >= s.m_iLength) return;
    y = iRow;
    const int32_t px = ToPixel(s.m_dXLinePos[size_t(iRow)]);
    if (px > 0 && px < pic.m_iWidth) x = px;
}
