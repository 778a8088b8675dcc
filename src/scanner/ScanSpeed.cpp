#include "scanner/ScanSpeed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"

void CScanSpeedRecord::Reset(int32_t iCapacity)
{
    m_Entries.assign(static_cast<size_t>(std::clamp(iCapacity, 10, kMaxCapacity)), CScanSpeedEntry{});
    m_iCount = 0;
}

bool CScanSpeedRecord::Add(int32_t iTicks, int32_t iBytes)
{
    if (IsFull())
        return false;
    m_Entries[static_cast<size_t>(m_iCount++)] = {iTicks, iBytes, -1};
    return true;
}

int32_t CScanSpeedRecord::CountStalls() const
{
    if (m_iCount < 2)
        return 0;
    std::vector<int64_t> gaps;
    gaps.reserve(static_cast<size_t>(m_iCount) - 1);
    for (int32_t i = 1; i < m_iCount; ++i)
        gaps.push_back(int64_t(m_Entries[size_t(i)].m_iTicks) - m_Entries[size_t(i) - 1].m_iTicks);
    int64_t iSum = 0, iPositive = 0;
    for (const int64_t g : gaps)
        if (g > 0) {
            iSum += g;
            ++iPositive;
        }
    if (iPositive == 0)
        return 0;
    // Gaps below half the average would count as the average; they can
    // never exceed twice it, so only the average itself matters here.
    const double dAverage = double(iSum) / double(iPositive);
    const double dLimit = std::max(2 * dAverage, 1000.0);
    return static_cast<int32_t>(std::count_if(gaps.begin(), gaps.end(), [&](int64_t g) { return double(g) > dLimit; }));
}

bool CScanSpeedRecord::WriteScanSpeed(const std::string& szPath)
{
    std::string sz = FormatText("[ScanSpeed]\nVersion = %d\nLength = %d\nIndex = %d\nWidth = %d\nBytePerPix = %d\nBEGIN_DATA\n",
                                1, Capacity(), m_iCount, m_iWidth, m_iBytesPerPixel);
    for (int32_t i = 0; i < m_iCount; ++i)
        sz += FormatText("%d\t%d\t%d\n", i, m_Entries[size_t(i)].m_iTicks, m_Entries[size_t(i)].m_iBytes);
    std::string szWhy;
    if (!WriteFileAtomically(szPath, sz.data(), sz.size(), &szWhy)) {
        m_szError = szPath + ": cannot be written: " + szWhy;
        return false;
    }
    return true;
}

namespace {

// "Key = number" at the start of a line; false when the line is another key.
bool KeyValue(const char* szLine, const char* szKey, int32_t& iValue)
{
    const size_t n = std::strlen(szKey);
    if (std::strncmp(szLine, szKey, n) != 0)
        return false;
    return std::sscanf(szLine + n, " = %d", &iValue) == 1;
}

} // namespace

bool CScanSpeedRecord::ReadScanSpeed(const std::string& szPath)
{
    auto fail = [&](const std::string& szWhy) {
        m_szError = szPath + ": " + szWhy;
        return false;
    };
    std::string szOpenError;
    CFilePtr f = OpenFile(szPath, "rb", &szOpenError);
    if (!f)
        return fail(szOpenError);
    char szLine[256];
    if (!std::fgets(szLine, sizeof szLine, f.get()) || std::strncmp(szLine, "[ScanSpeed]", 11) != 0)
        return fail("not a scan speed file (no \"[ScanSpeed]\" line)");
    int32_t iVersion = -1, iLength = -1, iIndex = -1, iWidth = 0, iBytesPerPixel = 1;
    bool bData = false;
    while (!bData && std::fgets(szLine, sizeof szLine, f.get())) {
        if (std::strncmp(szLine, "BEGIN_DATA", 10) == 0)
            bData = true;
        else if (!KeyValue(szLine, "Version", iVersion) && !KeyValue(szLine, "Length", iLength) &&
                 !KeyValue(szLine, "Index", iIndex) && !KeyValue(szLine, "Width", iWidth))
            KeyValue(szLine, "BytePerPix", iBytesPerPixel);
    }
    if (!bData)
        return fail("no \"BEGIN_DATA\" line");
    if (iVersion != 1)
        return fail(FormatText("version %d is not known (1 expected)", iVersion));
    if (iLength < 0 || iLength > kMaxCapacity)
        return fail(FormatText("length %d outside 0..%d", iLength, kMaxCapacity));
    if (iIndex < 0 || iIndex > iLength)
        return fail(FormatText("index %d outside 0..%d (the length)", iIndex, iLength));
    Reset(iLength);
    for (int32_t i = 0; i < iIndex; ++i) {
        int32_t iEntry = 0, iTicks = 0, iBytes = 0;
        if (!std::fgets(szLine, sizeof szLine, f.get()))
            return fail(FormatText("truncated: %d of %d entries", i, iIndex));
        if (std::sscanf(szLine, "%d %d %d", &iEntry, &iTicks, &iBytes) != 3 || iEntry != i)
            return fail(FormatText("entry %d is malformed", i));
        Add(iTicks, iBytes);
    }
    m_iWidth = iWidth;
    m_iBytesPerPixel = iBytesPerPixel;
    m_szError.clear();
    return true;
}
