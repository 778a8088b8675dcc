#include "widgets/ui/PixelInspectorTool.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace {

class CInspectorLayer : public QWidget {
public:
    CInspectorLayer(QWidget* pView, CPixelInspectorTool* pTool, std::function<QRect()> dragRect,
                    const std::function<QString()>* pZoomText)
        : QWidget(pView), m_pTool(pTool), m_DragRect(std::move(dragRect)), m_pZoomText(pZoomText)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(pView->rect());
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect rDrag = m_DragRect();
        if (!rDrag.isNull()) {
            p.setPen(QPen(QColor(255, 200, 0), 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(rDrag.adjusted(0, 0, -1, -1));
        }
        QFont font = p.font();
        font.setPixelSize(11);
        p.setFont(font);
        const QFontMetrics fm(font);
        if (*m_pZoomText) {
            const QString sz = (*m_pZoomText)();
            if (!sz.isEmpty()) {
                const QRect r(width() - fm.horizontalAdvance(sz) - 10, 4, fm.horizontalAdvance(sz) + 6, fm.height() + 2);
                QColor back = palette().color(QPalette::ToolTipBase);
                back.setAlpha(200);
                p.fillRect(r, back);
                p.setPen(palette().color(QPalette::ToolTipText));
                p.drawText(r, Qt::AlignCenter, sz);
            }
        }
        const QStringList lines = m_pTool->ReadOut();
        if (lines.isEmpty())
            return;
        int iWidth = 0;
        for (const QString& sz : lines)
            iWidth = std::max(iWidth, fm.horizontalAdvance(sz));
        const int iLine = fm.lineSpacing();
        QRect box(4, height() - 4 - (iLine * int(lines.size()) + 4), iWidth + 8, iLine * int(lines.size()) + 4);
        // The box keeps out of the mouse's way.
        const QPoint mouse = mapFromGlobal(QCursor::pos());
        if (box.adjusted(0, -8, 8, 0).contains(mouse))
            box.moveRight(width() - 4);
        QColor back = palette().color(QPalette::ToolTipBase);
        back.setAlpha(220);
        p.fillRect(box, back);
        p.setPen(palette().color(QPalette::ToolTipText));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        int y = box.top() + 2 + fm.ascent();
        for (const QString& sz : lines) {
            p.drawText(box.left() + 4, y, sz);
            y += iLine;
        }
    }

private:
    CPixelInspectorTool* m_pTool;
    std::function<QRect()> m_DragRect;
    const std::function<QString()>* m_pZoomText;
};

} // namespace

CPixelInspectorTool::CPixelInspectorTool(QWidget* pView, CPixelInspectorHooks hooks)
    : QObject(pView), m_pView(pView), m_Hooks(std::move(hooks))
{
    m_pLayer = new CInspectorLayer(pView, this, [this]() -> QRect {
        const CPixelSource* pSource = m_Hooks.m_Source ? m_Hooks.m_Source() : nullptr;
        if (!pSource || !m_Hooks.m_ViewRect)
            return {};
        const CPixelRect r = m_bDragging ? DraggedRect(m_DragStart.x(), m_DragStart.y(), m_DragNow.x(), m_DragNow.y(),
                                                       pSource->Width(), pSource->Height())
                                         : m_Stats.m_Rect;
        return r.IsEmpty() ? QRect() : m_Hooks.m_ViewRect(r);
    }, &m_Hooks.m_ZoomText);
    pView->setMouseTracking(true);
    pView->installEventFilter(this);
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

void CPixelInspectorTool::Update()
{
    if (m_pLayer && m_pView) {
        if (m_pLayer->geometry() != m_pView->rect())
            m_pLayer->setGeometry(m_pView->rect());
        m_pLayer->raise();
        m_pLayer->update();
    }
    emit Changed();
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

bool CPixelInspectorTool::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pObject != m_pView)
        return false;
    switch (pEvent->type()) {
    case QEvent::Resize:
        m_pLayer->setGeometry(m_pView->rect());
        break;
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
