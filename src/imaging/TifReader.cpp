#include "imaging/TifReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/FaxCodes.h"
#include "imaging/ImageErrors.h"
#include "platform/FileHandle.h"
#include "imaging/Picture.h"
#include "imaging/TifTags.h"
#include "platform/Log.h"
#include "platform/ResourceLimits.h"

namespace {

class CFileSource : public CTifSource {
public:
    explicit CFileSource(int iFd, uint64_t iSize) : m_iFd(iFd), m_iSize(iSize)
    {
        // Mapped, strips are decoded straight from the page cache.
        if (iSize > 0 && iSize <= SIZE_MAX) {
            void* p = ::mmap(nullptr, static_cast<size_t>(iSize), PROT_READ, MAP_SHARED, iFd, 0);
            if (p != MAP_FAILED)
                m_pMap = static_cast<const uint8_t*>(p);
        }
    }
    ~CFileSource() override
    {
        if (m_pMap)
            ::munmap(const_cast<uint8_t*>(m_pMap), static_cast<size_t>(m_iSize));
        ::close(m_iFd);
    }
    const uint8_t* Data() const override { return m_pMap; }
    uint64_t Size() const override { return m_iSize; }
    bool ReadAt(uint64_t iOffset, void* pBuffer, size_t iCount) const override
    {
        if (iOffset > m_iSize || iCount > m_iSize - iOffset)
            return false;
        if (m_pMap) {
            if (iCount)
                std::memcpy(pBuffer, m_pMap + iOffset, iCount);
            return true;
        }
        uint8_t* p = static_cast<uint8_t*>(pBuffer);
        while (iCount > 0) {
            const ssize_t k =
                RetryOnInterrupt([&] { return ::pread(m_iFd, p, iCount, static_cast<off_t>(iOffset)); });
            if (k <= 0)
                return false;
            p += k;
            iCount -= static_cast<size_t>(k);
            iOffset += static_cast<uint64_t>(k);
        }
        return true;
    }

private:
    int m_iFd;
    uint64_t m_iSize;
    const uint8_t* m_pMap = nullptr;
};

class CMemorySource : public CTifSource {
public:
    CMemorySource(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
    uint64_t Size() const override { return m_n; }
    const uint8_t* Data() const override { return m_p; }
    bool ReadAt(uint64_t iOffset, void* pBuffer, size_t iCount) const override
    {
        if (iOffset > m_n || iCount > m_n - iOffset)
            return false;
        if (iCount)
            std::memcpy(pBuffer, m_p + iOffset, iCount);
        return true;
    }

private:
    const uint8_t* m_p;
    size_t m_n;
};

constexpr uint16_t kMaxPages = 4096;

uint32_t TypeSize(uint16_t iType)
{
    switch (iType) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;
    }
}

uint8_t ReverseBits(uint8_t b)
{
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

void InvertBytes(uint8_t* p, int64_t n)
{
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        v = ~v;
        std::memcpy(p + i, &v, 8);
    }
    for (; i < n; ++i)
        p[i] = static_cast<uint8_t>(~p[i]);
}

} // namespace

// ---------------------------------------------------------------- decoders

uint32_t CTIFReader::CDecoder::BeginStrip(const uint8_t* pData, size_t iSize, int64_t)
{
    m_pData = pData;
    m_iSize = iSize;
    m_iPos = 0;
    return IMG_OK;
}

uint32_t CTIFReader::CDecoderNone::DecodeLine(uint8_t* pBuffer)
{
    if (m_iRowLength < 0 || uint64_t(m_iRowLength) > m_iSize - m_iPos)
        return IMG_NONE_CANT_READ;
    std::memcpy(pBuffer, m_pData + m_iPos, static_cast<size_t>(m_iRowLength));
    m_iPos += static_cast<size_t>(m_iRowLength);
    return IMG_OK;
}

uint32_t CTIFReader::CDecoderPackbit::DecodeLine(uint8_t* pBuffer)
{
    int64_t o = 0;
    while (o < m_iRowLength) {
        if (m_iPos >= m_iSize)
            return IMG_PACKBIT_CANT_READ;
        const int32_t n = static_cast<int8_t>(m_pData[m_iPos++]);
        if (n >= 0) {
            if (n + 1 > m_iRowLength - o)
                return IMG_PACKBIT_FORMAT_ERROR;
            if (size_t(n + 1) > m_iSize - m_iPos)
                return IMG_PACKBIT_CANT_READ;
            // A fixed-size copy is a few vector moves; the bytes beyond this
            // run are overwritten by the next one.
            if (o + 128 <= m_iRowLength && m_iPos + 128 <= m_iSize)
                std::memcpy(pBuffer + o, m_pData + m_iPos, 128);
            else
                std::memcpy(pBuffer + o, m_pData + m_iPos, size_t(n + 1));
            m_iPos += size_t(n + 1);
            o += n + 1;
        } else if (n != -128) {
            if (1 - n > m_iRowLength - o)
                return IMG_PACKBIT_FORMAT_ERROR;
            if (m_iPos >= m_iSize)
                return IMG_PACKBIT_CANT_READ;
            if (o + 128 <= m_iRowLength)
                std::memset(pBuffer + o, m_pData[m_iPos++], 128);
            else
                std::memset(pBuffer + o, m_pData[m_iPos++], size_t(1 - n));
            o += 1 - n;
        }
    }
    return IMG_OK;
}

