#include "app/ui/ViewerHabits.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <vector>

#include "app/DesktopState.h"
#include "app/StartupRecognition.h"
#include "app/ui/FileRender.h"
#include "app/ui/ViewerDlg.h"
#include "datafiles/FileKinds.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "viewers/RecentFiles.h"
#include "viewers/ui/ViewerFiles.h"

namespace {
const char* const kFileProperty = "lumoraFile";
const char* const kTakenProperty = "lumoraHabits";
bool g_bRememberPlaces = true;

// Files the registered viewers were asked to open, innermost last: a window
// that appears takes the file of the run that made it.
std::vector<std::string>& RunFiles()
{
    static std::vector<std::string> s_Files;
    return s_Files;
}

bool IsViewer(const QWidget* pWindow)
{
    return CUiRegistry::Instance().FindViewer(pWindow->metaObject()->className()) != nullptr;
}

// Presses what the window itself binds to a key (its shortcut or action), so
// the standard keys reach each viewer's own zoom without knowing it.
bool TriggerOwnKey(QWidget* pWindow, const QKeySequence& key)
{
    for (QShortcut* p : pWindow->findChildren<QShortcut*>())
        if (p->key() == key && p->isEnabled() && p->property(kTakenProperty).isNull()) {
            emit p->activated();
            return true;
        }
    for (QAction* p : pWindow->findChildren<QAction*>())
        if (p->shortcut() == key && p->isEnabled()) {
            p->trigger();
            return true;
        }
    return false;
}

bool ClickButton(QWidget* pWindow, std::initializer_list<const char*> texts)
{
    for (QAbstractButton* p : pWindow->findChildren<QAbstractButton*>()) {
        const QString sz = p->text().remove('&');
        for (const char* t : texts)
            if (sz == QLatin1String(t) && p->isEnabled() && p->isVisible()) {
                p->click();
                return true;
            }
    }
    return false;
}

bool HasOwnKey(QWidget* pWindow, const QKeySequence& key)
{
    for (QShortcut* p : pWindow->findChildren<QShortcut*>())
        if (p->key() == key)
            return true;
    for (QAction* p : pWindow->findChildren<QAction*>())
        if (p->shortcut() == key)
            return true;
    return false;
}

void AddKey(QWidget* pWindow, const QKeySequence& key, std::function<void()> fn)
{
    auto* p = new QShortcut(key, pWindow);
    p->setProperty(kTakenProperty, true);
    QObject::connect(p, &QShortcut::activated, pWindow, std::move(fn));
}

QString UserGuidePath()
{
    const std::string szFolder = RunningProgramFolder();
    for (const char* szRel : {"../share/doc/Lumora/USER_GUIDE.md", "../../../docs/USER_GUIDE.md"}) {
        const QString sz = QString::fromStdString(szFolder) + szRel;
        if (QFileInfo::exists(sz))
            return QFileInfo(sz).canonicalFilePath();
    }
    return QString();
}

void ShowUserGuide()
{
    const QString sz = UserGuidePath();
    if (sz.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(sz)))
        ShowMessage("The user guide (USER_GUIDE.md) was not found beside this program or could not be shown.");
}

class CExportDialog : public QDialog {
public:
    CExportDialog(QWidget* pParent, bool bCsv) : QDialog(pParent)
    {
        setWindowTitle(QStringLiteral("Export"));
        auto* pLayout = new QVBoxLayout(this);
        m_pScreen = new QRadioButton(QStringLiteral("Picture of the window as shown (PNG)"), this);
        m_pSized = new QRadioButton(QStringLiteral("Picture of the view at this size (PNG):"), this);
        m_pCsv = new QRadioButton(QStringLiteral("Numbers behind the view (CSV)"), this);
        m_pCsv->setEnabled(bCsv);
        m_pScreen->setChecked(true);
        m_pWidth = new QSpinBox(this);
        m_pHeight = new QSpinBox(this);
        for (QSpinBox* p : {m_pWidth, m_pHeight})
            p->setRange(16, 20000);
        m_pWidth->setValue(pParent->width() * 2);
        m_pHeight->setValue(pParent->height() * 2);
        auto* pSize = new QFormLayout;
        pSize->addRow(QStringLiteral("Width"), m_pWidth);
        pSize->addRow(QStringLiteral("Height"), m_pHeight);
        pLayout->addWidget(m_pScreen);
        pLayout->addWidget(m_pSized);
        pLayout->addLayout(pSize);
        pLayout->addWidget(m_pCsv);
        auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        pLayout->addWidget(pButtons);
    }
    EViewerExport What() const
    {
        return m_pCsv->isChecked() ? EXPORT_CSV : m_pSized->isChecked() ? EXPORT_PNG_SIZED : EXPORT_PNG_SCREEN;
    }
    int Width() const { return m_pWidth->value(); }
    int Height() const { return m_pHeight->value(); }

private:
    QRadioButton *m_pScreen, *m_pSized, *m_pCsv;
    QSpinBox *m_pWidth, *m_pHeight;
};

