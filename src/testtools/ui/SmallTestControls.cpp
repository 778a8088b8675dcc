#include "testtools/ui/SmallTestControls.h"

#include <QApplication>
#include <QLayout>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

QColor FaceColor()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor GreyTextColor()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

// ================================================================ elapsed time

CElapsed_Control::CElapsed_Control(QWidget* pParent) : CBasicTestControl(pParent), m_StartTick(std::chrono::steady_clock::now())
{
}

void CElapsed_Control::Reset()
{
    m_Time = CElapsedTime();
    m_StartTick = std::chrono::steady_clock::now();
    Redraw();
}

void CElapsed_Control::Start()
{
    Reset();
    if (m_iTimerId) killTimer(m_iTimerId);
    m_iTimerId = startTimer(100);
}

void CElapsed_Control::Stop()
{
    if (m_iTimerId) killTimer(m_iTimerId);
    m_iTimerId = 0;
}

bool CElapsed_Control::UpdateElapsed(int64_t iMilliseconds)
{
    const CElapsedTime t = SplitElapsed(iMilliseconds);
    if (t == m_Time) return false;
    m_Time = t;
    Redraw();
    return true;
}

void CElapsed_Control::OnTimer(int32_t iTimerId)
{
    if (iTimerId == 0 || iTimerId != m_iTimerId) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_StartTick);
    UpdateElapsed(ms.count());
}

bool CElapsed_Control::DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    dc.fillRect(0, 0, iWidth, iHeight, FaceColor());
    SelectFont(dc, 14, "MS Sans Serif", 400);
    dc.setPen(GreyTextColor());
    const std::string sz = FormatElapsed(m_Time);
    TextOut(dc, (iWidth - TextWidth(dc, sz)) / 2, 0, sz);
    return true;
}

// ================================================================ red-green-red gauge

int32_t CDrawRedGreenRedRect::PixelOf(double dValue, double dMaximum) const
{
    return m_bVertical ? SignedLogPixel(dValue, m_iY, m_iHeight, dMaximum)
                       : SignedLogPixel(dValue, m_iX, m_iWidth, dMaximum);
}

void CDrawRedGreenRedRect::Draw(QPainter& dc, double dTolerance, double dMaximum, double dValue)
{
    const int32_t L = m_bVertical ? m_iHeight : m_iWidth;
    const int32_t T = m_bVertical ? m_iWidth : m_iHeight;
    const int32_t iStart = m_bVertical ? m_iY : m_iX;
    const int32_t iAcross = m_bVertical ? m_iX : m_iY;
    if (L < 2 || T < 1) return;
    dc.save();
    auto line = [&](int32_t iAlong, int32_t iFrom, int32_t iTo) { // across the bar at one position
        if (m_bVertical) dc.drawLine(iFrom, iAlong, iTo, iAlong);
        else dc.drawLine(iAlong, iFrom, iAlong, iTo);
    };
    auto along = [&](int32_t iAcrossPos, int32_t iFrom, int32_t iTo) {
        if (m_bVertical) dc.drawLine(iAcrossPos, iFrom, iAcrossPos, iTo);
        else dc.drawLine(iFrom, iAcrossPos, iTo, iAcrossPos);
    };

    // 1. graded fill, red at the ends, green in the centre
    const int32_t n = L / 2;
    for (int32_t i = 0; i <= n; ++i) {
        const int c = n ? 255 * i / n : 255;
        const QColor col = m_bInactive ? QColor(c, c, c) : QColor(255 - c, c, 0);
        dc.setPen(col);
        line(iStart + i, iAcross, iAcross + T - 1);
        line(iStart + L - 1 - i, iAcross, iAcross + T - 1);
    }

    // 2. tolerance band frame, a tenth of the thickness wide
    const int32_t p1 = std::clamp(PixelOf(dTolerance, dMaximum), iStart, iStart + L - 1);
    const int32_t p2 = std::clamp(PixelOf(-dTolerance, dMaximum), iStart, iStart + L - 1);
    const int32_t a = std::min(p1, p2), b = std::max(p1, p2);
    dc.setPen(Qt::black);
    dc.setBrush(Qt::NoBrush);
    for (int32_t k = 0; k < std::max(1, T / 10); ++k) {
        if (a + k > b - k) break;
        if (m_bVertical) dc.drawRect(iAcross + k, a + k, T - 1 - 2 * k, b - a - 2 * k);
        else dc.drawRect(a + k, iAcross + k, b - a - 2 * k, T - 1 - 2 * k);
    }

    // 3. pointer
    if (!m_bInactive) {
        const int32_t pv = std::clamp(PixelOf(dValue, dMaximum), iStart, iStart + L - 1);
        const bool bInside = dValue >= -dTolerance && dValue <= dTolerance;
        const double dHalf = T / 2.0;
        for (int32_t i = 0; i < T; ++i) {
            const double f = dHalf > 0 ? 1.0 - std::fabs(i - dHalf) / dHalf : 1.0;
            const int iBlue = int(std::lround(25 * f + 10));
            const int iHigh = int(std::lround(118 * f + 137));
            const int iLow = int(std::lround(18 * f));
            dc.setPen(bInside ? QColor(iLow, iHigh, iBlue) : QColor(iHigh, iLow, iBlue));
            const int32_t iReach = int32_t(std::lround(f * dHalf));
            along(iAcross + i, pv - iReach, pv + iReach);
        }
    }

    // 4. ticks and labels
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(std::max(1, T * 4 / 10));
    f.setStyleStrategy(QFont::NoAntialias);
    dc.setFont(f);
    dc.setPen(GreyTextColor());
    const QFontMetrics fm(f);
    for (double v : {0.0, 0.1, -0.1, 1.0, -1.0, 10.0, -10.0, 100.0, -100.0}) {
        if (std::fabs(v) > dMaximum) continue;
        const int32_t p = PixelOf(v, dMaximum);
        const QString sz = QString::number(int(std::floor(std::fabs(v))));
        const int32_t iTick = std::max(2, T / 5);
        if (m_bVertical) {
            const int32_t x0 = m_bLabelsLeft ? iAcross - iTick : iAcross + T;
            dc.drawLine(x0, p, x0 + iTick - 1, p);
            const int32_t xt = m_bLabelsLeft ? x0 - 2 - fm.horizontalAdvance(sz) : x0 + iTick + 2;
            dc.drawText(xt, p + fm.ascent() / 2, sz);
        } else {
            const int32_t y0 = m_bLabelsLeft ? iAcross - iTick : iAcross + T;
            dc.drawLine(p, y0, p, y0 + iTick - 1);
            const int32_t yt = m_bLabelsLeft ? y0 - 2 : y0 + iTick + fm.ascent();
            dc.drawText(p - fm.horizontalAdvance(sz) / 2, yt, sz);
        }
    }
    dc.restore();
}

