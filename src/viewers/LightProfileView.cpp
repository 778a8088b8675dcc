#include "viewers/LightProfileView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void CLPFView::SetData(const uint8_t* pSamples, int64_t iCount)
{
    m_pSamples = iCount > 0 ? pSamples : nullptr;
    m_iCount = m_pSamples ? iCount : 0;
    m_Levels.Prepare(m_pSamples, m_iCount);
    ZoomAll();
}

void CLPFView::SetScanner(int32_t iGeneration, bool bColorScanner, int32_t iCamera, int32_t iCameraCount,
                          double dWidthFactor)
{
    m_iGeneration = iGeneration;
    m_bColorScanner = bColorScanner;
    m_iCamera = iCamera;
    m_iCameraCount = iCameraCount;
    m_dWidthFactor = dWidthFactor;
}

void CLPFView::SetRange(double dStartPercent, double dEndPercent)
{
    m_dStart = std::clamp(dStartPercent, 0.0, 100.0);
    m_dEnd = std::clamp(dEndPercent, 0.0, 100.0);
    if (m_dEnd <= m_dStart) {
        m_dStart = 0.0;
        m_dEnd = 100.0;
    }
}

void CLPFView::SetCenter(int64_t iCenter, int32_t iWidth)
{
    const int64_t iHalf = GraphWidth(iWidth) / 2;
    // Keep the 1:1 window inside the data where the data is wider than it.
    if (m_iCount > 2 * iHalf)
        iCenter = std::clamp<int64_t>(iCenter, iHalf, m_iCount - iHalf);
    else
        iCenter = m_iCount / 2;
    m_iCenter = iCenter;
}

double CLPFView::ZoomFactor() const
{
    return 100.0 / (m_dEnd - m_dStart);
}

int64_t CLPFView::StartSample() const
{
    return std::max<int64_t>(0, static_cast<int64_t>(m_dStart * static_cast<double>(m_iCount) / 100.0));
}

int64_t CLPFView::EndSample() const
{
    return std::min<int64_t>(m_iCount - 1, static_cast<int64_t>(m_dEnd * static_cast<double>(m_iCount) / 100.0));
}

void CLPFView::ZoomAll()
{
    m_dStart = 0.0;
    m_dEnd = 100.0;
    m_iCenter = m_iCount / 2;
}

void CLPFView::PanFrom(double dStart, double dEnd, int64_t iCenter, int32_t iDx, int32_t iWidth)
{
    const int32_t w = GraphWidth(iWidth);
    if (w <= 0 || m_iCount <= 0)
        return;
    if (!m_bScaled) {
        SetCenter(iCenter - iDx, iWidth);
        return;
    }
    const double dSpan = dEnd - dStart;
    const double dFrom = std::clamp(dStart - iDx * dSpan / w, 0.0, 100.0 - dSpan);
    m_dStart = dFrom;
    m_dEnd = dFrom + dSpan;
}

int64_t CLPFView::SampleAt(int32_t iClientX, int32_t iWidth) const
{
    const int32_t w = GraphWidth(iWidth);
    const int32_t x = iClientX - kGraphLeft;
    if (x < 0 || x >= w || m_iCount <= 0)
        return -1;
    if (!m_bScaled) {
        const int64_t s = m_iCenter - w / 2 + x;
        return s >= 0 && s < m_iCount ? s : -1;
    }
    const double dPer = (static_cast<double>(m_iCount) / w) / ZoomFactor();
    int64_t s;
    if (StartSample() < m_iCount / 2)
        s = StartSample() + static_cast<int64_t>(x * dPer);
    else
        s = EndSample() - static_cast<int64_t>((w - 1 - x) * dPer);
    return s >= 0 && s < m_iCount ? s : -1;
}

