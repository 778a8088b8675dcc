#include "testtools/ui/StarTestControls.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "testtools/ResultText.h"

CHorizontalZoomDouble_Control::CHorizontalZoomDouble_Control(QWidget* pParent) : CSymbolTestControl(pParent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CHorizontalZoomDouble_Control::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Plus: m_Zoom.ZoomIn(m_Zoom.m_iCentre); break;
    case Qt::Key_Minus: m_Zoom.ZoomOut(); break;
    case Qt::Key_Left: m_Zoom.Move(-1); break;
    case Qt::Key_Right: m_Zoom.Move(1); break;
    case Qt::Key_Home: m_Zoom.m_iZoom = 1; m_Zoom.Clamp(); break;
    default: CSymbolTestControl::keyPressEvent(e); return;
    }
    SetPickRange(m_Zoom.Visible());
    Redraw();
}

void CHorizontalZoomDouble_Control::ClearCurves()
{
    m_Curves.clear();
    m_RowColors.clear();
    m_MarkerRows.clear();
}

int32_t CHorizontalZoomDouble_Control::AddCurve(const std::string& szName, const std::vector<double>& values,
                                                COLORREF color, bool bWrap)
{
    if (int32_t(m_Curves.size()) >= kMaxCurves) return -1;
    m_Curves.push_back(CCurve{szName, color, values, true, bWrap});
    return int32_t(m_Curves.size()) - 1;
}

void CHorizontalZoomDouble_Control::SetBusy(bool bBusy)
{
    m_bBusy = bBusy;
    Redraw();
}

void CHorizontalZoomDouble_Control::SetRowCount(int32_t iRows)
{
    m_Zoom = CZoomWindow{std::max(0, iRows), 1, std::max(0, iRows) / 2};
    m_Zoom.Clamp();
    SetPickRange(m_Zoom.Visible());
}

void CHorizontalZoomDouble_Control::SetCurveEnabled(int32_t i, bool b)
{
    if (i >= 0 && i < int32_t(m_Curves.size())) m_Curves[size_t(i)].m_bEnabled = b;
}

int32_t CHorizontalZoomDouble_Control::ValueToY(double dValue, const CPlotRect& plot, bool bWrap)
{
    const double dHeight = plot.Height();
    const double dMid = plot.m_iTop + dHeight / 2.0;
    if (bWrap && std::isfinite(dValue)) {
        // fold into -5..5 so a curve that runs away stays readable
        dValue = std::fmod(dValue + 5.0, 10.0);
        if (dValue < 0) dValue += 10.0;
        dValue -= 5.0;
    }
    double y = dMid - dValue * dHeight / 10.0;
    if (!std::isfinite(y)) y = dMid;
    return static_cast<int32_t>(std::lround(std::clamp(y, -1e6, 1e6)));
}

bool CHorizontalZoomDouble_Control::InPlot(int32_t x, int32_t y) const
{
    return x >= m_Plot.m_iLeft && x <= m_Plot.m_iRight && y >= m_Plot.m_iTop && y <= m_Plot.m_iBottom;
}

QRect CHorizontalZoomDouble_Control::NavigationStrip(const CPlotRect& plot) const
{
    const int32_t h = std::max(4, plot.m_iTop / 2);
    const int32_t y = std::max(1, (plot.m_iTop - h) / 2);
    const int32_t x0 = plot.m_iLeft + 3 * (h + 2);
    return QRect(x0, y, std::max(1, plot.m_iRight - x0), h);
}

int32_t CHorizontalZoomDouble_Control::SelectLabelFont(QPainter& dc, int32_t W, int32_t H)
{
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    const int32_t iWanted = std::max(1, H / 25);
    const char* kFace = "Courier New";
    const int32_t hRight = SelectFittingFont(
        dc, iWanted, kFace, {Printf("%4.1f pix", m_dMaximum), Printf("%4.1f pix", m_dMinimum)}, W - plot.m_iRight - 4);
    const std::vector<std::string> left = LeftMarginTexts();
    const int32_t hLeft = left.empty() ? iWanted : SelectFittingFont(dc, iWanted, kFace, left, plot.m_iLeft - 3);
    const int32_t h = std::min(hRight, hLeft);
    SelectFont(dc, h, kFace, 400);
    return h;
}

