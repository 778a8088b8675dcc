#include "oscilloscope/ui/OscilloscopeDialog.h"

#include <QFile>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "datafiles/Rawdex.h"
#include "datafiles/Settings.h"
#include "oscilloscope/ui/OscilloscopePaint.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "scanner/ScannerVariants.h"
#include "widgets/ui/LPFControle.h"
#include "widgets/ui/Shell.h"
#include "widgets/ui/UiRegistry.h"
#include "widgets/ui/WidthCenterControl.h"

namespace {

const char* const kModeTitles[4] = {"&Normal", "Lig&ht Profile", "Scan &Width", "&Vertical Positioning"};
const int kModeIds[4] = {1103, 1119, 1104, 1105};
const int kCameraIds[OSC_MAX_CAMERAS] = {1084, 1085, 1086, 1087, 1092, 1095, 1096, 1099};
const int kColorIds[3] = {1078, 1079, 1080};
const char* const kColorTitles[3] = {"&Red", "&Green", "B&lue"};

QString Id(int i)
{
    return QString::number(i);
}

// Scanner names whose views show camera letters and the stitch highlight at
// start; the wide production models are recognised by their name's beginning.
bool IsLetteredModel(const std::string& szName)
{
    return szName.rfind("Zel ScanWide", 0) == 0 || szName.rfind("Lumora SimScan", 0) == 0;
}

} // namespace

COscilloscope_Dialog::COscilloscope_Dialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle("Software Oscilloscope");
    setObjectName("582");
    BuildControls();
}

COscilloscope_Dialog::~COscilloscope_Dialog() = default;

void COscilloscope_Dialog::SetFileName(const std::string& szFile)
{
    m_szFile = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    m_bDirectoryMode = false;
}

void COscilloscope_Dialog::SetDirectory(const std::string& szFolder)
{
    m_szFolder = szFolder;
    m_bDirectoryMode = true;
}

