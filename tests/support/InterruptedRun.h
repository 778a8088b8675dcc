#pragma once
// Ctrl+C in the middle of a lumora-cli command: the run starts, the test waits
// for a log line that shows the work is under way, then sends SIGINT and
// collects how the program ended.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

struct CInterruptedRun {
    bool m_bEnded = false; // false: it ignored SIGINT for ten seconds and was killed
    int m_iExit = -1;      // the exit code; -1 when it did not exit by itself
    std::string m_szErr;
};

// env: "K=V" entries; the log goes to szLogDir (LUMORA_LOG_DIR is set to it).
inline CInterruptedRun InterruptCliWhenLogged(const std::vector<std::string>& args,
                                              const std::vector<std::string>& env, const std::string& szLogDir,
                                              const std::string& szLogLine)
{
    CTempDir dir;
    const std::string szErr = dir.File("stderr.txt"), szCli = BinPath("lumora-cli");
    std::vector<std::string> argv = {szCli};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::pair<std::string, std::string>> vars = {{"LUMORA_LOG_DIR", szLogDir}};
    for (const std::string& sz : env)
        vars.emplace_back(sz.substr(0, sz.find('=')), sz.substr(sz.find('=') + 1));
    std::vector<char*> pArgs;
    for (std::string& sz : argv)
        pArgs.push_back(sz.data());
    pArgs.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        for (const auto& [szName, szValue] : vars)
            ::setenv(szName.c_str(), szValue.c_str(), 1);
        const int fd = ::open(szErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::execv(szCli.c_str(), pArgs.data());
        ::_exit(127);
    }
    const std::string szLog = szLogDir + "/Lumora.log";
    for (int i = 0; i < 400; ++i) {
        if (std::filesystem::exists(szLog) && ReadFileBytes(szLog).find(szLogLine) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ::kill(pid, SIGINT);
    CInterruptedRun run;
    int iStatus = 0;
    pid_t iDone = 0;
    for (int i = 0; i < 200 && (iDone = ::waitpid(pid, &iStatus, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (iDone == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &iStatus, 0);
    } else {
        run.m_bEnded = true;
        run.m_iExit = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
    }
    run.m_szErr = ReadFileBytes(szErr);
    return run;
}
