#include "viewers/ui/LPFViewDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "viewers/ui/LPFLoading.h"
#include "viewers/ui/StitchNoisePrinting.h"
#include "widgets/ui/DevicePixels.h"
#include "widgets/ui/GraphCursorTool.h"

namespace {

const QColor kFaceColor(240, 240, 240);
const QColor kStripColor(192, 192, 192);
const QColor kSpreadColor(100, 100, 100);

void VLine(QPainter& p, int x, int y0, int y1)
{
    if (y1 > y0)
        p.drawLine(x, y0, x, y1 - 1);
}

QCursor MakePeakCursor()
{
    // A thin cross with a peak mark: precise enough to set a line on a slope.
    // At the screen's pixel ratio, or a HiDPI screen shows it doubled and coarse.
    const qreal dDpr = std::max<qreal>(1.0, qApp ? qApp->devicePixelRatio() : 1.0);
    QPixmap pix(QSize(32, 32) * dDpr);
    pix.setDevicePixelRatio(dDpr);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setPen(Qt::black);
    p.drawLine(16, 0, 16, 31);
    p.drawLine(0, 16, 31, 16);
    p.drawLine(10, 8, 16, 2);
    p.drawLine(16, 2, 22, 8);
    p.end();
    return QCursor(pix, 16, 16);
}

} // namespace

QSize DefaultLPFViewSize()
{
    return QSize(800, 500);
}

void PaintLPFView(QPainter& painter, QSize size, const CLPFView& view, const QPalette* pPalette)
{
    const int W = size.width();
    const int H = size.height();
    const bool bDark = pPalette && pPalette->color(QPalette::Window).lightness() < 128;
    const QColor face = bDark ? pPalette->color(QPalette::Window) : kFaceColor;
    const QColor strip = bDark ? pPalette->color(QPalette::Button) : kStripColor;
    const QColor text = bDark ? pPalette->color(QPalette::ButtonText) : QColor(Qt::black);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.fillRect(QRect(0, 0, W, H), face);
    painter.fillRect(QRect(0, CLPFView::kStripTop, W, CLPFView::kStripBottom - CLPFView::kStripTop), strip);
    painter.fillRect(QRect(W - 20, CLPFView::kStripTop, 20, H - CLPFView::kStripTop), strip);

    const int w = CLPFView::GraphWidth(W);
    const int h = CLPFView::GraphHeight(H);
    if (w > 0 && h > 0) {
        // Drawn off-screen and copied in, as the dialog always has, in the
        // device pixels of what it is copied to.
        const qreal dDpr = PaintDpr(painter);
        QImage graph = DeviceImage(QSize(w, h), dDpr);
        graph.fill(Qt::white);
        QPainter g(&graph);
        g.setRenderHint(QPainter::Antialiasing, false);
        for (const CLPFViewColumn& col : view.Columns(W, H)) {
            g.setPen(Qt::black);
            VLine(g, col.m_iX, 0, col.m_iYMax);
            if (view.IsScaled()) {
                g.setPen(kSpreadColor);
                VLine(g, col.m_iX, col.m_iYMax, col.m_iYMin);
            }
        }
        FillFrame(g, QRect(0, 0, w, h), Qt::black);
        g.end();
        // The white grid shows only where the curve left the graph black: the
        // spread between smallest and largest sample stays whole, so noise is
        // never hidden behind a grid line.
        const QRgb iBlack = qRgb(0, 0, 0);
        const QRgb iWhite = qRgb(255, 255, 255);
        const int iLeft = DeviceSpan(1, dDpr).first, iRight = DeviceSpan(w - 1, dDpr).first;
        for (int32_t y : view.GridLines(H)) {
            if (y <= 0 || y >= h - 1)
                continue;
            const auto [iFirst, iEnd] = DeviceSpan(y, dDpr);
            for (int iRow = iFirst; iRow < iEnd && iRow < graph.height(); ++iRow) {
                auto* pLine = reinterpret_cast<QRgb*>(graph.scanLine(iRow));
                for (int x = iLeft; x < iRight; ++x)
                    if ((pLine[x] & 0xFFFFFFu) == (iBlack & 0xFFFFFFu))
                        pLine[x] = iWhite;
            }
        }
        painter.drawImage(QPointF(CLPFView::kGraphLeft, CLPFView::kGraphTop), graph);
    }

    painter.setPen(Qt::black);
    painter.drawLine(W / 2, CLPFView::kGraphTop, W / 2, 30);
    painter.setPen(text);
    QFont font("MS Sans Serif");
    font.setPixelSize(13);
    painter.setFont(font);
    // Without a profile there is no position to tell.
    if (view.Count() > 0)
        painter.drawText(QRect(W / 2 + 2, CLPFView::kStripTop, W / 2 - 22, CLPFView::kStripBottom - CLPFView::kStripTop),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(view.PositionText(W)));
    if (!view.Caption().empty())
        painter.drawText(QRect(CLPFView::kGraphLeft, CLPFView::kStripTop, std::max(0, W / 2 - CLPFView::kGraphLeft - 4),
                               CLPFView::kStripBottom - CLPFView::kStripTop),
                         Qt::AlignLeft | Qt::AlignVCenter, FromCp1252(view.Caption()));
    int32_t x1, x2, y;
    painter.setPen(Qt::black);
    if (view.MeasureLine(W, H, x1, x2, y))
        painter.drawLine(x1, y, x2, y);
    painter.restore();
}

