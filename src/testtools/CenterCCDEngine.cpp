#include "testtools/CenterCCDEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "testtools/ResultText.h"

namespace {

constexpr int32_t kSecondLineLimit = 390; // the second line is looked for no further out
constexpr double kWideLine = 10.0;        // a dark run wider than this is the positioning line, not a wire
constexpr double kWrapJump = 20.0;        // a step this much back along the travel is the mark starting again

double Centre(double a, double b) { return (a + b) / 2.0; }

// Rows must stay readable by both readers: no line feed inside a result line.
std::string OneLine(std::string sz)
{
    std::replace(sz.begin(), sz.end(), '\n', ' ');
    std::replace(sz.begin(), sz.end(), '\r', ' ');
    return sz;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

// ================================================================ running mean

void CRunningMean::Add(double d)
{
    if (m_iN < 1)
        return;
    if (m_Values.size() < static_cast<size_t>(m_iN)) {
        m_Values.push_back(d);
        return;
    }
    m_Values[m_iNext] = d;
    m_iNext = (m_iNext + 1) % static_cast<size_t>(m_iN);
}

double CRunningMean::Mean() const
{
    if (m_Values.empty())
        return 0.0;
    double d = 0.0;
    for (double v : m_Values)
        d += v;
    return d / static_cast<double>(m_Values.size());
}

bool CreateRgbRows(CPicture& pic, int32_t iWidth, int32_t iHeight, int32_t iResolution)
{
    return pic.Create(iWidth, iHeight, iResolution, PIC_RGB) && pic.CommitRows(iHeight);
}

// ================================================================ line finding

void NormaliseStripeRow(CPicture& stripe, int32_t iRow, bool bRear, bool bPerRowMaximum)
{
    if (!stripe.IsRGB() || !stripe.m_pData || iRow < 0 || iRow >= stripe.m_iHeight)
        return;
    const int32_t W = stripe.m_iWidth;
    uint8_t* pRow = stripe.m_pData + int64_t(iRow) * W * 3;
    for (int32_t ch = 0; ch < 3; ++ch) {
        int32_t iMax = 1;
        if (bPerRowMaximum)
            for (int32_t x = 0; x < W; ++x)
                iMax = std::max<int32_t>(iMax, pRow[x * 3 + ch]);
        for (int32_t i = 0; i < W; ++i) {
            uint8_t& v = pRow[(bRear ? W - 1 - i : i) * 3 + ch];
            if (!bPerRowMaximum)
                iMax = std::max<int32_t>(iMax, v);
            // Until something bright has been seen (the dark positioning line
            // at the outer end), the row counts as white paper.
            if (i < 5 || iMax <= 20)
                v = 214;
            else
                v = static_cast<uint8_t>(std::min(255, v * 214 / iMax));
        }
    }
}

namespace {

bool FindFrontLines(const CPicture& pic, int32_t iRow, int32_t ch, CStripeSearch& search, CRowLines& l)
{
    l = CRowLines();
    const int32_t W = pic.m_iWidth;
    if (W < 8)
        return false;
    const int32_t iRes = pic.m_iResolution > 0 ? pic.m_iResolution : 600;
    const int32_t iEnd = W - 1;
    int32_t iStart = std::clamp(search.m_iStart, 0, W - 2);
    double e1 = -1, e2 = -1;
    for (int32_t k = 0;; ++k) {
        if (!pic.FindFallingCrossing(ch, iStart, iEnd, iRow, kLineLevel, e1) ||
            !pic.FindRisingCrossing(ch, static_cast<int32_t>(e1) + 1, iEnd, iRow, kLineLevel, e2))
            return false;
        if (e2 - e1 <= kWideLine)
            break;
        // The positioning line itself: the mark lies beyond it, and so it
        // does for the next rows of this frame.
        if (k == 3)
            return false;
        iStart = static_cast<int32_t>(std::ceil(e2)) + 1;
        search.m_iStart = iStart;
    }
    search.m_dCentre = Centre(e1, e2);
    int32_t iFrom =
        std::min({static_cast<int32_t>(e1 + iRes * 5.2 / 25.4), kSecondLineLimit, W - 1});
    const int32_t iStop = static_cast<int32_t>(e2) + 1;
    double e3 = -1, e4 = -1;
    if (iFrom <= iStop + 1)
        return false;
    auto dark = [&](int32_t x) { return pic.m_pData[(int64_t(iRow) * W + x) * 3 + ch] < kLineLevel; };
    if (dark(iFrom)) {
        // Dark that goes on beyond the end of the search for more than a wire
        // is the positioning line, no wire: the search starts before it.
        int32_t iBeyond = iFrom + 1;
        while (iBeyond < W && dark(iBeyond))
            ++iBeyond;
        if (iBeyond - iFrom > (e2 - e1) + 2.0)
            while (iFrom > iStop + 1 && dark(iFrom))
                --iFrom;
    }
    if (iFrom <= iStop + 1)
        return false;
    if (dark(iFrom)) {
        // The second wire runs past the end of the search: its outer edge is
        // out of sight, but the wires are equally wide, so it lies one width
        // of the first wire beyond the inner edge.
        if (!pic.FindRisingCrossingBackward(ch, iFrom, iStop - 1, iRow, kLineLevel, e4))
            return false;
        e3 = e4 + (e2 - e1);
    } else if (!pic.FindFallingCrossingBackward(ch, iFrom, iStop, iRow, kLineLevel, e3) ||
               !pic.FindRisingCrossingBackward(ch, static_cast<int32_t>(std::ceil(e3)) - 1, iStop - 1, iRow,
                                               kLineLevel, e4))
        return false;
    l.m_dEdge[0] = e1;
    l.m_dEdge[1] = e2;
    l.m_dEdge[2] = e3;
    l.m_dEdge[3] = e4;
    l.m_bValid = e2 - e1 > 0.1 && e3 - e4 > 0.1 && std::fabs(e3 - e2) > 0.1 && e4 > e2;
    l.m_dValue = (Centre(e3, e4) - Centre(e1, e2)) - kMarkGap;
    return l.m_bValid;
}

} // namespace

bool FindStripeLines(const CPicture& stripe, int32_t iRow, int32_t iChannel, bool bRear, CStripeSearch& search,
                     CRowLines& lines)
{
    lines = CRowLines();
    if (!stripe.IsRGB() || !stripe.m_pData || iRow < 0 || iRow >= stripe.m_iHeight || iChannel < 0 || iChannel > 2)
        return false;
    if (!bRear)
        return FindFrontLines(stripe, iRow, iChannel, search, lines);
    // The rear stripe is searched the mirrored way: mirror the row, search it
    // as a front row and take the edges back.
    const int32_t W = stripe.m_iWidth;
    CPicture row;
    if (!CreateRgbRows(row, W, 1, stripe.m_iResolution))
        return false;
    const uint8_t* pSrc = stripe.m_pData + int64_t(iRow) * W * 3;
    for (int32_t x = 0; x < W; ++x)
        std::memcpy(row.m_pData + int64_t(W - 1 - x) * 3, pSrc + int64_t(x) * 3, 3);
    const bool bOk = FindFrontLines(row, 0, iChannel, search, lines);
    for (double& e : lines.m_dEdge)
        if (e >= 0)
            e = (W - 1) - e;
    return bOk;
}

double CorrectColourSigns(std::array<CRowLines, 3>& row, bool bRear, bool bCameraLine)
{
    // Colour rows closer than this cannot be told from noise.
    constexpr double kLeastSpacing = 0.3;
    const double dOrder = bRear ? -1.0 : 1.0;
    // Wires closer than their width and 2.5 pixels have merged or are about
    // to: their distance is read short, so such a colour is filled in from
    // the others when they can. Two merged wires read wider than one: the
    // narrowest first wire is the wire's width.
    double dWire = 1e9;
    for (const CRowLines& l : row)
        if (l.m_bValid)
            dWire = std::min(dWire, std::fabs(l.m_dEdge[1] - l.m_dEdge[0]));
    const double kMerged = (dWire < 1e9 ? dWire : 2.0) + 2.5;
    double m[3];
    bool bUse[3];
    int32_t iUsed = 0;
    for (int32_t c = 0; c < 3; ++c) {
        m[c] = row[size_t(c)].m_dValue + kMarkGap;
        bUse[c] = row[size_t(c)].m_bValid && m[c] >= kMerged;
        iUsed += bUse[c];
    }
    if (iUsed < 2)
        return 0.0;
    // Each colour's distance D_c = L + order x (1 - c) x S, S >= 0: try every
    // sign of the colours used and keep the one that fits best. A colour row
    // that touches the positioning line may find the line for a wire; when
    // the three do not fit, one of them may be left out (at a price, so that
    // three that fit stay together) and is filled in like a merged one.
    double dBestScore = 1e300, dBestL = 0, dBestS = 0;
    int32_t iBestSigns = 0, iBestLeftOut = -1;
    for (int32_t iLeftOut = -1; iLeftOut < 3; ++iLeftOut) {
        if (iLeftOut >= 0 && (iUsed < 3 || !bUse[iLeftOut]))
            continue;
        bool bIn[3] = {bUse[0], bUse[1], bUse[2]};
        if (iLeftOut >= 0)
            bIn[iLeftOut] = false;
        for (int32_t iSigns = 0; iSigns < 8; ++iSigns) {
            if (iSigns & ~((bIn[0] ? 1 : 0) | (bIn[1] ? 2 : 0) | (bIn[2] ? 4 : 0)))
                continue;
            double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, d[3];
            for (int32_t c = 0; c < 3; ++c) {
                d[c] = (iSigns >> c & 1) ? -m[c] : m[c];
                if (!bIn[c])
                    continue;
                const double x = dOrder * (1 - c);
                n += 1, sx += x, sy += d[c], sxx += x * x, sxy += x * d[c];
            }
            const double det = n * sxx - sx * sx;
            if (std::fabs(det) < 1e-9)
                continue;
            const double S = (n * sxy - sx * sy) / det, L = (sy - S * sx) / n;
            double dScore = iLeftOut >= 0 ? 0.5 : 0.0;
            for (int32_t c = 0; c < 3; ++c) {
                const double dFit = L + dOrder * (1 - c) * S;
                if (bIn[c])
                    dScore += (d[c] - dFit) * (d[c] - dFit);
                else if (c != iLeftOut && std::fabs(dFit) > kMerged) // found short or not at all: wires merge there
                    dScore += (std::fabs(dFit) - kMerged) * (std::fabs(dFit) - kMerged);
            }
            if (S < -kLeastSpacing)
                dScore += S * S; // the rows lie the other way round
            // Fewer changed signs win a tie.
            dScore += 1e-3 * ((iSigns & 1) + (iSigns >> 1 & 1) + (iSigns >> 2 & 1));
            if (dScore < dBestScore)
                dBestScore = dScore, dBestL = L, dBestS = S, iBestSigns = iSigns, iBestLeftOut = iLeftOut;
        }
    }
    if (dBestScore >= 1e300 || dBestS < kLeastSpacing)
        return 0.0;
    if (iBestLeftOut >= 0)
        bUse[iBestLeftOut] = false;
    // The straight wire is the same in every colour: the first wire found of
    // a colour read the right way, the second of one whose wires crossed.
    int32_t iDonor = 0;
    while (!bUse[iDonor])
        ++iDonor;
    const CRowLines& donor = row[size_t(iDonor)];
    const bool bDonorCrossed = iBestSigns >> iDonor & 1;
    const double dLead = bDonorCrossed ? donor.m_dEdge[3] : donor.m_dEdge[0];
    const double dTrail = bDonorCrossed ? donor.m_dEdge[2] : donor.m_dEdge[1];
    const double dWidth = std::fabs(dTrail - dLead), dStraight = Centre(dLead, dTrail);
    const double dDir = bRear ? -1.0 : 1.0; // the search order in stripe pixels
    for (int32_t c = 0; c < 3; ++c) {
        CRowLines& l = row[size_t(c)];
        const double dShift = dOrder * (1 - c) * dBestS;
        if (bUse[c]) {
            const double d = (iBestSigns >> c & 1) ? -m[c] : m[c];
            l.m_dValue = d - kMarkGap - (bCameraLine ? dShift : 0.0);
        } else {
            // Merged wires: the colour's distance is where the others put it,
            // and its edges are the straight wire's and the slanted wire's
            // there, as wide as the straight one. The slanted wire moves a
            // pixel a line, so with rows 14 lines apart (600 dpi) it lies 14
            // pixels from the neighbouring colour's and 28 from the far one's.
            const double dDistance = dBestL + dShift;
            const double dSlanted = dStraight + dDir * dDistance;
            l.m_dEdge[0] = dStraight - dDir * dWidth / 2;
            l.m_dEdge[1] = dStraight + dDir * dWidth / 2;
            l.m_dEdge[2] = dSlanted + dDir * dWidth / 2;
            l.m_dEdge[3] = dSlanted - dDir * dWidth / 2;
            l.m_dValue = dDistance - kMarkGap - (bCameraLine ? dShift : 0.0);
            l.m_bValid = true;
        }
        l.m_dRowShift = bCameraLine ? 0.0 : dShift;
    }
    return dBestS;
}

void RepairColours(std::array<CRowLines, 3>& row)
{
    // The colour whose value most others share within 0.1 pixel is the one to keep.
    auto line = [&](int32_t c) { return row[size_t(c)].m_dValue - row[size_t(c)].m_dRowShift; };
    int32_t iBest = -1, iBestAgree = 0;
    for (int32_t c = 0; c < 3; ++c) {
        if (!row[size_t(c)].m_bValid)
            continue;
        int32_t iAgree = 0;
        for (int32_t k = 0; k < 3; ++k)
            iAgree += row[size_t(k)].m_bValid && std::fabs(line(k) - line(c)) <= 0.1;
        if (iAgree > iBestAgree) {
            iBestAgree = iAgree;
            iBest = c;
        }
    }
    if (iBest < 0)
        return;
    // Two colours that agree outvote a third; one colour alone is kept.
    const CRowLines best = row[size_t(iBest)];
    for (int32_t c = 0; c < 3; ++c) {
        CRowLines& l = row[size_t(c)];
        if (!l.m_bValid || std::fabs(line(c) - (best.m_dValue - best.m_dRowShift)) > 0.1) {
            const double dShift = l.m_dRowShift;
            l = best;
            l.m_dRowShift = dShift;
            l.m_dValue = best.m_dValue - best.m_dRowShift + dShift;
        }
    }
}

bool PositioningPassed(double dFront, double dRear, const CPositioningLimits& limits)
{
    return dFront >= limits.m_dMinOffset && dFront <= limits.m_dMaxOffset && dRear >= limits.m_dMinOffset &&
           dRear <= limits.m_dMaxOffset && std::fabs(dFront - dRear) <= limits.m_dMaxDifference;
}

CLineFit FitRows(const std::vector<double>& y, const std::vector<uint8_t>& valid)
{
    CLineFit f;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    const size_t iCount = std::min(y.size(), valid.size());
    for (size_t i = 0; i < iCount; ++i) {
        if (!valid[i] || !std::isfinite(y[i]))
            continue;
        const double x = static_cast<double>(i);
        n += 1;
        sx += x;
        sy += y[i];
        sxx += x * x;
        sxy += x * y[i];
    }
    f.m_iPoints = static_cast<int32_t>(n);
    if (n < 1)
        return f;
    const double d = n * sxx - sx * sx;
    f.m_dSlope = std::fabs(d) > 1e-12 ? (n * sxy - sx * sy) / d : 0.0;
    f.m_dOffset = (sy - f.m_dSlope * sx) / n;
    return f;
}

bool FindCameraEdges(const CPicture& frame, int32_t iFrontCamera, int32_t iRearCamera, int32_t& iFrontEnd,
                     int32_t& iRearStart)
{
    int32_t f0 = 0, f1 = 0, r0 = 0, r1 = 0;
    if (!frame.IsRGB() || !frame.m_pData || frame.m_iHeight < 1 ||
        !frame.CameraPixelRange(iFrontCamera, f0, f1) || !frame.CameraPixelRange(iRearCamera, r0, r1))
        return false;
    f0 = std::max(f0, 0);
    f1 = std::min(f1, frame.m_iWidth - 1);
    r0 = std::max(r0, 0);
    r1 = std::min(r1, frame.m_iWidth - 1);
    if (f1 - f0 < kStripeWidth || r1 - r0 < kStripeWidth + 10)
        return false;
    // Mean green of a column over the frame's rows.
    auto column = [&](int32_t x) {
        int64_t s = 0;
        for (int32_t y = 0; y < frame.m_iHeight; ++y)
            s += frame.m_pData[(int64_t(y) * frame.m_iWidth + x) * 3 + 1];
        return static_cast<int32_t>(s / frame.m_iHeight);
    };
    auto bright = [&](int32_t a, int32_t b) {
        int32_t m = 0;
        for (int32_t x = a; x <= b; ++x)
            m = std::max(m, column(x));
        return m;
    };
    // Covered pixels are few at a camera's end and read far below the paper.
    const int32_t kMaxCovered = 64;
    const int32_t iFrontDark = bright(f1 - kStripeWidth, f1) / 4;
    int32_t x = f1;
    while (x > f1 - kMaxCovered && column(x) < iFrontDark)
        --x;
    iFrontEnd = x + 1;
    const int32_t iRearDark = bright(r0, r0 + kStripeWidth) / 4;
    x = r0;
    while (x < r0 + kMaxCovered && column(x) < iRearDark)
        ++x;
    iRearStart = x;
    return iFrontEnd - kStripeWidth >= 0 && iRearStart + 10 + kStripeWidth <= frame.m_iWidth;
}

// ================================================================ engine

CCenterCCDEngine::CCenterCCDEngine()
{
    CreateRgbRows(m_FrontStripe, kStripeWidth, kStripeRows, 600);
    CreateRgbRows(m_RearStripe, kStripeWidth, kStripeRows, 600);
}

CCenterCCDEngine::~CCenterCCDEngine()
{
    CleanUp();
}

void CCenterCCDEngine::Restart()
{
    m_iStripeRow = 0;
    m_dFront = {};
    m_dRear = {};
    m_FrontLines = {};
    m_RearLines = {};
    m_DiffAverage.Clear();
    m_FrontAverage.Clear();
    m_RearAverage.Clear();
    m_iLinePosition = -1;
    m_iSteps = 0;
    m_bHasProfile = false;
    m_bDone = false;
}

void CCenterCCDEngine::CutStripes(const CPicture& frame, int32_t iFrontEnd, int32_t iRearStart)
{
    for (CPicture* p : {&m_FrontStripe, &m_RearStripe})
        if (p->m_iWidth != kStripeWidth || p->m_iHeight < kStripeRows || p->m_iResolution != frame.m_iResolution)
            CreateRgbRows(*p, kStripeWidth, kStripeRows, frame.m_iResolution);
    for (int32_t y = 0; y < frame.m_iHeight; ++y) {
        const uint8_t* pRow = frame.m_pData + int64_t(y) * frame.m_iWidth * 3;
        const int64_t iTarget = int64_t(m_iStripeRow) * kStripeWidth * 3;
        std::memcpy(m_FrontStripe.m_pData + iTarget, pRow + int64_t(iFrontEnd - kStripeWidth) * 3, kStripeWidth * 3);
        std::memcpy(m_RearStripe.m_pData + iTarget, pRow + int64_t(iRearStart + 10) * 3, kStripeWidth * 3);
        // A stripe that is full starts again at its top.
        m_iStripeRow = (m_iStripeRow + 1) % kStripeRows;
    }
}

bool CCenterCCDEngine::MeasureRow(CPicture& work, const CPicture& stripe, int32_t iRow, bool bRear,
                                  CStripeSearch& search, std::array<CRowLines, 3>& lines)
{
    std::memcpy(work.m_pData, stripe.m_pData + int64_t(iRow) * stripe.m_iWidth * 3, size_t(stripe.m_iWidth) * 3);
    work.m_iResolution = stripe.m_iResolution;
    NormaliseStripeRow(work, 0, bRear, m_iGeneration >= 10);
    for (int32_t c = 0; c < 3; ++c) {
        CStripeSearch s = search;
        FindStripeLines(work, 0, c, bRear, s, lines[size_t(c)]);
        if (c == 1)
            search = s;
    }
    CorrectColourSigns(lines, bRear, m_iGeneration >= 10);
    RepairColours(lines);
    return lines[2].m_bValid;
}

bool CCenterCCDEngine::MeasureStripeRows(int32_t iFirst, int32_t iCount)
{
    CPicture work;
    if (!CreateRgbRows(work, kStripeWidth, 1, m_FrontStripe.m_iResolution))
        return false;
    std::array<double, 3> front{}, rear{};
    int32_t n = 0;
    CStripeSearch frontSearch, rearSearch;
    std::array<double, 3> profF[kStripeWidth] = {}, profR[kStripeWidth] = {};
    for (int32_t k = 0; k < iCount; ++k) {
        const int32_t iRow = (iFirst + k) % kStripeRows;
        for (int32_t x = 0; x < kStripeWidth; ++x)
            for (int32_t c = 0; c < 3; ++c) {
                profF[x][size_t(c)] += m_FrontStripe.m_pData[(int64_t(iRow) * kStripeWidth + x) * 3 + c];
                profR[x][size_t(c)] += m_RearStripe.m_pData[(int64_t(iRow) * kStripeWidth + x) * 3 + c];
            }
        std::array<CRowLines, 3> lf, lr;
        if (!MeasureRow(work, m_FrontStripe, iRow, false, frontSearch, lf) ||
            !MeasureRow(work, m_RearStripe, iRow, true, rearSearch, lr))
            continue;
        // For these scanners the lines give the values directly.
        for (int32_t c = 0; c < 3; ++c) {
            front[size_t(c)] += lf[size_t(c)].m_dValue - m_dWindowShift;
            rear[size_t(c)] += lr[size_t(c)].m_dValue - m_dWindowShift;
        }
        m_FrontLines = lf;
        m_RearLines = lr;
        ++n;
    }
    if (iCount > 0) {
        for (int32_t x = 0; x < kStripeWidth; ++x)
            for (int32_t c = 0; c < 3; ++c) {
                m_FrontProfile[size_t(x)][size_t(c)] = static_cast<uint8_t>(std::lround(profF[x][size_t(c)] / iCount));
                m_RearProfile[size_t(x)][size_t(c)] = static_cast<uint8_t>(std::lround(profR[x][size_t(c)] / iCount));
            }
        m_bHasProfile = true;
    }
    if (n == 0)
        return false;
    for (int32_t c = 0; c < 3; ++c) {
        m_dFront[size_t(c)] = front[size_t(c)] / n;
        m_dRear[size_t(c)] = rear[size_t(c)] / n;
    }
    m_iLinePosition = static_cast<int32_t>(std::lround(Centre(m_FrontLines[1].m_dEdge[0], m_FrontLines[1].m_dEdge[1])));
    return true;
}

bool CCenterCCDEngine::MeasureFrame(const CPicture& frame)
{
    int32_t iFrontEnd = 0, iRearStart = 0;
    if (frame.m_iHeight < 1 || !FindCameraEdges(frame, m_iFrontCamera, m_iRearCamera, iFrontEnd, iRearStart))
        return false;
    const int32_t iFirst = m_iStripeRow;
    CutStripes(frame, iFrontEnd, iRearStart);
    ++m_iSteps;
    if (!MeasureStripeRows(iFirst, std::min(frame.m_iHeight, kStripeRows)))
        return false;
    m_DiffAverage.Add(m_dFront[2] - m_dRear[2]);
    m_FrontAverage.Add(m_dFront[2]);
    m_RearAverage.Add(m_dRear[2]);
    return true;
}

bool CCenterCCDEngine::Passed() const
{
    return PositioningPassed(m_dFront[2], m_dRear[2], m_Limits);
}

std::vector<std::string> CCenterCCDEngine::MakeResultLines(const std::string& szScanner) const
{
    const CDateTime now = CDateTime::Now();
    std::vector<std::string> v;
    v.push_back(OneLine("Scanner: " + szScanner));
    v.push_back("Date: " + now.DateString() + " " + now.TimeString());
    v.push_back(Printf("Front: %.2f pixels", m_dFront[2]));
    v.push_back(Printf("Rear: %.2f pixels", m_dRear[2]));
    v.push_back(Printf("Difference: %.2f pixels", m_dFront[2] - m_dRear[2]));
    // A run that never found the lines has nothing to pass.
    v.push_back(m_iSteps > 0 && !Measured() ? "Result: no line found" : Passed() ? "Result: passed" : "Result: failed");
    return v;
}

bool CCenterCCDEngine::WritePositioning(const std::string& szPath, const std::vector<std::string>& lines,
                                        std::string* pError) const
{
    std::string sz = "[Scan-Line Positioning]\n";
    for (const std::string& l : lines)
        sz += Printf("%s\n", OneLine(l).c_str());
    sz += "BEGIN_DATA\n";
    sz += Printf("m_Pic.m_iWidth %d\n", m_FrontStripe.m_iWidth);
    sz += Printf("m_Pic.m_iHeight %d\n", m_FrontStripe.m_iHeight);
    sz += Printf("m_Pic.m_PicData %d\n", m_FrontStripe.m_iSize);
    sz += Printf("Red:  \t%.2f\t%.2f\n", m_dFront[0], m_dRear[0]);
    sz += Printf("Green:\t%.2f\t%.2f\n", m_dFront[1], m_dRear[1]);
    sz += Printf("Blue: \t%.2f\t%.2f\n", m_dFront[2], m_dRear[2]);
    sz += "No\tLeft\tRed\tGreen\tBlue\tRight\tRed\tGreen\tBlue\n";
    for (int32_t i = 0; i < kStripeWidth; ++i) {
        const auto& f = m_FrontProfile[size_t(i)];
        const auto& r = m_RearProfile[size_t(i)];
        sz += Printf("%d\t\t%d\t%d\t%d\t\t%d\t%d\t%d\n", i, f[0], f[1], f[2], r[0], r[1], r[2]);
    }
    sz += "END_DATA\n";
    return WriteFileAtomically(szPath, sz.data(), sz.size(), pError);
}

bool CCenterCCDEngine::ReadPositioning(const std::string& szPath)
{
    CLineSource src;
    if (!src.Open(szPath)) {
        m_Messages = {szPath + ": cannot be read"};
        return false;
    }
    std::string szText, szLine;
    while (src.Next(szLine))
        szText += szLine + "\n";
    return ReadPositioningText(szText, szPath);
}

bool CCenterCCDEngine::ReadPositioningText(const std::string& szText, const std::string& szName)
{
    m_Messages.clear();
    Restart();
    m_ResultLines.clear();
    // The stripes of a loaded result: 1.0 x 0.1 inch at 400 dpi.
    CreateRgbRows(m_FrontStripe, 400, 40, 400);
    CreateRgbRows(m_RearStripe, 400, 40, 400);
    m_FrontProfile = {};
    m_RearProfile = {};
    CLineSource src;
    src.SetText(szText);
    std::string szLine;
    bool bData = false, bValues = false;
    int32_t iLine = 0, iRows = 0, iBad = 0;
    std::string szFirstBad;
    bool bHeader = true;
    while (src.Next(szLine)) {
        ++iLine;
        if (!bData) {
            if (szLine == "BEGIN_DATA")
                bData = true;
            else if (bHeader && iLine > 1)
                m_ResultLines.push_back(szLine);
            continue;
        }
        if (szLine.empty() || szLine == "END_DATA")
            continue;
        const char c0 = szLine[0];
        if ((c0 == 'R' || c0 == 'G' || c0 == 'B')) {
            const int32_t iColor = c0 == 'R' ? 0 : c0 == 'G' ? 1 : 2;
            const size_t iColon = szLine.find_first_of(" \t");
            float f = 0, r = 0;
            CNumberScanner ns(szLine, iColon == std::string::npos ? szLine.size() : iColon);
            if (ns.Float(f) && ns.Float(r) && std::isfinite(f) && std::isfinite(r)) {
                m_dFront[size_t(iColor)] = f;
                m_dRear[size_t(iColor)] = r;
                bValues = true;
            } else if (iBad++ == 0)
                szFirstBad = Printf("line %d", iLine);
            continue;
        }
        if (!IsDigit(c0))
            continue;
        CNumberScanner ns(szLine);
        int32_t v[7] = {};
        bool bOk = true;
        for (int32_t& x : v)
            bOk = bOk && ns.Int(x);
        if (!bOk) {
            if (iBad++ == 0)
                szFirstBad = Printf("line %d", iLine);
            continue;
        }
        if (v[0] < 0 || v[0] >= kStripeWidth) {
            if (iBad++ == 0)
                szFirstBad = Printf("line %d (row %d past the %d rows of a profile)", iLine, v[0], kStripeWidth);
            continue;
        }
        for (int32_t c = 0; c < 3; ++c) {
            m_FrontProfile[size_t(v[0])][size_t(c)] = static_cast<uint8_t>(std::clamp(v[1 + c], 0, 255));
            m_RearProfile[size_t(v[0])][size_t(c)] = static_cast<uint8_t>(std::clamp(v[4 + c], 0, 255));
        }
        ++iRows;
    }
    if (!bData) {
        m_Messages.push_back(szName + ": no \"BEGIN_DATA\" line; the file holds no scan-line positioning result");
        return false;
    }
    if (iBad > 0)
        m_Messages.push_back(szName + Printf(": %d data line(s) could not be read, the first at ", iBad) + szFirstBad);
    if (!bValues && iRows == 0) {
        m_Messages.push_back(szName + ": the data block holds no offsets and no profile");
        return false;
    }
    // The stripes show the profile again, and the lines are found in it as
    // they were in the live stripes.
    for (CPicture* p : {&m_FrontStripe, &m_RearStripe}) {
        const auto& prof = p == &m_FrontStripe ? m_FrontProfile : m_RearProfile;
        for (int32_t y = 0; y < p->m_iHeight; ++y)
            for (int32_t x = 0; x < std::min(p->m_iWidth, kStripeWidth); ++x)
                std::memcpy(p->m_pData + (int64_t(y) * p->m_iWidth + x) * 3, prof[size_t(x)].data(), 3);
    }
    m_bHasProfile = iRows > 0;
    if (m_bHasProfile) {
        CPicture work;
        CreateRgbRows(work, m_FrontStripe.m_iWidth, 1, 400);
        CStripeSearch sf, sr;
        std::array<CRowLines, 3> lf, lr;
        MeasureRow(work, m_FrontStripe, 0, false, sf, lf);
        MeasureRow(work, m_RearStripe, 0, true, sr, lr);
        m_FrontLines = lf;
        m_RearLines = lr;
        if (lf[1].m_bValid)
            m_iLinePosition = static_cast<int32_t>(std::lround(Centre(lf[1].m_dEdge[0], lf[1].m_dEdge[1])));
    }
    return true;
}

void CCenterCCDEngine::RequestStore(const std::string& szFile, const std::vector<std::string>& lines)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_szStoreFile = szFile;
    m_StoreLines = lines;
    m_bStoreRequested = true;
}

void CCenterCCDEngine::RequestReload(const std::string& szFile)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_szReloadFile = szFile;
    m_bReloadRequested = true;
    m_bDone = true;
}

