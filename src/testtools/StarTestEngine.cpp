#include "testtools/StarTestEngine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "testtools/ResultText.h"
#include "testtools/StarTestTracker.h"

namespace {
constexpr int32_t kMaxRepeat = 1 << 20;
}

void StarTestSweep::Allocate(int32_t iLength)
{
    m_iLength = std::max(0, iLength);
    const size_t n = size_t(m_iLength);
    for (auto* v : {&m_dXVib, &m_dYVib, &m_dSpeedOrDeviation, &m_dWideLine, &m_dWideLineUnsmoothed, &m_dXLineWidth,
                    &m_dYLineWidth, &m_dXVibAvg, &m_dYVibAvg, &m_dXLinePos, &m_dYLinePos, &m_dWideLinePos,
                    &m_dXLineWidthRaw, &m_dYLineWidthRaw})
        v->assign(n, 0.0);
    m_iXLineColumn.assign(n, 0);
    m_SpeedIndex.assign(n, StarTestSpeedIndex{});
    m_XLineStart.assign(n, 0);
    m_YLineStart.assign(n, 0);
    m_RowColors.assign(n, 0);
    m_Lines.clear();
    m_dLineStdDev.clear();
}

CStarTestEngine::CStarTestEngine() = default;

void CStarTestEngine::Clear()
{
    m_Sweeps.clear();
    m_iSweepCount = 0;
    m_iDisplayed = 0;
    m_iAnalysed = -1;
    m_iRepeat = 0;
    m_iVersion = 0;
    m_Messages.clear();
    m_szFile.clear();
}

bool CStarTestEngine::ReadFile(const std::string& szPath)
{
    Clear();
    CLineSource src;
    if (!src.Open(szPath)) {
        m_Messages.push_back(Printf("%s: the star test file cannot be opened", szPath.c_str()));
        return false;
    }
    m_szFile = szPath;
    return Read(src, szPath);
}

bool CStarTestEngine::ReadText(const std::string& szText, const std::string& szName)
{
    Clear();
    CLineSource src;
    src.SetText(szText);
    m_szFile = szName;
    return Read(src, szName);
}