QImage RenderLPFView(const CLPFView& view, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kFaceColor);
    QPainter painter(&image);
    PaintLPFView(painter, size, view);
    return image;
}

// ---------------------------------------------------------------------------
// CLPFViewWidget

CLPFViewWidget::CLPFViewWidget(QWidget* parent) : QWidget(parent), m_PeakCursor(MakePeakCursor())
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(300, 200);
    CGraphCursorHooks hooks;
    hooks.m_Axis = [this] { return m_View.Axis(width()); };
    hooks.m_ValuesAt = [this](int64_t iPos) {
        std::vector<CCursorChannel> out;
        if (iPos >= 0 && iPos < m_View.Count())
            out.push_back({"Level", {double(m_View.Samples()[iPos]), 0.0}});
        return out;
    };
    hooks.m_Plot = [this] {
        return QRect(CLPFView::kGraphLeft, CLPFView::kGraphTop, CLPFView::GraphWidth(width()),
                     CLPFView::GraphHeight(height()));
    };
    hooks.m_ExtraLines = [this] { return m_View.MeasureReadOut(width(), height()); };
    hooks.m_LevelScale = [this] {
        std::vector<std::pair<int, QString>> out;
        const int h = CLPFView::GraphHeight(height());
        if (m_View.Count() > 0 && h > 0)
            for (int v = 0; v <= 250; v += 50)
                out.push_back({CLPFView::kGraphTop + h - v * h / 256, QString::number(v)});
        return out;
    };
    hooks.m_ZoomText = [this] {
        if (m_View.Count() <= 0)
            return QString();
        if (!m_View.IsScaled())
            return QStringLiteral("1:1");
        return m_View.IsWholeProfile() ? QString() : QString("Zoom \u00D7%1").arg(m_View.ZoomFactor(), 0, 'g', 4);
    };
    m_pCursors = new CGraphCursorTool(this, std::move(hooks));
}

void CLPFViewWidget::Changed()
{
    update();
    m_pCursors->ViewChanged();
    emit ViewChanged();
}

void CLPFViewWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintLPFView(painter, size(), m_View, &palette());
}

void CLPFViewWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (pt.y() < CLPFView::kGraphTop || m_View.Count() <= 0)
        return;
    if (event->button() == Qt::MiddleButton) {
        m_bPanning = true;
        m_iPanX = pt.x();
        m_dPanStart = m_View.StartPercent();
        m_dPanEnd = m_View.EndPercent();
        m_iPanCenter = m_View.Center();
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    // Ctrl + left button measures (the middle button drags, as in every
    // viewer); the plain buttons zoom.
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        m_View.StartMeasure(pt.x(), pt.y());
        setCursor(m_PeakCursor);
        update();
        return;
    }
    m_View.ClearMeasure();
    if (event->button() == Qt::LeftButton)
        m_View.ZoomIn(pt.x(), width());
    else if (event->button() == Qt::RightButton)
        m_View.ZoomOut(pt.x(), width());
    Changed();
}

void CLPFViewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CLPFViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (m_bPanning) {
        m_View.PanFrom(m_dPanStart, m_dPanEnd, m_iPanCenter, pt.x() - m_iPanX, width());
        Changed();
        return;
    }
    if (m_View.IsMeasuring()) {
        m_View.MoveMeasure(pt.x());
        update();
        m_pCursors->ViewChanged();
        return;
    }
    // Over the graph the peak cursor shows exactly which column a click takes.
    const bool bOverGraph = pt.y() >= CLPFView::kGraphTop && m_View.SampleAt(pt.x(), width()) >= 0;
    if (bOverGraph)
        setCursor(m_PeakCursor);
    else
        unsetCursor();
}

