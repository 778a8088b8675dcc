#include "widgets/ui/Shell.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QFile>
#include <QMessageBox>
#include <QPrinter>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"

void PumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void InstallMessageBoxHandler()
{
    SetMessageHandler([](const std::string& szText, const std::string& szCaption) {
        QWidget* pParent = QApplication::activeModalWidget();
        if (!pParent)
            pParent = QApplication::activeWindow();
        QMessageBox box(pParent);
        // Messages are the system's own texts with file names in them; header
        // texts were turned into Unicode where they were put in.
        box.setWindowTitle(szCaption.empty() ? QStringLiteral("Lumora 6") : QString::fromStdString(szCaption));
        box.setText(QFile::decodeName(QByteArray::fromStdString(szText)));
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
    });
}

CWait_Dialog::CWait_Dialog(QWidget* pParent) : QDialog(pParent)
{
    auto* pLayout = new QVBoxLayout(this);
    auto* pLabel = new QLabel(QStringLiteral("Please wait..."), this);
    pLabel->setAlignment(Qt::AlignCenter);
    pLayout->addWidget(pLabel);
    setMinimumWidth(260);
}

void CWait_Dialog::SetText(const std::string& szText)
{
    m_szText = szText;
    if (isVisible())
        setWindowTitle(FromCp1252(m_szText));
}

void CWait_Dialog::showEvent(QShowEvent* pEvent)
{
    setWindowTitle(FromCp1252(m_szText));
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(pScreen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(pEvent);
}

void CWait_Dialog::ShowAndPump()
{
    show();
    raise();
    PumpMessages();
}

bool PrintAtomically(QPrinter& printer, const std::function<bool()>& print)
{
    const QString szTarget = printer.outputFileName();
    if (szTarget.isEmpty())
        return print();
    CAtomicFile file;
    if (!file.Open(QFile::encodeName(szTarget).toStdString()))
        return false;
    printer.setOutputFileName(QFile::decodeName(file.TemporaryPath().c_str()));
    const bool bOk = print();
    printer.setOutputFileName(szTarget);
    return bOk && file.Commit();
}