void CLPFView::ZoomIn(int32_t iClientX, int32_t iWidth)
{
    const int64_t s = SampleAt(iClientX, iWidth);
    if (s < 0)
        return;
    if (!m_bScaled) {
        SetCenter(s, iWidth);
        return;
    }
    // Halve the range around the clicked place; a range below one column per
    // sample shows nothing the 1:1 view does not show better.
    const double dSpan = (m_dEnd - m_dStart) / 2.0;
    const double dMinSpan = GraphWidth(iWidth) > 0 && m_iCount > 0 ? 100.0 * GraphWidth(iWidth) / static_cast<double>(m_iCount) : 100.0;
    if (dSpan < std::min(dMinSpan, 100.0) / 2.0)
        return;
    const double dAt = 100.0 * static_cast<double>(s) / static_cast<double>(m_iCount);
    double dStart = dAt - dSpan / 2.0;
    dStart = std::clamp(dStart, 0.0, 100.0 - dSpan);
    m_dStart = dStart;
    m_dEnd = dStart + dSpan;
}

void CLPFView::ZoomOut(int32_t iClientX, int32_t iWidth)
{
    if (!m_bScaled) {
        const int64_t s = SampleAt(iClientX, iWidth);
        if (s >= 0)
            SetCenter(s, iWidth);
        return;
    }
    const double dSpan = (m_dEnd - m_dStart) * 2.0;
    if (dSpan >= 100.0) {
        ZoomAll();
        return;
    }
    const double dMid = (m_dStart + m_dEnd) / 2.0;
    const double dStart = std::clamp(dMid - dSpan / 2.0, 0.0, 100.0 - dSpan);
    m_dStart = dStart;
    m_dEnd = dStart + dSpan;
}

std::vector<CLPFViewColumn> CLPFView::ColumnsScaled(int32_t iWidth, int32_t iHeight) const
{
    std::vector<CLPFViewColumn> cols;
    const int32_t w = GraphWidth(iWidth);
    const int32_t h = GraphHeight(iHeight);
    if (w <= 0 || h <= 0 || m_iCount <= 0)
        return cols;
    const double s = 256.0 / h; // levels per pixel
    auto yOf = [s](int v) { return static_cast<int32_t>((256 - v) / s); };
    const double dPer = (static_cast<double>(m_iCount) / w) / ZoomFactor();
    const int64_t iStart = StartSample();
    const int64_t iEnd = EndSample();
    cols.reserve(static_cast<size_t>(w));
    auto add = [&](int32_t x, int64_t iFirst, int64_t iLast) {
        uint8_t iMin, iMax;
        m_Levels.RangeMinMax(iFirst, iLast, iMin, iMax);
        cols.push_back({x, yOf(iMax), yOf(iMin)});
    };
    if (iStart < m_iCount / 2) {
        // From the left edge, starting at the start sample.
        for (int32_t x = 0; x < w; ++x) {
            const double dPos = static_cast<double>(iStart) + x * dPer;
            const int64_t iFirst = static_cast<int64_t>(dPos);
            if (iFirst > iEnd)
                break;
            int64_t iLast = dPer >= 1.0 ? static_cast<int64_t>(std::ceil(dPos + dPer)) - 1 : iFirst;
            add(x, iFirst, std::min(std::max(iLast, iFirst), iEnd));
        }
    } else {
        // From the right edge leftwards, ending at the end sample.
        const double dEndPos = static_cast<double>(iEnd) + 1.0;
        for (int32_t k = 0; k < w; ++k) {
            const double dHigh = dEndPos - k * dPer;
            const int64_t iLast = static_cast<int64_t>(std::ceil(dHigh)) - 1;
            if (iLast < iStart)
                break;
            const int64_t iFirst = dPer >= 1.0 ? static_cast<int64_t>(std::floor(dHigh - dPer)) : iLast;
            add(w - 1 - k, std::max(std::min(iFirst, iLast), iStart), iLast);
        }
    }
    return cols;
}

std::vector<CLPFViewColumn> CLPFView::Columns1To1(int32_t iWidth, int32_t iHeight) const
{
    std::vector<CLPFViewColumn> cols;
    const int32_t w = GraphWidth(iWidth);
    const int32_t h = GraphHeight(iHeight);
    if (w <= 0 || h <= 0 || m_iCount <= 0)
        return cols;
    const int64_t iFirst = m_iCenter - w / 2;
    for (int32_t x = 0; x < w; ++x) {
        const int64_t i = iFirst + x;
        if (i < 0 || i >= m_iCount)
            continue;
        const int32_t y = static_cast<int32_t>(((256 - m_pSamples[i]) * static_cast<int64_t>(h)) / 256);
        cols.push_back({x, y, y});
    }
    return cols;
}

