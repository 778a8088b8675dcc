#include "SimCameras.h"

#include <algorithm>
#include <cmath>

#include "SimDevice.h"
#include "platform/ByteOrder.h"
#include "scanner/zel_scan_2000.h"

namespace sim {

CNominal Nominal(const CScenario& s)
{
    CNominal n;
    n.m_iCameras = std::clamp(s.m_iCameras, 1, kMaxCameras);
    n.m_iResolution = s.m_iOpticalResolution > 0 ? std::min(s.m_iOpticalResolution, 9600) : 600;
    const int64_t iWidth = static_cast<int64_t>(std::max(s.m_iScanWidth, 1200)) * n.m_iResolution / 1200;
    n.m_iPixels = static_cast<int32_t>(std::clamp<int64_t>(iWidth / n.m_iCameras, 64, 65535));
    n.m_iDark = std::clamp(s.m_iDarkPixels, 0, n.m_iPixels / 8);
    const int32_t iActive = n.m_iPixels - 2 * n.m_iDark;
    n.m_iOverlap = std::clamp(s.m_iCameraOverlap, 0, iActive / 2);
    const double dUnit = 1200.0 / n.m_iResolution;
    n.m_dActive = iActive * dUnit;
    n.m_dPitch = (iActive - n.m_iOverlap) * dUnit;
    n.m_dSheetWidth = n.m_iCameras * n.m_dActive - (n.m_iCameras - 1) * n.m_iOverlap * dUnit;
    return n;
}

std::vector<uint8_t> DefaultStitchPositions(const CScenario& s)
{
    const CNominal n = Nominal(s);
    std::vector<uint8_t> positions;
    for (int32_t c = 0; c + 1 < std::clamp(s.m_iCameras, 0, kMaxCameras); ++c) {
        const int32_t a = n.m_iPixels - n.m_iDark - n.m_iOverlap / 2, b = n.m_iDark + n.m_iOverlap / 2;
        positions.insert(positions.end(), {static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), 1,
                                           static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b), 1});
    }
    return positions;
}

namespace {

// Stitch join of stitch area i in own pixels at the optical resolution: the
// last pixel (exclusive) camera i gives and the first camera i + 1 gives. The
// stitch value moves the join inside camera i + 1, so a camera that looks
// too far left or right is evened out where the two meet.
void StitchJoin(const CDevice& d, const CNominal& n, int32_t i, int32_t& iEnd, int32_t& iStart)
{
    iEnd = n.m_iPixels - n.m_iDark - n.m_iOverlap / 2;
    iStart = n.m_iDark + n.m_iOverlap / 2;
    if (const auto it = d.m_Buffers.find({ZEL_BUF_STITCH_POSITIONS, 0});
        it != d.m_Buffers.end() && it->second.size() >= static_cast<size_t>(i + 1) * 6) {
        const uint8_t* p = &it->second[static_cast<size_t>(i) * 6];
        iEnd = Be16(p);
        iStart = Be16(p + 3);
    }
    if (const auto it = d.m_Buffers.find({ZEL_BUF_STITCH_VALUES, 0}); it != d.m_Buffers.end() &&
                                                                      it->second.size() > static_cast<size_t>(i))
        iStart += static_cast<int8_t>(it->second[static_cast<size_t>(i)]);
}

} // namespace

