#include "widgets/LightProfileGraph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

// ---------------------------------------------------------------------------
// CLPFSampleLevels

void CLPFSampleLevels::Clear()
{
    m_pSamples = nullptr;
    m_iCount = 0;
    m_Min.clear();
    m_Max.clear();
}

void CLPFSampleLevels::Prepare(const uint8_t* pSamples, int64_t iCount)
{
    Clear();
    if (!pSamples || iCount <= 0)
        return;
    m_pSamples = pSamples;
    m_iCount = iCount;
    // Level 1 from the samples, every further level from the one below it;
    // partial blocks at the end are left out, the query walks them sample-wise.
    const uint8_t* pMinBelow = pSamples;
    const uint8_t* pMaxBelow = pSamples;
    for (int64_t iSize = iCount >> 1; iSize > 0; iSize >>= 1) {
        std::vector<uint8_t> mins(static_cast<size_t>(iSize)), maxs(static_cast<size_t>(iSize));
        for (int64_t j = 0; j < iSize; ++j) {
            mins[static_cast<size_t>(j)] = std::min(pMinBelow[2 * j], pMinBelow[2 * j + 1]);
            maxs[static_cast<size_t>(j)] = std::max(pMaxBelow[2 * j], pMaxBelow[2 * j + 1]);
        }
        m_Min.push_back(std::move(mins));
        m_Max.push_back(std::move(maxs));
        pMinBelow = m_Min.back().data();
        pMaxBelow = m_Max.back().data();
    }
}

void CLPFSampleLevels::RangeMinMax(int64_t iFirst, int64_t iLast, uint8_t& iMin, uint8_t& iMax) const
{
    iMin = 255;
    iMax = 0;
    iFirst = std::max<int64_t>(iFirst, 0);
    iLast = std::min<int64_t>(iLast, m_iCount - 1);
    const int iLevels = static_cast<int>(m_Min.size());
    int64_t a = iFirst;
    while (a <= iLast) {
        // The biggest aligned block that starts at a and stays inside the range.
        const uint64_t iRemaining = static_cast<uint64_t>(iLast - a + 1);
        int k = static_cast<int>(std::bit_width(iRemaining)) - 1;
        if (a > 0)
            k = std::min(k, std::countr_zero(static_cast<uint64_t>(a)));
        k = std::min(k, iLevels);
        if (k == 0) {
            const uint8_t s = m_pSamples[a];
            iMin = std::min(iMin, s);
            iMax = std::max(iMax, s);
            ++a;
        } else {
            const size_t j = static_cast<size_t>(a >> k);
            iMin = std::min(iMin, m_Min[static_cast<size_t>(k - 1)][j]);
            iMax = std::max(iMax, m_Max[static_cast<size_t>(k - 1)][j]);
            a += int64_t(1) << k;
        }
    }
}

// ---------------------------------------------------------------------------
// CLPFGraph: data

CLPFGraph::CLPFGraph()
{
    m_CameraPos.fill(0);
}

void CLPFGraph::Clear()
{
    for (auto& v : m_Samples)
        v.clear();
    for (auto& l : m_Levels)
        l.Clear();
    m_Reference.clear();
    m_Tags.clear();
    m_Tagged.clear();
    m_iCount = 0;
    m_bSeparate = false;
    m_iZoom = 1;
    m_iCenter = 0;
}

void CLPFGraph::AdoptSamples()
{
    // Samples handed in while the [-32:31] view is on are spread the same way,
    // so a profile that arrives later looks like the one converted on choice.
    if (m_iMode == LPF_MODE_SIGNED32)
        for (auto& v : m_Samples)
            for (auto& s : v)
                s = ConvertSigned32(s);
    for (int i = 0; i < 3; ++i)
        m_Levels[static_cast<size_t>(i)].Prepare(m_Samples[static_cast<size_t>(i)].data(),
                                                 static_cast<int64_t>(m_Samples[static_cast<size_t>(i)].size()));
    ClampCenter();
}

