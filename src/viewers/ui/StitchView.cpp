#include "viewers/ui/StitchView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "widgets/ui/Shell.h"
#include "datafiles/ConHeader.h"
#include "platform/ui/Text.h"
#include "platform/Messages.h"
#include "viewers/ui/StitchNoisePrinting.h"
#include "widgets/ui/PixelInspectorTool.h"
#include "viewers/ui/ViewerFiles.h"

std::shared_ptr<CStitchImage> CStitchImage::Build(CStitchPicture& picture)
{
    auto pImage = std::make_shared<CStitchImage>();
    pImage->m_Picture = std::move(picture);
    CStitchPicture& p = pImage->m_Picture;
    if (!p.m_bRunLength)
        pImage->m_Gray = QImage(p.m_Pixels.data(), p.m_iWidth, p.m_iHeight, p.m_iWidth, QImage::Format_Grayscale8);
    return pImage;
}

QImage CStitchImage::Part(const QRect& r) const
{
    if (!m_Picture.m_bRunLength)
        return m_Gray.copy(r);
    // Whole rows of the band, one bit a pixel, then the columns wanted.
    const int32_t iStride = StitchBitStride(m_Picture.m_iWidth);
    QImage band(m_Picture.m_iWidth, r.height(), QImage::Format_Mono);
    if (band.isNull())
        return QImage();
    band.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    std::vector<uint8_t> bits(static_cast<size_t>(int64_t(iStride) * r.height()));
    m_Picture.DecodeRows(r.top(), r.top() + r.height(), bits.data(), iStride);
    const int iCopy = std::min<int>(iStride, static_cast<int>(band.bytesPerLine()));
    for (int y = 0; y < r.height(); ++y)
        std::memcpy(band.scanLine(y), bits.data() + int64_t(y) * iStride, static_cast<size_t>(iCopy));
    return band.copy(r.left(), 0, r.width(), r.height());
}

bool LoadStitchImage(const std::string& szFile, CStitchPicture& picture, std::shared_ptr<CStitchImage>& image,
                     std::vector<std::string>& messages, std::string& szError)
{
    if (!picture.Load(szFile, messages, szError) || !picture.Decode(messages, szError))
        return false;
    image = CStitchImage::Build(picture);
    return true;
}

void PaintStitchView(QPainter& painter, QSize size, const CStitchView& view, const CStitchImage* pImage)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (!pImage || view.m_iZoom < 1)
        return;
    const QRect source(view.VisibleLeft(), view.VisibleTop(), view.VisibleWidth(), view.VisibleHeight());
    // Only the part of the source on the picture is drawn; the target shrinks with it
    // so each picture pixel stays zoom x zoom screen pixels.
    const QRect clipped = source.intersected(QRect(QPoint(0, 0), pImage->Size()));
    if (clipped.isEmpty())
        return;
    const int z = view.m_iZoom;
    const QRect target((clipped.left() - source.left()) * z, (clipped.top() - source.top()) * z, clipped.width() * z,
                       clipped.height() * z);
    // Only the visible part is converted for the screen; the picture itself may be 30 megapixels.
    painter.drawImage(target, pImage->Part(clipped).convertToFormat(QImage::Format_RGB32));
}

// ---- view widget ----

CStitchViewWidget::CStitchViewWidget(QWidget* pParent) : QWidget(pParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
    CPixelInspectorHooks hooks;
    hooks.m_Source = [this]() -> const CPixelSource* { return m_pImage ? m_pPixels.get() : nullptr; };
    hooks.m_PictureAt = [this](QPoint pt) {
        const int32_t z = std::max(1, m_View.m_iZoom);
        return QPoint(m_View.VisibleLeft() + pt.x() / z, m_View.VisibleTop() + pt.y() / z);
    };
    hooks.m_ViewRect = [this](const CPixelRect& r) {
        const int32_t z = std::max(1, m_View.m_iZoom);
        return QRect((r.m_iLeft - m_View.VisibleLeft()) * z, (r.m_iTop - m_View.VisibleTop()) * z, r.m_iWidth * z,
                     r.m_iHeight * z);
    };
    hooks.m_ZoomText = [this] { return m_pImage ? QString("Zoom %1:1").arg(m_View.m_iZoom) : QString(); };
    m_pInspector = new CPixelInspectorTool(this, std::move(hooks));
    connect(this, &CStitchViewWidget::ViewChanged, m_pInspector, [this] { m_pInspector->Layer()->update(); });
}

