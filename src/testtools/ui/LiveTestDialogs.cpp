#include "testtools/ui/LiveTestDialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "datafiles/ErrorReport.h"
#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "scanner/ContScan.h"
#include "testtools/ResultText.h"
#include "testtools/TestFolders.h"

namespace {

LiveFileDialogHook& Hook()
{
    static LiveFileDialogHook s_Hook;
    return s_Hook;
}

const char* const kPositioningCaption = "Scan-Line Positioning";
const char* const kCarriageCaption = "Mirror Carriage Adjustment";

QString AskFile(QWidget* pParent, const CLiveFileRequest& r)
{
    if (Hook())
        return Hook()(pParent, r);
    const QString szStart = r.m_szFolder.isEmpty() ? r.m_szName : r.m_szFolder + "/" + r.m_szName;
    const QString szFilter = r.m_Filters.join(QStringLiteral(";;"));
    return r.m_bSave ? QFileDialog::getSaveFileName(pParent, r.m_szTitle, szStart, szFilter)
                     : QFileDialog::getOpenFileName(pParent, r.m_szTitle, r.m_szFolder, szFilter);
}

// A name typed without an extension gets the dialog's own.
std::string WithExtension(const QString& szFile, const char* szExt)
{
    return QFileInfo(szFile).suffix().isEmpty() ? (szFile + "." + szExt).toStdString() : szFile.toStdString();
}

std::string Joined(const std::vector<std::string>& v)
{
    std::string sz;
    for (const std::string& s : v)
        sz += (sz.empty() ? "" : "\n") + s;
    return sz;
}

void SleepMs(int32_t iMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(iMs));
}

bool IsCancel(int32_t iError)
{
    return iError == ScannerProgramError(ERR_USER_CANCELLED);
}

} // namespace

void SetLiveFileDialogHook(LiveFileDialogHook hook)
{
    Hook() = std::move(hook);
}

QStringList LiveQtFilters(const std::string& szFilter)
{
    QStringList out;
    const QStringList parts = QString::fromStdString(szFilter).split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString szLabel = parts[i];
        if (const int iOpen = szLabel.indexOf('('); iOpen > 0)
            szLabel = szLabel.left(iOpen).trimmed();
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            if (p == QStringLiteral("*.*")) {
                patterns = {QStringLiteral("*")};
                break;
            }
            patterns << p.toUpper() << p.toLower();
        }
        patterns.removeDuplicates();
        out << szLabel + " (" + patterns.join(' ') + ")";
    }
    return out;
}

void RunOnWorker(const std::function<void()>& fn)
{
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        fn();
        bDone = true;
    });
    while (!bDone) {
        CBasicTestControl::PumpMessages();
        SleepMs(10);
    }
    worker.join();
}

CAdjustCenterCCDFlags InitialPositioningFlags(bool bFactory)
{
    CAdjustCenterCCDFlags f;
    if (!bFactory)
        f.m_bFront = f.m_bRear = false;
    return f;
}

CVerticalCameraFlags InitialCarriageFlags(bool bFactory)
{
    CVerticalCameraFlags f;
    if (!bFactory)
        f.m_bCutting = true;
    return f;
}

// ================================================================ both dialogs

CLiveTestDialog::CLiveTestDialog(QWidget* pParent, const char* szCaption)
    : QDialog(pParent), m_szCaption(szCaption), m_pEngine(std::make_unique<CCenterCCDEngine>())
{
    setWindowTitle(QString::fromUtf8(szCaption));
    m_Options.m_pCancel = &m_bCancel;
    m_pEngine->m_szDataFolder = ProgramStateFolder();
}

CLiveTestDialog::~CLiveTestDialog()
{
    if (m_Scanner.m_bScannerOpen)
        m_Scanner.CloseScanner(true);
}

std::vector<QPushButton*> CLiveTestDialog::AddButtons(QVBoxLayout* pColumn, std::initializer_list<const char*> texts)
{
    std::vector<QPushButton*> v;
    for (const char* sz : texts) {
        v.push_back(new QPushButton(QString::fromUtf8(sz), this));
        pColumn->addWidget(v.back());
    }
    return v;
}

