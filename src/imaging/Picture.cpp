#include "imaging/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/IniFile.h"
#include "platform/Log.h"
#include "platform/Messages.h"

namespace {

// Buffers are addressed with 32-bit sizes throughout the system.
constexpr int64_t kMaxBuffer = std::numeric_limits<int32_t>::max();

uint8_t* NewBuffer(int64_t iBytes)
{
    if (iBytes < 0 || iBytes > kMaxBuffer)
        return nullptr;
    return new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(iBytes, 1))];
}

// Fraction of the step between two neighbouring samples at which the level is
// crossed; flat neighbours put the edge on the sample itself.
double Fraction(double dNum, double dDen)
{
    return dDen == 0.0 ? 0.0 : dNum / dDen;
}

int32_t Clamp255(double d)
{
    if (!(d > 0.0))
        return 0;
    return d >= 255.0 ? 255 : static_cast<int32_t>(d);
}

} // namespace

void CPicture::SetEmptyState()
{
    m_iAllocated = m_iSize = -1;
    for (int32_t i = 0; i < kCameras; ++i)
        m_BiC[i] = i < 4 ? -1 : 0;
    m_iWidth = m_iWidth3 = m_iHeight = m_iResolution = -1;
    m_PicData = PIC_UNDEFINED;
}

bool CPicture::Clear()
{
    delete[] m_pData;
    m_pData = nullptr;
    SetEmptyState();
    return true;
}

bool CPicture::Allocate(int64_t iBytes)
{
    uint8_t* p = NewBuffer(iBytes);
    if (!p)
        return false;
    delete[] m_pData;
    m_pData = p;
    m_iAllocated = static_cast<int32_t>(iBytes);
    return true;
}

bool CPicture::CommitRows(int32_t iRows)
{
    if ((m_PicData != PIC_GRAY && m_PicData != PIC_RGB) || m_iWidth < 1 || iRows < 0 || !m_pData)
        return false;
    const int64_t iBytes = int64_t(iRows) * m_iWidth * BytesPerPixel();
    if (iBytes > m_iAllocated)
        return false;
    m_iHeight = iRows;
    m_iSize = static_cast<int32_t>(iBytes);
    return true;
}

bool CPicture::Create(int32_t iWidth, int32_t iHeight, int32_t iResolution, EPicData eKind)
{
    Clear();
    if (iWidth < 1 || iHeight < 0)
        return false;
    const EPicData eUse = eKind == PIC_RGB ? PIC_RGB : PIC_GRAY;
    const int64_t iBytes = int64_t(iWidth) * iHeight * (eUse == PIC_RGB ? 3 : 1);
    if (!Allocate(iBytes))
        return false;
    std::memset(m_pData, 255, static_cast<size_t>(iBytes));
    m_PicData = eUse;
    m_iWidth = iWidth;
    m_iWidth3 = 3 * iWidth;
    m_iHeight = 0;
    m_iSize = 0;
    m_iResolution = iResolution;
    return true;
}

bool CPicture::CreateForArea(double dWidthInch, double dHeightInch, int32_t iResolution, EPicData eKind)
{
    Clear();
    const double dWidth = iResolution * dWidthInch;
    const double dBytes =
        dWidthInch * dHeightInch * double(iResolution) * iResolution * 1.1 * (eKind == PIC_RGB ? 3 : 1);
    if (!(dWidth >= 1.0) || dWidth > kMaxBuffer || !(dBytes >= 0.0) || dBytes > double(kMaxBuffer))
        return false;
    const int64_t iBytes = static_cast<int64_t>(dBytes);
    if (!Allocate(iBytes))
        return false;
    std::memset(m_pData, 255, static_cast<size_t>(iBytes));
    m_PicData = eKind == PIC_RGB ? PIC_RGB : PIC_GRAY;
    m_iWidth = static_cast<int32_t>(dWidth);
    m_iWidth3 = 3 * m_iWidth;
    m_iHeight = 0;
    m_iSize = 0;
    m_iResolution = iResolution;
    return true;
}

bool CPicture::CreateFilled(int32_t iResolution, double dWidthInch, double dHeightInch, EPicData eKind,
                            int32_t iRed, int32_t iGreen, int32_t iBlue)
{
    Clear();
    if (iResolution < 1 || (eKind != PIC_GRAY && eKind != PIC_RGB))
        return false;
    for (int32_t iLevel : {iRed, iGreen, iBlue})
        if (iLevel < 0 || iLevel > 255)
            return false;
    const double dWidth = iResolution * dWidthInch, dHeight = iResolution * dHeightInch;
    if (!(dWidth >= 1.0) || !(dHeight >= 1.0) || dWidth > kMaxBuffer || dHeight > kMaxBuffer)
        return false;
    const int32_t iWidth = static_cast<int32_t>(dWidth), iHeight = static_cast<int32_t>(dHeight);
    const int32_t iBpp = eKind == PIC_RGB ? 3 : 1;
    const int64_t iBytes = int64_t(iWidth) * iHeight * iBpp;
    if (!Allocate(iBytes))
        return false;
    if (eKind == PIC_RGB) {
        for (int64_t i = 0; i < iBytes; i += 3) {
            m_pData[i] = static_cast<uint8_t>(iRed);
            m_pData[i + 1] = static_cast<uint8_t>(iGreen);
            m_pData[i + 2] = static_cast<uint8_t>(iBlue);
        }
    } else {
        std::memset(m_pData, iGreen, static_cast<size_t>(iBytes));
    }
    m_PicData = eKind;
    m_iWidth = iWidth;
    m_iWidth3 = 3 * iWidth;
    m_iHeight = iHeight;
    m_iSize = static_cast<int32_t>(iBytes);
    m_iResolution = iResolution;
    m_BiC[0] = iWidth * iBpp;
    for (int32_t i = 1; i < kCameras; ++i)
        m_BiC[i] = 0;
    return true;
}

bool CPicture::Copy(const CPicture& src)
{
    if (&src == this)
        return true;
    if (!src.m_pData || src.m_iSize <= 0)
        return false;
    uint8_t* p = NewBuffer(src.m_iSize);
    if (!p)
        return false;
    std::memcpy(p, src.m_pData, static_cast<size_t>(src.m_iSize));
    delete[] m_pData;
    m_pData = p;
    std::memcpy(m_BiCSaved, src.m_BiCSaved, sizeof(m_BiCSaved));
    std::memcpy(m_BiC, src.m_BiC, sizeof(m_BiC));
    m_iAllocated = m_iSize = src.m_iSize;
    m_iWidth = src.m_iWidth;
    m_iWidth3 = src.m_iWidth3;
    m_iHeight = src.m_iHeight;
    m_iResolution = src.m_iResolution;
    m_PicData = src.m_PicData;
    return true;
}

bool CPicture::CopyCamera(int32_t iCamera, CPicture& target) const
{
    int32_t iFirst = 0, iLast = 0;
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iWidth < 1 || &target == this ||
        !CameraPixelRange(iCamera, iFirst, iLast) || iLast < iFirst || iLast >= m_iWidth)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    const int32_t iCols = iLast - iFirst + 1;
    target.Clear();
    if (!target.Allocate(int64_t(iCols) * iRows * iBpp))
        return false;
    for (int32_t y = 0; y < iRows; ++y)
        std::memcpy(target.m_pData + int64_t(y) * iCols * iBpp,
                    m_pData + (int64_t(y) * m_iWidth + iFirst) * iBpp, size_t(iCols) * iBpp);
    target.m_PicData = m_PicData;
    target.m_iWidth = iCols;
    target.m_iWidth3 = 3 * iCols;
    target.m_iHeight = iRows;
    target.m_iResolution = m_iResolution;
    target.m_iSize = iCols * iRows * iBpp;
    for (int32_t i = 0; i < kCameras; ++i)
        target.m_BiC[i] = i == iCamera ? iCols * iBpp : 0;
    return true;
}

