#include "viewers/StitchPicture.h"

#include <algorithm>
#include <cstring>

#include "datafiles/ConFile.h"
#include "platform/Log.h"
#include "platform/ResourceLimits.h"
#include "viewers/StitchNoiseHeader.h"

using namespace StitchNoiseFile;

namespace {

// Widths of real stitch areas stay far below this; a header claiming more is damaged.
constexpr int64_t kMaxWidth = 65536;
// Any picture up to this size may be shown even when its data is short.
constexpr int64_t kSmallPicture = int64_t(1) << 24;

// A picture larger than its data could ever fill is a damaged header, and
// allocating it would only cost memory: refuse it before anything is read.
bool CheckSize(const CStitchPicture& pic, std::vector<std::string>& messages, std::string& szError)
{
    const int64_t iW = pic.m_iWidth, iH = pic.m_iHeight, iLen = pic.m_iDataLength;
    if (iW <= 0 || iH <= 0)
        return Refuse(FormatText("%s: the stitching picture has no size (width %d, height %d).", pic.m_szFile.c_str(),
                                 pic.m_iWidth, pic.m_iHeight),
                      messages, szError);
    const int64_t iPixels = iW * iH;
    bool bFits = iW <= kMaxWidth && uint64_t(iPixels) <= MaxAllocationBytes();
    if (bFits && !pic.m_bRunLength)
        bFits = iPixels <= std::max(2 * iLen, kSmallPicture);
    if (bFits && pic.m_bRunLength)
        bFits = iH <= iLen + 1 && iPixels <= std::max(iLen * 8192, kSmallPicture);
    if (!bFits)
        return Refuse(FormatText("%s: a stitching picture of %d x %d pixels cannot come from %lld data bytes.",
                                 pic.m_szFile.c_str(), pic.m_iWidth, pic.m_iHeight, static_cast<long long>(iLen)),
                      messages, szError);
    return true;
}

}  // namespace

bool CStitchPicture::Load(const std::string& szFile, std::vector<std::string>& messages, std::string& szError,
                          bool bReadData)
{
    *this = CStitchPicture();
    m_szFile = szFile;
    CConFileHeader con;
    const EConReadStatus eStatus = ReadConFileHeader(szFile, con);
    if (eStatus == CON_READ_CANNOT_OPEN)
        return Refuse(CannotOpenText(szFile, con.m_szProblem), messages, szError);

    if (con.m_Header.IsStitchTest()) {
        if (eStatus != CON_READ_OK)
            return Refuse(FormatText("%s: %s.", szFile.c_str(), con.m_szProblem.c_str()), messages, szError);
        const ConHeader& hdr = con.m_Header;
        m_bHasHeader = true;
        m_szHeader = hdr.GetText();
        m_iHeaderLength = con.m_iHeaderLength;
        if (!hdr.GetHeight(m_iHeight))
            messages.push_back("m_iMemoryDC_Height");
        if (!hdr.GetWidth(m_iWidth))
            messages.push_back("m_iMemoryDC_Width");
        if (!hdr.GetResolution(m_iResolution))
            messages.push_back("m_iPhysicalResolution");
        m_iDataLength = con.DataLength();
        if (m_iDataLength != int64_t(m_iWidth) * m_iHeight)
            messages.push_back(FormatText(
                "Error Picture Length\nm_iDataLength = %d\nm_iMemoryDC_Width = %d\nm_iMemoryDC_Height = %d",
                static_cast<int32_t>(m_iDataLength), m_iWidth, m_iHeight));
        m_bRunLength = false;
    } else {
        // The old form: 48 header bytes, then data to the end of the file.
        const std::string& szFirst = con.m_szFirstBytes;
        m_iHeaderLength = kStitchOldHeaderSize;
        m_bRunLength = static_cast<uint8_t>(szFirst.size() > 11 ? szFirst[11] : 0) != kStitchGrayMarker;
        m_iResolution = ReadLe32(szFirst, 24) / 100;
        m_iWidth = ReadLe32(szFirst, 28);
        m_iHeight = ReadLe32(szFirst, 32);
        m_iDataLength = std::max<int64_t>(0, con.m_iFileSize - kStitchOldHeaderSize);
    }
    if (!CheckSize(*this, messages, szError))
        return false;
    if (!bReadData)
        return true;

    if (!ReadBytes(szFile, m_iHeaderLength, m_iDataLength, m_Data))
        return Refuse(FormatText("Cannot read the file %s.", szFile.c_str()), messages, szError);
    m_iDataLength = static_cast<int64_t>(m_Data.size());
    Log_Msg_Txt("CView_Stitch_Dialog::LoadFile", szFile);
    return true;
}

