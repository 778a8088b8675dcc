#include "widgets/ui/DevicePixels.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

qreal PaintDpr(const QPainter& painter)
{
    const QPaintDevice* pDevice = painter.device();
    return pDevice ? std::max<qreal>(1.0, pDevice->devicePixelRatioF()) : 1.0;
}

QImage DeviceImage(QSize logical, qreal dDpr, QImage::Format eFormat)
{
    const qreal d = std::max<qreal>(1.0, dDpr);
    QImage image(std::max(1, int(std::ceil(logical.width() * d))), std::max(1, int(std::ceil(logical.height() * d))),
                 eFormat);
    image.setDevicePixelRatio(d);
    return image;
}

std::pair<int, int> DeviceSpan(int i, qreal dDpr)
{
    const qreal d = std::max<qreal>(1.0, dDpr);
    const int iFirst = int(std::floor(i * d));
    return {iFirst, std::max(iFirst + 1, int(std::floor((i + 1) * d)))};
}

QPen HairlinePen(const QPainter& painter, const QColor& color, Qt::PenStyle eStyle)
{
    QPen pen(color, std::max<qreal>(1.0, std::round(PaintDpr(painter))), eStyle);
    pen.setCosmetic(true);
    return pen;
}

void FillFrame(QPainter& painter, const QRect& r, const QColor& color)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), color);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), color);
}