bool CPicture::CopyRegion(const CPicture& src, int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom)
{
    if (&src == this || (!src.IsGray() && !src.IsRGB()) || !src.m_pData || src.m_iWidth < 1)
        return false;
    const int32_t iBpp = src.BytesPerPixel();
    const int32_t iRows = src.m_iSize / (src.m_iWidth * iBpp);
    iTop = std::max(iTop, 0);
    iLeft = std::max(iLeft, 0);
    iRight = std::min(iRight, src.m_iWidth - 1);
    iBottom = std::min(iBottom, iRows - 1);
    if (iRight < iLeft || iBottom < iTop)
        return false;
    int32_t iBiC[kCameras];
    for (int32_t iCamera = 0; iCamera < kCameras; ++iCamera) {
        if (src.PixelsUpToCamera(iCamera) < 0) {
            ShowMessage("if( ptrPic->PixCameras(iCamera) < 0 ) Case -1");
            return false;
        }
        if (src.m_BiC[iCamera] <= 0) {
            iBiC[iCamera] = src.m_BiC[iCamera];
            continue;
        }
        const int32_t iFirst = std::max(src.PixelsUpToCamera(iCamera - 1), iLeft);
        const int32_t iLast = std::min(src.PixelsUpToCamera(iCamera) - 1, iRight);
        iBiC[iCamera] = iLast >= iFirst ? (iLast - iFirst + 1) * iBpp : 0;
    }
    const int32_t iCols = iRight - iLeft + 1, iNewRows = iBottom - iTop + 1;
    Clear();
    if (!Allocate(int64_t(iCols) * iNewRows * iBpp))
        return false;
    for (int32_t y = 0; y < iNewRows; ++y)
        std::memcpy(m_pData + int64_t(y) * iCols * iBpp,
                    src.m_pData + (int64_t(y + iTop) * src.m_iWidth + iLeft) * iBpp, size_t(iCols) * iBpp);
    std::memcpy(m_BiC, iBiC, sizeof(m_BiC));
    m_PicData = src.m_PicData;
    m_iWidth = iCols;
    m_iWidth3 = 3 * iCols;
    m_iHeight = iNewRows;
    m_iResolution = src.m_iResolution;
    m_iSize = iCols * iNewRows * iBpp;
    return true;
}

bool CPicture::Append(const CPicture& src)
{
    if (&src == this || !src.m_pData || src.m_iSize <= 0)
        return false;
    if (m_iSize <= 0) {
        // An empty picture adopts the layout of what it receives.
        std::memcpy(m_BiC, src.m_BiC, sizeof(m_BiC));
        m_iWidth = src.m_iWidth;
        m_iWidth3 = src.m_iWidth3;
        m_iResolution = src.m_iResolution;
        m_PicData = src.m_PicData;
        m_iSize = 0;
    }
    if (!m_pData || int64_t(m_iSize) + src.m_iSize > m_iAllocated)
        return false;
    std::memcpy(m_pData + m_iSize, src.m_pData, static_cast<size_t>(src.m_iSize));
    m_iSize += src.m_iSize;
    return ComputeHeight();
}

bool CPicture::ReadRawFile(std::FILE* pFile)
{
    if (!pFile || std::fseek(pFile, 0, SEEK_END) != 0)
        return false;
    const long iLength = std::ftell(pFile);
    if (iLength < 0 || iLength > kMaxBuffer || std::fseek(pFile, 0, SEEK_SET) != 0)
        return false;
    uint8_t* p = NewBuffer(iLength);
    if (!p)
        return false;
    if (std::fread(p, 1, static_cast<size_t>(iLength), pFile) != static_cast<size_t>(iLength)) {
        delete[] p;
        return false;
    }
    delete[] m_pData;
    m_pData = p;
    m_iSize = m_iAllocated = static_cast<int32_t>(iLength);
    return true;
}

bool CPicture::CropColumns(int32_t iFirst, int32_t iLast)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || iFirst < 0 || iLast >= m_iWidth || iLast < iFirst)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    const int32_t iCols = iLast - iFirst + 1;
    for (int32_t y = 0; y < iRows; ++y)
        std::memmove(m_pData + int64_t(y) * iCols * iBpp, m_pData + (int64_t(y) * m_iWidth + iFirst) * iBpp,
                     size_t(iCols) * iBpp);
    m_iWidth = iCols;
    m_iWidth3 = 3 * iCols;
    m_iHeight = iRows;
    m_iSize = iCols * iRows * iBpp;
    m_BiC[0] = iCols * iBpp;
    for (int32_t i = 1; i < kCameras; ++i)
        m_BiC[i] = 0;
    return true;
}

// ---------------------------------------------------------------- header arithmetic

bool CPicture::ComputeWidth()
{
    if (IsBW()) {
        if (!m_pData || m_iSize <= 0)
            return false;
        int64_t iWidth = 0;
        for (int32_t i = 0; i < m_iSize && m_pData[i] != 0; ++i)
            iWidth += m_pData[i] & 0x7F;
        if (iWidth > kMaxBuffer)
            return false;
        m_iWidth = static_cast<int32_t>(iWidth);
        m_iWidth3 = static_cast<int32_t>(std::min<int64_t>(3 * iWidth, kMaxBuffer));
        m_BiC[0] = m_iWidth;
        for (int32_t i = 1; i < kCameras; ++i)
            m_BiC[i] = 0;
        return true;
    }
    if (!IsGray() && !IsRGB())
        return false;
    m_iWidth = PixelsUpToCamera(m_BiC[4] < 0 ? 3 : 7);
    m_iWidth3 = 3 * m_iWidth;
    return true;
}

bool CPicture::ComputeHeight()
{
    if (m_iWidth <= 0 && !ComputeWidth())
        return false;
    if (IsBW()) {
        int32_t iRows = 0;
        for (int32_t i = 0; i < m_iSize; ++i)
            iRows += m_pData[i] == 0;
        m_iHeight = iRows;
        return true;
    }
    if (m_iWidth <= 0 || m_iSize < 0 || (!IsGray() && !IsRGB()))
        return false;
    m_iHeight = IsRGB() ? m_iSize / m_iWidth3 : m_iSize / m_iWidth;
    return true;
}

int32_t CPicture::NumberOfCameras() const
{
    for (int32_t i = kCameras - 1; i >= 0; --i)
        if (m_BiC[i] > 0)
            return i + 1;
    return 0;
}

int32_t CPicture::PixCameras(int32_t iCamera) const
{
    if (iCamera < 0 || iCamera >= kCameras)
        return -1;
    return m_BiC[iCamera] / BytesPerPixel();
}

int32_t CPicture::PixelsUpToCamera(int32_t iCamera) const
{
    if (iCamera == -1)
        return 0;
    if (iCamera < -1 || iCamera >= kCameras)
        return -1;
    int32_t iSum = 0;
    for (int32_t i = 0; i <= iCamera; ++i)
        iSum += std::max(PixCameras(i), 0);
    return iSum;
}

bool CPicture::CameraPixelRange(int32_t iCamera, int32_t& iFirst, int32_t& iLast) const
{
    if (iCamera < 0 || iCamera >= kCameras)
        return false;
    iFirst = PixelsUpToCamera(iCamera - 1);
    iLast = PixelsUpToCamera(iCamera) - 1;
    return true;
}

bool CPicture::CameraActiveRange(int32_t iCamera, int32_t& iFirst, int32_t& iLast) const
{
    if (!CameraPixelRange(iCamera, iFirst, iLast))
        return false;
    // Dead or unlit border pixels of a camera read 0 or 1; they are no part of
    // what the camera really sees.
    while (iFirst < iLast && GetSample(iFirst, 0, 0) >= 0 && GetSample(iFirst, 0, 0) <= 1)
        ++iFirst;
    while (iLast > iFirst && GetSample(iLast, 0, 0) >= 0 && GetSample(iLast, 0, 0) <= 1)
        --iLast;
    return true;
}

// ---------------------------------------------------------------- kind conversions

