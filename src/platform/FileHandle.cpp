#include "platform/FileHandle.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFilePtr OpenRegularFile(const std::string& szPath, std::string& szError, int64_t* pSize)
{
    // Non-blocking only for the open itself: opening a FIFO would otherwise
    // wait for a writer before the type could be checked.
    const int fd = ::open(szPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        szError = std::strerror(errno);
        return CFilePtr();
    }
    struct stat st {};
    const bool bStat = ::fstat(fd, &st) == 0;
    if (!bStat || !S_ISREG(st.st_mode)) {
        szError = !bStat ? std::strerror(errno) : S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file";
        ::close(fd);
        return CFilePtr();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* pFile = ::fdopen(fd, "rb");
    if (!pFile) {
        szError = std::strerror(errno);
        ::close(fd);
        return CFilePtr();
    }
    if (pSize)
        *pSize = static_cast<int64_t>(st.st_size);
    return CFilePtr(pFile);
}

CFilePtr OpenFile(const std::string& szPath, const char* szMode, std::string* pError)
{
    CFilePtr file(std::fopen(szPath.c_str(), szMode));
    if (!file && pError)
        *pError = std::strerror(errno);
    return file;
}

bool ReadFilePrefix(const std::string& szPath, size_t iMax, std::string& szBytes, std::string* pError)
{
    szBytes.clear();
    CFilePtr file = OpenFile(szPath, "rb", pError);
    if (!file)
        return false;
    ReadFilePrefix(file.get(), iMax, szBytes);
    return true;
}

void ReadFilePrefix(std::FILE* pFile, size_t iMax, std::string& szBytes)
{
    szBytes.clear();
    char buf[4096];
    size_t n;
    while (szBytes.size() < iMax && (n = std::fread(buf, 1, std::min(sizeof buf, iMax - szBytes.size()), pFile)) > 0)
        szBytes.append(buf, n);
}
