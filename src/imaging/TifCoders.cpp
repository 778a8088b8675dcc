#include "imaging/TifCoders.h"

#include <algorithm>
#include <cstring>

#include "imaging/ImageErrors.h"
#include "imaging/TifOutput.h"

// ---------------------------------------------------------------- bit sink

void CBitSink::Drain()
{
    m_pOut->Write(m_Buf, m_iUsed);
    m_iUsed = 0;
}

void CBitSink::PutMany(const uint32_t* pCodes, size_t n)
{
    uint64_t iAcc = m_iAcc;
    int32_t iBits = m_iBits;
    while (n > 0) {
        // Room for a stretch of codes of at most 16 bits each, no check inside it.
        if (m_iUsed + 64 > kSize)
            Drain();
        const size_t k = std::min(n, (kSize - m_iUsed) / 2 - 2);
        uint8_t* p = m_Buf + m_iUsed;
        for (size_t i = 0; i < k; ++i) {
            const int32_t iWidth = int32_t(pCodes[i] >> 16);
            iAcc = (iAcc << iWidth) | (pCodes[i] & 0xFFFFu);
            iBits += iWidth;
            if (iBits >= 32) {
                iBits -= 32;
                const uint32_t v = __builtin_bswap32(static_cast<uint32_t>(iAcc >> iBits));
                std::memcpy(p, &v, 4);
                p += 4;
            }
        }
        m_iUsed = size_t(p - m_Buf);
        pCodes += k;
        n -= k;
    }
    m_iAcc = iAcc;
    m_iBits = iBits;
}

void CBitSink::AlignByte()
{
    if (m_iBits % 8)
        Put(0, 8 - m_iBits % 8);
}

void CBitSink::AlignAndFlush()
{
    AlignByte();
    while (m_iBits > 0) {
        m_iBits -= 8;
        if (m_iUsed == kSize)
            Drain();
        m_Buf[m_iUsed++] = static_cast<uint8_t>(m_iAcc >> m_iBits);
    }
    m_iAcc = 0;
    Drain();
}

// ---------------------------------------------------------------- LZW

namespace {
constexpr int32_t kClearCode = 256;
constexpr int32_t kEndOfInformation = 257;
constexpr int32_t kFirstFree = 258;
constexpr size_t kTableEntries = size_t(4096) * 256;
} // namespace

CLZWCoder::CLZWCoder(CTifOutFile* pOut) : CTifCoder(pOut), m_Sink(pOut)
{
}

uint32_t CLZWCoder::BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t)
{
    m_iRowLength = ImageRowLength(iKind, iWidth);
    if (m_iRowLength <= 0)
        return IMG_INVALID_TIFF_ARGUMENTS;
    if (!m_Table) {
        m_Table.reset(new (std::nothrow) uint16_t[kTableEntries]);
        if (!m_Table)
            return IMG_TIF_OUT_OF_MEMORY;
        std::memset(m_Table.get(), 0, kTableEntries * sizeof(uint16_t));
        m_iGeneration = 0;
    }
    m_Row.assign(static_cast<size_t>(m_iRowLength), 0);
    return IMG_OK;
}

void CLZWCoder::Restart()
{
    if (++m_iGeneration > 15) {
        std::memset(m_Table.get(), 0, kTableEntries * sizeof(uint16_t));
        m_iGeneration = 1;
    }
    m_iNext = kFirstFree;
    m_iBitsPerCode = 9;
}

void CLZWCoder::PackCodes()
{
    m_Sink.PutMany(m_Codes, m_iCodes);
    m_iCodes = 0;
}

void CLZWCoder::StartStrip()
{
    Restart();
    if (m_iCodes == kBatch)
        PackCodes();
    m_Codes[m_iCodes++] = uint32_t(9) << 16 | kClearCode;
    m_iPrefix = -1;
}

