#include "viewers/ui/CameraCheckView.h"

#include <QFile>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "datafiles/ConFile.h"
#include "platform/AtomicFile.h"
#include "platform/Json.h"
#include "platform/Messages.h"
#include "viewers/StitchNoiseHeader.h"
#include "viewers/ui/StitchNoisePrinting.h"
#include "viewers/ui/ViewerFiles.h"
#include "widgets/ui/GraphCursorTool.h"

namespace {
const char* const kCheckFilter = "DEZ file (*.CON)|*.con|All Files (*.*)|*.*||";

CFileDialogRequest CheckFileRequest(bool bSave)
{
    CFileDialogRequest ask;
    ask.m_bSave = bSave;
    ask.m_szTitle = bSave ? "Save As" : "Open";
    ask.m_Filters = QtFileFilters(kCheckFilter);
    ask.m_szSuffix = "con";
    ask.m_szName = bSave ? QString() : QString("*.con");
    return ask;
}
}

void PaintCameraCheckView(QPainter& painter, QSize size, const CCameraCheckProfile& profile,
                          const CCameraCheckView& view)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int W = size.width(), H = size.height();
    if (W <= 0 || H <= 0)
        return;
    std::vector<uint8_t> pixels = RenderCheckView(profile, view, W, H);
    const QImage image(pixels.data(), W, H, W, QImage::Format_Grayscale8);
    painter.drawImage(QPoint(0, 0), image);
}

// ---- view control ----

CCameraCheckControl::CCameraCheckControl(QWidget* pParent) : CBasicTestControl(pParent)
{
    CGraphCursorHooks hooks;
    hooks.m_Axis = [this] {
        CGraphAxis a;
        if (!m_pProfile || m_View.m_iViewWidth <= 0)
            return a;
        a.m_iWidth = m_View.m_iViewWidth;
        a.m_iCount = m_pProfile->m_iWidth;
        a.m_dFirst = m_View.IsShowAll() ? 0.0 : m_View.FirstColumn();
        a.m_dPerColumn = double(m_View.VisibleColumns()) / m_View.m_iViewWidth;
        return a;
    };
    hooks.m_ValuesAt = [this](int64_t iPos) {
        std::vector<CCursorChannel> out;
        if (m_pProfile)
            out.push_back({"Level", {double(m_pProfile->ColumnLevel(int32_t(iPos))), 0.0}});
        return out;
    };
    hooks.m_ZoomText = [this] { return QString::fromStdString(m_View.ScaleText()); };
    m_pCursors = new CGraphCursorTool(this, std::move(hooks));
    connect(this, &CCameraCheckControl::ViewChanged, m_pCursors, &CGraphCursorTool::ViewChanged);
}

bool CCameraCheckControl::DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    static const CCameraCheckProfile empty;
    PaintCameraCheckView(dc, QSize(iWidth, iHeight), m_pProfile ? *m_pProfile : empty, m_View);
    return true;
}

void CCameraCheckControl::OnLButtonDown(uint32_t /*iButtons*/, int32_t x, int32_t /*y*/)
{
    if (!m_pProfile || m_pProfile->m_iWidth <= 0)
        return;
    m_View.ZoomIn(x);
    Redraw();
    emit ViewChanged();
}

void CCameraCheckControl::OnRButtonDown(uint32_t /*iButtons*/, int32_t x, int32_t /*y*/)
{
    if (!m_pProfile || m_pProfile->m_iWidth <= 0)
        return;
    m_View.ZoomOut(x);
    Redraw();
    emit ViewChanged();
}

void CCameraCheckControl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::RightButton) {
        CBasicTestControl::mouseDoubleClickEvent(pEvent);
        return;
    }
    const QPoint pt = pEvent->position().toPoint();
    OnRButtonDown(0, pt.x(), pt.y());
}

void CCameraCheckControl::OnSize(int32_t iType, int32_t cx, int32_t cy)
{
    m_View.m_iViewWidth = cx;
    m_View.m_iViewHeight = cy;
    m_View.Clamp();
    CBasicTestControl::OnSize(iType, cx, cy);
    emit ViewChanged();
}

// ---- dialog ----

