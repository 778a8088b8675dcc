#pragma once
// The program's start: the launcher is created, handed the file named on the
// command line, and run modally; when it ends the program ends.
#include <QString>
#include <string>

class CViewerApp {
public:
    // Always false: no event loop runs after the launcher.
    bool InitInstance(const std::string& szCommandLine);
};

// `lumora [--screenshot OUT.png] [FILE]`. Returns the process exit code.
int RunLumora(int argc, char** argv);

// Waits until the window the user would see (the open viewer, a message box,
// or the launcher when nothing opens) has been shown and painted, saves it as
// PNG and ends the program. The exit code is 0, or 73 when the PNG cannot be
// written, 70 when no window appeared in time.
void StartScreenshotWatch(const QString& szOut);
int ScreenshotExitCode();
