#pragma once
// CLPFControle: the profile graph control of the light profile viewer and of
// the oscilloscope's three views. PaintLPFGraph is its one drawing path: the
// control's paint, printing, export and the command-line renderer all call it.
#include <QPainter>
#include <QWidget>
#include <string>
#include <vector>

#include "widgets/LightProfileGraph.h"

class QPrinter;
class QScrollBar;
class CGraphCursorTool;

// Draws the graph into rPlot (antialiasing off). pReadOut, when given,
// receives the sample index per plot column for the cursor read-out.
void PaintLPFGraph(QPainter& painter, const QRect& rPlot, const CLPFGraph& graph,
                   std::vector<int64_t>* pReadOut = nullptr);
// The graph as an image of the given size.
// dDpr: the device pixel ratio of where the picture goes (a screen at 2 wants 2).
QImage RenderLPFGraph(const CLPFGraph& graph, QSize size, qreal dDpr = 1.0);
// The size of the graph when CLPF_Dialog opens; also the renderer's default.
QSize DefaultLPFGraphSize();
// One page: the identification lines, then the graph. False when the printer
// cannot start (the caller reports it).
bool PrintLPFGraph(QPrinter& printer, const CLPFGraph& graph, const std::vector<std::string>& lines);
// Pen colour of a channel (0 red, 1 green, 2 blue, other gray) and of a tag value.
QColor LPFChannelColor(int32_t iColor);
QColor LPFChannelNameColor(int32_t iColor);
QColor LPFTagColor(uint8_t iTag);

class CLPFControle : public QWidget {
    Q_OBJECT
public:
    explicit CLPFControle(QWidget* parent = nullptr);

    // Overlays (highlight, markers, tags, camera letters, reference) are set
    // on the graph; Refresh then redraws and updates the scroll bar.
    CLPFGraph& Graph() { return m_Graph; }
    void Refresh() { Changed(); }
    const CLPFGraph& Graph() const { return m_Graph; }

    // Data hand-over: the view returns to zoom 1 centred on the middle sample,
    // unless bResetView is false (playback keeps the user's zoom from line to line).
    void SetData(const uint8_t* pSamples, int64_t iCount, int32_t iColor, bool bResetView = true);
    void SetColorData(const uint8_t* pRed, const uint8_t* pGreen, const uint8_t* pBlue, int64_t iCount,
                      bool bResetView = true);
    void SetDisplayMode(int32_t iMode);
    // The scroll bar that follows a zoomed view (optional).
    void SetScrollBar(QScrollBar* pBar);

    void ZoomIn(int32_t iX);
    void ZoomOut();
    void ZoomAll();
    // Keyboard zoom: in around the middle of the view.
    void ZoomInAtCenter() { ZoomIn(width() / 2); }

    // "%d" of the sample under plot column x, empty outside.
    QString ReadOut(int32_t iX) const;
    const std::vector<int64_t>& ReadOutTable() const { return m_ReadOut; }

    // Two cursors with their differences, the level scale and the zoom.
    CGraphCursorTool* CursorTool() const { return m_pCursors; }

    // Printing with the identification lines; shows "Unable to print" on failure.
    bool Print(QPrinter& printer, const std::vector<std::string>& lines);

signals:
    void ReadOutChanged(const QString& szText);
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Changed();
    void UpdateScrollBar();

    CLPFGraph m_Graph;
    std::vector<int64_t> m_ReadOut;
    QScrollBar* m_pScrollBar = nullptr;
    bool m_bUpdatingBar = false;
    CGraphCursorTool* m_pCursors = nullptr;
    // The middle button drags a zoomed graph along.
    bool m_bPanning = false;
    int32_t m_iPanX = 0;
    int64_t m_iPanPosition = 0;
};
