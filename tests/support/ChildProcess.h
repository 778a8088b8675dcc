#pragma once
// Programs run as children that a test can signal: stderr goes to a file, the
// wait has a deadline, and Ctrl+C can be sent once the log shows the work is
// under way.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

struct CChild {
    pid_t m_Pid = -1;
    std::string m_szErr;
};

// env: extra "K=V" entries for the child; stdout goes to /dev/null.
inline CChild StartChild(const std::string& szProgram, const std::vector<std::string>& args,
                         const std::string& szErrFile, const std::vector<std::string>& env = {})
{
    return {SpawnProgram(szProgram, args, env, "/dev/null", szErrFile), szErrFile};
}

// The raw wait status, or -1 (after killing it) when it did not end in time.
inline int WaitForChild(const CChild& child, std::chrono::milliseconds timeout)
{
    int iStatus = 0;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (::waitpid(child.m_Pid, &iStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(child.m_Pid, SIGKILL);
            ::waitpid(child.m_Pid, &iStatus, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return iStatus;
}

struct CInterruptedRun {
    bool m_bEnded = false; // false: it ignored SIGINT for ten seconds and was killed
    int m_iExit = -1;      // the exit code; -1 when it did not exit by itself
    std::string m_szErr;
};

// lumora-cli with args, its log in szLogDir; SIGINT once szLogLine is logged
// and settle has passed.
inline CInterruptedRun InterruptCliWhenLogged(const std::vector<std::string>& args, std::vector<std::string> env,
                                              const std::string& szLogDir, const std::string& szLogLine,
                                              std::chrono::milliseconds settle = {})
{
    CTempDir dir;
    env.push_back("LUMORA_LOG_DIR=" + szLogDir);
    const CChild child = StartChild(BinPath("lumora-cli"), args, dir.File("stderr.txt"), env);
    CInterruptedRun run;
    if (child.m_Pid < 0)
        return run;
    const std::string szLog = szLogDir + "/Lumora.log";
    for (int i = 0; i < 400; ++i) {
        if (std::filesystem::exists(szLog) && ReadFileBytes(szLog).find(szLogLine) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::this_thread::sleep_for(settle);
    ::kill(child.m_Pid, SIGINT);
    const int iStatus = WaitForChild(child, std::chrono::seconds(10));
    run.m_bEnded = iStatus != -1;
    run.m_iExit = run.m_bEnded && WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
    run.m_szErr = ReadFileBytes(child.m_szErr);
    return run;
}