bool CHorizontalZoomDouble_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    const int32_t iFont = std::max(1, H / 25);
    if (m_bBusy) {
        SelectFont(dc, std::max(1, H / 20), "Courier New", 400);
        dc.setPen(Qt::black);
        const std::string sz = "Please Wait";
        TextOut(dc, (W - TextWidth(dc, sz)) / 2, (H - H / 20) / 2, sz);
        return true;
    }

    // navigation strip: where the visible window lies within all rows
    const QRect strip = NavigationStrip(plot);
    const int32_t hBox = strip.height();
    dc.setPen(Qt::black);
    dc.setBrush(ColorFromRef(0xFF9696));
    dc.drawRect(plot.m_iLeft, strip.top(), hBox - 1, hBox - 1);
    dc.setBrush(ColorFromRef(0x96FF96));
    dc.drawRect(plot.m_iLeft + hBox + 2, strip.top(), hBox - 1, hBox - 1);
    dc.drawRect(plot.m_iLeft + 2 * (hBox + 2), strip.top(), hBox - 1, hBox - 1);
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(strip.adjusted(0, 0, -1, -1));
    if (m_Zoom.m_iCount > 0) {
        const int32_t x = strip.left() + int32_t(int64_t(m_Zoom.First()) * strip.width() / m_Zoom.m_iCount);
        const int32_t w = std::max(5, int32_t(int64_t(m_Zoom.Visible()) * strip.width() / m_Zoom.m_iCount));
        dc.fillRect(x, strip.top(), w, hBox, ColorFromRef(0x00FF00));
    }

    // grid and zero line
    dc.setPen(ColorFromRef(0xC8C8C8));
    for (int32_t k = 1; k < 20; ++k) {
        const int32_t y = plot.m_iTop + k * plot.Height() / 20;
        dc.drawLine(plot.m_iLeft, y, plot.m_iRight, y);
    }
    const int32_t yMid = plot.m_iTop + plot.Height() / 2;
    dc.setPen(Qt::black);
    dc.drawLine(plot.m_iLeft, yMid, plot.m_iRight, yMid);
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(plot.m_iLeft, plot.m_iTop, plot.Width(), plot.Height());

    const int32_t iLabel = SelectLabelFont(dc, W, H);
    // right of the plot; a label that still does not fit keeps its unit visible
    auto rightLabel = [&](int32_t y, const std::string& sz) {
        TextOut(dc, std::min(plot.m_iRight + 3, W - 2 - TextWidth(dc, sz)), y, sz);
    };
    rightLabel(plot.m_iTop, Printf("%4.1f pix", m_dMaximum));
    rightLabel(yMid - iLabel / 2, "0 pix");
    rightLabel(plot.m_iBottom - iLabel, Printf("%4.1f pix", m_dMinimum));

    const int32_t iFirst = m_Zoom.First(), iVisible = m_Zoom.Visible();
    const CZoomWindow& z = m_Zoom;
    // line starts
    for (int32_t r = iFirst; r < iFirst + iVisible && r < int32_t(m_RowColors.size()); ++r) {
        if (!m_RowColors[size_t(r)]) continue;
        const int32_t x = int32_t(std::lround(z.XOf(r, plot)));
        dc.setPen(ColorFromRef(m_RowColors[size_t(r)]));
        dc.drawLine(x, plot.m_iTop + 1, x, plot.m_iBottom - 1);
    }
    // legend and curves: the names get a font of their own that fits the
    // margin ("X Line Width" is far longer than a scale label), and what is
    // still too long is cut at the plot's frame rather than written over it
    std::vector<std::string> names;
    for (const CCurve& cv : m_Curves) names.push_back(cv.m_szName);
    if (!names.empty()) SelectFittingFont(dc, iLabel, "Courier New", names, plot.m_iLeft - 4);
    for (size_t c = 0; c < m_Curves.size(); ++c) {
        const CCurve& cv = m_Curves[c];
        dc.setPen(cv.m_bEnabled ? ColorFromRef(cv.m_Color) : QColor(0xC8, 0xC8, 0xC8));
        dc.setClipRect(0, 0, std::max(0, plot.m_iLeft - 1), H);
        TextOut(dc, 2, plot.m_iTop + int32_t(c) * iFont, cv.m_szName);
        dc.setClipping(false);
        if (!cv.m_bEnabled || cv.m_dValues.size() < 2) continue;
        QPolygon poly;
        const int32_t iEnd = std::min<int32_t>(iFirst + iVisible, int32_t(cv.m_dValues.size()));
        for (int32_t r = iFirst; r < iEnd; ++r)
            poly << QPoint(int32_t(std::lround(z.XOf(r, plot))), ValueToY(cv.m_dValues[size_t(r)], plot, cv.m_bWrap));
        dc.setPen(ColorFromRef(cv.m_Color));
        dc.setClipRect(plot.m_iLeft, plot.m_iTop, plot.Width() + 1, plot.Height() + 1);
        dc.drawPolyline(poly);
        dc.setClipping(false);
    }
    SelectFont(dc, iLabel, "Courier New", 400);
    for (int32_t r : m_MarkerRows) {
        if (r < iFirst || r >= iFirst + iVisible) continue;
        DrawCrossSymbol(dc, int32_t(std::lround(z.XOf(r, plot))), yMid, 6, 1);
    }
    if (m_iMouseRow >= 0) {
        dc.setPen(Qt::black);
        TextOut(dc, 2, 2, Printf("  %d  ", m_iMouseRow));
    }
    return true;
}

