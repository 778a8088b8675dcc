#include "widgets/ui/GraphCursorTool.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

const QColor kCursorColor[2] = {QColor(255, 128, 0), QColor(0, 170, 200)};

} // namespace

void CGraphCursorTool::PaintLayer(QPainter& p, QWidget& layer)
{
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    const QRect rPlot = m_Hooks.m_Plot ? m_Hooks.m_Plot() : layer.rect();
    const QPalette& pal = layer.palette();

    if (m_Hooks.m_LevelScale) {
        // Small enough for three digits in a 20-pixel margin.
        QFont scaleFont = font;
        scaleFont.setPixelSize(9);
        p.setFont(scaleFont);
        const QFontMetrics fm(scaleFont);
        for (const auto& [y, szLabel] : m_Hooks.m_LevelScale()) {
            const int iW = fm.horizontalAdvance(szLabel);
            const int yTop = std::clamp(y - fm.ascent() / 2 - 1, 0, std::max(0, layer.height() - fm.ascent() - 2));
            const QRect r(rPlot.left() - iW - 3, yTop, iW + 2, fm.ascent() + 2);
            // Labels that do not fit left of the plot go just inside it.
            const QRect rText = r.left() < 0 ? r.translated(iW + 6, 0) : r;
            QColor back = pal.color(QPalette::Window);
            back.setAlpha(rText == r ? 255 : 170);
            p.fillRect(rText, back);
            p.setPen(pal.color(QPalette::WindowText));
            p.drawText(rText, Qt::AlignRight | Qt::AlignVCenter, szLabel);
        }
    }
    p.setFont(font);

    const CGraphAxis axis = Axis();
    for (int i = 0; i < 2; ++i) {
        if (!m_Cursors.IsSet(i))
            continue;
        const int32_t x = axis.ColumnOf(m_Cursors.Position(i));
        if (x < 0)
            continue;
        p.setPen(QPen(kCursorColor[i], 1, i == m_Cursors.Active() ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(x, rPlot.top(), x, rPlot.bottom());
        p.drawText(x + 3, rPlot.bottom() - 3, i == 0 ? "1" : "2");
    }
    const QFontMetrics fm(font);
    if (m_Hooks.m_ZoomText) {
        const QString sz = m_Hooks.m_ZoomText();
        if (!sz.isEmpty())
            DrawBadge(p,
                      QRect(rPlot.right() - fm.horizontalAdvance(sz) - 8, rPlot.bottom() - fm.height() - 4,
                            fm.horizontalAdvance(sz) + 6, fm.height() + 2),
                      sz, pal);
    }
    const QStringList lines = ReadOut();
    if (lines.isEmpty())
        return;
    QRect box(rPlot.topLeft() + QPoint(4, 4), ReadOutBoxSize(fm, lines));
    // The box steps aside when the mouse is under it.
    const int32_t iMouseX = layer.mapFromGlobal(QCursor::pos()).x();
    if (iMouseX >= box.left() && iMouseX <= box.right() + 8)
        box.moveRight(rPlot.right() - 4);
    DrawReadOutBox(p, box, lines, pal);
}

CGraphCursorTool::CGraphCursorTool(QWidget* pView, CGraphCursorHooks hooks)
    : CViewOverlayTool(pView), m_Hooks(std::move(hooks))
{
    if (pView->focusPolicy() == Qt::NoFocus)
        pView->setFocusPolicy(Qt::ClickFocus);
}

CGraphAxis CGraphCursorTool::Axis() const
{
    return m_Hooks.m_Axis ? m_Hooks.m_Axis() : CGraphAxis{};
}

QStringList CGraphCursorTool::ReadOut() const
{
    QStringList lines;
    const CGraphAxis axis = Axis();
    if (axis.IsValid() && !m_Cursors.IsEmpty()) {
        std::vector<CCursorChannel> channels;
        if (m_Hooks.m_ValuesAt) {
            for (int i = 0; i < 2; ++i) {
                if (!m_Cursors.IsSet(i))
                    continue;
                const std::vector<CCursorChannel> at = m_Hooks.m_ValuesAt(m_Cursors.Position(i));
                if (channels.empty())
                    channels = at;
                for (size_t k = 0; k < std::min(at.size(), channels.size()); ++k)
                    channels[k].m_dValue[size_t(i)] = at[k].m_dValue[0];
            }
        }
        for (const std::string& sz : CursorReadOut(m_Cursors, axis, channels))
            lines << QString::fromUtf8(sz.c_str());
    }
    if (m_Hooks.m_ExtraLines)
        for (const std::string& sz : m_Hooks.m_ExtraLines())
            lines << QString::fromUtf8(sz.c_str());
    if (!m_szHover.isEmpty())
        lines << m_szHover;
    return lines;
}

void CGraphCursorTool::SetHover(int32_t x)
{
    m_iHoverX = x;
    const CGraphAxis axis = Axis();
    const int64_t iPos = axis.PositionAt(x);
    QString sz;
    if (iPos >= 0) {
        const std::vector<CCursorChannel> values = m_Hooks.m_ValuesAt ? m_Hooks.m_ValuesAt(iPos)
                                                                      : std::vector<CCursorChannel>{};
        sz = QString::fromUtf8(HoverReadOut(iPos, axis, values).c_str());
    }
    if (sz != m_szHover) {
        m_szHover = sz;
        Update();
    }
}

void CGraphCursorTool::ViewChanged()
{
    const CGraphAxis axis = Axis();
    m_Cursors.Fit(axis.m_iCount);
    if (m_iHoverX >= 0)
        SetHover(m_iHoverX);
    Update();
}

bool CGraphCursorTool::ViewEvent(QEvent* pEvent)
{
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        if (!(e->modifiers() & Qt::ShiftModifier))
            break;
        const int32_t x = int32_t(e->position().x());
        if (e->button() == Qt::LeftButton) {
            m_iDragging = m_Cursors.Press(x, Axis());
            m_pView->setFocus(Qt::MouseFocusReason);
        } else if (e->button() == Qt::RightButton) {
            m_Cursors.Clear();
        }
        Update();
        return true; // the view's own zoom does not see a cursor press
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        const int32_t x = int32_t(e->position().x());
        if (m_iDragging >= 0 && (e->buttons() & Qt::LeftButton)) {
            m_Cursors.Drag(m_iDragging, x, Axis());
            Update();
        }
        SetHover(x);
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_iDragging >= 0) {
            m_iDragging = -1;
            return true;
        }
        break;
    case QEvent::Leave:
        m_iHoverX = -1;
        if (!m_szHover.isEmpty()) {
            m_szHover.clear();
            Update();
        }
        break;
    case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(pEvent);
        if (!(e->modifiers() & Qt::ShiftModifier))
            break;
        const CGraphAxis axis = Axis();
        // With Ctrl a step is ten columns of the view, at least ten positions.
        const int64_t iBig = std::max<int64_t>(10, int64_t(std::llround(axis.m_dPerColumn * 10)));
        const int64_t iStep = (e->modifiers() & Qt::ControlModifier) ? iBig : 1;
        switch (e->key()) {
        case Qt::Key_Left: m_Cursors.Step(-iStep, axis); break;
        case Qt::Key_Right: m_Cursors.Step(iStep, axis); break;
        case Qt::Key_Up:
        case Qt::Key_Down: m_Cursors.SwitchActive(); break;
        default: return false;
        }
        Update();
        return true;
    }
    default: break;
    }
    return false;
}