void CLPFViewWidget::mouseReleaseEvent(QMouseEvent*)
{
    if (m_bPanning) {
        m_bPanning = false;
        unsetCursor();
        return;
    }
    if (m_View.IsMeasuring()) {
        m_View.EndMeasure();
        update();
    }
}

// ---------------------------------------------------------------------------
// CView_LPF_Dialog

CView_LPF_Dialog::CView_LPF_Dialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("CView_LPF_Dialog");
    setWindowTitle("View Light Profile");
    setSizeGripEnabled(true);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);

    m_pView = new CLPFViewWidget(this);
    m_pView->setObjectName("view");
    m_pView->resize(DefaultLPFViewSize());
    m_pView->setMinimumSize(400, 250);
    pLayout->addWidget(m_pView);

    // The buttons sit in the strip above the read-out, as in the original window.
    auto* pStrip = new QHBoxLayout(m_pView);
    pStrip->setContentsMargins(2, 1, 22, 0);
    pStrip->setSpacing(4);
    auto addButton = [&](const char* szText, const char* szName) {
        auto* b = new QPushButton(szText, m_pView);
        b->setObjectName(szName);
        b->setFixedHeight(21);
        b->setAutoDefault(false);
        pStrip->addWidget(b, 0, Qt::AlignTop);
        return b;
    };
    m_pLoad = addButton("&Load", "load");
    m_pChange = addButton("&Change to 1:1 View", "changeView");
    m_pZoomAll = addButton("&Zoom All", "zoomAll");
    m_pPrint = addButton("&Print", "print");
    pStrip->addStretch(1);
    m_pExit = addButton("E&xit", "exit");

    connect(m_pLoad, &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(m_pChange, &QPushButton::clicked, this, [this] { OnChangeView(); });
    connect(m_pZoomAll, &QPushButton::clicked, this, [this] { OnZoomAll(); });
    connect(m_pPrint, &QPushButton::clicked, this, [this] { OnPrint(); });
    connect(m_pExit, &QPushButton::clicked, this, &QDialog::accept);

    auto zoomKeys = [this](bool bIn) {
        CLPFView& view = m_pView->View();
        if (bIn)
            view.ZoomIn(m_pView->width() / 2, m_pView->width());
        else
            view.ZoomOut(m_pView->width() / 2, m_pView->width());
        view.ClearMeasure();
        m_pView->Changed();
    };
    CLpfViewerActions actions;
    actions.m_Open = [this] { OnLoad(); };
    actions.m_ExportPng = [this](const QString& sz) { return ExportPng(sz); };
    actions.m_ExportCsv = [this](const QString& sz) { return ExportCsv(sz); };
    actions.m_Print = [this] { OnPrint(); };
    actions.m_ZoomIn = [zoomKeys] { zoomKeys(true); };
    actions.m_ZoomOut = [zoomKeys] { zoomKeys(false); };
    actions.m_ZoomAll = [this] { OnZoomAll(); };
    actions.m_HeaderInfo = [this] { OnHeaderInfo(); };
    QMenuBar* pMenuBar = MakeLightProfileMenuBar(this, actions);
    pLayout->setMenuBar(pMenuBar);
    // The view itself opens at the size the renderer draws.
    resize(DefaultLPFViewSize() + QSize(0, pMenuBar->sizeHint().height()));
    m_Chooser = [this] { return ChooseLightProfileFile(this); };
}

void CView_LPF_Dialog::SetFileName(const std::string& szFile)
{
    m_szFile = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    m_bFileGiven = true;
}

void CView_LPF_Dialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bStarted)
        return;
    m_bStarted = true;
    // Load once the window is up, so messages have their owner on screen.
    QTimer::singleShot(0, this, [this] {
        if (m_bFileGiven) {
            Load(m_szFile);
        } else if (!m_szDataFolder.empty()) {
            const QString sz = ChooseLightProfileFile(this, QString::fromStdString(m_szDataFolder));
            if (sz.isEmpty())
                reject();
            else
                Load(sz.toStdString());
        }
    });
}