void COscilloscope_Dialog::BuildControls()
{
    auto* pMain = new QVBoxLayout(this);
    for (int v = 0; v < 3; ++v) {
        m_pViews[size_t(v)] = new CLPFControle(this);
        m_pBars[size_t(v)] = new QScrollBar(Qt::Horizontal, this);
        m_pViews[size_t(v)]->SetScrollBar(m_pBars[size_t(v)]);
        m_pViews[size_t(v)]->setMinimumSize(v == 0 ? QSize(640, 220) : QSize(300, 180));
        m_pViews[size_t(v)]->setMouseTracking(true);
    }
    m_pViews[0]->setObjectName("1082");
    m_pViews[1]->setObjectName("1081");
    m_pViews[2]->setObjectName("1090");
    m_pBars[0]->setObjectName("1089");
    m_pBars[1]->setObjectName("1083");
    m_pBars[2]->setObjectName("1091");
    m_pViews[0]->installEventFilter(this);
    pMain->addWidget(m_pViews[0], 3);
    pMain->addWidget(m_pBars[0]);

    auto* pDetails = new QHBoxLayout;
    m_pWidth = new CWidthCenter_Control(this);
    m_pWidth->setObjectName("1132");
    m_pWidth->setMinimumSize(150, 180);
    m_pWidth->setMaximumWidth(220);
    m_pWidth->setVisible(false);
    for (int v = 1; v < 3; ++v) {
        auto* pCol = new QVBoxLayout;
        m_pCaptions[size_t(v - 1)] = new QLabel(this);
        pCol->addWidget(m_pViews[size_t(v)], 1);
        pCol->addWidget(m_pBars[size_t(v)]);
        pCol->addWidget(m_pCaptions[size_t(v - 1)]);
        pDetails->addLayout(pCol, 1);
        if (v == 1)
            pDetails->addWidget(m_pWidth);
    }
    pMain->addLayout(pDetails, 2);

    auto* pRow = new QHBoxLayout;
    auto* pColors = new QGroupBox("Color", this);
    auto* pColorBox = new QHBoxLayout(pColors);
    for (int c = 0; c < 3; ++c) {
        m_pColor[size_t(c)] = new QPushButton(kColorTitles[c], this);
        m_pColor[size_t(c)]->setObjectName(Id(kColorIds[c]));
        m_pColor[size_t(c)]->setCheckable(true);
        pColorBox->addWidget(m_pColor[size_t(c)]);
        connect(m_pColor[size_t(c)], &QPushButton::clicked, this, [this, c] { SelectColor(c); });
    }
    pRow->addWidget(pColors);
    auto* pCams = new QGroupBox("Camera", this);
    auto* pCamBox = new QHBoxLayout(pCams);
    for (int c = 0; c < OSC_MAX_CAMERAS; ++c) {
        m_pCamera[size_t(c)] = new QPushButton(QString(QChar('A' + c)), this);
        m_pCamera[size_t(c)]->setObjectName(Id(kCameraIds[c]));
        m_pCamera[size_t(c)]->setCheckable(true);
        m_pCamera[size_t(c)]->setMaximumWidth(32);
        pCamBox->addWidget(m_pCamera[size_t(c)]);
        connect(m_pCamera[size_t(c)], &QPushButton::clicked, this, [this, c] { SelectCamera(c); });
    }
    pRow->addWidget(pCams);
    auto* pModes = new QGroupBox("Detail views", this);
    auto* pModeBox = new QHBoxLayout(pModes);
    for (int m = 0; m < 4; ++m) {
        m_pMode[size_t(m)] = new QRadioButton(kModeTitles[m], this);
        m_pMode[size_t(m)]->setObjectName(Id(kModeIds[m]));
        pModeBox->addWidget(m_pMode[size_t(m)]);
        connect(m_pMode[size_t(m)], &QRadioButton::clicked, this,
                [this, m] { SetViewMode(static_cast<EOscViewMode>(m)); });
    }
    pRow->addWidget(pModes);
    pMain->addLayout(pRow);

    auto* pRow2 = new QHBoxLayout;
    m_pPlay = new QPushButton("Pause", this);
    m_pPlay->setObjectName("play");
    connect(m_pPlay, &QPushButton::clicked, this, [this] {
        if (m_pTimer->isActive())
            m_pTimer->stop();
        else if (m_Rec.m_iLines > 1)
            m_pTimer->start(m_iPause);
        UpdatePlayback();
    });
    m_pLineSlider = new QSlider(Qt::Horizontal, this);
    m_pLineSlider->setObjectName("line");
    connect(m_pLineSlider, &QSlider::valueChanged, this, [this](int v) {
        if (v != m_State.m_iLine && v >= 0 && v < m_Rec.m_iLines) {
            m_State.m_iLine = v;
            Redraw();
        }
    });
    m_pLineLabel = new QLabel(this);
    m_pPauseLabel = new QLabel("Pause (msec):", this);
    m_pPauseLabel->setObjectName("1125");
    m_pPauseSpin = new QSpinBox(this);
    m_pPauseSpin->setObjectName("1124");
    m_pPauseSpin->setRange(OSC_PAUSE_MIN, OSC_PAUSE_MAX);
    m_pPauseSpin->setSingleStep(100);
    m_pPauseSpin->setValue(m_iPause);
    m_pShowFocus = new QCheckBox("Show Focus", this);
    m_pShowFocus->setObjectName("1127");
    connect(m_pShowFocus, &QCheckBox::toggled, this, [this](bool b) { SetFocusDisplay(b); });
    m_pPosition = new QLabel(this);
    m_pPosition->setObjectName("1121");
    m_pPosition->setMinimumWidth(90);
    pRow2->addWidget(m_pPlay);
    pRow2->addWidget(m_pLineSlider, 1);
    pRow2->addWidget(m_pLineLabel);
    pRow2->addWidget(m_pPauseLabel);
    pRow2->addWidget(m_pPauseSpin);
    pRow2->addWidget(m_pShowFocus);
    pRow2->addWidget(m_pPosition);
    pMain->addLayout(pRow2);

    auto* pRow3 = new QHBoxLayout;
    m_pCorrected = new QCheckBox("Corrected", this);
    m_pCorrected->setObjectName("1110");
    m_pUncorrected = new QCheckBox("Uncorrected", this);
    m_pUncorrected->setObjectName("1111");
    m_pCorrected->setEnabled(false);
    m_pUncorrected->setEnabled(false);
    m_pEntryLabel = new QLabel(this);
    m_pEntryLabel->setObjectName("1133");
    m_pChange = new QPushButton("Change", this);
    m_pChange->setObjectName("14001");
    connect(m_pChange, &QPushButton::clicked, this, [this] { ChangeEntry(); });
    m_pAdjust = new QPushButton("Camera Adjustment", this);
    m_pAdjust->setObjectName("adjust");
    m_pAdjust->setToolTip("Analyse the line shown again");
    m_pAdjust->setVisible(false);
    connect(m_pAdjust, &QPushButton::clicked, this, [this] { CameraAdjustment(); });
    m_pNote = new QLabel(this);
    m_pNote->setObjectName("note");
    m_pZoomAll = new QPushButton("&Zoom All", this);
    m_pZoomAll->setObjectName("1093");
    connect(m_pZoomAll, &QPushButton::clicked, this, [this] { ZoomAll(); });
    m_pPrint = new QPushButton("&Print", this);
    m_pPrint->setObjectName("1094");
    connect(m_pPrint, &QPushButton::clicked, this, [this] { Print(); });
    m_pLoad = new QPushButton("Load", this);
    m_pLoad->setObjectName("1117");
    connect(m_pLoad, &QPushButton::clicked, this, [this] { LoadOther(); });
    auto* pExit = new QPushButton("E&xit", this);
    pExit->setObjectName("2");
    connect(pExit, &QPushButton::clicked, this, &QDialog::accept);
    pRow3->addWidget(m_pCorrected);
    pRow3->addWidget(m_pUncorrected);
    pRow3->addWidget(m_pEntryLabel);
    pRow3->addWidget(m_pChange);
    pRow3->addWidget(m_pAdjust);
    pRow3->addWidget(m_pNote, 1);
    pRow3->addWidget(m_pZoomAll);
    pRow3->addWidget(m_pPrint);
    pRow3->addWidget(m_pLoad);
    pRow3->addWidget(pExit);
    pMain->addLayout(pRow3);

    m_pTimer = new QTimer(this);
    connect(m_pTimer, &QTimer::timeout, this, [this] { OnTimerTick(); });
    // The header display command of the accelerator table.
    auto* pHeader = new QShortcut(QKeySequence(Qt::Key_I), this);
    connect(pHeader, &QShortcut::activated, this, [this] { ShowHeader(); });
    for (CLPFControle* p : m_pViews)
        connect(p, &CLPFControle::ViewChanged, this, [] {});
}