QCheckBox* CLiveTestDialog::AddCheck(QVBoxLayout* pColumn, const char* szText, bool bChecked)
{
    auto* p = new QCheckBox(QString::fromUtf8(szText), this);
    p->setChecked(bChecked);
    pColumn->addWidget(p);
    connect(p, &QCheckBox::toggled, this, [this] { ShowResult(); });
    return p;
}

void CLiveTestDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_bShown)
        return;
    m_bShown = true;
    if (!m_szFile.empty())
        QTimer::singleShot(50, this, [this] { LoadFile(m_szFile); });
}

void CLiveTestDialog::paintEvent(QPaintEvent* e)
{
    QDialog::paintEvent(e);
    // The control's own redraws repaint the area under it: only a paint of
    // the dialog itself asks for the one redraw.
    if (m_bRedrawPending || DrawnControl()->geometry().contains(e->rect()))
        return;
    m_bRedrawPending = true;
    QTimer::singleShot(50, this, [this] {
        m_bRedrawPending = false;
        DrawnControl()->Redraw();
    });
}

void CLiveTestDialog::reject()
{
    if (Busy()) {
        m_bCancel = true;
        m_bCloseAfterRun = true;
        return;
    }
    QDialog::reject();
}

void CLiveTestDialog::closeEvent(QCloseEvent* e)
{
    if (Busy()) {
        e->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(e);
}

void CLiveTestDialog::CloseIfAsked()
{
    if (m_bCloseAfterRun) {
        m_bCloseAfterRun = false;
        QDialog::reject();
    }
}

bool CLiveTestDialog::LoadFile(const std::string& szFile)
{
    const bool bOk = ReadResult(szFile);
    m_szFile = szFile;
    m_bMeasured = false;
    // Like every viewer the window says which file it shows.
    const QString szPath = QFile::decodeName(QByteArray::fromStdString(szFile));
    setWindowFilePath(szPath);
    setWindowTitle(QString::fromUtf8(m_szCaption) + " - " + QFileInfo(szPath).fileName());
    ShowResult();
    if (!m_pEngine->m_Messages.empty())
        ShowMessage(Joined(m_pEngine->m_Messages), m_szCaption);
    return bOk;
}

std::string CLiveTestDialog::ScannerName()
{
    return m_Scanner.m_bScannerOpen ? LiveScannerName(m_Scanner) : std::string("Scanner");
}

std::string CLiveTestDialog::ResultFolder()
{
    return m_Scanner.m_bScannerOpen ? TestDataFolder(LiveScannerName(m_Scanner)) : TestResultsFolder();
}

std::vector<std::string> CLiveTestDialog::ResultLines()
{
    return m_bMeasured ? MeasuredLines(ScannerName()) : m_pEngine->m_ResultLines;
}

std::string CLiveTestDialog::AskSaveFile(const char* szName, const char* szExt)
{
    CLiveFileRequest r;
    r.m_bSave = true;
    r.m_szTitle = QStringLiteral("Save");
    r.m_szFolder = QString::fromStdString(ResultFolder());
    r.m_szName = QString::fromStdString(LiveDefaultFile(szName, szExt));
    r.m_Filters = LiveQtFilters(LiveFileFilter(szName, szExt));
    const QString sz = AskFile(this, r);
    return sz.isEmpty() ? std::string() : WithExtension(sz, szExt);
}

std::string CLiveTestDialog::AskLoadFile(const char* szName, const char* szExt)
{
    CLiveFileRequest r;
    r.m_szTitle = QStringLiteral("Load");
    r.m_szFolder = QString::fromStdString(ResultFolder());
    r.m_szName = QString::fromStdString(LiveFilePattern(szExt));
    r.m_Filters = LiveQtFilters(LiveFileFilter(szName, szExt));
    const QString sz = AskFile(this, r);
    if (sz.isEmpty())
        return {};
    if (!QFileInfo::exists(sz)) {
        ShowMessage(sz.toStdString() + ": the file does not exist", m_szCaption);
        return {};
    }
    return sz.toStdString();
}

bool CLiveTestDialog::WriteResult(const std::string& szFile, const std::vector<std::string>& lines)
{
    std::string szError;
    const bool bOk = WriteEngine(szFile, lines, &szError);
    if (!bOk)
        ShowMessage(szFile + ": the result could not be saved: " + szError, m_szCaption);
    return bOk;
}

void CLiveTestDialog::EndRun(int32_t iError, const char* szWho)
{
    if (iError == 0)
        return;
    m_iLastError = iError;
    Log_Msg(FormatText("%s: error %d", szWho, iError));
    const int32_t hScanner = m_Scanner.m_hScanner;
    m_Scanner.CloseScanner(false); // the next test opens it afresh
    if (!IsCancel(iError))
        ReportError(iError, hScanner);
}

CLiveTestControlBase* CLiveTestDialog::WithPrintLines()
{
    CLiveTestControlBase* p = DrawnControl();
    p->ClearPrintLines();
    for (const std::string& l : ResultLines())
        p->AddPrintLine(l);
    return p;
}

void CLiveTestDialog::OnPrint()
{
    WithPrintLines()->Print();
}

bool CLiveTestDialog::PrintToPdf(const QString& szPath)
{
    return WithPrintLines()->PrintToPdf(szPath);
}

// ================================================================ scan-line positioning

CAdjustCenterCCD_Dialog::CAdjustCenterCCD_Dialog(QWidget* pParent) : CLiveTestDialog(pParent, kPositioningCaption)
{
    const bool bFactory = IsTestStation();
    m_Flags = InitialPositioningFlags(bFactory);

    auto* pMain = new QHBoxLayout(this);
    auto* pLeft = new QVBoxLayout;
    m_pControl = new CAdjustCenterCCD_Control(this);
    m_pControl->setMinimumSize(640, 440);
    pLeft->addWidget(m_pControl, 1);
    auto* pElapsedRow = new QHBoxLayout;
    m_pElapsedLabel = new QLabel(QStringLiteral("Elapsed 0:00"), this);
    m_pElapsed = new CElapsed_Control(this);
    m_pElapsed->setFixedSize(90, 22);
    pElapsedRow->addWidget(m_pElapsedLabel);
    pElapsedRow->addWidget(m_pElapsed);
    pElapsedRow->addStretch(1);
    pLeft->addLayout(pElapsedRow);
    pMain->addLayout(pLeft, 1);

    auto* pRight = new QVBoxLayout;
    AddColumnHead(pRight, "Print", "View &Section", m_Flags);
    pRight->addStretch(1);
    m_pExit = AddButtons(pRight, {"E&xit"})[0];
    pMain->addLayout(pRight);

    connect(m_pDoTest, &QPushButton::clicked, this, &CAdjustCenterCCD_Dialog::OnDoTest);
    connect(m_pSave, &QPushButton::clicked, this, &CAdjustCenterCCD_Dialog::OnSave);
    connect(m_pLoad, &QPushButton::clicked, this, &CAdjustCenterCCD_Dialog::OnLoad);
    connect(m_pPrint, &QPushButton::clicked, this, &CAdjustCenterCCD_Dialog::OnPrint);
    connect(m_pExit, &QPushButton::clicked, this, &CAdjustCenterCCD_Dialog::reject);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this, &CAdjustCenterCCD_Dialog::OnPrint);
    for (QCheckBox* c : {m_pRed, m_pGreen, m_pBlue, m_pFront, m_pRear, m_pSection})
        c->setVisible(bFactory);

    layout()->activate();
    m_pControl->SetData(m_pEngine.get(), &m_Flags);
    m_pControl->InitControl();
    m_pElapsed->InitControl();
    m_pLoad->setEnabled(false);
    m_pSave->setEnabled(false);
}

