#include "datafiles/ConFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/Messages.h"
#include "platform/ResourceLimits.h"

namespace {
bool ReadAt(std::FILE* pFile, int64_t iOffset, void* pBuffer, size_t iSize)
{
    return ::fseeko(pFile, static_cast<off_t>(iOffset), SEEK_SET) == 0 && std::fread(pBuffer, 1, iSize, pFile) == iSize;
}
} // namespace

EConReadStatus CheckDataPointer(const ConHeader& header, int64_t iFileSize, int64_t& iH, std::string& szProblem)
{
    iH = -1;
    const size_t iFieldEnd = header.DataPointerFieldEnd();
    if (header.GetText().find('=') == std::string::npos) {
        szProblem = "no DataPointer in its first bytes (no \"=\")";
        return CON_READ_NO_HEADER;
    }
    if (iFieldEnd == std::string::npos) {
        szProblem = "the header ends inside its DataPointer";
        return CON_READ_MALFORMED;
    }
    int64_t iValue = 0;
    if (!header.GetDataPointerChecked(iValue)) {
        szProblem = "DataPointer is not a number";
        return CON_READ_MALFORMED;
    }
    // The header runs at least to the line feed after the DataPointer field.
    if (iValue < static_cast<int64_t>(iFieldEnd) + 1) {
        szProblem = "DataPointer points into the header's first lines";
        return CON_READ_MALFORMED;
    }
    if (iValue > iFileSize) {
        szProblem = "DataPointer points past the end of the file";
        return CON_READ_MALFORMED;
    }
    if (iValue > CON_MAX_HEADER) {
        szProblem = "DataPointer gives a header of more than 16 MB";
        return CON_READ_MALFORMED;
    }
    iH = iValue;
    return CON_READ_OK;
}

EConReadStatus ReadConFileHeader(const std::string& szPath, CConFileHeader& out)
{
    out = CConFileHeader{};
    out.m_szFile = szPath;
    CFilePtr file = OpenRegularFile(szPath, out.m_szProblem, &out.m_iFileSize);
    if (!file.get())
        return CON_READ_CANNOT_OPEN;
    ReadFilePrefix(file.get(), CON_FIRST_BYTES, out.m_szFirstBytes);
    out.m_Header.SetText(out.m_szFirstBytes.data(), out.m_szFirstBytes.size());

    int64_t iH = -1;
    const EConReadStatus status = CheckDataPointer(out.m_Header, out.m_iFileSize, iH, out.m_szProblem);
    if (status != CON_READ_OK)
        return status;
    std::string szHeader(static_cast<size_t>(iH), '\0');
    if (!ReadAt(file.get(), 0, szHeader.data(), szHeader.size())) {
        out.m_szProblem = "the file ends inside its header";
        return CON_READ_MALFORMED;
    }
    out.m_Header.SetText(szHeader);
    out.m_iHeaderLength = iH;
    return CON_READ_OK;
}

bool ReadConDataBlock(const CConFileHeader& header, int64_t iOffset, int64_t iSize, std::vector<uint8_t>& data,
                      std::string& szError)
{
    data.clear();
    if (header.m_iHeaderLength < 0) {
        szError = "the file has no valid header";
        return false;
    }
    const int64_t iBlock = header.DataLength();
    if (iOffset < 0 || iSize < 0 || iOffset > iBlock || iSize > iBlock - iOffset) {
        szError = "the data block is shorter than its header says";
        return false;
    }
    if (const std::string szLimit = CheckAllocation("the data block", uint64_t(iSize), 1, UINT64_MAX, "bytes");
        !szLimit.empty()) {
        szError = szLimit;
        return false;
    }
    CFilePtr file = OpenFile(header.m_szFile, "rb", &szError);
    if (!file.get())
        return false;
    data.resize(static_cast<size_t>(iSize));
    if (iSize && !ReadAt(file.get(), header.m_iHeaderLength + iOffset, data.data(), data.size())) {
        data.clear();
        szError = "the file is shorter than it was a moment ago";
        return false;
    }
    return true;
}

bool ReadConData(const CConFileHeader& header, int64_t iMaxSize, std::vector<uint8_t>& data, std::string& szError)
{
    if (header.DataLength() > iMaxSize) {
        szError = "the data block is larger than this kind of file can be";
        data.clear();
        return false;
    }
    return ReadConDataBlock(header, 0, header.DataLength(), data, szError);
}

bool WriteConFile(const std::string& szPath, ConHeader& header, const void* pData, size_t iSize, std::string* pError)
{
    if (!header.PatchDataPointer()) {
        if (pError)
            *pError = "the header has no DataPointer";
        return false;
    }
    CAtomicFile file;
    const bool bOk = file.Open(szPath) && file.Write(header.GetText()) && file.Write(pData, iSize) && file.Commit();
    if (!bOk && pError)
        *pError = file.Error();
    return bOk;
}

std::vector<std::pair<std::string, std::string>> ListHeaderKeys(const ConHeader& header, size_t iMaxKeys)
{
    std::vector<std::pair<std::string, std::string>> keys;
    std::set<std::string> seen;
    const std::string& szText = header.GetText();
    size_t iPos = 0;
    while (iPos < szText.size() && keys.size() < iMaxKeys) {
        // Lines end at a carriage return or a line feed, as values do.
        size_t iEnd = szText.find_first_of("\r\n", iPos);
        if (iEnd == std::string::npos)
            iEnd = szText.size();
        std::string szLine = szText.substr(iPos, iEnd - iPos);
        iPos = iEnd + 1;
        const size_t iEq = szLine.find('=');
        // A line beginning with "=" names no key (a reader searching for "="
        // alone would find the DataPointer's).
        if (szLine.empty() || szLine[0] == '[' || iEq == std::string::npos || iEq == 0)
            continue;
        std::string szKey = szLine.substr(0, iEq);
        if (!seen.insert(szKey).second)
            continue;
        // The value as a reader sees it: the first occurrence of "key=" in the
        // whole text, which may stand earlier than this line.
        std::string szValue;
        // (Only for headers of ordinary size: a packed file lists thousands of entries.)
        if (szText.size() > (64u << 10) || !header.FindValue(szKey + "=", szValue))
            szValue = szLine.substr(iEq + 1);
        keys.emplace_back(std::move(szKey), std::move(szValue));
    }
    return keys;
}

void ReportMissingInformation(const std::string& szItem)
{
    ShowMessage("Missing Information:\n" + szItem);
}