// ================================================================ width / centre gauges

CWidthCenter_Control::CWidthCenter_Control(QWidget* pParent)
    : CBasicTestControl(pParent), m_pGauge(std::make_unique<CDrawRedGreenRedRect>(this))
{
}

void CWidthCenter_Control::SetValues(double dTolerance1, double dMaximum1, double dValue1, double dTolerance2,
                                     double dMaximum2, double dValue2)
{
    m_dTolerance1 = dTolerance1;
    m_dMaximum1 = dMaximum1;
    m_dValue1 = dValue1;
    m_dTolerance2 = dTolerance2;
    m_dMaximum2 = dMaximum2;
    m_dValue2 = dValue2;
    Redraw();
}

bool CWidthCenter_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    dc.fillRect(0, 0, W, H, FaceColor());
    m_pGauge->m_bVertical = true;
    m_pGauge->m_bLabelsLeft = true;
    m_pGauge->m_bInactive = !m_bActive1;
    m_pGauge->SetRect(W / 2 - (W / 3) / 2, H / 10, W / 3, 12 * H / 20);
    m_pGauge->Draw(dc, m_dTolerance1, m_dMaximum1, m_dValue1);

    SelectFont(dc, (H / 10) * 2 / 3, "MS Sans Serif", 400);
    dc.setPen(Qt::black);
    const std::string szCaption = "Scan Width";
    TextOut(dc, (W - TextWidth(dc, szCaption)) / 2, 0, szCaption);

    m_pGauge->m_bVertical = false;
    m_pGauge->m_bLabelsLeft = false;
    m_pGauge->m_bInactive = !m_bActive2;
    m_pGauge->SetRect(0, 8 * H / 10, W, H / 7);
    m_pGauge->Draw(dc, m_dTolerance2, m_dMaximum2, m_dValue2);
    return true;
}

// ================================================================ scrolling text

CScrollTextControl::CScrollTextControl(QWidget* pParent) : CBasicTestControl(pParent)
{
    m_szDocName = QStringLiteral("Printing Scaling test");
}

void CScrollTextControl::SetScrollBar(QScrollBar* pBar)
{
    m_pScrollBar = pBar;
    if (!pBar) return;
    pBar->setOrientation(Qt::Vertical);
    connect(pBar, &QScrollBar::actionTriggered, this, [this](int iAction) {
        if (!m_pScrollBar) return;
        switch (iAction) {
        case QAbstractSlider::SliderSingleStepSub: Scroll(SCROLL_LINEUP, 0); break;
        case QAbstractSlider::SliderSingleStepAdd: Scroll(SCROLL_LINEDOWN, 0); break;
        case QAbstractSlider::SliderPageStepSub: Scroll(SCROLL_PAGEUP, 0); break;
        case QAbstractSlider::SliderPageStepAdd: Scroll(SCROLL_PAGEDOWN, 0); break;
        case QAbstractSlider::SliderToMinimum: Scroll(SCROLL_TOP, 0); break;
        case QAbstractSlider::SliderToMaximum: Scroll(SCROLL_BOTTOM, 0); break;
        case QAbstractSlider::SliderMove: Scroll(SCROLL_THUMBTRACK, m_pScrollBar->sliderPosition()); break;
        default: break;
        }
    });
    PlaceScrollBar();
    UpdateScrollBar();
}

