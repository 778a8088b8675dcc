#include "testtools/ui/StarTestDialog.h"

#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "testtools/ResultText.h"
#include "testtools/TestFolders.h"
#include "testtools/ui/PictureView.h"
#include "testtools/StarTestPicture.h"

CStarTest_Dialog::CStarTest_Dialog(QWidget* pParent) : QDialog(pParent), m_pEngine(std::make_unique<CStarTestEngine>())
{
    setWindowTitle(QStringLiteral("Star test"));
    resize(900, 600);
    auto* pLayout = new QVBoxLayout(this);
    m_pChart = new CA2_StarTest_Control(this);
    m_pChart->setMinimumSize(600, 400);
    pLayout->addWidget(m_pChart, 1);
    auto* pButtons = new QHBoxLayout;
    m_pLoad = new QPushButton(QStringLiteral("&Load"), this);
    m_pPrint = new QPushButton(QStringLiteral("&Print"), this);
    m_pExit = new QPushButton(QStringLiteral("E&xit"), this);
    pButtons->addWidget(m_pLoad);
    pButtons->addWidget(m_pPrint);
    pButtons->addStretch(1);
    pButtons->addWidget(m_pExit);
    pLayout->addLayout(pButtons);
    connect(m_pLoad, &QPushButton::clicked, this, &CStarTest_Dialog::OnLoad);
    connect(m_pPrint, &QPushButton::clicked, this, &CStarTest_Dialog::OnPrint);
    connect(m_pExit, &QPushButton::clicked, this, &QDialog::reject);
    auto* pOpen = new QShortcut(QKeySequence::Open, this);
    connect(pOpen, &QShortcut::activated, this, &CStarTest_Dialog::OnLoad);
    auto* pPrintKey = new QShortcut(QKeySequence::Print, this);
    connect(pPrintKey, &QShortcut::activated, this, &CStarTest_Dialog::OnPrint);

    layout()->activate();
    m_pChart->InitControl();
    m_pChart->SetData(m_pEngine.get());
    m_pChart->SetPickCallback([this](int32_t a, int32_t b, int32_t) { OnPick(a, b); });
    m_pChart->SetSweepSelectCallback([this](int32_t i) { SelectSweep(i); });
}

CStarTest_Dialog::~CStarTest_Dialog() = default;

void CStarTest_Dialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_bShown) return;
    m_bShown = true;
    if (!m_szFile.empty()) QTimer::singleShot(50, this, [this] { LoadFile(m_szFile); });
}

bool CStarTest_Dialog::LoadFile(const std::string& szFile)
{
    m_pChart->SetBusy(true);
    CBasicTestControl::PumpMessages();
    const bool bOk = m_pEngine->ReadFile(szFile);
    m_szFile = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFile)));
    m_pChart->SetData(m_pEngine.get());
    m_pChart->SetBusy(false);
    std::string szText;
    for (const std::string& m : m_pEngine->m_Messages) szText += (szText.empty() ? "" : "\n") + m;
    if (!szText.empty()) ShowMessage(szText, "Star test");
    return bOk;
}

void CStarTest_Dialog::OnLoad()
{
    m_pChart->SetBusy(true);
    CBasicTestControl::PumpMessages();
    m_pEngine->m_szFolder = TestDataFolder("StarTest");
    const QString szDir = QString::fromStdString(m_pEngine->m_szFolder);
    const QString szFile = QFileDialog::getOpenFileName(this, QStringLiteral("Load star test"), szDir,
                                                        QStringLiteral("Star test (*.txt *.st);;All Files (*)"));
    if (szFile.isEmpty()) {
        m_pChart->SetBusy(false);
        return;
    }
    LoadFile(szFile.toStdString());
}

void CStarTest_Dialog::OnPrint()
{
    m_pChart->Print();
}

void CStarTest_Dialog::SelectSweep(int32_t iRecord)
{
    if (iRecord < 0 || iRecord >= int32_t(m_pEngine->m_Sweeps.size())) return;
    m_pEngine->m_iDisplayed = iRecord;
    m_pChart->SetData(m_pEngine.get());
}