void COscilloscope_Dialog::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (m_bStarted)
        return;
    m_bStarted = true;
    // Loaded once the window is up, so a message about the file has its owner on screen.
    QTimer::singleShot(0, this, [this] { InitDialog(); });
}

void COscilloscope_Dialog::InitDialog()
{
    Log_Msg("COscilloscope_Dialog::OnInitDialog()");
    layout()->activate();
    m_pWidth->InitControl();
    m_bTestSettings = FileExistsInNoCase(ProgramDirectory(), "Fct_Tst6.ini");
    if (m_bDirectoryMode) {
        Log_Msg("COscilloscope_Dialog::OnInitDialog() m_bUseOemDirectory==true");
        m_pLoad->setEnabled(false);
        m_pCorrected->hide();
        m_pUncorrected->hide();
        m_pEntryLabel->clear();
        std::string szFolder = m_szFolder;
        if (!szFolder.empty() && szFolder.back() != '/')
            szFolder += '/';
        m_Entries = ScanOscDirectory(szFolder);
        if (m_Entries.empty()) {
            ShowMessage(FormatText("%s\nholds no Oscil_*.con recordings.", szFolder.c_str()));
        } else {
            LoadEntry(0);
        }
    } else {
        m_pChange->hide();
        m_pEntryLabel->hide();
        ReadFile();
        if (m_bHandedOver)
            return;  // the file's own viewer showed it; this window has closed
    }
    m_pPosition->setVisible(m_bTestSettings);
    m_pShowFocus->setVisible(m_bTestSettings);
    Log_Msg("COscilloscope_Dialog::OnInitDialog() 6");
    FitDialog();
    Log_Msg("COscilloscope_Dialog::OnInitDialog() 7");
    UpdatePlayback();
    Log_Msg("COscilloscope_Dialog::OnInitDialog() 8");
    m_pLoad->setVisible(!m_bDirectoryMode);
    Redraw(true);
    Log_Msg("COscilloscope_Dialog::OnInitDialog() 9");
}