template <class Source> bool CStarTestEngine::Read(Source& src, const std::string& szName)
{
    const char* szFile = szName.c_str();
    // Rows are never fewer than 16 bytes in a real file: a Length the file
    // cannot hold is refused instead of allocated.
    int64_t iRowBudget = src.Size() / 16 + 1024;
    int32_t iSweepKey = 0;
    bool bData = false, bHavePending = false, bVersionWarned = false;
    int32_t iRowsOutside = 0, iRowsWithoutLength = 0;
    StarTestSweep pending;
    bool bDisplayedSet = false;

    auto finishRecord = [&](bool bEndSeen) {
        const int32_t iRecord = int32_t(m_Sweeps.size()) + 1;
        if (iRowsOutside > 0)
            m_Messages.push_back(Printf("%s: sweep %d: %d data rows outside Length %d were ignored", szFile, iRecord,
                                        iRowsOutside, pending.m_iLength));
        if (iRowsWithoutLength > 0)
            m_Messages.push_back(
                Printf("%s: sweep %d: %d data rows before Length were ignored", szFile, iRecord, iRowsWithoutLength));
        if (!bEndSeen && pending.m_iLength > 0)
            m_Messages.push_back(Printf("%s: END_DATA missing after sweep %d", szFile, iRecord));
        if (pending.m_iLength > 0) {
            pending.m_bColorScan = pending.m_iScanSpeedBytePerPix >= 3;
            AnalyseSweep(pending);
            if (pending.m_bAvgResult && !bDisplayedSet) {
                m_iDisplayed = int32_t(m_Sweeps.size());
                bDisplayedSet = true;
            }
            m_Sweeps.push_back(std::move(pending));
        } else if (bEndSeen) {
            m_Messages.push_back(Printf("%s: sweep %d holds no data (Length missing or 0)", szFile, iRecord));
        }
        pending = StarTestSweep();
        bHavePending = false;
        iRowsOutside = iRowsWithoutLength = 0;
    };

    std::string szLine, szKey, szValue;
    while (src.Next(szLine)) {
        if (!bData) {
            const std::string sz = TrimText(szLine);
            if (sz.empty() || sz[0] == '[') continue;
            if (sz == "BEGIN_DATA") {
                bData = true;
                continue;
            }
            if (!SplitKeyValue(sz, szKey, szValue)) continue;
            if (szKey == "Version") m_iVersion = AtoiText(szValue);
            else if (szKey == "Sweep") iSweepKey = AtoiText(szValue);
            // Repeat divides the record count; a count beyond any file's
            // records only ever means "no averaging" and must not overflow.
            else if (szKey == "Repeat") m_iRepeat = std::min(AtoiText(szValue), kMaxRepeat);
            continue;
        }
        if (m_iVersion != 1) {
            if (!bVersionWarned)
                m_Messages.push_back(Printf("%s: star test version %d is not supported", szFile, m_iVersion));
            bVersionWarned = true;
            continue;
        }
        if (!szLine.empty() && std::isdigit(static_cast<unsigned char>(szLine[0]))) {
            bHavePending = true;
            CNumberScanner sc(szLine);
            int32_t iRow = -1;
            if (!sc.Int(iRow)) continue;
            if (pending.m_iLength <= 0) {
                ++iRowsWithoutLength;
                continue;
            }
            if (iRow < 0 || iRow >= pending.m_iLength) {
                ++iRowsOutside;
                continue;
            }
            const size_t i = size_t(iRow);
            float f = 0;
            int32_t v = 0;
            StarTestSpeedIndex& sp = pending.m_SpeedIndex[i];
            // fields up to the first one that does not parse, as scanf reads them
            if (!sc.Float(f)) continue;
            pending.m_dXLinePos[i] = f;
            if (!sc.Float(f)) continue;
            pending.m_dYLinePos[i] = f;
            if (!sc.Int(v)) continue;
            pending.m_iXLineColumn[i] = v;
            if (!sc.Float(f)) continue;
            pending.m_dWideLinePos[i] = f;
            if (!sc.Int(sp.m_iRow) || !sc.Int(sp.m_iBytes) || !sc.Int(sp.m_iEndRow)) continue;
            if (!sc.Float(f)) continue;
            pending.m_dXLineWidthRaw[i] = f;
            if (!sc.Float(f)) continue;
            pending.m_dYLineWidthRaw[i] = f;
            if (!sc.Int(v)) continue;
            pending.m_XLineStart[i] = v != 0;
            if (!sc.Int(v)) continue;
            pending.m_YLineStart[i] = v != 0;
            continue;
        }
        const std::string sz = TrimText(szLine);
        if (sz == "END_DATA") {
            finishRecord(true);
            continue;
        }
        if (!SplitKeyValue(sz, szKey, szValue)) continue;
        bHavePending = true;
        if (szKey == "Length") {
            const int32_t n = AtoiText(szValue);
            if (n <= 0) {
                m_Messages.push_back(Printf("%s: Length %d is not valid", szFile, n));
                pending.Allocate(0);
            } else if (n > iRowBudget) {
                m_Messages.push_back(Printf("%s: Length %d is more than the file can hold", szFile, n));
                pending.Allocate(0);
            } else {
                iRowBudget -= n;
                pending.Allocate(n);
            }
            continue;
        }
        if (pending.m_iLength <= 0) continue;
        const int32_t iValue = AtoiText(szValue);
        if (szKey == "ScanSpeed") pending.m_iScanSpeed = iValue;
        else if (szKey == "ScanWidth") pending.m_dScanWidth = std::strtod(szValue.c_str(), nullptr);
        else if (szKey == "Resolution") pending.m_iResolution = iValue;
        else if (szKey == "XVib_Start") pending.m_iXVibStart = iValue;
        else if (szKey == "XVib_End") pending.m_iXVibEnd = iValue;
        else if (szKey == "YVib_Start") pending.m_iYVibStart = iValue;
        else if (szKey == "YVib_End") pending.m_iYVibEnd = iValue;
        else if (szKey == "WideLine_Start") pending.m_iWideLineStart = iValue;
        else if (szKey == "WideLine_End") pending.m_iWideLineEnd = iValue;
        else if (szKey == "ScanSpeedIndex") pending.m_iScanSpeedIndex = iValue;
        else if (szKey == "ScanSpeedWidth") pending.m_iScanSpeedWidth = iValue;
        else if (szKey == "ScanSpeedBytePerPix") pending.m_iScanSpeedBytePerPix = iValue;
        else if (szKey == "AvgResult") pending.m_bAvgResult = iValue != 0;
        if (!std::isfinite(pending.m_dScanWidth)) pending.m_dScanWidth = 0.0;
    }
    if (bHavePending) finishRecord(false);

    if (!bData) m_Messages.push_back(Printf("%s: BEGIN_DATA not found", szFile));
    else if (m_Sweeps.empty() && m_iVersion == 1) m_Messages.push_back(Printf("%s: the file holds no sweep", szFile));

    m_iSweepCount = iSweepKey;
    if (m_iRepeat > 0 && !m_Sweeps.empty()) {
        m_iSweepCount = iSweepKey - iSweepKey / (m_iRepeat + 1);
        AverageRepeats();
    }
    if (m_iDisplayed >= int32_t(m_Sweeps.size())) m_iDisplayed = 0;
    for (size_t i = 0; i < m_Sweeps.size(); ++i) {
        if (!m_Sweeps[i].m_bAvgResult && !m_szFile.empty())
            m_Sweeps[i].m_szRawPictureName = RawPictureName(m_szFile, int32_t(i) + 1);
    }
    return true;
}

