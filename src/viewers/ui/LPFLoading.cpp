#include "viewers/ui/LPFLoading.h"

#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeySequence>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>

#include "widgets/ui/Shell.h"
#include "widgets/ui/UiRegistry.h"
#include "datafiles/Rawdex.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "viewers/ui/LPFScannerSettingsDialog.h"
#include "viewers/ui/StitchNoisePrinting.h"
#include "viewers/ui/ViewerFiles.h"

QString ChooseLightProfileFile(QWidget* parent, const QString& szFolder)
{
    CFileDialogRequest ask;
    ask.m_szTitle = "Load";
    ask.m_Filters = QtFileFilters(kLightProfileFilter);
    ask.m_szSuffix = "con";
    ask.m_szFolder = szFolder;
    ask.m_szName = "*.con";
    return AskForFile(parent, ask);
}

void HandLightProfileFileOver(QWidget* parent, const std::string& szViewer, const std::string& szFile)
{
    Log_Msg_Txt("HandLightProfileFileOver " + szViewer, szFile);
    const ViewerRunner* pRun = CUiRegistry::Instance().FindViewer(szViewer);
    if (pRun && *pRun) {
        CViewerRequest request;
        request.m_szFile = szFile;
        request.m_bFileGiven = true;
        request.m_pParent = parent;
        (*pRun)(request);
        return;
    }
    ShowMessage(FormatText("%s\nis shown by %s, which this build does not include.", szFile.c_str(),
                           szViewer.c_str()));
}

LPF_VIEWER_LOAD LoadIntoViewer(QWidget* parent, std::string szFile, LPF_VIEWER eViewer, CLightProfile& profile,
                               const std::function<QString(const QString& szFolder)>& chooser, bool bHoldsProfile)
{
    // An empty viewer steps aside for the one that shows the file instead of
    // waiting behind it for a second Exit.
    auto handOver = [&](const std::string& szViewer) {
        if (bHoldsProfile || !parent) {
            HandLightProfileFileOver(parent, szViewer, szFile);
            return LPF_VIEWER_KEPT;
        }
        QWidget* pOwner = parent->parentWidget();
        parent->hide();
        HandLightProfileFileOver(pOwner, szViewer, szFile);
        return LPF_VIEWER_HANDED_OVER;
    };
    for (;;) {
        CLightProfileLoad load = LoadLightProfile(szFile, eViewer);
        switch (load.m_eOutcome) {
        case LPF_LOAD_RAWDEX: {
            // The packed files land next to the package; the user picks one of them.
            if (!UnpackRawdexForViewer(szFile))
                return LPF_VIEWER_KEPT;
            const QString szNext = chooser(QFileInfo(QString::fromStdString(szFile)).absolutePath());
            if (szNext.isEmpty())
                return LPF_VIEWER_KEPT;
            szFile = szNext.toStdString();
            continue;
        }
        case LPF_LOAD_HAND_OVER:
            return handOver(load.m_szViewer);
        case LPF_LOAD_ASK_SETTINGS: {
            CScanner_Settings_Dialog dlg(parent);
            if (dlg.exec() != QDialog::Accepted)
                return LPF_VIEWER_END;
            load = LoadLightProfileWithSettings(szFile, dlg.Settings());
            if (load.m_eOutcome == LPF_LOAD_HAND_OVER)
                return handOver(load.m_szViewer);
            break;
        }
        case LPF_LOAD_OK:
        case LPF_LOAD_FAILED:
            break;
        }
        if (load.m_eOutcome == LPF_LOAD_FAILED) {
            ShowMessage(load.m_szError);
            return LPF_VIEWER_KEPT;
        }
        for (const std::string& sz : load.m_Messages)
            ShowMessage(sz);
        profile = std::move(load.m_Profile);
        return LPF_VIEWER_LOADED;
    }
}

