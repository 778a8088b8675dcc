#include "viewers/StitchNoiseHeader.h"

#include <cstdio>

#include "platform/ByteOrder.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"


namespace StitchNoiseFile {

int64_t FileSize(const std::string& szPath)
{
    CFilePtr f = OpenFile(szPath, "rb");
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0)
        return -1;
    long iSize = std::ftell(f.get());
    return iSize < 0 ? -1 : static_cast<int64_t>(iSize);
}

namespace {
// The count is clamped to what the file really holds from iOffset, so the
// buffer is sized once and never beyond the file.
template <class Buffer> bool ReadInto(const std::string& szPath, int64_t iOffset, int64_t iCount, Buffer& out)
{
    out.clear();
    CFilePtr f = OpenFile(szPath, "rb");
    if (!f || iOffset < 0 || iCount < 0 || std::fseek(f.get(), 0, SEEK_END) != 0)
        return false;
    const long iSize = std::ftell(f.get());
    if (iSize < 0 || std::fseek(f.get(), static_cast<long>(iOffset), SEEK_SET) != 0)
        return false;
    const int64_t iAvailable = iOffset < iSize ? iSize - iOffset : 0;
    const int64_t iWant = iCount < iAvailable ? iCount : iAvailable;
    out.resize(static_cast<size_t>(iWant));
    const size_t iGot = iWant > 0 ? std::fread(out.data(), 1, out.size(), f.get()) : 0;
    out.resize(iGot);
    return !std::ferror(f.get());
}
}  // namespace

bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::string& out)
{
    return ReadInto(szPath, iOffset, iCount, out);
}

bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::vector<uint8_t>& out)
{
    return ReadInto(szPath, iOffset, iCount, out);
}

std::string HeaderProbe(const std::string& szFirstBytes)
{
    size_t iZero = szFirstBytes.find('\0');
    return iZero == std::string::npos ? szFirstBytes : szFirstBytes.substr(0, iZero);
}

int32_t ReadLe32(const std::string& sz, size_t iOffset)
{
    return static_cast<int32_t>(Le32At(sz, iOffset));
}

void PutLe32(std::string& sz, size_t iOffset, int32_t iValue)
{
    if (sz.size() < iOffset + 4)
        sz.resize(iOffset + 4, '\0');
    uint32_t u = static_cast<uint32_t>(iValue);
    for (size_t i = 0; i < 4; ++i)
        sz[iOffset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

bool Refuse(const std::string& szText, std::vector<std::string>& messages, std::string& szError)
{
    szError = szText;
    messages.push_back(szText);
    return false;
}

std::string CannotOpenText(const std::string& szFile, const std::string& szProblem)
{
    return FormatText("Cannot open the file %s: %s.", szFile.c_str(), szProblem.c_str());
}

}  // namespace StitchNoiseFile