void CStarTestEngine::DetrendRange(std::vector<double>& v, int32_t iStart, int32_t iEnd,
                                   const std::vector<uint8_t>& starts, const std::vector<double>& speed) const
{
    const int32_t n = int32_t(v.size());
    iStart = std::clamp(iStart, 0, n);
    iEnd = std::clamp(iEnd, 0, n);
    int32_t a = iStart;
    while (a < iEnd) {
        int32_t b = a + 1;
        while (b < iEnd && !starts[size_t(b)] && !(speed[size_t(b)] < speed[size_t(b - 1)] / 10.0)) ++b;
        if (b - a == 1) {
            if (a > 0) v[size_t(a)] = v[size_t(a - 1)];
        } else {
            // least squares line over the row index
            double sx = 0, sy = 0, sxx = 0, sxy = 0;
            const double m = b - a;
            for (int32_t i = a; i < b; ++i) {
                const double x = i - a;
                sx += x;
                sy += v[size_t(i)];
                sxx += x * x;
                sxy += x * v[size_t(i)];
            }
            const double d = m * sxx - sx * sx;
            const double dSlope = d != 0 ? (m * sxy - sx * sy) / d : 0.0;
            const double dOffset = (sy - dSlope * sx) / m;
            for (int32_t i = a; i < b; ++i) v[size_t(i)] -= dOffset + dSlope * (i - a);
        }
        a = b;
    }
    if (iEnd < n && iEnd > iStart) v[size_t(iEnd)] = 0.0;
}

void CStarTestEngine::JudgeLine(StarTestSweep& s, int32_t iLine, double dValue) const
{
    const double dLimit = LineLimit(iLine);
    const bool bPassed = dValue < dLimit;
    if (iLine >= 0 && size_t(iLine) < s.m_Lines.size()) s.m_Lines[size_t(iLine)].m_bPassed = bPassed ? 1 : 0;
    if (!bPassed) {
        s.m_bPassed = false;
        s.m_iErrorNo = kErrorLineFailed;
    }
    const double dRatio = dValue / dLimit;
    if (dRatio > s.m_dAppFct) {
        s.m_dAppFct = dRatio;
        s.m_iAppFctLine = iLine;
    }
}