void DecodeStitchGray(const uint8_t* pData, int64_t iLength, int32_t iWidth, int32_t iHeight, uint8_t* pPixels)
{
    const int64_t iPixels = int64_t(iWidth) * iHeight;
    const int64_t iCopy = std::min(iLength, iPixels);
    if (iCopy > 0)
        std::memcpy(pPixels, pData, static_cast<size_t>(iCopy));
    if (iPixels > iCopy)
        std::memset(pPixels + iCopy, 255, static_cast<size_t>(iPixels - iCopy));
}

int32_t StitchBitStride(int32_t iWidth)
{
    return static_cast<int32_t>(((int64_t(iWidth) + 31) / 32) * 4);
}

namespace {
// Sets bits [x0, x1) of a row, most significant bit first.
void SetBitRun(uint8_t* pRow, int64_t x0, int64_t x1)
{
    if (x0 >= x1)
        return;
    int64_t iFirstByte = x0 >> 3, iLastByte = (x1 - 1) >> 3;
    const uint8_t uHead = static_cast<uint8_t>(0xFF >> (x0 & 7));
    const uint8_t uTail = static_cast<uint8_t>(0xFF << (7 - ((x1 - 1) & 7)));
    if (iFirstByte == iLastByte) {
        pRow[iFirstByte] |= uHead & uTail;
        return;
    }
    pRow[iFirstByte] |= uHead;
    if (iLastByte > iFirstByte + 1)
        std::memset(pRow + iFirstByte + 1, 0xFF, static_cast<size_t>(iLastByte - iFirstByte - 1));
    pRow[iLastByte] |= uTail;
}
}  // namespace

namespace {
// Row starts 1..iWant after those already found (rowStart[0..iDone] valid);
// returns how many are valid now. Rows the data does not reach keep the end.
int32_t ExtendRowIndex(const uint8_t* pData, int64_t iLength, std::vector<int64_t>& rowStart, int32_t iDone,
                       int32_t iWant)
{
    // memchr is the fastest way to the row ends the C library has: finding the
    // rows must cost no more than reading the file did.
    int64_t iPos = rowStart[static_cast<size_t>(iDone)];
    for (int32_t y = iDone + 1; y <= iWant; ++y) {
        const void* pZero =
            iPos < iLength ? std::memchr(pData + iPos, 0, static_cast<size_t>(iLength - iPos)) : nullptr;
        if (!pZero) {
            std::fill(rowStart.begin() + y, rowStart.end(), iLength);
            return static_cast<int32_t>(rowStart.size()) - 1;
        }
        iPos = static_cast<const uint8_t*>(pZero) - pData + 1;
        rowStart[static_cast<size_t>(y)] = iPos;
    }
    return iWant;
}
}  // namespace

bool IndexStitchRunLength(const uint8_t* pData, int64_t iLength, int32_t iHeight, std::vector<int64_t>& rowStart)
{
    rowStart.assign(static_cast<size_t>(std::max(0, iHeight)) + 1, iLength);
    if (iHeight <= 0)
        return iLength > 0;
    rowStart[0] = 0;
    ExtendRowIndex(pData, iLength, rowStart, 0, iHeight);
    // Data after the last row's ending 0 runs past the picture.
    return rowStart[static_cast<size_t>(iHeight)] < iLength;
}

int32_t FirstOverrunRow(const uint8_t* pData, const std::vector<int64_t>& rowStart, int64_t iLength, int32_t iWidth)
{
    for (size_t y = 0; y + 1 < rowStart.size(); ++y) {
        int64_t iSum = 0;
        for (int64_t i = rowStart[y]; i < iLength && pData[i] != 0; ++i)
            iSum += pData[i] & 127;
        if (iSum > iWidth)
            return static_cast<int32_t>(y);
    }
    return -1;
}

