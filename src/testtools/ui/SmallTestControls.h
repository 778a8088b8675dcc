#pragma once
// Ready-made controls on the test control base: the elapsed-time display and
// the scrolling text list (the scan width/centre gauges are shared widgets).
#include <QPointer>
#include <chrono>
#include <memory>

#include "widgets/ui/BasicTestControl.h"
#include "widgets/ui/WidthCenterControl.h"

class QScrollBar;

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