namespace {

// Byte values 0..255 in front of every decoded strip, so a literal is a
// string of the table like any other: one copy from where it lies.
constexpr size_t kLzwLiterals = 256;
// Room after the strip for the fixed-size copies of short strings.
constexpr size_t kLzwSlack = 16;

void PutLzwLiterals(uint8_t* pFront)
{
    for (size_t i = 0; i < kLzwLiterals; ++i)
        pFront[i] = static_cast<uint8_t>(i);
}

inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

// pOut has the literals in the 256 bytes before it and kLzwSlack bytes of room
// after iOutSize.
int64_t DecodeLzwStrip(const uint8_t* pData, size_t iSize, uint8_t* pOut, size_t iOutSize)
{
    // Every string of the table lies in the output already: an entry keeps
    // where (relative to the output, literals below it) and how long.
    struct CEntry {
        int32_t m_iOffset;
        uint32_t m_iLength;
    };
    CEntry table[4096];
    for (int32_t c = 0; c < 256; ++c)
        table[c] = CEntry{c - int32_t(kLzwLiterals), 1};
    // Bits wait left-aligned; a refill tops them up to at least 56. Past the
    // last whole word the bytes come one by one.
    const uint8_t* pIn = pData;
    const uint8_t* const pInEnd = pData + iSize;
    const uint8_t* const pInWords = iSize >= 8 ? pInEnd - 8 : pData;
    uint64_t iAcc = 0;
    int32_t iAccBits = 0;
    int32_t iWidth = 9;
    uint32_t iWidthLimit = 511; // the width steps one code early, as TIFF writers do
    auto next = [&](uint32_t& iCode) -> bool {
        if (iAccBits >= iWidth) {
        } else if (pIn < pInWords) [[likely]] {
            iAcc |= LoadBigEndian64(pIn) >> iAccBits;
            pIn += (63 - iAccBits) >> 3;
            iAccBits |= 56;
        } else {
            while (iAccBits <= 56 && pIn < pInEnd) {
                iAcc |= uint64_t(*pIn++) << (56 - iAccBits);
                iAccBits += 8;
            }
            if (iAccBits < iWidth)
                return false; // the data end without an end code
        }
        iCode = static_cast<uint32_t>(iAcc >> (64 - iWidth));
        iAcc <<= iWidth;
        iAccBits -= iWidth;
        return true;
    };
    uint8_t* pTo = pOut;
    uint8_t* const pEnd = pOut + iOutSize;
    uint32_t iFree = 258;
    uint8_t* pOld = nullptr; // the string of the previous code, in the output
    uint32_t iOldLength = 0;
    uint32_t iCode = 256;
    while (pTo < pEnd) {
        if (iCode == 256) {
            // After a clear (and at the start) the first code is a literal
            // that defines nothing; further clears and the end may come too.
            iFree = 258;
            iWidth = 9;
            iWidthLimit = 511;
            do {
                if (!next(iCode) || iCode == 257)
                    return std::min(pTo, pEnd) - pOut;
            } while (iCode == 256);
            if (iCode > 257)
                return -1;
            *pTo = static_cast<uint8_t>(iCode);
            pOld = pTo++;
            iOldLength = 1;
            continue;
        }
        if (!next(iCode))
            break;
        const uint8_t* pFrom;
        uint32_t iLength;
        if (iCode < iFree) [[likely]] {
            if (iCode - 256u < 2u) {
                if (iCode == 257)
                    break;
                continue;
            }
            // A string of the table ends before the output does.
            pFrom = pOut + table[iCode].m_iOffset;
            iLength = table[iCode].m_iLength;
        } else {
            // The string being defined: the previous one and its own first
            // byte, which it overlaps; byte by byte, forward.
            if (iCode > iFree || iFree >= 4096)
                return -1;
            table[iFree++] = CEntry{static_cast<int32_t>(pOld - pOut), iOldLength + 1};
            if (iFree >= iWidthLimit && iWidth < 12)
                iWidthLimit = (1u << ++iWidth) - 1;
            iLength = iOldLength + 1;
            const size_t iCopy = std::min<size_t>(iLength, size_t(pEnd - pTo));
            for (size_t k = 0; k < iCopy; ++k)
                pTo[k] = pOld[k];
            pOld = pTo;
            iOldLength = iLength;
            pTo += iCopy;
            continue;
        }
        if (iFree < 4096) {
            table[iFree++] = CEntry{static_cast<int32_t>(pOld - pOut), iOldLength + 1};
            if (iFree >= iWidthLimit && iWidth < 12)
                iWidthLimit = (1u << ++iWidth) - 1;
        }
        if (iLength <= 16) [[likely]] {
            // Short strings, the common case on noisy scans: one fixed 16-byte
            // move into the room behind the output, loaded before stored.
            uint8_t tmp[16];
            std::memcpy(tmp, pFrom, 16);
            std::memcpy(pTo, tmp, 16);
        } else {
            std::memcpy(pTo, pFrom, std::min<size_t>(iLength, size_t(pEnd - pTo)));
        }
        pOld = pTo;
        iOldLength = iLength;
        pTo += iLength;
    }
    return std::min(pTo, pEnd) - pOut;
}

} // namespace

int64_t CTIFReader::CDecoderLZW::Decode(const uint8_t* pData, size_t iSize, uint8_t* pOut, size_t iOutSize)
{
    std::vector<uint8_t> buffer(kLzwLiterals + iOutSize + kLzwSlack);
    PutLzwLiterals(buffer.data());
    const int64_t n = DecodeLzwStrip(pData, iSize, buffer.data() + kLzwLiterals, iOutSize);
    if (n > 0)
        std::memcpy(pOut, buffer.data() + kLzwLiterals, size_t(n));
    return n;
}

uint32_t CTIFReader::CDecoderLZW::BeginStrip(const uint8_t* pData, size_t iSize, int64_t iRows)
{
    CDecoder::BeginStrip(pData, iSize, iRows);
    const int64_t iBytes = iRows * m_iRowLength;
    if (iRows < 0 || iBytes < 0 || uint64_t(iBytes) > MaxAllocationBytes())
        return IMG_TIF_READ_TOO_LONG;
    if (m_Decoded.empty()) {
        m_Decoded.resize(kLzwLiterals + kLzwSlack);
        PutLzwLiterals(m_Decoded.data());
    }
    m_Decoded.resize(kLzwLiterals + static_cast<size_t>(iBytes) + kLzwSlack);
    m_iDecoded = DecodeLzwStrip(pData, iSize, m_Decoded.data() + kLzwLiterals, static_cast<size_t>(iBytes));
    m_iRead = 0;
    return m_iDecoded < 0 ? IMG_LZW_FORMAT_ERROR : IMG_OK;
}

uint32_t CTIFReader::CDecoderLZW::DecodeLine(uint8_t* pBuffer)
{
    if (m_iDecoded - m_iRead < m_iRowLength)
        return IMG_LZW_FORMAT_ERROR;
    std::memcpy(pBuffer, m_Decoded.data() + kLzwLiterals + m_iRead, static_cast<size_t>(m_iRowLength));
    m_iRead += m_iRowLength;
    return IMG_OK;
}

