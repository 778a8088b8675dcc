#pragma once
// A stdio file that closes itself on every return path.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct CFileCloser {
    void operator()(std::FILE* p) const
    {
        if (p) std::fclose(p);
    }
};

using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

// Opens a file for reading only when it is a regular file: a pipe, device or
// socket would block the reader or never end, so they are refused with
// "is not a regular file" (a folder with "is a folder") without waiting for a
// writer. szError gets the reason; *pSize the file's size when opened.
CFilePtr OpenRegularFile(const std::string& szPath, std::string& szError, int64_t* pSize = nullptr);

// fopen with the system's reason when it fails ("No such file or directory")
// in *pError.
CFilePtr OpenFile(const std::string& szPath, const char* szMode, std::string* pError = nullptr);

// Up to iMax bytes from the start of szPath, fewer when the file is shorter
// (a read error ends them early, as end of file would). False, *pError set,
// only when the file cannot be opened. kWholeFile reads all of it.
inline constexpr size_t kWholeFile = SIZE_MAX;
bool ReadFilePrefix(const std::string& szPath, size_t iMax, std::string& szBytes, std::string* pError = nullptr);
// The same from a file already open, from where it stands.
void ReadFilePrefix(std::FILE* pFile, size_t iMax, std::string& szBytes);

// Runs a system call again for as long as a signal interrupts it.
template <class Call> auto RetryOnInterrupt(Call call)
{
    for (;;) {
        const auto result = call();
        if (!(result < 0 && errno == EINTR))
            return result;
    }
}
