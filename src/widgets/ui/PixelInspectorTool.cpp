#include "widgets/ui/PixelInspectorTool.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

CPixelInspectorTool::CPixelInspectorTool(QWidget* pView, CPixelInspectorHooks hooks)
    : CViewOverlayTool(pView), m_Hooks(std::move(hooks))
{
}

QRect CPixelInspectorTool::DragRect() const
{
    const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
    if (!pSource || !m_Hooks.m_ViewRect)
        return {};
    const CPixelRect r = m_bDragging ? DraggedRect(m_DragStart.x(), m_DragStart.y(), m_DragNow.x(), m_DragNow.y(),
                                                   pSource->Width(), pSource->Height())
                                     : m_Stats.m_Rect;
    return r.IsEmpty() ? QRect() : m_Hooks.m_ViewRect(r);
}

void CPixelInspectorTool::PaintLayer(QPainter& p, QWidget& layer)
{
    const QRect rDrag = DragRect();
    if (!rDrag.isNull()) {
        p.setPen(QPen(QColor(255, 200, 0), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rDrag.adjusted(0, 0, -1, -1));
    }
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    const QFontMetrics fm(font);
    if (m_Hooks.m_ZoomText) {
        const QString sz = m_Hooks.m_ZoomText();
        if (!sz.isEmpty())
            DrawBadge(p, QRect(layer.width() - fm.horizontalAdvance(sz) - 10, 4, fm.horizontalAdvance(sz) + 6, fm.height() + 2),
                      sz, layer.palette());
    }
    const QStringList lines = ReadOut();
    if (lines.isEmpty())
        return;
    const QSize size = ReadOutBoxSize(fm, lines);
    QRect box(QPoint(4, layer.height() - 4 - size.height()), size);
    // The box keeps out of the mouse's way.
    const QPoint mouse = layer.mapFromGlobal(QCursor::pos());
    if (box.adjusted(0, -8, 8, 0).contains(mouse))
        box.moveRight(layer.width() - 4);
    DrawReadOutBox(p, box, lines, layer.palette());
}

void CPixelInspectorTool::SetSelection(const CPixelRect& rect)
{
    const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
    m_Stats = pSource && !rect.IsEmpty() ? ComputeAreaStats(*pSource, rect) : CAreaStats{};
    Update();
}

QStringList CPixelInspectorTool::ReadOut() const
{
    QStringList lines;
    if (!m_szHover.isEmpty())
        lines << m_szHover;
    const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
    if (pSource)
        for (const std::string& sz : AreaStatsLines(m_Stats, pSource->Channels(), pSource->Resolution()))
            lines << QString::fromStdString(sz);
    return lines;
}

void CPixelInspectorTool::ViewChanged()
{
    if (!m_Stats.m_Rect.IsEmpty())
        SetSelection(m_Stats.m_Rect);
    if (m_Hover.x() >= 0)
        SetHover(m_Hover);
    Update();
}

void CPixelInspectorTool::SetHover(QPoint pt)
{
    m_Hover = pt;
    const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
    QString sz;
    if (pSource && m_Hooks.m_PictureAt && pt.x() >= 0) {
        const QPoint px = m_Hooks.m_PictureAt(pt);
        sz = QString::fromStdString(PixelReadOut(*pSource, px.x(), px.y()));
    }
    if (sz != m_szHover) {
        m_szHover = sz;
        Update();
    }
}

bool CPixelInspectorTool::ViewEvent(QEvent* pEvent)
{
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        if (!(e->modifiers() & Qt::ShiftModifier) || !m_Hooks.m_PictureAt)
            break;
        if (e->button() == Qt::LeftButton) {
            m_bDragging = true;
            m_DragStart = m_DragNow = m_Hooks.m_PictureAt(e->position().toPoint());
        } else if (e->button() == Qt::RightButton) {
            ClearSelection();
        }
        Update();
        return true; // the view's zoom and pan do not see an inspector press
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        if (m_bDragging) {
            m_DragNow = m_Hooks.m_PictureAt(e->position().toPoint());
            Update();
        }
        SetHover(e->position().toPoint());
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_bDragging) {
            auto* e = static_cast<QMouseEvent*>(pEvent);
            m_bDragging = false;
            m_DragNow = m_Hooks.m_PictureAt(e->position().toPoint());
            const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
            if (pSource)
                SetSelection(DraggedRect(m_DragStart.x(), m_DragStart.y(), m_DragNow.x(), m_DragNow.y(),
                                         pSource->Width(), pSource->Height()));
            return true;
        }
        break;
    case QEvent::Leave:
        m_Hover = QPoint(-1, -1);
        if (!m_szHover.isEmpty()) {
            m_szHover.clear();
            Update();
        }
        break;
    default: break;
    }
    return false;
}