CLayout MakeLayout(const CScenario& s, const CDevice& d, bool bStitched, int32_t iResolution, int64_t iLeft,
                   int64_t iWidth)
{
    const CNominal n = Nominal(s);
    CLayout l;
    l.m_iCameras = n.m_iCameras;
    l.m_bStitched = bStitched;
    l.m_iResolution = std::clamp(iResolution, 1, 4 * n.m_iResolution);
    const double dScale = static_cast<double>(l.m_iResolution) / n.m_iResolution;
    const double dUnit = 1200.0 / n.m_iResolution; // 1/1200 inch per optical pixel
    const double dLength = std::max(s.m_iPaperLength, 1200);
    int8_t alignment[kMaxCameras] = {};
    if (const auto it = d.m_Buffers.find({ZEL_BUF_CIS_ALIGNMENT, 0}); it != d.m_Buffers.end())
        for (size_t i = 0; i < it->second.size() && i < kMaxCameras; ++i)
            alignment[i] = static_cast<int8_t>(it->second[i]);

    int32_t iStart = 0;
    for (int32_t c = 0; c < n.m_iCameras; ++c) {
        const CCameraScenario& cs = s.m_Camera[static_cast<size_t>(c)];
        CCameraView& v = l.m_Views[static_cast<size_t>(c)];
        v.m_iPixels = std::max(static_cast<int32_t>(n.m_iPixels * dScale), 4);
        v.m_iDark = std::min(static_cast<int32_t>(std::lround(n.m_iDark * dScale)), v.m_iPixels / 4);
        const int32_t iActive = v.m_iPixels - 2 * v.m_iDark;
        const double dMotor = static_cast<double>(d.m_Motors[static_cast<size_t>(c)].m_iPosition) / 1000.0;
        const double dWidth = (cs.m_dWidthError + cs.m_dMotorWidth * dMotor) * dUnit;
        v.m_dSheetPerPixel = (n.m_dActive + dWidth) / iActive;
        // A wrong width spreads about the lens axis, the middle of the view;
        // the centre of active pixel t looks at x = t pixels from the start.
        v.m_dSheetX = c * n.m_dPitch + (cs.m_dOffsetX + cs.m_dMotorX * dMotor) * dUnit - dWidth / 2 -
                      v.m_dSheetPerPixel / 2;
        v.m_bFront = c % 2 == 0;
        const double dCarriage = n.m_iCameras > 1 ? s.m_dCarriageTilt * (static_cast<double>(c) / (n.m_iCameras - 1) - 0.5) : 0.0;
        v.m_dLineOffset =
            (cs.m_dOffsetY + cs.m_dMotorY * dMotor + (v.m_bFront ? s.m_dFrontLineY : s.m_dRearLineY)) * dUnit;
        v.m_dTiltPerRow = (cs.m_dTilt + dCarriage) * dUnit / dLength;
        v.m_iDelay = c > 0 ? alignment[c - 1] : 0;

        v.m_iFrom = v.m_iDark;
        v.m_iTo = v.m_iPixels - v.m_iDark;
        int32_t iEnd = 0, iJoin = 0;
        if (c > 0) {
            StitchJoin(d, n, c - 1, iEnd, iJoin);
            v.m_iFrom = static_cast<int32_t>(std::lround(iJoin * dScale));
        }
        if (c + 1 < n.m_iCameras) {
            StitchJoin(d, n, c, iEnd, iJoin);
            v.m_iTo = static_cast<int32_t>(std::lround(iEnd * dScale));
        }
        v.m_iFrom = std::clamp(v.m_iFrom, 0, v.m_iPixels);
        v.m_iTo = std::clamp(v.m_iTo, v.m_iFrom, v.m_iPixels);
        v.m_iInLine = iStart;
        iStart += bStitched ? v.m_iTo - v.m_iFrom : v.m_iPixels;
    }
    l.m_iFullWidth = iStart;
    const int64_t iFirst = std::clamp<int64_t>(iLeft * l.m_iResolution / 1200, 0, l.m_iFullWidth);
    const int64_t iCount = iWidth < 0 ? l.m_iFullWidth : iWidth * l.m_iResolution / 1200;
    l.m_iFirst = static_cast<int32_t>(iFirst);
    l.m_iWidth = static_cast<int32_t>(std::clamp<int64_t>(iCount, 0, l.m_iFullWidth - iFirst));
    // Each camera's share of the delivered line.
    for (int32_t c = 0; c < n.m_iCameras; ++c) {
        CCameraView& v = l.m_Views[static_cast<size_t>(c)];
        const int32_t iLength = bStitched ? v.m_iTo - v.m_iFrom : v.m_iPixels;
        const int32_t a = std::max(v.m_iInLine, l.m_iFirst);
        const int32_t b = std::min(v.m_iInLine + iLength, l.m_iFirst + l.m_iWidth);
        v.m_iCountInLine = std::max(b - a, 0);
        v.m_iFirstOwn = (bStitched ? v.m_iFrom : 0) + (a - v.m_iInLine);
        v.m_iInLine = v.m_iCountInLine > 0 ? a - l.m_iFirst : std::clamp(a - l.m_iFirst, 0, l.m_iWidth);
    }
    return l;
}

} // namespace sim