void CStitchViewWidget::PictureChanged()
{
    m_pPixels = m_pImage ? std::make_unique<CStitchPixels>(&m_pImage->Picture()) : nullptr;
    m_pInspector->ClearSelection();
    m_pInspector->ViewChanged();
}

void CStitchViewWidget::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (!m_bPanning)
        return;
    const QPoint d = pEvent->position().toPoint() - m_PanStart;
    m_View.PanFrom(m_iPanCenterX, m_iPanCenterY, d.x(), d.y());
    update();
    emit ViewChanged();
}

void CStitchViewWidget::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::MiddleButton)
        m_bPanning = false;
}

void CStitchViewWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintStitchView(painter, size(), m_View, m_pImage.get());
}

void CStitchViewWidget::mousePressEvent(QMouseEvent* pEvent)
{
    if (!m_pImage)
        return;
    const QPoint pt = pEvent->position().toPoint();
    if (pEvent->button() == Qt::MiddleButton) {
        m_bPanning = true;
        m_PanStart = pt;
        m_iPanCenterX = m_View.m_iCenterX;
        m_iPanCenterY = m_View.m_iCenterY;
        return;
    }
    if (pEvent->button() == Qt::LeftButton)
        m_View.ZoomIn(pt.x(), pt.y());
    else if (pEvent->button() == Qt::RightButton)
        m_View.ZoomOut();
    else
        return;
    update();
    emit ViewChanged();
}

void CStitchViewWidget::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    mousePressEvent(pEvent);
}

void CStitchViewWidget::resizeEvent(QResizeEvent*)
{
    m_View.m_iClientWidth = width();
    m_View.m_iClientHeight = height();
    m_View.Clamp();
    emit ViewChanged();
}

// ---- dialog ----

CView_Stitch_Dialog::CView_Stitch_Dialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle("View Stitching File");
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumora.png")));
    auto* pLoad = new QPushButton("&Load", this);
    auto* pZoom = new QPushButton("Zoom 1:1", this);
    auto* pPrint = new QPushButton("&Print", this);
    auto* pExit = new QPushButton("E&xit", this);
    pLoad->setObjectName("1010");
    pZoom->setObjectName("1015");
    pPrint->setObjectName("1032");
    pExit->setObjectName("1000");
    auto* pStrip = new QHBoxLayout;
    pStrip->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* p : {pLoad, pZoom, pPrint, pExit}) {
        p->setFixedHeight(24);
        p->setAutoDefault(false);
        pStrip->addWidget(p);
    }
    pStrip->addStretch();

    m_pViewWidget = new CStitchViewWidget(this);
    m_pHBar = new QScrollBar(Qt::Horizontal, this);
    m_pVBar = new QScrollBar(Qt::Vertical, this);
    auto* pGrid = new QGridLayout;
    pGrid->setSpacing(0);
    pGrid->addWidget(m_pViewWidget, 0, 0);
    pGrid->addWidget(m_pVBar, 0, 1);
    pGrid->addWidget(m_pHBar, 1, 0);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addLayout(pStrip);
    pLayout->addLayout(pGrid, 1);
    resize(900, 640);

    connect(pLoad, &QPushButton::clicked, this, &CView_Stitch_Dialog::OnLoad);
    connect(pZoom, &QPushButton::clicked, this, &CView_Stitch_Dialog::OnZoomOneToOne);
    connect(pPrint, &QPushButton::clicked, this, &CView_Stitch_Dialog::OnPrint);
    connect(pExit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pViewWidget, &CStitchViewWidget::ViewChanged, this, &CView_Stitch_Dialog::UpdateScrollBars);
    connect(m_pHBar, &QScrollBar::valueChanged, this, &CView_Stitch_Dialog::OnScroll);
    connect(m_pVBar, &QScrollBar::valueChanged, this, &CView_Stitch_Dialog::OnScroll);
    auto* pKeyI = new QShortcut(QKeySequence(Qt::Key_I), this);
    connect(pKeyI, &QShortcut::activated, this, &CView_Stitch_Dialog::OnHeaderInfo);
    auto* pCtrlP = new QShortcut(QKeySequence::Print, this);
    connect(pCtrlP, &QShortcut::activated, this, &CView_Stitch_Dialog::OnPrint);
    auto* pCtrlO = new QShortcut(QKeySequence::Open, this);
    connect(pCtrlO, &QShortcut::activated, this, &CView_Stitch_Dialog::OnLoad);
    // The keyboard zooms around the middle of the view as a click there would.
    auto zoomKeys = [this](int iStep) {
        if (!m_pViewWidget->m_pImage)
            return;
        CStitchView& view = m_pViewWidget->m_View;
        if (iStep > 0)
            view.ZoomIn(view.m_iClientWidth / 2, view.m_iClientHeight / 2);
        else
            view.ZoomOut();
        UpdateScrollBars();
        m_pViewWidget->update();
    };
    for (QKeySequence key : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, [zoomKeys] { zoomKeys(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_Minus), this), &QShortcut::activated, this, [zoomKeys] { zoomKeys(-1); });
    connect(new QShortcut(QKeySequence(Qt::Key_Home), this), &QShortcut::activated, this,
            &CView_Stitch_Dialog::OnZoomOneToOne);
    UpdateScrollBars();
}

