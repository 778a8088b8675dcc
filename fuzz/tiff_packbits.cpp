// The PackBits decoder alone: the first byte gives the row length, the rest is the strip.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/TifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int64_t iRow = int64_t(data[0]) + 1;
    std::vector<uint8_t> row(static_cast<size_t>(iRow));
    CTIFReader::CDecoderPackbit decoder;
    decoder.SetRow(iRow, 0);
    decoder.BeginStrip(data + 1, size - 1, 1 << 20);
    while (decoder.DecodeLine(row.data()) == 0) {
    }
    return 0;
}
