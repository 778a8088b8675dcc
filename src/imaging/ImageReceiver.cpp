#include "imaging/ImageReceiver.h"

#include <utility>

#include "imaging/ImageErrors.h"
#include "imaging/Picture.h"

int64_t ImageRowLength(int32_t iKind, int64_t iWidth)
{
    static const int32_t kBits[] = {1, 8, 24, 8, 16, 48};
    if (iKind < 0 || iKind > 5 || iWidth < 0 || iWidth > (int64_t(1) << 40))
        return -1;
    return (iWidth * kBits[iKind] + 7) / 8;
}

void SwapBytes16(uint8_t* p, int64_t iBytes)
{
    for (int64_t i = 0; i + 1 < iBytes; i += 2)
        std::swap(p[i], p[i + 1]);
}

uint32_t CFilterBase::BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                const uint8_t* pPalette, int32_t iEntries)
{
    return m_pNext ? m_pNext->BeginPage(iKind, iWidth, iHeight, iResolution, pPalette, iEntries)
                   : IMG_INVALID_TIFF_ARGUMENTS;
}

uint8_t* CFilterBase::GetLineBuffer()
{
    return m_pNext ? m_pNext->GetLineBuffer() : nullptr;
}

uint32_t CFilterBase::WriteLine()
{
    return m_pNext ? m_pNext->WriteLine() : IMG_INVALID_TIFF_ARGUMENTS;
}

uint32_t CFilterBase::EndPage(int32_t iArgument)
{
    return m_pNext ? m_pNext->EndPage(iArgument) : IMG_INVALID_TIFF_ARGUMENTS;
}

void CDifferencingFilter::Difference(int32_t iKind, uint8_t* p, int64_t n)
{
    switch (iKind) {
    case IMG_KIND_GRAY:
        for (int64_t i = n - 1; i >= 1; --i)
            p[i] = static_cast<uint8_t>(p[i] - p[i - 1]);
        break;
    case IMG_KIND_RGB:
        for (int64_t i = n - 1; i >= 3; --i)
            p[i] = static_cast<uint8_t>(p[i] - p[i - 3]);
        break;
    case IMG_KIND_GRAY16:
    case IMG_KIND_RGB48: {
        const int64_t iStep = iKind == IMG_KIND_GRAY16 ? 1 : 3;
        const int64_t iSamples = n / 2;
        auto get = [p](int64_t i) { return uint16_t(p[2 * i] | (p[2 * i + 1] << 8)); };
        for (int64_t i = iSamples - 1; i >= iStep; --i) {
            const uint16_t v = static_cast<uint16_t>(get(i) - get(i - iStep));
            p[2 * i] = static_cast<uint8_t>(v);
            p[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        break;
    }
    default: break;
    }
}

void CDifferencingFilter::Undifference(int32_t iKind, uint8_t* p, int64_t n)
{
    switch (iKind) {
    case IMG_KIND_GRAY:
    case IMG_KIND_PALETTE:
        for (int64_t i = 1; i < n; ++i)
            p[i] = static_cast<uint8_t>(p[i] + p[i - 1]);
        break;
    case IMG_KIND_RGB:
        for (int64_t i = 3; i < n; ++i)
            p[i] = static_cast<uint8_t>(p[i] + p[i - 3]);
        break;
    case IMG_KIND_GRAY16:
    case IMG_KIND_RGB48: {
        const int64_t iStep = iKind == IMG_KIND_GRAY16 ? 1 : 3;
        auto get = [p](int64_t i) { return uint16_t(p[2 * i] | (p[2 * i + 1] << 8)); };
        for (int64_t i = iStep; i < n / 2; ++i) {
            const uint16_t v = static_cast<uint16_t>(get(i) + get(i - iStep));
            p[2 * i] = static_cast<uint8_t>(v);
            p[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        break;
    }
    default: break;
    }
}

uint32_t CDifferencingFilter::BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                        const uint8_t* pPalette, int32_t iEntries)
{
    if (iKind != IMG_KIND_GRAY && iKind != IMG_KIND_RGB && iKind != IMG_KIND_GRAY16 && iKind != IMG_KIND_RGB48)
        return IMG_INVALID_TIFF_ARGUMENTS;
    m_iKind = iKind;
    m_iRowLength = ImageRowLength(iKind, iWidth);
    return CFilterBase::BeginPage(iKind, iWidth, iHeight, iResolution, pPalette, iEntries);
}

uint32_t CDifferencingFilter::WriteLine()
{
    uint8_t* p = GetLineBuffer();
    if (!p)
        return IMG_INVALID_TIFF_ARGUMENTS;
    Difference(m_iKind, p, m_iRowLength);
    if (m_bSwap16 && (m_iKind == IMG_KIND_GRAY16 || m_iKind == IMG_KIND_RGB48))
        SwapBytes16(p, m_iRowLength);
    return CFilterBase::WriteLine();
}

uint32_t CMyReceiver::BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                const uint8_t*, int32_t)
{
    EPicData eKind;
    switch (iKind) {
    case IMG_KIND_BILEVEL: eKind = PIC_BW; break;
    case IMG_KIND_GRAY: eKind = PIC_GRAY; break;
    case IMG_KIND_RGB: eKind = PIC_RGB; break;
    case IMG_KIND_RGB48: eKind = PIC_RGB48; break;
    default: return IMG_UNSUPPORTED_TIF; // palette and 16-bit gray have no picture kind
    }
    const int64_t iRowLength = ImageRowLength(iKind, iWidth);
    if (!m_pPicture || iWidth < 1 || iHeight < 0 || iRowLength <= 0)
        return IMG_INVALID_TIFF_ARGUMENTS;
    const int64_t iBytes = iRowLength * iHeight;
    m_pPicture->Clear();
    if (!m_pPicture->Allocate(iBytes))
        return IMG_TIF_OUT_OF_MEMORY;
    m_pPicture->m_PicData = eKind;
    m_pPicture->m_iWidth = iWidth;
    m_pPicture->m_iWidth3 = 3 * iWidth;
    m_pPicture->m_iHeight = iHeight;
    m_pPicture->m_iResolution = iResolution;
    m_pPicture->m_iSize = static_cast<int32_t>(iBytes);
    m_iRowLength = iRowLength;
    m_iRows = iHeight;
    m_iRow = 0;
    return IMG_OK;
}

uint8_t* CMyReceiver::GetLineBuffer()
{
    if (!m_pPicture || !m_pPicture->m_pData)
        return nullptr;
    if (m_iRow >= m_iRows) {
        m_Discard.resize(static_cast<size_t>(m_iRowLength));
        return m_Discard.data();
    }
    return m_pPicture->m_pData + m_iRow * m_iRowLength;
}

uint32_t CMyReceiver::WriteLine()
{
    ++m_iRow;
    return IMG_OK;
}

uint32_t CMyReceiver::EndPage(int32_t)
{
    return IMG_OK;
}
