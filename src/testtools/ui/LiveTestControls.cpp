#include "testtools/ui/LiveTestControls.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "testtools/ResultText.h"

namespace {

const COLORREF kChannel[3] = {0x0000FF, 0x00FF00, 0xFF0000};

int32_t Clamp(int32_t v, int32_t a, int32_t b) { return std::clamp(v, std::min(a, b), std::max(a, b)); }

int32_t SmallFont(int32_t H) { return std::clamp(H / 40, 8, 14); }

} // namespace

// ================================================================ common part

CLiveTestControlBase::CLiveTestControlBase(QWidget* pParent) : CSymbolTestControl(pParent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CLiveTestControlBase::SetBusy(bool b)
{
    m_bBusy = b;
    Redraw();
}

void CLiveTestControlBase::SetPositions(int32_t iCount)
{
    iCount = std::max(iCount, 0);
    if (m_Zoom.m_iCount != iCount)
        m_Zoom = CZoomWindow{iCount, 1, iCount / 2};
    m_Zoom.Clamp();
    SetPickRange(m_Zoom.Visible());
}

bool CLiveTestControlBase::InPlot(int32_t x, int32_t y) const
{
    return x >= m_Plot.m_iLeft && x <= m_Plot.m_iRight && y >= m_Plot.m_iTop && y <= m_Plot.m_iBottom;
}

void CLiveTestControlBase::TextCentred(QPainter& dc, int32_t x, int32_t y, const std::string& sz)
{
    TextOut(dc, x - TextWidth(dc, sz) / 2, y, sz);
}

void CLiveTestControlBase::DrawFrameAndScales(QPainter& dc, const CPlotRect& plot, int32_t H)
{
    dc.setPen(Qt::black);
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(plot.m_iLeft, plot.m_iTop, plot.Width(), plot.Height());
    const int32_t ym = (plot.m_iTop + plot.m_iBottom) / 2;
    SelectFont(dc, SmallFont(H), "Courier New", 400);
    const int32_t iHalf = QFontMetrics(dc.font()).height() / 2;
    auto tick = [&](int32_t y, int32_t iLabel) {
        dc.drawLine(plot.m_iLeft - 5, y, plot.m_iLeft, y);
        dc.drawLine(plot.m_iRight, y, plot.m_iRight + 5, y);
        const std::string sz = Printf("%d", iLabel);
        TextOut(dc, plot.m_iLeft - 7 - TextWidth(dc, sz), y - iHalf, sz);
        TextOut(dc, plot.m_iRight + 7, y - iHalf, sz);
    };
    for (int32_t k = 0; ym - k * 20 >= plot.m_iTop; ++k)
        tick(ym - k * 20, k * 10);
    for (int32_t k = 1; ym + k * 20 <= plot.m_iBottom; ++k)
        tick(ym + k * 20, -k * 10);
    if (m_bBusy) {
        SelectFont(dc, std::max(1, H / 20), "Courier New", 400);
        dc.setPen(ColorFromRef(0x0000FF));
        TextCentred(dc, (plot.m_iLeft + plot.m_iRight) / 2, H / 4, "Please Wait");
        dc.setPen(Qt::black);
    }
}

void CLiveTestControlBase::OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_bPickMode || PickButtonRect().contains(x, y)) {
        CSymbolTestControl::OnLButtonUp(iButtons, x, y);
        return;
    }
    if (InPlot(x, y) && m_Zoom.ZoomIn(m_Zoom.RowAt(x, m_Plot))) {
        SetPickRange(m_Zoom.Visible());
        Redraw();
    }
}

void CLiveTestControlBase::OnRButtonUp(uint32_t, int32_t x, int32_t y)
{
    if (!InPlot(x, y) || m_Zoom.m_iZoom <= 1)
        return;
    m_Zoom.ZoomOut();
    SetPickRange(m_Zoom.Visible());
    Redraw();
}