void CLPFGraph::SetData(const uint8_t* pSamples, int64_t iCount, int32_t iColor)
{
    for (auto& v : m_Samples)
        v.clear();
    if (!pSamples || iCount < 0)
        iCount = 0;
    m_Samples[0].assign(pSamples, pSamples + iCount);
    m_iCount = iCount;
    m_bSeparate = false;
    m_iColor = iColor;
    AdoptSamples();
}

void CLPFGraph::SetColorData(const uint8_t* pRed, const uint8_t* pGreen, const uint8_t* pBlue, int64_t iCount)
{
    if (!pRed || !pGreen || !pBlue || iCount < 0)
        iCount = 0;
    const uint8_t* planes[3] = {pRed, pGreen, pBlue};
    for (size_t i = 0; i < 3; ++i)
        m_Samples[i].assign(planes[i], planes[i] + iCount);
    m_iCount = iCount;
    m_bSeparate = true;
    AdoptSamples();
}

void CLPFGraph::SetReference(const uint8_t* pReference, int64_t iCount)
{
    if (!pReference || iCount <= 0) {
        m_Reference.clear();
        return;
    }
    m_Reference.assign(pReference, pReference + iCount);
    // The reference is a level of the same signal: it is spread with the
    // samples, or it would sit beside the curve it belongs to.
    if (m_iMode == LPF_MODE_SIGNED32)
        for (auto& s : m_Reference)
            s = ConvertSigned32(s);
}

int32_t CLPFGraph::ChannelColor(int i) const
{
    return m_bSeparate ? i : m_iColor;
}

void CLPFGraph::Convert(uint8_t (*fn)(uint8_t))
{
    for (auto& v : m_Samples)
        for (auto& s : v)
            s = fn(s);
    for (auto& s : m_Reference)
        s = fn(s);
    for (int i = 0; i < 3; ++i)
        m_Levels[static_cast<size_t>(i)].Prepare(m_Samples[static_cast<size_t>(i)].data(),
                                                 static_cast<int64_t>(m_Samples[static_cast<size_t>(i)].size()));
}

void CLPFGraph::SetDisplayMode(int32_t iMode)
{
    m_iMode = iMode;
    if (iMode == LPF_MODE_SIGNED32)
        Convert(&ConvertSigned32);
    else if (iMode == LPF_MODE_TX64)
        Convert(&ConvertTx64);
}

// ---------------------------------------------------------------------------
// overlays

void CLPFGraph::SetHighlight(int64_t iFirst, int64_t iLast, int32_t iColor)
{
    m_iHighFirst = iFirst;
    m_iHighLast = iLast;
    m_iHighColor = iColor;
}

bool CLPFGraph::InHighlight(const CLPFColumn& col) const
{
    return !HasHighlight() || (col.m_iLast >= m_iHighFirst && col.m_iFirst <= m_iHighLast);
}

void CLPFGraph::SetCameraPositions(const std::vector<int64_t>& positions)
{
    m_CameraPos.fill(0);
    for (size_t i = 0; i < positions.size() && i < m_CameraPos.size(); ++i)
        m_CameraPos[i] = positions[i];
}

void CLPFGraph::SetMarkers(int64_t iSolid1, int64_t iSolid2, int64_t iDotted1, int64_t iDotted2)
{
    m_Markers = {iSolid1, iSolid2, iDotted1, iDotted2};
}

void CLPFGraph::SetTags(const uint8_t* pTags, int64_t iCount)
{
    m_Tags.clear();
    m_Tagged.clear();
    if (!pTags || iCount <= 0)
        return;
    m_Tags.assign(pTags, pTags + iCount);
    // Tags are sparse; keeping their positions lets a column find its tag by
    // a binary search instead of walking every sample it covers.
    for (int64_t i = 0; i < iCount; ++i)
        if (pTags[i])
            m_Tagged.push_back(i);
}

// ---------------------------------------------------------------------------
// zoom

void CLPFGraph::ClampCenter()
{
    const int64_t iHalf = (m_iCount / m_iZoom) / 2;
    const int64_t iLow = iHalf;
    // Zoomed below two samples the half-width is 0 and the centre could reach
    // n, one past the last sample, leaving the plot blank; the last sample is
    // as far as it goes.
    const int64_t iHigh = std::max<int64_t>(0, std::min(m_iCount - iHalf, m_iCount - 1));
    if (m_iCenter < iLow)
        m_iCenter = iLow;
    if (m_iCenter > iHigh)
        m_iCenter = iHigh;
}