bool CView_LPF_Dialog::Load(const std::string& szFile)
{
    Log_Msg_Txt("CView_LPF_Dialog::Load", szFile);
    CLightProfile profile;
    const LPF_VIEWER_LOAD eResult = LoadIntoViewer(
        this, szFile, LPF_VIEWER_FILE, profile,
        [this](const QString& szFolder) { return ChooseLightProfileFile(this, szFolder); }, m_bHolds);
    if (eResult == LPF_VIEWER_END) {
        reject();
        return false;
    }
    if (eResult == LPF_VIEWER_HANDED_OVER) {
        accept();
        return false;
    }
    if (eResult != LPF_VIEWER_LOADED)
        return false;
    m_Profile = std::move(profile);
    m_bHolds = true;
    m_szFile = m_Profile.m_szFileName;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    CLPFView& view = m_pView->View();
    view.SetData(m_Profile.m_Data.data(), static_cast<int64_t>(m_Profile.m_Data.size()));
    view.SetScanner(m_Profile.m_iGeneration, m_Profile.m_bColorScanner, m_Profile.m_iCamera, m_Profile.m_iCameraCount,
                    m_Profile.m_dWidthFactor);
    view.ClearMeasure();
    view.SetCaption(LightProfileFlashCaption(m_Profile.m_szFileName));
    setWindowTitle(FromCp1252(LightProfileTitle(m_Profile)));
    m_pView->Changed();
    return true;
}

void CView_LPF_Dialog::OnLoad()
{
    const QString sz = m_Chooser ? m_Chooser() : QString();
    if (!sz.isEmpty())
        Load(sz.toStdString());
}

void CView_LPF_Dialog::UpdateButtons()
{
    m_pChange->setText(m_pView->View().IsScaled() ? "&Change to 1:1 View" : "&Change to Scaled View");
}

void CView_LPF_Dialog::OnChangeView()
{
    CLPFView& view = m_pView->View();
    view.ToggleView();
    view.ClearMeasure();
    // The 1:1 view opens on the middle of what the scaled view showed.
    if (!view.IsScaled())
        view.SetCenter(static_cast<int64_t>((view.StartPercent() + view.EndPercent()) / 200.0 *
                                            static_cast<double>(view.Count())),
                       m_pView->width());
    UpdateButtons();
    m_pView->Changed();
}

void CView_LPF_Dialog::OnZoomAll()
{
    m_pView->View().ZoomAll();
    m_pView->View().ClearMeasure();
    m_pView->Changed();
}

bool CView_LPF_Dialog::PrintTo(QPrinter& printer)
{
    printer.setDocName("Printing Light Profile");
    QPainter painter;
    if (!painter.begin(&printer)) {
        ShowMessage("Unable to print", "Printer Section");
        return false;
    }
    const QRect page = painter.viewport();
    QFont font("Courier New");
    font.setPointSize(10);
    painter.setFont(font);
    const int iLine = painter.fontMetrics().lineSpacing();
    int y = iLine;
    for (const std::string& sz : LightProfilePrintLines(m_Profile)) {
        painter.drawText(QPoint(0, y), FromCp1252(sz));
        y += iLine;
    }
    const QImage image = RenderLPFView(m_pView->View(), m_pView->size());
    const int iWidth = page.width();
    const int iHeight = std::max(1, std::min(page.height() - y - iLine, iWidth * image.height() / std::max(1, image.width())));
    painter.drawImage(QRect(0, y + iLine, iWidth, iHeight), image);
    return painter.end();
}

void CView_LPF_Dialog::OnPrint()
{
    const QString szText = m_pPrint->text();
    m_pPrint->setText("Printing...");
    PrintLightProfile(this, m_szPrintFile, [this](QPrinter& printer) { return PrintTo(printer); }, m_szFile);
    m_pPrint->setText(szText);
}

void CView_LPF_Dialog::OnHeaderInfo()
{
    // Before any file was chosen there is no header to show.
    if (!m_szFile.empty())
        ShowFileHeader(m_szFile);
}

bool CView_LPF_Dialog::ExportPng(const QString& szFile)
{
    return SavePngAtomically(this, szFile, RenderLPFView(m_pView->View(), m_pView->size()));
}

bool CView_LPF_Dialog::ExportCsv(const QString& szFile)
{
    return SaveBytesAtomically(this, szFile, QByteArray::fromStdString(DataTableCsv(LightProfileDataTable(m_Profile))));
}