bool CPicture::ToBW(int32_t iChannel, int32_t iLevel)
{
    const int32_t iBpp = BytesPerPixel();
    if (!m_pData || m_iWidth < 1 || m_iSize < 0)
        return false;
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    const int32_t iOffset = iBpp == 3 ? std::clamp(iChannel, 0, 2) : 0;
    uint8_t* pOut = NewBuffer((int64_t(m_iWidth) + 1) * iRows);
    if (!pOut)
        return false;
    int64_t n = 0;
    int32_t iCount = 0;
    bool bWhite = false;
    auto flush = [&] {
        if (iCount > 0)
            pOut[n++] = static_cast<uint8_t>((bWhite ? 0x80 : 0) | iCount);
        iCount = 0;
    };
    for (int32_t y = 0; y < iRows; ++y) {
        if (y > 0) {
            flush();
            pOut[n++] = 0;
        }
        const uint8_t* pRow = m_pData + int64_t(y) * m_iWidth * iBpp + iOffset;
        for (int32_t x = 0; x < m_iWidth; ++x) {
            const bool bPixWhite = pRow[int64_t(x) * iBpp] >= iLevel;
            if (bPixWhite != bWhite) {
                flush();
                bWhite = bPixWhite;
            }
            if (++iCount == 127)
                flush();
        }
    }
    flush();
    if (iRows > 0)
        pOut[n++] = 0;
    delete[] m_pData;
    m_pData = pOut;
    m_iAllocated = static_cast<int32_t>((int64_t(m_iWidth) + 1) * iRows);
    m_iSize = static_cast<int32_t>(n);
    m_iHeight = iRows;
    m_PicData = PIC_BW;
    return true;
}

bool CPicture::GrayToBW(int32_t iLevel)
{
    return IsGray() && ToBW(0, iLevel);
}

bool CPicture::RGBToBW(int32_t iChannel, int32_t iLevel)
{
    return IsRGB() && ToBW(iChannel, iLevel);
}

bool CPicture::BWToGray()
{
    if (!IsBW() || !m_pData || (m_iWidth <= 0 && !ComputeWidth()) || m_iWidth <= 0)
        return false;
    if (m_iHeight < 0)
        ComputeHeight();
    const int32_t iRows = std::max(m_iHeight, 0);
    const int64_t iBytes = int64_t(m_iWidth) * iRows;
    uint8_t* pOut = NewBuffer(iBytes);
    if (!pOut)
        return false;
    std::memset(pOut, 255, static_cast<size_t>(iBytes));
    int32_t y = 0, x = 0;
    for (int32_t i = 0; i < m_iSize && y < iRows; ++i) {
        const uint8_t b = m_pData[i];
        if (b == 0) {
            ++y;
            x = 0;
            continue;
        }
        // A hostile or damaged stream may overrun its row; the rest is dropped.
        const int32_t iRun = std::min<int32_t>(b & 0x7F, m_iWidth - x);
        if (iRun > 0)
            std::memset(pOut + int64_t(y) * m_iWidth + x, (b & 0x80) ? 255 : 0, size_t(iRun));
        x += std::max(iRun, 0);
    }
    delete[] m_pData;
    m_pData = pOut;
    m_iAllocated = m_iSize = static_cast<int32_t>(iBytes);
    m_iHeight = iRows;
    m_iWidth3 = 3 * m_iWidth;
    m_PicData = PIC_GRAY;
    return true;
}

bool CPicture::RGBToGray(int32_t iChannel)
{
    if (!IsRGB() || !m_pData || iChannel < 0 || iChannel > 2)
        return false;
    const int32_t iPixels = m_iSize / 3;
    for (int32_t i = 0; i < iPixels; ++i)
        m_pData[i] = m_pData[int64_t(i) * 3 + iChannel];
    m_iSize = iPixels;
    for (int32_t& iBytes : m_BiC)
        iBytes /= 3;
    m_PicData = PIC_GRAY;
    return true;
}

bool CPicture::GrayToRGB()
{
    if (!IsGray() || !m_pData || m_iSize < 0)
        return false;
    const int64_t iBytes = int64_t(m_iSize) * 3;
    uint8_t* pOut = NewBuffer(iBytes);
    if (!pOut)
        return false;
    for (int32_t i = 0; i < m_iSize; ++i)
        pOut[int64_t(i) * 3] = pOut[int64_t(i) * 3 + 1] = pOut[int64_t(i) * 3 + 2] = m_pData[i];
    delete[] m_pData;
    m_pData = pOut;
    m_iAllocated = m_iSize = static_cast<int32_t>(iBytes);
    for (int32_t& iCam : m_BiC)
        iCam *= 3;
    m_PicData = PIC_RGB;
    return true;
}

// ---------------------------------------------------------------- pixel access

int64_t CPicture::SampleIndex(int32_t x, int32_t y, int32_t iChannel) const
{
    if (IsRGB())
        return (int64_t(y) * m_iWidth + x) * 3 + iChannel;
    return int64_t(y) * m_iWidth + x;
}

bool CPicture::GetPixel(int32_t x, int32_t y, int32_t& iRed, int32_t& iGreen, int32_t& iBlue) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData || x < 0 || y < 0 || x >= m_iWidth)
        return false;
    const int64_t i = SampleIndex(x, y, 0);
    if (i + BytesPerPixel() > m_iSize)
        return false;
    iRed = m_pData[i];
    iGreen = IsRGB() ? m_pData[i + 1] : iRed;
    iBlue = IsRGB() ? m_pData[i + 2] : iRed;
    return true;
}

int32_t CPicture::GetSample(int32_t x, int32_t y, int32_t iChannel) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData || (IsRGB() && (iChannel < 0 || iChannel > 2)))
        return -1;
    return At(SampleIndex(x, y, IsRGB() ? iChannel : 0));
}

bool CPicture::SetPixel(int32_t x, int32_t y, int32_t iRed, int32_t iGreen, int32_t iBlue)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || x < 0 || y < 0 || x >= m_iWidth || y >= m_iHeight)
        return false;
    const int64_t i = SampleIndex(x, y, 0);
    if (i + BytesPerPixel() > m_iSize)
        return false;
    m_pData[i] = static_cast<uint8_t>(iRed);
    if (IsRGB()) {
        m_pData[i + 1] = static_cast<uint8_t>(iGreen);
        m_pData[i + 2] = static_cast<uint8_t>(iBlue);
    }
    return true;
}

bool CPicture::SetColumn(int32_t x, int32_t iValue)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || x < 0 || x >= m_iWidth)
        return false;
    const int32_t iRows = m_iSize / (m_iWidth * BytesPerPixel());
    for (int32_t y = 0; y < iRows; ++y)
        m_pData[SampleIndex(x, y, 0)] = static_cast<uint8_t>(iValue);
    return true;
}

bool CPicture::SetCameraBoundaryBlack(int32_t iCamera, int32_t iRows)
{
    const int32_t x = PixelsUpToCamera(iCamera);
    if (!IsGray() || !m_pData || x < 0 || x >= m_iWidth)
        return false;
    const int32_t iLast = std::min(iRows, m_iSize / m_iWidth);
    for (int32_t y = 0; y < iLast; ++y)
        m_pData[int64_t(y) * m_iWidth + x] = 0;
    return true;
}

// ---------------------------------------------------------------- whole-picture operations

int32_t CPicture::PercentBelow(int32_t iLevel) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iSize <= 0)
        return 0;
    int64_t iBelow = 0;
    for (int32_t i = 0; i < m_iSize; ++i)
        iBelow += m_pData[i] < iLevel;
    return static_cast<int32_t>(iBelow * 100 / m_iSize);
}

bool CPicture::ApplyColumnGains(const double* pGains)
{
    if (!IsRGB() || !m_pData || !pGains || m_iWidth < 1)
        return false;
    const int32_t iRowBytes = m_iWidth3;
    const int32_t iRows = m_iSize / iRowBytes;
    for (int32_t y = 0; y < iRows; ++y) {
        uint8_t* pRow = m_pData + int64_t(y) * iRowBytes;
        for (int32_t i = 0; i < iRowBytes; ++i)
            pRow[i] = static_cast<uint8_t>(Clamp255(pRow[i] * pGains[i]));
    }
    return true;
}

