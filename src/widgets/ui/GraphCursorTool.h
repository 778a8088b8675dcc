#pragma once
// The two cursors of every graph view, in one place: the tool watches a view
// widget's mouse and keys (Shift + left button places and drags a cursor,
// Shift + right button removes both, Shift + arrow keys step the active one,
// Shift + Up or Down switches which is active) and draws the cursor lines and
// the read-out box on a transparent layer above the view. The view's own
// drawing, printing and rendering never see a cursor, and the view's zoom and
// data stay as they are: the view only answers where its data lies.
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "widgets/GraphCursors.h"
#include "widgets/ui/ViewOverlay.h"

class QWidget;

struct CGraphCursorHooks {
    // Where the data lies across the view now (invalid: no cursors, no read-out).
    std::function<CGraphAxis()> m_Axis;
    // Channel values at one position; CCursorChannel::m_dValue[0] is read.
    std::function<std::vector<CCursorChannel>(int64_t)> m_ValuesAt;
    // The rectangle cursor lines span (default: the whole view).
    std::function<QRect()> m_Plot;
    // More read-out lines of the view (a measuring line, say).
    std::function<std::vector<std::string>()> m_ExtraLines;
    // Level labels beside the plot: y and text (a level scale).
    std::function<std::vector<std::pair<int, QString>>()> m_LevelScale;
    // The view's zoom, written in a corner ("Zoom x4"); empty shows nothing.
    std::function<QString()> m_ZoomText;
};

class CGraphCursorTool : public CViewOverlayTool {
    Q_OBJECT
public:
    CGraphCursorTool(QWidget* pView, CGraphCursorHooks hooks);

    CGraphCursors& Cursors() { return m_Cursors; }
    const CGraphCursors& Cursors() const { return m_Cursors; }
    // The box's lines: cursor read-out, extra lines, then what is under the mouse.
    QStringList ReadOut() const;
    QString HoverText() const { return m_szHover; }
    // The view changed (new data, zoom, scroll): drop cursors beyond the data, redraw.
    void ViewChanged();

protected:
    void PaintLayer(QPainter& p, QWidget& layer) override;
    bool ViewEvent(QEvent* pEvent) override;

private:
    void SetHover(int32_t x);
    CGraphAxis Axis() const;

    CGraphCursorHooks m_Hooks;
    CGraphCursors m_Cursors;
    int m_iDragging = -1;
    int32_t m_iHoverX = -1;
    QString m_szHover;
};
