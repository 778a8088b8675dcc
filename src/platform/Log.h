#pragma once
// The logging and run-time services the whole system leans on: one log line
// per call, a program-wide cancel request, date/time texts and the failed
// camera mark.
#include <cstdint>
#include <string>

// Starts logging for the run. The file goes to szDirectory (the program
// directory) when that is a writable build tree, never into an installation,
// else to $XDG_STATE_HOME/lumora (default ~/.local/state/lumora);
// LUMORA_LOG_DIR, when set, wins over both. Lines logged before log_Init are
// dropped.
void log_Init(const std::string& szAppName, const std::string& szLogFileName, const std::string& szDirectory);
// Full path of the log file in use, empty before log_Init.
std::string log_FilePath();
// Stops logging and closes the file (tests; the program simply ends).
void log_Close();

void Log_Msg(const std::string& szText, bool bFlag = false);
// True while a log file is open. Code that logs on every scan block asks
// first, so that formatting costs nothing when nobody writes the log.
bool log_IsOn();
// Log_Msg(FormatText(...)), formatted only when the log is on.
#define LOG_FORMATTED(...)                         \
    do {                                           \
        if (log_IsOn())                            \
            Log_Msg(FormatText(__VA_ARGS__));      \
    } while (0)
void log_msg(const std::string& szText, bool bFlag);
void Log_Msg_Int(const std::string& szText, int32_t iValue);
void Log_Msg_Hex(const std::string& szText, int32_t iValue);
void Log_Msg_Double(const std::string& szText, double dValue);
void Log_Msg_Char(const std::string& szText, char cValue);
void Log_Msg_Txt(const std::string& szText, const std::string& szText2);

// printf-style formatting into a bounded buffer, as every log call site does.
std::string FormatText(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));

class CCancel {
public:
    static bool IsCancelRequested();
    static void SetCancelled();
    // Raised by the Cancel/Exit buttons, Esc in test dialogs and SIGINT in the
    // command-line tool. Safe to call from a signal handler.
    static void RequestCancel();
};

class CDateTime {
public:
    static CDateTime Now();
    std::string DateString() const; // "dd.MM.yyyy"
    std::string TimeString() const; // "HH:mm:ss"
    int m_iYear = 0, m_iMonth = 0, m_iDay = 0, m_iHour = 0, m_iMinute = 0, m_iSecond = 0;
};

class CCamera {
public:
    static void SetGlobalCameraFailed(int iCamera);
    static bool IsGlobalCameraFailed(int iCamera); // for tests and diagnostics only
};
