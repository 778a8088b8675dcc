#include "testtools/StarTestTracker.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {
constexpr double kCatchRange = 4.0; // pixels a line may stray from one row to the next
constexpr uint8_t kDark = 128;

struct CRun {
    double m_dCentre, m_dWidth;
    bool m_bEdge; // cut by the end of the line: its centre is not the line's
};

// Dark runs of one line; the centre is weighted by darkness so that a
// half-covered edge pixel counts half.
std::vector<CRun> DarkRuns(const uint8_t* p, int32_t n)
{
    std::vector<CRun> runs;
    for (int32_t i = 0; i < n;) {
        if (p[i] >= kDark) {
            ++i;
            continue;
        }
        const bool bAtStart = i == 0;
        int32_t a = i > 0 ? i - 1 : i;
        while (i < n && p[i] < kDark) ++i;
        const int32_t b = i < n ? i + 1 : i; // one light pixel each side carries the edge
        double dSum = 0, dMoment = 0;
        for (int32_t k = a; k < b; ++k) {
            const double w = 255.0 - p[k];
            dSum += w;
            dMoment += w * k;
        }
        if (dSum > 0) runs.push_back({dMoment / dSum, dSum / 255.0, bAtStart || i == n});
    }
    return runs;
}

void Intensities(const CPicture& pic, int32_t iRow, std::vector<uint8_t>& out)
{
    out.resize(size_t(pic.m_iWidth));
    int32_t r = 0, g = 0, b = 0;
    for (int32_t x = 0; x < pic.m_iWidth; ++x) {
        pic.GetPixel(x, iRow, r, g, b);
        out[size_t(x)] = uint8_t((r + g + b) / 3);
    }
}
} // namespace

bool FindDarkRun(const uint8_t* pLine, int32_t n, int32_t iFrom, int32_t iTo, double dNear, double& dCentre,
                 double& dWidth)
{
    iFrom = std::clamp(iFrom, 0, n);
    iTo = std::clamp(iTo, iFrom, n);
    bool bFound = false;
    for (const CRun& run : DarkRuns(pLine + iFrom, iTo - iFrom)) {
        const double c = run.m_dCentre + iFrom;
        if (!bFound || std::fabs(c - dNear) < std::fabs(dCentre - dNear)) {
            dCentre = c;
            dWidth = run.m_dWidth;
            bFound = true;
        }
    }
    return bFound;
}

