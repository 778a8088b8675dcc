#include "testtools/ui/SmallTestControls.h"

#include <QApplication>
#include <QLayout>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

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
