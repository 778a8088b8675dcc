#pragma once
// The two live test dialogs: "Scan-Line Positioning" measures while the
// sheet stands still and the operator adjusts, "Mirror Carriage Adjustment"
// scans the sheet's length once and says how far to turn each camera. Both
// set the scanner up on a worker thread while the window keeps pumping, and
// open the result files they save.
#include <QCheckBox>
#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "scanner/Scanner.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"
#include "testtools/ui/LiveTestControls.h"
#include "testtools/ui/SmallTestControls.h"

class CContScan;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QVBoxLayout;

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

// What both dialogs do alike: the engine and the scanner, a file handed over
// before the window opens read 50 ms after it shows, a paint of the dialog
// itself (not of its control) asking the control for one redraw, loading,
// printing, the file dialogs and how a run ends.
class CLiveTestDialog : public QDialog {
public:
    CLiveTestDialog(QWidget* pParent, const char* szCaption);
    ~CLiveTestDialog() override;
    void SetFileName(const std::string& szFile) { m_szFile = szFile; }
    // Reads a result file and shows it; the window then carries the file's name.
    bool LoadFile(const std::string& szFile);
    void OnPrint();
    bool PrintToPdf(const QString& szPath);
    // Exit: while a test runs it stops the test, and the dialog closes once the scanner is at rest.
    void reject() override;

    CCenterCCDEngine& Engine() { return *m_pEngine; }
    // Test settings: the set-up's pauses and the cancel source.
    CLiveTestOptions m_Options;
    int32_t m_iLastError = 0;

protected:
    virtual CLiveTestControlBase* DrawnControl() const = 0;
    virtual bool ReadResult(const std::string& szFile) = 0;
    // The lines at the head of a result of a test run here.
    virtual std::vector<std::string> MeasuredLines(const std::string& szScanner) const = 0;
    virtual bool WriteEngine(const std::string& szFile, const std::vector<std::string>& lines,
                             std::string* pError) const = 0;
    virtual void ShowResult() = 0; // the engine's numbers into the view
    virtual bool Busy() const = 0;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

    std::vector<QPushButton*> AddButtons(QVBoxLayout* pColumn, std::initializer_list<const char*> texts);
    QCheckBox* AddCheck(QVBoxLayout* pColumn, const char* szText, bool bChecked);
    // What both columns begin with: Do Test, Save, Load, Print and the six
    // view boxes (colours, front, rear, section), checked from the flags.
    template <class Flags>
    void AddColumnHead(QVBoxLayout* pColumn, const char* szPrint, const char* szSection, const Flags& f)
    {
        const std::vector<QPushButton*> b = AddButtons(pColumn, {"&Do Test", "&Save", "&Load", szPrint});
        m_pDoTest = b[0], m_pSave = b[1], m_pLoad = b[2], m_pPrint = b[3];
        m_pRed = AddCheck(pColumn, "View &Red", f.m_bRed);
        m_pGreen = AddCheck(pColumn, "View &Green", f.m_bGreen);
        m_pBlue = AddCheck(pColumn, "View &Blue", f.m_bBlue);
        m_pFront = AddCheck(pColumn, "View &Front", f.m_bFront);
        m_pRear = AddCheck(pColumn, "View R&ear", f.m_bRear);
        m_pSection = AddCheck(pColumn, szSection, f.m_bSection);
    }
    // The six view boxes into the flags.
    template <class Flags>
    void ReadViewChecks(Flags& f) const
    {
        f.m_bRed = m_pRed->isChecked();
        f.m_bGreen = m_pGreen->isChecked();
        f.m_bBlue = m_pBlue->isChecked();
        f.m_bFront = m_pFront->isChecked();
        f.m_bRear = m_pRear->isChecked();
        f.m_bSection = m_pSection->isChecked();
    }
    std::string ScannerName();
    std::string ResultFolder();
    std::vector<std::string> ResultLines();
    // The chosen file, empty when the dialog was cancelled (or, for loading, the file is missing).
    std::string AskSaveFile(const char* szName, const char* szExt);
    std::string AskLoadFile(const char* szName, const char* szExt);
    bool WriteResult(const std::string& szFile, const std::vector<std::string>& lines);
    // A run ended: its error is logged and reported (a cancel excepted) and
    // the scanner closed so that the next run opens it afresh.
    void EndRun(int32_t iError, const char* szWho);
    // An Exit that came during the run closes the dialog now.
    void CloseIfAsked();
    CLiveTestControlBase* WithPrintLines();

    const char* m_szCaption;
    std::unique_ptr<CCenterCCDEngine> m_pEngine;
    CScanner m_Scanner;
    std::string m_szFile;
    bool m_bMeasured = false; // the shown result came from a test, not a file
    bool m_bCloseAfterRun = false;
    std::atomic<bool> m_bCancel{false};
    QPushButton *m_pDoTest = nullptr, *m_pSave = nullptr, *m_pLoad = nullptr, *m_pPrint = nullptr, *m_pExit = nullptr;
    QCheckBox *m_pRed = nullptr, *m_pGreen = nullptr, *m_pBlue = nullptr;
    QCheckBox *m_pFront = nullptr, *m_pRear = nullptr, *m_pSection = nullptr;

private:
    bool m_bShown = false, m_bRedrawPending = false;
};