bool CCenterCCDEngine::TakeStoreRequest(std::string& szFile, std::vector<std::string>& lines)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_bStoreRequested)
        return false;
    m_bStoreRequested = false;
    szFile.swap(m_szStoreFile);
    lines.swap(m_StoreLines);
    m_szStoreFile.clear();
    m_StoreLines.clear();
    return true;
}

bool CCenterCCDEngine::TakeReloadRequest(std::string& szFile)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_bReloadRequested)
        return false;
    m_bReloadRequested = false;
    szFile.swap(m_szReloadFile);
    m_szReloadFile.clear();
    return true;
}

void CCenterCCDEngine::CleanUp() const
{
    if (m_szDataFolder.empty())
        return;
    static const char* kNames[] = {
        "%s_A2AdjustCCD_Front_unadjusted.tif", "%s_A2AdjustCCD_Rear_unadjusted.tif",
        "%s_A2AdjustCCD.tif",                  "%s_A2AdjustCCD_Rear_Straeming.tif",
        "%s_A2AdjustCCD_Front_Straeming.tif",  "%s_A2AdjustCCD_Rear_Straeming_RAW.tif",
        "%s_A2AdjustCCD_Front_Straeming_RAW.tif", "%s_A2AdjustCCD_Front_Marked.tif",
        "%s_A2AdjustCCD_Rear_Marked.tif"};
    for (const char* sz : kNames) {
        std::error_code ec;
        std::filesystem::remove(Printf(sz, m_szDataFolder.c_str()), ec);
    }
}