void CLZWCoder::FinishStrip()
{
    if (m_iCodes + 2 > kBatch)
        PackCodes();
    if (m_iPrefix >= 0) {
        m_Codes[m_iCodes++] = uint32_t(m_iBitsPerCode) << 16 | uint32_t(m_iPrefix);
        // The decoder adds an entry for this code too; its width may step.
        if (++m_iNext == (1 << m_iBitsPerCode) && m_iBitsPerCode < 12)
            ++m_iBitsPerCode;
    }
    m_Codes[m_iCodes++] = uint32_t(m_iBitsPerCode) << 16 | kEndOfInformation;
    PackCodes();
    m_Sink.AlignAndFlush();
    m_iPrefix = -1;
}

void CLZWCoder::Encode(const uint8_t* p, int64_t n)
{
    if (n <= 0)
        return;
    uint16_t* const pTable = m_Table.get();
    // Locals: the code batch is memory the compiler would otherwise have to
    // assume overlaps the members.
    uint32_t* const pCodes = m_Codes;
    size_t iCodes = m_iCodes;
    int32_t iNext = m_iNext;
    uint32_t iWidth = uint32_t(m_iBitsPerCode);
    int32_t iPrefix = m_iPrefix;
    int64_t i = 0;
    if (iPrefix < 0)
        iPrefix = p[i++];
    uint32_t iTag = uint32_t(m_iGeneration) << 12;
    for (; i < n; ++i) {
        const uint32_t c = p[i];
        // Next byte major: the prefixes met one after the other are codes made
        // one after the other, so the lookups of a run stay in a few cache lines.
        uint16_t& entry = pTable[(c << 12) | uint32_t(iPrefix)];
        if ((entry & 0xF000u) == iTag) {
            iPrefix = entry & 0x0FFF;
            continue;
        }
        // Two codes at most go in below: a batch is packed with room for them.
        if (iCodes + 2 > kBatch) {
            m_iCodes = iCodes;
            PackCodes();
            iCodes = 0;
        }
        pCodes[iCodes++] = iWidth << 16 | uint32_t(iPrefix);
        entry = static_cast<uint16_t>(iTag | uint32_t(iNext));
        ++iNext;
        if (iNext == (1 << iWidth) && iWidth < 12) {
            ++iWidth;
        } else if (iNext == 4095) {
            pCodes[iCodes++] = uint32_t(12) << 16 | kClearCode;
            Restart();
            iNext = m_iNext;
            iWidth = uint32_t(m_iBitsPerCode);
            iTag = uint32_t(m_iGeneration) << 12;
        }
        iPrefix = static_cast<int32_t>(c);
    }
    m_iCodes = iCodes;
    m_iNext = iNext;
    m_iBitsPerCode = int32_t(iWidth);
    m_iPrefix = iPrefix;
}

uint32_t CLZWCoder::WriteLine()
{
    Encode(m_Row.data(), m_iRowLength);
    return IMG_OK;
}

// ---------------------------------------------------------------- PackBits

uint32_t CPackbitCoder::BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t)
{
    m_iRowLength = ImageRowLength(iKind, iWidth);
    if (m_iRowLength <= 0)
        return IMG_INVALID_TIFF_ARGUMENTS;
    m_Row.assign(static_cast<size_t>(m_iRowLength), 0);
    // Worst case: one header byte per 128 literals.
    m_Coded.resize(static_cast<size_t>(m_iRowLength + m_iRowLength / 128 + 2));
    return IMG_OK;
}

size_t CPackbitCoder::Encode(const uint8_t* p, size_t n, uint8_t* pOut)
{
    size_t o = 0, i = 0;
    while (i < n) {
        // Length of the run at i, eight bytes at a time (scans are mostly paper).
        const size_t iMax = std::min<size_t>(128, n - i);
        const uint64_t iPattern = 0x0101010101010101ull * p[i];
        size_t iRun = 1;
        for (;;) {
            if (iRun + 8 > iMax) {
                while (iRun < iMax && p[i + iRun] == p[i])
                    ++iRun;
                break;
            }
            uint64_t v;
            std::memcpy(&v, p + i + iRun, 8);
            if (const uint64_t x = v ^ iPattern) {
                iRun += static_cast<size_t>(__builtin_ctzll(x) / 8);
                break;
            }
            iRun += 8;
        }
        if (iRun >= 3 || (iRun == 2 && i + 2 >= n)) {
            pOut[o++] = static_cast<uint8_t>(1 - static_cast<int32_t>(iRun));
            pOut[o++] = p[i];
            i += iRun;
            continue;
        }
        // Literals up to the next run of three equal bytes.
        const size_t iStart = i;
        while (i < n && i - iStart < 128) {
            if (i + 2 < n && p[i] == p[i + 1] && p[i] == p[i + 2])
                break;
            ++i;
        }
        const size_t iCount = i - iStart;
        pOut[o++] = static_cast<uint8_t>(iCount - 1);
        std::memcpy(pOut + o, p + iStart, iCount);
        o += iCount;
    }
    return o;
}