void DecodeStitchRunLengthRow(const uint8_t* pRowData, int64_t iAvailable, int32_t iWidth, uint8_t* pRow)
{
    int64_t x = 0;
    for (int64_t i = 0; i < iAvailable && x < iWidth; ++i) {
        const uint8_t b = pRowData[i];
        if (b == 0)
            break;
        const int64_t iRun = b & 127;
        if (!(b & 128))
            SetBitRun(pRow, x, std::min<int64_t>(x + iRun, iWidth));
        x += iRun;
    }
}

void CStitchPicture::DecodeRows(int32_t iFirstRow, int32_t iLastRow, uint8_t* pBits, int32_t iStride) const
{
    iFirstRow = std::max(0, iFirstRow);
    iLastRow = std::min(iLastRow, m_iHeight);
    if (iLastRow <= iFirstRow)
        return;
    std::memset(pBits, 0, static_cast<size_t>(int64_t(iLastRow - iFirstRow) * iStride));
    if (m_RowStart.size() != static_cast<size_t>(m_iHeight) + 1)
        return;
    const int64_t iLength = static_cast<int64_t>(m_Data.size());
    if (m_iRowsIndexed < iLastRow)
        m_iRowsIndexed = ExtendRowIndex(m_Data.data(), iLength, m_RowStart, m_iRowsIndexed, iLastRow);
    for (int32_t y = iFirstRow; y < iLastRow; ++y) {
        const int64_t iStart = std::min(m_RowStart[static_cast<size_t>(y)], iLength);
        DecodeStitchRunLengthRow(m_Data.data() + iStart, iLength - iStart, m_iWidth,
                                 pBits + int64_t(y - iFirstRow) * iStride);
    }
}

void CStitchPicture::CheckRows(std::vector<std::string>& messages) const
{
    if (!m_bRunLength || m_RowStart.size() != static_cast<size_t>(m_iHeight) + 1)
        return;
    const int64_t iLength = static_cast<int64_t>(m_Data.size());
    if (m_iRowsIndexed < m_iHeight)
        m_iRowsIndexed = ExtendRowIndex(m_Data.data(), iLength, m_RowStart, m_iRowsIndexed, m_iHeight);
    if (m_RowStart[static_cast<size_t>(m_iHeight)] < iLength)
        messages.push_back(FormatText("%s: run-length data continues after the last row (%d); the rest is ignored.",
                                      m_szFile.c_str(), m_iHeight));
    const int32_t iRow = FirstOverrunRow(m_Data.data(), m_RowStart, static_cast<int64_t>(m_Data.size()), m_iWidth);
    if (iRow >= 0)
        messages.push_back(FormatText("%s: run-length data of row %d runs past the picture width of %d pixels; the "
                                      "excess is cut off.",
                                      m_szFile.c_str(), iRow, m_iWidth));
}

std::vector<uint8_t> CStitchPicture::GrayPixels() const
{
    if (!m_bRunLength)
        return m_Pixels;
    std::vector<uint8_t> gray(static_cast<size_t>(int64_t(m_iWidth) * m_iHeight), 255);
    const int32_t iStride = StitchBitStride(m_iWidth);
    std::vector<uint8_t> bits(static_cast<size_t>(iStride));
    for (int32_t y = 0; y < m_iHeight; ++y) {
        DecodeRows(y, y + 1, bits.data(), iStride);
        for (int64_t x = 0; x < m_iWidth; ++x)
            if (bits[static_cast<size_t>(x >> 3)] & (0x80 >> (x & 7)))
                gray[static_cast<size_t>(int64_t(y) * m_iWidth + x)] = 0;
    }
    return gray;
}

bool CStitchPicture::Decode(std::vector<std::string>& messages, std::string& szError)
{
    if (!CheckSize(*this, messages, szError))
        return false;
    const int64_t iPixels = int64_t(m_iWidth) * m_iHeight;
    if (!m_bRunLength && static_cast<int64_t>(m_Data.size()) == iPixels) {
        // The usual case: the data already is the picture, row by row.
        m_Pixels = std::move(m_Data);
        m_Data.clear();
        return true;
    }
    if (!m_bRunLength) {
        m_Pixels.resize(static_cast<size_t>(iPixels));
        DecodeStitchGray(m_Data.data(), static_cast<int64_t>(m_Data.size()), m_iWidth, m_iHeight, m_Pixels.data());
    } else {
        // Rows are found as they are first drawn; most of a large picture is
        // never looked at row by row before the technician has seen it.
        m_RowStart.assign(static_cast<size_t>(m_iHeight) + 1, static_cast<int64_t>(m_Data.size()));
        m_RowStart[0] = 0;
        m_iRowsIndexed = 0;
        return true;
    }
    std::vector<uint8_t>().swap(m_Data);
    return true;
}