void CStarTestEngine::AnalyseSweep(StarTestSweep& s) const
{
    const int32_t n = s.m_iLength;
    auto clip = [n](int32_t v) { return std::clamp(v, 0, n); };
    std::fill(s.m_dSpeedOrDeviation.begin(), s.m_dSpeedOrDeviation.end(), 0.0);

    // 1. scan speed from the speed log
    const int32_t K = std::min(s.m_iScanSpeedIndex, n);
    for (int32_t k = 1; k < K; ++k) {
        const StarTestSpeedIndex& prev = s.m_SpeedIndex[size_t(k - 1)];
        const StarTestSpeedIndex& cur = s.m_SpeedIndex[size_t(k)];
        const int64_t d = int64_t(cur.m_iRow) - prev.m_iRow;
        const double dSpeed = d != 0 ? double(cur.m_iBytes) / double(d) / 5000.0 : 0.0;
        for (int32_t i = clip(prev.m_iEndRow); i < clip(cur.m_iEndRow); ++i) s.m_dSpeedOrDeviation[size_t(i)] = dSpeed;
    }

    // 2. wide line: position about its mid value, smoothed over 81 rows
    const int32_t ws = clip(s.m_iWideLineStart), we = clip(s.m_iWideLineEnd);
    if (ws < we) {
        const double m = s.m_dWideLinePos[size_t((ws + we) / 2)];
        for (int32_t i = ws; i < we; ++i) s.m_dWideLineUnsmoothed[size_t(i)] = s.m_dWideLinePos[size_t(i)] - m;
        for (int32_t i = ws; i < we; ++i) {
            double dSum = 0;
            int32_t iCount = 0;
            for (int32_t j = i - 40; j <= i + 40; ++j) {
                const double v = s.m_dWideLineUnsmoothed[size_t(std::clamp(j, ws, we - 1))];
                if (std::fabs(v) > 1e9) continue;
                dSum += v;
                ++iCount;
            }
            s.m_dWideLine[size_t(i)] = iCount ? dSum / iCount : 0.0;
        }
    }

    // 3. line widths about their mean over the vibration ranges
    const int32_t xs = clip(s.m_iXVibStart), xe = clip(s.m_iXVibEnd);
    const int32_t ys = clip(s.m_iYVibStart), ye = clip(s.m_iYVibEnd);
    auto zeroMean = [n](const std::vector<double>& raw, std::vector<double>& out, int32_t a, int32_t b) {
        double dMean = 0;
        for (int32_t i = a; i < b; ++i) dMean += raw[size_t(i)];
        if (b > a) dMean /= (b - a);
        for (int32_t i = 0; i < n; ++i) out[size_t(i)] = raw[size_t(i)] - dMean;
    };
    zeroMean(s.m_dXLineWidthRaw, s.m_dXLineWidth, xs, xe);
    zeroMean(s.m_dYLineWidthRaw, s.m_dYLineWidth, ys, ye);

    // 4. deviation of each line from its 45 degree path
    std::fill(s.m_dXVib.begin(), s.m_dXVib.end(), 0.0);
    std::fill(s.m_dYVib.begin(), s.m_dYVib.end(), 0.0);
    for (int32_t i = xs, st = xs; i < xe; ++i) {
        if (s.m_XLineStart[size_t(i)]) st = i;
        s.m_dXVib[size_t(i)] = s.m_dXLinePos[size_t(i)] - s.m_dXLinePos[size_t(st)] + (i - st);
    }
    for (int32_t i = ys, st = ys; i < ye; ++i) {
        if (s.m_YLineStart[size_t(i)]) st = i;
        s.m_dYVib[size_t(i)] = s.m_dYLinePos[size_t(i)] - s.m_dYLinePos[size_t(st)] - (i - st);
    }

    // 5. lines and their marks
    s.m_iLineCount = 0;
    for (int32_t i = 0; i < n; ++i) {
        s.m_RowColors[size_t(i)] = 0;
        if (s.m_XLineStart[size_t(i)]) {
            ++s.m_iLineCount;
            s.m_RowColors[size_t(i)] = 0x00FFFF;
        } else if (m_bMarkYLineStarts && s.m_YLineStart[size_t(i)]) {
            s.m_RowColors[size_t(i)] = 0xFF00FF;
        }
    }

    // 6. the slow drift of the wide line is transport, not vibration
    if (m_bSubtractWideLine) {
        int32_t lo = 10, hi = n - 10;
        while (lo < hi && s.m_dXVib[size_t(lo)] == 0.0) ++lo;
        while (hi > lo && s.m_dXVib[size_t(hi - 1)] == 0.0) --hi;
        int32_t a = lo;
        while (a < hi) {
            int32_t b = a + 1;
            while (b < hi && !s.m_XLineStart[size_t(b)]) ++b;
            const double dMid = s.m_dWideLine[size_t((a + b) / 2)];
            for (int32_t j = a; j < b; ++j) s.m_dXVib[size_t(j)] -= s.m_dWideLine[size_t(j)] - dMid;
            a = b;
        }
    }

    // 7. each straight stretch loses its own slope
    if (m_bDetrend) {
        DetrendRange(s.m_dXVib, xs, xe, s.m_XLineStart, s.m_dSpeedOrDeviation);
        DetrendRange(s.m_dYVib, ys, ye, s.m_YLineStart, s.m_dSpeedOrDeviation);
    }

    // 8./9. one figure per line, judged against its limit
    s.m_bPassed = true;
    s.m_dAppFct = 0.0;
    s.m_iAppFctLine = 0;
    s.m_Lines.clear();
    std::fill(s.m_dXVibAvg.begin(), s.m_dXVibAvg.end(), 0.0);
    std::fill(s.m_dYVibAvg.begin(), s.m_dYVibAvg.end(), 0.0);
    auto segments = [](const std::vector<uint8_t>& starts, int32_t a0, int32_t b0) {
        std::vector<std::pair<int32_t, int32_t>> seg;
        int32_t a = -1;
        for (int32_t i = a0; i < b0; ++i) {
            if (!starts[size_t(i)]) continue;
            if (a >= 0) seg.push_back({a, i});
            a = i;
        }
        if (a >= 0) seg.push_back({a, b0});
        return seg;
    };
    auto meanSquare = [](const std::vector<double>& v, int32_t a, int32_t b) {
        double d = 0;
        for (int32_t i = a; i < b; ++i) d += v[size_t(i)] * v[size_t(i)];
        return b > a ? d / (b - a) : 0.0;
    };
    const auto xSeg = segments(s.m_XLineStart, xs, xe);
    for (size_t k = 0; k < xSeg.size(); ++k) {
        const auto [a, b] = xSeg[k];
        StarTestLine line;
        line.m_iRow = (a + b) / 2;
        line.m_dValue = 10.0 * meanSquare(s.m_dXVib, a, b);
        line.m_iFirstRow = a;
        line.m_iEndRow = b;
        s.m_Lines.push_back(line);
        JudgeLine(s, int32_t(k), line.m_dValue);
        for (int32_t i = a; i < b; ++i) s.m_dXVibAvg[size_t(i)] = line.m_dValue;
    }
    for (const auto& [a, b] : segments(s.m_YLineStart, ys, ye)) {
        const double v = 10.0 * meanSquare(s.m_dYVib, a, b);
        for (int32_t i = a; i < b; ++i) s.m_dYVibAvg[size_t(i)] = v;
    }
    s.m_bStatisticsDone = true;
    s.m_bPickEnabled = !s.m_bAvgResult;
}