class CAdjustCenterCCD_Dialog : public CLiveTestDialog {
    Q_OBJECT
public:
    explicit CAdjustCenterCCD_Dialog(QWidget* pParent = nullptr);
    ~CAdjustCenterCCD_Dialog() override;

    // While a test runs the name goes to the engine, which writes at its next
    // step; otherwise the result is written at once.
    bool SaveTo(const std::string& szFile);
    void OnDoTest();
    void OnSave();
    void OnLoad();

    CAdjustCenterCCD_Control* Control() const { return m_pControl; }
    CElapsed_Control* ElapsedControl() const { return m_pElapsed; }
    CAdjustCenterCCDFlags& Flags() { return m_Flags; }
    QPushButton* Button(int32_t iId) const; // 10000, 10014, 1117, 1094, 2
    QCheckBox* Check(int32_t iId) const;    // 10002 ... 10009
    bool IsRunning() const { return m_bRunning; }
    void Refresh(); // flags from the check boxes, redraw

    // A run that stops itself after so many measured steps (0: until Exit or Load stops it).
    int32_t m_iStopAfterSteps = 0;

protected:
    CLiveTestControlBase* DrawnControl() const override { return m_pControl; }
    bool ReadResult(const std::string& szFile) override { return m_pEngine->ReadPositioning(szFile); }
    bool WriteEngine(const std::string& szFile, const std::vector<std::string>& lines,
                     std::string* pError) const override
    {
        return m_pEngine->WritePositioning(szFile, lines, pError);
    }
    std::vector<std::string> MeasuredLines(const std::string& szScanner) const override
    {
        return m_pEngine->MakeResultLines(szScanner);
    }
    void ShowResult() override;
    bool Busy() const override { return m_bRunning || m_bSettingUp; }

private:
    int32_t SetUpScanner(); // the worker's part
    void ServeStoreRequest();

    std::unique_ptr<CContScan> m_pScan;
    CAdjustCenterCCDFlags m_Flags;
    CAdjustCenterCCD_Control* m_pControl = nullptr;
    CElapsed_Control* m_pElapsed = nullptr;
    QLabel* m_pElapsedLabel = nullptr;
    bool m_bRunning = false, m_bSettingUp = false;
};

class CVerticalCameraVerification_Dialog : public CLiveTestDialog {
    Q_OBJECT
public:
    explicit CVerticalCameraVerification_Dialog(QWidget* pParent = nullptr);

    bool SaveTo(const std::string& szFile);
    void OnDoTest();
    void OnSave();
    void OnLoad();
    // The speed the next run uses, from the edit (factory mode) or the radio buttons.
    int32_t ApplySpeed();
    void SelectRow(int32_t iRow);

    CVerticalCameraVerification_Control* Control() const { return m_pControl; }
    CVerticalCameraFlags& Flags() { return m_Flags; }
    QPushButton* Button(int32_t iId) const; // 10004, 10018, 10019, 1094, 8
    QCheckBox* Check(int32_t iId) const;    // 10002 ... 10016
    QRadioButton* SpeedRadio(int32_t iChoice) const; // CARRIAGE_FAST ...
    QLineEdit* SpeedEdit() const { return m_pSpeedEdit; }
    QSlider* Slider() const { return m_pSlider; }
    bool IsFactoryMode() const { return m_bFactory; }
    void Refresh();

protected:
    CLiveTestControlBase* DrawnControl() const override { return m_pControl; }
    bool ReadResult(const std::string& szFile) override { return m_pEngine->ReadCarriage(szFile); }
    bool WriteEngine(const std::string& szFile, const std::vector<std::string>& lines,
                     std::string* pError) const override
    {
        return m_pEngine->WriteCarriage(szFile, lines, pError);
    }
    std::vector<std::string> MeasuredLines(const std::string& szScanner) const override
    {
        return CarriageResultLines(*m_pEngine, szScanner);
    }
    void ShowResult() override;
    bool Busy() const override { return m_bRunning; }

private:
    void UpdateSlider();
    void EnableButtons(bool b);

    CVerticalCameraFlags m_Flags;
    CVerticalCameraVerification_Control* m_pControl = nullptr;
    QPushButton* m_pSupport = nullptr;
    QSlider* m_pSlider = nullptr;
    QCheckBox *m_pLineFront = nullptr, *m_pLineRear = nullptr, *m_pAnalyse = nullptr, *m_pCutting = nullptr;
    QLabel* m_pSpeedLabel = nullptr;
    QLineEdit* m_pSpeedEdit = nullptr;
    QGroupBox* m_pSpeedGroup = nullptr;
    QRadioButton* m_pSpeed[3] = {nullptr, nullptr, nullptr};
    bool m_bFactory = false;
    bool m_bRunning = false;
};

// The views `lumora-cli render` draws, with the dialogs' own painting.
bool RenderPositioningFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                           std::string& szError);
bool RenderCarriageFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                        std::string& szError);
// The flags a dialog starts with on this station.
CAdjustCenterCCDFlags InitialPositioningFlags(bool bFactory);
CVerticalCameraFlags InitialCarriageFlags(bool bFactory);
