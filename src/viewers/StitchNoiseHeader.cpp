#include "viewers/StitchNoiseHeader.h"

#include <cstdio>
#include <memory>

#include "platform/IniFile.h"
#include "platform/Log.h"

namespace StitchNoiseFile {

namespace {
struct CFileCloser {
    void operator()(std::FILE* p) const { std::fclose(p); }
};
using FilePtr = std::unique_ptr<std::FILE, CFileCloser>;
}  // namespace

int64_t FileSize(const std::string& szPath)
{
    FilePtr f(std::fopen(szPath.c_str(), "rb"));
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0)
        return -1;
    long iSize = std::ftell(f.get());
    return iSize < 0 ? -1 : static_cast<int64_t>(iSize);
}

bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::string& out)
{
    out.clear();
    FilePtr f(std::fopen(szPath.c_str(), "rb"));
    if (!f || iOffset < 0 || iCount < 0)
        return false;
    if (std::fseek(f.get(), static_cast<long>(iOffset), SEEK_SET) != 0)
        return false;
    // Never trust the count: the buffer grows only with bytes really read.
    constexpr size_t kChunk = 1u << 20;
    size_t iLeft = static_cast<size_t>(iCount);
    while (iLeft > 0) {
        size_t iWant = iLeft < kChunk ? iLeft : kChunk;
        size_t iOld = out.size();
        out.resize(iOld + iWant);
        size_t iGot = std::fread(out.data() + iOld, 1, iWant, f.get());
        out.resize(iOld + iGot);
        if (iGot < iWant)
            return !std::ferror(f.get());
        iLeft -= iGot;
    }
    return true;
}

std::string HeaderProbe(const std::string& szFirstBytes)
{
    size_t iZero = szFirstBytes.find('\0');
    return iZero == std::string::npos ? szFirstBytes : szFirstBytes.substr(0, iZero);
}

int32_t ReadLe32(const std::string& sz, size_t iOffset)
{
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i) {
        uint8_t b = iOffset + i < sz.size() ? static_cast<uint8_t>(sz[iOffset + i]) : 0;
        u |= static_cast<uint32_t>(b) << (8 * i);
    }
    return static_cast<int32_t>(u);
}

void PutLe32(std::string& sz, size_t iOffset, int32_t iValue)
{
    if (sz.size() < iOffset + 4)
        sz.resize(iOffset + 4, '\0');
    uint32_t u = static_cast<uint32_t>(iValue);
    for (size_t i = 0; i < 4; ++i)
        sz[iOffset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

bool HeaderText(const std::string& szHeader, const std::string& szKey, std::string& szOut)
{
    size_t iPos = szHeader.find(szKey);
    if (iPos == std::string::npos)
        return false;
    iPos += szKey.size();
    size_t iEnd = szHeader.find_first_of("\r\n", iPos);
    szOut = szHeader.substr(iPos, iEnd == std::string::npos ? std::string::npos : iEnd - iPos);
    return true;
}

bool HeaderInt(const std::string& szHeader, const std::string& szKey, int32_t& iOut)
{
    iOut = 0;
    std::string szValue;
    if (!HeaderText(szHeader, szKey, szValue))
        return false;
    iOut = AtoiText(szValue);
    return true;
}

int64_t HeaderDataPointer(const std::string& szHeader)
{
    size_t iEq = szHeader.find('=');
    if (iEq == std::string::npos)
        return -1;
    return AtoiText(szHeader.substr(iEq + 1, 10));
}

}  // namespace StitchNoiseFile

namespace StitchNoiseFile {

std::string HeaderInfoMessage(const std::string& szPath)
{
    std::string szFirst;
    if (!ReadBytes(szPath, 0, 100, szFirst))
        return FormatText("Cannot open the file %s.", szPath.c_str());
    const std::string szProbe = HeaderProbe(szFirst);
    static const char* const kSections[] = {"[Light Profile]", "[Noise Test]", "[Stitch Test]", "[G3 Light Profile]",
                                            "[Rawdex]"};
    bool bHeader = false;
    for (const char* sz : kSections)
        bHeader = bHeader || szProbe.find(sz) != std::string::npos;
    const int64_t iH = bHeader ? HeaderDataPointer(szProbe) : -1;
    // A header is text; a data pointer beyond 1 MiB is a damaged file, not a header to show.
    if (iH <= 0 || iH > (1 << 20))
        return "Old Con-file.\nNo Header Information available";
    std::string szHeader;
    if (!ReadBytes(szPath, 0, iH, szHeader))
        return "Memory low";
    return HeaderProbe(szHeader);
}

}  // namespace StitchNoiseFile