uint32_t CPackbitCoder::WriteLine()
{
    const size_t n = Encode(m_Row.data(), static_cast<size_t>(m_iRowLength), m_Coded.data());
    m_pOut->Write(m_Coded.data(), n);
    return IMG_OK;
}

// ---------------------------------------------------------------- CCITT

namespace {

// Most significant bit first, in locals the compiler keeps in registers:
// the output bytes cannot alias them.
struct CFaxBits {
    uint64_t m_iAcc;
    int32_t m_iBits;
    uint8_t* m_p;
    void Put(uint32_t iCode, uint32_t iLength)
    {
        m_iAcc = (m_iAcc << iLength) | iCode;
        m_iBits += int32_t(iLength);
        if (m_iBits >= 32) {
            m_iBits -= 32;
            const uint32_t v = __builtin_bswap32(static_cast<uint32_t>(m_iAcc >> m_iBits));
            std::memcpy(m_p, &v, 4);
            m_p += 4;
        }
    }
    void Put(const CFaxCode& c) { Put(c.m_iCode, c.m_iLength); }
    void Run(int32_t iRun, bool bBlack)
    {
        while (iRun >= 2624) [[unlikely]] {
            Put(kFaxTables.m_Makeup[bBlack][40]);
            iRun -= 2560;
        }
        Put(FaxRunCode(bBlack, uint32_t(iRun)));
    }
    void AlignByte()
    {
        if (m_iBits % 8)
            Put(0, uint32_t(8 - m_iBits % 8));
    }
};

inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

} // namespace

uint32_t CHuffmanCoder::BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t)
{
    if (iKind != IMG_KIND_BILEVEL || iWidth < 1 ||
        (m_eMode != HUFFMAN_MH && m_eMode != HUFFMAN_G3 && m_eMode != HUFFMAN_G4))
        return IMG_INVALID_HUFFMAN_ARGUMENTS;
    m_iWidth = iWidth;
    m_iRowLength = ImageRowLength(iKind, iWidth);
    // Eight bytes beyond the row for the word-wise change finding.
    m_Row.assign(static_cast<size_t>(m_iRowLength) + 8, 0xFF);
    m_Changes.assign(size_t(iWidth) + 8, 0);
    m_Reference.assign(size_t(iWidth) + 8, 0);
    m_iReference = 0;
    // A row codes into less than 29 bits per change plus an end-of-line word.
    m_Coded.assign(kFlushAt + (size_t(iWidth) + 4) * 5 + 64, 0);
    m_iCoded = 0;
    m_iAcc = 0;
    m_iBits = 0;
    return IMG_OK;
}

void CHuffmanCoder::StartStrip()
{
    // Every strip is decodable on its own: two-dimensional coding starts
    // again from an all-white reference row.
    m_iReference = 0;
}

void CHuffmanCoder::FinishStrip()
{
    CFaxBits bits{m_iAcc, m_iBits, m_Coded.data() + m_iCoded};
    if (m_eMode == HUFFMAN_G4) {
        bits.Put(1, 12); // EOFB: two EOLs
        bits.Put(1, 12);
    }
    bits.AlignByte();
    while (bits.m_iBits > 0) {
        bits.m_iBits -= 8;
        *bits.m_p++ = static_cast<uint8_t>(bits.m_iAcc >> bits.m_iBits);
    }
    m_pOut->Write(m_Coded.data(), size_t(bits.m_p - m_Coded.data()));
    m_iCoded = 0;
    m_iAcc = 0;
    m_iBits = 0;
    m_iReference = 0;
}