bool COscilloscope_Dialog::ReadFile()
{
    if (m_szFile.empty())
        return false;
    std::string szFile = m_szFile;
    for (int iDepth = 0; iDepth < 4; ++iDepth) {
        COscRecording rec;
        const COscReadResult r = ReadOscilloscopeFile(szFile, rec);
        switch (r.m_eOutcome) {
        case OSC_READ_RAWDEX: {
            ShowMessage("This is a Rawdex packed file,\nand it will now be unpacked.");
            const CRawdexResult unpacked = UnpackRawdex(szFile);
            for (const std::string& sz : unpacked.m_Problems)
                ShowMessage(szFile + "\n" + sz);
            const std::string szNext = PickUnpackedRecording(unpacked.m_Written);
            if (szNext.empty())
                return false;
            szFile = szNext;
            continue;
        }
        case OSC_READ_HAND_OVER: {
            Log_Msg_Txt("COscilloscope_Dialog::ReadFile hands over to " + r.m_szViewer, szFile);
            const ViewerRunner* pRun = CUiRegistry::Instance().FindViewer(r.m_szViewer);
            if (pRun && *pRun) {
                CViewerRequest request;
                request.m_szFile = szFile;
                request.m_bFileGiven = true;
                request.m_pParent = parentWidget();
                hide();
                (*pRun)(request);
            } else {
                ShowMessage(FormatText("%s\nis shown by %s, which this build does not include.", szFile.c_str(),
                                       r.m_szViewer.c_str()));
            }
            // The file belonged to another viewer: nothing is left to show here.
            if (!m_bFileLoaded) {
                m_bHandedOver = true;
                reject();
            }
            return false;
        }
        case OSC_READ_FAILED:
            for (const std::string& sz : r.m_Messages)
                ShowMessage(sz);
            ShowMessage(r.m_szError);
            return false;
        case OSC_READ_LOADED:
            for (const std::string& sz : r.m_Messages)
                ShowMessage(sz);
            m_Rec = std::move(rec);
            m_szFile = szFile;
            setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
            m_bFileLoaded = true;
            if (m_bResetCamera)
                m_State.m_iCamera = 0;
            m_State.m_iLine = 0;
            m_FocusData = CFocusData();
            m_pFocusScanner.reset();
            m_pFocus.reset();
            setWindowTitle(QString("Software Oscilloscope - ") + QFileInfo(QString::fromStdString(szFile)).fileName());
            return true;
        }
    }
    return false;
}

void COscilloscope_Dialog::FitDialog()
{
    Log_Msg("COscilloscope_Dialog::FitDialog()");
    m_State.m_eMode = OSC_VIEW_NORMAL;
    m_pMode[0]->setChecked(true);
    m_State.m_iCamera = 0;
    Log_Msg("COscilloscope_Dialog::FitDialog() 2");
    UpdateColorButtons();
    for (int c = 0; c < OSC_MAX_CAMERAS; ++c) {
        const bool bExists = m_bFileLoaded && c < m_Rec.m_iCameraCount && m_Rec.m_CameraPix[size_t(c)] >= 10;
        m_pCamera[size_t(c)]->setVisible(bExists);
        m_pCamera[size_t(c)]->setChecked(c == 0);
    }
    Log_Msg("COscilloscope_Dialog::FitDialog() 3");
    m_pCorrected->setChecked(m_bFileLoaded && m_Rec.m_bCorrected);
    m_pUncorrected->setChecked(m_bFileLoaded && !m_Rec.m_bCorrected);
    const bool bLettered = m_bFileLoaded && IsLetteredModel(m_Rec.m_szScannerName);
    m_pViews[0]->Graph().SetCameraLetters(bLettered);
    Log_Msg("COscilloscope_Dialog::FitDialog() 4");
    m_pShowFocus->setEnabled(m_bFileLoaded && m_Rec.m_iLines > 1);
    m_pLineSlider->setRange(0, static_cast<int>(std::max<int64_t>(0, m_Rec.m_iLines - 1)));
    Redraw(true);
    Log_Msg("COscilloscope_Dialog::FitDialog() 5");
    CameraAdjustment();
}