void CLPFGraph::SetView(int32_t iZoom, int64_t iCenter)
{
    m_iZoom = std::clamp<int32_t>(iZoom, 1, kZoomLimit + 1);
    m_iCenter = iCenter;
    ClampCenter();
}

void CLPFGraph::ZoomAll()
{
    m_iZoom = 1;
    m_iCenter = m_iCount / 2;
}

void CLPFGraph::ZoomIn(int32_t iX, int32_t iWidth)
{
    if (m_iCount <= 0 || iWidth <= 0)
        return;
    const double dHalfWidth = iWidth / 2;
    if (dHalfWidth > 0) {
        const double dShift = ((iX - dHalfWidth) / dHalfWidth) * (static_cast<double>(m_iCount / m_iZoom) / 2.0);
        m_iCenter += static_cast<int64_t>(std::lround(dShift));
    }
    if (m_iZoom < kZoomLimit)
        m_iZoom *= 2;
    ClampCenter();
}

void CLPFGraph::ZoomOut()
{
    m_iZoom /= 2;
    if (m_iZoom <= 1) {
        m_iZoom = 1;
        m_iCenter = m_iCount / 2;
        return;
    }
    ClampCenter();
}

int64_t CLPFGraph::ScrollPage() const
{
    return std::max<int64_t>(1, m_iCount / m_iZoom);
}

int64_t CLPFGraph::ScrollMaximum() const
{
    return std::max<int64_t>(0, m_iCount - m_iCount / m_iZoom);
}

int64_t CLPFGraph::ScrollPosition() const
{
    return std::clamp<int64_t>(m_iCenter - (m_iCount / m_iZoom) / 2, 0, ScrollMaximum());
}

void CLPFGraph::SetScrollPosition(int64_t iPos)
{
    m_iCenter = iPos + (m_iCount / m_iZoom) / 2;
    ClampCenter();
}

// ---------------------------------------------------------------------------
// geometry

double CLPFGraph::VisibleCount() const
{
    return static_cast<double>(m_iCount) / m_iZoom;
}

double CLPFGraph::FirstVisible() const
{
    return static_cast<double>(m_iCenter - (m_iCount / m_iZoom) / 2);
}

double CLPFGraph::SamplesPerColumn(int32_t iWidth) const
{
    return iWidth > 0 ? (static_cast<double>(m_iCount) / iWidth) / m_iZoom : 0.0;
}

CLPFColumn CLPFGraph::Column(int32_t iX, int32_t iWidth) const
{
    CLPFColumn col;
    if (m_iCount <= 0 || iWidth <= 0)
        return col;
    const double dPer = SamplesPerColumn(iWidth);
    const double dPos = FirstVisible() + iX * dPer;
    int64_t iFirst = static_cast<int64_t>(std::floor(dPos));
    int64_t iLast = iFirst;
    if (dPer >= 1.0) {
        // Every sample whose position falls inside [dPos, dPos + dPer).
        iLast = static_cast<int64_t>(std::ceil(dPos + dPer)) - 1;
        iLast = std::max(iLast, iFirst);
    }
    // Outside the data nothing is drawn; a partly covered column keeps its part.
    if (iLast < 0 || iFirst >= m_iCount)
        return CLPFColumn{};
    col.m_iFirst = std::max<int64_t>(iFirst, 0);
    col.m_iLast = std::min<int64_t>(iLast, m_iCount - 1);
    return col;
}

std::vector<CLPFColumn> CLPFGraph::Columns(int32_t iWidth) const
{
    std::vector<CLPFColumn> cols;
    if (iWidth <= 0)
        return cols;
    cols.reserve(static_cast<size_t>(iWidth));
    for (int32_t x = 0; x < iWidth; ++x)
        cols.push_back(Column(x, iWidth));
    return cols;
}

void CLPFGraph::ColumnMinMax(const CLPFColumn& col, int iChannel, uint8_t& iMin, uint8_t& iMax) const
{
    m_Levels[static_cast<size_t>(iChannel)].RangeMinMax(col.m_iFirst, col.m_iLast, iMin, iMax);
}