// ================================================================ carriage

void CCenterCCDEngine::EnsureRows(int32_t iRows)
{
    iRows = std::max(iRows, 0);
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t k = 0; k < 2; ++k) {
            if (m_Position[size_t(c)][size_t(k)].size() < size_t(iRows)) {
                m_Position[size_t(c)][size_t(k)].resize(size_t(iRows), 0.0);
                m_Valid[size_t(c)][size_t(k)].resize(size_t(iRows), 0);
                for (auto& e : m_Edges[size_t(c)][size_t(k)])
                    e.resize(size_t(iRows), -1.0);
            }
        }
}

void CCenterCCDEngine::BeginTravel()
{
    m_iRows = 0;
    for (auto& c : m_Position)
        for (auto& v : c)
            v.clear();
    for (auto& c : m_Valid)
        for (auto& v : c)
            v.clear();
    for (auto& c : m_Edges)
        for (auto& k : c)
            for (auto& v : k)
                v.clear();
    m_Unwrap = {};
    m_Fit = {};
    m_dPathDiffFront = m_dPathDiffRear = 0.0;
    m_iSelectedRow = 0;
    m_iVersion = 2;
}

void CCenterCCDEngine::MeasureTravelRow(const uint8_t* pRow, int32_t iWidth, int32_t iResolution, int32_t iFrontEnd,
                                        int32_t iRearStart)
{
    const int32_t n = m_iRows;
    EnsureRows(n + 1);
    m_iRows = n + 1;
    if (!pRow || iFrontEnd - kStripeWidth < 0 || iRearStart + 10 + kStripeWidth > iWidth)
        return;
    CPicture stripe[2], work;
    for (CPicture* p : {&stripe[0], &stripe[1], &work})
        if (!CreateRgbRows(*p, kStripeWidth, 1, iResolution))
            return;
    std::memcpy(stripe[0].m_pData, pRow + int64_t(iFrontEnd - kStripeWidth) * 3, kStripeWidth * 3);
    std::memcpy(stripe[1].m_pData, pRow + int64_t(iRearStart + 10) * 3, kStripeWidth * 3);
    std::array<CRowLines, 3> lines[2];
    for (int32_t k = 0; k < 2; ++k) {
        CStripeSearch search;
        // Rows on the positioning line itself are no part of the travel.
        if (!MeasureRow(work, stripe[k], 0, k == 1, search, lines[k]) || search.m_iStart > 0)
            return;
    }
    // Just after the mark starts again its wires lie close and read their
    // distance less well; those rows wait for the next ones.
    for (int32_t k = 0; k < 2; ++k)
        if (lines[k][2].m_dValue < 4.0)
            return;
    // A reading off the travel by more than a line and a half, and not the
    // mark starting again, is a row the lines were not found right in.
    for (int32_t k = 0; k < 2; ++k)
        for (int32_t c = 0; c < 3; ++c) {
            const CUnwrap& u = m_Unwrap[size_t(c)][size_t(k)];
            const double d = lines[k][size_t(c)].m_dValue + u.m_dAdd - (u.m_dLast + (n - u.m_iLastRow));
            if (u.m_bAny && std::fabs(d) > 1.5 && d > -kWrapJump)
                return;
        }
    for (int32_t k = 0; k < 2; ++k)
        for (int32_t c = 0; c < 3; ++c) {
            const CRowLines& l = lines[k][size_t(c)];
            // The mark starts again every few lines along the sheet; each
            // reading is taken back onto one line of travel and the travel
            // itself (one line a row) taken off, so what remains is where the
            // camera looks relative to the nominal scan line.
            CUnwrap& u = m_Unwrap[size_t(c)][size_t(k)];
            double v = l.m_dValue + u.m_dAdd;
            if (u.m_bAny) {
                const double dExpected = u.m_dLast + (n - u.m_iLastRow);
                if (v - dExpected < -kWrapJump) {
                    u.m_dAdd += std::round(dExpected - v);
                    v = l.m_dValue + u.m_dAdd;
                }
            }
            u.m_bAny = true;
            u.m_dLast = v;
            u.m_iLastRow = n;
            m_Position[size_t(c)][size_t(k)][size_t(n)] = v - n;
            m_Valid[size_t(c)][size_t(k)][size_t(n)] = 1;
            // The wire that moves with the scan line: the second one found in
            // the front stripe, the first in the mirrored rear search.
            const double e0 = k == 0 ? l.m_dEdge[3] : l.m_dEdge[1];
            const double e1 = k == 0 ? l.m_dEdge[2] : l.m_dEdge[0];
            m_Edges[size_t(c)][size_t(k)][0][size_t(n)] = e0;
            m_Edges[size_t(c)][size_t(k)][1][size_t(n)] = e1;
        }
}