bool CStarTestEngine::AnalyseFromPicture(int32_t iRecord, const CPicture& picture, std::string& szError)
{
    if (iRecord < 0 || iRecord >= int32_t(m_Sweeps.size()) || m_Sweeps[size_t(iRecord)].m_bAvgResult) {
        szError = "an averaged sweep has no picture";
        return false;
    }
    StarTestSweep tracked = m_Sweeps[size_t(iRecord)];
    const int32_t iStarts = TrackStarTestLines(picture, tracked, szError);
    if (iStarts <= 0) {
        if (szError.empty()) szError = "no star test line was found in the picture";
        return false;
    }
    AnalyseSweep(tracked);
    m_Sweeps[size_t(iRecord)] = std::move(tracked);
    m_iAnalysed = iRecord;
    Log_Msg(FormatText("CStarTestEngine::AnalyseFromPicture sweep %d: %d lines", iRecord, iStarts));
    return true;
}

void CStarTestEngine::AverageRepeats()
{
    const int32_t r = m_iRepeat;
    const int32_t M = int32_t(m_Sweeps.size());
    if (r <= 0) return;
    const int32_t g = M / r;
    if (g <= 0) return;
    std::vector<StarTestSweep> averaged;
    averaged.reserve(size_t(g));
    for (int32_t j = 0; j < g; ++j) {
        const StarTestSweep& first = m_Sweeps[size_t(j)];
        StarTestSweep a;
        a.Allocate(first.m_iLength);
        a.m_iScanSpeed = first.m_iScanSpeed;
        a.m_dScanWidth = first.m_dScanWidth;
        a.m_iResolution = first.m_iResolution;
        a.m_iXVibStart = first.m_iXVibStart;
        a.m_iXVibEnd = first.m_iXVibEnd;
        a.m_iLineCount = first.m_iLineCount;
        a.m_bColorScan = first.m_bColorScan;
        a.m_XLineStart = first.m_XLineStart;
        a.m_RowColors = first.m_RowColors;
        a.m_bAvgResult = true;
        a.m_bPassed = true;
        a.m_Lines = first.m_Lines;
        a.m_dLineStdDev.assign(first.m_Lines.size(), 0.0);
        for (size_t l = 0; l < first.m_Lines.size(); ++l) {
            double dSum = 0, dSumSq = 0;
            int32_t iN = 0;
            for (int32_t k = 0; k < r; ++k) {
                const StarTestSweep& rep = m_Sweeps[size_t(k * g + j)];
                if (l >= rep.m_Lines.size()) continue;
                const double x = rep.m_Lines[l].m_dValue;
                dSum += x;
                dSumSq += x * x;
                ++iN;
            }
            const double dMean = iN ? dSum / iN : 0.0;
            double dStd = 0.0;
            if (iN >= 2) dStd = std::sqrt(std::max(0.0, (iN * dSumSq - dSum * dSum) / ((iN - 1.0) * iN)));
            a.m_Lines[l].m_dValue = dMean;
            a.m_Lines[l].m_bPassed = 1;
            a.m_dLineStdDev[l] = dStd;
            JudgeLine(a, int32_t(l), dMean);
            const int32_t b0 = std::clamp(a.m_Lines[l].m_iFirstRow, 0, a.m_iLength);
            const int32_t b1 = std::clamp(a.m_Lines[l].m_iEndRow, 0, a.m_iLength);
            for (int32_t i = b0; i < b1; ++i) {
                a.m_dXVibAvg[size_t(i)] = dMean;
                a.m_dSpeedOrDeviation[size_t(i)] = dStd;
            }
        }
        a.m_bStatisticsDone = true;
        a.m_bPickEnabled = false;
        averaged.push_back(std::move(a));
    }
    for (auto& a : averaged) m_Sweeps.push_back(std::move(a));
    m_iSweepCount += g;
    // The station counts records from 1: (count - count / (Repeat + 1)) + 1
    // is the first averaged record, which is the one a technician looks at
    // first (the list marks it with "<").
    const int32_t c = m_iSweepCount;
    m_iDisplayed = std::clamp(c - c / (m_iRepeat + 1), 0, int32_t(m_Sweeps.size()) - 1);
}

