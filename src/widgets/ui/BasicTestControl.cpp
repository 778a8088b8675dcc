#include "widgets/ui/BasicTestControl.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <set>

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "widgets/ui/Shell.h"

uint32_t g_iTestMouseButtons = 0;

QColor ColorFromRef(COLORREF c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

CBasicTestControl::CBasicTestControl(QWidget* pParent) : QWidget(pParent), m_szPrintLines(kMaxPrintLines)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CBasicTestControl::~CBasicTestControl() = default;

void CBasicTestControl::ReplacePlaceholder(QWidget* pPlaceholder)
{
    if (!pPlaceholder) return;
    QWidget* pParent = pPlaceholder->parentWidget();
    setParent(pParent);
    if (pParent && pParent->layout() && pParent->layout()->indexOf(pPlaceholder) >= 0) {
        delete pParent->layout()->replaceWidget(pPlaceholder, this);
    } else {
        setGeometry(pPlaceholder->geometry());
    }
    setSizePolicy(pPlaceholder->sizePolicy());
    setMinimumSize(pPlaceholder->minimumSize());
    pPlaceholder->hide();
    setVisible(true);
}

// ---------------------------------------------------------------- overridables

int32_t CBasicTestControl::PositionToScale(int32_t x)
{
    ReadWindowRect();
    return ::PositionToScale(x, m_iWindowLeft, m_iWindowRight - m_iWindowLeft);
}

void CBasicTestControl::PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t /*iPageIndex*/)
{
    int32_t iLines = 0;
    while (iLines < kMaxPrintLines && !m_szPrintLines[size_t(iLines)].empty()) ++iLines;
    const CPrintLayout l = ComputePrintLayout(iPageWidth, iPageHeight, iLines, m_iWidth, m_iHeight);
    dc.save();
    SelectFont(dc, l.m_iLineStep, "Courier New", 400);
    dc.setPen(ColorFromRef(m_TextColor));
    dc.setBackgroundMode(Qt::TransparentMode);
    for (int32_t i = 0; i < iLines; ++i)
        TextOut(dc, l.m_iMarginX, l.m_iMarginY + i * l.m_iLineStep, m_szPrintLines[size_t(i)]);
    const QImage img = RenderImage(m_iWidth, m_iHeight);
    dc.setRenderHint(QPainter::SmoothPixmapTransform, true);
    dc.drawImage(QRect(l.m_iPictureLeft, l.m_iPictureTop, l.m_iPictureWidth, l.m_iPictureHeight), img);
    dc.restore();
    m_bFontSelected = false;
}

void CBasicTestControl::OnPaint()
{
    QPainter p(this);
    if (!m_bInitialised || !m_iDrawingEnabled) return;
    if (m_Surface.isNull()) {
        if (!CreateSurface(this)) return;
        QPainter s(&m_Surface);
        RenderToDC(&s, m_iWidth, m_iHeight);
    }
    p.drawImage(0, 0, m_Surface, 0, 0, m_iWidth, m_iHeight);
}

bool CBasicTestControl::DrawContent(QPainter& /*dc*/, int32_t /*iWidth*/, int32_t /*iHeight*/)
{
    return true;
}