bool CPicture::HalveCameras()
{
    if (!IsGray() && !IsRGB())
        return false;
    std::memcpy(m_BiCSaved, m_BiC, sizeof(m_BiC));
    for (int32_t& iBytes : m_BiC)
        iBytes /= 2;
    return ComputeWidth();
}

bool CPicture::DecimateCameras()
{
    if ((!IsGray() && !IsRGB()) || !m_pData)
        return false;
    const int32_t iBpp = BytesPerPixel();
    auto pix = [iBpp](const int32_t* pBiC, int32_t i) { return std::max(pBiC[i] / iBpp, 0); };
    const int32_t iLastCamera = m_BiCSaved[4] < 0 ? 3 : 7;
    int64_t iOldWidth = 0;
    for (int32_t i = 0; i <= iLastCamera; ++i)
        iOldWidth += pix(m_BiCSaved, i);
    if (iOldWidth <= 0 || m_iWidth <= 0 || m_iWidth > iOldWidth)
        return false;
    const int32_t iRows = static_cast<int32_t>(m_iSize / (iOldWidth * iBpp));
    for (int32_t y = 0; y < iRows; ++y) {
        const uint8_t* pSrc = m_pData + y * iOldWidth * iBpp;
        uint8_t* pDst = m_pData + int64_t(y) * m_iWidth * iBpp;
        int64_t iSrcStart = 0, iDstStart = 0;
        for (int32_t i = 0; i <= iLastCamera; ++i) {
            const int32_t iHalf = pix(m_BiC, i), iFull = pix(m_BiCSaved, i);
            for (int32_t j = 0; j < iHalf && 2 * j < iFull; ++j)
                std::memmove(pDst + (iDstStart + j) * iBpp, pSrc + (iSrcStart + 2 * j) * iBpp, size_t(iBpp));
            iSrcStart += iFull;
            iDstStart += iHalf;
        }
    }
    m_iHeight = iRows;
    m_iSize = iRows * m_iWidth * iBpp;
    return true;
}

bool CPicture::RepairDeadColumns(int32_t iLevel, int32_t iValue)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iWidth < 1)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    for (int32_t x = 0; x < m_iWidth; ++x) {
        bool bDead = iRows > 0;
        for (int32_t y = 0; y < iRows && bDead; ++y)
            for (int32_t c = 0; c < iBpp; ++c)
                bDead = bDead && m_pData[SampleIndex(x, y, c)] <= iLevel;
        if (!bDead)
            continue;
        for (int32_t y = 0; y < iRows; ++y) {
            for (int32_t c = 0; c < iBpp; ++c) {
                uint8_t* p = m_pData + SampleIndex(x, y, c);
                if (iValue >= 0) {
                    *p = static_cast<uint8_t>(iValue);
                } else if (y == 0) {
                    *p = 0;
                } else if (x > 0) {
                    // Bridge the gap with the left neighbour, the pixel to the
                    // right of a dead column being usually half-lit as well.
                    p[0] = p[-iBpp];
                    if (x + 1 < m_iWidth)
                        p[iBpp] = p[-iBpp];
                }
            }
        }
    }
    return true;
}

bool CPicture::Rotate90(bool bClockwise)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iWidth < 1)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    if (iRows < 1)
        return false;
    const int64_t iBytes = int64_t(iRows) * m_iWidth * iBpp;
    uint8_t* pOut = NewBuffer(iBytes);
    if (!pOut)
        return false;
    // Clockwise, new row y' is old column x and new column x' is old row H-1-y;
    // counter-clockwise, new row y' is old column W-1-x and new column x' is y.
    for (int32_t y = 0; y < iRows; ++y)
        for (int32_t x = 0; x < m_iWidth; ++x) {
            const int64_t iNewRow = bClockwise ? x : m_iWidth - 1 - x;
            const int64_t iNewCol = bClockwise ? iRows - 1 - y : y;
            std::memcpy(pOut + (iNewRow * iRows + iNewCol) * iBpp, m_pData + (int64_t(y) * m_iWidth + x) * iBpp,
                        size_t(iBpp));
        }
    delete[] m_pData;
    m_pData = pOut;
    m_iAllocated = m_iSize = static_cast<int32_t>(iBytes);
    m_iHeight = m_iWidth;
    m_iWidth = iRows;
    m_iWidth3 = 3 * iRows;
    // The cameras ran along the old rows; the turned picture is one strip.
    m_BiC[0] = iRows * iBpp;
    for (int32_t i = 1; i < kCameras; ++i)
        m_BiC[i] = 0;
    return true;
}

bool CPicture::Rotate90Clockwise()
{
    return Rotate90(true);
}

bool CPicture::Rotate90CounterClockwise()
{
    return Rotate90(false);
}

bool CPicture::MirrorCameras()
{
    const int32_t iCameras = NumberOfCameras();
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iWidth < 1 || iCameras < 2)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    for (int32_t y = 0; y < iRows; ++y) {
        uint8_t* pRow = m_pData + int64_t(y) * m_iWidth * iBpp;
        for (int32_t a = 0, b = m_iWidth - 1; a < b; ++a, --b)
            for (int32_t c = 0; c < iBpp; ++c)
                std::swap(pRow[int64_t(a) * iBpp + c], pRow[int64_t(b) * iBpp + c]);
    }
    std::reverse(m_BiC, m_BiC + iCameras);
    return true;
}

// ---------------------------------------------------------------- picture description

bool CPicture::ColumnProfileGray(int32_t iFirstRow, int32_t iLastRow, std::vector<float>& profile) const
{
    std::vector<float>* channels[3] = {&profile, nullptr, nullptr};
    return IsGray() && ColumnProfiles(iFirstRow, iLastRow, channels);
}

bool CPicture::ColumnProfileRGB(int32_t iFirstRow, int32_t iLastRow, std::vector<float>& red,
                                std::vector<float>& green, std::vector<float>& blue) const
{
    std::vector<float>* channels[3] = {&red, &green, &blue};
    return IsRGB() && ColumnProfiles(iFirstRow, iLastRow, channels);
}

bool CPicture::ColumnProfiles(int32_t iFirstRow, int32_t iLastRow, std::vector<float>* channels[3]) const
{
    if (!m_pData || m_iWidth < 1)
        return false;
    const int32_t iBpp = BytesPerPixel();
    const int32_t iRows = m_iSize / (m_iWidth * iBpp);
    iFirstRow = std::max(iFirstRow, 0);
    iLastRow = std::min(iLastRow, iRows - 1);
    if (iLastRow < iFirstRow)
        return false;
    // Sums in 64 bits: a band may be as tall as the picture.
    std::vector<int64_t> sums(size_t(m_iWidth) * iBpp, 0);
    for (int32_t y = iFirstRow; y <= iLastRow; ++y) {
        const uint8_t* pRow = m_pData + int64_t(y) * m_iWidth * iBpp;
        for (size_t i = 0; i < sums.size(); ++i)
            sums[i] += pRow[i];
    }
    const double dRows = double(iLastRow - iFirstRow + 1);
    for (int32_t c = 0; c < iBpp; ++c) {
        channels[c]->resize(size_t(m_iWidth));
        for (int32_t x = 0; x < m_iWidth; ++x)
            (*channels[c])[size_t(x)] = static_cast<float>(sums[size_t(x) * iBpp + c] / dRows);
    }
    return true;
}

bool CPicture::WritePictureInfo(std::FILE* pFile) const
{
    if (!pFile)
        return false;
    std::string sz = "[PictureInfo]\n";
    for (int32_t i = 0; i < kCameras; ++i)
        sz += FormatText("m_BiC[%d]=%d\n", i, m_BiC[i]);
    sz += FormatText("m_iWidth=%d\nm_iWidth3=%d\nm_iHeight=%d\nm_iResolution=%d\n", m_iWidth, m_iWidth3,
                     m_iHeight, m_iResolution);
    switch (m_PicData) {
    case PIC_BW: sz += "m_PicData=PIC_BW\n"; break;
    case PIC_GRAY: sz += "m_PicData=PIC_GRAY\n"; break;
    case PIC_RGB: sz += "m_PicData=PIC_RGB\n"; break;
    case PIC_UNDEFINED: sz += "m_PicData=PIC_UNDEFINED\n"; break;
    default: break;
    }
    sz += "[PictureInfo End]\n";
    return std::fwrite(sz.data(), 1, sz.size(), pFile) == sz.size();
}