const StarTestSweep* CStarTestEngine::Displayed() const
{
    if (m_iDisplayed < 0 || m_iDisplayed >= int32_t(m_Sweeps.size())) return nullptr;
    return &m_Sweeps[size_t(m_iDisplayed)];
}

StarTestChartData CStarTestEngine::ChartData()
{
    StarTestChartData c;
    if (m_iDisplayed < 0 || m_iDisplayed >= int32_t(m_Sweeps.size())) return c;
    StarTestSweep& d = m_Sweeps[size_t(m_iDisplayed)];
    const bool bAvg = d.m_bAvgResult;
    auto add = [&](const char* szName, uint32_t color, const std::vector<double>& v) {
        c.m_Curves.push_back(StarTestCurve{szName, color, v, false});
    };
    if (!bAvg) add("X-vib", 0xFF0000, d.m_dXVib);
    add("X-vib-avg", 0x646464, d.m_dXVibAvg);
    if (!bAvg) {
        add("Y-vib", 0x00FF00, d.m_dYVib);
        add("Y-vib-avg", 0x000000, d.m_dYVibAvg);
        add("Wide Line", 0xFF00FF, d.m_dWideLine);
        add("Wide L.Org", 0xFF7FFF, d.m_dWideLineUnsmoothed);
    }
    add(bAvg ? "Std Dev" : "Scan Speed", 0x0000FF, d.m_dSpeedOrDeviation);
    if (!bAvg) {
        add("X Line Width", 0xFF7F00, d.m_dXLineWidth);
        add("Y Line Width", 0xFF7F7F, d.m_dYLineWidth);
    }
    c.m_RowColors = d.m_RowColors;
    c.m_iRows = d.m_iLength;
    bool bPassed = true;
    for (const StarTestLine& l : d.m_Lines) {
        if (l.m_bPassed) continue;
        bPassed = false;
        c.m_MarkerRows.push_back(l.m_iRow);
    }
    d.m_bPassed = bPassed;
    return c;
}

