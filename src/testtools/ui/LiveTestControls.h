#pragma once
// The displays of the two live tests. Each paints the engine's numbers in one
// DrawContent, which the dialog's screen, its printing and `lumora-cli render`
// all use. A left click in the plot zooms in around the position under the
// mouse, a right click zooms out; the position under the mouse is read out in
// the top left corner.
#include "testtools/CenterCCDEngine.h"
#include "widgets/ui/BasicTestControl.h"

class QKeyEvent;

struct CAdjustCenterCCDFlags {
    bool m_bRed = true, m_bGreen = true, m_bBlue = true;
    bool m_bFront = true, m_bRear = true, m_bSection = true;
};

// Two screen pixels for every pixel of offset: the scale's ticks stand 20
// pixels apart and count in tens.
inline constexpr int32_t kLiveScalePixels = 2;

class CLiveTestControlBase : public CSymbolTestControl {
    Q_OBJECT
public:
    explicit CLiveTestControlBase(QWidget* pParent = nullptr);
    void SetBusy(bool b);
    bool IsBusy() const { return m_bBusy; }
    CZoomWindow& Zoom() { return m_Zoom; }
    int32_t CursorIndex() const { return m_iCursor; }

    void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnRButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnMouseMove(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnMouseLeave(uint32_t iButtons, int32_t x, int32_t y) override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    // The frame, the scales on both sides and "Please Wait"; false while busy.
    void DrawFrameAndScales(QPainter& dc, const CPlotRect& plot, int32_t H);
    // The zoom window spans iCount positions (kept when the count stays).
    void SetPositions(int32_t iCount);
    bool InPlot(int32_t x, int32_t y) const;
    // Text with its centre at x.
    void TextCentred(QPainter& dc, int32_t x, int32_t y, const std::string& sz);

    bool m_bBusy = false;
    CZoomWindow m_Zoom;
    int32_t m_iCursor = -1; // position under the mouse, -1 none
};

// "Scan-Line Positioning": the stripes' profiles, the edges found, the two
// offsets on the scales and the pass/fail mark.
class CAdjustCenterCCD_Control : public CLiveTestControlBase {
    Q_OBJECT
public:
    explicit CAdjustCenterCCD_Control(QWidget* pParent = nullptr);
    void SetData(const CCenterCCDEngine* pEngine, const CAdjustCenterCCDFlags* pFlags);
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;

private:
    const CCenterCCDEngine* m_pEngine = nullptr;
    const CAdjustCenterCCDFlags* m_pFlags = nullptr;
};

struct CVerticalCameraFlags {
    bool m_bRed = false, m_bGreen = false, m_bBlue = true;
    bool m_bFront = true, m_bRear = true, m_bSection = false;
    bool m_bLineFront = false, m_bLineRear = false;
    bool m_bAnalyse = false, m_bCutting = true;
};

// "Mirror Carriage Adjustment": the line positions over the travel with their
// fitted lines, the path differences and which way to turn each camera.
class CVerticalCameraVerification_Control : public CLiveTestControlBase {
    Q_OBJECT
public:
    explicit CVerticalCameraVerification_Control(QWidget* pParent = nullptr);
    // The engine's rows may have changed: the zoom window follows them.
    void SetData(const CCenterCCDEngine* pEngine, const CVerticalCameraFlags* pFlags);
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    // A circular arrow of radius iRadius round (x, y), its head turning the given way.
    static void DrawCircularArrow(QPainter& dc, int32_t x, int32_t y, int32_t iRadius, bool bClockwise);

private:
    void DrawTurn(QPainter& dc, int32_t x, int32_t y, const char* szLabel, double dPixels);
    void DrawCutting(QPainter& dc, const CPlotRect& band, int32_t iCamera, int32_t iRow, const char* szLabel);

    const CCenterCCDEngine* m_pEngine = nullptr;
    const CVerticalCameraFlags* m_pFlags = nullptr;
};