bool COscilloscope_Dialog::AdjustmentApplies() const
{
    return m_bFileLoaded && CameraAdjustmentApplies(m_Rec.m_iGeneration, m_Rec.m_iCameraCount);
}

void COscilloscope_Dialog::UpdateWidthControl()
{
    const int32_t c = std::clamp(m_State.m_iCamera, 0, OSC_MAX_CAMERAS - 1);
    // The width gauge allows a pixel, the centre gauge the alignment's move limit.
    constexpr double kWidthTolerance = 1.0, kCenterTolerance = 0.95, kMaximum = 100.0;
    if (m_bFileLoaded && m_Rec.m_bMTF) {
        m_pWidth->SetActive(true, true);
        m_pWidth->SetValues(kWidthTolerance, kMaximum, m_Rec.Mtf(OSC_MTF_WIDTH, c) / 100.0, kCenterTolerance, kMaximum,
                            m_Rec.Mtf(OSC_MTF_CENTER, c) / 100.0);
        m_pWidth->setVisible(true);
        return;
    }
    if (!AdjustmentApplies()) {
        m_pWidth->setVisible(false);
        return;
    }
    // A gray recording is not analysed: the gauges stay grey.
    m_pWidth->SetActive(m_Adjust.m_bWidthMeasured[size_t(c)], m_Adjust.m_bMeasured[size_t(c)]);
    m_pWidth->SetValues(kWidthTolerance, kMaximum, m_Adjust.m_dWidth[size_t(c)], kCenterTolerance, kMaximum,
                        m_Adjust.m_dDistance[size_t(c)]);
    m_pWidth->setVisible(true);
}

void COscilloscope_Dialog::CameraAdjustment()
{
    const bool bApplies = AdjustmentApplies();
    m_pAdjust->setVisible(bApplies);
    m_pAdjust->setEnabled(bApplies);
    m_pMode[1]->setText(bApplies ? "Camera Adjustment" : kModeTitles[1]);
    if (!bApplies) {
        m_Adjust = COscAdjustResult();
        m_pNote->clear();
        if (m_bFileLoaded && m_Rec.m_bMTF)
            m_pNote->setText(QString::fromStdString(MtfText(m_Rec)));
        UpdateWidthControl();
        return;
    }
    m_Adjust = m_Adjustment.Run(m_Rec, m_State.m_iLine);
    m_pNote->setText(QString::fromStdString(m_Adjust.Text()));
    // Each camera's result is tagged on the overview at its lens axis.
    Redraw();
}

void COscilloscope_Dialog::UpdateColorButtons()
{
    const bool bGray = !m_bFileLoaded || m_Rec.IsGray();
    if (bGray && m_bFileLoaded)
        m_State.m_iSelection = 1;
    m_pColor[0]->setVisible(!bGray);
    m_pColor[2]->setVisible(!bGray);
    m_pColor[1]->setText(bGray ? "Gray" : kColorTitles[1]);
    for (int c = 0; c < 3; ++c)
        m_pColor[size_t(c)]->setChecked(PlaneOfSelection(m_State.m_iSelection) == c);
}

void COscilloscope_Dialog::UpdatePlayback()
{
    const bool bMany = m_bFileLoaded && m_Rec.m_iLines > 1;
    if (bMany && !m_pTimer->isActive() && m_pPlay->text() == "Pause")
        m_pTimer->start(m_iPause);
    if (!bMany)
        m_pTimer->stop();
    for (QWidget* p : std::initializer_list<QWidget*>{m_pPauseSpin, m_pPauseLabel, m_pPlay, m_pLineSlider,
                                                      m_pLineLabel})
        p->setVisible(bMany);
    m_pPauseSpin->setValue(m_iPause);
    m_pPlay->setText(m_pTimer->isActive() ? "Pause" : "Play");
}

bool COscilloscope_Dialog::TimerRunning() const
{
    return m_pTimer->isActive();
}