uint32_t CTIFReader::CDecoderHuffman::BeginStrip(const uint8_t* pData, size_t iSize, int64_t iRows)
{
    CDecoder::BeginStrip(pData, iSize, iRows);
    m_iAcc = 0;
    m_iAccBits = 0;
    m_iReference = 0;
    // Each coding step adds at most two changes; the cap on a row's changes
    // and four end-of-row marks need room beyond that.
    // The first slot of both holds -1, a change left of every row.
    const size_t iRoom = size_t(2) * size_t(std::max(m_iWidth, 0)) + 25;
    if (m_Changes.size() < iRoom) {
        m_Changes.assign(iRoom, 0);
        m_Reference.assign(iRoom, 0);
    }
    m_Changes[0] = m_Reference[0] = -1;
    return IMG_OK;
}

namespace {

// The decoder's bits, left-aligned, in locals while a row is decoded; an
// 8-byte refill tops them up to at least 56. Past the end the stream reads
// as zeros, which no code word is made of.
struct CFaxBitReader {
    const uint8_t* m_pData;
    size_t m_iSize;
    size_t m_iPos;
    uint64_t m_iAcc;
    int32_t m_iBits;

    void Refill()
    {
        if (m_iPos + 8 <= m_iSize) [[likely]] {
            m_iAcc |= LoadBigEndian64(m_pData + m_iPos) >> m_iBits;
            m_iPos += size_t(63 - m_iBits) >> 3;
            m_iBits |= 56;
            return;
        }
        while (m_iBits <= 56) {
            const uint64_t b = m_iPos < m_iSize ? m_pData[m_iPos] : 0;
            ++m_iPos;
            m_iAcc |= b << (56 - m_iBits);
            m_iBits += 8;
        }
    }
    void Skip(int32_t n)
    {
        m_iAcc <<= n;
        m_iBits -= n;
    }
    uint64_t Consumed() const { return uint64_t(m_iPos) * 8 - uint64_t(m_iBits); }

    // A run of one colour: make-up words and the terminating word.
    bool Run(bool bBlack, int32_t iWidth, int32_t& iRun)
    {
        const CFaxDecodeEntry* pFirst = kFaxTables.m_First[bBlack];
        iRun = 0;
        for (;;) {
            if (m_iBits < kFaxFirstBits + kFaxSecondBits)
                Refill();
            const CFaxDecodeEntry* e = &pFirst[m_iAcc >> (64 - kFaxFirstBits)];
            if (e->m_iSub)
                e = &kFaxTables.m_Second[bBlack][e->m_iSub]
                                        [(m_iAcc >> (64 - kFaxFirstBits - kFaxSecondBits)) & ((1u << kFaxSecondBits) - 1)];
            if (e->m_iRun < 0)
                return false;
            Skip(e->m_iLength);
            iRun += e->m_iRun;
            if (e->m_iRun < 64)
                return true;
            if (iRun > iWidth)
                return false;
        }
    }
};

} // namespace