bool CStarTest_Dialog::PrepareMarkedPicture(int32_t iRecord, CPicture& marked, int32_t& iCentreX, int32_t& iCentreY)
{
    if (iRecord < 0 || iRecord >= int32_t(m_pEngine->m_Sweeps.size())) return false;
    const StarTestSweep& s = m_pEngine->m_Sweeps[size_t(iRecord)];
    if (s.m_szRawPictureName.empty() || !std::filesystem::exists(s.m_szRawPictureName)) {
        ShowMessage(Printf("No raw picture found for this sweep.\n%s", s.m_szRawPictureName.empty()
                                                                           ? "(averaged sweeps have none)"
                                                                           : s.m_szRawPictureName.c_str()),
                    "Star test");
        return false;
    }
    std::string szError;
    if (!LoadStarTestRawPicture(s.m_szRawPictureName, marked, szError)) {
        ShowMessage(Printf("%s: %s", s.m_szRawPictureName.c_str(), szError.c_str()), "Star test");
        return false;
    }
    if (iRecord != m_pEngine->m_iAnalysed) {
        // the file holds the station's numbers; the picture shows what they came from
        std::string szTrack;
        if (m_pEngine->AnalyseFromPicture(iRecord, marked, szTrack)) {
            if (iRecord == m_pEngine->m_iDisplayed) {
                // same rows, new curves: the operator keeps the part he zoomed into
                const CZoomWindow zoom = m_pChart->Zoom();
                m_pChart->SetData(m_pEngine.get());
                if (zoom.m_iCount == m_pChart->Zoom().m_iCount) {
                    m_pChart->Zoom() = zoom;
                    m_pChart->SetPickRange(zoom.Visible());
                    m_pChart->Redraw();
                }
            }
        } else {
            Log_Msg(FormatText("CStarTest_Dialog::PrepareMarkedPicture %s: %s", s.m_szRawPictureName.c_str(),
                               szTrack.c_str()));
        }
        m_pEngine->m_iAnalysed = iRecord; // its picture is loaded, lines or not: no second try
    }
    MarkStarTestPicture(s, marked);
    StarTestPickCentre(s, marked, 0, iCentreX, iCentreY);
    return true;
}

void CStarTest_Dialog::OnPick(int32_t iRecord, int32_t iRow)
{
    CPicture marked;
    int32_t x = -1, y = -1;
    if (!PrepareMarkedPicture(iRecord, marked, x, y)) return;
    const StarTestSweep& s = m_pEngine->m_Sweeps[size_t(iRecord)];
    StarTestPickCentre(s, marked, iRow, x, y);
    m_iPickCentreX = x;
    m_iPickCentreY = y;
    Log_Msg(FormatText("CStarTest_Dialog::OnPick sweep %d row %d", iRecord, iRow));
    if (!m_bShowPictureView) return;
    // The unmarked picture stays one click away ("View Marked Pic").
    CPicture raw;
    std::string szError;
    const bool bRaw = LoadStarTestRawPicture(s.m_szRawPictureName, raw, szError);
    CPictureView_Dialog dlg(this);
    dlg.SetPicture(bRaw ? &raw : &marked);
    if (bRaw) dlg.SetMarkedPicture(&marked);
    dlg.SetPresetCentre(x, y, 1);
    dlg.exec();
}

bool RenderStarTestFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image, std::string& szError)
{
    CStarTestEngine engine;
    if (!engine.ReadFile(szFile)) {
        szError = engine.m_Messages.empty() ? szFile + ": cannot be read" : engine.m_Messages[0];
        return false;
    }
    CA2_StarTest_Control chart;
    chart.resize(iWidth + 1, iHeight + 1);
    chart.InitControl();
    chart.SetData(&engine);
    image = chart.RenderImage(iWidth, iHeight);
    return true;
}
