#include "widgets/TestGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

CPlotRect ComputePlotRect(int32_t iWidth, int32_t iHeight)
{
    CPlotRect r;
    r.m_iLeft = (iWidth - 1) / 10;
    r.m_iTop = (iHeight - 1) / 10;
    r.m_iRight = (iWidth - 1) - r.m_iLeft;
    r.m_iBottom = (iHeight - 1) - r.m_iTop;
    return r;
}

int32_t PositionToScale(int32_t x, int32_t iLeft, int32_t iWidth)
{
    if (iWidth <= 0 || x < iLeft) return -1;
    const int64_t iOffset = int64_t(x) - iLeft;
    if (iOffset > iWidth) return -1;
    return static_cast<int32_t>(double(iOffset) * 256.0 / iWidth + 0.5);
}

bool IsPointInsideSize(int32_t x, int32_t y, int32_t iWidth, int32_t iHeight)
{
    return x >= 0 && x <= iWidth && y >= 0 && y <= iHeight;
}

double SignedLogOffset(double dValue, double dLength, double dMaximum)
{
    const double dDecades = (dMaximum > 1.0 ? std::log10(dMaximum) : 0.0) + 1.0;
    const double k = (dLength / 2.0) / dDecades;
    if (!std::isfinite(dValue)) return dValue > 0 ? dLength / 2.0 : -dLength / 2.0;
    if (std::fabs(dValue) < 1.0) return k * dValue;
    const double dSign = dValue < 0 ? -1.0 : 1.0;
    return dSign * k * (std::log10(std::fabs(dValue)) + 1.0);
}

int32_t SignedLogPixel(double dValue, int32_t iStart, int32_t iLength, double dMaximum)
{
    const double dOffset = SignedLogOffset(dValue, iLength, dMaximum);
    return iStart + iLength / 2 - static_cast<int32_t>(std::lround(dOffset));
}

CElapsedTime SplitElapsed(int64_t iMilliseconds)
{
    const int64_t s = std::max<int64_t>(0, (iMilliseconds + 500) / 1000);
    CElapsedTime t;
    t.m_iHours = static_cast<int32_t>(std::min<int64_t>(s / 3600, INT32_MAX));
    t.m_iMinutes = static_cast<int32_t>((s % 3600) / 60);
    t.m_iSeconds = static_cast<int32_t>(s % 60);
    return t;
}

std::string FormatElapsed(const CElapsedTime& t)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%d:%d%d:%d%d", t.m_iHours, t.m_iMinutes / 10, t.m_iMinutes % 10, t.m_iSeconds / 10,
                  t.m_iSeconds % 10);
    return sz;
}

CPrintLayout ComputePrintLayout(int32_t iPageWidth, int32_t iPageHeight, int32_t iLineCount, int32_t iControlWidth,
                                int32_t iControlHeight)
{
    CPrintLayout l;
    l.m_iLineStep = iPageHeight / 72;
    l.m_iMarginX = iPageWidth / 10;
    l.m_iMarginY = iPageHeight / 20;
    l.m_iPictureLeft = l.m_iMarginX;
    l.m_iPictureWidth = iPageWidth - 2 * l.m_iMarginX;
    const int64_t iCw = std::max(1, iControlWidth), iCh = std::max(1, iControlHeight);
    l.m_iPictureHeight = static_cast<int32_t>(iCh * l.m_iPictureWidth / iCw);
    l.m_iPictureTop = l.m_iMarginY + iLineCount * l.m_iLineStep;
    const int32_t iAvailable = iPageHeight - l.m_iPictureTop - l.m_iMarginY;
    if (iAvailable < l.m_iPictureHeight) {
        l.m_iPictureWidth = static_cast<int32_t>(iCw * std::max(0, iAvailable) / iCh);
        l.m_iPictureHeight = std::max(0, iAvailable);
    }
    return l;
}

int32_t ScrollTextPosition(int32_t iCode, int32_t iThumb, int32_t iCurrent, int32_t iTotal, int32_t iHeight)
{
    const int32_t iLine = std::max(1, iHeight / 10);
    int64_t iPos = iCurrent;
    switch (iCode) {
    case SCROLL_LINEUP: iPos -= iLine; break;
    case SCROLL_LINEDOWN: iPos += iLine; break;
    case SCROLL_PAGEUP: iPos -= iHeight; break;
    case SCROLL_PAGEDOWN: iPos += iHeight; break;
    case SCROLL_THUMBPOSITION:
    case SCROLL_THUMBTRACK: iPos = iThumb; break;
    case SCROLL_TOP: iPos = 0; break;
    case SCROLL_BOTTOM: iPos = iTotal; break;
    default: return iCurrent;
    }
    const int64_t iMax = std::max<int64_t>(0, int64_t(iTotal) - iHeight);
    return static_cast<int32_t>(std::clamp<int64_t>(iPos, 0, iMax));
}

int32_t PickIndex(int32_t x, const CPlotRect& plot, int32_t iRange)
{
    const int32_t iSpan = plot.Width();
    if (iSpan <= 0) return 0;
    return static_cast<int32_t>((int64_t(x) - plot.m_iLeft) * iRange / iSpan);
}

int32_t CZoomWindow::Visible() const
{
    if (m_iCount <= 0) return 0;
    return std::max(1, m_iCount / std::max(1, m_iZoom));
}

int32_t CZoomWindow::First() const
{
    return std::clamp(m_iCentre - Visible() / 2, 0, std::max(0, m_iCount - Visible()));
}

void CZoomWindow::Clamp()
{
    m_iZoom = std::max(1, m_iZoom);
    const int32_t v = Visible();
    const int32_t iLow = v / 2;
    const int32_t iHigh = std::max(iLow, m_iCount - (v - v / 2));
    m_iCentre = std::clamp(m_iCentre, iLow, iHigh);
}

bool CZoomWindow::ZoomIn(int32_t iRow)
{
    if (m_iZoom > (1 << 29) || m_iCount / (m_iZoom * 2) < 10) return false;
    m_iZoom *= 2;
    m_iCentre = iRow;
    Clamp();
    return true;
}

void CZoomWindow::ZoomOut()
{
    m_iZoom = std::max(1, m_iZoom / 2);
    Clamp();
}

void CZoomWindow::Move(int32_t iWindows)
{
    m_iCentre = static_cast<int32_t>(std::clamp<int64_t>(int64_t(m_iCentre) + int64_t(iWindows) * Visible(),
                                                         INT32_MIN / 2, INT32_MAX / 2));
    Clamp();
}

int32_t CZoomWindow::RowAt(int32_t x, const CPlotRect& plot) const
{
    const int32_t v = Visible();
    if (v <= 0 || plot.Width() <= 0) return 0;
    const int64_t iRow = First() + (int64_t(x) - plot.m_iLeft) * v / plot.Width();
    return static_cast<int32_t>(std::clamp<int64_t>(iRow, First(), First() + v - 1));
}

double CZoomWindow::XOf(double dRow, const CPlotRect& plot) const
{
    const int32_t v = Visible();
    if (v <= 0) return plot.m_iLeft;
    return plot.m_iLeft + (dRow - First()) * plot.Width() / v;
}
