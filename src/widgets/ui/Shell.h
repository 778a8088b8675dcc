#pragma once
// Small pieces of the shell every dialog uses.
#include <QDialog>
#include <functional>
#include <string>

class QPrinter;

// Handles pending window events without waiting, so hidden or freshly drawn
// windows catch up while a long job runs on the interface thread.
void PumpMessages();

// Runs print(); a printer that writes a file (PDF) writes it through a
// temporary beside the file, which takes the file's place only when the
// printing succeeded, as every save of the program does.
bool PrintAtomically(QPrinter& printer, const std::function<bool()>& print);

// Shows every ShowMessage text in a message box over the active window.
void InstallMessageBoxHandler();

// What the viewers show in it while they read or build a picture.
inline constexpr const char* WAIT_TEXT_LOADING = "Please wait while loading";
inline constexpr const char* WAIT_TEXT_GENERATING = "Please wait while generating Picture.";

// The please-wait window: its text is the window title; it centres itself on
// the desktop when shown.
class CWait_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CWait_Dialog(QWidget* pParent = nullptr);
    void SetText(const std::string& szText);
    // Shows the window (not modal) and lets it paint.
    void ShowAndPump();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    std::string m_szText;
};
