#pragma once
// The two live test dialogs: "Scan-Line Positioning" measures while the
// sheet stands still and the operator adjusts, "Mirror Carriage Adjustment"
// scans the sheet's length once and says how far to turn each camera. Both
// set the scanner up on a worker thread while the window keeps pumping, and
// open the result files they save.
#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "scanner/Scanner.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"
#include "testtools/ui/LiveTestControls.h"
#include "testtools/ui/SmallTestControls.h"

class CContScan;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

// Stands in for the file dialogs (tests): returns the chosen file, empty for cancel.
struct CLiveFileRequest {
    bool m_bSave = false;
    QString m_szTitle, m_szFolder, m_szName;
    QStringList m_Filters;
};
using LiveFileDialogHook = std::function<QString(QWidget* pParent, const CLiveFileRequest& request)>;
void SetLiveFileDialogHook(LiveFileDialogHook hook);
// "Name (*.ext)|*.ext|All Files (*.*)|*.*||" in Qt's form, patterns in both cases.
QStringList LiveQtFilters(const std::string& szFilter);

// Runs fn on a worker thread and waits for it while the window keeps
// handling its events.
void RunOnWorker(const std::function<void()>& fn);

// What both dialogs do alike: a file handed over before the window opens is
// read 50 ms after it shows, and a paint of the dialog itself (not of its
// control) asks the control for one redraw.
class CLiveTestDialog : public QDialog {
public:
    using QDialog::QDialog;
    void SetFileName(const std::string& szFile) { m_szFile = szFile; }
    virtual bool LoadFile(const std::string& szFile) = 0;

protected:
    virtual CLiveTestControlBase* DrawnControl() const = 0;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

    std::string m_szFile;

private:
    bool m_bShown = false, m_bRedrawPending = false;
};

class CAdjustCenterCCD_Dialog : public CLiveTestDialog {
    Q_OBJECT
public:
    explicit CAdjustCenterCCD_Dialog(QWidget* pParent = nullptr);
    ~CAdjustCenterCCD_Dialog() override;

    bool LoadFile(const std::string& szFile) override;
    // While a test runs the name goes to the engine, which writes at its next
    // step; otherwise the result is written at once.
    bool SaveTo(const std::string& szFile);
    void OnDoTest();
    void OnSave();
    void OnLoad();
    void OnPrint();
    bool PrintToPdf(const QString& szPath);
    // Exit: while a test runs it stops the test, and the dialog closes once the scanner is at rest.
    void reject() override;

    CCenterCCDEngine& Engine() { return *m_pEngine; }
    CAdjustCenterCCD_Control* Control() const { return m_pControl; }
    CElapsed_Control* ElapsedControl() const { return m_pElapsed; }
    CAdjustCenterCCDFlags& Flags() { return m_Flags; }
    QPushButton* Button(int32_t iId) const; // 10000, 10014, 1117, 1094, 2
    QCheckBox* Check(int32_t iId) const;    // 10002 ... 10009
    bool IsRunning() const { return m_bRunning; }
    void Refresh(); // flags from the check boxes, redraw

    // Test settings: the set-up's pauses, and a run that stops itself after
    // so many measured steps (0: until Exit or Load stops it).
    CLiveTestOptions m_Options;
    int32_t m_iStopAfterSteps = 0;
    bool m_bReportErrors = true; // ReportError for scanner errors (tests look at the log instead)
    int32_t m_iLastError = 0;

protected:
    CLiveTestControlBase* DrawnControl() const override { return m_pControl; }
    void closeEvent(QCloseEvent* e) override;

private:
    int32_t SetUpScanner(); // the worker's part
    void ServeStoreRequest();
    void UpdatePrintLines();
    std::string ResultFolder();

