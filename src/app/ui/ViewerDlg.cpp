#include "app/ui/ViewerDlg.h"
#include "app/ui/ViewerHabits.h"

#include <QBasicTimer>
#include <QContextMenuEvent>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimerEvent>
#include <QToolButton>

#include "app/CommandLine.h"
#include "app/StartupRecognition.h"
#include "app/ui/AboutDlg.h"
#include "widgets/ui/Shell.h"
#include "datafiles/Rawdex.h"
#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"

namespace {
// The launcher's own size: 185 x 94 dialog units of the 8-point dialog font.
constexpr int kWidth = 278;
constexpr int kHeight = 164;

// The status line has room for a file's name, not for its whole path.
QString ShownName(const std::string& szFile)
{
    const size_t iSlash = szFile.rfind('/');
    const QString name = QFile::decodeName(QByteArray::fromStdString(iSlash == std::string::npos ? szFile : szFile.substr(iSlash + 1)));
    // A long name without blanks would be cut at both edges of the word-wrapped
    // line; shortened in the middle, its start and its end stay readable.
    return QFontMetrics(QFont()).elidedText(name, Qt::ElideMiddle, kWidth - 24);
}

// What a technician calls the window a viewer class opens.
QString ViewerTitle(const std::string& szViewer)
{
    static const std::pair<const char*, const char*> kTitles[] = {
        {VIEWER_OSCILLOSCOPE, "the oscilloscope"},
        {VIEWER_ADJUST_CENTER_CCD, "the scan-line positioning test"},
        {VIEWER_VERTICAL_CAMERA, "the mirror carriage adjustment test"},
        {VIEWER_LIGHT_PROFILE_FILE, "the light profile viewer"},
        {VIEWER_LIGHT_PROFILE, "the light profile viewer"},
        {VIEWER_STITCH, "the stitching viewer"},
        {VIEWER_NOISE_TEST, "the noise test"},
        {VIEWER_STAR_TEST, "the star test"},
        {VIEWER_TONAL_RESOLUTION, "the tonal resolution viewer"},
    };
    for (const auto& t : kTitles)
        if (szViewer == t.first)
            return QString::fromLatin1(t.second);
    return QString::fromStdString(szViewer);
}
} // namespace