const DataTableReader* TableOf(const std::string& szFile)
{
    if (szFile.empty())
        return nullptr;
    CFileDescription desc;
    if (DescribeFile(szFile, std::string(), desc) != DESCRIBE_OK)
        return nullptr;
    return CKindRegistry::Instance().FindDataTable(desc.m_szKind);
}

void AskAndExport(QWidget* pWindow)
{
    const std::string szFile = ViewerFileOf(pWindow);
    CExportDialog ask(pWindow, TableOf(szFile) != nullptr);
    if (ask.exec() != QDialog::Accepted)
        return;
    const bool bCsv = ask.What() == EXPORT_CSV;
    CFileDialogRequest request;
    request.m_bSave = true;
    request.m_szTitle = bCsv ? QStringLiteral("Export Numbers") : QStringLiteral("Export View");
    request.m_Filters = {bCsv ? QStringLiteral("CSV file (*.csv)") : QStringLiteral("PNG image (*.png)")};
    request.m_szSuffix = bCsv ? QStringLiteral("csv") : QStringLiteral("png");
    if (!szFile.empty())
        request.m_szName = QFileInfo(QFile::decodeName(QByteArray::fromStdString(szFile))).completeBaseName() + "." +
                           request.m_szSuffix;
    const QString szOut = AskForFile(pWindow, request);
    if (!szOut.isEmpty())
        ExportViewer(pWindow, ask.What(), QFile::encodeName(szOut).toStdString(), ask.Width(), ask.Height());
}

const char* const kRecentMenuName = "lumoraRecent";

// Every window with a File menu gets "Open Recent" after its first entry;
// a viewer also gets "Export...". Once per menu, however often it shows.
void FillFileMenu(QWidget* pWindow, bool bExport)
{
    for (QMenuBar* pBar : pWindow->findChildren<QMenuBar*>()) {
        for (QAction* pTop : pBar->actions()) {
            QMenu* pFile = pTop->menu();
            if (!pFile || pTop->text().remove('&') != QLatin1String("File") ||
                pFile->findChild<QMenu*>(QLatin1String(kRecentMenuName)))
                continue;
            const QList<QAction*> actions = pFile->actions();
            QAction* pBefore = actions.size() > 1 ? actions[1] : nullptr;
            QMenu* pRecent = new QMenu(QStringLiteral("Open &Recent"), pFile);
            pRecent->setObjectName(QLatin1String(kRecentMenuName));
            QObject::connect(pRecent, &QMenu::aboutToShow, pRecent, [pRecent, pWindow] {
                pRecent->clear();
                FillRecentFilesMenu(pRecent, pWindow);
            });
            pFile->insertMenu(pBefore, pRecent);
            if (!bExport)
                continue;
            auto* pExport = new QAction(QStringLiteral("&Export..."), pFile);
            QObject::connect(pExport, &QAction::triggered, pWindow, [pWindow] { AskAndExport(pWindow); });
            pFile->insertAction(pBefore, pExport);
        }
    }
}

void RestorePlace(QWidget* pWindow)
{
    CWindowPlace place;
    if (!LoadWindowPlace(WindowPlacesFile(), pWindow->metaObject()->className(), place))
        return;
    QRect r(place.m_iX, place.m_iY, place.m_iWidth, place.m_iHeight);
    // A place on a screen that is gone keeps the size only.
    bool bOnScreen = false;
    for (const QScreen* pScreen : QGuiApplication::screens())
        bOnScreen = bOnScreen || pScreen->availableGeometry().intersects(r);
    if (bOnScreen)
        pWindow->setGeometry(r);
    else
        pWindow->resize(r.size());
}

