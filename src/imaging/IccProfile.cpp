#include "imaging/IccProfile.h"

#include <cstdlib>
#include <sys/stat.h>

#include "platform/FileHandle.h"

namespace {
// Paths of the program are limited to what its text buffers hold.
constexpr size_t kMaxPath = 255;

bool IsDirectory(const std::string& sz)
{
    struct stat st {};
    return ::stat(sz.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string GetColorDirectory()
{
    const char* szDirs = std::getenv("XDG_DATA_DIRS");
    std::string szList = szDirs && *szDirs ? szDirs : "/usr/local/share:/usr/share";
    size_t iStart = 0;
    while (iStart <= szList.size()) {
        size_t iEnd = szList.find(':', iStart);
        if (iEnd == std::string::npos)
            iEnd = szList.size();
        std::string szDir = szList.substr(iStart, iEnd - iStart);
        if (!szDir.empty()) {
            while (szDir.size() > 1 && szDir.back() == '/')
                szDir.pop_back();
            const std::string szColor = szDir + "/color/icc";
            if (IsDirectory(szColor))
                return szColor;
        }
        iStart = iEnd + 1;
    }
    return "/usr/share/color/icc";
}

void CFileIccProfileReader::SetProfileName(const std::string& szName)
{
    // A name that is not a path of its own is one of the installed profiles.
    const bool bPath = szName.find('/') != std::string::npos || (!szName.empty() && szName[0] == '\\') ||
                       (szName.size() > 1 && szName[1] == ':');
    m_szPath = bPath ? szName : GetColorDirectory() + "/" + szName;
    if (m_szPath.size() > kMaxPath)
        m_szPath.resize(kMaxPath);
}

int32_t CFileIccProfileReader::Open()
{
    Close();
    // A folder opens for reading here but holds no profile.
    std::string szError;
    m_pFile = OpenRegularFile(m_szPath, szError).release();
    return m_pFile ? 0 : 1;
}

int64_t CFileIccProfileReader::GetSize()
{
    struct stat st {};
    if (::stat(m_szPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<int64_t>(st.st_size);
}

int64_t CFileIccProfileReader::Read(uint8_t* pBuffer, int64_t iCount)
{
    if (!m_pFile || iCount <= 0)
        return 0;
    return static_cast<int64_t>(std::fread(pBuffer, 1, static_cast<size_t>(iCount), m_pFile));
}

void CFileIccProfileReader::Close()
{
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = nullptr;
}
