#pragma once
// What the codec targets share: a one-page classic TIFF built around strips
// they coded, so that a decoder runs the way a file drives it (strip by strip,
// row by row, with the page's fill order, byte order and predictor undone by
// the reader), a receiver that keeps the rows, and a check that stops the run
// loudly when a decoder and its oracle disagree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifReader.h"

inline void FuzzCheck(bool bOk, const char* szWhat)
{
    if (!bOk) {
        std::fprintf(stderr, "fuzz check failed: %s\n", szWhat);
        std::abort();
    }
}

// Page kinds the codec targets draw from one input byte.
struct CFuzzKind {
    int32_t m_iKind;
    int32_t m_iBits;
    int32_t m_iSamples;
    int32_t m_iPhotometric;
};
inline CFuzzKind FuzzKind(uint8_t iChoice)
{
    static const CFuzzKind kinds[] = {
        {IMG_KIND_GRAY, 8, 1, 1},
        {IMG_KIND_RGB, 8, 3, 2},
        {IMG_KIND_BILEVEL, 1, 1, 1},
        {IMG_KIND_GRAY16, 16, 1, 1},
    };
    return kinds[iChoice % 4];
}

inline uint8_t FuzzReverseBits(uint8_t b)
{
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct CFuzzPage {
    CFuzzKind m_Kind{IMG_KIND_GRAY, 8, 1, 1};
    int32_t m_iWidth = 1;
    int32_t m_iHeight = 1;
    int32_t m_iRowsPerStrip = 1;
    int32_t m_iCompression = 1;
    int32_t m_iFillOrder = 1;
    int32_t m_iPredictor = 1;
    bool m_bBigEndian = false;
    std::vector<std::vector<uint8_t>> m_Strips; // as coded, most significant bit first
};

// The file: header, one IFD, the value arrays, then the strips (bit-reversed
// for fill order 2, as a writer with that fill order would store them).
inline std::vector<uint8_t> FuzzTiff(const CFuzzPage& page)
{
    std::vector<uint8_t> f;
    const bool be = page.m_bBigEndian;
    auto put16 = [&](size_t at, uint32_t v) {
        f[at + (be ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
        f[at + (be ? 1 : 0)] = static_cast<uint8_t>(v);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + static_cast<size_t>(be ? 3 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    const uint32_t nStrips = static_cast<uint32_t>(page.m_Strips.size());
    const int kEntries = 12;
    const size_t iIfd = 8, iValues = iIfd + 2 + 12 * kEntries + 4;
    const size_t iBitsAt = iValues, iOffsetsAt = iBitsAt + 8, iCountsAt = iOffsetsAt + 4 * nStrips;
    size_t iData = iCountsAt + 4 * nStrips;
    f.assign(iData, 0);
    f[0] = f[1] = be ? 'M' : 'I';
    put16(2, 42);
    put32(4, static_cast<uint32_t>(iIfd));
    put16(iIfd, kEntries);
    size_t e = iIfd + 2;
    auto entry = [&](uint16_t iTag, uint16_t iType, uint32_t iCount, uint32_t iValue) {
        put16(e, iTag);
        put16(e + 2, iType);
        put32(e + 4, iCount);
        if (iType == 3 && iCount == 1)
            put16(e + 8, iValue);
        else
            put32(e + 8, iValue);
        e += 12;
    };
    for (int32_t i = 0; i < page.m_Kind.m_iSamples; ++i)
        put16(iBitsAt + 2 * static_cast<size_t>(i), static_cast<uint32_t>(page.m_Kind.m_iBits));
    entry(256, 4, 1, static_cast<uint32_t>(page.m_iWidth));
    entry(257, 4, 1, static_cast<uint32_t>(page.m_iHeight));
    if (page.m_Kind.m_iSamples == 1)
        entry(258, 3, 1, static_cast<uint32_t>(page.m_Kind.m_iBits));
    else
        entry(258, 3, static_cast<uint32_t>(page.m_Kind.m_iSamples), static_cast<uint32_t>(iBitsAt));
    entry(259, 3, 1, static_cast<uint32_t>(page.m_iCompression));
    entry(262, 3, 1, static_cast<uint32_t>(page.m_Kind.m_iPhotometric));
    entry(266, 3, 1, static_cast<uint32_t>(page.m_iFillOrder));
    entry(273, 4, nStrips, nStrips == 1 ? static_cast<uint32_t>(iData) : static_cast<uint32_t>(iOffsetsAt));
    entry(277, 3, 1, static_cast<uint32_t>(page.m_Kind.m_iSamples));
    entry(278, 4, 1, static_cast<uint32_t>(page.m_iRowsPerStrip));
    size_t iTotal = 0;
    for (const std::vector<uint8_t>& s : page.m_Strips)
        iTotal += s.size();
    entry(279, 4, nStrips,
          nStrips == 1 ? static_cast<uint32_t>(iTotal) : static_cast<uint32_t>(iCountsAt));
    entry(284, 3, 1, 1);
    entry(317, 3, 1, static_cast<uint32_t>(page.m_iPredictor));
    for (uint32_t s = 0; s < nStrips; ++s) {
        put32(iOffsetsAt + 4 * s, static_cast<uint32_t>(iData));
        put32(iCountsAt + 4 * s, static_cast<uint32_t>(page.m_Strips[s].size()));
        iData += page.m_Strips[s].size();
    }
    for (const std::vector<uint8_t>& s : page.m_Strips)
        f.insert(f.end(), s.begin(), s.end());
    if (page.m_iFillOrder == 2)
        for (size_t i = iCountsAt + 4 * nStrips; i < f.size(); ++i)
            f[i] = FuzzReverseBits(f[i]);
    return f;
}

// Keeps every row the reader delivers.
class CFuzzRows : public CImageReceiver {
public:
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t) override
    {
        m_iRowLength = ImageRowLength(iKind, iWidth);
        m_Row.assign(static_cast<size_t>(m_iRowLength), 0);
        return 0;
    }
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t WriteLine() override
    {
        m_Pixels.insert(m_Pixels.end(), m_Row.begin(), m_Row.end());
        return 0;
    }
    uint32_t EndPage(int32_t) override { return 0; }
    int64_t m_iRowLength = 0;
    std::vector<uint8_t> m_Row;
    std::vector<uint8_t> m_Pixels;
};

// The first page through the reader; its result code.
inline uint32_t FuzzReadPage(const std::vector<uint8_t>& file, CFuzzRows& rows)
{
    CTIFReader reader;
    reader.SetMemory(file.data(), file.size());
    reader.SetReceiver(&rows);
    int32_t iPages = 0;
    if (const uint32_t r = reader.Open(iPages))
        return r;
    if (const uint32_t r = reader.ReadPageInfo())
        return r;
    return reader.ReadPage(0);
}

// Rows of a page as they are stored in a file of that byte order and
// predictor, from rows as the reader hands them out (16-bit samples native).
inline void FuzzStoreRow(const CFuzzPage& page, uint8_t* pRow, int64_t iRowLength)
{
    if (page.m_iPredictor == 2)
        CDifferencingFilter::Difference(page.m_Kind.m_iKind, pRow, iRowLength);
    if (page.m_bBigEndian && page.m_Kind.m_iBits == 16)
        for (int64_t i = 0; i + 1 < iRowLength; i += 2)
            std::swap(pRow[i], pRow[i + 1]);
}
