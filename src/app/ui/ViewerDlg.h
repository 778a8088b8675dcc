#pragma once
// The launcher: a small window with two viewers and an exit button. A file
// named on the command line is opened 100 ms after the window appears, in the
// one viewer its header names; the launcher ends as soon as that viewer closes.
#include <QDialog>
#include <QRect>
#include <string>
#include <vector>

#include "app/ui/UiRegistry.h"

class QBasicTimer;
class QLabel;
class QPushButton;
class QToolButton;

class CViewerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLoadTimerPeriodMs = 100;

    explicit CViewerDlg(QWidget* pParent = nullptr);
    ~CViewerDlg() override;

    // Stores the name, quotes left out (before the window is shown).
    void SetFileToLoad(const std::string& szText);
    // One log line from the start-up. Logging starts with the window; lines
    // written before that are kept and go first into the log.
    void LogStartupLine(const std::string& szText);
    const std::string& FileToLoad() const { return m_szFileToLoad; }
    bool IsLoadTimerActive() const;
    // What the launcher tells the user below its buttons (which viewer a file
    // needs, why nothing opened).
    QString StatusText() const;
    // The class name of the last viewer the launcher asked for.
    const std::string& LastViewer() const { return m_szLastViewer; }

    // Opens the file as one named on the command line would be (a dropped
    // file, a recent file).
    void OpenFile(const std::string& szFile);

    // Keeps the window out of sight while it stays the owner of a viewer.
    void HideMainWindow();
    void RestoreMainWindow();

public slots:
    void OnViewLightProfile(); // 1001
    void OnViewStitching();    // 1005
    void OnExit();             // 1000
    void OnAbout();

protected:
    void showEvent(QShowEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    void InitDialog();
    void Load();
    // Runs a viewer modally; false when this build has no such viewer (the
    // launcher then says so and stays up).
    bool RunViewer(const std::string& szViewer, CViewerRequest request, bool bHide, bool bClearField);
    void SetStatus(const QString& text);

    std::string m_szFileToLoad;
    std::string m_szLastViewer;
    std::vector<std::string> m_PendingLog;
    QBasicTimer* m_pLoadTimer = nullptr;
    QRect m_SavedNormalRect;
    bool m_bInitDone = false;
    bool m_bHidden = false;
    QPushButton* m_pLightProfile = nullptr;
    QPushButton* m_pStitching = nullptr;
    QPushButton* m_pExit = nullptr;
    QToolButton* m_pAbout = nullptr;
    QToolButton* m_pRecent = nullptr;
    QLabel* m_pStatus = nullptr;
};
