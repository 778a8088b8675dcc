// The CCITT decoder alone: byte 0 picks modified Huffman or Group 4, bytes 1-2
// the width, the rest is the strip.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int32_t iWidth = (int32_t(data[1]) << 8 | data[2]) % 5000 + 1;
    const int64_t iRow = ImageRowLength(IMG_KIND_BILEVEL, iWidth);
    std::vector<uint8_t> row(static_cast<size_t>(iRow));
    CTIFReader::CDecoderHuffman decoder((data[0] & 1) != 0);
    decoder.SetRow(iRow, iWidth);
    decoder.BeginStrip(data + 3, size - 3, 1 << 20);
    for (int32_t i = 0; i < 100000 && decoder.DecodeLine(row.data()) == 0; ++i) {
    }
    return 0;
}