void COscilloscope_Dialog::OnTimerTick()
{
    if (!m_bFileLoaded || m_Rec.m_iLines <= 0)
        return;
    m_State.m_iLine = (m_State.m_iLine + 1) % m_Rec.m_iLines;
    const int32_t iNext = NextPause(m_iPause, m_pPauseSpin->value());
    if (iNext != m_iPause || !m_pTimer->isActive()) {
        m_iPause = iNext;
        if (m_pTimer->isActive())
            m_pTimer->start(m_iPause);
    }
    Redraw();
}

void COscilloscope_Dialog::Redraw(bool bResetDetails)
{
    if (!m_bFileLoaded) {
        for (CLPFControle* p : m_pViews)
            p->Refresh();
        return;
    }
    const std::vector<int32_t>* pContrast = nullptr;
    if (m_State.m_bFocus && m_pFocus) {
        FillFocusData(m_Rec, m_State.m_iLine, m_State.m_iSelection, m_FocusData);
        m_pFocus->Evaluate(m_FocusData);
        pContrast = &m_pFocus->Contrast();
    }
    m_Views.Apply(m_Rec, m_State, m_pViews[0]->Graph(), m_pViews[1]->Graph(), m_pViews[2]->Graph(), bResetDetails,
                  pContrast, m_Adjust.m_bRan ? &m_Adjust.m_dMarks : nullptr);
    const std::vector<uint8_t> tags = AdjustmentTags(m_Rec, m_Adjust);
    m_pViews[0]->Graph().SetTags(tags.data(), static_cast<int64_t>(tags.size()));
    for (CLPFControle* p : m_pViews)
        p->Refresh();
    const COscMarks* pMarks = m_Adjust.m_bRan ? &m_Adjust.m_dMarks : nullptr;
    m_pCaptions[0]->setText(FromCp1252(COscilloscopeViews::DetailCaption(m_Rec, m_State, true, pMarks)));
    m_pCaptions[1]->setText(FromCp1252(COscilloscopeViews::DetailCaption(m_Rec, m_State, false, pMarks)));
    UpdateWidthControl();
    {
        const QSignalBlocker block(m_pLineSlider);
        m_pLineSlider->setValue(static_cast<int>(m_State.m_iLine));
    }
    m_pLineLabel->setText(QString("Line %1 of %2").arg(m_State.m_iLine + 1).arg(m_Rec.m_iLines));
}

const std::vector<int32_t>& COscilloscope_Dialog::Contrast() const
{
    static const std::vector<int32_t> kNone;
    return m_pFocus ? m_pFocus->Contrast() : kNone;
}

void COscilloscope_Dialog::SelectColor(int32_t iSelection)
{
    if (!m_bFileLoaded)
        return;
    m_State.m_iSelection = m_Rec.IsGray() ? 1 : std::clamp(iSelection, 0, 2);
    UpdateColorButtons();
    Redraw();
}

void COscilloscope_Dialog::SelectCamera(int32_t iCamera)
{
    if (!m_bFileLoaded || iCamera < 0 || iCamera >= m_Rec.m_iCameraCount)
        return;
    m_State.m_iCamera = iCamera;
    for (int c = 0; c < OSC_MAX_CAMERAS; ++c)
        m_pCamera[size_t(c)]->setChecked(c == iCamera);
    Redraw(true);
}

void COscilloscope_Dialog::SetViewMode(EOscViewMode eMode)
{
    if (!m_bFileLoaded)
        return;
    // The light profile button reads "Camera Adjustment" where that applies.
    if (eMode == OSC_VIEW_LIGHT_PROFILE && AdjustmentApplies())
        eMode = OSC_VIEW_CAMERA_ADJUSTMENT;
    m_State.m_eMode = EffectiveViewMode(eMode, m_Rec.m_iCameraCount);
    m_pMode[m_State.m_eMode == OSC_VIEW_CAMERA_ADJUSTMENT ? 1 : size_t(m_State.m_eMode)]->setChecked(true);
    Redraw(true);
}

void COscilloscope_Dialog::ZoomAll()
{
    if (!m_bFileLoaded)
        return;
    m_pViews[0]->ZoomAll();
}