void CView_Stitch_Dialog::SetFileName(const std::string& szFile)
{
    m_szFileName = szFile;
    m_bIsFile = !szFile.empty() && szFile.back() != '\\' && szFile.back() != '/';
    m_bLoadPending = m_bIsFile;
}

void CView_Stitch_Dialog::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    LoadWhenShown(this, m_bLoadPending, [this] { LoadFile(m_szFileName); });
}

bool CView_Stitch_Dialog::LoadFile(const std::string& szFile)
{
    m_bLoadPending = false;
    m_WaitTexts.clear();
    CStitchPicture picture;
    std::vector<std::string> messages;
    std::string szError;
    // The wait window opens once the file is known to be readable, as loading begins.
    std::unique_ptr<CWait_Dialog> pWait;
    auto wait = [&](const char* szText) {
        m_WaitTexts << szText;
        if (!pWait)
            pWait = std::make_unique<CWait_Dialog>(this);
        pWait->SetText(szText);
        pWait->ShowAndPump();
        // The window names the viewer and says inside what it is doing, so the
        // technician sees which of the two steps a large picture is in.
        pWait->setWindowTitle(QString::fromLatin1(kStitchWaitCaption));
        m_szWaitCaption = pWait->windowTitle();
        if (QLabel* pLabel = pWait->findChild<QLabel*>())
            pLabel->setText(QString::fromLatin1(szText));
        PumpMessages();
    };
    wait("Please wait while loading");
    const bool bLoaded = picture.Load(szFile, messages, szError);
    for (const std::string& sz : messages)
        ShowMessage(sz);
    if (!bLoaded)
        return false;  // the previous picture stays
    messages.clear();
    wait("Please wait while generating Picture.");
    if (!picture.Decode(messages, szError)) {
        for (const std::string& sz : messages)
            ShowMessage(sz);
        return false;
    }
    for (const std::string& sz : messages)
        ShowMessage(sz);
    m_szFileName = szFile;
    m_bIsFile = true;
    m_pViewWidget->m_pImage = CStitchImage::Build(picture);
    m_pViewWidget->PictureChanged();
    CStitchView& view = m_pViewWidget->m_View;
    view.m_iWidth = Picture().m_iWidth;
    view.m_iHeight = Picture().m_iHeight;
    view.m_iClientWidth = m_pViewWidget->width();
    view.m_iClientHeight = m_pViewWidget->height();
    view.Reset();
    setWindowTitle(QString("View Stitching File - %1").arg(QFileInfo(QString::fromStdString(szFile)).fileName()));
    UpdateScrollBars();
    m_pViewWidget->update();
    pWait.reset();
    messages.clear();
    Picture().CheckRows(messages);
    for (const std::string& sz : messages)
        ShowMessage(sz);
    return true;
}

void CView_Stitch_Dialog::OnLoad()
{
    QString szStart;
    if (!m_szFileName.empty())
        szStart = m_bIsFile ? QFileInfo(QString::fromStdString(m_szFileName)).path()
                            : QString::fromStdString(m_szFileName);
    CFileDialogRequest ask;
    ask.m_szTitle = "Load";
    ask.m_Filters = QtFileFilters(kStitchFilter);
    ask.m_szSuffix = "con";
    ask.m_szFolder = szStart;
    ask.m_szName = "*.con";
    const QString szFile = AskForFile(this, ask);
    if (!szFile.isEmpty())
        LoadFile(szFile.toStdString());
}