bool SaveBytesAtomically(QWidget*, const QString& szFile, const QByteArray& bytes)
{
    std::string szError;
    if (!WriteFileAtomically(QFile::encodeName(szFile).toStdString(), bytes.constData(), size_t(bytes.size()), &szError)) {
        ShowMessage(FormatText("%s\ncannot be written: %s", QFile::encodeName(szFile).constData(), szError.c_str()));
        return false;
    }
    return true;
}

bool SavePngAtomically(QWidget* parent, const QString& szFile, const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return SaveBytesAtomically(parent, szFile, bytes);
}

QMenuBar* MakeLightProfileMenuBar(QDialog* pDialog, const CLpfViewerActions& actions)
{
    auto* pMenuBar = new QMenuBar(pDialog);
    QMenu* pFile = pMenuBar->addMenu("&File");
    if (actions.m_Open) {
        QAction* pOpen = pFile->addAction("&Open...", QKeySequence::Open, pDialog, actions.m_Open);
        pOpen->setObjectName("actionOpen");
        pFile->addSeparator();
    }
    pFile->addAction("Export View as &PNG...", pDialog, [pDialog, exportPng = actions.m_ExportPng] {
        const QString sz = QFileDialog::getSaveFileName(pDialog, "Export View", QString(), "PNG image (*.png)");
        if (!sz.isEmpty())
            exportPng(sz);
    });
    pFile->addAction("Export Samples as &CSV...", pDialog, [pDialog, exportCsv = actions.m_ExportCsv] {
        const QString sz = QFileDialog::getSaveFileName(pDialog, "Export Samples", QString(), "CSV file (*.csv)");
        if (!sz.isEmpty())
            exportCsv(sz);
    });
    pFile->addSeparator();
    pFile->addAction("&Print...", QKeySequence::Print, pDialog, actions.m_Print);
    pFile->addAction("E&xit", pDialog, &QDialog::accept);
    QMenu* pViewMenu = pMenuBar->addMenu("&View");
    pViewMenu->addAction("Zoom &In", QKeySequence(Qt::Key_Plus), pDialog, actions.m_ZoomIn);
    pViewMenu->addAction("Zoom &Out", QKeySequence(Qt::Key_Minus), pDialog, actions.m_ZoomOut);
    pViewMenu->addAction("&Zoom All", QKeySequence(Qt::Key_Home), pDialog, actions.m_ZoomAll);
    pViewMenu->addAction("&Header Information", QKeySequence(Qt::Key_I), pDialog, actions.m_HeaderInfo);
    // "=" shares its key with "+" on most keyboards.
    auto* pEqual = new QShortcut(QKeySequence(Qt::Key_Equal), pDialog);
    QObject::connect(pEqual, &QShortcut::activated, pDialog, actions.m_ZoomIn);
    return pMenuBar;
}

void PrintLightProfile(QWidget* parent, const QString& szPrintFile, const std::function<bool(QPrinter&)>& printTo,
                       const std::string& szDataFile)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName("Printing Light Profile");
    if (!szPrintFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(szPrintFile);
        PrintAtomically(printer, [&] { return printTo(printer); });
        return;
    }
    printer.setDocName(PdfProposal(szDataFile, printer.docName()));
    QPrintDialog dlg(&printer, parent);
    const bool bAccepted = dlg.exec() == QDialog::Accepted;
    printer.setDocName("Printing Light Profile");
    if (bAccepted)
        PrintAtomically(printer, [&] { return printTo(printer); });
}

bool UnpackRawdexForViewer(const std::string& szFile)
{
    ShowMessage("This is a Rawdex packed file,\nand it will now be unpacked.");
    const CRawdexResult result = UnpackRawdex(szFile);
    if (!result.m_bOk) {
        std::string szText = szFile + "\ncould not be unpacked completely.";
        for (const std::string& sz : result.m_Problems)
            szText += "\n" + sz;
        ShowMessage(szText);
    }
    // Whatever was written can still be chosen.
    return !result.m_Written.empty();
}