CAdjustCenterCCD_Dialog::~CAdjustCenterCCD_Dialog()
{
    m_pScan.reset();
}

QPushButton* CAdjustCenterCCD_Dialog::Button(int32_t iId) const
{
    switch (iId) {
    case 10000: return m_pDoTest;
    case 10014: return m_pSave;
    case 1117: return m_pLoad;
    case 1094: return m_pPrint;
    case 2: return m_pExit;
    default: return nullptr;
    }
}

QCheckBox* CAdjustCenterCCD_Dialog::Check(int32_t iId) const
{
    switch (iId) {
    case 10002: return m_pRed;
    case 10005: return m_pGreen;
    case 10006: return m_pBlue;
    case 10008: return m_pFront;
    case 10007: return m_pRear;
    case 10009: return m_pSection;
    default: return nullptr;
    }
}

void CAdjustCenterCCD_Dialog::Refresh()
{
    ShowResult();
}

void CAdjustCenterCCD_Dialog::ShowResult()
{
    ReadViewChecks(m_Flags);
    m_pControl->SetData(m_pEngine.get(), &m_Flags);
    m_pControl->Redraw();
}

int32_t CAdjustCenterCCD_Dialog::SetUpScanner()
{
    if (!m_Scanner.m_bScannerOpen && m_Scanner.OpenScanner(0, false) != 0)
        return m_Scanner.m_ErrorNo ? m_Scanner.m_ErrorNo : -1;
    m_Scanner.GetGeneration(m_pEngine->m_iGeneration);
    m_pScan = std::make_unique<CContScan>(&m_Scanner);
    const int32_t iError = PositioningSetUp(m_Scanner, *m_pScan, m_Options);
    m_pEngine->m_dWindowShift = WindowShiftLines(m_Scanner);
    return iError;
}