bool CPicture::ReadPictureInfo(const std::string& szPath)
{
    Clear();
    CIniFile ini;
    const bool bRead = ini.Load(szPath);
    auto value = [&](const char* szKey, const char* szDefault) {
        std::snprintf(m_szText, sizeof(m_szText), "%s", szKey);
        std::string sz = ini.Get("PictureInfo", m_szText).value_or(szDefault);
        if (sz.size() > 100)
            sz.resize(100);
        return sz;
    };
    for (int32_t i = 0; i < kCameras; ++i) {
        char szKey[32];
        std::snprintf(szKey, sizeof(szKey), "m_BiC[%d]", i);
        std::snprintf(m_szText, sizeof(m_szText), "%s", szKey);
        if (ini.Get("PictureInfo", szKey)) {
            m_BiC[i] = AtoiText(value(szKey, "-1"));
        } else {
            // Files of older versions named the cameras by letter.
            std::snprintf(szKey, sizeof(szKey), "m_i%c", 'A' + i);
            m_BiC[i] = AtoiText(value(szKey, "-1"));
        }
    }
    m_iWidth = AtoiText(value("m_iWidth", "-1"));
    m_iWidth3 = AtoiText(value("m_iWidth3", "-1"));
    m_iHeight = AtoiText(value("m_iHeight", "-1"));
    m_iResolution = AtoiText(value("m_iResolution", "-1"));
    const std::string szKind = value("m_PicData", "PIC_RGB");
    m_PicData = PIC_UNDEFINED;
    if (szKind.size() > 4) {
        switch (szKind[4]) {
        case 'B': m_PicData = PIC_BW; break;
        case 'G': m_PicData = PIC_GRAY; break;
        case 'R': m_PicData = PIC_RGB; break;
        default: break;
        }
    }
    return bRead;
}

// ---------------------------------------------------------------- measurements and finders

bool CPicture::RequireGrayOrRGB(const char* szFinder) const
{
    if (IsGray() || IsRGB())
        return true;
    ShowMessage(std::string("Not RGB or Gray picture\nCPicture::") + szFinder + "() not valid");
    return false;
}

// The first dark run along a line of samples (index = iFirst + k * iStep for
// positions k = 0..iCount-1), edges interpolated between neighbours. Positions
// in the result count from iFirst.
bool CPicture::FirstDarkRun(int64_t iFirst, int64_t iStep, int64_t iCount, int32_t iLevel, bool bSkipInitial,
                            double& dStart, double& dEnd) const
{
    auto p = [&](int64_t k) { return At(iFirst + k * iStep); };
    int64_t k = 0;
    if (bSkipInitial && iCount > 0 && p(0) >= 0 && p(0) < iLevel)
        while (k < iCount && p(k) >= 0 && p(k) < iLevel)
            ++k;
    while (k < iCount && p(k) >= 0 && p(k) >= iLevel)
        ++k;
    if (k >= iCount || p(k) < 0)
        return false;
    const int64_t r1 = k;
    while (k < iCount && p(k) >= 0 && p(k) <= iLevel)
        ++k;
    if (k >= iCount || p(k) < 0)
        return false;
    const int64_t r2 = k;
    const int32_t iBefore1 = p(r1 - 1) < 0 ? p(r1) : p(r1 - 1);
    dStart = double(r1 - 1) + Fraction(iBefore1 - iLevel, iBefore1 - p(r1));
    dEnd = double(r2 - 1) + Fraction(iLevel - p(r2 - 1), p(r2) - p(r2 - 1));
    return true;
}

bool CPicture::FindCenterOfHorizontalLine(int32_t iColumn, int32_t iFirstRow, int32_t iLastRow, int32_t iLevel,
                                          double& dCenter, int32_t iChannel)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || iFirstRow >= iLastRow || m_iWidth < 1 ||
        (IsRGB() && (iChannel < 0 || iChannel > 2)))
        return false;
    const int64_t iFirst = SampleIndex(iColumn, iFirstRow, iChannel);
    if (iFirst < 0)
        return false;
    double dStart = 0, dEnd = 0;
    if (!FirstDarkRun(iFirst, int64_t(m_iWidth) * BytesPerPixel(), int64_t(iLastRow) - iFirstRow + 1, iLevel, true,
                      dStart, dEnd))
        return false;
    m_dLineStart = iFirstRow + dStart;
    m_dLineEnd = iFirstRow + dEnd;
    m_dLineWidth = m_dLineEnd - m_dLineStart;
    dCenter = (m_dLineStart + m_dLineEnd) / 2;
    return true;
}

bool CPicture::FindCenterOfVerticalLine(int32_t iSearchRow, int32_t iStartColumn, int32_t iEndColumn,
                                        int32_t iLevel, double& dCenter, int32_t iChannel, int32_t iMaxWidth,
                                        int32_t iMinWidth)
{
    if (iSearchRow < 0) {
        Log_Msg("WARNING FindCenterOfVerticalLine :: iSearchRow < 0");
        return false;
    }
    if (iStartColumn < 0) {
        Log_Msg("WARNING FindCenterOfVerticalLine :: iStartColumn < 0");
        return false;
    }
    if (!RequireGrayOrRGB("FindCenterOfVerticalLine") || !m_pData)
        return false;
    if (IsRGB() && (iChannel < 0 || iChannel > 2))
        return false;
    const int32_t iDir = iStartColumn < iEndColumn ? 1 : -1;
    const bool bLimits = iMaxWidth > 0 && iMinWidth > 0;
    auto p = [&](int32_t x) { return At(SampleIndex(x, iSearchRow, iChannel)); };
    auto beyond = [&](int32_t x) { return iDir > 0 ? x > iEndColumn : x < iEndColumn; };

    int32_t x = iStartColumn;
    if (iDir > 0)
        while (!beyond(x) && p(x) >= 0 && p(x) < iLevel)
            ++x;
    bool bInLine = false;
    int32_t iFirstDark = 0;
    for (;; x += iDir) {
        if (beyond(x))
            return false;
        const int32_t v = p(x);
        if (v < 0)
            return false;
        if (!bInLine) {
            if (v < iLevel) {
                bInLine = true;
                iFirstDark = x;
            }
            continue;
        }
        if (v <= iLevel)
            continue;
        const int32_t a = iDir > 0 ? iFirstDark : x + 1;
        const int32_t b = iDir > 0 ? x : iFirstDark + 1;
        const int32_t pa1 = p(a - 1) < 0 ? p(a) : p(a - 1);
        const int32_t pb = p(b) < 0 ? p(b - 1) : p(b);
        m_dLineStart = (a - 1) + Fraction(pa1 - iLevel, pa1 - p(a));
        m_dLineEnd = (b - 1) + Fraction(iLevel - p(b - 1), pb - p(b - 1));
        m_dLineWidth = m_dLineEnd - m_dLineStart;
        dCenter = (m_dLineStart + m_dLineEnd) / 2;
        if (!bLimits)
            return true;
        const int32_t w = static_cast<int32_t>(m_dLineWidth);
        if (iMinWidth <= w && w <= iMaxWidth)
            return true;
        bInLine = false;
    }
}