void COscilloscope_Dialog::SetFocusDisplay(bool bOn)
{
    if (!m_bFileLoaded || m_Rec.m_iLines <= 1)
        bOn = false;
    if (bOn && !m_pFocus) {
        m_pFocusScanner = std::make_unique<CSimScanner>(m_Rec.m_iCameraCount, 0, m_Rec.m_szScannerName,
                                                        m_Rec.m_bColorScanner);
        m_pFocus = std::make_unique<CFocusEvaluation>(m_pFocusScanner.get());
    }
    m_State.m_bFocus = bOn;
    {
        const QSignalBlocker block(m_pShowFocus);
        m_pShowFocus->setChecked(bOn);
    }
    Redraw();
}

QString COscilloscope_Dialog::PositionText(int32_t iX) const
{
    const std::vector<int64_t>& table = m_pViews[0]->ReadOutTable();
    const CLPFGraph& g = m_pViews[0]->Graph();
    if (!m_bFileLoaded || iX < 0 || iX >= static_cast<int32_t>(table.size()))
        return QString();
    const int64_t i = table[size_t(iX)];
    if (i < 0 || i >= g.Count() || g.Samples(0).empty())
        return QString();
    return QString::asprintf("%d (%d)", static_cast<int>(i), static_cast<int>(g.Samples(0)[size_t(i)]));
}

bool COscilloscope_Dialog::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pObject == m_pViews[0] && pEvent->type() == QEvent::MouseMove)
        m_pPosition->setText(PositionText(static_cast<QMouseEvent*>(pEvent)->position().toPoint().x()));
    else if (pObject == m_pViews[0] && pEvent->type() == QEvent::Leave)
        m_pPosition->clear();
    return QDialog::eventFilter(pObject, pEvent);
}

void COscilloscope_Dialog::ShowHeader()
{
    if (m_szFile.empty())
        return;
    std::string szText;
    OscHeaderInfo(m_szFile, szText);
    ShowMessage(szText);
}

void COscilloscope_Dialog::LoadEntry(size_t iEntry)
{
    if (m_Entries.empty())
        return;
    m_iEntry = DirEntryIndex(iEntry, m_Entries.size());
    m_szFile = m_Entries[m_iEntry].m_szPath;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    m_bFileLoaded = false;
    ReadFile();
    m_pEntryLabel->setText(QString::fromStdString(m_Entries[m_iEntry].Label()));
    UpdateColorButtons();
}

void COscilloscope_Dialog::ChangeEntry()
{
    if (m_Entries.empty())
        return;
    QStringList labels;
    for (const COscDirEntry& e : m_Entries)
        labels << QString::fromStdString(e.Label());
    bool bOk = false;
    const QString sz = QInputDialog::getItem(this, "Change", "Recording:", labels, static_cast<int>(m_iEntry), false,
                                             &bOk);
    if (!bOk)
        return;
    LoadEntry(static_cast<size_t>(std::max<qsizetype>(0, labels.indexOf(sz))));
    FitDialog();
    UpdatePlayback();
}

void COscilloscope_Dialog::LoadOther()
{
    QFileDialog dlg(this);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix("con");
    dlg.setNameFilters({"Oscilloscope file (*.CON) (*.con *.CON)", "All Files (*.*) (*)"});
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const std::string szOld = m_szFile;
    m_szFile = dlg.selectedFiles().first().toStdString();
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    const bool bWasLoaded = m_bFileLoaded;
    m_bFileLoaded = false;
    if (!ReadFile()) {
        m_szFile = szOld;
        setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
        m_bFileLoaded = bWasLoaded;
        return;
    }
    FitDialog();
    UpdatePlayback();
    Redraw(true);
}

bool COscilloscope_Dialog::PrintTo(QPrinter& printer)
{
    return PrintAtomically(printer, [&] {
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        PaintOscilloscopePage(painter, painter.viewport(), m_pViews[0]->Graph(), m_pViews[1]->Graph(),
                              m_pViews[2]->Graph(), PrintHeader());
        return painter.end();
    });
}

void COscilloscope_Dialog::Print()
{
    if (!m_bFileLoaded)
        return;
    QPrinter printer;
    printer.setDocName("Software Oscilloscope");
    QPrintDialog dlg(&printer, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (!PrintTo(printer))
        ShowMessage("Unable to print");
}