bool CStarTestEngine::AllLinesPassed() const
{
    for (const StarTestSweep& s : m_Sweeps)
        for (const StarTestLine& l : s.m_Lines)
            if (!l.m_bPassed) return false;
    return true;
}

std::string CStarTestEngine::RawPictureName(const std::string& szResultFile, int32_t iRecord)
{
    const std::filesystem::path p(szResultFile);
    std::filesystem::path out = p.parent_path() / p.stem();
    return out.string() + Printf("_Sweep%02d.tif", iRecord);
}

std::string CStarTestEngine::FormatFile(const std::vector<StarTestSweep>& sweeps, int32_t iSweep, int32_t iRepeat)
{
    std::string sz = "[StarTest]\nVersion = 1\n";
    sz += Printf("Sweep = %d\n", iSweep);
    if (iRepeat > 0) sz += Printf("Repeat = %d\n", iRepeat);
    sz += "BEGIN_DATA\n";
    for (const StarTestSweep& s : sweeps) {
        if (s.m_bAvgResult) continue; // rebuilt on reading
        sz += Printf("Length = %d\nScanSpeed = %d\nScanWidth = %5.1f\nResolution = %d\n", s.m_iLength, s.m_iScanSpeed,
                     s.m_dScanWidth, s.m_iResolution);
        sz += Printf("XVib_Start = %d\nXVib_End = %d\nYVib_Start = %d\nYVib_End = %d\n", s.m_iXVibStart, s.m_iXVibEnd,
                     s.m_iYVibStart, s.m_iYVibEnd);
        sz += Printf("WideLine_Start = %d\nWideLine_End = %d\n", s.m_iWideLineStart, s.m_iWideLineEnd);
        sz += Printf("ScanSpeedIndex = %d\nScanSpeedWidth = %d\nScanSpeedBytePerPix = %d\nAvgResult = %d\n",
                     s.m_iScanSpeedIndex, s.m_iScanSpeedWidth, s.m_iScanSpeedBytePerPix, s.m_bAvgResult ? 1 : 0);
        for (int32_t i = 0; i < s.m_iLength; ++i) {
            const size_t k = size_t(i);
            const StarTestSpeedIndex sp = i < s.m_iScanSpeedIndex ? s.m_SpeedIndex[k] : StarTestSpeedIndex{};
            sz += Printf("%d\t %5.2f\t%5.2f\t%d\t%5.2f\t %d\t%d\t%d %5.2f\t%5.2f %d\t%d\t\n", i, s.m_dXLinePos[k],
                         s.m_dYLinePos[k], s.m_iXLineColumn[k], s.m_dWideLinePos[k], sp.m_iRow, sp.m_iBytes,
                         sp.m_iEndRow, s.m_dXLineWidthRaw[k], s.m_dYLineWidthRaw[k], s.m_XLineStart[k] ? 1 : 0,
                         s.m_YLineStart[k] ? 1 : 0);
        }
        sz += "END_DATA\n";
    }
    return sz;
}