bool CPicture::FindHorizontalLineAtPixelColumn(int32_t iColumn, int32_t iStartRow, int32_t iBandWidth,
                                               int32_t iLevel, int32_t& iRow, bool bDownward) const
{
    if (!RequireGrayOrRGB("FindHorizontalLineAtPixelColumn") || !m_pData || m_iHeight < 1)
        return false;
    const int32_t iStep = bDownward ? 1 : -1;
    for (int32_t y = std::clamp(iStartRow, 0, m_iHeight - 1); y >= 0 && y < m_iHeight; y += iStep) {
        bool bAll = true;
        for (int32_t x = iColumn; x < iColumn + iBandWidth && bAll; ++x) {
            const int32_t v = x >= 0 && x < m_iWidth ? GetSample(x, y, 0) : -1;
            bAll = v >= 0 && v <= iLevel;
        }
        if (bAll) {
            iRow = y;
            return true;
        }
    }
    return false;
}

bool CPicture::FindVerticalLineAtPixelRow(int32_t iStartRow, int32_t iStartColumn, int32_t iBandHeight,
                                          int32_t iLevel, int32_t& iColumn, int32_t iChannel) const
{
    if (!RequireGrayOrRGB("FindVerticalLineAtPixelRow") || !m_pData)
        return false;
    const int32_t iEndRow = std::min(int64_t(iStartRow) + iBandHeight, int64_t(m_iHeight) - 1) > INT32_MAX
                                ? INT32_MAX
                                : static_cast<int32_t>(std::min(int64_t(iStartRow) + iBandHeight,
                                                                int64_t(m_iHeight) - 1));
    for (int32_t x = std::max(iStartColumn, 0); x < m_iWidth; ++x) {
        bool bAll = true;
        for (int32_t y = std::max(iStartRow, 0); y < iEndRow && bAll; ++y) {
            const int32_t v = GetSample(x, y, iChannel);
            bAll = v >= 0 && v <= iLevel;
        }
        if (bAll) {
            iColumn = x;
            return true;
        }
    }
    return false;
}

bool CPicture::LineWidthInColumn(int32_t iColumn, int32_t iFirstRow, int32_t iLastRow, int32_t iLevel,
                                 double& dWidth) const
{
    if (!RequireGrayOrRGB("LineWidthInColumn") || !m_pData || iColumn < 0 || iColumn >= m_iWidth)
        return false;
    iFirstRow = std::max(iFirstRow, 1);
    iLastRow = std::min(iLastRow, m_iHeight - 1);
    // The very first byte of the buffer has no predecessor to interpolate with.
    if (SampleIndex(iColumn, iFirstRow, 0) == 0)
        ++iFirstRow;
    double dStart = 0, dEnd = 0;
    if (iLastRow < iFirstRow ||
        !FirstDarkRun(SampleIndex(iColumn, iFirstRow, 0), int64_t(m_iWidth) * BytesPerPixel(),
                      int64_t(iLastRow) - iFirstRow + 1, iLevel, true, dStart, dEnd))
        return false;
    dWidth = dEnd - dStart;
    return true;
}

bool CPicture::LineWidthInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                              double& dWidth) const
{
    if (!RequireGrayOrRGB("LineWidthInRow") || !m_pData || iRow < 0 || iRow >= m_iHeight)
        return false;
    iFirstColumn = std::max(iFirstColumn, 1);
    iLastColumn = std::min(iLastColumn, m_iWidth - 1);
    if (SampleIndex(iFirstColumn, iRow, 0) == 0)
        ++iFirstColumn;
    double dStart = 0, dEnd = 0;
    if (iLastColumn < iFirstColumn ||
        !FirstDarkRun(SampleIndex(iFirstColumn, iRow, 0), BytesPerPixel(), int64_t(iLastColumn) - iFirstColumn + 1,
                      iLevel, true, dStart, dEnd))
        return false;
    dWidth = dEnd - dStart;
    return true;
}

bool CPicture::FindLineEdgesInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                                  int32_t iChannel, double& dStart, double& dEnd) const
{
    dStart = dEnd = -1.0;
    if ((!IsGray() && !IsRGB()) || !m_pData || iRow < 0 || iRow >= m_iHeight ||
        (IsRGB() && (iChannel < 0 || iChannel > 2)))
        return false;
    iFirstColumn = std::max(iFirstColumn, 0);
    iLastColumn = std::min(iLastColumn, m_iWidth - 1);
    double s = 0, e = 0;
    if (iLastColumn < iFirstColumn ||
        !FirstDarkRun(SampleIndex(iFirstColumn, iRow, iChannel), BytesPerPixel(),
                      int64_t(iLastColumn) - iFirstColumn + 1, iLevel, false, s, e))
        return false;
    dStart = iFirstColumn + s;
    dEnd = iFirstColumn + e;
    return true;
}

bool CPicture::FindBrightLineInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                                   int32_t iChannel, double& dStart, double& dEnd) const
{
    dStart = dEnd = -1.0;
    if ((!IsGray() && !IsRGB()) || !m_pData || iRow < 0 || iRow >= m_iHeight ||
        (IsRGB() && (iChannel < 0 || iChannel > 2)))
        return false;
    iLastColumn = std::min(iLastColumn, m_iWidth - 1);
    auto p = [&](int32_t x) { return At(SampleIndex(x, iRow, iChannel)); };
    const int32_t iLow = iLevel / 2, iHigh = 5 * iLevel / 4;
    int32_t x = std::max(iFirstColumn, 0);
    while (x <= iLastColumn && p(x) >= iLow)
        ++x;
    while (x <= iLastColumn && p(x) <= iHigh)
        ++x;
    if (x > iLastColumn)
        return false;
    const int32_t r = x;
    while (x <= iLastColumn && p(x) >= iLow)
        ++x;
    if (x > iLastColumn)
        return false;
    const int32_t f = x;
    const int32_t pr1 = r > 0 ? p(r - 1) : p(r), pf1 = f > 0 ? p(f - 1) : p(f);
    dStart = p(r) == pr1 ? r - 0.5 : (r - 1) + double(iLevel - pr1) / (p(r) - pr1);
    dEnd = p(f) == pf1 ? f - 0.5 : (f - 1) + double(pf1 - iLevel) / (pf1 - p(f));
    return true;
}

namespace {
enum class ECrossing { Falling, Rising };
}

static bool Crossing(const CPicture& pic, ECrossing eKind, bool bBackward, int32_t iOffset, int32_t iFirst,
                     int32_t iLast, int32_t iRow, double dLevel, double& dResult)
{
    dResult = -1.0;
    if (!pic.IsRGB() || !pic.m_pData || iRow < 0 || iRow >= pic.m_iHeight || iOffset < 0 || iOffset > 2)
        return false;
    const int32_t iLevel = static_cast<int32_t>(dLevel);
    const int32_t iW = pic.m_iWidth;
    const uint8_t* pRow = pic.m_pData + int64_t(iRow) * iW * 3 + iOffset;
    auto p = [&](int32_t x) -> int32_t { return pRow[int64_t(x) * 3]; };
    auto before = [&](int32_t a, int32_t b) {
        return eKind == ECrossing::Falling ? (a >= iLevel && b <= iLevel) : (a <= iLevel && b >= iLevel);
    };
    if (!bBackward) {
        for (int32_t x = std::max(iFirst, 0); x < iLast && x + 1 < iW; ++x)
            if (before(p(x), p(x + 1))) {
                dResult = x + Fraction(dLevel - p(x), p(x + 1) - p(x));
                return true;
            }
    } else {
        for (int32_t x = std::min(iFirst, iW - 1); x > iLast && x >= 1; --x)
            if (before(p(x), p(x - 1))) {
                dResult = x - Fraction(dLevel - p(x), p(x - 1) - p(x));
                return true;
            }
    }
    return false;
}

bool CPicture::FindFallingCrossing(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                                   double& dResult) const
{
    return Crossing(*this, ECrossing::Falling, false, iOffset, iFirst, iLast, iRow, dLevel, dResult);
}

bool CPicture::FindFallingCrossingBackward(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow,
                                           double dLevel, double& dResult) const
{
    return Crossing(*this, ECrossing::Falling, true, iOffset, iFirst, iLast, iRow, dLevel, dResult);
}

bool CPicture::FindRisingCrossing(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                                  double& dResult) const
{
    return Crossing(*this, ECrossing::Rising, false, iOffset, iFirst, iLast, iRow, dLevel, dResult);
}