std::vector<CLPFViewColumn> CLPFView::Columns(int32_t iWidth, int32_t iHeight) const
{
    return m_bScaled ? ColumnsScaled(iWidth, iHeight) : Columns1To1(iWidth, iHeight);
}

std::vector<int32_t> CLPFView::GridLines(int32_t iHeight) const
{
    std::vector<int32_t> lines;
    const int32_t h = GraphHeight(iHeight);
    if (h <= 0)
        return lines;
    if (m_iGeneration == 5) {
        for (int v = 20; v <= 240; v += 20) {
            const int32_t y = h - v * h / 256;
            lines.push_back(y);
            if (v == 100 || v == 200)
                lines.push_back(y + 1);
        }
    } else {
        const int32_t d = m_bColorScanner ? h / 13 : h / 20;
        for (int i = 1; i <= 19; ++i) {
            const int32_t y = h - i * d;
            if (y < 0)
                break;
            lines.push_back(y);
            if (i % 5 == 0)
                lines.push_back(y + 1);
        }
    }
    return lines;
}

const char* CLPFView::ReadOutProblem() const
{
    // Camera codes run from A to H, or 255 for all; a camera beyond the count
    // would put the position past the scanner's edge.
    const bool bCameraKnown = m_iCamera == 255 || (m_iCamera >= 0 && m_iCamera < kMaxCameras &&
                                                   (m_iCameraCount <= 0 || m_iCamera < m_iCameraCount));
    if (!bCameraKnown)
        return "Camera Used";
    if (m_iCameraCount < 0 || m_iCameraCount > kMaxCameras)
        return "Camera Count";
    if (!(m_dWidthFactor > 0.0 && m_dWidthFactor <= kMaxWidthFactor))
        return "Scanner Width";
    return nullptr;
}

std::string CLPFView::PositionText(int32_t iWidth) const
{
    (void)iWidth;
    // The header values come from the file; a position computed from values
    // no scanner writes would be a made-up number (or not fit one at all).
    if (const char* szKey = ReadOutProblem())
        return std::string("Out of range: ") + szKey;
    const double f = m_dWidthFactor;
    const double dCameras = m_iCameraCount > 0 ? m_iCameraCount : 1;
    const bool bAll = m_iCamera == 255;
    double dP;
    if (m_bScaled) {
        const double dSum = m_dStart + m_dEnd;
        dP = bAll ? f * 100.0 * dSum / 200.0
                  : m_iCamera * f * 100.0 / dCameras + f * 100.0 * dSum / (200.0 * dCameras);
    } else {
        const double n = m_iCount > 0 ? static_cast<double>(m_iCount) : 1.0;
        dP = bAll ? (static_cast<double>(m_iCenter) + 1.0) / n * f * 100.0
                  : (static_cast<double>(m_iCenter) / n * f * 100.0) / dCameras + m_iCamera * f * 100.0 / dCameras;
    }
    const int32_t P = static_cast<int32_t>(dP);
    char sz[64];
    if (m_iGeneration > 5) {
        // Newer scanners are set up from the middle of the sheet outwards, so
        // the distance from the middle is what the technician needs. It
        // stays signed like a coordinate across the sheet: negative on the left.
        const double D = 2.0 * (P / 100.0 - f / 2.0) * 4.24 * 2.54;
        const char* szSide = D > 0 ? "right" : "left";
        if (m_bScaled && IsWholeProfile())
            std::snprintf(sz, sizeof sz, "%s  0.0", szSide);
        else
            std::snprintf(sz, sizeof sz, "%s  %3.1f", szSide, D);
    } else {
        std::snprintf(sz, sizeof sz, "%d.%d%d", P / 100, (P % 100) / 10, P % 10);
    }
    return sz;
}

void CLPFView::StartMeasure(int32_t iX, int32_t iY)
{
    m_bMeasuring = true;
    m_bLine = true;
    m_iMeasureX1 = m_iMeasureX2 = iX;
    m_iMeasureY = iY;
}

