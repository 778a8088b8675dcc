#pragma once
// Ending on SIGINT and SIGTERM. A command-line program installs the handler
// once; a signal then raises the program-wide cancel request, removes every
// temporary file still being written (CAtomicFile registers them) and ends
// the process with 128 + the signal number (130, 143). Code that polls the
// cancel request itself (the scanner waits) asks for the signal to be left
// to it while it runs; a second signal still ends the process at once.

#include <string>

// Installs the handler for SIGINT and SIGTERM. Blocking reads are not
// restarted after a signal.
void InstallTerminationHandler();

// The signal received so far (SIGINT, SIGTERM), 0 when none.
int TerminationSignal();
// The exit code for that signal: 128 + its number, 0 when none came.
int TerminationExitCode();

// While one lives, the first signal only raises the cancel request and is
// remembered; the caller ends its work and returns TerminationExitCode().
class CCooperativeCancel {
public:
    CCooperativeCancel();
    ~CCooperativeCancel();
    CCooperativeCancel(const CCooperativeCancel&) = delete;
    CCooperativeCancel& operator=(const CCooperativeCancel&) = delete;
};