uint8_t CLPFGraph::ColumnTag(const CLPFColumn& col) const
{
    if (m_Tagged.empty() || col.IsEmpty())
        return 0;
    auto it = std::lower_bound(m_Tagged.begin(), m_Tagged.end(), col.m_iFirst);
    if (it == m_Tagged.end() || *it > col.m_iLast)
        return 0;
    return m_Tags[static_cast<size_t>(*it)];
}

uint32_t CLPFGraph::ColumnMarkers(const CLPFColumn& col) const
{
    uint32_t iBits = 0;
    if (col.IsEmpty())
        return 0;
    for (size_t i = 0; i < m_Markers.size(); ++i)
        if (m_Markers[i] >= 0 && m_Markers[i] >= col.m_iFirst && m_Markers[i] <= col.m_iLast)
            iBits |= 1u << i;
    return iBits;
}

std::vector<int32_t> CLPFGraph::GridLines(int32_t iHeight) const
{
    std::vector<int32_t> lines;
    if (m_iMode == LPF_MODE_SIGNED32 || m_iMode == LPF_MODE_TX64) {
        // One line per 4 of the 64 levels of the [-32, 31] range.
        for (int i = -32; i <= 32; i += 4) {
            const int32_t y = iHeight / 2 + i * iHeight / 64;
            lines.push_back(y);
            if (i == 0)
                lines.push_back(y + 1);
        }
    } else if (m_iMode == LPF_MODE_PROFILE && !m_bSeparate) {
        for (int v = 20; v <= 240; v += 20) {
            const int32_t y = LevelY(v, iHeight);
            lines.push_back(y);
            if (v == 100 || v == 200)
                lines.push_back(y + 1);
        }
    } else if (m_iMode == LPF_MODE_PROFILE || m_iMode == LPF_MODE_PERCENT) {
        for (int i = 1; i <= 9; ++i) {
            const int32_t y = static_cast<int32_t>(static_cast<int64_t>(iHeight) * i / 10);
            lines.push_back(y);
            if (i == 5)
                lines.push_back(y + 1);
        }
    }
    return lines;
}

int32_t CLPFGraph::CameraColumn(int i, int32_t iWidth) const
{
    if (i < 0 || i >= kCameraPositions || m_CameraPos[static_cast<size_t>(i)] <= 0 || iWidth <= 0)
        return -1;
    const double dPer = SamplesPerColumn(iWidth);
    if (dPer <= 0)
        return -1;
    const double dX = (static_cast<double>(m_CameraPos[static_cast<size_t>(i)] / 2) - FirstVisible()) / dPer;
    if (dX < 0 || dX >= iWidth)
        return -1;
    return static_cast<int32_t>(dX);
}

std::vector<int64_t> CLPFGraph::ReadOutTable(int32_t iWidth) const
{
    std::vector<int64_t> table;
    const int32_t iColumns = std::min(iWidth, kReadOutColumns);
    if (iColumns <= 0 || m_iCount <= 0)
        return table;
    table.reserve(static_cast<size_t>(iColumns));
    for (int32_t x = 0; x < iColumns; ++x) {
        const CLPFColumn col = Column(x, iWidth);
        table.push_back(col.IsEmpty() ? -1 : col.m_iFirst);
    }
    return table;
}

std::string CLPFGraph::ReadOutText(const std::vector<int64_t>& table, int32_t iX)
{
    if (iX < 0 || static_cast<size_t>(iX) >= table.size() || table[static_cast<size_t>(iX)] < 0)
        return std::string();
    char sz[32];
    std::snprintf(sz, sizeof sz, "%d", static_cast<int>(table[static_cast<size_t>(iX)]));
    return sz;
}

const char* CLPFGraph::ChannelName(int32_t iColor)
{
    switch (iColor) {
    case LPF_CHANNEL_RED: return "Red ";
    case LPF_CHANNEL_GREEN: return "Green ";
    case LPF_CHANNEL_BLUE: return "Blue ";
    default: return "Gray ";
    }
}
