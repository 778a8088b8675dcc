#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

CTempDir::CTempDir()
{
    std::string szTemplate = (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
    std::vector<char> buf(szTemplate.begin(), szTemplate.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_szPath = buf.data();
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_szPath, ec);
}

std::string TestDataPath(const std::string& szName) { return std::string(LUMORA_TEST_DATA_DIR) + "/" + szName; }
std::string BinPath(const std::string& szProgram) { return std::string(LUMORA_BIN_DIR) + "/" + szProgram; }

std::string SampleFile(const std::string& szName)
{
    static CTempDir s_Dir;
    static const bool s_bWritten = [] {
        const CRunResult r = RunProgram(BinPath("lumora-cli"), {"samples", s_Dir.Path()});
        EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
        return r.m_iExit == 0;
    }();
    (void)s_bWritten;
    return s_Dir.File(szName);
}

void WriteFileBytes(const std::string& szPath, const std::string& szBytes)
{
    std::ofstream out(szPath, std::ios::binary | std::ios::trunc);
    out.write(szBytes.data(), static_cast<std::streamsize>(szBytes.size()));
}

std::string ReadFileBytes(const std::string& szPath)
{
    std::ifstream in(szPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

pid_t SpawnProgram(const std::string& szProgram, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& szOutFile, const std::string& szErrFile)
{
    std::vector<char*> argv{const_cast<char*>(szProgram.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::dup2(::open(szOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(szErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::execv(szProgram.c_str(), argv.data());
        std::_Exit(127);
    }
    return pid;
}

CRunResult RunProgram(const std::string& szProgram, const std::vector<std::string>& args,
                      const std::vector<std::string>& env)
{
    CTempDir tmp;
    const std::string szOut = tmp.File("out"), szErr = tmp.File("err");
    const pid_t pid = SpawnProgram(szProgram, args, env, szOut, szErr);
    CRunResult result;
    int iStatus = 0;
    struct rusage usage {};
    ::wait4(pid, &iStatus, 0, &usage);
    result.m_dCpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.m_iPeakKiB = usage.ru_maxrss;
    result.m_iExit = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : 128 + WTERMSIG(iStatus);
    result.m_szOut = ReadFileBytes(szOut);
    result.m_szErr = ReadFileBytes(szErr);
    return result;
}

CScopedEnv::CScopedEnv(const char* szName, const char* szValue) : m_szName(szName)
{
    if (const char* pOld = std::getenv(szName))
        m_Old = pOld;
    if (szValue)
        ::setenv(szName, szValue, 1);
    else
        ::unsetenv(szName);
}

CScopedEnv::~CScopedEnv()
{
    if (m_Old)
        ::setenv(m_szName.c_str(), m_Old->c_str(), 1);
    else
        ::unsetenv(m_szName.c_str());
}
