// The PackBits decoder as a whole, three ways. Byte 0 picks the way and the
// page: bits 0-1 the kind (gray, RGB, bilevel, 16-bit gray), bit 2 fill
// order 2, bit 3 big-endian, bits 5-6 the way. Byte 1 gives the width, byte 2
// the rows per strip.
//   0: round trip. Pairs of the rest make literal and repeat runs of a page
//      (the first byte's top bit chooses, its low bits the length), which the
//      writer's coder packs row by row and the reader must give back.
//   1, 2: free-form codes. Each byte of the rest becomes the next code of the
//      row in every form a writer may use, not only the coder's: literals and
//      repeats from 1 to 128 bytes (cut to what the row still holds), pairs
//      written as literals, and the -128 no-op; the rows must decode to what
//      the codes say.
//   3: hostile strips: the rest is a strip as it comes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "FuzzTiff.h"
#include "imaging/ImageErrors.h"
#include "imaging/TifCoders.h"

namespace {

// Rows are decoded one by one; bigger pages only make each run slower.
constexpr size_t kMaxPage = size_t(4) << 10;

int64_t RowLength(const CFuzzPage& page)
{
    return ImageRowLength(page.m_Kind.m_iKind, page.m_iWidth);
}

// Rows into strips of packed rows.
void PackRows(CFuzzPage& page, const std::vector<uint8_t>& image)
{
    const size_t iRow = static_cast<size_t>(RowLength(page));
    std::vector<uint8_t> row(iRow), packed(iRow + iRow / 128 + 2);
    for (int32_t y = 0; y < page.m_iHeight; ++y) {
        if (y % page.m_iRowsPerStrip == 0)
            page.m_Strips.emplace_back();
        std::memcpy(row.data(), image.data() + static_cast<size_t>(y) * iRow, iRow);
        FuzzStoreRow(page, row.data(), static_cast<int64_t>(iRow));
        const size_t n = CPackbitCoder::Encode(row.data(), iRow, packed.data());
        page.m_Strips.back().insert(page.m_Strips.back().end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(n));
    }
}

void CheckReadsBack(const CFuzzPage& page, const std::vector<uint8_t>& image)
{
    CFuzzRows rows;
    FuzzCheck(FuzzReadPage(FuzzTiff(page), rows) == 0, "a packed page reads back");
    FuzzCheck(rows.m_Pixels == image, "a packed page reads back unchanged");
}

void RoundTrip(CFuzzPage& page, const uint8_t* p, size_t n)
{
    std::vector<uint8_t> image;
    for (size_t i = 0; i + 1 < n && image.size() < kMaxPage; i += 2) {
        const size_t iLength = 1 + (p[i] & 127u);
        if (p[i] & 128u) {
            image.insert(image.end(), iLength, p[i + 1]);
        } else {
            for (size_t k = 0; k < iLength; ++k)
                image.push_back(static_cast<uint8_t>(p[i + 1] + k * (p[i] | 1)));
        }
    }
    const size_t iRow = static_cast<size_t>(RowLength(page));
    page.m_iHeight = static_cast<int32_t>(std::max<size_t>(1, (image.size() + iRow - 1) / iRow));
    image.resize(iRow * static_cast<size_t>(page.m_iHeight), 0);
    PackRows(page, image);
    CheckReadsBack(page, image);
}

// Codes written by hand; the rows they stand for are the oracle.
void FreeForm(CFuzzPage& page, const uint8_t* p, size_t n)
{
    const int64_t iRow = RowLength(page);
    std::vector<uint8_t> image, row;
    size_t i = 0;
    const int32_t iMaxHeight = static_cast<int32_t>(std::min<size_t>(n / 2 + 1, 512));
    for (page.m_iHeight = 0;
         page.m_iHeight < iMaxHeight && image.size() < kMaxPage && (i < n || page.m_iHeight == 0); ++page.m_iHeight) {
        if (page.m_iHeight % page.m_iRowsPerStrip == 0)
            page.m_Strips.emplace_back();
        std::vector<uint8_t>& strip = page.m_Strips.back();
        row.clear();
        while (static_cast<int64_t>(row.size()) < iRow) {
            const uint8_t b = i < n ? p[i++] : 0;
            const int64_t iLeft = iRow - static_cast<int64_t>(row.size());
            const int64_t iLength = std::min<int64_t>(1 + (b & 127), iLeft);
            const uint8_t v = i < n ? p[i++] : b;
            if (b == 0x80) {
                strip.push_back(0x80); // no-op: the decoder must skip it
            } else if (b & 128) {
                if (iLength == 1) {
                    strip.push_back(0); // a single byte can only be a literal
                } else {
                    strip.push_back(static_cast<uint8_t>(1 - iLength));
                }
                strip.push_back(v);
                row.insert(row.end(), static_cast<size_t>(iLength), v);
            } else {
                strip.push_back(static_cast<uint8_t>(iLength - 1));
                for (int64_t k = 0; k < iLength; ++k) {
                    const uint8_t c = static_cast<uint8_t>(v * 7 + k);
                    strip.push_back(c);
                    row.push_back(c);
                }
            }
        }
        image.insert(image.end(), row.begin(), row.end());
    }
    // The page's rows as the reader hands them out: undo the file's byte order.
    if (page.m_bBigEndian && page.m_Kind.m_iBits == 16)
        for (size_t k = 0; k + 1 < image.size(); k += 2)
            std::swap(image[k], image[k + 1]);
    CheckReadsBack(page, image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t iFlags = data[0];
    CFuzzPage page;
    page.m_Kind = FuzzKind(iFlags);
    page.m_iFillOrder = iFlags & 4 ? 2 : 1;
    page.m_bBigEndian = (iFlags & 8) != 0;
    page.m_iCompression = 32773;
    page.m_iWidth = 1 + data[1];
    page.m_iRowsPerStrip = 1 + data[2] % 32;
    const uint8_t* p = data + 3;
    const size_t n = size - 3;
    switch ((iFlags >> 5) & 3) {
    case 0:
        RoundTrip(page, p, n);
        break;
    case 1:
    case 2:
        FreeForm(page, p, n);
        break;
    default: {
        // Hostile bytes as one strip, straight into the decoder and through a page.
        const int64_t iRow = RowLength(page);
        std::vector<uint8_t> row(static_cast<size_t>(iRow));
        CTIFReader::CDecoderPackbit decoder;
        decoder.SetRow(iRow, page.m_iWidth);
        decoder.BeginStrip(p, n, 1 << 20);
        int32_t iRows = 0;
        while (decoder.DecodeLine(row.data()) == 0)
            ++iRows;
        page.m_iHeight = iRows + 1;
        page.m_iRowsPerStrip = page.m_iHeight;
        page.m_Strips.emplace_back(p, p + n);
        CFuzzRows rows;
        const uint32_t iResult = FuzzReadPage(FuzzTiff(page), rows);
        FuzzCheck(iResult == IMG_PACKBIT_CANT_READ || iResult == IMG_PACKBIT_FORMAT_ERROR ||
                      iResult == IMG_TIF_READ_TOO_LONG,
                  "one row more than the strip holds is refused");
        FuzzCheck(rows.m_Pixels.size() == static_cast<size_t>(iRows) * row.size() || iResult == IMG_TIF_READ_TOO_LONG,
                  "the rows before the refusal arrive");
        break;
    }
    }
    return 0;
}