void CLPFView::MoveMeasure(int32_t iX)
{
    if (m_bMeasuring)
        m_iMeasureX2 = iX;
}

bool CLPFView::MeasureLine(int32_t iWidth, int32_t iHeight, int32_t& iX1, int32_t& iX2, int32_t& iY) const
{
    if (!m_bLine)
        return false;
    iX1 = std::min(m_iMeasureX1, m_iMeasureX2);
    iX2 = std::max(m_iMeasureX1, m_iMeasureX2);
    iY = m_iMeasureY;
    return iX1 >= kGraphLeft && iX2 <= iWidth - kGraphLeft && iX1 < iX2 && iY >= kGraphTop && iY <= iHeight;
}

std::vector<std::string> CLPFView::MeasureReadOut(int32_t iWidth, int32_t iHeight) const
{
    int32_t x1, x2, y;
    if (!MeasureLine(iWidth, iHeight, x1, x2, y))
        return {};
    const int64_t s1 = SampleAt(x1, iWidth), s2 = SampleAt(std::min(x2, kGraphLeft + GraphWidth(iWidth) - 1), iWidth);
    if (s1 < 0 || s2 < 0)
        return {};
    std::string szLine = "Line " + std::to_string(s2 - s1) + " samples";
    if (const double dMm = MmPerSample(); dMm > 0.0) {
        char sz[48];
        std::snprintf(sz, sizeof sz, " (%.2f mm)", static_cast<double>(s2 - s1) * dMm);
        szLine += sz;
    }
    return {szLine, "Levels " + std::to_string(m_pSamples[s1]) + " / " + std::to_string(m_pSamples[s2])};
}

double CLPFView::MmPerSample() const
{
    if (m_iCount <= 0 || ReadOutProblem())
        return 0.0;
    // The profile spans the scanner's width (f x 4.24 inches), or one camera's share of it.
    const double dMm = m_dWidthFactor * 4.24 * 25.4 / (m_iCamera == 255 ? 1 : std::max(1, m_iCameraCount));
    return dMm / static_cast<double>(m_iCount);
}

CGraphAxis CLPFView::Axis(int32_t iWidth) const
{
    CGraphAxis a;
    const int32_t w = GraphWidth(iWidth);
    if (w <= 0 || m_iCount <= 0)
        return a;
    a.m_iLeft = kGraphLeft;
    a.m_iWidth = w;
    a.m_iCount = m_iCount;
    a.m_dMmPerPosition = MmPerSample();
    if (!m_bScaled) {
        a.m_dFirst = static_cast<double>(m_iCenter - w / 2);
        a.m_dPerColumn = 1.0;
        return a;
    }
    a.m_dPerColumn = (static_cast<double>(m_iCount) / w) / ZoomFactor();
    a.m_dFirst = StartSample() < m_iCount / 2 ? static_cast<double>(StartSample())
                                              : static_cast<double>(EndSample()) - (w - 1) * a.m_dPerColumn;
    return a;
}

std::string LightProfileFlashCaption(const std::string& szFile)
{
    // The file's title, lower case, without separators, so "Ref_Flash",
    // "ref-flash" and "RefFlash" read alike.
    const size_t iSlash = szFile.find_last_of("/\\");
    std::string szTitle;
    for (size_t i = iSlash == std::string::npos ? 0 : iSlash + 1; i < szFile.size(); ++i) {
        const char c = szFile[i];
        if (c == '_' || c == '-' || c == ' ' || c == '.')
            continue;
        szTitle += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    auto has = [&szTitle](const char* sz) { return szTitle.find(sz) != std::string::npos; };
    std::string sz;
    if (has("refflash") || has("referenceflash"))
        sz += "   Reference Flash LPF";
    else if (has("flash"))
        sz += "   Normal Flash LPF";
    if (has("blackpreserve"))
        sz += "  Black preserve";
    else if (has("whitepreserve"))
        sz += "  White preserve";
    else if (has("mixedpreserve"))
        sz += "  Mixed preserve";
    return sz;
}
