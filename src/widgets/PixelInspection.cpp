#include "widgets/PixelInspection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "imaging/Picture.h"

namespace {

std::string Mm(double dPixels, int32_t iResolution)
{
    char sz[48];
    std::snprintf(sz, sizeof sz, "%.2f", dPixels * 25.4 / iResolution);
    return sz;
}

} // namespace

namespace {
bool Readable(const CPicture* p)
{
    return p && p->GetDataPointer() && (p->IsGray() || p->IsRGB()) && p->m_iWidth > 0 && p->m_iHeight > 0;
}
} // namespace

int32_t CPicturePixels::Width() const
{
    return Readable(m_pPicture) ? m_pPicture->m_iWidth : 0;
}

int32_t CPicturePixels::Height() const
{
    return Readable(m_pPicture) ? m_pPicture->m_iHeight : 0;
}

int32_t CPicturePixels::Channels() const
{
    return Readable(m_pPicture) && m_pPicture->IsRGB() ? 3 : 1;
}

int32_t CPicturePixels::Resolution() const
{
    return m_pPicture ? m_pPicture->GetResolution() : 0;
}

void CPicturePixels::ReadRow(int32_t y, int32_t x, int32_t n, int32_t* pValues) const
{
    const int32_t nc = Channels();
    for (int32_t i = 0; i < n; ++i) {
        int32_t r = 0, g = 0, b = 0;
        if (Readable(m_pPicture))
            m_pPicture->GetPixel(x + i, y, r, g, b);
        pValues[size_t(i) * size_t(nc)] = r;
        if (nc == 3) {
            pValues[size_t(i) * 3 + 1] = g;
            pValues[size_t(i) * 3 + 2] = b;
        }
    }
}

CPixelRect DraggedRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t iWidth, int32_t iHeight)
{
    const int64_t iLeft = std::max<int64_t>(0, std::min(x0, x1));
    const int64_t iTop = std::max<int64_t>(0, std::min(y0, y1));
    const int64_t iRight = std::min<int64_t>(int64_t(iWidth) - 1, std::max(x0, x1));
    const int64_t iBottom = std::min<int64_t>(int64_t(iHeight) - 1, std::max(y0, y1));
    if (iRight < iLeft || iBottom < iTop)
        return {};
    return {int32_t(iLeft), int32_t(iTop), int32_t(iRight - iLeft + 1), int32_t(iBottom - iTop + 1)};
}

CAreaStats ComputeAreaStats(const CPixelSource& source, const CPixelRect& rect)
{
    CAreaStats stats;
    stats.m_Rect = DraggedRect(rect.m_iLeft, rect.m_iTop, rect.m_iLeft + rect.m_iWidth - 1,
                               rect.m_iTop + rect.m_iHeight - 1, source.Width(), source.Height());
    const int32_t nc = source.Channels();
    if (stats.m_Rect.IsEmpty() || rect.IsEmpty() || nc <= 0)
        return stats;
    // Sums in integers are exact for any picture we can hold (16-bit values,
    // 2^28 pixels); the variance is then one subtraction in long double.
    std::vector<int64_t> sum(size_t(nc), 0);
    std::vector<long double> sumSq(size_t(nc), 0.0L);
    std::vector<int32_t> lo(size_t(nc), std::numeric_limits<int32_t>::max());
    std::vector<int32_t> hi(size_t(nc), std::numeric_limits<int32_t>::min());
    const CPixelRect& r = stats.m_Rect;
    std::vector<int32_t> row(size_t(r.m_iWidth) * size_t(nc));
    for (int32_t y = r.m_iTop; y < r.m_iTop + r.m_iHeight; ++y) {
        source.ReadRow(y, r.m_iLeft, r.m_iWidth, row.data());
        for (int32_t x = 0; x < r.m_iWidth; ++x)
            for (int32_t c = 0; c < nc; ++c) {
                const int32_t v = row[size_t(x) * size_t(nc) + size_t(c)];
                sum[size_t(c)] += v;
                sumSq[size_t(c)] += static_cast<long double>(v) * v;
                lo[size_t(c)] = std::min(lo[size_t(c)], v);
                hi[size_t(c)] = std::max(hi[size_t(c)], v);
            }
    }
    const long double n = static_cast<long double>(r.Area());
    for (int32_t c = 0; c < nc; ++c) {
        CChannelStats s;
        const long double mean = static_cast<long double>(sum[size_t(c)]) / n;
        const long double var = std::max(0.0L, sumSq[size_t(c)] / n - mean * mean);
        s.m_dMean = static_cast<double>(mean);
        s.m_dStdDev = static_cast<double>(std::sqrt(var));
        s.m_iMin = lo[size_t(c)];
        s.m_iMax = hi[size_t(c)];
        stats.m_Channels.push_back(s);
    }
    return stats;
}

const char* PixelChannelName(int32_t iChannels, int32_t i)
{
    if (iChannels < 3)
        return "Gray";
    static const char* const names[] = {"R", "G", "B"};
    return i >= 0 && i < 3 ? names[i] : "?";
}

std::string PixelReadOut(const CPixelSource& source, int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= source.Width() || y >= source.Height())
        return {};
    const int32_t nc = std::max(1, source.Channels());
    std::vector<int32_t> v(size_t(nc), 0);
    source.ReadRow(y, x, 1, v.data());
    const int32_t dpi = source.Resolution();
    std::string sz = "x " + std::to_string(x);
    if (dpi > 0)
        sz += " (" + Mm(x, dpi) + " mm)";
    sz += "  y " + std::to_string(y);
    if (dpi > 0)
        sz += " (" + Mm(y, dpi) + " mm)";
    sz += " ";
    for (int32_t c = 0; c < nc; ++c)
        sz += std::string(" ") + PixelChannelName(nc, c) + " " + std::to_string(v[size_t(c)]);
    return sz;
}

std::vector<std::string> AreaStatsLines(const CAreaStats& stats, int32_t iChannels, int32_t iResolution)
{
    std::vector<std::string> lines;
    if (stats.m_Channels.empty())
        return lines;
    const CPixelRect& r = stats.m_Rect;
    std::string sz = "Area " + std::to_string(r.m_iWidth) + " x " + std::to_string(r.m_iHeight) + " px";
    if (iResolution > 0)
        sz += " (" + Mm(r.m_iWidth, iResolution) + " x " + Mm(r.m_iHeight, iResolution) + " mm)";
    lines.push_back(sz);
    for (size_t c = 0; c < stats.m_Channels.size(); ++c) {
        const CChannelStats& s = stats.m_Channels[c];
        char szLine[160];
        std::snprintf(szLine, sizeof szLine, "%s mean %.2f sd %.2f min %d max %d",
                      PixelChannelName(iChannels, int32_t(c)), s.m_dMean, s.m_dStdDev, s.m_iMin, s.m_iMax);
        lines.push_back(szLine);
    }
    return lines;
}