int32_t TrackStarTestLines(const CPicture& pic, StarTestSweep& s, std::string& szError)
{
    if ((!pic.IsGray() && !pic.IsRGB()) || pic.m_iWidth < 1 || pic.m_iHeight < 1) {
        szError = "the picture is neither gray nor RGB";
        return 0;
    }
    const int32_t n = std::min(s.m_iLength, pic.m_iHeight);
    for (int32_t i = 0; i < s.m_iLength; ++i) {
        const size_t k = size_t(i);
        s.m_dXLinePos[k] = s.m_dYLinePos[k] = s.m_dWideLinePos[k] = 0.0;
        s.m_dXLineWidthRaw[k] = s.m_dYLineWidthRaw[k] = 0.0;
        s.m_iXLineColumn[k] = 0;
        s.m_XLineStart[k] = s.m_YLineStart[k] = 0;
    }
    std::vector<uint8_t> row, column(size_t(pic.m_iHeight));
    // The diagonals far outnumber the wide line: the median run width of a
    // few rows is a diagonal's, and only a run well beyond it is the wide
    // line (a diagonal cut by the picture edge is narrower, never wider).
    std::vector<double> widths;
    for (int32_t r = 0; r < n; r += std::max(1, n / 64)) {
        Intensities(pic, r, row);
        for (const CRun& run : DarkRuns(row.data(), pic.m_iWidth)) widths.push_back(run.m_dWidth);
    }
    double dDiagonal = 0;
    if (!widths.empty()) {
        std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2), widths.end());
        dDiagonal = widths[widths.size() / 2];
    }
    int32_t iStarts = 0;
    bool bOnLine = false;
    double dX = 0, dY = 0;
    int32_t iColumnCached = -1;
    for (int32_t r = 0; r < n; ++r) {
        const size_t k = size_t(r);
        Intensities(pic, r, row);
        std::vector<CRun> runs = DarkRuns(row.data(), pic.m_iWidth);
        if (runs.empty()) {
            bOnLine = false;
            continue;
        }
        // the wide line is the widest run; it is no diagonal candidate
        const auto wide = std::max_element(runs.begin(), runs.end(),
                                           [](const CRun& a, const CRun& b) { return a.m_dWidth < b.m_dWidth; });
        const bool bHasWide = runs.size() > 1 && wide->m_dWidth >= 2.5 * dDiagonal;
        double dWideCentre = -1e9, dWideHalf = 0;
        if (bHasWide) {
            s.m_dWideLinePos[k] = dWideCentre = wide->m_dCentre;
            dWideHalf = wide->m_dWidth / 2;
            runs.erase(wide);
        }
        runs.erase(std::remove_if(runs.begin(), runs.end(), [](const CRun& run) { return run.m_bEdge; }), runs.end());
        const CRun* pNext = nullptr;
        if (bOnLine) {
            const double dExpect = dX - 1.0;
            for (const CRun& run : runs)
                if (std::fabs(run.m_dCentre - dExpect) <= kCatchRange &&
                    (!pNext || std::fabs(run.m_dCentre - dExpect) < std::fabs(pNext->m_dCentre - dExpect)))
                    pNext = &run;
        }
        bool bStart = false;
        if (!pNext && bOnLine && std::fabs(dX - 1.0 - dWideCentre) <= dWideHalf + kCatchRange) {
            // crossing the wide line: the line goes on where it must be
            dX -= 1.0;
            dY += 1.0;
            s.m_dXLinePos[k] = dX;
            s.m_iXLineColumn[k] = std::clamp(int32_t(std::lround(dX)), 0, pic.m_iWidth - 1);
            continue;
        }
        if (!pNext) {
            // the line has left: the next one is the nearest to its right
            // (the first row takes the leftmost line)
            for (const CRun& run : runs)
                if ((!bOnLine || run.m_dCentre > dX) && (!pNext || run.m_dCentre < pNext->m_dCentre)) pNext = &run;
            if (!pNext) {
                bOnLine = false;
                continue;
            }
            bStart = true;
        }
        dX = pNext->m_dCentre;
        s.m_dXLinePos[k] = dX;
        s.m_dXLineWidthRaw[k] = pNext->m_dWidth;
        const int32_t iColumn = std::clamp(int32_t(std::lround(dX)), 0, pic.m_iWidth - 1);
        s.m_iXLineColumn[k] = iColumn;
        if (bStart) {
            s.m_XLineStart[k] = s.m_YLineStart[k] = 1;
            ++iStarts;
            dY = r;
        }
        bOnLine = true;
        // vertical crossing of the line in that column, near where it should be
        if (iColumn != iColumnCached) {
            int32_t cr = 0, cg = 0, cb = 0;
            for (int32_t y = 0; y < pic.m_iHeight; ++y) {
                pic.GetPixel(iColumn, y, cr, cg, cb);
                column[size_t(y)] = uint8_t((cr + cg + cb) / 3);
            }
            iColumnCached = iColumn;
        }
        const double dExpectY = bStart ? r : dY + 1.0;
        const int32_t iNear = int32_t(std::lround(dExpectY));
        double dCentre = 0, dWidth = 0;
        if (FindDarkRun(column.data(), pic.m_iHeight, iNear - int32_t(kCatchRange) - 2,
                        iNear + int32_t(kCatchRange) + 3, dExpectY, dCentre, dWidth)) {
            dY = dCentre;
            s.m_dYLinePos[k] = dY;
            s.m_dYLineWidthRaw[k] = dWidth;
        } else {
            dY = dExpectY;
        }
    }
    return iStarts;
}
