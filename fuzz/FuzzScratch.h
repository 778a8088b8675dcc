#pragma once
// What the path-taking reader targets share: the input written to one scratch
// file per process, removed at exit, and message boxes recorded, not shown.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/Messages.h"

// Memory-backed when the system has it: on a disk file system, rewriting the
// same file from the start makes the kernel write it out at every close, and
// that write, not the reader, would set the pace of the whole run.
inline const char* FuzzScratchFolder()
{
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

// szTag keeps the scratch files of different targets apart when they run side by side.
inline std::string FuzzScratchFile(const char* szTag, const uint8_t* pData, size_t iSize)
{
    static const std::string szPath = std::string(FuzzScratchFolder()) + "/lumora-fuzz-" + szTag + "-" +
                                      std::to_string(::getpid()) + ".con";
    static const bool bCleanup = std::atexit([] { std::remove(szPath.c_str()); }) == 0;
    (void)bCleanup;
    std::FILE* f = std::fopen(szPath.c_str(), "wb");
    if (f) {
        std::fwrite(pData, 1, iSize, f);
        std::fclose(f);
    }
    return szPath;
}

// Never freed: the recorder must outlive every message of the run.
inline void FuzzQuietMessages()
{
    static CMessageRecorder* pQuiet = new CMessageRecorder;
    pQuiet->Clear();
}