void CAdjustCenterCCD_Dialog::ServeStoreRequest()
{
    std::string szFile;
    std::vector<std::string> lines;
    if (!m_pEngine->TakeStoreRequest(szFile, lines))
        return;
    WriteResult(szFile, lines);
}

void CAdjustCenterCCD_Dialog::OnDoTest()
{
    if (m_bRunning || m_bSettingUp)
        return;
    Log_Msg("CAdjustCenterCCD_Dialog::OnDoTest");
    m_bSettingUp = true; // from here on Exit stops the test rather than closing at once
    m_bCancel = false;
    m_pDoTest->setEnabled(false);
    CBasicTestControl::PumpMessages();
    SleepMs(100);
    CBasicTestControl::PumpMessages();
    m_pExit->setEnabled(false);
    m_pPrint->setEnabled(false); // the scanner belongs to the worker until it is set up
    m_iLastError = 0;
    m_pEngine->Restart();
    m_pControl->SetBusy(true);

    int32_t iError = 0;
    RunOnWorker([&] { iError = SetUpScanner(); });
    m_bSettingUp = false;
    m_pExit->setEnabled(true);
    m_pPrint->setEnabled(true);
    m_pControl->SetBusy(false);

    if (iError == 0 && m_bCancel)
        iError = ScannerProgramError(ERR_USER_CANCELLED);
    if (iError == 0) {
        m_bRunning = true;
        m_pEngine->m_bRunning = true;
        m_bMeasured = true;
        m_pLoad->setEnabled(true);
        m_pSave->setEnabled(true);
        m_pElapsed->Start();
        CPicture frame;
        int32_t iSteps = 0, iEmpty = 0;
        while (!m_pEngine->m_bDone && !m_bCancel) {
            if ((iError = ReadFrame(*m_pScan, frame)) != 0)
                break;
            if (frame.m_iHeight > 0) {
                iEmpty = 0;
                iSteps += m_pEngine->MeasureFrame(frame) ? 1 : 0;
                m_pControl->Redraw();
            } else if (++iEmpty > 2000) {
                iError = CContScan::kErrLineWidth; // a scanner that stopped delivering
                break;
            } else {
                SleepMs(5);
            }
            ServeStoreRequest();
            if (m_iStopAfterSteps > 0 && iSteps >= m_iStopAfterSteps)
                break;
            CBasicTestControl::PumpMessages();
        }
        // A name chosen just before the end is still written.
        ServeStoreRequest();
        m_pElapsed->Stop();
    }
    m_pControl->SetBusy(true);
    CBasicTestControl::PumpMessages();
    if (m_pScan)
        PositioningStop(m_Scanner, *m_pScan, m_Options);
    m_pEngine->m_bRunning = false;
    m_bRunning = false;
    m_pControl->SetBusy(false);
    if (iError != 0)
        m_pScan.reset();
    EndRun(iError, "CAdjustCenterCCD_Dialog::OnDoTest");
    std::string szReload;
    if (m_pEngine->TakeReloadRequest(szReload))
        LoadFile(szReload);
    else if (m_bCancel)
        m_pEngine->Restart();
    m_pDoTest->setEnabled(true);
    m_pExit->setEnabled(true);
    m_pControl->Redraw();
    CloseIfAsked();
}