namespace {

inline void StoreBigEndian64(uint8_t* p, uint64_t v)
{
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

// Writes a packed row from its changes: black spans lie between a change
// into black and the next one, an odd last change runs to the end. Changes
// lie in [0, w] and do not decrease. The span's word is stored after every
// span, whether or not the next one adds to it: a store is cheaper than a
// mispredicted branch on noisy rows, and the words in between are blank already.
void FillRow(uint8_t* pRow, int64_t iRowBytes, const int32_t* a, size_t na, int32_t w, bool bWhiteIsOne)
{
    const uint64_t iInvert = bWhiteIsOne ? ~uint64_t(0) : 0;
    std::memset(pRow, bWhiteIsOne ? 0xFF : 0x00, size_t(iRowBytes));
    const size_t iFull = size_t(iRowBytes) / 8;
    auto store = [&](size_t i, uint64_t v) {
        v ^= iInvert;
        if (i < iFull) [[likely]] {
            StoreBigEndian64(pRow + 8 * i, v);
            return;
        }
        uint8_t tmp[8];
        StoreBigEndian64(tmp, v);
        std::memcpy(pRow + 8 * i, tmp, size_t(iRowBytes) - 8 * i);
    };
    size_t iWord = 0; // the word cur stands for
    uint64_t cur = 0;
    for (size_t k = 0; k < na; k += 2) {
        const uint32_t s = uint32_t(a[k]), e = uint32_t(k + 1 < na ? a[k + 1] : w);
        if (s >= e)
            continue;
        const size_t ws = s >> 6, we = (e - 1) >> 6;
        cur = ws == iWord ? cur : 0;
        iWord = ws;
        const uint64_t iHead = ~uint64_t(0) >> (s & 63), iTail = ~uint64_t(0) << (63 - ((e - 1) & 63));
        if (we == ws) [[likely]] {
            cur |= iHead & iTail;
            store(iWord, cur);
            continue;
        }
        store(iWord, cur | iHead);
        while (++iWord < we)
            store(iWord, ~uint64_t(0));
        cur = iTail;
        store(iWord, cur);
    }
}

} // namespace

uint32_t CTIFReader::CDecoderHuffman::DecodeLine(uint8_t* pBuffer)
{
    const int32_t w = m_iWidth;
    if (uint64_t(m_iPos) * 8 - uint64_t(m_iAccBits) >= uint64_t(m_iSize) * 8)
        return IMG_HUFFMAN_CANT_READ;
    CFaxBitReader bits{m_pData, m_iSize, m_iPos, m_iAcc, m_iAccBits};
    // The bits go back to the members however the row ends.
    struct CKeep {
        CFaxBitReader& m_Bits;
        CDecoderHuffman& m_Decoder;
        ~CKeep()
        {
            m_Decoder.m_iPos = m_Bits.m_iPos;
            m_Decoder.m_iAcc = m_Bits.m_iAcc;
            m_Decoder.m_iAccBits = m_Bits.m_iBits;
        }
    } keep{bits, *this};
    int32_t* const a = m_Changes.data() + 1;
    const size_t iMaxChanges = size_t(2) * size_t(w) + 8;
    size_t na = 0;
    if (!m_bGroup4) {
        int32_t x = 0;
        bool bBlack = false;
        while (x < w) {
            // Zero runs move nothing; the cap on the changes ends a flood of them.
            if (na > iMaxChanges)
                return IMG_HUFFMAN_FORMAT_ERROR;
            if (bits.m_iBits < kFaxPairBits)
                bits.Refill();
            // Two short runs at once, unless the first ends the row: the bits
            // after it are the padding and the next row.
            const uint32_t iPair = kFaxTables.m_Pair[bBlack][bits.m_iAcc >> (64 - kFaxPairBits)];
            const int32_t r1 = int32_t(iPair >> 6 & 63), r2 = int32_t(iPair & 63);
            if ((iPair >> 12) != 0 && r1 < w - x) [[likely]] {
                if (r2 > w - x - r1)
                    return IMG_HUFFMAN_FORMAT_ERROR;
                bits.Skip(int32_t(iPair >> 12));
                a[na++] = x + r1;
                x += r1 + r2;
                a[na++] = x;
                continue;
            }
            int32_t iRun = 0;
            if (!bits.Run(bBlack, w, iRun) || iRun > w - x)
                return IMG_HUFFMAN_FORMAT_ERROR;
            x += iRun;
            a[na++] = x;
            bBlack = !bBlack;
        }
        FillRow(pBuffer, m_iRowLength, a, na, w, m_bWhiteIsOne);
        const int32_t iPad = static_cast<int32_t>((8 - bits.Consumed() % 8) % 8); // rows start on a byte
        if (bits.m_iBits < iPad)
            bits.Refill();
        bits.Skip(iPad);
        return IMG_OK;
    }
    int32_t* const b = m_Reference.data() + 1;
    const size_t nb = size_t(m_iReference) + 4;
    for (size_t k = size_t(m_iReference); k < nb; ++k)
        b[k] = w;
    // a0 stands before the row at first; 0 serves as well, as no search for
    // b1 comes before the first step (b1 may then be 0) and a1 may equal a0.
    int32_t a0 = 0;
    uint32_t iColor = 0; // of the pixels from a0 on: 0 white, 1 black
    // ib: b1's index, the first reference change right of a0 whose index has
    // the parity of a0's colour (even indexes change into black). Both rows'
    // changes never decrease (every step checks that), nor does a0, so after
    // a step the search goes on from a point the mode tells: mostly b1 is
    // found there at once, and the next b1 does not wait for a0.
    ptrdiff_t ib = 0;
    for (;;) {
        // ib stays at or below the first end-of-row mark with its parity:
        // every change is at most w, a0 is below w here.
        if (na > iMaxChanges)
            return IMG_HUFFMAN_FORMAT_ERROR;
        const int32_t b1 = b[ib], b2 = b[ib + 1];
        if (bits.m_iBits < kFaxHorizontalBits + kFaxPairBits)
            bits.Refill();
        const CFaxModeEntry m = kFaxTables.m_ModeDecode[bits.m_iAcc >> (64 - kFaxModePeekBits)];
        // Looked up before the mode is known, so both loads go out together.
        const uint32_t iPair =
            kFaxTables.m_Pair[iColor][(bits.m_iAcc >> (64 - kFaxHorizontalBits - kFaxPairBits)) & ((1u << kFaxPairBits) - 1)];
        if (m.m_eMode == FAX_MODE_HORIZONTAL) {
            int32_t r1 = int32_t(iPair >> 6 & 63), r2 = int32_t(iPair & 63);
            if (iPair >> 12) [[likely]] {
                bits.Skip(kFaxHorizontalBits + int32_t(iPair >> 12));
            } else {
                // Make-up words or long terminating words: a walk through the run tables.
                bits.Skip(kFaxHorizontalBits);
                if (!bits.Run(iColor, w, r1) || !bits.Run(!iColor, w, r2))
                    return IMG_HUFFMAN_FORMAT_ERROR;
            }
            if (r1 > w - a0 || r2 > w - a0 - r1)
                return IMG_HUFFMAN_FORMAT_ERROR;
            a[na++] = a0 + r1;
            a0 += r1 + r2;
            a[na++] = a0;
        } else {
            // Vertical and pass modes without a branch between them (masks,
            // lest the compiler make one): on scans they alternate too
            // irregularly for any predictor.
            bits.Skip(m.m_iLength);
            const uint32_t iVertical = m.m_iVertical;
            const int32_t a1 = b1 + m.m_iDelta;
            const int32_t iNext = b2 ^ ((a1 ^ b2) & -int32_t(iVertical));
            if ((uint32_t(iNext - a0) > uint32_t(w - a0)) | (m.m_eMode == FAX_MODE_INVALID))
                return IMG_HUFFMAN_FORMAT_ERROR;
            a[na] = a1;
            na += iVertical;
            iColor ^= iVertical;
            a0 = iNext;
        }
        if (a0 >= w)
            break;
        ib += m.m_iNextB1; // b[-1] is -1
        // One step of the search without a branch: on noisy rows one step in
        // twelve is needed, too seldom to predict and too often to pay for.
        ib += 2 & -ptrdiff_t(b[ib] <= a0);
        while (b[ib] <= a0)
            ib += 2; // the end-of-row marks stop it
    }
    FillRow(pBuffer, m_iRowLength, a, na, w, m_bWhiteIsOne);
    std::swap(m_Changes, m_Reference);
    m_iReference = static_cast<int32_t>(na);
    return IMG_OK;
}

std::unique_ptr<CTIFReader::CDecoder> CTIFReader::MakeDecoder(int32_t iCompression)
{
    switch (iCompression) {
    case 1: return std::make_unique<CDecoderNone>();
    case 2: return std::make_unique<CDecoderHuffman>(false);
    case 4: return std::make_unique<CDecoderHuffman>(true);
    case 5: return std::make_unique<CDecoderLZW>();
    case 32773: return std::make_unique<CDecoderPackbit>();
    default: return nullptr;
    }
}

// ---------------------------------------------------------------- the file

CTIFReader::~CTIFReader() = default;

void CTIFReader::SetMemory(const uint8_t* pData, size_t iSize)
{
    m_pMemory = pData;
    m_iMemorySize = iSize;
}

uint16_t CTIFReader::Get16(const uint8_t* p) const
{
    return m_bBigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t CTIFReader::Get32(const uint8_t* p) const
{
    return m_bBigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                        : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

uint64_t CTIFReader::Get64(const uint8_t* p) const
{
    const uint64_t a = Get32(p), b = Get32(p + 4);
    return m_bBigEndian ? (a << 32 | b) : (b << 32 | a);
}

uint32_t CTIFReader::Open(int32_t& iPageCount)
{
    iPageCount = 0;
    m_szProblem.clear();
    m_IfdOffsets.clear();
    m_Pages.clear();
    if (m_pMemory) {
        m_pSource = std::make_unique<CMemorySource>(m_pMemory, m_iMemorySize);
    } else {
        const int iFd = ::open(m_szFileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (iFd < 0)
            return IMG_CANT_OPEN_TIF;
        struct stat st {};
        if (::fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(iFd);
            return IMG_CANT_OPEN_TIF;
        }
        m_pSource = std::make_unique<CFileSource>(iFd, static_cast<uint64_t>(st.st_size));
    }
    uint8_t h[16];
    if (!m_pSource->ReadAt(0, h, 8))
        return IMG_TIF_FORMAT_ERROR;
    if (h[0] == 'I' && h[1] == 'I')
        m_bBigEndian = false;
    else if (h[0] == 'M' && h[1] == 'M')
        m_bBigEndian = true;
    else
        return IMG_TIF_FORMAT_ERROR;
    uint64_t iIfd;
    const uint16_t iVersion = Get16(h + 2);
    if (iVersion == 42) {
        m_bBigTiff = false;
        iIfd = Get32(h + 4);
    } else if (iVersion == 43) {
        m_bBigTiff = true;
        if (!m_pSource->ReadAt(0, h, 16) || Get16(h + 4) != 8 || Get16(h + 6) != 0)
            return IMG_TIF_FORMAT_ERROR;
        iIfd = Get64(h + 8);
    } else {
        return IMG_TIF_FORMAT_ERROR;
    }
    // Follow the chain; an offset seen before would loop forever.
    std::set<uint64_t> seen;
    while (iIfd != 0) {
        if (!seen.insert(iIfd).second) {
            m_szProblem = FormatText("the IFD chain loops back to offset %llu", static_cast<unsigned long long>(iIfd));
            return IMG_TIF_FORMAT_ERROR;
        }
        if (m_IfdOffsets.size() >= kMaxPages) {
            m_szProblem = FormatText("the IFD chain holds more than %d pages", int(kMaxPages));
            return IMG_TIF_FORMAT_ERROR;
        }
        const size_t iHead = m_bBigTiff ? 8 : 2, iEntry = m_bBigTiff ? 20 : 12, iNext = m_bBigTiff ? 8 : 4;
        uint8_t c[8];
        if (!m_pSource->ReadAt(iIfd, c, iHead)) {
            m_szProblem = FormatText("the IFD offset %llu lies past the end of the file", static_cast<unsigned long long>(iIfd));
            return IMG_TIF_FORMAT_ERROR;
        }
        const uint64_t n = m_bBigTiff ? Get64(c) : Get16(c);
        if (n == 0 || n > m_pSource->Size() / iEntry) {
            m_szProblem = FormatText("the IFD at offset %llu declares %llu entries", static_cast<unsigned long long>(iIfd),
                                     static_cast<unsigned long long>(n));
            return IMG_TIF_FORMAT_ERROR;
        }
        m_IfdOffsets.push_back(iIfd);
        if (!m_pSource->ReadAt(iIfd + iHead + n * iEntry, c, iNext))
            return IMG_TIF_FORMAT_ERROR;
        iIfd = m_bBigTiff ? Get64(c) : Get32(c);
    }
    if (m_IfdOffsets.empty())
        return IMG_TIF_FORMAT_ERROR;
    iPageCount = static_cast<int32_t>(m_IfdOffsets.size());
    return IMG_OK;
}

uint32_t CTIFReader::NextIfdFieldOfLastPage(uint64_t& iPosition) const
{
    if (!m_pSource || m_IfdOffsets.empty())
        return IMG_TIF_FORMAT_ERROR;
    uint8_t c[8];
    const uint64_t iIfd = m_IfdOffsets.back();
    if (!m_pSource->ReadAt(iIfd, c, m_bBigTiff ? 8 : 2))
        return IMG_TIF_FORMAT_ERROR;
    const uint64_t n = m_bBigTiff ? Get64(c) : Get16(c);
    iPosition = iIfd + (m_bBigTiff ? 8 + 20 * n : 2 + 12 * n);
    return IMG_OK;
}

uint32_t CTIFReader::ReadPageInfo()
{
    if (!m_pSource)
        return IMG_CANT_OPEN_TIF;
    m_szProblem.clear();
    m_Pages.assign(m_IfdOffsets.size(), CTifPageInfo{});
    for (size_t i = 0; i < m_IfdOffsets.size(); ++i) {
        const uint32_t iResult = ReadIfd(m_IfdOffsets[i], m_Pages[i]);
        if (iResult != IMG_OK)
            return iResult;
    }
    return IMG_OK;
}

uint32_t CTIFReader::ReadIfd(uint64_t iOffset, CTifPageInfo& page) const
{
    const uint64_t iFileSize = m_pSource->Size();
    const size_t iHead = m_bBigTiff ? 8 : 2, iEntrySize = m_bBigTiff ? 20 : 12, iInline = m_bBigTiff ? 8 : 4;
    uint8_t c[8];
    if (!m_pSource->ReadAt(iOffset, c, iHead))
        return IMG_TIF_FORMAT_ERROR;
    const uint64_t n = m_bBigTiff ? Get64(c) : Get16(c);
    std::vector<uint8_t> raw(static_cast<size_t>(n * iEntrySize));
    if (!m_pSource->ReadAt(iOffset + iHead, raw.data(), raw.size()))
        return IMG_TIF_FORMAT_ERROR;
    page = CTifPageInfo{};
    page.m_iIfdOffset = iOffset;
    int32_t iBits = 1, iSamples = 1, iPlanar = 1, iUnit = 2;
    bool bResolution = false, bRowsPerStrip = false, bHaveCounts = false;
    uint32_t iXNum = 0, iXDen = 0;
    std::vector<uint16_t> colorMap;

    for (uint64_t k = 0; k < n; ++k) {
        const uint8_t* e = raw.data() + k * iEntrySize;
        const uint16_t iTag = Get16(e), iType = Get16(e + 2);
        const uint64_t iCount = m_bBigTiff ? Get64(e + 4) : Get32(e + 4);
        const uint8_t* pInline = e + (m_bBigTiff ? 12 : 8);
        const uint32_t iTypeSize = TypeSize(iType);
        // The bytes of the value: inline, or at an offset that must lie in the file.
        auto valueBytes = [&](std::vector<uint8_t>& out) -> bool {
            if (iTypeSize == 0 || iCount > iFileSize / iTypeSize)
                return false;
            const uint64_t iBytes = iCount * iTypeSize;
            if (iBytes <= iInline) {
                out.assign(pInline, pInline + iBytes);
                return true;
            }
            const uint64_t iAt = m_bBigTiff ? Get64(pInline) : Get32(pInline);
            if (iBytes > MaxAllocationBytes())
                return false;
            out.resize(static_cast<size_t>(iBytes));
            return m_pSource->ReadAt(iAt, out.data(), out.size());
        };
        // Integer arrays of SHORT, LONG or (BigTIFF) LONG8.
        auto integers = [&](std::vector<uint64_t>& out, bool bAllowLong8) -> bool {
            if (iType != 3 && iType != 4 && !(bAllowLong8 && iType == 16))
                return false;
            std::vector<uint8_t> bytes;
            if (!valueBytes(bytes))
                return false;
            out.resize(static_cast<size_t>(iCount));
            for (uint64_t i = 0; i < iCount; ++i)
                out[i] = iType == 3 ? Get16(&bytes[i * 2]) : iType == 4 ? Get32(&bytes[i * 4]) : Get64(&bytes[i * 8]);
            return true;
        };
        auto single = [&](uint64_t& v) -> bool {
            std::vector<uint64_t> values;
            if (iCount != 1 || !integers(values, m_bBigTiff))
                return false;
            v = values[0];
            return true;
        };
        uint64_t v = 0;
        switch (iTag) {
        case TIF_TAG_IMAGE_WIDTH:
        case TIF_TAG_IMAGE_LENGTH:
            if (!single(v) || v == 0 || v > INT32_MAX)
                return IMG_TIF_FORMAT_ERROR;
            (iTag == TIF_TAG_IMAGE_WIDTH ? page.m_iWidth : page.m_iHeight) = static_cast<int32_t>(v);
            break;
        case TIF_TAG_BITS_PER_SAMPLE: {
            std::vector<uint64_t> bits;
            if (!integers(bits, false) || bits.empty())
                return IMG_TIF_FORMAT_ERROR;
            for (uint64_t b : bits)
                if (b != bits[0])
                    return IMG_UNSUPPORTED_TIF;
            iBits = static_cast<int32_t>(std::min<uint64_t>(bits[0], 64));
            break;
        }
        case TIF_TAG_COMPRESSION:
            if (iType != 3 || !single(v))
                return IMG_TIF_FORMAT_ERROR;
            page.m_iCompression = static_cast<int32_t>(v);
            break;
        case TIF_TAG_PHOTOMETRIC:
            if (iType != 3 || !single(v))
                return IMG_TIF_FORMAT_ERROR;
            page.m_iPhotometric = static_cast<int32_t>(v);
            break;
        case TIF_TAG_FILL_ORDER:
            if (single(v))
                page.m_iFillOrder = static_cast<int32_t>(v);
            break;
        case TIF_TAG_IMAGE_DESCRIPTION: {
            std::vector<uint8_t> text;
            if (iType != 2 || !valueBytes(text))
                return IMG_TIF_FORMAT_ERROR;
            page.m_szDescription.assign(text.begin(), std::find(text.begin(), text.end(), 0));
            break;
        }
        case TIF_TAG_STRIP_OFFSETS:
            if (!integers(page.m_StripOffsets, true))
                return IMG_TIF_FORMAT_ERROR;
            break;
        case TIF_TAG_SAMPLES_PER_PIXEL:
            if (!single(v) || v == 0 || v > 16)
                return IMG_TIF_FORMAT_ERROR;
            iSamples = static_cast<int32_t>(v);
            break;
        case TIF_TAG_ROWS_PER_STRIP:
            if (!single(v) || v == 0)
                return IMG_TIF_FORMAT_ERROR;
            page.m_iRowsPerStrip = static_cast<int64_t>(std::min<uint64_t>(v, INT32_MAX));
            bRowsPerStrip = true;
            break;
        case TIF_TAG_STRIP_BYTE_COUNTS:
            if (!integers(page.m_StripByteCounts, true))
                return IMG_TIF_FORMAT_ERROR;
            bHaveCounts = true;
            break;
        case TIF_TAG_X_RESOLUTION:
        case TIF_TAG_Y_RESOLUTION: {
            std::vector<uint8_t> r;
            if (iType != 5 || iCount != 1 || !valueBytes(r))
                return IMG_TIF_FORMAT_ERROR;
            if (iTag == TIF_TAG_X_RESOLUTION) {
                iXNum = Get32(r.data());
                iXDen = Get32(r.data() + 4);
                bResolution = true;
            }
            break;
        }
        case TIF_TAG_PLANAR_CONFIGURATION:
            if (!single(v))
                return IMG_TIF_FORMAT_ERROR;
            iPlanar = static_cast<int32_t>(v);
            break;
        case TIF_TAG_RESOLUTION_UNIT:
            if (!single(v))
                return IMG_TIF_FORMAT_ERROR;
            iUnit = static_cast<int32_t>(v);
            break;
        case TIF_TAG_PREDICTOR:
            if (!single(v))
                return IMG_TIF_FORMAT_ERROR;
            page.m_iPredictor = static_cast<int32_t>(v);
            break;
        case TIF_TAG_COLOR_MAP: {
            std::vector<uint64_t> values;
            if (iType != 3 || !integers(values, false))
                return IMG_TIF_FORMAT_ERROR;
            colorMap.assign(values.begin(), values.end());
            break;
        }
        case TIF_TAG_ICC_PROFILE:
            if (iTypeSize == 0 || iCount > iFileSize)
                return IMG_TIF_FORMAT_ERROR;
            if (iCount <= iInline) {
                page.m_iIccOffset = iOffset + iHead + k * iEntrySize + (m_bBigTiff ? 12 : 8);
            } else {
                page.m_iIccOffset = m_bBigTiff ? Get64(pInline) : Get32(pInline);
            }
            page.m_iIccSize = iCount * iTypeSize;
            if (page.m_iIccOffset > iFileSize || page.m_iIccSize > iFileSize - page.m_iIccOffset)
                return IMG_TIF_FORMAT_ERROR;
            break;
        default: break;
        }
    }

    if (page.m_iWidth <= 0 || page.m_iHeight <= 0 || page.m_StripOffsets.empty() || !bHaveCounts)
        return IMG_TIF_FORMAT_ERROR;
    if (iPlanar != 1 && iSamples > 1)
        return IMG_UNSUPPORTED_TIF;
    // The kind from bits, samples and photometric interpretation.
    const int32_t p = page.m_iPhotometric;
    // Our writer packs gray, palette and RGB samples into nibbles on request;
    // such pages are widened to the 8-bit kinds as they are read.
    page.m_b4Bit = iBits == 4 && iSamples != 2;
    if (page.m_b4Bit)
        iBits = 8;
    if (iSamples == 1 && iBits == 1 && (p == 0 || p == 1 || p == -1))
        page.m_iKind = IMG_KIND_BILEVEL;
    else if (iSamples == 1 && iBits == 8 && (p == 0 || p == 1))
        page.m_iKind = IMG_KIND_GRAY;
    else if (iSamples == 1 && iBits == 8 && p == 3)
        page.m_iKind = IMG_KIND_PALETTE;
    else if (iSamples == 1 && iBits == 16 && (p == 0 || p == 1))
        page.m_iKind = IMG_KIND_GRAY16;
    else if (iSamples == 3 && iBits == 8 && (p == 2 || p == 8))
        page.m_iKind = IMG_KIND_RGB;
    else if (iSamples == 3 && iBits == 16 && (p == 2 || p == 8))
        page.m_iKind = IMG_KIND_RGB48;
    else
        return IMG_UNSUPPORTED_TIF;
    if ((page.m_iCompression == 2 || page.m_iCompression == 4) && page.m_iKind != IMG_KIND_BILEVEL)
        return IMG_UNSUPPORTED_TIF;
    if (page.m_iPredictor != 1 && page.m_iPredictor != 2)
        return IMG_UNSUPPORTED_TIF;
    if (page.m_iPredictor == 2 &&
        (page.m_iKind == IMG_KIND_BILEVEL || page.m_iKind == IMG_KIND_PALETTE || page.m_b4Bit))
        return IMG_UNSUPPORTED_TIF;
    if (page.m_iKind == IMG_KIND_PALETTE) {
        const int32_t iColors = page.m_b4Bit ? 16 : 256;
        if (colorMap.size() != size_t(3 * iColors))
            return IMG_TIF_FORMAT_ERROR;
        for (int32_t i = 0; i < iColors; ++i)
            for (int32_t c = 0; c < 3; ++c) // file order red, green, blue; ours blue, green, red
                page.m_Palette[4 * i + 2 - c] =
                    static_cast<uint8_t>(colorMap[size_t(c * iColors + i)] * 255 / 65535);
    }
    // Resolution: dpi, rounded; a page without it reads as 300 dpi.
    if (bResolution) {
        if (iUnit == 1 || iXDen == 0)
            page.m_iResolution = 0;
        else if (iUnit == 3)
            page.m_iResolution = static_cast<int32_t>((uint64_t(iXNum) * 254 + uint64_t(iXDen) * 50) / (uint64_t(iXDen) * 100));
        else
            page.m_iResolution = static_cast<int32_t>((uint64_t(iXNum) + iXDen / 2) / iXDen);
    }

    page.m_iRowLength = ImageRowLength(page.m_iKind, page.m_iWidth);
    page.m_iFileRowLength = page.m_b4Bit ? (page.m_iRowLength + 1) / 2 : page.m_iRowLength;
    if (!bRowsPerStrip || page.m_iRowsPerStrip > page.m_iHeight)
        page.m_iRowsPerStrip = page.m_iHeight;
    const uint64_t iStrips = (uint64_t(page.m_iHeight) + page.m_iRowsPerStrip - 1) / page.m_iRowsPerStrip;
    if (page.m_StripOffsets.size() < iStrips || page.m_StripByteCounts.size() < iStrips)
        return IMG_TIF_FORMAT_ERROR;
    page.m_StripOffsets.resize(iStrips);
    page.m_StripByteCounts.resize(iStrips);
    uint64_t iCompressed = 0;
    for (uint64_t s = 0; s < iStrips; ++s) {
        const uint64_t o = page.m_StripOffsets[s], b = page.m_StripByteCounts[s];
        if (o > iFileSize || b > iFileSize - o) {
            m_szProblem = FormatText("StripOffsets and StripByteCounts of strip %llu run past the end of the file",
                                     static_cast<unsigned long long>(s));
            return IMG_TIF_FORMAT_ERROR;
        }
        if (b > MaxAllocationBytes()) {
            m_szProblem = CheckAllocation("StripByteCounts", b, 1, iFileSize - o, "bytes");
            return IMG_TIF_READ_TOO_LONG;
        }
        iCompressed += b;
    }
    // A page may not claim more pixels than its strips can hold when decoded.
    const uint64_t iPageBytes = uint64_t(page.m_iFileRowLength) * uint64_t(page.m_iHeight);
    uint64_t iCapacity = 0;
    switch (page.m_iCompression) {
    case 1: iCapacity = iCompressed; break;
    case 32773: iCapacity = iCompressed * 64 + uint64_t(page.m_iHeight) * 2; break;
    case 5: iCapacity = iCompressed * 3641; break;
    case 2:
    case 4:
        // A coded row takes at least one bit (a byte in modified Huffman).
        iCapacity = (page.m_iCompression == 4 ? iCompressed * 8 : iCompressed) >= uint64_t(page.m_iHeight) ? iPageBytes : 0;
        break;
    default: iCapacity = iPageBytes; break; // refused when the page is read
    }
    // The strips' honesty first: a small file claiming a huge page is a lie, not a big picture.
    const std::string szField = FormatText("ImageWidth x ImageLength (%d x %d)", page.m_iWidth, page.m_iHeight);
    if (iPageBytes > iCapacity) {
        m_szProblem = FormatText("%s needs %llu bytes; its strips decode to at most %llu", szField.c_str(),
                                 static_cast<unsigned long long>(iPageBytes), static_cast<unsigned long long>(iCapacity));
        return IMG_TIF_READ_TOO_LONG;
    }
    if (const std::string sz = CheckAllocation(szField.c_str(), uint64_t(page.m_iRowLength) * uint64_t(page.m_iHeight), 1,
                                               UINT64_MAX, "bytes");
        !sz.empty()) {
        m_szProblem = sz;
        return IMG_TIF_READ_TOO_LONG;
    }
    return IMG_OK;
}

namespace {

// Widens a row of 4-bit samples, stored in the first half of the buffer, to
// one byte each; levels are scaled so that 15 becomes 255, indexes are kept.
// Works from the end so the packed bytes are read before they are overwritten.
void WidenNibbles(uint8_t* pRow, int64_t iSamples, bool bLevels)
{
    const uint8_t iScale = bLevels ? 17 : 1;
    for (int64_t i = iSamples - 1; i >= 0; --i) {
        const uint8_t b = pRow[i / 2];
        pRow[i] = static_cast<uint8_t>(((i & 1) ? (b & 0x0F) : (b >> 4)) * iScale);
    }
}

} // namespace

uint32_t CTIFReader::ReadPage(int32_t iPage)
{
    if (!m_pSource || !m_pReceiver)
        return IMG_CANT_OPEN_TIF;
    if (m_Pages.size() != m_IfdOffsets.size()) {
        const uint32_t iResult = ReadPageInfo();
        if (iResult != IMG_OK)
            return iResult;
    }
    if (iPage < 0 || size_t(iPage) >= m_Pages.size())
        return IMG_INVALID_TIFF_ARGUMENTS;
    return DoReadPage(m_Pages[size_t(iPage)]);
}

uint32_t CTIFReader::DoReadPage(const CTifPageInfo& page)
{
    std::unique_ptr<CDecoder> pDecoder = MakeDecoder(page.m_iCompression);
    if (!pDecoder)
        return IMG_UNSUPPORTED_TIF;
    pDecoder->SetRow(page.m_iFileRowLength, page.m_iWidth);
    if (m_pIccSink) {
        m_pIccSink->resize(static_cast<size_t>(page.m_iIccSize));
        if (page.m_iIccSize && !m_pSource->ReadAt(page.m_iIccOffset, m_pIccSink->data(), m_pIccSink->size()))
            return IMG_CANT_READ_TIF;
    }
    uint32_t iResult = m_pReceiver->BeginPage(page.m_iKind, page.m_iWidth, page.m_iHeight, page.m_iResolution,
                                              page.m_iKind == IMG_KIND_PALETTE ? page.m_Palette : nullptr,
                                              page.m_iKind == IMG_KIND_PALETTE ? 256 : 0);
    if (iResult != IMG_OK)
        return iResult;
    const bool bSwap = m_bBigEndian && (page.m_iKind == IMG_KIND_GRAY16 || page.m_iKind == IMG_KIND_RGB48);
    const bool bCCITT = page.m_iCompression == 2 || page.m_iCompression == 4;
    // Our rows say 1 = white for bilevel and 255 = white for gray.
    const bool bInvert = (page.m_iKind == IMG_KIND_BILEVEL || page.m_iKind == IMG_KIND_GRAY) &&
                         (bCCITT ? page.m_iPhotometric != 1 : page.m_iPhotometric == 0);
    if (bCCITT && bInvert)
        static_cast<CDecoderHuffman*>(pDecoder.get())->SetWhiteIsOne(true);
    std::vector<uint8_t> strip;
    int64_t iRow = 0;
    for (size_t s = 0; s < page.m_StripOffsets.size() && iRow < page.m_iHeight; ++s) {
        const size_t iBytes = static_cast<size_t>(page.m_StripByteCounts[s]);
        const uint8_t* pStrip;
        if (m_pSource->Data() && page.m_iFillOrder != 2) {
            pStrip = m_pSource->Data() + page.m_StripOffsets[s]; // checked against the size in ReadIfd
        } else {
            strip.resize(iBytes);
            if (!m_pSource->ReadAt(page.m_StripOffsets[s], strip.data(), strip.size()))
                return IMG_CANT_READ_TIF;
            if (page.m_iFillOrder == 2)
                for (uint8_t& b : strip)
                    b = ReverseBits(b);
            pStrip = strip.data();
        }
        const int64_t iRows = std::min<int64_t>(page.m_iRowsPerStrip, page.m_iHeight - iRow);
        if ((iResult = pDecoder->BeginStrip(pStrip, iBytes, iRows)) != IMG_OK)
            return iResult;
        for (int64_t r = 0; r < iRows; ++r, ++iRow) {
            uint8_t* pRow = m_pReceiver->GetLineBuffer();
            if (!pRow)
                return IMG_TIF_OUT_OF_MEMORY;
            if ((iResult = pDecoder->DecodeLine(pRow)) != IMG_OK)
                return iResult;
            if (page.m_b4Bit)
                WidenNibbles(pRow, page.m_iRowLength, page.m_iKind != IMG_KIND_PALETTE);
            if (bSwap)
                SwapBytes16(pRow, page.m_iRowLength);
            if (page.m_iPredictor == 2)
                CDifferencingFilter::Undifference(page.m_iKind, pRow, page.m_iRowLength);
            if (bInvert && !bCCITT)
                InvertBytes(pRow, page.m_iRowLength);
            if ((iResult = m_pReceiver->WriteLine()) != IMG_OK)
                return iResult;
        }
    }
    return m_pReceiver->EndPage();
}

uint32_t ReadFirstTiffPage(CImageReceiver& receiver, const std::string& szPath, CTifPageInfo* pInfo, std::string* pProblem)
{
    CTIFReader reader;
    reader.SetFileName(szPath);
    reader.SetReceiver(&receiver);
    int32_t iPages = 0;
    uint32_t iResult = reader.Open(iPages);
    if (iResult == IMG_OK)
        iResult = reader.ReadPageInfo();
    if (iResult == IMG_OK && pInfo && iPages > 0)
        *pInfo = reader.PageInfo(0);
    if (iResult == IMG_OK)
        iResult = reader.ReadPage(0);
    if (pProblem)
        *pProblem = reader.Problem();
    return iResult;
}

void ReadCameraLayout(const std::string& szDescription, CPicture& pic)
{
    std::sscanf(szDescription.c_str(), "ZEL\nm_iA=%d\nm_iB=%d\nm_iC=%d\nm_iD=%d\nm_iE=%d\nm_iF=%d\nm_iG=%d\nm_iH=%d",
                &pic.m_BiC[0], &pic.m_BiC[1], &pic.m_BiC[2], &pic.m_BiC[3], &pic.m_BiC[4], &pic.m_BiC[5],
                &pic.m_BiC[6], &pic.m_BiC[7]);
}

uint32_t LoadTiffIntoPicture(CPicture& pic, const std::string& szPath)
{
    CMyReceiver receiver(&pic);
    CTifPageInfo info;
    const uint32_t iResult = ReadFirstTiffPage(receiver, szPath, &info);
    if (iResult != IMG_OK)
        return iResult;
    ReadCameraLayout(info.m_szDescription, pic);
    return IMG_OK;
}