void CCenterCCDEngine::FinishTravel()
{
    EnsureRows(m_iRows);
    for (int32_t k = 0; k < 2; ++k) {
        std::vector<double> y(m_Position[2][size_t(k)].begin(), m_Position[2][size_t(k)].begin() + m_iRows);
        std::vector<uint8_t> v(m_Valid[2][size_t(k)].begin(), m_Valid[2][size_t(k)].begin() + m_iRows);
        CLineFit f = FitRows(y, v);
        // Rows where the mark starts again read a mixture of two pieces; such
        // a reading lies far off the others and stays out of the second fit.
        for (int32_t iPass = 0; iPass < 2 && f.m_iPoints > 2; ++iPass) {
            for (size_t i = 0; i < y.size(); ++i)
                if (v[i] && std::fabs(y[i] - (f.m_dSlope * double(i) + f.m_dOffset)) > 0.5)
                    v[i] = 0;
            f = FitRows(y, v);
        }
        m_Fit[size_t(k)] = f;
    }
    m_dPathDiffFront = PathDifference(m_Fit[0], m_iRows);
    m_dPathDiffRear = PathDifference(m_Fit[1], m_iRows);
    m_iSelectedRow = std::clamp(m_iSelectedRow, 0, std::max(m_iRows - 1, 0));
}