void CLiveTestControlBase::OnMouseMove(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_bPickMode) {
        CSymbolTestControl::OnMouseMove(iButtons, x, y);
        return;
    }
    const int32_t i = InPlot(x, y) && m_Zoom.m_iCount > 0 ? m_Zoom.RowAt(x, m_Plot) : -1;
    if (i != m_iCursor) {
        m_iCursor = i;
        Redraw();
    }
}

void CLiveTestControlBase::OnMouseLeave(uint32_t, int32_t, int32_t)
{
    if (m_iCursor >= 0) {
        m_iCursor = -1;
        Redraw();
    }
}

void CLiveTestControlBase::keyPressEvent(QKeyEvent* e)
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

// ================================================================ scan-line positioning

CAdjustCenterCCD_Control::CAdjustCenterCCD_Control(QWidget* pParent) : CLiveTestControlBase(pParent)
{
    SetPositions(kStripeWidth);
}

void CAdjustCenterCCD_Control::SetData(const CCenterCCDEngine* pEngine, const CAdjustCenterCCDFlags* pFlags)
{
    m_pEngine = pEngine;
    m_pFlags = pFlags;
    SetPositions(kStripeWidth);
}

bool CAdjustCenterCCD_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    DrawFrameAndScales(dc, plot, H);
    if (m_bBusy || !m_pEngine || !m_pFlags)
        return true;
    const CCenterCCDEngine& e = *m_pEngine;
    const CAdjustCenterCCDFlags& f = *m_pFlags;
    const bool bShow[3] = {f.m_bRed, f.m_bGreen, f.m_bBlue};
    const int32_t ym = (plot.m_iTop + plot.m_iBottom) / 2;
    const CZoomWindow& z = m_Zoom;
    const int32_t iFirst = z.First(), iLast = std::min(z.First() + z.Visible(), kStripeWidth) - 1;
    auto xOf = [&](double d) { return static_cast<int32_t>(std::lround(z.XOf(d, plot))); };
    dc.setClipRect(plot.m_iLeft, plot.m_iTop, plot.Width() + 1, plot.Height() + 1);

    // The stripes as the last frame left them, one above the other.
    if (f.m_bSection) {
        const double dFactor = (ym - plot.m_iTop) / 256.0;
        for (int32_t k = 0; k < 2; ++k) {
            const CPicture& s = k == 0 ? e.m_FrontStripe : e.m_RearStripe;
            if (!s.m_pData || s.m_iWidth < kStripeWidth || s.m_iHeight < 1)
                continue;
            const int32_t iRow = std::clamp((e.m_iStripeRow + s.m_iHeight - 1) % s.m_iHeight, 0, s.m_iHeight - 1);
            const uint8_t* p = s.m_pData + int64_t(iRow) * s.m_iWidth * 3;
            const int32_t yBase = k == 0 ? ym : plot.m_iBottom;
            for (int32_t c = 0; c < 3; ++c) {
                if (!bShow[c])
                    continue;
                QPolygon poly;
                for (int32_t x = iFirst; x <= iLast; ++x)
                    poly << QPoint(xOf(x), yBase - int32_t(std::lround(p[x * 3 + c] * dFactor)));
                dc.setPen(ColorFromRef(kChannel[c]));
                dc.drawPolyline(poly);
            }
        }
    }
    if (e.HasProfile()) {
        for (int32_t k = 0; k < 2; ++k) {
            if (!(k == 0 ? f.m_bFront : f.m_bRear))
                continue;
            const auto& prof = k == 0 ? e.m_FrontProfile : e.m_RearProfile;
            const auto& lines = k == 0 ? e.m_FrontLines : e.m_RearLines;
            for (int32_t c = 0; c < 3; ++c) {
                if (!bShow[c])
                    continue;
                QPolygon poly;
                for (int32_t x = iFirst; x <= iLast; ++x)
                    poly << QPoint(xOf(x), plot.m_iBottom - prof[size_t(x)][size_t(c)] * plot.Height() / 255);
                dc.setPen(QPen(ColorFromRef(kChannel[c]), 1, k == 0 ? Qt::SolidLine : Qt::DashLine));
                dc.drawPolyline(poly);
                // The four edges of the line, from the top for the front and from the bottom for the rear.
                dc.setPen(ColorFromRef(kChannel[c]));
                for (double d : lines[size_t(c)].m_dEdge) {
                    if (d < 0)
                        continue;
                    const int32_t x = xOf(d);
                    if (k == 0)
                        dc.drawLine(x, plot.m_iTop, x, plot.m_iTop + 10);
                    else
                        dc.drawLine(x, plot.m_iBottom - 10, x, plot.m_iBottom);
                }
            }
        }
    }
    // The nominal scan line and where the line was found on it.
    dc.setPen(QPen(Qt::black, 1, Qt::DotLine));
    dc.drawLine(plot.m_iLeft, ym, plot.m_iRight, ym);
    dc.setPen(Qt::black);
    SelectFont(dc, SmallFont(H), "Courier New", 400);
    const int32_t iLine = QFontMetrics(dc.font()).height();
    if (e.m_iLinePosition >= 0) {
        const int32_t x = xOf(e.m_iLinePosition);
        dc.drawLine(x, ym - 6, x, ym + 6);
        TextOut(dc, x + 3, ym + 2, Printf("Line = %d", e.m_iLinePosition));
    }
    // Each camera's offset on its own scale.
    const double dFront = e.m_dFront[2], dRear = e.m_dRear[2];
    const int32_t yF = Clamp(ym - int32_t(std::lround(dFront * kLiveScalePixels)), plot.m_iTop, plot.m_iBottom);
    const int32_t yR = Clamp(ym - int32_t(std::lround(dRear * kLiveScalePixels)), plot.m_iTop, plot.m_iBottom);
    dc.fillRect(plot.m_iLeft, yF - 1, 20, 3, Qt::black);
    dc.fillRect(plot.m_iRight - 19, yR - 1, 20, 3, Qt::black);
    TextOut(dc, plot.m_iLeft + 24, yF - iLine / 2, Printf("%.1f", dFront));
    const std::string szRear = Printf("%.1f", dRear);
    TextOut(dc, plot.m_iRight - 24 - TextWidth(dc, szRear), yR - iLine / 2, szRear);
    dc.setClipping(false);
    if (f.m_bSection) {
        TextOut(dc, plot.m_iLeft + 4, plot.m_iTop + 12, "Front side cutting");
        TextOut(dc, plot.m_iLeft + 4, ym + 2 + iLine, "Rear side cutting");
    }
    // Value and running mean: front at the left, the difference in the middle, rear at the right.
    const int32_t yText = plot.m_iBottom + 4;
    // A loaded result has no history: its mean is the value itself.
    auto mean = [](const CRunningMean& m, double d) { return m.Count() > 0 ? m.Mean() : d; };
    TextOut(dc, plot.m_iLeft, yText, Printf("%.0f (%.0f)", dFront, mean(e.m_FrontAverage, dFront)));
    TextCentred(dc, (plot.m_iLeft + plot.m_iRight) / 2, yText,
                Printf("%.0f (%.0f)", dFront - dRear, mean(e.m_DiffAverage, dFront - dRear)));
    const std::string szRearMean = Printf("%.0f (%.0f)", dRear, mean(e.m_RearAverage, dRear));
    TextOut(dc, plot.m_iRight - TextWidth(dc, szRearMean), yText, szRearMean);
    if (m_iCursor >= 0 && m_iCursor < kStripeWidth) {
        const auto& a = e.m_FrontProfile[size_t(m_iCursor)];
        const auto& b = e.m_RearProfile[size_t(m_iCursor)];
        TextOut(dc, 2, 2, Printf("%d: %d %d %d / %d %d %d", m_iCursor, a[0], a[1], a[2], b[0], b[1], b[2]));
    }
    // Pass or fail, once there is something measured or loaded.
    if (e.HasProfile() || e.m_FrontAverage.Count() > 0) {
        const int32_t iSize = std::max(4, plot.m_iTop * 2 / 5);
        const int32_t x = (plot.m_iLeft + plot.m_iRight) / 2, y = plot.m_iTop / 2;
        if (e.Passed())
            DrawCheckSymbol(dc, x, y + iSize / 4, iSize, 2, 0x00FF00);
        else
            DrawCrossSymbol(dc, x, y, iSize, 2);
    }
    return true;
}

