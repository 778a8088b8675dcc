#include "widgets/ui/LPFControle.h"

#include <QMouseEvent>
#include <QPrinter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "widgets/ui/DevicePixels.h"
#include "widgets/ui/GraphCursorTool.h"

namespace {

const QColor kGridColor(150, 150, 150);
const QColor kLetterColor(245, 245, 240);
const QColor kReferenceColor(0, 0, 160);

// Segments end one pixel short of their end point, so a column drawn from
// the top to a level and on from there never paints a pixel twice.
void VLine(QPainter& p, int x, int y0, int y1)
{
    if (y1 > y0)
        p.drawLine(x, y0, x, y1 - 1);
}

void HLine(QPainter& p, int x0, int x1, int y)
{
    if (x1 > x0)
        p.drawLine(x0, y, x1 - 1, y);
}

} // namespace

QColor LPFChannelColor(int32_t iColor)
{
    switch (iColor) {
    case 0: return QColor(255, 0, 0);
    case 1: return QColor(100, 255, 100);
    case 2: return QColor(100, 100, 255);
    default: return QColor(100, 100, 100);
    }
}

QColor LPFChannelNameColor(int32_t iColor)
{
    switch (iColor) {
    case 0: return QColor(255, 0, 0);
    case 1: return QColor(0, 255, 0);
    case 2: return QColor(0, 0, 255);
    default: return QColor(80, 80, 80);
    }
}

QColor LPFTagColor(uint8_t iTag)
{
    switch (iTag) {
    case 1: return QColor(255, 0, 0);
    case 3: return QColor(100, 100, 255);
    case 4: return QColor(255, 100, 255);
    case 5: return QColor(100, 255, 255);
    case 6: return QColor(255, 255, 100);
    default: return QColor(100, 255, 100);
    }
}

