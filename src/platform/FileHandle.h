#pragma once
// A stdio file that closes itself on every return path.
#include <cstdio>
#include <memory>

struct CFileCloser {
    void operator()(std::FILE* p) const
    {
        if (p) std::fclose(p);
    }
};

using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

#include <cstdint>
#include <string>

// Opens a file for reading only when it is a regular file: a pipe, device or
// socket would block the reader or never end, so they are refused with
// "is not a regular file" (a folder with "is a folder") without waiting for a
// writer. szError gets the reason; *pSize the file's size when opened.
CFilePtr OpenRegularFile(const std::string& szPath, std::string& szError, int64_t* pSize = nullptr);
