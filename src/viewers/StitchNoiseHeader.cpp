#include "viewers/StitchNoiseHeader.h"

#include <cstdio>
#include <memory>


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

}  // namespace StitchNoiseFile