bool CPicture::FindRisingCrossingBackward(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow,
                                          double dLevel, double& dResult) const
{
    return Crossing(*this, ECrossing::Rising, true, iOffset, iFirst, iLast, iRow, dLevel, dResult);
}

int32_t CPicture::GetBlackWhiteLevels(int32_t iFirstColumn, int32_t iLastColumn, int32_t iFirstRow,
                                      int32_t iLastRow, int32_t iDarkPercent, int32_t iBrightPercent,
                                      int32_t iChannel, int32_t& iWhite, int32_t& iBlack) const
{
    iLastRow = std::min(iLastRow, m_iHeight - 1);
    iLastColumn = std::min(iLastColumn, m_iWidth - 1);
    iFirstRow = std::max(iFirstRow, 0);
    iFirstColumn = std::max(iFirstColumn, 0);
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iHeight < 1 || iLastRow < iFirstRow || iLastColumn < iFirstColumn)
        return 100;
    const int32_t iCh = IsRGB() ? std::clamp(iChannel, 0, 2) : 0;
    int64_t hist[256] = {};
    int64_t n = 0;
    for (int32_t y = iFirstRow; y <= iLastRow; ++y)
        for (int32_t x = iFirstColumn; x <= iLastColumn; ++x) {
            const int32_t v = At(SampleIndex(x, y, iCh));
            if (v >= 0) {
                ++hist[v];
                ++n;
            }
        }
    if (n == 0)
        return 100;
    // Whole bins are taken until the wanted share is reached; at least one
    // pixel is always taken so a tiny percentage still gives a level.
    auto meanOf = [&](int64_t iWanted, int32_t iFrom, int32_t iStep) {
        iWanted = std::max<int64_t>(iWanted, 1);
        int64_t iCount = 0, iSum = 0;
        for (int32_t v = iFrom; v >= 0 && v <= 255 && iCount < iWanted; v += iStep) {
            iCount += hist[v];
            iSum += hist[v] * v;
        }
        return static_cast<int32_t>(iSum / iCount);
    };
    iWhite = meanOf(n * iBrightPercent / 100, 255, -1);
    iBlack = meanOf(n * iDarkPercent / 100, 0, 1);
    if (iBlack + 5 > iWhite && iWhite >= 151) {
        iBlack = 0;
        return iWhite / 2;
    }
    return (iWhite + iBlack) / 2;
}

bool CPicture::ChannelThresholds(int32_t iFirstColumn, int32_t iLastColumn, int32_t iFirstRow, int32_t iLastRow,
                                 double dDarkFraction, double dBrightFraction, double dWeight,
                                 int32_t iThresholds[3]) const
{
    iLastColumn = std::min(iLastColumn, m_iWidth - 1);
    iLastRow = std::min(iLastRow, m_iHeight - 1);
    iFirstColumn = std::max(iFirstColumn, 0);
    iFirstRow = std::max(iFirstRow, 0);
    if ((!IsGray() && !IsRGB()) || !m_pData || iLastColumn < iFirstColumn || iLastRow < iFirstRow)
        return false;
    for (int32_t c = 0; c < 3; ++c) {
        int64_t hist[256] = {};
        int64_t n = 0;
        for (int32_t y = iFirstRow; y <= iLastRow; ++y)
            for (int32_t x = iFirstColumn; x <= iLastColumn; ++x) {
                const int32_t v = At(SampleIndex(x, y, IsRGB() ? c : 0));
                if (v >= 0) {
                    ++hist[v];
                    ++n;
                }
            }
        if (n == 0)
            return false;
        const int64_t iDarkWanted = std::max<int64_t>(1, static_cast<int64_t>(dDarkFraction * n));
        const int64_t iBrightWanted = std::max<int64_t>(1, static_cast<int64_t>(dBrightFraction * n));
        int32_t iDark = 255, iBright = 0;
        for (int64_t v = 0, iCount = 0; v < 256; ++v)
            if ((iCount += hist[v]) >= iDarkWanted) {
                iDark = static_cast<int32_t>(v);
                break;
            }
        for (int64_t v = 255, iCount = 0; v >= 0; --v)
            if ((iCount += hist[v]) >= iBrightWanted) {
                iBright = static_cast<int32_t>(v);
                break;
            }
        iThresholds[c] = static_cast<int32_t>(iDark * (1.0 - dWeight) + iBright * dWeight + 0.5);
    }
    return true;
}

int32_t CPicture::FindEdgeRun(int32_t x0, int32_t x1, int32_t y0, int32_t y1, const int32_t iThresholds[3],
                              int32_t iMode, int32_t iRun, double dFraction) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData || iMode < 0 || iMode > 3)
        return -1;
    for (int32_t v : {x0, x1})
        if (v < 0 || v >= m_iWidth)
            return -1;
    for (int32_t v : {y0, y1})
        if (v < 0 || v >= m_iHeight)
            return -1;
    const bool bRows = iMode <= 1;
    const bool bBelow = iMode == 0 || iMode == 2;
    const int32_t iFrom = bRows ? y0 : x0, iTo = bRows ? y1 : x1;
    const int32_t iSpanLo = bRows ? std::min(x0, x1) : std::min(y0, y1);
    const int32_t iSpanHi = bRows ? std::max(x0, x1) : std::max(y0, y1);
    const int32_t iStep = iFrom <= iTo ? 1 : -1;
    int32_t iQualified = 0;
    for (int32_t i = iFrom;; i += iStep) {
        int32_t iCounted = 0;
        for (int32_t k = iSpanLo; k <= iSpanHi; ++k) {
            const int32_t x = bRows ? k : i, y = bRows ? i : k;
            bool bHit = false;
            for (int32_t c = 0; c < 3 && !bHit; ++c) {
                const int32_t v = m_pData[SampleIndex(x, y, IsRGB() ? c : 0)];
                bHit = bBelow ? v < iThresholds[c] : v > iThresholds[c];
            }
            iCounted += bHit;
        }
        if (double(iCounted) / (iSpanHi - iSpanLo + 1) >= dFraction) {
            if (++iQualified >= iRun)
                return i - (iRun - 1) * iStep;
        } else {
            iQualified = 0;
        }
        if (i == iTo)
            return -1;
    }
}

int32_t CPicture::FindEdgeRunSingle(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t iThreshold,
                                    int32_t iMode, int32_t iRun, double dFraction) const
{
    const int32_t iThresholds[3] = {iThreshold, iThreshold, iThreshold};
    return FindEdgeRun(x0, x1, y0, y1, iThresholds, iMode, iRun, dFraction);
}

bool CPicture::MeanRGB(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom, double& dRed, double& dGreen,
                       double& dBlue) const
{
    if (!m_pData || m_iSize <= 0 || iTop < 0 || iLeft < 0 || iRight > m_iWidth || iBottom >= m_iHeight ||
        (!IsGray() && !IsRGB() && m_PicData != PIC_RGB48))
        return false;
    iRight = std::min(iRight, m_iWidth - 1);
    double dSum[3] = {};
    int64_t n = 0;
    for (int32_t y = iTop; y <= iBottom; ++y)
        for (int32_t x = iLeft; x <= iRight; ++x) {
            if (m_PicData == PIC_RGB48) {
                const int64_t i = (int64_t(y) * m_iWidth + x) * 6;
                if (i + 6 > m_iSize)
                    return false;
                for (int32_t c = 0; c < 3; ++c)
                    dSum[c] += (m_pData[i + 2 * c] | (m_pData[i + 2 * c + 1] << 8)) / 256.0;
            } else {
                const int64_t i = SampleIndex(x, y, 0);
                if (i + BytesPerPixel() > m_iSize)
                    return false;
                for (int32_t c = 0; c < 3; ++c)
                    dSum[c] += m_pData[i + (IsRGB() ? c : 0)];
            }
            ++n;
        }
    const double dN = double(n);
    dRed = dSum[0] / dN;
    dGreen = dSum[1] / dN;
    dBlue = dSum[2] / dN;
    return true;
}