void CHorizontalZoomDouble_Control::OnLButtonDown(uint32_t, int32_t x, int32_t y)
{
    if (m_bPickMode || PickButtonRect().contains(x, y) || !InPlot(x, y)) return;
    m_bDragging = true;
    m_bDragged = false;
    m_iDragX = x;
    m_iDragCentre = m_Zoom.m_iCentre;
}

void CHorizontalZoomDouble_Control::OnMouseMove(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_bPickMode) {
        CSymbolTestControl::OnMouseMove(iButtons, x, y);
        return;
    }
    if (m_bDragging && (iButtons & 1u)) {
        if (std::abs(x - m_iDragX) >= 2) m_bDragged = true;
        if (m_bDragged && m_Plot.Width() > 0) {
            m_Zoom.m_iCentre = m_iDragCentre - int32_t(int64_t(x - m_iDragX) * m_Zoom.Visible() / m_Plot.Width());
            m_Zoom.Clamp();
        }
    }
    const int32_t iRow = InPlot(x, y) ? m_Zoom.RowAt(x, m_Plot) : -1;
    if (iRow != m_iMouseRow || m_bDragged) {
        m_iMouseRow = iRow;
        Redraw();
    }
}

void CHorizontalZoomDouble_Control::OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y)
{
    const bool bWasDrag = m_bDragging && m_bDragged;
    m_bDragging = m_bDragged = false;
    if (bWasDrag) return;
    if (PickButtonRect().contains(x, y)) {
        CSymbolTestControl::OnLButtonUp(iButtons, x, y);
        return;
    }
    if (m_bPickMode) {
        // a picked row, not a plot index: the chart knows its zoom window
        if (InPlot(x, y) && m_PickCallback) {
            const int32_t iRow = m_Zoom.RowAt(x, m_Plot);
            if (m_bCrossHairDrawn) DrawCrossHair(m_iCrossX, m_iCrossY, false);
            FirePick(m_iPickSweep, iRow, 1);
        }
        return;
    }
    const int32_t iFont = LegendLineHeight(m_iHeight);
    if (x < m_Plot.m_iLeft && y >= m_Plot.m_iTop) {
        const int32_t i = (y - m_Plot.m_iTop) / iFont;
        if (i < int32_t(m_Curves.size())) {
            m_Curves[size_t(i)].m_bEnabled = !m_Curves[size_t(i)].m_bEnabled;
            Redraw();
        }
        return;
    }
    const QRect strip = NavigationStrip(m_Plot);
    if (y < m_Plot.m_iTop && strip.contains(x, y) && m_Zoom.m_iCount > 0) {
        const int32_t xFirst = strip.left() + int32_t(int64_t(m_Zoom.First()) * strip.width() / m_Zoom.m_iCount);
        const int32_t xEnd = xFirst + std::max(5, int32_t(int64_t(m_Zoom.Visible()) * strip.width() / m_Zoom.m_iCount));
        if (x < xFirst) m_Zoom.Move(-1);
        else if (x >= xEnd) m_Zoom.Move(1);
        SetPickRange(m_Zoom.Visible());
        Redraw();
        return;
    }
    if (InPlot(x, y)) {
        if (m_Zoom.ZoomIn(m_Zoom.RowAt(x, m_Plot))) {
            SetPickRange(m_Zoom.Visible());
            Redraw();
        }
    }
}

