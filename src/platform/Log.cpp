#include "platform/Log.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Signals.h"

namespace {
std::mutex g_LogMutex;
std::FILE* g_pLog = nullptr;
std::string g_szLogPath;
std::string g_szAppName;
std::atomic<bool> g_bCancel{false};
std::atomic<bool> g_bLogOn{false};
std::atomic<uint8_t> g_FailedCameras{0};

void WriteLine(const std::string& szLine)
{
    std::lock_guard<std::mutex> lock(g_LogMutex);
    if (!g_pLog)
        return;
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const int iMillis = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tmLocal{};
    localtime_r(&t, &tmLocal);
    std::fprintf(g_pLog, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s\n", tmLocal.tm_year + 1900, tmLocal.tm_mon + 1,
                 tmLocal.tm_mday, tmLocal.tm_hour, tmLocal.tm_min, tmLocal.tm_sec, iMillis, szLine.c_str());
    std::fflush(g_pLog);
}
} // namespace

void log_Init(const std::string& szAppName, const std::string& szLogFileName, const std::string& szDirectory)
{
    std::string szDir;
    if (const char* pOverride = std::getenv("LUMORA_LOG_DIR"); pOverride && *pOverride)
        szDir = pOverride;
    else if (const std::string szProgram = WritableProgramFolder(szDirectory); !szProgram.empty())
        szDir = szProgram;
    else
        szDir = StateFolder();
    std::error_code ec;
    std::filesystem::create_directories(szDir, ec);
    if (!szDir.empty() && szDir.back() != '/')
        szDir += '/';

    std::lock_guard<std::mutex> lock(g_LogMutex);
    if (g_pLog)
        std::fclose(g_pLog);
    g_szAppName = szAppName;
    g_szLogPath = szDir + szLogFileName;
    g_pLog = std::fopen(g_szLogPath.c_str(), "a");
    if (!g_pLog)
        g_szLogPath.clear();
    g_bLogOn = g_pLog != nullptr;
}

bool log_IsOn()
{
    return g_bLogOn.load(std::memory_order_relaxed);
}

std::string log_FilePath()
{
    std::lock_guard<std::mutex> lock(g_LogMutex);
    return g_szLogPath;
}

void log_Close()
{
    std::lock_guard<std::mutex> lock(g_LogMutex);
    if (g_pLog)
        std::fclose(g_pLog);
    g_pLog = nullptr;
    g_bLogOn = false;
    g_szLogPath.clear();
}

void Log_Msg(const std::string& szText, bool bFlag)
{
    WriteLine(bFlag ? "! " + szText : szText);
}

void log_msg(const std::string& szText, bool bFlag)
{
    Log_Msg(szText, bFlag);
}

void Log_Msg_Int(const std::string& szText, int32_t iValue)
{
    WriteLine(szText + " " + std::to_string(iValue));
}

void Log_Msg_Hex(const std::string& szText, int32_t iValue)
{
    WriteLine(szText + FormatText(" 0x%08X", static_cast<uint32_t>(iValue)));
}

void Log_Msg_Double(const std::string& szText, double dValue)
{
    WriteLine(szText + FormatText(" %g", dValue));
}

void Log_Msg_Char(const std::string& szText, char cValue)
{
    WriteLine(szText + " " + std::string(1, cValue));
}

void Log_Msg_Txt(const std::string& szText, const std::string& szText2)
{
    WriteLine(szText + " " + szText2);
}

std::string FormatText(const char* szFormat, ...)
{
    char szBuffer[1024];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szBuffer, sizeof szBuffer, szFormat, args);
    va_end(args);
    return szBuffer;
}

bool CCancel::IsCancelRequested() { return g_bCancel.load(); }
void CCancel::SetCancelled()
{
    // A wait that saw Ctrl+C or SIGTERM must not use it up: the program is
    // ending, and the waits still ahead (paper moves, retries) would
    // otherwise run the whole job before it does.
    if (TerminationSignal() == 0)
        g_bCancel.store(false);
}
void CCancel::RequestCancel() { g_bCancel.store(true); }

CDateTime CDateTime::Now()
{
    const std::time_t t = std::time(nullptr);
    std::tm tmLocal{};
    localtime_r(&t, &tmLocal);
    CDateTime dt;
    dt.m_iYear = tmLocal.tm_year + 1900;
    dt.m_iMonth = tmLocal.tm_mon + 1;
    dt.m_iDay = tmLocal.tm_mday;
    dt.m_iHour = tmLocal.tm_hour;
    dt.m_iMinute = tmLocal.tm_min;
    dt.m_iSecond = tmLocal.tm_sec;
    return dt;
}

std::string CDateTime::DateString() const { return FormatText("%02d.%02d.%04d", m_iDay, m_iMonth, m_iYear); }
std::string CDateTime::TimeString() const { return FormatText("%02d:%02d:%02d", m_iHour, m_iMinute, m_iSecond); }

void CCamera::SetGlobalCameraFailed(int iCamera)
{
    if (iCamera >= 0 && iCamera < 8)
        g_FailedCameras.fetch_or(static_cast<uint8_t>(1u << iCamera));
}

bool CCamera::IsGlobalCameraFailed(int iCamera)
{
    return iCamera >= 0 && iCamera < 8 && (g_FailedCameras.load() & (1u << iCamera)) != 0;
}
