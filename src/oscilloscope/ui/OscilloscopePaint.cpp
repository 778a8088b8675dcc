#include "oscilloscope/ui/OscilloscopePaint.h"

#include <algorithm>

#include "platform/ui/Text.h"
#include "widgets/ui/DevicePixels.h"
#include "widgets/ui/LPFControle.h"

namespace {

void DrawGraph(QPainter& painter, const QRect& r, const CLPFGraph& graph)
{
    if (r.width() <= 2 || r.height() <= 2)
        return;
    // Drawn at screen scale and then placed, so one-pixel lines survive on a
    // printer page; on a HiDPI screen in its device pixels.
    const QSize size(std::min(r.width(), 1600), std::min(r.height(), 800));
    painter.drawImage(r, RenderLPFGraph(graph, size, PaintDpr(painter)));
    FillFrame(painter, r, Qt::black);
}

} // namespace

QSize DefaultOscilloscopePageSize()
{
    return QSize(1000, 760);
}

void PaintOscilloscopePage(QPainter& painter, const QRect& rPage, const CLPFGraph& overview, const CLPFGraph& left,
                           const CLPFGraph& right, const std::vector<std::string>& lines)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rPage, Qt::white);
    QFont font("Courier New");
    font.setPixelSize(std::max(10, rPage.height() / 60));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int iLine = painter.fontMetrics().lineSpacing();
    int y = rPage.top() + iLine;
    for (const std::string& sz : lines) {
        painter.drawText(QPoint(rPage.left(), y), FromCp1252(sz));
        y += iLine;
    }
    y += iLine / 2;
    const int iGap = std::max(4, rPage.width() / 100);
    const int iRest = rPage.bottom() - y;
    const int iOverview = iRest / 2 - iGap;
    DrawGraph(painter, QRect(rPage.left(), y, rPage.width(), iOverview), overview);
    const int yDetail = y + iOverview + iGap;
    const int iHalf = (rPage.width() - iGap) / 2;
    const int iDetail = rPage.bottom() - yDetail;
    DrawGraph(painter, QRect(rPage.left(), yDetail, iHalf, iDetail), left);
    DrawGraph(painter, QRect(rPage.left() + iHalf + iGap, yDetail, iHalf, iDetail), right);
    painter.restore();
}