void CView_Stitch_Dialog::OnZoomOneToOne()
{
    if (!m_pViewWidget->m_pImage || !m_pViewWidget->m_View.ZoomOneToOne())
        return;
    UpdateScrollBars();
    m_pViewWidget->update();
}

void CView_Stitch_Dialog::UpdateScrollBars()
{
    const CStitchView& view = m_pViewWidget->m_View;
    m_bUpdatingBars = true;
    const bool bPicture = m_pViewWidget->m_pImage != nullptr;
    const CStitchView::CScroll h = view.HorizontalScroll(), v = view.VerticalScroll();
    for (auto [pBar, s] : {std::pair{m_pHBar, h}, std::pair{m_pVBar, v}}) {
        const int iPage = std::clamp(s.m_iPage, 1, 10000);
        pBar->setEnabled(bPicture);
        pBar->setRange(0, 10000 - iPage);
        pBar->setPageStep(iPage);
        pBar->setSingleStep(std::max(1, iPage / 10));
        pBar->setValue(std::clamp(s.m_iPos, 0, 10000 - iPage));
    }
    m_bUpdatingBars = false;
}

void CView_Stitch_Dialog::OnScroll()
{
    if (m_bUpdatingBars || !m_pViewWidget->m_pImage)
        return;
    CStitchView& view = m_pViewWidget->m_View;
    view.ScrollHorizontalTo(m_pHBar->value());
    view.ScrollVerticalTo(m_pVBar->value());
    m_pViewWidget->update();
}

const CStitchPicture& CView_Stitch_Dialog::Picture() const
{
    static const CStitchPicture empty;
    return m_pViewWidget->m_pImage ? m_pViewWidget->m_pImage->Picture() : empty;
}

void CView_Stitch_Dialog::PaintPage(QPainter& painter, const QRect& page) const
{
    const CStitchPicture& picture = Picture();
    QStringList lines;
    lines << "View Stitching File" << QString::fromStdString(picture.m_szFile);
    // A printout lies on the bench among others: it names the scanner and
    // when the stitch area was scanned when the file says so.
    if (picture.m_bHasHeader) {
        ConHeader hdr;
        hdr.SetText(picture.m_szHeader);
        std::string szName, szDate, szTime;
        hdr.GetScannerName(szName);
        hdr.GetDate(szDate);
        hdr.GetTime(szTime);
        if (!szName.empty() || !szDate.empty())
            lines << FromCp1252(szName + (szName.empty() ? "" : "   ") + szDate + " " + szTime).trimmed();
    }
    lines << QString("Width = %1   Height = %2   Resolution = %3 dpi   Zoom = %4")
                 .arg(picture.m_iWidth)
                 .arg(picture.m_iHeight)
                 .arg(picture.m_iResolution)
                 .arg(m_pViewWidget->m_View.m_iZoom);
    const int iTop = DrawPageLines(painter, page, lines);
    const QSize view = m_pViewWidget->size();
    const int iMarginX = page.width() / 10;
    const double dScale = std::min(double(page.width() - 2 * iMarginX) / view.width(),
                                   double(page.bottom() - page.height() / 20 - iTop) / view.height());
    painter.save();
    painter.translate(page.left() + iMarginX, iTop);
    painter.scale(dScale, dScale);
    PaintStitchView(painter, view, m_pViewWidget->m_View, m_pViewWidget->m_pImage.get());
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, view.width() - 1, view.height() - 1);
    painter.restore();
}

void CView_Stitch_Dialog::OnPrint()
{
    PrintWithDialog(
        this, "Printing Stitching Picture", [this](QPainter& painter, const QRect& page) { PaintPage(painter, page); },
        m_bIsFile ? m_szFileName : std::string());
}

bool CView_Stitch_Dialog::PrintToPdf(const QString& szPath)
{
    return ::PrintToPdf(szPath, "Printing Stitching Picture",
                        [this](QPainter& painter, const QRect& page) { PaintPage(painter, page); });
}

void CView_Stitch_Dialog::OnHeaderInfo()
{
    if (!m_szFileName.empty() && m_bIsFile)
        ShowFileHeader(m_szFileName);
}
