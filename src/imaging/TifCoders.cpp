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

void CLZWCoder::StartStrip()
{
    Restart();
    m_Sink.Put(kClearCode, 9);
    m_iPrefix = -1;
}

void CLZWCoder::FinishStrip()
{
    if (m_iPrefix >= 0) {
        m_Sink.Put(static_cast<uint32_t>(m_iPrefix), m_iBitsPerCode);
        // The decoder adds an entry for this code too; its width may step.
        if (++m_iNext == (1 << m_iBitsPerCode) && m_iBitsPerCode < 12)
            ++m_iBitsPerCode;
    }
    m_Sink.Put(kEndOfInformation, m_iBitsPerCode);
    m_Sink.AlignAndFlush();
    m_iPrefix = -1;
}

void CLZWCoder::Encode(const uint8_t* p, int64_t n)
{
    if (n <= 0)
        return;
    uint16_t* const pTable = m_Table.get();
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
        m_Sink.Put(static_cast<uint32_t>(iPrefix), m_iBitsPerCode);
        entry = static_cast<uint16_t>(iTag | uint32_t(m_iNext));
        ++m_iNext;
        if (m_iNext == (1 << m_iBitsPerCode) && m_iBitsPerCode < 12) {
            ++m_iBitsPerCode;
        } else if (m_iNext == 4095) {
            m_Sink.Put(kClearCode, 12);
            Restart();
            iTag = uint32_t(m_iGeneration) << 12;
        }
        iPrefix = static_cast<int32_t>(c);
    }
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

uint32_t CHuffmanCoder::BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t)
{
    if (iKind != IMG_KIND_BILEVEL || iWidth < 1 ||
        (m_eMode != HUFFMAN_MH && m_eMode != HUFFMAN_G3 && m_eMode != HUFFMAN_G4))
        return IMG_INVALID_HUFFMAN_ARGUMENTS;
    m_iWidth = iWidth;
    m_iRowLength = ImageRowLength(iKind, iWidth);
    m_Row.assign(static_cast<size_t>(m_iRowLength), 0xFF);
    m_Reference.clear();
    return IMG_OK;
}

void CHuffmanCoder::StartStrip()
{
    // Every strip is decodable on its own: two-dimensional coding starts
    // again from an all-white reference row.
    m_Reference.clear();
}

void CHuffmanCoder::FinishStrip()
{
    if (m_eMode == HUFFMAN_G4) {
        m_Sink.Put(1, 12); // EOFB: two EOLs
        m_Sink.Put(1, 12);
    }
    m_Sink.AlignAndFlush();
    m_Reference.clear();
}

void CHuffmanCoder::FindChanges(const uint8_t* pRow, int32_t iWidth, std::vector<int32_t>& changes)
{
    changes.clear();
    // Colour of the run being followed: the byte pattern that continues it
    // (0xFF while white, 0x00 while black).
    uint8_t iRunByte = 0xFF;
    int32_t x = 0;
    while (x < iWidth) {
        // Finish the current byte bit by bit, then skip whole bytes.
        int32_t iByte = x >> 3;
        uint32_t v = uint8_t(pRow[iByte] ^ iRunByte) & (0xFFu >> (x & 7));
        while (v == 0) {
            ++iByte;
            if (iByte * 8 >= iWidth)
                return;
            v = uint8_t(pRow[iByte] ^ iRunByte);
        }
        x = iByte * 8 + (__builtin_clz(v) - 24);
        if (x >= iWidth)
            return;
        changes.push_back(x);
        iRunByte = static_cast<uint8_t>(~iRunByte);
    }
}

void CHuffmanCoder::PutRun(int32_t iRun, bool bBlack)
{
    while (iRun >= 2624) {
        PutCode(FaxMakeupCode(bBlack, 2560));
        iRun -= 2560;
    }
    if (iRun >= 64) {
        PutCode(FaxMakeupCode(bBlack, iRun & ~63));
        iRun &= 63;
    }
    PutCode(FaxTerminatingCode(bBlack, iRun));
}

uint32_t CHuffmanCoder::WriteLine()
{
    FindChanges(m_Row.data(), m_iWidth, m_Changes);
    const int32_t w = m_iWidth;
    if (m_eMode != HUFFMAN_G4) {
        if (m_eMode == HUFFMAN_G3)
            m_Sink.Put(1, 12); // EOL in front of every row
        int32_t iPrev = 0;
        bool bBlack = false;
        for (int32_t c : m_Changes) {
            PutRun(c - iPrev, bBlack);
            iPrev = c;
            bBlack = !bBlack;
        }
        PutRun(w - iPrev, bBlack);
        if (m_eMode == HUFFMAN_MH)
            m_Sink.AlignByte(); // each row starts on a byte
        return IMG_OK;
    }
    // Two-dimensional coding against the previous row of the strip.
    std::vector<int32_t>& a = m_Changes;
    std::vector<int32_t>& b = m_Reference;
    const size_t na = a.size();
    for (int k = 0; k < 4; ++k) {
        a.push_back(w);
        b.push_back(w);
    }
    int32_t a0 = -1;
    bool bBlack = false;
    size_t ia = 0, ib = 0;
    while (a0 < w) {
        while (a[ia] <= a0)
            ++ia;
        const int32_t a1 = a[ia];
        // b1: first change right of a0 into the colour opposite to a0's.
        while (ib > 0 && b[ib - 1] > a0)
            --ib;
        while (b[ib] <= a0 || ((ib & 1) != (bBlack ? 1u : 0u)))
            ++ib;
        const int32_t b1 = b[ib];
        const int32_t b2 = b[ib + 1];
        if (b2 < a1) {
            PutCode(FaxModeCode(FAX_MODE_PASS));
            a0 = b2;
            continue;
        }
        const int32_t d = a1 - b1;
        if (d >= -3 && d <= 3) {
            static const EFaxMode kV[7] = {FAX_MODE_VL3, FAX_MODE_VL2, FAX_MODE_VL1, FAX_MODE_V0,
                                           FAX_MODE_VR1, FAX_MODE_VR2, FAX_MODE_VR3};
            PutCode(FaxModeCode(kV[d + 3]));
            a0 = a1;
            bBlack = !bBlack;
            continue;
        }
        const int32_t a2 = a[ia + 1];
        PutCode(FaxModeCode(FAX_MODE_HORIZONTAL));
        PutRun(a1 - std::max(a0, 0), bBlack);
        PutRun(a2 - a1, !bBlack);
        a0 = a2;
    }
    a.resize(na);
    std::swap(m_Changes, m_Reference);
    return IMG_OK;
}