COstra_Check_Camera_Adjustment_Test_Dialog::COstra_Check_Camera_Adjustment_Test_Dialog(QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle("Check Camera Adjustments Test");
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumora.png")));
    m_szFileName = QApplication::applicationDirPath().toStdString() + "/~Testpfl.tmp";
    auto* pExit = new QPushButton("E&xit", this);
    auto* pZoomAll = new QPushButton("Zoom &All", this);
    auto* pPrint = new QPushButton("&Print", this);
    auto* pOpen = new QPushButton("&Open...", this);
    auto* pSave = new QPushButton("&Save As...", this);
    m_pScale = new QLabel(this);
    m_pScale->setObjectName("1040");
    pZoomAll->setObjectName("1013");
    pPrint->setObjectName("1032");
    auto* pTop = new QHBoxLayout;
    for (QPushButton* p : {pOpen, pSave, pZoomAll, pPrint}) {
        p->setAutoDefault(false);
        pTop->addWidget(p);
    }
    pTop->addSpacing(12);
    pTop->addWidget(m_pScale, 1);
    pTop->addWidget(pExit);
    auto* pPlaceholder = new QWidget(this);
    pPlaceholder->setObjectName("1038");
    pPlaceholder->setMinimumSize(200, 128);
    pPlaceholder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pBar = new QScrollBar(Qt::Horizontal, this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addWidget(pPlaceholder, 1);
    pLayout->addWidget(m_pBar);
    m_pView = new CCameraCheckControl(this);
    m_pView->m_pProfile = &m_Profile;
    m_pView->ReplacePlaceholder(pPlaceholder);
    resize(900, 400);

    connect(pExit, &QPushButton::clicked, this, &QDialog::accept);
    connect(pZoomAll, &QPushButton::clicked, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnZoomAll);
    connect(pPrint, &QPushButton::clicked, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnPrint);
    connect(pOpen, &QPushButton::clicked, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnOpen);
    connect(pSave, &QPushButton::clicked, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnSave);
    connect(m_pView, &CCameraCheckControl::ViewChanged, this,
            &COstra_Check_Camera_Adjustment_Test_Dialog::UpdateControls);
    connect(m_pBar, &QScrollBar::valueChanged, this, [this](int iPos) {
        if (m_bUpdatingBar)
            return;
        m_pView->m_View.ScrollTo(iPos);
        m_pView->Redraw();
    });
    auto* pKeyO = new QShortcut(QKeySequence::Open, this);
    connect(pKeyO, &QShortcut::activated, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnOpen);
    auto* pKeyS = new QShortcut(QKeySequence::Save, this);
    connect(pKeyS, &QShortcut::activated, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnSave);
    auto* pKeyP = new QShortcut(QKeySequence::Print, this);
    connect(pKeyP, &QShortcut::activated, this, &COstra_Check_Camera_Adjustment_Test_Dialog::OnPrint);
    auto* pKeyI = new QShortcut(QKeySequence(Qt::Key_I), this);
    connect(pKeyI, &QShortcut::activated, this, &COstra_Check_Camera_Adjustment_Test_Dialog::ShowHeader);
    // + and - step the zoom at the middle of the view, Home shows all.
    auto zoom = [this](bool bIn) {
        if (m_Profile.m_iWidth <= 0)
            return;
        CCameraCheckView& view = m_pView->m_View;
        if (bIn)
            view.ZoomIn(view.m_iViewWidth / 2);
        else
            view.ZoomOut(view.m_iViewWidth / 2);
        UpdateControls();
    };
    for (QKeySequence key : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, [zoom] { zoom(true); });
    connect(new QShortcut(QKeySequence(Qt::Key_Minus), this), &QShortcut::activated, this, [zoom] { zoom(false); });
    connect(new QShortcut(QKeySequence(Qt::Key_Home), this), &QShortcut::activated, this,
            &COstra_Check_Camera_Adjustment_Test_Dialog::OnZoomAll);
    UpdateControls();
}

void COstra_Check_Camera_Adjustment_Test_Dialog::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    // The view takes its size from the placeholder once the layout has placed it.
    if (!m_pView->IsInitialised()) {
        m_pView->InitControl();
        m_pView->m_View.m_iViewWidth = m_pView->SurfaceWidth();
        m_pView->m_View.m_iViewHeight = m_pView->SurfaceHeight();
    }
    if (!m_bStarted) {
        m_bStarted = true;
        QTimer::singleShot(0, this, [this] {
            if (m_Profile.m_iWidth == 0)
                LoadFile(m_szFileName);
        });
    }
}