    std::unique_ptr<CCenterCCDEngine> m_pEngine;
    CScanner m_Scanner;
    std::unique_ptr<CContScan> m_pScan;
    CAdjustCenterCCDFlags m_Flags;
    CAdjustCenterCCD_Control* m_pControl = nullptr;
    CElapsed_Control* m_pElapsed = nullptr;
    QLabel* m_pElapsedLabel = nullptr;
    QPushButton *m_pDoTest = nullptr, *m_pSave = nullptr, *m_pLoad = nullptr, *m_pPrint = nullptr, *m_pExit = nullptr;
    QCheckBox *m_pRed = nullptr, *m_pGreen = nullptr, *m_pBlue = nullptr;
    QCheckBox *m_pFront = nullptr, *m_pRear = nullptr, *m_pSection = nullptr;
    bool m_bRunning = false, m_bSettingUp = false;
    bool m_bCloseAfterStop = false;
    bool m_bMeasured = false; // the shown result came from a test, not a file
    std::atomic<bool> m_bCancel{false};
};

class CVerticalCameraVerification_Dialog : public CLiveTestDialog {
    Q_OBJECT
public:
    explicit CVerticalCameraVerification_Dialog(QWidget* pParent = nullptr);
    ~CVerticalCameraVerification_Dialog() override;

    bool LoadFile(const std::string& szFile) override;
    bool SaveTo(const std::string& szFile);
    void OnDoTest();
    void OnSave();
    void OnLoad();
    void OnPrint();
    bool PrintToPdf(const QString& szPath);
    // The speed the next run uses, from the edit (factory mode) or the radio buttons.
    int32_t ApplySpeed();
    void SelectRow(int32_t iRow);
    void reject() override;

    CCenterCCDEngine& Engine() { return *m_pEngine; }
    CVerticalCameraVerification_Control* Control() const { return m_pControl; }
    CVerticalCameraFlags& Flags() { return m_Flags; }
    QPushButton* Button(int32_t iId) const; // 10004, 10018, 10019, 1094, 8
    QCheckBox* Check(int32_t iId) const;    // 10002 ... 10016
    QRadioButton* SpeedRadio(int32_t iChoice) const; // CARRIAGE_FAST ...
    QLineEdit* SpeedEdit() const { return m_pSpeedEdit; }
    QSlider* Slider() const { return m_pSlider; }
    bool IsFactoryMode() const { return m_bFactory; }
    void Refresh();

    CLiveTestOptions m_Options;
    bool m_bReportErrors = true;
    int32_t m_iLastError = 0;

protected:
    CLiveTestControlBase* DrawnControl() const override { return m_pControl; }
    void closeEvent(QCloseEvent* e) override;

private:
    void UpdateSlider();
    void UpdatePrintLines();
    void EnableButtons(bool b);
    std::string ResultFolder();

    std::unique_ptr<CCenterCCDEngine> m_pEngine;
    CScanner m_Scanner;
    CVerticalCameraFlags m_Flags;
    CVerticalCameraVerification_Control* m_pControl = nullptr;
    QPushButton *m_pDoTest = nullptr, *m_pSave = nullptr, *m_pLoad = nullptr, *m_pPrint = nullptr, *m_pExit = nullptr;
    QPushButton* m_pSupport = nullptr;
    QSlider* m_pSlider = nullptr;
    QCheckBox *m_pRed = nullptr, *m_pGreen = nullptr, *m_pBlue = nullptr;
    QCheckBox *m_pFront = nullptr, *m_pRear = nullptr, *m_pSection = nullptr;
    QCheckBox *m_pLineFront = nullptr, *m_pLineRear = nullptr, *m_pAnalyse = nullptr, *m_pCutting = nullptr;
    QLabel* m_pSpeedLabel = nullptr;
    QLineEdit* m_pSpeedEdit = nullptr;
    QGroupBox* m_pSpeedGroup = nullptr;
    QRadioButton* m_pSpeed[3] = {nullptr, nullptr, nullptr};
    bool m_bFactory = false;
    bool m_bRunning = false;
    bool m_bCloseAfterRun = false;
    bool m_bMeasured = false;
    std::atomic<bool> m_bCancel{false};
};

// The views `lumora-cli render` draws, with the dialogs' own painting.
bool RenderPositioningFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                           std::string& szError);
bool RenderCarriageFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                        std::string& szError);
// The flags a dialog starts with on this station.
CAdjustCenterCCDFlags InitialPositioningFlags(bool bFactory);
CVerticalCameraFlags InitialCarriageFlags(bool bFactory);
