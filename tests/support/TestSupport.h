#pragma once
// Shared test helpers: a temporary folder per test, fixture paths and a way to
// run the built programs and capture what they print.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A fresh folder under the system temp directory, removed with everything in it.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_szPath; }
    std::string File(const std::string& szName) const { return m_szPath + "/" + szName; }

private:
    std::string m_szPath;
};

std::string TestDataPath(const std::string& szName);   // tests/data/<name>
std::string BinPath(const std::string& szProgram);     // build/bin/<program>
// A file of what "lumora-cli samples" writes, written once per test program:
// read it, never change it.
std::string SampleFile(const std::string& szName);

void WriteFileBytes(const std::string& szPath, const std::string& szBytes);
std::string ReadFileBytes(const std::string& szPath);

struct CRunResult {
    int m_iExit = -1;
    std::string m_szOut;
    std::string m_szErr;
    double m_dCpuSeconds = 0;  // user + system time of the program and the children it waited for
    long m_iPeakKiB = 0;       // the largest resident set among them
};
// Runs a program with arguments (no shell), optional extra environment "K=V".
CRunResult RunProgram(const std::string& szProgram, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {});
// Starts it the same way without waiting, its output into the two files.
pid_t SpawnProgram(const std::string& szProgram, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& szOutFile, const std::string& szErrFile);

// An environment variable set (nullptr: removed) for one scope, then put back.
class CScopedEnv {
public:
    CScopedEnv(const char* szName, const char* szValue);
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    std::string m_szName;
    std::optional<std::string> m_Old;
};