void CHorizontalZoomDouble_Control::OnRButtonUp(uint32_t, int32_t x, int32_t y)
{
    if (!InPlot(x, y)) return;
    m_Zoom.ZoomOut();
    SetPickRange(m_Zoom.Visible());
    Redraw();
}

// ================================================================ star test chart

void CA2_StarTest_Control::SetData(CStarTestEngine* pEngine)
{
    m_pEngine = pEngine;
    ClearCurves();
    if (!pEngine || !pEngine->Displayed()) {
        SetRowCount(0);
        Redraw();
        return;
    }
    const StarTestChartData c = pEngine->ChartData();
    for (const StarTestCurve& cv : c.m_Curves) AddCurve(cv.m_szName, cv.m_dValues, cv.m_Color, cv.m_bWrap);
    SetRowColors(c.m_RowColors);
    SetMarkerRows(c.m_MarkerRows);
    SetRange(c.m_dMinimum, c.m_dMaximum);
    SetRowCount(c.m_iRows);
    SetPickSweep(pEngine->m_iDisplayed);
    const StarTestSweep* d = pEngine->Displayed();
    ClearPrintLines();
    AddPrintLine(Printf("ScanSpeed %d", d->m_iScanSpeed));
    AddPrintLine(Printf("ScanWidth %6.2f", d->m_dScanWidth));
    AddPrintLine(Printf("Resolution %d", d->m_iResolution));
    Redraw();
}

std::string CA2_StarTest_Control::SweepListText(int32_t i) const
{
    if (!m_pEngine || i < 0 || i >= int32_t(m_pEngine->m_Sweeps.size())) return {};
    const StarTestSweep& s = m_pEngine->m_Sweeps[size_t(i)];
    return Printf("%d %c%c", s.m_iResolution, s.m_bColorScan ? 'c' : 'm', i == m_pEngine->m_iDisplayed ? '<' : ' ');
}

