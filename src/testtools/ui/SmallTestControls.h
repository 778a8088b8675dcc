#pragma once
// Ready-made controls on the test control base: the elapsed-time display, the
// scan width/centre gauges and the scrolling text list.
#include <QPointer>
#include <chrono>
#include <memory>

#include "widgets/ui/BasicTestControl.h"

class QScrollBar;

// The dialog face and grey-text colours the small controls paint with.
QColor FaceColor();
QColor GreyTextColor();

class CElapsed_Control : public CBasicTestControl {
    Q_OBJECT
public:
    explicit CElapsed_Control(QWidget* pParent = nullptr);
    void Reset();
    void Start();
    void Stop();
    // What the timer does with the time since the start; true when the display changed.
    bool UpdateElapsed(int64_t iMilliseconds);
    std::string Text() const { return FormatElapsed(m_Time); }
    int32_t TimerId() const { return m_iTimerId; }

    void OnTimer(int32_t iTimerId) override;
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;

private:
    int32_t m_iTimerId = 0;
    std::chrono::steady_clock::time_point m_StartTick;
    CElapsedTime m_Time;
};

// Something drawn into a rectangle of its owner control.
class CBasicDrawItem {
public:
    explicit CBasicDrawItem(CBasicTestControl* pOwner) : m_pOwner(pOwner) {}
    virtual ~CBasicDrawItem() = default;
    void SetRect(int32_t x, int32_t y, int32_t iWidth, int32_t iHeight)
    {
        m_iX = x; m_iY = y; m_iWidth = iWidth; m_iHeight = iHeight;
    }
    void SetRectLTRB(int32_t iLeft, int32_t iTop, int32_t iRight, int32_t iBottom)
    {
        SetRect(iLeft, iTop, iRight - iLeft + 1, iBottom - iTop + 1);
    }
    int32_t X() const { return m_iX; }
    int32_t Y() const { return m_iY; }
    int32_t Width() const { return m_iWidth; }
    int32_t Height() const { return m_iHeight; }

protected:
    CBasicTestControl* m_pOwner;
    int32_t m_iX = 0, m_iY = 0, m_iWidth = 0, m_iHeight = 0;
};

// A bar graded from red at both ends to green in the middle, with the
// tolerance band framed and a pointer at the value, on the signed log scale.
class CDrawRedGreenRedRect : public CBasicDrawItem {
public:
    using CBasicDrawItem::CBasicDrawItem;
    void Draw(QPainter& dc, double dTolerance, double dMaximum, double dValue);
    // Pixel of a value along the bar (y for a vertical bar, x for a horizontal one).
    int32_t PixelOf(double dValue, double dMaximum) const;

    bool m_bVertical = true;
    bool m_bLabelsLeft = true;
    bool m_bInactive = false;
};

class CWidthCenter_Control : public CBasicTestControl {
    Q_OBJECT
public:
    explicit CWidthCenter_Control(QWidget* pParent = nullptr);
    void SetValues(double dTolerance1, double dMaximum1, double dValue1, double dTolerance2, double dMaximum2,
                   double dValue2);
    void SetActive(bool bFirst, bool bSecond) { m_bActive1 = bFirst; m_bActive2 = bSecond; }
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;

private:
    double m_dTolerance1 = 1.0, m_dMaximum1 = 100.0, m_dValue1 = 0.0;
    double m_dTolerance2 = 1.9, m_dMaximum2 = 100.0, m_dValue2 = 0.0;
    bool m_bActive1 = false, m_bActive2 = false;
    std::unique_ptr<CDrawRedGreenRedRect> m_pGauge;
};

// Pass/fail mark drawn in front of a text line.
enum ETextSymbol : int32_t { TEXT_SYMBOL_NONE = 0, TEXT_SYMBOL_CHECK = 1, TEXT_SYMBOL_CROSS = 2 };

class CScrollTextControl : public CBasicTestControl {
    Q_OBJECT
public:
    static constexpr int32_t kMaxLines = 100000;
    static constexpr int32_t kCharHeight = 14;

    struct CTextLine {
        std::string m_szText;
        COLORREF m_Color = 0;
        int32_t m_iSymbol = TEXT_SYMBOL_NONE;
    };

    explicit CScrollTextControl(QWidget* pParent = nullptr);
    void SetScrollBar(QScrollBar* pBar);
    void SetText(const std::string& szText);
    void SetLineStyle(int32_t iLine, COLORREF color, int32_t iSymbol);
    const std::vector<CTextLine>& Lines() const { return m_Lines; }
    int32_t TotalHeight() const { return m_iTotalHeight; }
    int32_t FirstVisible() const { return m_iFirstVisible; }
    void Scroll(int32_t iCode, int32_t iPosition);
    bool Print();

    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    void PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex) override;
    void OnSize(int32_t iType, int32_t cx, int32_t cy) override;

protected:
    void moveEvent(QMoveEvent* e) override;

private:
    void PlaceScrollBar();
    void UpdateScrollBar();

    std::vector<CTextLine> m_Lines;
    QPointer<QScrollBar> m_pScrollBar;
    int32_t m_iFirstVisible = 0;
    int32_t m_iTotalHeight = 0;
    bool m_bScrolling = false;
};