CViewerDlg::CViewerDlg(QWidget* pParent) : QDialog(pParent), m_pLoadTimer(new QBasicTimer)
{
    setWindowTitle(QStringLiteral("Lumora 6"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumora.png")));
    resize(kWidth, kHeight);

    // Fixed positions rather than a layout: the window must be able to shrink
    // to a single pixel while a viewer runs.
    m_pLightProfile = new QPushButton(QStringLiteral("View &Light Profile"), this);
    m_pLightProfile->setObjectName(QStringLiteral("1001"));
    m_pLightProfile->setGeometry(54, 14, 170, 26);
    m_pStitching = new QPushButton(QStringLiteral("View &Stitching Area"), this);
    m_pStitching->setObjectName(QStringLiteral("1005"));
    m_pStitching->setGeometry(54, 46, 170, 26);
    m_pExit = new QPushButton(QStringLiteral("E&xit Program"), this);
    m_pExit->setObjectName(QStringLiteral("1000"));
    m_pExit->setGeometry(54, 78, 170, 26);
    m_pLightProfile->setDefault(true);

    // Linux desktops give no system menu to hang the About item on: a small
    // button in the corner, the context menu and F1 reach it instead.
    m_pAbout = new QToolButton(this);
    m_pAbout->setText(QStringLiteral("?"));
    m_pAbout->setToolTip(QStringLiteral("About Lumora..."));
    m_pAbout->setGeometry(kWidth - 26, 4, 22, 22);
    m_pAbout->setAutoRaise(true);

    // The launcher has no menu bar: its "Open Recent" is a button in the other corner.
    m_pRecent = new QToolButton(this);
    m_pRecent->setObjectName(QStringLiteral("recent"));
    m_pRecent->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_pRecent->setToolTip(QStringLiteral("Open Recent"));
    m_pRecent->setGeometry(4, 4, 30, 22);
    m_pRecent->setAutoRaise(true);
    m_pRecent->setPopupMode(QToolButton::InstantPopup);
    auto* pRecentMenu = new QMenu(QStringLiteral("Open &Recent"), m_pRecent);
    connect(pRecentMenu, &QMenu::aboutToShow, this, [this, pRecentMenu] {
        pRecentMenu->clear();
        FillRecentFilesMenu(pRecentMenu, this);
    });
    m_pRecent->setMenu(pRecentMenu);

    m_pStatus = new QLabel(this);
    m_pStatus->setGeometry(6, 108, kWidth - 12, 54);
    m_pStatus->setWordWrap(true);
    m_pStatus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    connect(m_pLightProfile, &QPushButton::clicked, this, &CViewerDlg::OnViewLightProfile);
    connect(m_pStitching, &QPushButton::clicked, this, &CViewerDlg::OnViewStitching);
    connect(m_pExit, &QPushButton::clicked, this, &CViewerDlg::OnExit);
    connect(m_pAbout, &QToolButton::clicked, this, &CViewerDlg::OnAbout);
    auto* pF1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(pF1, &QShortcut::activated, this, &CViewerDlg::OnAbout);
}

CViewerDlg::~CViewerDlg()
{
    delete m_pLoadTimer;
}

void CViewerDlg::SetFileToLoad(const std::string& szText)
{
    LogStartupLine("void CViewerDlg::SetFileToLoad(char* txt) Load File Name: " + szText);
    m_szFileToLoad = FileToLoadField(szText);
}

void CViewerDlg::LogStartupLine(const std::string& szText)
{
    if (m_bInitDone)
        Log_Msg(szText);
    else
        m_PendingLog.push_back(szText);
}

bool CViewerDlg::IsLoadTimerActive() const { return m_pLoadTimer->isActive(); }
QString CViewerDlg::StatusText() const { return m_pStatus->text(); }

void CViewerDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (!m_bInitDone) {
        m_bInitDone = true;
        InitDialog();
    }
}

void CViewerDlg::InitDialog()
{
    std::string szDir;
    if (FindProgramDirectory(szDir))
        log_Init("Lumora", "Lumora.log", szDir);
    else
        log_Init("Lumora", "Lumora.log", ProgramExecutablePath());
    for (const std::string& szLine : m_PendingLog)
        Log_Msg(szLine);
    m_PendingLog.clear();
    if (!m_szFileToLoad.empty())
        m_pLoadTimer->start(kLoadTimerPeriodMs, this);
}

void CViewerDlg::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() != m_pLoadTimer->timerId() || m_szFileToLoad.empty()) {
        QDialog::timerEvent(pEvent);
        return;
    }
    m_pLoadTimer->stop();
    Load();
}

void CViewerDlg::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QMenu menu(this);
    FillRecentFilesMenu(menu.addMenu(QStringLiteral("Open &Recent")), this);
    menu.addAction(QStringLiteral("&About Lumora..."), this, &CViewerDlg::OnAbout);
    menu.exec(pEvent->globalPos());
}

void CViewerDlg::SetStatus(const QString& text)
{
    m_pStatus->setText(text);
}