bool COstra_Check_Camera_Adjustment_Test_Dialog::LoadFile(const std::string& szFile)
{
    m_bStarted = true;
    CCameraCheckProfile profile;
    std::vector<std::string> messages;
    std::string szError;
    const bool bLoaded = profile.Load(szFile, messages, szError);
    for (const std::string& sz : messages)
        ShowMessage(sz);
    if (!bLoaded) {
        // Without a bitmap there is nothing this dialog could show.
        if (szError == kCheckNoBitmap)
            reject();
        return false;
    }
    m_Profile = std::move(profile);
    m_szFileName = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFileName)));
    CCameraCheckView& view = m_pView->m_View;
    view.m_iProfileWidth = m_Profile.m_iWidth;
    if (m_pView->IsInitialised()) {
        view.m_iViewWidth = m_pView->SurfaceWidth();
        view.m_iViewHeight = m_pView->SurfaceHeight();
    }
    view.ShowAll();
    setWindowTitle(
        QString("Check Camera Adjustments Test - %1").arg(QFileInfo(QString::fromStdString(szFile)).fileName()));
    UpdateControls();
    return true;
}

QString COstra_Check_Camera_Adjustment_Test_Dialog::ScaleText() const
{
    return m_pScale->text();
}

void COstra_Check_Camera_Adjustment_Test_Dialog::UpdateControls()
{
    const CCameraCheckView& view = m_pView->m_View;
    m_pScale->setText(QString::fromStdString(view.ScaleText()));
    m_bUpdatingBar = true;
    m_pBar->setRange(0, view.ScrollMax());
    m_pBar->setSingleStep(1);
    m_pBar->setPageStep(view.ScrollPage());
    m_pBar->setValue(view.ScrollPos());
    m_pBar->setEnabled(view.ScrollMax() > 0);
    m_bUpdatingBar = false;
    m_pView->Redraw();
}

void COstra_Check_Camera_Adjustment_Test_Dialog::OnZoomAll()
{
    m_pView->m_View.ShowAll();
    UpdateControls();
}

void COstra_Check_Camera_Adjustment_Test_Dialog::OnOpen()
{
    const QString szFile = AskForFile(this, CheckFileRequest(false));
    if (szFile.isEmpty()) {
        reject();
        return;
    }
    LoadFile(szFile.toStdString());
}

bool COstra_Check_Camera_Adjustment_Test_Dialog::SaveCopy(const std::string& szTarget)
{
    std::string szBytes;
    if (!StitchNoiseFile::ReadBytes(m_szFileName, 0, StitchNoiseFile::FileSize(m_szFileName), szBytes)) {
        ShowMessage("Cannot read the file " + m_szFileName + ".");
        return false;
    }
    if (!WriteFileAtomically(szTarget, szBytes)) {
        ShowMessage("Cannot write the file " + szTarget + ".");
        return false;
    }
    return true;
}

void COstra_Check_Camera_Adjustment_Test_Dialog::OnSave()
{
    const QString szFile = AskForFile(this, CheckFileRequest(true));
    if (!szFile.isEmpty())
        SaveCopy(szFile.toStdString());
}

void COstra_Check_Camera_Adjustment_Test_Dialog::ShowHeader()
{
    CConFileHeader con;
    const EConReadStatus eStatus = ReadConFileHeader(m_szFileName, con);
    if (eStatus == CON_READ_CANNOT_OPEN) {
        ShowMessage("Cannot open the file " + m_szFileName + ": " + con.m_szProblem + ".");
        return;
    }
    if (eStatus != CON_READ_OK || con.m_szFirstBytes.empty() || con.m_szFirstBytes[0] != '[') {
        ShowMessage("Old Con-file.\nNo Header Information available");
        return;
    }
    ShowMessage(Cp1252ToUtf8(con.m_Header.GetText()));
}

void COstra_Check_Camera_Adjustment_Test_Dialog::PaintPage(QPainter& painter, const QRect& page) const
{
    // The view fills the page: window extent = the view's size, viewport = the page.
    const QSize view(std::max(1, m_pView->m_View.m_iViewWidth), std::max(1, m_pView->m_View.m_iViewHeight));
    painter.save();
    painter.translate(page.topLeft());
    painter.scale(double(page.width()) / view.width(), double(page.height()) / view.height());
    PaintCameraCheckView(painter, view, m_Profile, m_pView->m_View);
    painter.restore();
}

void COstra_Check_Camera_Adjustment_Test_Dialog::OnPrint()
{
    PrintWithDialog(
        this, "DEZ Light Profile", [this](QPainter& p, const QRect& page) { PaintPage(p, page); }, m_szFileName);
}

bool COstra_Check_Camera_Adjustment_Test_Dialog::PrintToPdf(const QString& szPath)
{
    return ::PrintToPdf(szPath, "DEZ Light Profile", [this](QPainter& p, const QRect& page) { PaintPage(p, page); });
}
