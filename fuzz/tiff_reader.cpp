// The TIFF reader as a whole: header, IFD chain, entries, strips, decoders.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifReader.h"

namespace {
// Takes rows and forgets them; only the reader's own checks are under test.
class CSink : public CImageReceiver {
public:
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t) override
    {
        m_Row.assign(static_cast<size_t>(ImageRowLength(iKind, iWidth)), 0);
        return 0;
    }
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t WriteLine() override { return 0; }
    uint32_t EndPage(int32_t) override { return 0; }
    std::vector<uint8_t> m_Row;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CSink sink;
    std::vector<uint8_t> icc;
    CTIFReader reader;
    reader.SetMemory(data, size);
    reader.SetReceiver(&sink);
    reader.SetIccProfileSink(&icc);
    int32_t iPages = 0;
    if (reader.Open(iPages) != 0 || reader.ReadPageInfo() != 0)
        return 0;
    for (int32_t i = 0; i < iPages && i < 4; ++i)
        reader.ReadPage(i);
    return 0;
}