bool CAdjustCenterCCD_Dialog::SaveTo(const std::string& szFile)
{
    if (m_bRunning) {
        m_pEngine->RequestStore(szFile, MeasuredLines(ScannerName()));
        return true;
    }
    return WriteResult(szFile, ResultLines());
}

void CAdjustCenterCCD_Dialog::OnSave()
{
    const std::string sz = AskSaveFile("Adjust Center CCD", "ACC");
    if (!sz.empty())
        SaveTo(sz);
}

void CAdjustCenterCCD_Dialog::OnLoad()
{
    const std::string sz = AskLoadFile("Scan-Line Position", "t32");
    if (sz.empty())
        return;
    if (m_bRunning)
        m_pEngine->RequestReload(sz); // the test stops, then reads it
    else
        LoadFile(sz);
}

// ================================================================ mirror carriage

CVerticalCameraVerification_Dialog::CVerticalCameraVerification_Dialog(QWidget* pParent)
    : CLiveTestDialog(pParent, kCarriageCaption)
{
    m_bFactory = IsTestStation();
    m_Flags = InitialCarriageFlags(m_bFactory);

    auto* pMain = new QHBoxLayout(this);
    auto* pLeft = new QVBoxLayout;
    m_pControl = new CVerticalCameraVerification_Control(this);
    m_pControl->setMinimumSize(640, 440);
    pLeft->addWidget(m_pControl, 1);
    m_pSlider = new QSlider(Qt::Horizontal, this);
    pLeft->addWidget(m_pSlider);
    pMain->addLayout(pLeft, 1);

    auto* pRight = new QVBoxLayout;
    AddColumnHead(pRight, "&Print", "View Section", m_Flags);
    m_pLineFront = AddCheck(pRight, "View Line Fr&ont", m_Flags.m_bLineFront);
    m_pLineRear = AddCheck(pRight, "View Line Re&ar", m_Flags.m_bLineRear);
    m_pAnalyse = AddCheck(pRight, "&Analyze", m_Flags.m_bAnalyse);
    m_pCutting = AddCheck(pRight, "View &Cutting", m_Flags.m_bCutting);
    auto* pSpeedRow = new QHBoxLayout;
    m_pSpeedLabel = new QLabel(QStringLiteral("Scan speed:"), this);
    m_pSpeedEdit = new QLineEdit(this);
    m_pSpeedEdit->setValidator(new QIntValidator(1, 255, m_pSpeedEdit));
    pSpeedRow->addWidget(m_pSpeedLabel);
    pSpeedRow->addWidget(m_pSpeedEdit);
    pRight->addLayout(pSpeedRow);
    m_pSpeedGroup = new QGroupBox(QStringLiteral("PC speed"), this);
    auto* pGroup = new QVBoxLayout(m_pSpeedGroup);
    m_pSpeed[CARRIAGE_FAST] = new QRadioButton(QStringLiteral("Fast"), m_pSpeedGroup);
    m_pSpeed[CARRIAGE_MIDDEL] = new QRadioButton(QStringLiteral("Middel"), m_pSpeedGroup);
    m_pSpeed[CARRIAGE_SLOW] = new QRadioButton(QStringLiteral("Slow"), m_pSpeedGroup);
    for (QRadioButton* p : m_pSpeed)
        pGroup->addWidget(p);
    pRight->addWidget(m_pSpeedGroup);
    m_pSupport = AddButtons(pRight, {"Create Support file"})[0];
    pRight->addStretch(1);
    m_pExit = AddButtons(pRight, {"E&xit"})[0];
    pMain->addLayout(pRight);

    connect(m_pDoTest, &QPushButton::clicked, this, &CVerticalCameraVerification_Dialog::OnDoTest);
    connect(m_pSave, &QPushButton::clicked, this, &CVerticalCameraVerification_Dialog::OnSave);
    connect(m_pLoad, &QPushButton::clicked, this, &CVerticalCameraVerification_Dialog::OnLoad);
    connect(m_pPrint, &QPushButton::clicked, this, &CVerticalCameraVerification_Dialog::OnPrint);
    connect(m_pExit, &QPushButton::clicked, this, &CVerticalCameraVerification_Dialog::reject);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this,
            &CVerticalCameraVerification_Dialog::OnPrint);
    connect(m_pSlider, &QSlider::valueChanged, this, [this](int v) { SelectRow(v); });

    // Off the factory floor the operator picks a speed and looks at the cutting.
    for (QWidget* w : std::initializer_list<QWidget*>{m_pRed, m_pGreen, m_pBlue, m_pSection, m_pLineFront, m_pLineRear})
        w->setVisible(m_bFactory);
    m_pSpeedGroup->setVisible(!m_bFactory);
    m_pSpeedLabel->setVisible(m_bFactory);
    m_pSpeedEdit->setVisible(m_bFactory);
    m_pSpeedEdit->setText(QString::number(m_pEngine->m_iScanSpeed));
    m_pAnalyse->setVisible(false);
    m_pSupport->setVisible(false);
    m_pSpeed[CarriageChoiceOf(m_pEngine->m_iScanSpeed)]->setChecked(true);

    layout()->activate();
    m_pControl->SetData(m_pEngine.get(), &m_Flags);
    m_pControl->SetPickCallback([this](int32_t, int32_t iIndex, int32_t) {
        SelectRow(m_pControl->Zoom().First() + iIndex);
    });
    m_pControl->InitControl();
    UpdateSlider();
}

