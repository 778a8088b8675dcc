#pragma once
// What the graph cursors and the pixel inspector share: a tool that watches a
// view widget and paints on a transparent layer above it, kept to the view's
// size and on top, so the view's own drawing, printing and rendering never
// see it; and the read-out box and zoom badge both write on that layer.
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

class QFontMetrics;
class QPainter;
class QPalette;
class QWidget;

class CViewOverlayTool : public QObject {
    Q_OBJECT
public:
    QWidget* Layer() const { return m_pLayer; }

signals:
    void Changed();

protected:
    // Creates the layer over pView and watches pView's events.
    explicit CViewOverlayTool(QWidget* pView);
    // Draws the layer (its painter, the layer widget).
    virtual void PaintLayer(QPainter& p, QWidget& layer) = 0;
    // The view's events, after the layer has followed a resize; true eats the event.
    virtual bool ViewEvent(QEvent* pEvent) = 0;
    // Layer to the view's size, on top, redrawn; Changed emitted.
    void Update();

    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

    QPointer<QWidget> m_pView;
    QWidget* m_pLayer = nullptr;

private:
    friend class COverlayLayer;
};

// The size of a read-out box for the lines in font fm.
QSize ReadOutBoxSize(const QFontMetrics& fm, const QStringList& lines);
// A half-transparent box in the palette's tooltip colours with one line of text each.
void DrawReadOutBox(QPainter& p, const QRect& box, const QStringList& lines, const QPalette& pal);
// A small label in a corner ("Zoom x4").
void DrawBadge(QPainter& p, const QRect& r, const QString& szText, const QPalette& pal);