void CScrollTextControl::SetText(const std::string& szText)
{
    m_Lines.clear();
    size_t iPos = 0;
    while (iPos <= szText.size()) {
        const size_t iEnd = szText.find_first_of("\r\n", iPos);
        const std::string szLine = szText.substr(iPos, iEnd == std::string::npos ? std::string::npos : iEnd - iPos);
        if (iEnd == std::string::npos) {
            if (!szLine.empty()) m_Lines.push_back({szLine, 0, TEXT_SYMBOL_NONE});
            break;
        }
        if (int32_t(m_Lines.size()) < kMaxLines) m_Lines.push_back({szLine, 0, TEXT_SYMBOL_NONE});
        // "\r\n" ends one line, not two
        iPos = iEnd + ((szText[iEnd] == '\r' && iEnd + 1 < szText.size() && szText[iEnd + 1] == '\n') ? 2 : 1);
        if (int32_t(m_Lines.size()) >= kMaxLines) break;
    }
    m_iTotalHeight = static_cast<int32_t>(double(m_Lines.size()) * 1.5 * kCharHeight);
    m_iFirstVisible = 0;
    UpdateScrollBar();
    Redraw();
}

void CScrollTextControl::SetLineStyle(int32_t iLine, COLORREF color, int32_t iSymbol)
{
    if (iLine < 0 || iLine >= int32_t(m_Lines.size())) return;
    m_Lines[size_t(iLine)].m_Color = color;
    m_Lines[size_t(iLine)].m_iSymbol = iSymbol;
}

void CScrollTextControl::Scroll(int32_t iCode, int32_t iPosition)
{
    if (iCode == SCROLL_ENDSCROLL || m_bScrolling) return;
    m_iFirstVisible = ScrollTextPosition(iCode, iPosition, m_iFirstVisible, m_iTotalHeight, std::max(0, m_iHeight));
    m_bScrolling = true;
    if (m_pScrollBar) m_pScrollBar->setValue(m_iFirstVisible);
    m_bScrolling = false;
    Redraw();
}

void CScrollTextControl::UpdateScrollBar()
{
    if (!m_pScrollBar) return;
    m_bScrolling = true;
    const int32_t iPage = std::max(1, m_iHeight);
    m_pScrollBar->setRange(0, std::max(0, m_iTotalHeight - iPage));
    m_pScrollBar->setPageStep(iPage);
    m_pScrollBar->setSingleStep(std::max(1, iPage / 10));
    m_pScrollBar->setValue(m_iFirstVisible);
    m_bScrolling = false;
}

void CScrollTextControl::PlaceScrollBar()
{
    if (!m_pScrollBar || m_pScrollBar->parentWidget() != parentWidget()) return;
    if (parentWidget() && parentWidget()->layout() && parentWidget()->layout()->indexOf(m_pScrollBar) >= 0) return;
    const QRect r = geometry();
    m_pScrollBar->setGeometry(r.right() + 1 + 2, r.top(), m_pScrollBar->sizeHint().width(), r.height());
}

void CScrollTextControl::moveEvent(QMoveEvent*)
{
    PlaceScrollBar();
}

void CScrollTextControl::OnSize(int32_t iType, int32_t cx, int32_t cy)
{
    CBasicTestControl::OnSize(iType, cx, cy);
    PlaceScrollBar();
    UpdateScrollBar();
}

bool CScrollTextControl::DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    SelectFont(dc, kCharHeight, "Courier New", 400);
    const double dStep = 1.5 * kCharHeight;
    const int32_t iFirst = std::max(0, static_cast<int32_t>(m_iFirstVisible / dStep) - 1);
    for (int32_t i = iFirst; i < int32_t(m_Lines.size()); ++i) {
        const int32_t y = 4 + static_cast<int32_t>(i * dStep) - m_iFirstVisible;
        if (y > iHeight) break;
        const CTextLine& l = m_Lines[size_t(i)];
        int32_t x = 6;
        if (l.m_iSymbol == TEXT_SYMBOL_CHECK) CSymbolTestControl::DrawCheckSymbol(dc, x + 6, y + kCharHeight / 2, 5, 1, 0x00FF00);
        if (l.m_iSymbol == TEXT_SYMBOL_CROSS) CSymbolTestControl::DrawCrossSymbol(dc, x + 6, y + kCharHeight / 2, 5, 1);
        if (l.m_iSymbol != TEXT_SYMBOL_NONE) x += 18;
        dc.setPen(ColorFromRef(l.m_Color));
        TextOut(dc, x, y, l.m_szText);
    }
    (void)iWidth;
    return true;
}

bool CScrollTextControl::Print()
{
    return CBasicTestControl::Print();
}

void CScrollTextControl::PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t /*iPageIndex*/)
{
    const int32_t iStep = std::max(1, iPageHeight / 72);
    const int32_t x = iPageWidth / 10;
    int32_t y = iPageHeight / 20;
    SelectFont(dc, iStep, "Courier New", 400);
    for (const CTextLine& l : m_Lines) {
        if (y + iStep > iPageHeight - iPageHeight / 20) break;
        dc.setPen(ColorFromRef(l.m_Color));
        TextOut(dc, x, y, l.m_szText);
        y += iStep;
    }
}