bool CStarTestEngine::WriteFile(const std::string& szPath, const std::vector<StarTestSweep>& sweeps, int32_t iSweep,
                                int32_t iRepeat, std::string* pError)
{
    const std::string sz = FormatFile(sweeps, iSweep, iRepeat);
    return WriteFileAtomically(szPath, sz.data(), sz.size(), pError);
}

std::vector<StarTestSweep> MakeSampleStarTestSweeps()
{
    // Three speeds, each swept twice; one line of the second sweep at the
    // middle speed shakes well beyond its limit.
    std::vector<StarTestSweep> out;
    const int32_t kSpeeds[3] = {2, 4, 8};
    const int32_t n = 1800, iPeriod = 150;
    uint32_t seed = 12345;
    auto noise = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (double((seed >> 8) & 0xFFFF) / 65535.0 - 0.5) * 0.1;
    };
    for (int32_t k = 0; k < 2; ++k) {
        for (int32_t j = 0; j < 3; ++j) {
            StarTestSweep s;
            s.Allocate(n);
            s.m_iScanSpeed = kSpeeds[j];
            s.m_dScanWidth = 36.0;
            s.m_iResolution = 300;
            s.m_iXVibStart = s.m_iYVibStart = s.m_iWideLineStart = 20;
            s.m_iXVibEnd = s.m_iYVibEnd = s.m_iWideLineEnd = n - 20;
            s.m_iScanSpeedWidth = 10800;
            s.m_iScanSpeedBytePerPix = 3;
            s.m_iScanSpeedIndex = 10;
            for (int32_t e = 0; e < s.m_iScanSpeedIndex; ++e) {
                const int32_t iRow = e * 200;
                s.m_SpeedIndex[size_t(e)] = {iRow, 200 * 10800 * 3 / kSpeeds[j], std::min(n, iRow + 200)};
            }
            const double dAmp = 0.12 + 0.05 * j;
            double dX = 0, dY = 0;
            for (int32_t i = 0; i < n; ++i) {
                const size_t r = size_t(i);
                const bool bStart = i >= 20 && (i - 20) % iPeriod == 0;
                const int32_t iLine = (i - 20) / iPeriod;
                if (bStart) {
                    dX = 900.0 + 10 * iLine;
                    dY = 100.0 + 7 * iLine;
                }
                double dA = dAmp;
                if (k == 1 && j == 1 && iLine == 5) dA = 0.75; // the failing line
                const double dVib = dA * std::sin(i * 0.9 + j) + noise();
                s.m_XLineStart[r] = bStart;
                s.m_YLineStart[r] = bStart;
                s.m_dXLinePos[r] = dX + dVib;
                s.m_dYLinePos[r] = dY + 0.5 * dVib + noise();
                s.m_iXLineColumn[r] = int32_t(dX);
                s.m_dWideLinePos[r] = 5400.0 + 0.6 * std::sin(i / 260.0) + noise();
                s.m_dXLineWidthRaw[r] = 3.2 + noise();
                s.m_dYLineWidthRaw[r] = 3.1 + noise();
                dX -= 1.0;
                dY += 1.0;
            }
            out.push_back(std::move(s));
        }
    }
    return out;
}