QPushButton* CVerticalCameraVerification_Dialog::Button(int32_t iId) const
{
    switch (iId) {
    case 10004: return m_pDoTest;
    case 10018: return m_pSave;
    case 10019: return m_pLoad;
    case 1094: return m_pPrint;
    case 8: return m_pExit;
    case 10024: return m_pSupport;
    default: return nullptr;
    }
}

QCheckBox* CVerticalCameraVerification_Dialog::Check(int32_t iId) const
{
    switch (iId) {
    case 10002: return m_pRed;
    case 10005: return m_pGreen;
    case 10006: return m_pBlue;
    case 10008: return m_pFront;
    case 10007: return m_pRear;
    case 10009: return m_pSection;
    case 10013: return m_pLineFront;
    case 10014: return m_pLineRear;
    case 10015: return m_pAnalyse;
    case 10016: return m_pCutting;
    default: return nullptr;
    }
}

QRadioButton* CVerticalCameraVerification_Dialog::SpeedRadio(int32_t iChoice) const
{
    return iChoice >= 0 && iChoice < 3 ? m_pSpeed[iChoice] : nullptr;
}

void CVerticalCameraVerification_Dialog::Refresh()
{
    ShowResult();
}

void CVerticalCameraVerification_Dialog::ShowResult()
{
    ReadViewChecks(m_Flags);
    m_Flags.m_bLineFront = m_pLineFront->isChecked();
    m_Flags.m_bLineRear = m_pLineRear->isChecked();
    m_Flags.m_bAnalyse = m_pAnalyse->isChecked();
    m_Flags.m_bCutting = m_pCutting->isChecked();
    m_pControl->SetData(m_pEngine.get(), &m_Flags);
    m_pControl->Redraw();
    UpdateSlider();
}

int32_t CVerticalCameraVerification_Dialog::ApplySpeed()
{
    if (m_bFactory) {
        bool bOk = false;
        const int32_t i = m_pSpeedEdit->text().toInt(&bOk);
        if (bOk && i > 0)
            m_pEngine->m_iScanSpeed = i;
        m_pSpeedEdit->setText(QString::number(m_pEngine->m_iScanSpeed));
    } else {
        int32_t iChoice = CARRIAGE_FAST;
        for (int32_t k = 0; k < 3; ++k)
            if (m_pSpeed[k]->isChecked())
                iChoice = k;
        m_pEngine->m_iScanSpeed = CarriageSpeedOf(iChoice);
    }
    return m_pEngine->m_iScanSpeed;
}

