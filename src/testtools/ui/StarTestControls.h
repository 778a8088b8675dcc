#pragma once
// The star test chart: a horizontally zoomable multi-curve plot of the rows of
// one sweep, and on top of it the star test's own marks (sweep list, App.Fct.,
// position in centimetres, pass/fail symbol, pick button).
#include <functional>

#include "testtools/StarTestEngine.h"
#include "widgets/ui/BasicTestControl.h"

class CHorizontalZoomDouble_Control : public CSymbolTestControl {
    Q_OBJECT
public:
    static constexpr int32_t kMaxCurves = 15;

    struct CCurve {
        std::string m_szName;
        COLORREF m_Color = 0;
        std::vector<double> m_dValues;
        bool m_bEnabled = true;
        bool m_bWrap = false;
    };

    explicit CHorizontalZoomDouble_Control(QWidget* pParent = nullptr);

    void ClearCurves();
    // Returns the curve's index, or -1 when all 15 are taken.
    int32_t AddCurve(const std::string& szName, const std::vector<double>& values, COLORREF color, bool bWrap = false);
    void SetRowColors(const std::vector<uint32_t>& colors) { m_RowColors = colors; }
    void SetMarkerRows(const std::vector<int32_t>& rows) { m_MarkerRows = rows; }
    void SetRange(double dMinimum, double dMaximum) { m_dMinimum = dMinimum; m_dMaximum = dMaximum; }
    void SetBusy(bool bBusy);
    bool IsBusy() const { return m_bBusy; }
    // Resets the zoom to show all rows.
    void SetRowCount(int32_t iRows);

    const std::vector<CCurve>& Curves() const { return m_Curves; }
    void SetCurveEnabled(int32_t i, bool b);
    const CZoomWindow& Zoom() const { return m_Zoom; }
    CZoomWindow& Zoom() { return m_Zoom; }
    int32_t LegendLineHeight(int32_t iHeight) const { return std::max(1, iHeight / 25); }
    // Row whose index the picked sweep callback passes first.
    void SetPickSweep(int32_t i) { m_iPickSweep = i; }

    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    void OnLButtonDown(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnMouseMove(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnRButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;

    // y of a value in a plot: +-5 fills it.
    static int32_t ValueToY(double dValue, const CPlotRect& plot, bool bWrap);

protected:
    // Keyboard for the same moves as the mouse: + and - zoom about the
    // centre, the arrow keys move by a window, Home shows all rows.
    void keyPressEvent(QKeyEvent* e) override;
    bool InPlot(int32_t x, int32_t y) const;
    // Navigation strip in the top margin: where the whole data lies.
    QRect NavigationStrip(const CPlotRect& plot) const;
    // Texts that must fit the left margin (the legend may run into the plot).
    virtual std::vector<std::string> LeftMarginTexts() const { return {}; }
    // Height of the label font: a twenty-fifth of the control, smaller when
    // the margins cannot hold the labels at that size.
    int32_t SelectLabelFont(QPainter& dc, int32_t W, int32_t H);

    std::vector<CCurve> m_Curves;
    std::vector<uint32_t> m_RowColors;
    std::vector<int32_t> m_MarkerRows;
    double m_dMaximum = 5.0, m_dMinimum = -5.0;
    CZoomWindow m_Zoom;
    bool m_bBusy = false;
    int32_t m_iMouseRow = -1;
    bool m_bDragging = false, m_bDragged = false;
    int32_t m_iDragX = 0, m_iDragCentre = 0;
    int32_t m_iPickSweep = 0;
};

class CA2_StarTest_Control : public CHorizontalZoomDouble_Control {
    Q_OBJECT
public:
    explicit CA2_StarTest_Control(QWidget* pParent = nullptr) : CHorizontalZoomDouble_Control(pParent) {}

    // Takes the displayed record of the data set (not owned) into the chart.
    void SetData(CStarTestEngine* pEngine);
    CStarTestEngine* Engine() const { return m_pEngine; }
    // Called with a record index when a line of the sweep list is clicked.
    void SetSweepSelectCallback(std::function<void(int32_t)> fn) { m_SweepSelect = std::move(fn); }
    // Text line of the sweep list at i: "%d %c%c".
    std::string SweepListText(int32_t i) const;

    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    void PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex) override;
    void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;

protected:
    std::vector<std::string> LeftMarginTexts() const override;

private:
    CStarTestEngine* m_pEngine = nullptr;
    std::function<void(int32_t)> m_SweepSelect;
};
