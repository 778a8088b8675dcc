#include "viewers/ui/StitchNoisePrinting.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include "platform/Messages.h"
#include "widgets/ui/Shell.h"
#include "viewers/LightProfileFile.h"

bool PrintOnePage(QPrinter& printer, const QString& szJobTitle, const PagePainter& paint)
{
    printer.setDocName(szJobTitle);
    return PrintAtomically(printer, [&] {
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QRect page(0, 0, printer.width(), printer.height());
        paint(painter, page);
        return painter.end();
    });
}

QString PdfProposal(const std::string& szDataFile, const QString& szJobTitle)
{
    // The dialog drops the document name's last extension and adds ".pdf".
    const QString szName = QFileInfo(QFile::decodeName(szDataFile.c_str())).fileName();
    return szName.isEmpty() || szDataFile.back() == '/' ? szJobTitle : szName;
}

bool PrintWithDialog(QWidget* pParent, const QString& szJobTitle, const PagePainter& paint,
                     const std::string& szDataFile)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(PdfProposal(szDataFile, szJobTitle));
    QPrintDialog dialog(&printer, pParent);
    dialog.setWindowTitle(szJobTitle);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QApplication::processEvents();
    if (!PrintOnePage(printer, szJobTitle, paint)) {
        ShowMessage("Unable to print", szJobTitle.toStdString());
        return false;
    }
    return true;
}

bool PrintToPdf(const QString& szPath, const QString& szJobTitle, const PagePainter& paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(szPath);
    return PrintOnePage(printer, szJobTitle, paint);
}

int DrawPageLines(QPainter& painter, const QRect& page, const QStringList& lines)
{
    const int iStep = std::max(1, page.height() / 72);
    QFont font("Courier New");
    font.setPixelSize(iStep);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int iX = page.left() + page.width() / 10;
    int iY = page.top() + page.height() / 20;
    for (const QString& sz : lines) {
        painter.drawText(iX, iY + iStep, sz);
        iY += iStep;
    }
    return iY + iStep;
}

void ShowFileHeader(const std::string& szFile)
{
    std::string szText;
    LightProfileHeaderInfo(szFile, szText);
    ShowMessage(szText);
}

void LoadWhenShown(QWidget* pDialog, bool& bLoadPending, const std::function<void()>& load)
{
    if (!bLoadPending)
        return;
    bLoadPending = false;
    QTimer::singleShot(0, pDialog, load);
}
