#include "viewers/ui/LPFDialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "widgets/ui/LPFControle.h"
#include "viewers/ui/LPFLoading.h"
#include "viewers/ui/StitchNoisePrinting.h"

namespace {

// Installations of one partner ship the viewer for their own files only:
// there the driver package's product record carries Oem 2.
bool IsLoadLocked()
{
    return ReadProductInfo().m_iOem == 2;
}

} // namespace

CLPF_Dialog::CLPF_Dialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("CLPF_Dialog");
    setWindowTitle("View Light Profile");
    setSizeGripEnabled(true);
    auto* pLayout = new QVBoxLayout(this);

    CLpfViewerActions actions;
    actions.m_Open = [this] { if (m_pLoad->isEnabled()) OnLoad(); };
    actions.m_ExportPng = [this](const QString& sz) { return ExportPng(sz); };
    actions.m_ExportCsv = [this](const QString& sz) { return ExportCsv(sz); };
    actions.m_Print = [this] { OnPrint(); };
    actions.m_ZoomIn = [this] { m_pControl->ZoomInAtCenter(); };
    actions.m_ZoomOut = [this] { m_pControl->ZoomOut(); };
    actions.m_ZoomAll = [this] { OnZoomAll(); };
    actions.m_HeaderInfo = [this] { OnHeaderInfo(); };
    pLayout->setMenuBar(MakeLightProfileMenuBar(this, actions));

    m_pControl = new CLPFControle(this);
    m_pControl->setObjectName("lpfArea");
    m_pControl->setMinimumSize(640, 300);
    pLayout->addWidget(m_pControl, 1);
    m_pScroll = new QScrollBar(Qt::Horizontal, this);
    m_pScroll->setObjectName("scrollBar");
    pLayout->addWidget(m_pScroll);
    m_pControl->SetScrollBar(m_pScroll);

    auto* pRow = new QHBoxLayout();
    auto addButton = [&](const char* szText, const char* szName) {
        auto* b = new QPushButton(szText, this);
        b->setObjectName(szName);
        b->setAutoDefault(false);
        pRow->addWidget(b);
        return b;
    };
    m_pLoad = addButton("&Load", "load");
    m_pZoomAll = addButton("&Zoom All", "zoomAll");
    m_pPrint = addButton("&Print", "print");
    m_pSigned32 = new QRadioButton("[-32:31]", this);
    m_pTx64 = new QRadioButton("[0:64[ (TX)", this);
    m_pSigned32->setObjectName("modeSigned32");
    m_pTx64->setObjectName("modeTx64");
    // The two buttons are cleared together after each load, so they do not
    // keep each other exclusive.
    m_pSigned32->setAutoExclusive(false);
    m_pTx64->setAutoExclusive(false);
    pRow->addWidget(m_pSigned32);
    pRow->addWidget(m_pTx64);
    m_pLine = new QLabel(this);
    m_pLine->setObjectName("lpfLine");
    m_pLine->setMinimumWidth(80);
    pRow->addWidget(m_pLine);
    pRow->addStretch(1);
    m_pExit = addButton("E&xit", "exit");
    pLayout->addLayout(pRow);

    connect(m_pLoad, &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(m_pZoomAll, &QPushButton::clicked, this, [this] { OnZoomAll(); });
    connect(m_pPrint, &QPushButton::clicked, this, [this] { OnPrint(); });
    connect(m_pExit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pSigned32, &QRadioButton::clicked, this, [this] { OnModeSigned32(); });
    connect(m_pTx64, &QRadioButton::clicked, this, [this] { OnModeTx64(); });
    connect(m_pControl, &CLPFControle::ReadOutChanged, m_pLine, &QLabel::setText);
    m_Chooser = [this](const QString& szFolder) { return ChooseLightProfileFile(this, szFolder); };
    ResetModeButtons();
    resize(900, 520);
}

void CLPF_Dialog::SetFileName(const std::string& szFile)
{
    m_szFile = szFile;
    m_bFileGiven = true;
}

void CLPF_Dialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bStarted)
        return;
    m_bStarted = true;
    Log_Msg("CLPF_Dialog::OnInitDialog()");
    m_pLoad->setEnabled(!IsLoadLocked());
    if (auto* pOpen = findChild<QAction*>("actionOpen"))
        pOpen->setEnabled(m_pLoad->isEnabled());
    QTimer::singleShot(0, this, [this] {
        if (m_bFileGiven)
            Load(m_szFile);
        else
            OnLoad();
    });
}

void CLPF_Dialog::ResetModeButtons()
{
    const bool bSigned = m_Profile.m_bSigned32Profile;
    m_pSigned32->setChecked(bSigned);
    m_pSigned32->setEnabled(!bSigned);
    m_pTx64->setChecked(false);
    m_pTx64->setEnabled(!bSigned);
}

bool CLPF_Dialog::Load(const std::string& szFile)
{
    Log_Msg_Txt("CLPF_Dialog::Load", szFile);
    CLightProfile profile;
    const LPF_VIEWER_LOAD eResult = LoadIntoViewer(this, szFile, LPF_VIEWER_DIALOG, profile, m_Chooser, m_bHolds);
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
    ResetModeButtons();
    // The plain mode first, so the new samples arrive unconverted; a 32-bit
    // profile is then spread once by choosing its mode.
    m_pControl->SetDisplayMode(LPF_MODE_PROFILE);
    m_pControl->SetData(m_Profile.m_Data.data(), static_cast<int64_t>(m_Profile.m_Data.size()), m_Profile.m_iColor);
    if (m_Profile.m_bSigned32Profile)
        m_pControl->SetDisplayMode(LPF_MODE_SIGNED32);
    setWindowTitle(FromCp1252(LightProfileTitle(m_Profile)));
    return true;
}

void CLPF_Dialog::OnLoad()
{
    const QString sz = m_Chooser ? m_Chooser(QString()) : QString();
    if (!sz.isEmpty())
        Load(sz.toStdString());
}

void CLPF_Dialog::OnZoomAll()
{
    m_pControl->ZoomAll();
}

void CLPF_Dialog::OnModeSigned32()
{
    m_pSigned32->setChecked(true);
    m_pTx64->setChecked(false);
    m_pSigned32->setEnabled(false);
    m_pTx64->setEnabled(false);
    m_pControl->SetDisplayMode(LPF_MODE_SIGNED32);
}

void CLPF_Dialog::OnModeTx64()
{
    m_pTx64->setChecked(true);
    m_pSigned32->setChecked(false);
    m_pSigned32->setEnabled(false);
    m_pTx64->setEnabled(false);
    m_pControl->SetDisplayMode(LPF_MODE_TX64);
}

bool CLPF_Dialog::PrintTo(QPrinter& printer)
{
    printer.setDocName("Printing Light Profile");
    return m_pControl->Print(printer, LightProfilePrintLines(m_Profile));
}

void CLPF_Dialog::OnPrint()
{
    PrintLightProfile(this, m_szPrintFile, [this](QPrinter& printer) { return PrintTo(printer); }, m_szFile);
}

void CLPF_Dialog::OnHeaderInfo()
{
    // Before any file was chosen there is no header to show.
    if (!m_szFile.empty())
        ShowFileHeader(m_szFile);
}

bool CLPF_Dialog::ExportPng(const QString& szFile)
{
    return SavePngAtomically(this, szFile, RenderLPFGraph(m_pControl->Graph(), m_pControl->size()));
}

bool CLPF_Dialog::ExportCsv(const QString& szFile)
{
    return SaveBytesAtomically(this, szFile, QByteArray::fromStdString(LightProfileCsv(m_Profile.m_Data)));
}
