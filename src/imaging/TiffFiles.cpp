#include "imaging/TiffFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/ImageErrors.h"
#include "imaging/ImageReceiver.h"
#include "imaging/Picture.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"

bool IsTiffFile(const std::string& szPath)
{
    std::string szFirst;
    if (!ReadFilePrefix(szPath, 4, szFirst) || szFirst.size() != 4)
        return false;
    const auto* h = reinterpret_cast<const unsigned char*>(szFirst.data());
    return ((h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
            (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43)));
}

namespace {
const char* const kCompressionNames[] = {"none", "lzw", "mh", "g3", "g4", "packbits"};
}

int32_t TifCompressionFromName(const std::string& szName)
{
    for (int32_t i = TIF_COMPRESSION_NONE; i <= TIF_COMPRESSION_PACKBITS; ++i)
        if (szName == kCompressionNames[i])
            return i;
    return -1;
}

const char* TifCompressionName(int32_t iCompression)
{
    return iCompression >= TIF_COMPRESSION_NONE && iCompression <= TIF_COMPRESSION_PACKBITS
               ? kCompressionNames[iCompression]
               : "";
}

bool TifCompressionReadable(int32_t iCompressionTag)
{
    return CTIFReader::MakeDecoder(iCompressionTag) != nullptr;
}

namespace {

// Pictures have no palette or 16-bit gray kind: such pages are widened to RGB
// or narrowed to 8-bit gray on their way into the picture.
class CWideningReceiver : public CImageReceiver {
public:
    explicit CWideningReceiver(CPicture* pPicture) : m_Inner(pPicture) {}
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution, const uint8_t* pPalette,
                       int32_t iEntries) override
    {
        m_iKind = iKind;
        m_iWidth = iWidth;
        if (iKind == IMG_KIND_PALETTE) {
            std::memset(m_Palette, 0, sizeof(m_Palette));
            if (pPalette)
                std::memcpy(m_Palette, pPalette, size_t(std::clamp(iEntries, 0, 256)) * 4);
        }
        if (iKind == IMG_KIND_PALETTE || iKind == IMG_KIND_GRAY16)
            m_Row.assign(size_t(ImageRowLength(iKind, iWidth)), 0);
        const int32_t iInner = iKind == IMG_KIND_PALETTE ? IMG_KIND_RGB : iKind == IMG_KIND_GRAY16 ? IMG_KIND_GRAY : iKind;
        return m_Inner.BeginPage(iInner, iWidth, iHeight, iResolution, nullptr, 0);
    }
    uint8_t* GetLineBuffer() override { return m_Row.empty() ? m_Inner.GetLineBuffer() : m_Row.data(); }
    uint32_t WriteLine() override
    {
        if (!m_Row.empty()) {
            uint8_t* pOut = m_Inner.GetLineBuffer();
            if (!pOut)
                return IMG_TIF_OUT_OF_MEMORY;
            for (int32_t x = 0; x < m_iWidth; ++x) {
                if (m_iKind == IMG_KIND_PALETTE) {
                    const uint8_t* e = m_Palette + 4 * m_Row[size_t(x)];
                    pOut[3 * x] = e[2];
                    pOut[3 * x + 1] = e[1];
                    pOut[3 * x + 2] = e[0];
                } else {
                    pOut[x] = m_Row[size_t(2 * x + 1)]; // the high byte of a little-endian sample
                }
            }
        }
        return m_Inner.WriteLine();
    }
    uint32_t EndPage(int32_t iArgument) override { return m_Inner.EndPage(iArgument); }

private:
    CMyReceiver m_Inner;
    int32_t m_iKind = 0, m_iWidth = 0;
    uint8_t m_Palette[256 * 4] = {};
    std::vector<uint8_t> m_Row;
};

} // namespace

uint32_t LoadAnyTiffIntoPicture(CPicture& pic, const std::string& szPath, std::string& szDetail)
{
    CWideningReceiver receiver(&pic);
    CTifPageInfo info;
    info.m_iCompression = -1; // stays so when the page's tags could not be read
    std::string szProblem;
    const uint32_t r = ReadFirstTiffPage(receiver, szPath, &info, &szProblem);
    if (r != IMG_OK && !szProblem.empty())
        szDetail = ": " + szProblem;
    if (r == IMG_UNSUPPORTED_TIF && info.m_iCompression >= 0) {
        const int32_t iCompression = info.m_iCompression;
        if (iCompression == 3)
            szDetail = " (CCITT Group 3 compression; Group 4 or modified Huffman can be read)";
        else if (!TifCompressionReadable(iCompression))
            szDetail = FormatText(" (compression %d)", iCompression);
    }
    if (r != IMG_OK)
        return r;
    ReadCameraLayout(info.m_szDescription, pic);
    return IMG_OK;
}