void CVerticalCameraVerification_Dialog::EnableButtons(bool b)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_pDoTest, m_pSave, m_pLoad, m_pPrint, m_pSlider, m_pSpeedEdit,
                                                      m_pSpeedGroup})
        w->setEnabled(b);
}

void CVerticalCameraVerification_Dialog::UpdateSlider()
{
    const QSignalBlocker block(m_pSlider);
    m_pSlider->setRange(0, std::max(m_pEngine->Rows() - 1, 0));
    m_pSlider->setValue(m_pEngine->m_iSelectedRow);
    m_pSlider->setPageStep(5);
}

void CVerticalCameraVerification_Dialog::SelectRow(int32_t iRow)
{
    if (m_bRunning)
        return;
    m_pEngine->m_iSelectedRow = std::clamp(iRow, 0, std::max(m_pEngine->Rows() - 1, 0));
    UpdateSlider();
    m_pControl->Redraw();
}

void CVerticalCameraVerification_Dialog::OnDoTest()
{
    if (m_bRunning)
        return;
    Log_Msg("CVerticalCameraVerification_Dialog::OnDoTest");
    EnableButtons(false);
    ApplySpeed();
    m_bCancel = false;
    m_iLastError = 0;
    m_bRunning = true;
    m_pControl->SetBusy(true);
    int32_t iError = 0;
    // The control draws nothing of the engine while busy: the worker owns it until it returns.
    RunOnWorker([&] {
        if (!m_Scanner.m_bScannerOpen && m_Scanner.OpenScanner(0, false) != 0) {
            iError = m_Scanner.m_ErrorNo ? m_Scanner.m_ErrorNo : -1;
            return;
        }
        iError = RunCarriageTravel(m_Scanner, *m_pEngine, m_Options);
    });
    m_bRunning = false;
    m_bMeasured = true;
    EndRun(iError, "CVerticalCameraVerification_Dialog::OnDoTest");
    m_pControl->SetBusy(false);
    ShowResult();
    EnableButtons(true);
    CloseIfAsked();
}

bool CVerticalCameraVerification_Dialog::SaveTo(const std::string& szFile)
{
    return WriteResult(szFile, ResultLines());
}

void CVerticalCameraVerification_Dialog::OnSave()
{
    const std::string sz = AskSaveFile("Vertical Camera Verification", "VCV");
    if (!sz.empty())
        SaveTo(sz);
}

void CVerticalCameraVerification_Dialog::OnLoad()
{
    const std::string sz = AskLoadFile("Mirror Carriage Adjustment", "t33");
    if (!sz.empty())
        LoadFile(sz);
}

// ================================================================ render

namespace {

// A result file drawn off screen by the dialog's own control.
template <class Control, class Flags>
bool RenderResultFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image, std::string& szError,
                      bool (CCenterCCDEngine::*read)(const std::string&), const Flags& flags)
{
    CCenterCCDEngine engine;
    if (!(engine.*read)(szFile)) {
        szError = engine.m_Messages.empty() ? szFile + ": cannot be read" : Joined(engine.m_Messages);
        return false;
    }
    Control control;
    control.resize(iWidth + 1, iHeight + 1);
    control.SetData(&engine, &flags);
    control.InitControl();
    image = control.RenderImage(iWidth, iHeight);
    return true;
}

} // namespace

bool RenderPositioningFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                           std::string& szError)
{
    return RenderResultFile<CAdjustCenterCCD_Control>(szFile, iWidth, iHeight, image, szError,
                                                      &CCenterCCDEngine::ReadPositioning,
                                                      InitialPositioningFlags(IsTestStation()));
}

bool RenderCarriageFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                        std::string& szError)
{
    return RenderResultFile<CVerticalCameraVerification_Control>(szFile, iWidth, iHeight, image, szError,
                                                                 &CCenterCCDEngine::ReadCarriage,
                                                                 InitialCarriageFlags(IsTestStation()));
}
