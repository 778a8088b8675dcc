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
