#include "widgets/ui/ViewOverlay.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

class COverlayLayer : public QWidget {
public:
    COverlayLayer(QWidget* pView, CViewOverlayTool* pTool) : QWidget(pView), m_pTool(pTool)
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
        m_pTool->PaintLayer(p, *this);
    }

private:
    CViewOverlayTool* m_pTool;
};

CViewOverlayTool::CViewOverlayTool(QWidget* pView) : QObject(pView), m_pView(pView)
{
    m_pLayer = new COverlayLayer(pView, this);
    pView->setMouseTracking(true);
    pView->installEventFilter(this);
}

void CViewOverlayTool::Update()
{
    if (m_pLayer && m_pView) {
        if (m_pLayer->geometry() != m_pView->rect())
            m_pLayer->setGeometry(m_pView->rect());
        m_pLayer->raise();
        m_pLayer->update();
    }
    emit Changed();
}

bool CViewOverlayTool::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pObject != m_pView)
        return false;
    if (pEvent->type() == QEvent::Resize)
        m_pLayer->setGeometry(m_pView->rect());
    return ViewEvent(pEvent);
}

QSize ReadOutBoxSize(const QFontMetrics& fm, const QStringList& lines)
{
    int iWidth = 0;
    for (const QString& sz : lines)
        iWidth = std::max(iWidth, fm.horizontalAdvance(sz));
    return QSize(iWidth + 8, fm.lineSpacing() * int(lines.size()) + 4);
}

void DrawReadOutBox(QPainter& p, const QRect& box, const QStringList& lines, const QPalette& pal)
{
    const QFontMetrics fm(p.font());
    QColor back = pal.color(QPalette::ToolTipBase);
    back.setAlpha(220);
    p.fillRect(box, back);
    p.setPen(pal.color(QPalette::ToolTipText));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    int y = box.top() + 2 + fm.ascent();
    for (const QString& sz : lines) {
        p.drawText(box.left() + 4, y, sz);
        y += fm.lineSpacing();
    }
}

void DrawBadge(QPainter& p, const QRect& r, const QString& szText, const QPalette& pal)
{
    QColor back = pal.color(QPalette::ToolTipBase);
    back.setAlpha(200);
    p.fillRect(r, back);
    p.setPen(pal.color(QPalette::ToolTipText));
    p.drawText(r, Qt::AlignCenter, szText);
}