bool CA2_StarTest_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    CHorizontalZoomDouble_Control::DrawContent(dc, W, H);
    if (m_bBusy || !m_pEngine) return true;
    const CStarTestEngine& e = *m_pEngine;
    const StarTestSweep* d = e.Displayed();
    if (!d) return true;
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    // one list line per text line of a twenty-fifth of the height, as the
    // clicks on the list count them; the text itself may be smaller
    const int32_t iFont = LegendLineHeight(H);
    const int32_t iLabel = SelectLabelFont(dc, W, H);

    for (size_t i = 0; i < e.m_Sweeps.size(); ++i) {
        const StarTestSweep& s = e.m_Sweeps[i];
        const int32_t y = H / 2 + int32_t(i) * iFont;
        if (y + iFont > H) break;
        dc.setPen(s.m_bPassed ? QColor(Qt::black) : ColorFromRef(0x0000FF));
        const std::string sz = SweepListText(int32_t(i));
        TextOut(dc, 2, y, sz);
        const int32_t iCross = std::max(2, iLabel / 3);
        if (s.IsFailing()) DrawCrossSymbol(dc, 2 + TextWidth(dc, sz) + iCross + 1, y + iLabel / 2, iCross, 1);
    }

    dc.setPen(Qt::black);
    if (d->m_dAppFct > 0) {
        std::string sz = Printf("App.Fct. %6.2f (%d)", d->m_dAppFct, d->m_iAppFctLine);
        if (e.m_bStatistics && e.m_iDisplayed == 3 && size_t(d->m_iAppFctLine) < d->m_dLineStdDev.size())
            sz = Printf("App.Fct. %6.2f (%d) (Stddev:%5.2f)", d->m_dAppFct, d->m_iAppFctLine,
                        d->m_dLineStdDev[size_t(d->m_iAppFctLine)]);
        TextOut(dc, (W - TextWidth(dc, sz)) / 2, plot.m_iBottom + (H - plot.m_iBottom - iFont) / 2 + iFont / 2, sz);
    }
    if (plot.Width() > 100 && d->m_iResolution > 0) {
        const double dQuarter = m_Zoom.Visible() / 4.0;
        for (int32_t k = 0; k < 5; ++k) {
            double dCm = ((k - 2) * dQuarter + m_Zoom.m_iCentre) / d->m_iResolution * 2.54;
            if (dCm < 0) dCm = 0;
            std::string sz = Printf("%.1f", dCm);
            if (k == 4) sz += " cm";
            const int32_t x = plot.m_iLeft + k * plot.Width() / 4;
            TextOut(dc, k == 0 ? x : (k == 4 ? x - TextWidth(dc, sz) : x - TextWidth(dc, sz) / 2), plot.m_iBottom + 2, sz);
        }
    }
    const int32_t xc = plot.m_iLeft + plot.Width() / 2;
    if (e.m_Sweeps.size() > 1) {
        if (e.AllLinesPassed()) DrawCheckSymbol(dc, xc, plot.m_iTop + plot.Height() / 4, 9, 2, 0x00FF00);
        else DrawCrossSymbol(dc, xc, plot.m_iTop + plot.Height() / 4, 9, 2);
    }
    if (d->m_bPickEnabled) DrawPickButton(dc, xc, plot.m_iTop + 3 * plot.Height() / 4, 30);
    return true;
}

std::vector<std::string> CA2_StarTest_Control::LeftMarginTexts() const
{
    // the widest list line with room for its fail cross
    std::vector<std::string> out;
    if (!m_pEngine) return out;
    for (size_t i = 0; i < m_pEngine->m_Sweeps.size(); ++i) out.push_back(SweepListText(int32_t(i)) + "  ");
    return out;
}

void CA2_StarTest_Control::PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex)
{
    CBasicTestControl::PrintPage(dc, iPageWidth, iPageHeight, iPageIndex);
}

void CA2_StarTest_Control::OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_pEngine && !m_bPickMode && x < m_Plot.m_iLeft && y >= m_iHeight / 2 && m_SweepSelect) {
        const int32_t i = (y - m_iHeight / 2) / LegendLineHeight(m_iHeight);
        if (i >= 0 && i < int32_t(m_pEngine->m_Sweeps.size())) {
            m_bDragging = m_bDragged = false;
            m_SweepSelect(i);
            return;
        }
    }
    CHorizontalZoomDouble_Control::OnLButtonUp(iButtons, x, y);
}