void CBasicTestControl::OnLButtonDblClk(uint32_t iButtons, int32_t x, int32_t y)
{
    OnLButtonDown(iButtons, x, y);
}
void CBasicTestControl::OnLButtonDown(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnLButtonUp(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnMouseMove(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnRButtonDblClk(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnRButtonDown(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnRButtonUp(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnMouseLeave(uint32_t, int32_t, int32_t) {}
void CBasicTestControl::OnTimer(int32_t) {}

void CBasicTestControl::OnSize(int32_t /*iType*/, int32_t cx, int32_t cy)
{
    if (cx == m_iWidth && cy == m_iHeight) return;
    m_iWidth = cx;
    m_iHeight = cy;
    m_Plot = ComputePlotRect(cx + 1, cy + 1);
    ReleaseSurface();
    Redraw();
    BlitToScreen();
}

// ---------------------------------------------------------------- surface

void CBasicTestControl::InitControl()
{
    if (m_bInitialised) return;
    setMouseTracking(true); // the notify style: clicks and moves reach the control
    m_iWidth = width() - 1;
    m_iHeight = height() - 1;
    m_Plot = ComputePlotRect(width(), height());
    m_bInitialised = 1;
    Redraw();
}

bool CBasicTestControl::Redraw()
{
    if (!m_bInitialised) return false;
    if (m_Surface.isNull() && !CreateSurface(this)) return false;
    {
        QPainter p(&m_Surface);
        RenderToDC(&p, m_iWidth, m_iHeight);
    }
    update();
    return true;
}

bool CBasicTestControl::RenderToDC(QPainter* pDC, int32_t iWidth, int32_t iHeight)
{
    if (m_iCharWidth == -1) MeasureText();
    if (iWidth < 1) {
        ReadWindowRect();
        iWidth = m_iWidth;
        iHeight = m_iHeight;
    }
    if (!pDC) return true;
    if (!m_iPrinting && m_iFontHeight < 1) m_iFontHeight = QFontInfo(pDC->font()).pixelSize();
    if (!m_bInitialised) return false;
    pDC->save();
    pDC->setRenderHint(QPainter::Antialiasing, false);
    pDC->setRenderHint(QPainter::TextAntialiasing, false);
    pDC->fillRect(0, 0, iWidth, iHeight, Qt::white);
    pDC->setPen(Qt::black);
    pDC->setBrush(Qt::NoBrush);
    pDC->drawRect(0, 0, iWidth - 1, iHeight - 1);
    DrawContent(*pDC, iWidth, iHeight);
    pDC->restore();
    m_bFontSelected = false;
    return true;
}

void CBasicTestControl::BlitToScreen()
{
    if (!m_iDrawingEnabled) return;
    if (m_Surface.isNull()) {
        if (!CreateSurface(this)) return;
        QPainter p(&m_Surface);
        RenderToDC(&p, m_iWidth, m_iHeight);
    }
    update();
}

bool CBasicTestControl::CreateSurface(const QPaintDevice* pReference)
{
    if (m_iWidth < 1) {
        ReadWindowRect();
        m_iWidth = width() - 1;
        m_iHeight = height() - 1;
    }
    if (!pReference) {
        ShowMessage("ptrDC == NULL");
        return false;
    }
    if (m_iWidth == -1) {
        ShowMessage("m_iWidth == -1");
        return false;
    }
    if (m_iHeight == -1) {
        ShowMessage("m_iHeight == -1");
        return false;
    }
    m_Surface = QImage(std::max(1, m_iWidth), std::max(1, m_iHeight), QImage::Format_RGB32);
    if (m_Surface.isNull()) return false;
    m_Surface.fill(Qt::white);
    m_iTenthWidth = m_iWidth / 10;
    m_iTenthHeight = m_iHeight / 10;
    return true;
}

void CBasicTestControl::ReleaseSurface()
{
    m_Surface = QImage();
}

QImage CBasicTestControl::RenderImage(int32_t iWidth, int32_t iHeight)
{
    QImage img(std::max(1, iWidth), std::max(1, iHeight), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    RenderToDC(&p, iWidth, iHeight);
    return img;
}

// ---------------------------------------------------------------- pens, brushes, fonts

void CBasicTestControl::SelectPenColor(QPainter& dc, Qt::PenStyle style, int32_t iColorIndex, int32_t iWidth)
{
    COLORREF c = 0;
    switch (iColorIndex) {
    case 0: c = 0x0000FF; break;
    case 1: c = 0x00FF00; break;
    case 2: c = 0xFF0000; break;
    case 4: c = 0xFF00FF; break;
    case 5: c = 0xFFFF00; break;
    case 6: c = 0x00FFFF; break;
    case 254: c = 0xFFFFFF; break;
    default: c = 0; break;
    }
    SelectPen(dc, style, c, iWidth);
}

void CBasicTestControl::SelectPen(QPainter& dc, Qt::PenStyle style, COLORREF color, int32_t iWidth)
{
    QPen pen(ColorFromRef(color));
    pen.setStyle(style);
    pen.setWidth(iWidth <= 1 ? 0 : iWidth); // cosmetic one-pixel pen as the screen draws it
    dc.setPen(pen);
}

void CBasicTestControl::SelectBrush(QPainter& dc, COLORREF color)
{
    dc.setBrush(ColorFromRef(color));
}

void CBasicTestControl::SelectFont(QPainter& dc, int32_t iHeight, const char* szFaceName, int32_t iWeight)
{
    m_Font = QFont(QString::fromLatin1(szFaceName && *szFaceName ? szFaceName : "Courier New"));
    const int32_t iCell = std::max(1, std::abs(iHeight));
    m_Font.setPixelSize(iCell);
    m_Font.setWeight(QFont::Weight(std::clamp(iWeight <= 0 ? 400 : iWeight, 100, 900)));
    m_Font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    m_Font.setStyleStrategy(QFont::NoAntialias);
    // A font height is the height of a whole text line (ascent plus descent),
    // so that lines stepped by it do not run into each other; a pixel size
    // is only the em, which every face draws taller than that.
    const int32_t iLine = QFontMetrics(m_Font).height();
    if (iLine > iCell) m_Font.setPixelSize(std::max(1, int32_t(std::lround(double(iCell) * iCell / iLine))));
    dc.setFont(m_Font);
    m_bFontSelected = true;
    m_iFontHeight = iHeight;
}

void CBasicTestControl::ReleasePen(QPainter& dc)
{
    dc.setPen(Qt::black);
}

void CBasicTestControl::ReleaseBrush(QPainter& dc)
{
    dc.setBrush(Qt::NoBrush);
}

void CBasicTestControl::ReleaseFont(QPainter& dc)
{
    if (m_bFontSelected) dc.setFont(font());
    m_bFontSelected = false;
}

void CBasicTestControl::TextOut(QPainter& dc, int32_t x, int32_t y, const std::string& szText)
{
    const QFontMetrics fm(dc.font());
    dc.drawText(x, y + fm.ascent(), FromCp1252(szText));
}

int32_t CBasicTestControl::TextWidth(QPainter& dc, const std::string& szText)
{
    return QFontMetrics(dc.font()).horizontalAdvance(FromCp1252(szText));
}

int32_t CBasicTestControl::SelectFittingFont(QPainter& dc, int32_t iHeight, const char* szFaceName,
                                             const std::vector<std::string>& texts, int32_t iRoom)
{
    constexpr int32_t kSmallest = 8;
    int32_t h = std::max(1, iHeight);
    for (;;) {
        SelectFont(dc, h, szFaceName, 400);
        int32_t iWidest = 0;
        for (const std::string& sz : texts) iWidest = std::max(iWidest, TextWidth(dc, sz));
        if (iWidest <= iRoom || h <= kSmallest) return h;
        // text width grows with the height: jump close, then step
        h = std::max(kSmallest, std::min(h - 1, int32_t(int64_t(h) * std::max(1, iRoom) / iWidest)));
    }
}

void CBasicTestControl::MeasureText()
{
    const QFontMetrics fm(font());
    m_iCharWidth = std::max(1, fm.averageCharWidth());
    m_iLineHeight = fm.height() + fm.leading();
    m_iCapitalWidth = (QFontInfo(font()).fixedPitch() ? 2 : 3) * m_iCharWidth / 2;
}

// ---------------------------------------------------------------- print lines and printing

void CBasicTestControl::AddPrintLine(const std::string& szText)
{
    if (m_iPrintLineCount < m_iPrintLineMax && m_iPrintLineCount < kMaxPrintLines)
        m_szPrintLines[size_t(m_iPrintLineCount++)] = szText;
}

bool CBasicTestControl::Print()
{
    m_iPrinting = 1;
    MeasureText();
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dlg(&printer, this);
    dlg.setMinMax(1, 1);
    dlg.setFromTo(1, 1);
    printer.setCopyCount(1);
    if (dlg.exec() != QDialog::Accepted) {
        m_iPrinting = 0;
        return false;
    }
    PumpMessages();
    const bool bOk = PrintDocument(printer);
    if (!bOk) ShowMessage("Unable to print section", "Printer section");
    m_iPrinting = 0;
    return bOk;
}

bool CBasicTestControl::PrintDocument(QPrinter& printer)
{
    printer.setDocName(m_szDocName);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    bool bOk = true;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // A file is one document read from its first page: the pages go in
        // reading order (paper comes out in the order of the jobs below).
        return PrintAtomically(printer, [&] {
            QPainter dc;
            if (!dc.begin(&printer)) return false;
            for (int32_t i = 0; i < m_iPageCount; ++i) {
                if (i > 0 && !printer.newPage()) {
                    bOk = false;
                    continue;
                }
                PrintPage(dc, page.width(), page.height(), i);
                dc.setPen(Qt::black);
            }
            return dc.end() && bOk;
        });
    }
    // On paper every page is a print job of its own, the last page first.
    for (int32_t i = m_iPageCount - 1; i >= 0; --i) {
        QPainter dc;
        if (!dc.begin(&printer)) {
            bOk = false;
            continue;
        }
        PrintPage(dc, page.width(), page.height(), i);
        dc.setPen(Qt::black);
        if (!dc.end()) bOk = false;
    }
    return bOk;
}

bool CBasicTestControl::PrintToPdf(const QString& szPath)
{
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(szPath);
    m_iPrinting = 1;
    MeasureText();
    const bool bOk = PrintDocument(printer);
    m_iPrinting = 0;
    return bOk;
}

// ---------------------------------------------------------------- placement

void CBasicTestControl::ReadWindowRect()
{
    const QRect r = geometry();
    m_iWindowLeft = r.left();
    m_iWindowTop = r.top();
    m_iWindowRight = r.left() + r.width();
    m_iWindowBottom = r.top() + r.height();
}

void CBasicTestControl::SetWindowRect(int32_t iLeft, int32_t iTop, int32_t iRight, int32_t iBottom)
{
    setGeometry(iLeft, iTop, std::max(0, iRight - iLeft), std::max(0, iBottom - iTop));
    ReadWindowRect();
    ReleaseSurface();
}

void CBasicTestControl::SetSize(int32_t iWidth, int32_t iHeight)
{
    resize(std::max(0, iWidth), std::max(0, iHeight));
}

bool CBasicTestControl::IsPointInside(int32_t x, int32_t y)
{
    ReadWindowRect();
    return IsPointInsideSize(x, y, m_iWindowRight - m_iWindowLeft, m_iWindowBottom - m_iWindowTop);
}

void CBasicTestControl::PumpMessages()
{
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------- event dispatch

void CBasicTestControl::paintEvent(QPaintEvent*)
{
    OnPaint();
}

void CBasicTestControl::resizeEvent(QResizeEvent*)
{
    if (m_bInitialised) OnSize(0, width() - 1, height() - 1);
}

void CBasicTestControl::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    m_iLastX = p.x();
    m_iLastY = p.y();
    if (e->button() == Qt::LeftButton) {
        g_iTestMouseButtons |= 1u;
        OnLButtonDown(g_iTestMouseButtons, p.x(), p.y());
    } else if (e->button() == Qt::RightButton) {
        g_iTestMouseButtons |= 2u;
        OnRButtonDown(g_iTestMouseButtons, p.x(), p.y());
    }
}

void CBasicTestControl::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        g_iTestMouseButtons &= ~1u;
        OnLButtonUp(g_iTestMouseButtons, p.x(), p.y());
    } else if (e->button() == Qt::RightButton) {
        g_iTestMouseButtons &= ~2u;
        OnRButtonUp(g_iTestMouseButtons, p.x(), p.y());
    }
}

void CBasicTestControl::mouseDoubleClickEvent(QMouseEvent* e)
{
    // Right double clicks are not passed on: the right button acts on its release.
    if (e->button() != Qt::LeftButton) return;
    const QPoint p = e->position().toPoint();
    OnLButtonDblClk(g_iTestMouseButtons, p.x(), p.y());
}

void CBasicTestControl::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    m_iLastX = p.x();
    m_iLastY = p.y();
    OnMouseMove(g_iTestMouseButtons, p.x(), p.y());
    e->ignore(); // the owner sees the move too
}

void CBasicTestControl::leaveEvent(QEvent*)
{
    OnMouseLeave(g_iTestMouseButtons, m_iLastX, m_iLastY);
}

void CBasicTestControl::timerEvent(QTimerEvent* e)
{
    OnTimer(e->timerId());
}

// ================================================================ CSymbolTestControl

void CSymbolTestControl::DrawPickButton(QPainter& dc, int32_t x, int32_t y, int32_t iSize)
{
    m_iPickLeft = x - iSize / 2;
    m_iPickTop = y - iSize / 2;
    m_iPickRight = x + 1 + iSize / 2;
    m_iPickBottom = y + 2 + iSize / 2;
    dc.save();
    dc.setPen(Qt::black);
    dc.setBrush(ColorFromRef(m_bPickMode ? 0x7FFF7F : 0xFFFF7F));
    dc.drawRect(m_iPickLeft, m_iPickTop, m_iPickRight - m_iPickLeft - 1, m_iPickBottom - m_iPickTop - 1);
    CrossHairFigure(dc, x, y);
    if (m_bPickMode && m_bCrossHairDrawn && m_iCrossX >= 0) {
        // The surface was painted afresh: put the inverted cross-hair back where it was.
        dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        dc.setPen(Qt::white);
        CrossHairFigure(dc, m_iCrossX, m_iCrossY);
    }
    dc.restore();
}

void CSymbolTestControl::CrossHairFigure(QPainter& dc, int32_t x, int32_t y)
{
    // Each pixel once, so that two inverted draws cancel exactly.
    std::set<std::pair<int32_t, int32_t>> pts;
    for (int32_t i = -10; i <= 10; ++i) {
        pts.insert({x + i, y});
        pts.insert({x, y + i});
    }
    for (int32_t d : {-1, 1}) {
        for (int32_t i = -10; i <= -7; ++i) {
            pts.insert({x + i, y + d});
            pts.insert({x + d, y + i});
        }
        for (int32_t i = 7; i <= 10; ++i) {
            pts.insert({x + i, y + d});
            pts.insert({x + d, y + i});
        }
    }
    QPolygon poly;
    for (const auto& p : pts) poly << QPoint(p.first, p.second);
    dc.drawPoints(poly);
}

void CSymbolTestControl::DrawCrossHair(int32_t x, int32_t y, bool bSolid)
{
    if (m_Surface.isNull()) return;
    const bool bInPlot = x >= m_Plot.m_iLeft && x <= m_Plot.m_iRight && y >= m_Plot.m_iTop && y <= m_Plot.m_iBottom;
    if (!bSolid && !m_bCrossHairDrawn && !bInPlot) return;
    QPainter p(&m_Surface);
    if (bSolid) {
        p.setPen(Qt::black);
        CrossHairFigure(p, x, y);
        return;
    }
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::white);
    CrossHairFigure(p, x, y);
    m_iCrossX = x;
    m_iCrossY = y;
    m_bCrossHairDrawn = !m_bCrossHairDrawn;
}

void CSymbolTestControl::DrawCheckSymbol(QPainter& dc, int32_t x, int32_t y, int32_t iSize, int32_t iThickness,
                                         COLORREF color)
{
    static const double kTick[6][2] = {{-1.0, 0.0}, {-0.7, -0.3}, {-0.35, 0.05}, {0.7, -1.0}, {1.0, -0.7}, {-0.35, 0.65}};
    auto ring = [&](double s) {
        QPolygon poly;
        for (const auto& p : kTick) poly << QPoint(x + int(std::lround(p[0] * s)), y + int(std::lround(p[1] * s)));
        return poly;
    };
    dc.save();
    dc.setPen(Qt::black);
    for (int32_t k = 0; k < std::max(1, iThickness); ++k) dc.drawPolygon(ring(iSize + k));
    dc.setPen(ColorFromRef(color));
    dc.setBrush(ColorFromRef(color));
    dc.drawPolygon(ring(std::max(0, iSize - 1)));
    dc.restore();
}

void CSymbolTestControl::DrawCrossSymbol(QPainter& dc, int32_t x, int32_t y, int32_t iSize, int32_t iThickness)
{
    const double w = 0.3;
    const double kX[12][2] = {{-1, -1 + w}, {-1 + w, -1}, {0, -w}, {1 - w, -1}, {1, -1 + w}, {w, 0},
                              {1, 1 - w},   {1 - w, 1},   {0, w},  {-1 + w, 1}, {-1, 1 - w}, {-w, 0}};
    auto ring = [&](double s) {
        QPolygon poly;
        for (const auto& p : kX) poly << QPoint(x + int(std::lround(p[0] * s)), y + int(std::lround(p[1] * s)));
        return poly;
    };
    dc.save();
    dc.setPen(Qt::black);
    for (int32_t k = 0; k < std::max(1, iThickness); ++k) dc.drawPolygon(ring(iSize + k));
    dc.setPen(ColorFromRef(0x0000FF));
    dc.setBrush(ColorFromRef(0x0000FF));
    dc.drawPolygon(ring(std::max(0, iSize - 1)));
    dc.restore();
}

void CSymbolTestControl::FirePick(int32_t a, int32_t b, int32_t c)
{
    m_bPickMode = false;
    m_bCrossHairDrawn = false;
    Redraw();
    m_iPickResult[0] = a;
    m_iPickResult[1] = b;
    m_iPickResult[2] = c;
    if (m_PickCallback) m_PickCallback(a, b, c);
}

void CSymbolTestControl::FireReset(int32_t b)
{
    m_bPickMode = false;
    m_bCrossHairDrawn = false;
    Redraw();
    if (m_PickCallback) m_PickCallback(0, b, 0);
}

void CSymbolTestControl::OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y)
{
    if (x >= m_iPickLeft && x < m_iPickRight && y >= m_iPickTop && y < m_iPickBottom) {
        m_bPickMode = !m_bPickMode;
        if (!m_bPickMode) m_bCrossHairDrawn = false;
        Redraw();
        return;
    }
    const bool bInPlot = x >= m_Plot.m_iLeft && x <= m_Plot.m_iRight && y >= m_Plot.m_iTop && y <= m_Plot.m_iBottom;
    if (m_bPickMode && bInPlot) {
        const int32_t iIndex = PickIndex(x, m_Plot, m_iPickRange);
        if (!m_PickCallback) return;
        if (m_bCrossHairDrawn) DrawCrossHair(m_iCrossX, m_iCrossY, false);
        m_bPickMode = false;
        Redraw();
        m_iPickResult[0] = m_iPickHalfCount / 2;
        m_iPickResult[1] = iIndex;
        m_iPickResult[2] = 1;
        m_PickCallback(m_iPickResult[0], m_iPickResult[1], m_iPickResult[2]);
        return;
    }
    CBasicTestControl::OnLButtonUp(iButtons, x, y);
}

void CSymbolTestControl::OnMouseMove(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_bPickMode) {
        if (m_bCrossHairDrawn) DrawCrossHair(m_iCrossX, m_iCrossY, false);
        DrawCrossHair(x, y, false);
        update();
        return;
    }
    CBasicTestControl::OnMouseMove(iButtons, x, y);
}