bool CCenterCCDEngine::WriteCarriage(const std::string& szPath, const std::vector<std::string>& lines,
                                     std::string* pError) const
{
    std::string sz = "[Mirror Carriage Adjustment]\n";
    for (const std::string& l : lines)
        sz += Printf("%s\n", OneLine(l).c_str());
    sz += "BEGIN_DATA\n";
    sz += "Version 2\n";
    sz += Printf("m_Pic.m_iWidth %d\n", m_iWidth);
    sz += Printf("m_Pic.m_iHeight %d\n", m_iRows);
    sz += Printf("m_Pic.m_PicData %d\n", m_iRows * m_iWidth * 3);
    sz += "Red:\tL\tR\tGreen:\tL\tR\tBlue:\tL\tR\n";
    auto at = [&](const std::vector<double>& v, int32_t i) { return size_t(i) < v.size() ? v[size_t(i)] : 0.0; };
    for (int32_t i = 0; i < m_iRows; ++i) {
        bool bAll = true;
        for (int32_t c = 0; c < 3; ++c)
            for (int32_t k = 0; k < 2; ++k)
                bAll = bAll && size_t(i) < m_Valid[size_t(c)][size_t(k)].size() && m_Valid[size_t(c)][size_t(k)][size_t(i)];
        // A row without a measurement stays out, so that it is not taken for one when read.
        if (!bAll)
            continue;
        sz += Printf("%d\t%.2f\t%.2f\t", i, at(m_Position[0][0], i), at(m_Position[0][1], i));
        sz += Printf("\t%.2f\t%.2f\t", at(m_Position[1][0], i), at(m_Position[1][1], i));
        sz += Printf("\t%.2f\t%.2f\t", at(m_Position[2][0], i), at(m_Position[2][1], i));
        for (int32_t c = 0; c < 3; ++c) {
            sz += Printf("\t%6.2f\t%6.2f\t", at(m_Edges[size_t(c)][1][1], i), at(m_Edges[size_t(c)][1][0], i));
            sz += Printf("\t%6.2f\t%6.2f\t", at(m_Edges[size_t(c)][0][1], i), at(m_Edges[size_t(c)][0][0], i));
        }
        sz += "\n";
    }
    sz += "END_DATA\n";
    return WriteFileAtomically(szPath, sz.data(), sz.size(), pError);
}