int32_t CHuffmanCoder::FindChanges(const uint8_t* pRow, int32_t iWidth, int32_t* pChanges)
{
    // 64 pixels at a time: the bits that differ from the colour being
    // followed (all ones while white) mark where it changes.
    int32_t n = 0;
    uint64_t iRun = ~uint64_t(0);
    int32_t x = 0;
    for (;;) {
        int32_t iByte = x >> 3;
        uint64_t v = (LoadBigEndian64(pRow + iByte) ^ iRun) & (~uint64_t(0) >> (x & 7));
        while (v == 0) {
            iByte += 8;
            if (iByte * 8 >= iWidth)
                return n;
            v = LoadBigEndian64(pRow + iByte) ^ iRun;
        }
        x = iByte * 8 + __builtin_clzll(v);
        if (x >= iWidth)
            return n;
        pChanges[n++] = x;
        iRun = ~iRun;
    }
}

uint32_t CHuffmanCoder::WriteLine()
{
    const int32_t w = m_iWidth;
    int32_t* const a = m_Changes.data();
    const int32_t na = FindChanges(m_Row.data(), w, a);
    CFaxBits bits{m_iAcc, m_iBits, m_Coded.data() + m_iCoded};
    if (m_eMode != HUFFMAN_G4) {
        if (m_eMode == HUFFMAN_G3)
            bits.Put(1, 12); // EOL in front of every row
        int32_t iPrev = 0;
        bool bBlack = false;
        for (int32_t i = 0; i < na; ++i) {
            bits.Run(a[i] - iPrev, bBlack);
            iPrev = a[i];
            bBlack = !bBlack;
        }
        bits.Run(w - iPrev, bBlack);
        if (m_eMode == HUFFMAN_MH)
            bits.AlignByte(); // each row starts on a byte
    } else {
        // Two-dimensional coding against the previous row of the strip.
        int32_t* const b = m_Reference.data();
        for (int32_t k = 0; k < 4; ++k)
            a[na + k] = b[m_iReference + k] = w;
        int32_t a0 = -1;
        bool bBlack = false;
        int32_t ia = 0, ib = 0;
        while (a0 < w) {
            while (a[ia] <= a0)
                ++ia;
            const int32_t a1 = a[ia];
            // b1: first change right of a0 into the colour opposite to a0's.
            while (ib > 0 && b[ib - 1] > a0)
                --ib;
            while (b[ib] <= a0 || ((ib & 1) != (bBlack ? 1 : 0)))
                ++ib;
            const int32_t b1 = b[ib];
            const int32_t b2 = b[ib + 1];
            if (b2 < a1) {
                bits.Put(kFaxTables.m_Modes[FAX_MODE_PASS]);
                a0 = b2;
                continue;
            }
            const int32_t d = a1 - b1;
            if (d >= -3 && d <= 3) {
                static constexpr EFaxMode kV[7] = {FAX_MODE_VL3, FAX_MODE_VL2, FAX_MODE_VL1, FAX_MODE_V0,
                                                   FAX_MODE_VR1, FAX_MODE_VR2, FAX_MODE_VR3};
                bits.Put(kFaxTables.m_Modes[kV[d + 3]]);
                a0 = a1;
                bBlack = !bBlack;
                continue;
            }
            const int32_t a2 = a[ia + 1];
            bits.Put(kFaxTables.m_Modes[FAX_MODE_HORIZONTAL]);
            bits.Run(a1 - std::max(a0, 0), bBlack);
            bits.Run(a2 - a1, !bBlack);
            a0 = a2;
        }
        std::swap(m_Changes, m_Reference);
        m_iReference = na;
    }
    m_iAcc = bits.m_iAcc;
    m_iBits = bits.m_iBits;
    m_iCoded = size_t(bits.m_p - m_Coded.data());
    if (m_iCoded >= kFlushAt) {
        m_pOut->Write(m_Coded.data(), m_iCoded);
        m_iCoded = 0;
    }
    return IMG_OK;
}
