#pragma once
// The pixel inspector of every picture view: the tool watches a view widget's
// mouse (Shift + left drag marks a rectangle, Shift + right click clears it;
// a view with a selection of its own hands it over with SetSelection) and
// draws, on a transparent layer above the view, the marked rectangle and a box
// with the pixel under the mouse and the rectangle's statistics. The view's
// drawing, printing and rendering stay as they are.
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <functional>

#include "widgets/PixelInspection.h"
#include "widgets/ui/ViewOverlay.h"

class QWidget;

struct CPixelInspectorHooks {
    // The picture on view (null: nothing to inspect).
    std::function<const CPixelSource*()> m_Source;
    // Picture pixel under a view position (may lie outside the picture).
    std::function<QPoint(QPoint)> m_PictureAt;
    // Where a picture rectangle lies on the view.
    std::function<QRect(const CPixelRect&)> m_ViewRect;
    // The view's zoom, written in a corner ("Zoom x4"); empty shows nothing.
    std::function<QString()> m_ZoomText;
};

class CPixelInspectorTool : public CViewOverlayTool {
    Q_OBJECT
public:
    CPixelInspectorTool(QWidget* pView, CPixelInspectorHooks hooks);

    void SetSelection(const CPixelRect& rect);
    void ClearSelection() { SetSelection(CPixelRect{}); }
    const CPixelRect& Selection() const { return m_Stats.m_Rect; }
    const CAreaStats& Stats() const { return m_Stats; }
    // The box's lines: the pixel under the mouse, then the rectangle's statistics.
    QStringList ReadOut() const;
    // A new picture or view: statistics again, layer redrawn.
    void ViewChanged();

protected:
    void PaintLayer(QPainter& p, QWidget& layer) override;
    bool ViewEvent(QEvent* pEvent) override;

private:
    void SetHover(QPoint pt);
    // Where the rectangle being dragged, else the selection, lies on the view.
    QRect DragRect() const;

    CPixelInspectorHooks m_Hooks;
    CAreaStats m_Stats;
    bool m_bDragging = false;
    QPoint m_DragStart, m_DragNow;   // picture pixels
    QString m_szHover;
    QPoint m_Hover{-1, -1};
};