bool CCenterCCDEngine::ReadCarriage(const std::string& szPath)
{
    CLineSource src;
    if (!src.Open(szPath)) {
        m_Messages = {szPath + ": cannot be read"};
        return false;
    }
    std::string szText, szLine;
    while (src.Next(szLine))
        szText += szLine + "\n";
    return ReadCarriageText(szText, szPath);
}

bool CCenterCCDEngine::ReadCarriageText(const std::string& szText, const std::string& szName)
{
    m_Messages.clear();
    m_ResultLines.clear();
    BeginTravel();
    m_iVersion = 1;
    int32_t iHeight = -1;
    CLineSource src;
    src.SetText(szText);
    std::string szLine;
    bool bData = false;
    int32_t iLine = 0, iBad = 0, iParsed = 0;
    std::string szFirstBad;
    auto bad = [&](const std::string& sz) {
        if (iBad++ == 0)
            szFirstBad = sz;
    };
    while (src.Next(szLine)) {
        ++iLine;
        if (!bData) {
            if (szLine == "BEGIN_DATA")
                bData = true;
            else if (iLine > 1)
                m_ResultLines.push_back(szLine);
            continue;
        }
        if (szLine.empty() || szLine == "END_DATA")
            continue;
        if (!IsDigit(szLine[0])) {
            const size_t iBlank = szLine.find_first_of(" \t");
            const std::string szKey = szLine.substr(0, iBlank);
            int32_t iValue = 0;
            CNumberScanner ns(szLine, iBlank == std::string::npos ? szLine.size() : iBlank);
            const bool bNumber = ns.Int(iValue);
            if (szKey == "Version" && bNumber)
                m_iVersion = iValue;
            else if (szKey == "m_Pic.m_iWidth" && bNumber)
                m_iWidth = iValue;
            else if (szKey == "m_Pic.m_iHeight" && bNumber) {
                // Every row takes a line of its own: a height beyond the
                // file's size cannot be true and is not allocated.
                if (iValue < 0 || int64_t(iValue) > int64_t(szText.size()) / 2) {
                    m_Messages.push_back(szName + Printf(": \"m_Pic.m_iHeight %d\" declares more rows than the file holds", iValue));
                    return false;
                }
                iHeight = iValue;
                EnsureRows(iHeight);
                m_iRows = std::max(m_iRows, iHeight);
            }
            continue;
        }
        if (iHeight < 0) {
            m_Messages.push_back(szName + Printf(": line %d: a data row before \"m_Pic.m_iHeight\"", iLine));
            return false;
        }
        CNumberScanner ns(szLine);
        int32_t i = 0;
        float f[18] = {};
        const int32_t iValues = m_iVersion >= 2 ? 18 : 6;
        bool bOk = ns.Int(i);
        for (int32_t k = 0; k < iValues && bOk; ++k)
            bOk = ns.Float(f[k]) && std::isfinite(f[k]);
        if (!bOk) {
            bad(Printf("line %d (not a number)", iLine));
            continue;
        }
        if (i < 0 || i >= iHeight) {
            bad(Printf("line %d (row %d past the declared height %d)", iLine, i, iHeight));
            continue;
        }
        for (int32_t c = 0; c < 3; ++c)
            for (int32_t k = 0; k < 2; ++k) {
                m_Position[size_t(c)][size_t(k)][size_t(i)] = f[c * 2 + k];
                m_Valid[size_t(c)][size_t(k)][size_t(i)] = 1;
            }
        if (m_iVersion >= 2)
            for (int32_t c = 0; c < 3; ++c) {
                const float* e = f + 6 + c * 4; // rear edge 2, rear edge 1, front edge 2, front edge 1
                m_Edges[size_t(c)][1][1][size_t(i)] = e[0];
                m_Edges[size_t(c)][1][0][size_t(i)] = e[1];
                m_Edges[size_t(c)][0][1][size_t(i)] = e[2];
                m_Edges[size_t(c)][0][0][size_t(i)] = e[3];
            }
        ++iParsed;
    }
    if (!bData) {
        m_Messages.push_back(szName + ": no \"BEGIN_DATA\" line; the file holds no mirror carriage result");
        return false;
    }
    if (iHeight < 0) {
        m_Messages.push_back(szName + ": no \"m_Pic.m_iHeight\" line; the number of rows is unknown");
        return false;
    }
    if (iBad > 0)
        m_Messages.push_back(szName + Printf(": %d data row(s) could not be read, the first at ", iBad) + szFirstBad);
    FinishTravel();
    return true;
}