void SavePlace(QWidget* pWindow)
{
    const QRect r = pWindow->geometry();
    std::string szError;
    if (!SaveWindowPlace(WindowPlacesFile(), pWindow->metaObject()->className(),
                         CWindowPlace{r.x(), r.y(), r.width(), r.height()}, szError))
        Log_Msg_Txt("Window place not kept:", szError);
}

void TakeUp(QWidget* pWindow, bool bViewer)
{
    pWindow->setProperty(kTakenProperty, true);
    pWindow->setAcceptDrops(true);
    if (!bViewer)
        return;
    if (pWindow->property(kFileProperty).isNull() && !RunFiles().empty())
        pWindow->setProperty(kFileProperty, QString::fromStdString(RunFiles().back()));
    if (g_bRememberPlaces)
        RestorePlace(pWindow);
    // The standard keys, where the viewer does not bind them itself.
    const QKeySequence exportKey = HasOwnKey(pWindow, QKeySequence::Save) ? QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)
                                                                         : QKeySequence(QKeySequence::Save);
    AddKey(pWindow, exportKey, [pWindow] { AskAndExport(pWindow); });
    if (!HasOwnKey(pWindow, QKeySequence::Open))
        AddKey(pWindow, QKeySequence::Open, [pWindow] { ClickButton(pWindow, {"Open...", "Load", "Open"}); });
    if (!HasOwnKey(pWindow, QKeySequence::Print))
        AddKey(pWindow, QKeySequence::Print, [pWindow] { ClickButton(pWindow, {"Print"}); });
    AddKey(pWindow, QKeySequence(Qt::CTRL | Qt::Key_0), [pWindow] {
        if (!TriggerOwnKey(pWindow, QKeySequence(Qt::Key_Home)))
            ClickButton(pWindow, {"Zoom All", "Zoom all"});
    });
    for (QKeySequence key : {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        AddKey(pWindow, key, [pWindow] { TriggerOwnKey(pWindow, QKeySequence(Qt::Key_Plus)); });
    AddKey(pWindow, QKeySequence(Qt::CTRL | Qt::Key_Minus),
           [pWindow] { TriggerOwnKey(pWindow, QKeySequence(Qt::Key_Minus)); });
    if (!HasOwnKey(pWindow, QKeySequence(Qt::Key_F1)))
        AddKey(pWindow, QKeySequence(Qt::Key_F1), [] { ShowUserGuide(); });
    FillFileMenu(pWindow, true);
}

class CHabitsFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        // Any other window with a File menu (a main window, a helper dialog) still gets "Open Recent".
        if (pEvent->type() == QEvent::Show && pObject->isWidgetType()) {
            auto* pAny = static_cast<QWidget*>(pObject);
            if (pAny->isWindow() && !IsViewer(pAny))
                FillFileMenu(pAny, false);
        }
        auto* pWindow = qobject_cast<QDialog*>(pObject);
        if (!pWindow || !pWindow->isWindow())
            return false;
        const bool bLauncher = qobject_cast<CViewerDlg*>(pWindow) != nullptr;
        switch (pEvent->type()) {
        case QEvent::Show:
            if (pWindow->property(kTakenProperty).isNull() && (bLauncher || IsViewer(pWindow)))
                TakeUp(pWindow, !bLauncher);
            return false;
        case QEvent::Hide:
            if (g_bRememberPlaces && !bLauncher && !pWindow->property(kTakenProperty).isNull())
                SavePlace(pWindow);
            return false;
        case QEvent::DragEnter: {
            auto* e = static_cast<QDragEnterEvent*>(pEvent);
            if (!pWindow->property(kTakenProperty).isNull() && e->mimeData()->hasUrls()) {
                e->acceptProposedAction();
                return true;
            }
            return false;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(pEvent);
            if (pWindow->property(kTakenProperty).isNull() || !e->mimeData()->hasUrls())
                return false;
            const QList<QUrl> urls = e->mimeData()->urls();
            e->acceptProposedAction();
            const QUrl url = urls.first();
            const std::string szFile = url.isLocalFile() ? QFile::encodeName(url.toLocalFile()).toStdString()
                                                         : url.toString().toStdString();
            // After the drop has finished: the viewer runs its own modal loop.
            QPointer<QDialog> pTarget = pWindow;
            QMetaObject::invokeMethod(
                pWindow, [pTarget, szFile] { if (pTarget) OpenDroppedFile(pTarget, szFile); }, Qt::QueuedConnection);
            return true;
        }
        default:
            return false;
        }
    }
};
} // namespace