void PaintLPFGraph(QPainter& painter, const QRect& rPlot, const CLPFGraph& graph, std::vector<int64_t>* pReadOut)
{
    const int W = rPlot.width();
    const int H = rPlot.height();
    if (W <= 0 || H <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.translate(rPlot.topLeft());
    painter.setClipRect(QRect(0, 0, W, H));
    painter.fillRect(QRect(0, 0, W, H), Qt::white);
    if (pReadOut)
        *pReadOut = graph.ReadOutTable(W);
    if (!graph.HasData()) {
        painter.restore();
        return;
    }

    const int32_t iMode = graph.DisplayMode();
    const bool bSpread = iMode == LPF_MODE_SIGNED32 || iMode == LPF_MODE_TX64;
    const bool bFilled = iMode == LPF_MODE_FILLED || bSpread;
    const std::vector<CLPFColumn> cols = graph.Columns(W);
    auto yOf = [H](int v) { return CLPFGraph::LevelY(v, H); };

    // Pale camera letters behind everything else.
    if (graph.CameraLetters() && !bSpread) {
        QFont font("Verdana");
        font.setPixelSize(std::max(1, H - 2));
        font.setWeight(QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(kLetterColor);
        for (int i = 0; i < CLPFGraph::kCameraPositions; ++i) {
            const int x = graph.CameraColumn(i, W);
            if (x >= 0)
                painter.drawText(QRect(x - H, 0, 2 * H, H), Qt::AlignHCenter | Qt::AlignTop,
                                 QString(QChar('A' + i)));
        }
    }

    auto drawGrid = [&]() {
        painter.setPen(HairlinePen(painter, kGridColor));
        for (int32_t y : graph.GridLines(H))
            HLine(painter, 1, W - 1, y);
    };
    if (!bFilled)
        drawGrid();

    // The curve.
    const int iChannels = graph.ChannelCount();
    bool bNameWritten = false;
    for (int x = 0; x < W; ++x) {
        const CLPFColumn& col = cols[static_cast<size_t>(x)];
        if (col.IsEmpty())
            continue;
        const bool bInside = graph.InHighlight(col);
        if (bFilled) {
            int yTop = H;
            uint8_t mins[3] = {}, maxs[3] = {};
            for (int c = 0; c < iChannels; ++c) {
                graph.ColumnMinMax(col, c, mins[c], maxs[c]);
                yTop = std::min(yTop, yOf(maxs[c]));
            }
            painter.setPen(Qt::black);
            VLine(painter, x, 0, yTop);
            for (int c = 0; c < iChannels; ++c) {
                const QColor pen = iMode == LPF_MODE_FILLED && !graph.IsSeparate() ? QColor(100, 100, 100)
                                                                                   : LPFChannelColor(graph.ChannelColor(c));
                painter.setPen(bInside ? pen : QColor(Qt::black));
                VLine(painter, x, yOf(maxs[c]), yOf(mins[c]));
            }
        } else {
            for (int c = 0; c < iChannels; ++c) {
                uint8_t iMin, iMax;
                graph.ColumnMinMax(col, c, iMin, iMax);
                painter.setPen(bInside ? LPFChannelColor(graph.ChannelColor(c)) : QColor(Qt::black));
                // Level 0 lies on the bottom edge, just outside the plot; a
                // dead pixel must still show, so it keeps the last row.
                VLine(painter, x, std::min(yOf(iMax), H - 1), yOf(iMin) + 1);
            }
        }
        if (graph.HasHighlight() && bInside && !bNameWritten) {
            // The channel's name marks where the highlighted range begins.
            bNameWritten = true;
            QFont font("MS Sans Serif");
            font.setPixelSize(13);
            painter.setFont(font);
            const int32_t iColor = graph.HighlightColor();
            painter.setPen(LPFChannelNameColor(iColor));
            painter.drawText(QPoint(W * 7 / 8, painter.fontMetrics().ascent()), CLPFGraph::ChannelName(iColor));
        }
    }

    // Reference levels: a thin joined line over the profile; in the spread
    // views, whose curve is a filled area, single pixels that do not cover it.
    if (!graph.Reference().empty()) {
        painter.setPen(kReferenceColor);
        const auto& ref = graph.Reference();
        int yPrev = -1;
        for (int x = 0; x < W; ++x) {
            const CLPFColumn& col = cols[static_cast<size_t>(x)];
            if (col.IsEmpty() || col.m_iFirst >= static_cast<int64_t>(ref.size())) {
                yPrev = -1;
                continue;
            }
            const int y = std::min(H - 1, yOf(ref[static_cast<size_t>(col.m_iFirst)]));
            if (bSpread || yPrev < 0)
                painter.drawPoint(x, y);
            else
                VLine(painter, x, std::min(yPrev, y), std::max(yPrev, y) + 1);
            yPrev = y;
        }
    }
    for (int x = 0; x < W; ++x) {
        const CLPFColumn& col = cols[static_cast<size_t>(x)];
        if (const uint8_t iTag = graph.ColumnTag(col)) {
            painter.setPen(LPFTagColor(iTag));
            VLine(painter, x, 0, H);
        }
        const uint32_t iBits = graph.ColumnMarkers(col);
        if (!iBits)
            continue;
        painter.setPen(QColor(255, 0, 0));
        if (iBits & 3u)
            VLine(painter, x, 0, H);
        else
            for (int y = 0; y < H; y += 10)
                VLine(painter, x, y, std::min(H, y + 5));
    }

    if (bSpread) {
        if (graph.CameraLetters()) {
            painter.setPen(QColor(255, 0, 0));
            for (int i = 0; i < CLPFGraph::kCameraPositions; ++i) {
                const int x = graph.CameraColumn(i, W);
                if (x >= 0)
                    VLine(painter, x, yOf(127), H);
            }
        }
        drawGrid();
    }
    painter.restore();
}

QSize DefaultLPFGraphSize()
{
    return QSize(880, 400);
}

QImage RenderLPFGraph(const CLPFGraph& graph, QSize size, qreal dDpr)
{
    QImage image = DeviceImage(size, dDpr);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintLPFGraph(painter, QRect(QPoint(0, 0), size), graph);
    return image;
}

bool PrintLPFGraph(QPrinter& printer, const CLPFGraph& graph, const std::vector<std::string>& lines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect page = painter.viewport();
    QFont font("Courier New");
    font.setPointSize(10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int iLine = painter.fontMetrics().lineSpacing();
    int y = iLine;
    for (const std::string& sz : lines) {
        painter.drawText(QPoint(0, y), FromCp1252(sz));
        y += iLine;
    }
    // The graph keeps its pixel rules when drawn at screen size and scaled
    // onto the page; drawn at printer resolution its 1-pixel lines would vanish.
    const QRect target(0, y + iLine, page.width(), std::max(1, std::min(page.height() - y - iLine, page.width() / 2)));
    const QImage image = RenderLPFGraph(graph, QSize(1600, 800));
    painter.drawImage(target, image);
    painter.setPen(Qt::black);
    painter.drawRect(target.adjusted(0, 0, -1, -1));
    return painter.end();
}

// ---------------------------------------------------------------------------
// CLPFControle

CLPFControle::CLPFControle(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 100);
    CGraphCursorHooks hooks;
    hooks.m_Axis = [this] {
        CGraphAxis a;
        a.m_iWidth = width();
        a.m_iCount = m_Graph.Count();
        a.m_dFirst = m_Graph.FirstVisible();
        a.m_dPerColumn = m_Graph.SamplesPerColumn(width());
        return a;
    };
    hooks.m_ValuesAt = [this](int64_t iPos) {
        std::vector<CCursorChannel> out;
        for (int c = 0; c < m_Graph.ChannelCount(); ++c) {
            const std::vector<uint8_t>& v = m_Graph.Samples(c);
            if (iPos < 0 || iPos >= static_cast<int64_t>(v.size()))
                continue;
            std::string szName = CLPFGraph::ChannelName(m_Graph.ChannelColor(c));
            while (!szName.empty() && szName.back() == ' ')
                szName.pop_back();
            out.push_back({szName, {double(v[static_cast<size_t>(iPos)]), 0.0}});
        }
        return out;
    };
    hooks.m_LevelScale = [this] {
        // Levels where the grid of the plain views lies; the spread views
        // ([-32:31], TX) count other units and get no scale.
        std::vector<std::pair<int, QString>> out;
        const int32_t iMode = m_Graph.DisplayMode();
        if (!m_Graph.HasData() || iMode == LPF_MODE_SIGNED32 || iMode == LPF_MODE_TX64)
            return out;
        for (int v = 0; v <= 250; v += 50)
            out.push_back({CLPFGraph::LevelY(v, height()), QString::number(v)});
        return out;
    };
    hooks.m_ZoomText = [this] {
        return m_Graph.HasData() && m_Graph.Zoom() > 1 ? QString("Zoom \u00D7%1").arg(m_Graph.Zoom()) : QString();
    };
    m_pCursors = new CGraphCursorTool(this, std::move(hooks));
}

void CLPFControle::SetData(const uint8_t* pSamples, int64_t iCount, int32_t iColor, bool bResetView)
{
    m_Graph.SetData(pSamples, iCount, iColor);
    if (bResetView)
        m_Graph.ZoomAll();
    Changed();
}

void CLPFControle::SetColorData(const uint8_t* pRed, const uint8_t* pGreen, const uint8_t* pBlue, int64_t iCount,
                                bool bResetView)
{
    m_Graph.SetColorData(pRed, pGreen, pBlue, iCount);
    if (bResetView)
        m_Graph.ZoomAll();
    Changed();
}

void CLPFControle::SetDisplayMode(int32_t iMode)
{
    m_Graph.SetDisplayMode(iMode);
    Changed();
}

void CLPFControle::SetScrollBar(QScrollBar* pBar)
{
    m_pScrollBar = pBar;
    if (!pBar)
        return;
    connect(pBar, &QScrollBar::valueChanged, this, [this](int iValue) {
        if (m_bUpdatingBar)
            return;
        m_Graph.SetScrollPosition(iValue);
        update();
        m_pCursors->ViewChanged();
        emit ViewChanged();
    });
    UpdateScrollBar();
}

void CLPFControle::UpdateScrollBar()
{
    if (!m_pScrollBar)
        return;
    m_bUpdatingBar = true;
    const int64_t iMax = m_Graph.ScrollMaximum();
    m_pScrollBar->setRange(0, static_cast<int>(std::min<int64_t>(iMax, INT32_MAX)));
    m_pScrollBar->setPageStep(static_cast<int>(std::min<int64_t>(m_Graph.ScrollPage(), INT32_MAX)));
    m_pScrollBar->setSingleStep(static_cast<int>(std::max<int64_t>(1, m_Graph.ScrollPage() / 100)));
    m_pScrollBar->setValue(static_cast<int>(std::min<int64_t>(m_Graph.ScrollPosition(), INT32_MAX)));
    m_pScrollBar->setEnabled(iMax > 0);
    m_bUpdatingBar = false;
}

void CLPFControle::Changed()
{
    UpdateScrollBar();
    update();
    m_pCursors->ViewChanged();
    emit ViewChanged();
}

void CLPFControle::ZoomIn(int32_t iX)
{
    m_Graph.ZoomIn(iX, width());
    Changed();
}

void CLPFControle::ZoomOut()
{
    m_Graph.ZoomOut();
    Changed();
}

void CLPFControle::ZoomAll()
{
    m_Graph.ZoomAll();
    Changed();
}

QString CLPFControle::ReadOut(int32_t iX) const
{
    return QString::fromStdString(CLPFGraph::ReadOutText(m_ReadOut, iX));
}

bool CLPFControle::Print(QPrinter& printer, const std::vector<std::string>& lines)
{
    if (PrintLPFGraph(printer, m_Graph, lines))
        return true;
    ShowMessage("Unable to print", "Printer Section");
    return false;
}

void CLPFControle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintLPFGraph(painter, rect(), m_Graph, &m_ReadOut);
}

void CLPFControle::mousePressEvent(QMouseEvent* event)
{
    if (!m_Graph.HasData())
        return;
    if (event->button() == Qt::MiddleButton) {
        m_bPanning = true;
        m_iPanX = static_cast<int32_t>(event->position().x());
        m_iPanPosition = m_Graph.ScrollPosition();
        return;
    }
    if (event->button() == Qt::LeftButton)
        ZoomIn(static_cast<int32_t>(event->position().x()));
    else if (event->button() == Qt::RightButton)
        ZoomOut();
}

void CLPFControle::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CLPFControle::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
        m_bPanning = false;
}

void CLPFControle::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (m_bPanning) {
        const double dShift = (pt.x() - m_iPanX) * m_Graph.SamplesPerColumn(width());
        m_Graph.SetScrollPosition(m_iPanPosition - static_cast<int64_t>(std::llround(dShift)));
        Changed();
    }
    emit ReadOutChanged(rect().contains(pt) ? ReadOut(pt.x()) : QString());
}

void CLPFControle::leaveEvent(QEvent*)
{
    emit ReadOutChanged(QString());
}
