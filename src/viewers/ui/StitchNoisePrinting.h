#pragma once
// Printing shared by the stitching, noise and camera check views (one page
// per job, to a printer chosen by the user or to a PDF), and the little else
// these dialogs do alike.
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QPainter;
class QPrinter;
class QWidget;

// Paints one page into the page rectangle (device pixels of the printer).
using PagePainter = std::function<void(QPainter& painter, const QRect& page)>;

// One page under the document name; false when the printer cannot be started.
bool PrintOnePage(QPrinter& printer, const QString& szJobTitle, const PagePainter& paint);
// The print dialog, then the page. Shows "Unable to print" when the job fails.
// Printing to a file proposes the data file's name with ".pdf" (the dialog
// takes its proposal from the document name, which is the job title again
// once the dialog has closed).
bool PrintWithDialog(QWidget* pParent, const QString& szJobTitle, const PagePainter& paint,
                     const std::string& szDataFile = {});
// The document name that makes the print dialog propose "<data file>.pdf".
QString PdfProposal(const std::string& szDataFile, const QString& szJobTitle);
bool PrintToPdf(const QString& szPath, const QString& szJobTitle, const PagePainter& paint);

// Text lines from the top of the page in "Courier New", one line step each
// (page height / 72); returns the y below the last line.
int DrawPageLines(QPainter& painter, const QRect& page, const QStringList& lines);

// Key I: the file's header text in a message box.
void ShowFileHeader(const std::string& szFile);

// A dialog opened on a file loads it once the window is up, so a message
// about the file has its owner on screen. Clears bLoadPending.
void LoadWhenShown(QWidget* pDialog, bool& bLoadPending, const std::function<void()>& load);
