#pragma once
// CLPF_Dialog ("View Light Profile" from the launcher): the profile graph
// CLPFControle with its scroll bar and read-out, the display modes, printing,
// and the hand-over of files of other kinds to the viewers that show them.
#include <QDialog>
#include <functional>
#include <string>

#include "viewers/LightProfileFile.h"

class CLPFControle;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollBar;

class CLPF_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CLPF_Dialog(QWidget* parent = nullptr);

    // Setters used by the openers.
    void SetFileName(const std::string& szFile);
    void SetMainDialog(QWidget* pMain) { m_pMain = pMain; }
    // Picks a file for "&Load" and after a Rawdex unpack (tests replace the file dialog).
    void SetFileChooser(std::function<QString(const QString& szFolder)> chooser) { m_Chooser = std::move(chooser); }
    // Printing goes to this PDF instead of the print dialog (headless runs).
    void SetPrintToFile(const QString& szPdf) { m_szPrintFile = szPdf; }

    bool Load(const std::string& szFile);
    const CLightProfile& Profile() const { return m_Profile; }
    CLPFControle* Control() const { return m_pControl; }

    void OnLoad();
    void OnZoomAll();
    void OnPrint();
    void OnHeaderInfo();
    void OnModeSigned32();
    void OnModeTx64();
    bool PrintTo(QPrinter& printer);
    bool ExportPng(const QString& szFile);
    bool ExportCsv(const QString& szFile);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ResetModeButtons();

    CLightProfile m_Profile;
    std::string m_szFile;
    bool m_bFileGiven = false;
    bool m_bStarted = false;
    bool m_bHolds = false; // a profile was loaded
    QWidget* m_pMain = nullptr;
    CLPFControle* m_pControl = nullptr;
    QScrollBar* m_pScroll = nullptr;
    QLabel* m_pLine = nullptr;
    QPushButton* m_pLoad = nullptr;
    QPushButton* m_pZoomAll = nullptr;
    QPushButton* m_pPrint = nullptr;
    QPushButton* m_pExit = nullptr;
    QRadioButton* m_pSigned32 = nullptr;
    QRadioButton* m_pTx64 = nullptr;
    std::function<QString(const QString&)> m_Chooser;
    QString m_szPrintFile;
};