// ================================================================ mirror carriage

CVerticalCameraVerification_Control::CVerticalCameraVerification_Control(QWidget* pParent)
    : CLiveTestControlBase(pParent)
{
}

void CVerticalCameraVerification_Control::SetData(const CCenterCCDEngine* pEngine, const CVerticalCameraFlags* pFlags)
{
    m_pEngine = pEngine;
    m_pFlags = pFlags;
    SetPositions(pEngine ? pEngine->Rows() : 0);
}

void CVerticalCameraVerification_Control::DrawCircularArrow(QPainter& dc, int32_t x, int32_t y, int32_t r,
                                                            bool bClockwise)
{
    constexpr double kDeg = 3.14159265358979323846 / 180.0;
    auto at = [&](int32_t a) {
        return QPointF(x + r * std::cos(a * kDeg), y - r * std::sin(a * kDeg));
    };
    QPolygonF arc;
    for (int32_t a = -60; a <= 240; ++a)
        arc << at(a);
    dc.drawPolyline(arc);
    // The head at the end the arrow turns towards.
    const int32_t aTip = bClockwise ? -60 : 240;
    const double s = std::sin(aTip * kDeg), c = std::cos(aTip * kDeg);
    const double dx = bClockwise ? s : -s, dy = bClockwise ? c : -c; // direction of travel
    const QPointF tip = at(aTip);
    for (double dTurn : {30.0 * kDeg, -30.0 * kDeg}) {
        const double bx = -dx * std::cos(dTurn) + dy * std::sin(dTurn);
        const double by = -dx * std::sin(dTurn) - dy * std::cos(dTurn);
        dc.drawLine(tip, tip + QPointF(15 * bx, 15 * by));
    }
}

