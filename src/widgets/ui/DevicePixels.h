#pragma once
// Drawing at the screen's device pixel ratio. A view that paints into an
// off-screen image and copies it to the screen must size that image in device
// pixels and tell it the ratio, or a screen at ratio 2 shows every pixel
// doubled: blocky text, lines twice as coarse as the rest of the desktop.
// Printers and plain images have ratio 1, so printing and rendering at a
// chosen size keep their pixel rules.
#include <QImage>
#include <QPen>
#include <QRect>
#include <utility>

class QPainter;

// Device pixels per logical pixel of what the painter draws on.
qreal PaintDpr(const QPainter& painter);
// An off-screen image of the logical size, backed by device pixels at dDpr.
QImage DeviceImage(QSize logical, qreal dDpr, QImage::Format eFormat = QImage::Format_RGB32);
// The device rows (or columns) that logical row i covers at dDpr: [first, end).
std::pair<int, int> DeviceSpan(int i, qreal dDpr);
// The thinnest line of a view: one logical pixel wide on screen, one device
// pixel on a printer (a cosmetic pen of width 0 would be half a logical pixel
// at ratio 2).
QPen HairlinePen(const QPainter& painter, const QColor& color, Qt::PenStyle eStyle = Qt::SolidLine);
// A one-logical-pixel frame just inside r, filled rather than stroked: a
// stroked rectangle at ratio 2 straddles the pixel edges and loses half its
// left and top sides.
void FillFrame(QPainter& painter, const QRect& r, const QColor& color);
