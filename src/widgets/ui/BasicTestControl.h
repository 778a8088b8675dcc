#pragma once
// The base of every drawing control of the test tools. A control stands where
// the dialog's placeholder stood, paints into an off-screen surface and copies
// that to the screen, turns mouse and timer events into a fixed set of
// overridable operations and prints its picture below a few header lines.
// Colours are 0x00BBGGRR values, as the result files and tests use them.
#include <QFont>
#include <QImage>
#include <QPen>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "widgets/TestGeometry.h"

class QPainter;
class QPrinter;

using COLORREF = uint32_t;
QColor ColorFromRef(COLORREF c);

// Bit 0 while the left button is down, bit 1 while the right one is: one
// word shared by all test controls, as a drag may leave one control for another.
extern uint32_t g_iTestMouseButtons;

class CBasicTestControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxPrintLines = 70;

    explicit CBasicTestControl(QWidget* pParent = nullptr);
    ~CBasicTestControl() override;

    // Takes the placeholder's place: same parent, geometry and visibility;
    // the placeholder is hidden.
    void ReplacePlaceholder(QWidget* pPlaceholder);

    // -- overridable operations, in slot order --
    virtual int32_t PositionToScale(int32_t x);
    virtual void PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex);
    virtual void OnPaint();
    virtual bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight);
    virtual void OnLButtonDblClk(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnLButtonDown(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnMouseMove(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnRButtonDblClk(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnRButtonDown(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnRButtonUp(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnMouseLeave(uint32_t iButtons, int32_t x, int32_t y);
    virtual void OnTimer(int32_t iTimerId);
    virtual void OnSize(int32_t iType, int32_t cx, int32_t cy);

    // -- non-virtual operations --
    void InitControl();
    bool Redraw();
    bool RenderToDC(QPainter* pDC, int32_t iWidth, int32_t iHeight);
    void BlitToScreen();
    bool CreateSurface(const QPaintDevice* pReference);
    void ReleaseSurface();

    void SelectPenColor(QPainter& dc, Qt::PenStyle style, int32_t iColorIndex, int32_t iWidth);
    void SelectPen(QPainter& dc, Qt::PenStyle style, COLORREF color, int32_t iWidth);
    void SelectBrush(QPainter& dc, COLORREF color);
    void SelectFont(QPainter& dc, int32_t iHeight, const char* szFaceName = nullptr, int32_t iWeight = 400);
    void ReleasePen(QPainter& dc);
    void ReleaseBrush(QPainter& dc);
    void ReleaseFont(QPainter& dc);

    void AddPrintLine(const std::string& szText);
    void ClearPrintLines() { m_iPrintLineCount = 0; }
    int32_t PrintLineCount() const { return m_iPrintLineCount; }
    const std::string& PrintLine(int32_t i) const { return m_szPrintLines[size_t(i)]; }

    // Shows the print dialog and prints; false when it failed (and said so).
    bool Print();
    // Prints every page, the last page first, onto an already set up printer.
    bool PrintDocument(QPrinter& printer);
    // Headless printing into a PDF file (tests, command line).
    bool PrintToPdf(const QString& szPath);

    void SetWindowRect(int32_t iLeft, int32_t iTop, int32_t iRight, int32_t iBottom);
    void SetSize(int32_t iWidth, int32_t iHeight);
    bool IsPointInside(int32_t x, int32_t y);
    static void PumpMessages();

    bool IsInitialised() const { return m_bInitialised != 0; }
    const QImage& Surface() const { return m_Surface; }
    int32_t SurfaceWidth() const { return m_iWidth; }
    int32_t SurfaceHeight() const { return m_iHeight; }
    const CPlotRect& Plot() const { return m_Plot; }
    void SetDrawingEnabled(bool b) { m_iDrawingEnabled = b ? 1 : 0; }
    void SetPageCount(int32_t n) { m_iPageCount = n < 1 ? 1 : n; }
    int32_t PageCount() const { return m_iPageCount; }

    // The control's content at any size, as the dialog shows it (render, screenshots).
    QImage RenderImage(int32_t iWidth, int32_t iHeight);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

    void ReadWindowRect();
    void MeasureText();
    // Draws text with its top-left corner at x, y in the current pen colour.
    void TextOut(QPainter& dc, int32_t x, int32_t y, const std::string& szText);
    int32_t TextWidth(QPainter& dc, const std::string& szText);
    // Selects the largest font of at most iHeight (not below a readable 8)
    // in which every text fits iRoom pixels; returns its height.
    int32_t SelectFittingFont(QPainter& dc, int32_t iHeight, const char* szFaceName,
                              const std::vector<std::string>& texts, int32_t iRoom);

    int32_t m_iDrawingEnabled = 1;
    int32_t m_iPageCount = 1;
    int32_t m_bInitialised = 0;
    int32_t m_iWindowLeft = -1, m_iWindowTop = -1, m_iWindowRight = -1, m_iWindowBottom = -1;
    std::vector<std::string> m_szPrintLines;
    int32_t m_iPrintLineCount = 0;
    int32_t m_iPrintLineMax = 20;
    COLORREF m_BackgroundColor = 0;
    COLORREF m_RedColor = 0x0000FF, m_GreenColor = 0x00FF00, m_BlueColor = 0xFF0000;
    int32_t m_iTenthWidth = 0, m_iTenthHeight = 0;
    CPlotRect m_Plot;
    QFont m_Font;
    bool m_bFontSelected = false;
    int32_t m_iFontHeight = 0;
    int32_t m_iCapitalWidth = 0;
    int32_t m_iCharWidth = -1;
    int32_t m_iLineHeight = 0;
    int32_t m_iPrinting = 0;
    COLORREF m_TextColor = 0;
    int32_t m_iWidth = -1, m_iHeight = -1;
    QImage m_Surface;
    int32_t m_iLastX = 0, m_iLastY = 0;
    QString m_szDocName = QStringLiteral("Printing Zel Test Document");
};

// A control with a pick button, an inverted cross-hair that follows the mouse
// in pick mode, and the pass/fail symbols of the tests.
class CSymbolTestControl : public CBasicTestControl {
    Q_OBJECT
public:
    using PickCallback = std::function<void(int32_t, int32_t, int32_t)>;
    explicit CSymbolTestControl(QWidget* pParent = nullptr) : CBasicTestControl(pParent) {}

    void DrawPickButton(QPainter& dc, int32_t x, int32_t y, int32_t iSize);
    void DrawCrossHair(int32_t x, int32_t y, bool bSolid);
    static void DrawCheckSymbol(QPainter& dc, int32_t x, int32_t y, int32_t iSize, int32_t iThickness, COLORREF color);
    static void DrawCrossSymbol(QPainter& dc, int32_t x, int32_t y, int32_t iSize, int32_t iThickness);

    void SetPickRange(int32_t iRange) { m_iPickRange = iRange; }
    void SetPickHalfCount(int32_t iCount) { m_iPickHalfCount = iCount; }
    void SetPickCallback(PickCallback fn) { m_PickCallback = std::move(fn); }
    void FirePick(int32_t a, int32_t b, int32_t c);
    void FireReset(int32_t b);

    bool IsPickMode() const { return m_bPickMode; }
    void SetPickMode(bool b) { m_bPickMode = b; }
    bool IsCrossHairDrawn() const { return m_bCrossHairDrawn; }
    const int32_t* PickResult() const { return m_iPickResult; }
    QRect PickButtonRect() const { return QRect(QPoint(m_iPickLeft, m_iPickTop), QPoint(m_iPickRight, m_iPickBottom)); }

    void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnMouseMove(uint32_t iButtons, int32_t x, int32_t y) override;

protected:
    void CrossHairFigure(QPainter& dc, int32_t x, int32_t y);

    int32_t m_iPickLeft = -1, m_iPickTop = -1, m_iPickRight = -1, m_iPickBottom = -1;
    bool m_bCrossHairDrawn = false;
    int32_t m_iCrossX = -1, m_iCrossY = -1;
    bool m_bPickMode = false;
    int32_t m_iPickResult[3] = {0, 0, 0};
    int32_t m_iPickRange = 0;
    int32_t m_iPickHalfCount = 0;
    PickCallback m_PickCallback;
};