void CVerticalCameraVerification_Control::DrawTurn(QPainter& dc, int32_t x, int32_t y, const char* szLabel,
                                                   double dPixels)
{
    dc.setPen(Qt::black);
    SelectFont(dc, 14, "MS Shell Dlg", 400);
    TextCentred(dc, x, y - 30 - QFontMetrics(dc.font()).height() - 4, Printf("%s", szLabel));
    SelectFont(dc, 30, "MS Shell Dlg", 700);
    const QFontMetrics fm(dc.font());
    TextCentred(dc, x, y - fm.height() / 2, Printf("%.0f", dPixels));
    dc.setPen(QPen(Qt::black, 2));
    DrawCircularArrow(dc, x, y, 30, std::string(TurnDirection(dPixels)) == "CW");
    dc.setPen(Qt::black);
}

void CVerticalCameraVerification_Control::DrawCutting(QPainter& dc, const CPlotRect& band, int32_t k, int32_t iRow,
                                                      const char* szLabel)
{
    const CCenterCCDEngine& e = *m_pEngine;
    dc.setPen(Qt::black);
    dc.setBrush(Qt::white);
    dc.drawRect(band.m_iLeft, band.m_iTop, band.Width(), band.Height());
    dc.setBrush(Qt::NoBrush);
    // The wire that moves with the scan line, where the selected row found it.
    const bool bShow[3] = {m_pFlags->m_bRed, m_pFlags->m_bGreen, m_pFlags->m_bBlue};
    for (int32_t c = 0; c < 3; ++c) {
        if (!bShow[c] || size_t(iRow) >= e.m_Edges[size_t(c)][size_t(k)][0].size())
            continue;
        const double a = e.m_Edges[size_t(c)][size_t(k)][0][size_t(iRow)];
        const double b = e.m_Edges[size_t(c)][size_t(k)][1][size_t(iRow)];
        if (a < 0 || b < 0)
            continue;
        auto xOf = [&](double d) { return band.m_iLeft + int32_t(std::lround(d * band.Width() / kStripeWidth)); };
        const int32_t x0 = xOf(std::min(a, b)), x1 = std::max(xOf(std::max(a, b)), x0 + 1);
        const int32_t h = band.Height() / 3;
        dc.fillRect(x0, band.m_iTop + 1 + c * h, x1 - x0, std::max(1, h), ColorFromRef(kChannel[c]));
    }
    TextOut(dc, band.m_iLeft + 2, band.m_iTop + 1, szLabel);
}

