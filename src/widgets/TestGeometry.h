#pragma once
// Plain-number geometry behind the test controls: plot margins, the 0..256
// position scale, the signed logarithmic gauge scale, elapsed-time texts, the
// printed page layout, text scrolling and the zoom window of the charts.
// The Qt controls only paint what these functions decide.
#include <cstdint>
#include <string>

struct CPlotRect {
    int32_t m_iLeft = 0, m_iTop = 0, m_iRight = 0, m_iBottom = 0;
    int32_t Width() const { return m_iRight - m_iLeft; }
    int32_t Height() const { return m_iBottom - m_iTop; }
};

// The drawing area inside a 10 % margin of a W x H client area.
CPlotRect ComputePlotRect(int32_t iWidth, int32_t iHeight);

// x (parent coordinates) to 0..256 across a control at iLeft of iWidth pixels;
// -1 left of it or more than a width to its right.
int32_t PositionToScale(int32_t x, int32_t iLeft, int32_t iWidth);

// 0 <= x <= width and 0 <= y <= height.
bool IsPointInsideSize(int32_t x, int32_t y, int32_t iWidth, int32_t iHeight);

// Signed logarithmic scale: the first decade around zero is linear, every
// further decade takes the same length. Offset from the centre of a bar of
// dLength pixels whose ends stand for +-dMaximum.
double SignedLogOffset(double dValue, double dLength, double dMaximum);
// Pixel of dValue on a bar starting at iStart: larger values lie toward the start.
int32_t SignedLogPixel(double dValue, int32_t iStart, int32_t iLength, double dMaximum);

struct CElapsedTime {
    int32_t m_iHours = 0, m_iMinutes = 0, m_iSeconds = 0;
    bool operator==(const CElapsedTime&) const = default;
};
// Milliseconds since the start, rounded to whole seconds.
CElapsedTime SplitElapsed(int64_t iMilliseconds);
// "h:mm:ss".
std::string FormatElapsed(const CElapsedTime& t);

// Where the default printed page puts the header lines and the picture.
struct CPrintLayout {
    int32_t m_iLineStep = 0;      // font height and line distance
    int32_t m_iMarginX = 0, m_iMarginY = 0;
    int32_t m_iPictureLeft = 0, m_iPictureTop = 0;
    int32_t m_iPictureWidth = 0, m_iPictureHeight = 0;
};
CPrintLayout ComputePrintLayout(int32_t iPageWidth, int32_t iPageHeight, int32_t iLineCount, int32_t iControlWidth,
                                int32_t iControlHeight);

// Scroll codes of the text control (the scroll bar's request kinds).
enum EScrollCode : int32_t {
    SCROLL_LINEUP = 0,
    SCROLL_LINEDOWN = 1,
    SCROLL_PAGEUP = 2,
    SCROLL_PAGEDOWN = 3,
    SCROLL_THUMBPOSITION = 4,
    SCROLL_THUMBTRACK = 5,
    SCROLL_TOP = 6,
    SCROLL_BOTTOM = 7,
    SCROLL_ENDSCROLL = 8,
};
// New first-visible position, clamped to 0..(total - height).
int32_t ScrollTextPosition(int32_t iCode, int32_t iThumb, int32_t iCurrent, int32_t iTotal, int32_t iHeight);

// Data index under x in a plot spread over iRange positions.
int32_t PickIndex(int32_t x, const CPlotRect& plot, int32_t iRange);

// Visible window of a horizontally zoomed chart of iCount rows.
struct CZoomWindow {
    int32_t m_iCount = 0;  // rows in the data
    int32_t m_iZoom = 1;   // 1 shows all
    int32_t m_iCentre = 0; // row at the window's centre

    int32_t Visible() const;   // rows shown, at least 1 when there are rows
    int32_t First() const;     // first row shown
    void Clamp();              // keeps the window inside the data
    bool ZoomIn(int32_t iRow); // x2 centred on iRow while >= 10 rows stay visible
    void ZoomOut();            // /2, minimum 1
    void Move(int32_t iWindows);
    // Row at x within a plot (clamped to the visible window).
    int32_t RowAt(int32_t x, const CPlotRect& plot) const;
    // x of a row within a plot.
    double XOf(double dRow, const CPlotRect& plot) const;
};