void CStitchView::Reset()
{
    m_iZoom = 1;
    m_iCenterX = m_iWidth / 2;
    m_iCenterY = m_iHeight / 3;
    Clamp();
}

void CStitchView::Clamp()
{
    if (m_iZoom < 1)
        m_iZoom = 1;
    const int32_t hw = HalfWidth(), hh = HalfHeight();
    // Lower bound first, then the upper: a picture smaller than the view ends up
    // left/top aligned to the upper bound, as the original viewer does.
    m_iCenterX = std::max(m_iCenterX, hw);
    m_iCenterX = std::min(m_iCenterX, m_iWidth - hw);
    m_iCenterY = std::max(m_iCenterY, hh);
    m_iCenterY = std::min(m_iCenterY, m_iHeight - hh);
}

void CStitchView::PanFrom(int32_t iFromX, int32_t iFromY, int32_t iDx, int32_t iDy)
{
    const int32_t z = std::max(1, m_iZoom);
    m_iCenterX = iFromX - iDx / z;
    m_iCenterY = iFromY - iDy / z;
    Clamp();
}

void CStitchView::ZoomIn(int32_t iMouseX, int32_t iMouseY)
{
    m_iCenterX -= (m_iClientWidth / 2 - iMouseX) / m_iZoom;
    m_iCenterY -= (m_iClientHeight / 2 - iMouseY) / m_iZoom;
    // A zoom beyond one picture pixel per client pixel shows nothing more.
    if (m_iZoom < std::max(1, std::max(m_iClientWidth, m_iClientHeight)))
        ++m_iZoom;
    Clamp();
}

void CStitchView::ZoomOut()
{
    if (m_iZoom > 1)
        --m_iZoom;
    Clamp();
}

bool CStitchView::ZoomOneToOne()
{
    if (m_iZoom == 1)
        return false;
    m_iZoom = 1;
    m_iCenterX = m_iWidth / 2;
    m_iCenterY = m_iHeight / 3;
    Clamp();
    return true;
}

namespace {
CStitchView::CScroll ScrollFor(int32_t iVisible, int32_t iStart, int32_t iExtent)
{
    CStitchView::CScroll s;
    if (iExtent <= 0)
        return s;
    s.m_iPage = static_cast<int32_t>(int64_t(iVisible) * 10000 / iExtent);
    s.m_iPos = static_cast<int32_t>(int64_t(iStart) * 10000 / iExtent);
    return s;
}
}  // namespace

CStitchView::CScroll CStitchView::HorizontalScroll() const
{
    return ScrollFor(VisibleWidth(), VisibleLeft(), m_iWidth);
}

CStitchView::CScroll CStitchView::VerticalScroll() const
{
    return ScrollFor(VisibleHeight(), VisibleTop(), m_iHeight);
}

void CStitchView::ScrollHorizontalTo(int32_t iPos)
{
    m_iCenterX = static_cast<int32_t>(int64_t(iPos) * m_iWidth / 10000) + HalfWidth();
    Clamp();
}

void CStitchView::ScrollVerticalTo(int32_t iPos)
{
    m_iCenterY = static_cast<int32_t>(int64_t(iPos) * m_iHeight / 10000) + HalfHeight();
    Clamp();
}

void CStitchPixels::ReadRow(int32_t y, int32_t x, int32_t n, int32_t* pValues) const
{
    const CStitchPicture& pic = *m_pPicture;
    if (!pic.m_bRunLength) {
        const size_t iRow = size_t(y) * size_t(pic.m_iWidth);
        for (int32_t i = 0; i < n; ++i) {
            const size_t k = iRow + size_t(x + i);
            pValues[i] = k < pic.m_Pixels.size() ? pic.m_Pixels[k] : 255;
        }
        return;
    }
    const int32_t iStride = StitchBitStride(pic.m_iWidth);
    m_Bits.assign(size_t(iStride), 0);
    pic.DecodeRows(y, y + 1, m_Bits.data(), iStride);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t c = x + i;
        const bool bBlack = (m_Bits[size_t(c >> 3)] >> (7 - (c & 7))) & 1;
        pValues[i] = bBlack ? 0 : 255;
    }
}
