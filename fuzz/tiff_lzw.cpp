// The LZW decoder alone: two bytes give the output size, the rest is the strip.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/TifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t iOut = size_t(data[0]) << 8 | data[1];
    std::vector<uint8_t> out(iOut + 1);
    CTIFReader::CDecoderLZW::Decode(data + 2, size - 2, out.data(), iOut);
    return 0;
}