void CViewerDlg::Load()
{
    Log_Msg("CViewerDlg::Load File Name:");
    Log_Msg(m_szFileToLoad);
    Log_Msg("End File Name");
    const std::string szFile = TrimForOpening(m_szFileToLoad);
    CDispatchDecision d;
    std::string szError;
    if (!RecognizeFile(szFile, d, szError)) {
        // The launcher stays up with the name kept, so a button can still try it.
        ShowMessage(szFile + " cannot be opened:\n" + szError);
        SetStatus(QStringLiteral("%1 could not be opened.").arg(ShownName(szFile)));
        return;
    }
    if (d.m_bRawdex) {
        const CRawdexResult unpacked = UnpackRawdex(szFile);
        if (!unpacked.m_bOk) {
            std::string szText = "Unpacking " + szFile + " was not complete:";
            for (const std::string& szProblem : unpacked.m_Problems)
                szText += "\n" + szProblem;
            ShowMessage(szText);
        }
    }
    if (d.m_szViewer.empty()) {
        SetStatus(QStringLiteral("No viewer recognises %1.\nChoose how to view it.").arg(ShownName(szFile)));
        return;
    }
    CViewerRequest request;
    if (d.m_bPassFile) {
        request.m_szFile = szFile;
        request.m_bFileGiven = true;
        request.m_bIsFile = szFile.empty() || szFile.back() != '/';
    }
    request.m_szDataFolder = d.m_szDataFolder;
    // The light profile viewer opens on the files just unpacked.
    if (d.m_bRawdex && request.m_szDataFolder.empty()) {
        const size_t iSlash = szFile.rfind('/');
        request.m_szDataFolder = iSlash == std::string::npos ? std::string("./") : szFile.substr(0, iSlash + 1);
    }
    RunViewer(d.m_szViewer, request, d.m_bHideLauncher, d.m_bClearFileField);
}

bool CViewerDlg::RunViewer(const std::string& szViewer, CViewerRequest request, bool bHide, bool bClearField)
{
    m_szLastViewer = szViewer;
    const ViewerRunner* pRunner = CUiRegistry::Instance().FindViewer(szViewer);
    if (!pRunner || !*pRunner) {
        const QString viewer = ViewerTitle(szViewer);
        if (request.m_szFile.empty()) {
            QString sentence = viewer;
            if (!sentence.isEmpty())
                sentence[0] = sentence[0].toUpper();
            SetStatus(QStringLiteral("%1 is not part of this build yet.").arg(sentence));
        }
        else
            SetStatus(QStringLiteral("%1 opens in %2,\nwhich this build does not include yet.")
                          .arg(ShownName(request.m_szFile), viewer));
        Log_Msg_Txt("CViewerDlg: no viewer in this build:", szViewer);
        return false;
    }
    if (bHide)
        HideMainWindow();
    request.m_pParent = this;
    (*pRunner)(request);
    if (bClearField)
        m_szFileToLoad.clear();
    if (bHide)
        RestoreMainWindow();
    done(QDialog::Accepted);
    return true;
}

void CViewerDlg::OnViewLightProfile()
{
    CViewerRequest request;
    const bool bGiven = !m_szFileToLoad.empty();
    if (bGiven) {
        request.m_szFile = TrimForOpening(m_szFileToLoad);
        request.m_bFileGiven = true;
    }
    RunViewer(VIEWER_LIGHT_PROFILE, request, true, bGiven);
}

void CViewerDlg::OnViewStitching()
{
    CViewerRequest request;
    const bool bGiven = !m_szFileToLoad.empty();
    if (bGiven) {
        request.m_szFile = TrimForOpening(m_szFileToLoad);
        request.m_bFileGiven = true;
        request.m_bIsFile = request.m_szFile.empty() || request.m_szFile.back() != '/';
    }
    RunViewer(VIEWER_STITCH, request, true, bGiven);
}

void CViewerDlg::OpenFile(const std::string& szFile)
{
    m_szFileToLoad = szFile;
    Load();
}

void CViewerDlg::OnExit()
{
    done(QDialog::Rejected);
}

void CViewerDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CViewerDlg::HideMainWindow()
{
    if (m_bHidden)
        return;
    m_bHidden = true;
    m_SavedNormalRect = geometry();
    // Hiding would end the launcher's modal run and orphan the viewer; a
    // one-pixel, fully transparent window keeps it the owner and out of sight.
    // It shrinks onto its own centre, so the viewer, centred on its owner,
    // opens where the launcher was.
    setMinimumSize(1, 1);
    setGeometry(m_SavedNormalRect.center().x(), m_SavedNormalRect.center().y(), 1, 1);
    setWindowOpacity(0.0);
    PumpMessages();
}

void CViewerDlg::RestoreMainWindow()
{
    if (!m_bHidden)
        return;
    m_bHidden = false;
    setGeometry(m_SavedNormalRect);
    setWindowOpacity(1.0);
    PumpMessages();
}