bool CVerticalCameraVerification_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    DrawFrameAndScales(dc, plot, H);
    if (m_bBusy || !m_pEngine || !m_pFlags)
        return true;
    const CCenterCCDEngine& e = *m_pEngine;
    const CVerticalCameraFlags& f = *m_pFlags;
    const int32_t iRows = e.Rows();
    const int32_t ym = (plot.m_iTop + plot.m_iBottom) / 2;
    SelectFont(dc, SmallFont(H), "Courier New", 400);
    const int32_t iLine = QFontMetrics(dc.font()).height();
    dc.setPen(Qt::black);
    TextOut(dc, plot.m_iLeft, plot.m_iBottom + 2, "Start");
    const CZoomWindow& z = m_Zoom;
    auto xOf = [&](double d) { return static_cast<int32_t>(std::lround(z.XOf(d, plot))); };
    const int32_t iFirst = z.First(), iEnd = std::min(z.First() + z.Visible(), iRows);
    const int32_t iSelected = std::clamp(e.m_iSelectedRow, 0, std::max(iRows - 1, 0));
    dc.setClipRect(plot.m_iLeft, plot.m_iTop, plot.Width() + 1, plot.Height() + 1);
    if (iRows > 0 && iSelected >= iFirst && iSelected < iEnd) {
        // The marker is yellow; colours here are COLORREF words (0x00BBGGRR),
        // in which yellow is 0x00FFFF (0xFFFF00 would be cyan).
        dc.setPen(ColorFromRef(0x00FFFF));
        dc.drawLine(xOf(iSelected), plot.m_iTop, xOf(iSelected), plot.m_iBottom);
    }
    const bool bShow[3] = {f.m_bRed, f.m_bGreen, f.m_bBlue};
    if (iRows >= 400 && !f.m_bSection) {
        auto yOf = [&](double d, int32_t iScale) { return ym - int32_t(std::lround(d * iScale)); };
        for (int32_t k = 0; k < 2; ++k) {
            if (!(k == 0 ? f.m_bFront : f.m_bRear))
                continue;
            for (int32_t c = 0; c < 3; ++c) {
                if (!bShow[c])
                    continue;
                const auto& pos = e.m_Position[size_t(c)][size_t(k)];
                const auto& valid = e.m_Valid[size_t(c)][size_t(k)];
                dc.setPen(ColorFromRef(kChannel[c]));
                for (int32_t r = iFirst; r < iEnd && size_t(r) < pos.size() && size_t(r) < valid.size(); ++r)
                    if (valid[size_t(r)])
                        dc.drawPoint(xOf(r), yOf(pos[size_t(r)], kLiveScalePixels));
            }
        }
        // Where the mark was read at all: a magenta strip along the bottom.
        dc.setPen(ColorFromRef(0xFF00FF));
        const auto& valid = e.m_Valid[2][0];
        for (int32_t r = iFirst; r < iEnd && size_t(r) < valid.size(); ++r)
            if (valid[size_t(r)])
                dc.drawLine(xOf(r), plot.m_iBottom - 3, xOf(r), plot.m_iBottom - 1);
        // The edges of the moving wire in stripe pixels over the plot height.
        for (int32_t k = 0; k < 2; ++k) {
            if (!(k == 0 ? f.m_bLineFront : f.m_bLineRear))
                continue;
            for (int32_t c = 0; c < 3; ++c) {
                if (!bShow[c])
                    continue;
                dc.setPen(QPen(ColorFromRef(kChannel[c]), 1, k == 0 ? Qt::SolidLine : Qt::DashLine));
                for (const auto& edge : e.m_Edges[size_t(c)][size_t(k)])
                    for (int32_t r = iFirst; r < iEnd && size_t(r) < edge.size(); ++r)
                        if (edge[size_t(r)] >= 0)
                            dc.drawPoint(xOf(r), plot.m_iBottom - int32_t(edge[size_t(r)] * plot.Height() / kStripeWidth));
            }
        }
        // The fitted lines through the middle of the travel at twice the
        // scale, so that a drift stands out from the points around it.
        for (int32_t k = 1; k >= 0; --k) {
            const CLineFit& fit = e.m_Fit[size_t(k)];
            if (fit.m_iPoints < 2)
                continue;
            dc.setPen(QPen(k == 1 ? ColorFromRef(0x969696) : QColor(Qt::black), 3));
            const double dMid = fit.m_dSlope * (iRows / 2.0) + fit.m_dOffset;
            auto y = [&](int32_t r) {
                return yOf(dMid + 2.0 * fit.m_dSlope * (r - iRows / 2.0), kLiveScalePixels);
            };
            const int32_t a = iFirst, b = std::max(iEnd - 1, iFirst);
            dc.drawLine(xOf(a), y(a), xOf(b), y(b));
        }
    }
    dc.setClipping(false);
    if (iRows >= 400 && !f.m_bSection)
        DrawPickButton(dc, plot.m_iRight + (W - plot.m_iRight) / 2, ym, std::clamp((W - plot.m_iRight) / 2, 6, 20));
    if (f.m_bCutting && iRows > 0) {
        const int32_t h = std::max(iLine * 2, plot.Height() / 10);
        CPlotRect rear{plot.m_iLeft + 20, plot.m_iTop + 4, plot.m_iRight - 20, plot.m_iTop + 4 + h};
        CPlotRect front{rear.m_iLeft, rear.m_iBottom + 4, rear.m_iRight, rear.m_iBottom + 4 + h};
        SelectFont(dc, SmallFont(H), "Courier New", 400);
        DrawCutting(dc, rear, 1, iSelected, "Rear side cutting");
        DrawCutting(dc, front, 0, iSelected, "Front side cutting");
    }
    SelectFont(dc, SmallFont(H), "Courier New", 400);
    dc.setPen(Qt::black);
    if (iRows > 0)
        TextOut(dc, 2, H - iLine - 2, Printf("%d", iSelected));
    if (m_iCursor >= 0 && m_iCursor < iRows) {
        const size_t r = size_t(m_iCursor);
        auto at = [&](int32_t k) {
            const auto& v = e.m_Position[2][size_t(k)];
            const auto& ok = e.m_Valid[2][size_t(k)];
            return r < v.size() && r < ok.size() && ok[r] ? Printf("%.2f", v[r]) : std::string("-");
        };
        TextOut(dc, 2, 2, Printf("Row %d: Front %s Rear %s", m_iCursor, at(0).c_str(), at(1).c_str()));
    }
    // The results, from three quarters down.
    const double dFront = PixelsToMove(e.m_dPathDiffFront), dRear = PixelsToMove(e.m_dPathDiffRear);
    SelectFont(dc, std::clamp(H / 30, 8, 18), "Courier New", 400);
    const int32_t iStep = QFontMetrics(dc.font()).height();
    const std::string texts[4] = {Printf("Path Diff Front: %.0f pixels", e.m_dPathDiffFront),
                                  Printf("Path Diff Rear: %.0f pixels", e.m_dPathDiffRear),
                                  Printf("Pix to move Front: %.0f pixels %s", dFront, TurnDirection(dFront)),
                                  Printf("Pix to move Rear : %.0f pixels %s", dRear, TurnDirection(dRear))};
    for (int32_t i = 0; i < 4; ++i)
        TextCentred(dc, W / 2, H * 3 / 4 + i * iStep, texts[i]);
    const int32_t yTurn = H * 3 / 4 + 2 * iStep;
    DrawTurn(dc, plot.m_iLeft + 40, yTurn, "Rear", dRear);
    DrawTurn(dc, plot.m_iRight - 40, yTurn, "Front", dFront);
    return true;
}
