// The LZW decoder as a whole, three ways. Byte 0 picks the way and the page:
// bits 0-1 the kind (gray, RGB, bilevel, 16-bit gray), bit 2 fill order 2,
// bit 3 big-endian, bit 4 predictor 2, bits 5-6 the way. Byte 1 gives the
// width, byte 2 the rows per strip, byte 3 how far the rest is stretched
// (240 and up: sixteen times).
//   0, 1: round trip. The rest, stretched into a page, is coded by the
//         writer's LZW coder strip by strip and must come back unchanged
//         through the reader: long pages reach 12-bit codes and table
//         restarts, both fill orders and byte orders go through the file.
//   2:    code streams. Each byte of the rest picks the next code among the
//         ones valid at that point (literals, table entries, the entry being
//         defined, clear, end), written at the width the early change asks
//         for; the decoder must agree with a plain table decoder here.
//   3:    hostile strips: the rest is a strip as it comes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "FuzzScratch.h"
#include "FuzzTiff.h"
#include "imaging/ImageErrors.h"
#include "imaging/TifCoders.h"
#include "imaging/TifOutput.h"

namespace {

constexpr int32_t kClear = 256, kEnd = 257, kFirst = 258, kTableSize = 4096;

// The plain decoder: each entry its prefix code and last byte.
class CReference {
public:
    CReference() : m_Prefix(kTableSize, -1), m_Last(kTableSize, 0)
    {
        for (int32_t c = 0; c < 256; ++c)
            m_Last[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
    }
    // Entries from the first free code on are written before they are read.
    void Reset()
    {
        m_iFree = kFirst;
        m_iOld = -1;
    }
    int32_t Free() const { return m_iFree; }
    bool HasOld() const { return m_iOld >= 0; }
    // Width of the next code, one step early as TIFF writers switch.
    int32_t Width() const { return m_iFree >= 2047 ? 12 : m_iFree >= 1023 ? 11 : m_iFree >= 511 ? 10 : 9; }
    void Take(int32_t iCode, std::vector<uint8_t>& out)
    {
        if (iCode == kClear) {
            Reset();
            return;
        }
        // The string backwards from its last byte, then turned round in place.
        const size_t iAt = out.size();
        const int32_t iString = iCode < m_iFree ? iCode : m_iOld; // code == free: old string + its first byte
        for (int32_t c = iString; c >= 0; c = m_Prefix[static_cast<size_t>(c)])
            out.push_back(m_Last[static_cast<size_t>(c)]);
        std::reverse(out.begin() + static_cast<ptrdiff_t>(iAt), out.end());
        const uint8_t iFirst = out[iAt];
        if (iCode >= m_iFree)
            out.push_back(iFirst);
        if (m_iOld >= 0 && m_iFree < kTableSize) {
            m_Prefix[static_cast<size_t>(m_iFree)] = m_iOld;
            m_Last[static_cast<size_t>(m_iFree)] = iFirst;
            ++m_iFree;
        }
        m_iOld = iCode;
    }

private:
    std::vector<int32_t> m_Prefix;
    std::vector<uint8_t> m_Last;
    int32_t m_iFree = kFirst, m_iOld = -1;
};

class CBits {
public:
    void Put(uint32_t iCode, int32_t iBits)
    {
        m_iAcc = m_iAcc << iBits | iCode;
        for (m_iBits += iBits; m_iBits >= 8; m_iBits -= 8)
            m_Bytes.push_back(static_cast<uint8_t>(m_iAcc >> (m_iBits - 8)));
    }
    // The last byte, padded with zero bits.
    void Flush()
    {
        if (m_iBits > 0)
            m_Bytes.push_back(static_cast<uint8_t>(m_iAcc << (8 - m_iBits)));
        m_iBits = 0;
    }
    std::vector<uint8_t> m_Bytes;

private:
    uint64_t m_iAcc = 0;
    int32_t m_iBits = 0;
};

void CodeStreams(const uint8_t* p, size_t n)
{
    CReference ref;
    CBits bits;
    std::vector<uint8_t> expected;
    bits.Put(kClear, 9);
    uint32_t h = 0;
    bool bEnded = false;
    // Strings may grow by a byte per code; the cap keeps a run's output small.
    constexpr size_t kMaxOutput = size_t(1) << 16;
    for (size_t i = 0; i < n && !bEnded && expected.size() < kMaxOutput; ++i) {
        h = h * 31 + p[i];
        const int32_t iWidth = ref.Width();
        int32_t iCode;
        if (p[i] == 0xFF) {
            iCode = kClear;
        } else if (p[i] == 0xFE) {
            iCode = kEnd;
            bEnded = true;
        } else if (!ref.HasOld()) {
            iCode = p[i];
        } else {
            // Literals, table entries and the entry being defined (free, while
            // the table has room): all valid here.
            const int32_t iChoices = 256 + ref.Free() - kFirst + (ref.Free() < kTableSize ? 1 : 0);
            const int32_t r = static_cast<int32_t>(h % static_cast<uint32_t>(iChoices));
            iCode = r < 256 ? r : r - 256 + kFirst;
        }
        bits.Put(static_cast<uint32_t>(iCode), iWidth);
        if (iCode != kEnd)
            ref.Take(iCode, expected);
    }
    if (!bEnded)
        bits.Put(kEnd, ref.Width());
    bits.Flush();
    // Exactly as long, and cut short: a short output buffer stops the decoder cleanly.
    for (size_t iOut : {expected.size(), expected.size() / 2 + 1}) {
        std::vector<uint8_t> out(iOut + 1, 0xA5);
        const int64_t iGot = CTIFReader::CDecoderLZW::Decode(bits.m_Bytes.data(), bits.m_Bytes.size(), out.data(), iOut);
        const size_t iWant = std::min(iOut, expected.size());
        FuzzCheck(iGot == static_cast<int64_t>(iWant), "decoded length of a valid stream");
        FuzzCheck(iWant == 0 || std::memcmp(out.data(), expected.data(), iWant) == 0, "decoded bytes of a valid stream");
        FuzzCheck(out[iOut] == 0xA5, "no write past the output");
    }
}

// The rest, stretched: each repetition shifted so that long pages keep
// making new strings instead of repeating one table.
std::vector<uint8_t> Stretch(const uint8_t* p, size_t n, size_t iSize)
{
    std::vector<uint8_t> v(iSize);
    for (size_t i = 0; i < iSize; ++i)
        v[i] = n ? static_cast<uint8_t>(p[i % n] + (i / n) * 37) : static_cast<uint8_t>(i);
    return v;
}

std::string StripFile()
{
    static const std::string szPath =
        std::string(FuzzScratchFolder()) + "/lumora-fuzz-lzw-" + std::to_string(::getpid()) + ".bin";
    static const bool bCleanup = std::atexit([] { std::remove(szPath.c_str()); }) == 0;
    (void)bCleanup;
    return szPath;
}

void RoundTrip(CFuzzPage& page, const uint8_t* p, size_t n, uint8_t iStretch)
{
    const int64_t iRow = ImageRowLength(page.m_Kind.m_iKind, page.m_iWidth);
    // Mostly pages of about the input's size; now and then sixteen times that,
    // long enough for 12-bit codes and table restarts.
    const size_t iWanted = std::max<size_t>(n, 1) * (iStretch >= 240 ? 16 : 1 + iStretch % 2);
    page.m_iHeight = static_cast<int32_t>((iWanted + static_cast<size_t>(iRow) - 1) / static_cast<size_t>(iRow));
    const std::vector<uint8_t> image = Stretch(p, n, static_cast<size_t>(iRow) * static_cast<size_t>(page.m_iHeight));

    // Strips as the writer codes them, one file region each.
    // One coder for the whole run: its 2 MiB table is set up once, as in the writer.
    static CTifOutFile out;
    static CLZWCoder coder(&out);
    FuzzCheck(out.Open(StripFile()), "scratch file");
    FuzzCheck(coder.BeginPage(page.m_Kind.m_iKind, page.m_iWidth, page.m_iHeight, 300) == 0, "coder page");
    std::vector<uint64_t> ends;
    std::vector<uint8_t> row(static_cast<size_t>(iRow));
    for (int32_t y = 0; y < page.m_iHeight; ++y) {
        if (y % page.m_iRowsPerStrip == 0) {
            if (y) {
                coder.FinishStrip();
                ends.push_back(out.Position());
            }
            coder.StartStrip();
        }
        std::memcpy(row.data(), image.data() + static_cast<size_t>(y) * static_cast<size_t>(iRow), row.size());
        FuzzStoreRow(page, row.data(), iRow);
        coder.Encode(row.data(), iRow);
    }
    coder.FinishStrip();
    ends.push_back(out.Position());
    FuzzCheck(out.Close(), "scratch file written");
    std::FILE* f = std::fopen(StripFile().c_str(), "rb");
    FuzzCheck(f != nullptr, "scratch file read");
    std::vector<uint8_t> coded(static_cast<size_t>(ends.back()));
    FuzzCheck(std::fread(coded.data(), 1, coded.size(), f) == coded.size(), "scratch file read whole");
    std::fclose(f);
    uint64_t iFrom = 0;
    for (uint64_t iEnd : ends) {
        page.m_Strips.emplace_back(coded.begin() + static_cast<ptrdiff_t>(iFrom), coded.begin() + static_cast<ptrdiff_t>(iEnd));
        iFrom = iEnd;
    }

    CFuzzRows rows;
    FuzzCheck(FuzzReadPage(FuzzTiff(page), rows) == 0, "a coded page reads back");
    FuzzCheck(rows.m_Pixels == image, "a coded page reads back unchanged");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t iFlags = data[0];
    CFuzzPage page;
    page.m_Kind = FuzzKind(iFlags);
    page.m_iFillOrder = iFlags & 4 ? 2 : 1;
    page.m_bBigEndian = (iFlags & 8) != 0;
    page.m_iPredictor = (iFlags & 16) && page.m_Kind.m_iKind != IMG_KIND_BILEVEL ? 2 : 1;
    page.m_iCompression = 5;
    page.m_iWidth = 1 + data[1];
    page.m_iRowsPerStrip = 1 + data[2] % 32;
    const uint8_t* p = data + 4;
    const size_t n = size - 4;
    switch ((iFlags >> 5) & 3) {
    case 0:
    case 1:
        RoundTrip(page, p, n, data[3]);
        break;
    case 2:
        CodeStreams(p, n);
        break;
    default: {
        // Hostile bytes straight into the decoder, then as the one strip of a page.
        std::vector<uint8_t> out(size_t(data[3]) << 8 | data[1]);
        const int64_t iGot = CTIFReader::CDecoderLZW::Decode(p, n, out.data(), out.size());
        FuzzCheck(iGot <= static_cast<int64_t>(out.size()), "decoded length within the output");
        const int64_t iRow = ImageRowLength(page.m_Kind.m_iKind, page.m_iWidth);
        page.m_iHeight = static_cast<int32_t>(std::max<int64_t>(1, static_cast<int64_t>(out.size()) / iRow));
        page.m_iRowsPerStrip = page.m_iHeight;
        page.m_Strips.emplace_back(p, p + n);
        CFuzzRows rows;
        const uint32_t iResult = FuzzReadPage(FuzzTiff(page), rows);
        FuzzCheck(iResult == 0 || iResult == IMG_LZW_FORMAT_ERROR || iResult == IMG_TIF_READ_TOO_LONG,
                  "a hostile strip is a format error, nothing else");
        break;
    }
    }
    return 0;
}