void InstallViewerHabits(bool bRememberPlaces)
{
    g_bRememberPlaces = bRememberPlaces;
    qApp->installEventFilter(new CHabitsFilter(qApp));
    // Every viewer run notes its file, so the window it opens knows what it shows.
    CUiRegistry& reg = CUiRegistry::Instance();
    for (const std::string& szName : reg.ViewerNames()) {
        const ViewerRunner inner = *reg.FindViewer(szName);
        if (!inner)
            continue;
        reg.AddViewer(szName, [inner](const CViewerRequest& request) {
            RunFiles().push_back(request.m_szFile);
            const int iResult = inner(request);
            RunFiles().pop_back();
            return iResult;
        });
    }
}

std::string ViewerFileOf(const QWidget* pWindow)
{
    if (!pWindow)
        return std::string();
    if (!pWindow->windowFilePath().isEmpty())
        return QFile::encodeName(pWindow->windowFilePath()).toStdString();
    return pWindow->property(kFileProperty).toString().toStdString();
}

bool ExportViewer(QWidget* pWindow, EViewerExport eWhat, const std::string& szOut, int iWidth, int iHeight)
{
    const std::string szFile = ViewerFileOf(pWindow);
    std::string szError;
    bool bOk = false;
    if (eWhat == EXPORT_CSV) {
        const DataTableReader* pRead = TableOf(szFile);
        CDataTable table;
        if (!pRead)
            szError = szFile.empty() ? "this window shows no file whose numbers could be exported"
                                     : szFile + ": this kind of file has no numbers to export; export the view as PNG";
        else if ((*pRead)(szFile, std::string(), table, szError)) {
            const std::string szCsv = DataTableCsv(table);
            bOk = WriteFileAtomically(szOut, szCsv.data(), szCsv.size(), &szError);
        }
    } else if (eWhat == EXPORT_PNG_SIZED && !szFile.empty()) {
        // Drawn again by the same painting code at the size asked for.
        QImage image;
        bOk = RenderFileView(szFile, std::string(), QSize(iWidth, iHeight), image, szError) == RENDER_OK &&
              SavePngFile(image, szOut, szError);
    } else {
        // The window as it stands, at the screen's device pixel ratio.
        bOk = SavePngFile(pWindow->grab().toImage(), szOut, szError);
    }
    if (!bOk)
        ShowMessage(szOut + "\nwas not written: " + szError);
    return bOk;
}

bool OpenDroppedFile(QWidget* pWindow, const std::string& szFile)
{
    const CDropDecision d = DecideDroppedFile(szFile);
    if (auto* pLauncher = qobject_cast<CViewerDlg*>(pWindow); pLauncher && (!d.m_szViewer.empty() || d.m_bRawdex)) {
        pLauncher->OpenFile(szFile); // the launcher's own start-up path, Rawdex unpacking included
        return true;
    }
    const ViewerRunner* pRun = d.m_szViewer.empty() ? nullptr : CUiRegistry::Instance().FindViewer(d.m_szViewer);
    if (!pRun) {
        ShowMessage(d.m_szMessage.empty() ? szFile + "\nopens in " + d.m_szViewer + ", which this build does not include."
                                          : d.m_szMessage);
        return false;
    }
    NoteRecentFile(QFile::decodeName(QByteArray::fromStdString(szFile)));
    CViewerRequest request;
    request.m_szFile = szFile;
    request.m_bFileGiven = true;
    request.m_pParent = pWindow;
    (*pRun)(request);
    return true;
}

void FillRecentFilesMenu(QMenu* pRecent, QWidget* pWindow)
{
    const std::vector<std::string> list = LoadRecentList(RecentListFile());
    if (list.empty()) {
        pRecent->addAction(QStringLiteral("(none)"))->setEnabled(false);
        return;
    }
    QPointer<QWidget> pTarget = pWindow;
    for (size_t i = 0; i < list.size(); ++i) {
        const QString szName = QFile::decodeName(QByteArray::fromStdString(list[i]));
        const QString szText = QStringLiteral("&%1 %2").arg(i + 1 == 10 ? 0 : int(i + 1)).arg(QFileInfo(szName).fileName());
        QAction* pAction = pRecent->addAction(szText);
        pAction->setToolTip(szName);
        const std::string szFile = list[i];
        QObject::connect(pAction, &QAction::triggered, pRecent, [pTarget, szFile] {
            if (pTarget)
                OpenDroppedFile(pTarget, szFile);
        });
    }
}