double CPicture::MeanGray(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom) const
{
    double r = 0, g = 0, b = 0;
    if (!IsGray() || !MeanRGB(iTop, iLeft, iRight, iBottom, r, g, b))
        return -1.0;
    return g;
}

double CPicture::Mean(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom) const
{
    double r = 0, g = 0, b = 0;
    if (!MeanRGB(iTop, iLeft, iRight, iBottom, r, g, b))
        return -1.0;
    return IsGray() ? g : (r + g + b) / 3.0;
}

int32_t CPicture::MeanOfBlock(int32_t x, int32_t y, int32_t w, int32_t h) const
{
    const double d = Mean(y, x, x + w - 1, y + h - 1);
    return std::isnan(d) ? -1 : static_cast<int32_t>(d);
}

int32_t CPicture::PixelLevel(int32_t x, int32_t y) const
{
    int32_t r = 0, g = 0, b = 0;
    if (y >= m_iHeight || !GetPixel(x, y, r, g, b))
        return -1;
    return IsRGB() ? (r + g + b) / 3 : r;
}

int32_t CPicture::DarkestNear(int32_t& x, int32_t& y, int32_t w, int32_t h) const
{
    int32_t iBest = 256, bx = x, by = y;
    for (int32_t yy = y - h / 2; yy < y - h / 2 + h; ++yy)
        for (int32_t xx = x - w / 2; xx < x - w / 2 + w; ++xx) {
            const int32_t v = PixelLevel(xx, yy);
            if (v >= 0 && v < iBest) {
                iBest = v;
                bx = xx;
                by = yy;
            }
        }
    x = bx;
    y = by;
    return iBest;
}

int32_t CPicture::FindDarkestInBlock(int32_t& x, int32_t& y, int32_t w, int32_t h)
{
    const int32_t x0 = x - w / 2, y0 = y - h / 2;
    const int32_t iBest = DarkestNear(x, y, w, h);
    // Painting the visited block shows the search area in a displayed picture.
    for (int32_t yy = y0; yy < y0 + h; ++yy)
        for (int32_t xx = x0; xx < x0 + w; ++xx)
            SetPixel(xx, yy, 0, IsRGB() ? 255 : 0, 0);
    return iBest;
}

int32_t CPicture::FindBrightestInBlock(int32_t& x, int32_t& y, int32_t w, int32_t h)
{
    int32_t iBest = -1, bx = x, by = y;
    for (int32_t yy = y; yy < y + h; ++yy)
        for (int32_t xx = x; xx < x + w; ++xx) {
            int32_t r = 0, g = 0, b = 0;
            if (yy >= m_iHeight || !GetPixel(xx, yy, r, g, b))
                continue;
            // Saturated pixels are glare, not the mark being looked for.
            if (r < 255 && g < 255 && b < 255) {
                const int32_t v = IsRGB() ? (r + g + b) / 3 : r;
                if (v > iBest) {
                    iBest = v;
                    bx = xx;
                    by = yy;
                }
            }
            SetPixel(xx, yy, 0, 0, 0);
        }
    if (iBest >= 0) {
        x = bx;
        y = by;
        SetPixel(x, y, 255, 0, 0);
    }
    return iBest;
}

bool CPicture::Trace(int32_t& x, int32_t& y, int32_t iLevel, int32_t dx, int32_t dy) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData)
        return false;
    // The window across the direction of travel: down looks wider because
    // lines drift most along the long paper axis.
    const int32_t iWinW = dy > 0 ? 5 : (dy < 0 ? 3 : 1);
    const int32_t iWinH = dx != 0 ? 3 : 1;
    for (;;) {
        const int32_t nx = x + dx, ny = y + dy;
        const bool bEdge = (dx < 0 && nx < 1) || (dy < 0 && ny < 1) || (dx > 0 && nx >= m_iWidth) ||
                           (dy > 0 && ny >= m_iHeight);
        if (bEdge)
            return false;
        if (MeanOfBlock(nx, ny, 1, 1) <= iLevel) {
            x = nx;
            y = ny;
            continue;
        }
        int32_t wx = nx, wy = ny;
        const int32_t iDark = DarkestNear(wx, wy, iWinW, iWinH);
        if (iDark < iLevel) {
            x = wx;
            y = wy;
            continue;
        }
        const int32_t ax = dy != 0 ? 1 : 0, ay = dx != 0 ? 1 : 0;
        if (MeanOfBlock(wx - ax, wy - ay, 1, 1) >= 0 && MeanOfBlock(wx - ax, wy - ay, 1, 1) < iLevel) {
            x = wx - ax;
            y = wy - ay;
            continue;
        }
        if (MeanOfBlock(wx + ax, wy + ay, 1, 1) >= 0 && MeanOfBlock(wx + ax, wy + ay, 1, 1) < iLevel) {
            x = wx + ax;
            y = wy + ay;
            continue;
        }
        // The line has ended: stay on its last dark pixel.
        return iDark > iLevel;
    }
}

bool CPicture::TraceLineDown(int32_t& x, int32_t& y, int32_t iLevel) const { return Trace(x, y, iLevel, 0, 1); }
bool CPicture::TraceLineUp(int32_t& x, int32_t& y, int32_t iLevel) const { return Trace(x, y, iLevel, 0, -1); }
bool CPicture::TraceLineLeft(int32_t& x, int32_t& y, int32_t iLevel) const { return Trace(x, y, iLevel, -1, 0); }
bool CPicture::TraceLineRight(int32_t& x, int32_t& y, int32_t iLevel) const { return Trace(x, y, iLevel, 1, 0); }

double CPicture::RmsDifference(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t iSize) const
{
    if ((!IsGray() && !IsRGB()) || !m_pData)
        return -1.0;
    const int32_t iHalf = iSize / 2;
    int32_t last1[3] = {}, last2[3] = {};
    double dSum = 0;
    int64_t n = 0;
    for (int32_t dy = -iHalf; dy <= iHalf; ++dy)
        for (int32_t dx = -iHalf; dx <= iHalf; ++dx) {
            int32_t a[3], b[3];
            if (!GetPixel(x1 + dx, y1 + dy, a[0], a[1], a[2]))
                std::memcpy(a, last1, sizeof(a));
            if (!GetPixel(x2 + dx, y2 + dy, b[0], b[1], b[2]))
                std::memcpy(b, last2, sizeof(b));
            for (int32_t c = 0; c < 3; ++c)
                dSum += double(a[c] - b[c]) * (a[c] - b[c]);
            std::memcpy(last1, a, sizeof(a));
            std::memcpy(last2, b, sizeof(b));
            ++n;
        }
    return std::sqrt(dSum / double(n));
}

int32_t CPicture::FindGrayPivot(int32_t iRow, int32_t iCamera, double& dLeft, double& dRight)
{
    if ((!IsGray() && !IsRGB()) || !m_pData || m_iHeight < 1)
        return -1;
    if (iRow < 0)
        iRow += m_iHeight;
    const int32_t iBoundary = PixelsUpToCamera(iCamera);
    if (iRow < 0 || iRow >= m_iHeight || iBoundary <= 0 || iBoundary >= m_iWidth)
        return -1;
    // The boundary line lies within a few millimetres of the nominal boundary.
    const int32_t iReach = std::max(8, MmToPixels(3.0));
    const int32_t iLo = std::max(iBoundary - iReach, 0), iHi = std::min(iBoundary + iReach, m_iWidth - 1);
    int32_t iWhite = 0, iBlack = 0;
    int32_t iLevel = GetBlackWhiteLevels(iLo, iHi, iRow, iRow, 1, 10, 1, iWhite, iBlack);
    for (; iLevel < 255; iLevel += 5) {
        std::snprintf(m_szText, sizeof(m_szText), "iGrayPivot = %d ( +5 )", iLevel);
        if (FindCenterOfVerticalLine(iRow, iBoundary - 1, iLo, iLevel, dLeft, 1) &&
            FindCenterOfVerticalLine(iRow, iBoundary, iHi, iLevel, dRight, 1))
            return iLevel;
    }
    return -1;
}
