#include "calibration/CameraWidth.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "imaging/Picture.h"
#include "platform/Log.h"

namespace {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

char Letter(int32_t i)
{
    return static_cast<char>('A' + (i & 7));
}

// One end of a camera: the search columns, the threshold between the card
// and the white stitch area, and the two extremes of the window.
struct CWindow {
    int32_t m_iColMin = -1, m_iColMax = -1, m_iPivot = -1;
    int32_t m_iMinCol = -1, m_iMinValue = -1, m_iMaxCol = -1, m_iMaxValue = -1;
};

CWindow MakeWindow(const CPicture& pic, int32_t iRow, int32_t iFirst, int32_t iLast)
{
    CWindow w;
    iFirst = std::max(iFirst, 0);
    iLast = std::min(iLast, pic.m_iWidth - 1);
    if (iLast - iFirst < 4)
        return w;
    w.m_iColMin = iFirst;
    w.m_iColMax = iLast;
    w.m_iMinValue = 256;
    for (int32_t x = iFirst; x <= iLast; ++x) {
        const int32_t v = pic.GetSample(x, iRow, 1);
        if (v < 0)
            continue;
        if (v < w.m_iMinValue) {
            w.m_iMinValue = v;
            w.m_iMinCol = x;
        }
        if (v > w.m_iMaxValue) {
            w.m_iMaxValue = v;
            w.m_iMaxCol = x;
        }
    }
    if (w.m_iMaxValue < 0)
        return CWindow();
    w.m_iPivot = (w.m_iMinValue + w.m_iMaxValue) / 2;
    return w;
}

// The pair of dark centre lines (wires) in a window: start of the first,
// end of the last, number of lines seen.
struct CPair {
    bool m_bFound = false;
    double m_dStart = -1, m_dEnd = -1, m_dCenter = -1;
    int32_t m_iLines = 0;
    double m_dEdge = -1, m_dEdge2 = -1;
};

CPair FindPair(const CPicture& pic, int32_t iRow, const CWindow& w)
{
    CPair p;
    if (w.m_iPivot < 0 || w.m_iMaxValue - w.m_iMinValue < 20)
        return p; // no contrast: a flat or saturated window holds no line
    int32_t x = w.m_iColMin;
    double dFirst = -1, dLast = -1;
    for (int32_t i = 0; i < 64 && x < w.m_iColMax; ++i) {
        double s = -1, e = -1;
        if (!pic.FindLineEdgesInRow(iRow, x, w.m_iColMax, w.m_iPivot, 1, s, e) || e < 0)
            break;
        if (s <= w.m_iColMin)
        {
            // A dark run already under way at the window start is card, not a line.
            x = static_cast<int32_t>(e) + 1;
            continue;
        }
        if (p.m_iLines == 0) {
            p.m_dEdge = s;
            p.m_dEdge2 = e;
            dFirst = s;
        }
        dLast = e;
        ++p.m_iLines;
        x = static_cast<int32_t>(e) + 1;
    }
    if (p.m_iLines >= 2) {
        p.m_bFound = true;
        p.m_dStart = dFirst;
        p.m_dEnd = dLast;
        p.m_dCenter = (dFirst + dLast) / 2;
    }
    return p;
}

// One camera of the block: where its pixels begin in the block, its span
// from the layout and the search windows at both of its ends.
struct CCameraEnds {
    int32_t m_iOrigin = -1, m_iStart = 0, m_iStop = 0, m_iCenter = 0;
    double m_dGroup = -1;
    bool m_bCamera = false;
    CWindow m_wl, m_wr;
};

CCameraEnds FindCameraEnds(const CPicture& block, const CCameraWidthLayout& layout, int32_t c)
{
    CCameraEnds e;
    const int32_t iReach = std::max(block.m_iResolution / 2, 16);
    e.m_iOrigin = block.PixelsUpToCamera(c - 1);
    e.m_iStart = layout.m_iStartCamera[size_t(c)];
    e.m_iStop = layout.m_iStopCamera[size_t(c)];
    e.m_iCenter = CCameraWidth::CameraCenter(e.m_iStart, e.m_iStop, layout.m_iBlackStop);
    e.m_dGroup = layout.m_dGroupCenterMiddle[size_t(c)];
    e.m_bCamera = e.m_iOrigin >= 0 && block.PixCameras(c) > 0 && e.m_iStop > e.m_iStart;
    if (e.m_bCamera) {
        e.m_wl = MakeWindow(block, 0, e.m_iOrigin + e.m_iStart, e.m_iOrigin + std::min(e.m_iStart + iReach, e.m_iStop));
        e.m_wr = MakeWindow(block, 0, e.m_iOrigin + std::max(e.m_iStop - iReach, e.m_iStart), e.m_iOrigin + e.m_iStop);
    }
    return e;
}

// The centre offset of a camera against its group centre, logged as both
// finders always have; szValue names the result in the log line.
double CenterOffset(const char* szFinder, const char* szValue, int32_t c, const CCameraEnds& e, int32_t iBlackStop)
{
    LOG_FORMATTED("%s camera %c (iStopCamera %d + (iStartCamera %d + m_ptrLayout->m_iBlackStop %d) ) / 2 = iCenter %d",
                  szFinder, Letter(c), e.m_iStop, e.m_iStart, iBlackStop, e.m_iCenter);
    const double dCenter = e.m_dGroup >= 0 ? e.m_dGroup - double(e.m_iCenter) : 0.0;
    LOG_FORMATTED("%s m_rdCenter camera %c m_X.m_dGroup_Center[iCamera][X3_MIDDEL] %f - double(iCenter) %f = %s %f",
                  szFinder, Letter(c), e.m_dGroup, double(e.m_iCenter), szValue, dCenter);
    return dCenter;
}

} // namespace

// ================================================================ CCsvFile

CCsvFile::CCsvFile(const std::string& szPath, char cSeparator) : m_szPath(szPath), m_cSeparator(cSeparator)
{
    m_pFile.reset(std::fopen(szPath.c_str(), "ab"));
    if (!m_pFile) {
        m_szError = szPath + ": cannot be opened for appending (" + std::strerror(errno) + ")";
        return;
    }
    m_iStartMs = NowMs();
    Put(FormatText("sep=%c\n", m_cSeparator));
}

CCsvFile::~CCsvFile()
{
    Put("\n");
}

void CCsvFile::Put(const std::string& sz)
{
    if (!m_pFile)
        return;
    if (std::fwrite(sz.data(), 1, sz.size(), m_pFile.get()) != sz.size() && m_szError.empty())
        m_szError = m_szPath + ": cannot be written";
}

void CCsvFile::WriteText(const std::string& szText) { Put(FormatText("%s%c ", szText.c_str(), m_cSeparator)); }
void CCsvFile::WriteInt(int32_t iValue) { Put(FormatText("%d%c ", iValue, m_cSeparator)); }
void CCsvFile::WriteDouble(double dValue) { Put(FormatText("%.2f%c ", dValue, m_cSeparator)); }
void CCsvFile::NewRow() { Put(FormatText("\n%d%c ", static_cast<int>(ElapsedMs()), m_cSeparator)); }
void CCsvFile::Flush()
{
    if (m_pFile)
        std::fflush(m_pFile.get());
}
int64_t CCsvFile::ElapsedMs() const { return NowMs() - m_iStartMs; }

// ================================================================ CCameraWidth

CCameraWidth::CCameraWidth(const std::string& szCsvPath)
{
    if (!szCsvPath.empty()) {
        m_pCsv = std::make_unique<CCsvFile>(szCsvPath);
        if (!m_pCsv->IsOpen())
            Log_Msg(m_pCsv->Error());
    }
}

std::vector<std::string> CCameraWidth::ClassicColumns(int32_t iCamera)
{
    return {std::string(1, Letter(iCamera)), "iGrayPivot_L", "iColMin", "iColMax", "Left SWU edge",
            "Left SWU edge 2", "Left width", "iGrayPivot_R", "iColMin", "iColMax", "Right SWU edge",
            "Right SWU edge 2", "Right width", "diff width", "L bFindBlackCenter", "iGrayPivot_L", "dMinCol_L",
            "MinCol_Lvalue", "dStartCol", "dEndCol", "bResult", "dCenter", "iLines_L", "dWidth_Left",
            "R bFindBlackCenter", "iGrayPivot_R", "dMaxCol_R", "MaxCol_Rvalue", "dMinCol_R", "dMaxCol_R", "bResult",
            "dCenter", "iLines_R", "dWidth_Right", "teor width", "diff width"};
}

std::vector<std::string> CCameraWidth::SimpleColumns(int32_t iCamera)
{
    return {std::string(1, Letter(iCamera)), "CameraStart", "dLeftScanWidthEdge", "iGrayPivot_L", "iColMin",
            "iColMax", "dWidth", "dLeftScanWidthEdge2", "dLeftScanWidthEdge3", "dRightScanWidthEdge",
            "iGrayPivot_L", "iColMin", "iColMax", "dWidth", "dRightScanWidthEdge2", "dRightScanWidthEdge3",
            "CameraEnd", "teor width", "diff width"};
}

int32_t CCameraWidth::Prepare(const CPicture& block, const CCameraWidthLayout& layout, bool bClassic)
{
    if (layout.m_iCameraCount < 1 || layout.m_iCameraCount > 8 || block.m_iHeight < 1 || block.m_iWidth < 1 ||
        (!block.IsGray() && !block.IsRGB())) {
        Log_Msg_Int(bClassic ? "FindClassicScanWidth: no usable block or camera count"
                             : "FindSimpleScanWidth: no usable block or camera count",
                    layout.m_iCameraCount);
        return kErrLayout;
    }
    m_bFound.fill(false);
    if (m_pCsv && m_pCsv->IsOpen() && (!m_bHeaderWritten || m_bHeaderClassic != bClassic)) {
        if (m_bHeaderWritten)
            m_pCsv->Put("\n");
        m_pCsv->WriteText("[msec]");
        for (int32_t c = 0; c < layout.m_iCameraCount; ++c)
            for (const std::string& sz : bClassic ? ClassicColumns(c) : SimpleColumns(c))
                m_pCsv->WriteText(sz);
        m_bHeaderWritten = true;
        m_bHeaderClassic = bClassic;
    }
    if (m_pCsv)
        m_pCsv->NewRow();
    return 0;
}

int32_t CCameraWidth::EachCamera(const CPicture& block, const CCameraWidthLayout& layout, bool bClassic,
                                 const std::function<void(int32_t, CCsvFile*)>& measure)
{
    if (const int32_t iError = Prepare(block, layout, bClassic); iError != 0)
        return iError;
    CCsvFile* pCsv = m_pCsv && m_pCsv->IsOpen() ? m_pCsv.get() : nullptr;
    for (int32_t c = 0; c < layout.m_iCameraCount; ++c)
        measure(c, pCsv);
    if (pCsv)
        pCsv->Flush();
    return 0;
}

int32_t CCameraWidth::FindClassicScanWidth(const CPicture& block, const CCameraWidthLayout& layout)
{
    const int32_t iLastRow = block.m_iHeight - 1;
    return EachCamera(block, layout, true, [&](int32_t c, CCsvFile* pCsv) {
        const CCameraEnds e = FindCameraEnds(block, layout, c);
        const int32_t iOrigin = e.m_iOrigin;
        const double dMiddle = e.m_dGroup >= 0 ? e.m_dGroup : e.m_iCenter;
        const CWindow &wl = e.m_wl, &wr = e.m_wr;
        CPair pl, pr, plLast, prLast;
        if (e.m_bCamera) {
            pl = FindPair(block, 0, wl);
            pr = FindPair(block, 0, wr);
            plLast = FindPair(block, iLastRow, wl);
            prLast = FindPair(block, iLastRow, wr);
        }
        auto own = [iOrigin](double d) { return d >= 0 ? d - iOrigin : -1.0; };
        m_dWidth_Teoretical[size_t(c)] = layout.m_dWidth_Teoretical[size_t(c)];
        m_dWidth_Left[size_t(c)] = pl.m_bFound ? dMiddle - own(pl.m_dCenter) : -1;
        m_dWidth_Right[size_t(c)] = pr.m_bFound ? own(pr.m_dCenter) - dMiddle : -1;
        m_bFound[size_t(c)] = pl.m_bFound && pr.m_bFound;
        m_rdWidth[size_t(c)] = m_bFound[size_t(c)] ? m_dWidth_Left[size_t(c)] + m_dWidth_Right[size_t(c)] -
                                                          m_dWidth_Teoretical[size_t(c)]
                                                    : 0.0;
        LOG_FORMATTED("FindClassicScanWidth m_rdWidth camera %c m_dWidth_Left %f + m_dWidth_Right %f - "
                           "m_dWidth_Teoretical %f = dValue %f",
                           Letter(c), m_dWidth_Left[size_t(c)], m_dWidth_Right[size_t(c)],
                           m_dWidth_Teoretical[size_t(c)], m_rdWidth[size_t(c)]);
        m_rdCenter[size_t(c)] = CenterOffset("FindClassicScanWidth", "dValue", c, e, layout.m_iBlackStop);
        // Tilt: how far both centre lines drift along the block, per line.
        double dTilt = 0.0;
        if (iLastRow > 0 && pl.m_bFound && pr.m_bFound && plLast.m_bFound && prLast.m_bFound)
            dTilt = ((plLast.m_dCenter - pl.m_dCenter) + (prLast.m_dCenter - pr.m_dCenter)) / 2.0 / iLastRow;
        m_aTilt[size_t(c)] = dTilt;
        LOG_FORMATTED("FindClassicScanWidth m_aTilt camera %c %.4f", Letter(c), dTilt);

        if (!pCsv)
            return;
        pCsv->WriteText(std::string(1, Letter(c)));
        pCsv->WriteInt(wl.m_iPivot);
        pCsv->WriteInt(wl.m_iColMin);
        pCsv->WriteInt(wl.m_iColMax);
        pCsv->WriteDouble(pl.m_dEdge);
        pCsv->WriteDouble(pl.m_dEdge2);
        const double dLeftLine = pl.m_dEdge >= 0 ? pl.m_dEdge2 - pl.m_dEdge : -1;
        pCsv->WriteDouble(dLeftLine);
        pCsv->WriteInt(wr.m_iPivot);
        pCsv->WriteInt(wr.m_iColMin);
        pCsv->WriteInt(wr.m_iColMax);
        pCsv->WriteDouble(pr.m_dEdge);
        pCsv->WriteDouble(pr.m_dEdge2);
        const double dRightLine = pr.m_dEdge >= 0 ? pr.m_dEdge2 - pr.m_dEdge : -1;
        pCsv->WriteDouble(dRightLine);
        pCsv->WriteDouble(dLeftLine >= 0 && dRightLine >= 0 ? dRightLine - dLeftLine : 0.0);
        pCsv->WriteInt(pl.m_bFound ? 1 : 0);
        pCsv->WriteInt(wl.m_iPivot);
        pCsv->WriteDouble(wl.m_iMinCol);
        pCsv->WriteInt(wl.m_iMinValue);
        pCsv->WriteDouble(pl.m_dStart);
        pCsv->WriteDouble(pl.m_dEnd);
        pCsv->WriteInt(pl.m_bFound ? 1 : 0);
        pCsv->WriteDouble(pl.m_dCenter);
        pCsv->WriteInt(pl.m_iLines);
        pCsv->WriteDouble(m_dWidth_Left[size_t(c)]);
        pCsv->WriteInt(pr.m_bFound ? 1 : 0);
        pCsv->WriteInt(wr.m_iPivot);
        pCsv->WriteDouble(wr.m_iMaxCol);
        pCsv->WriteInt(wr.m_iMaxValue);
        pCsv->WriteDouble(pr.m_dStart);
        pCsv->WriteDouble(pr.m_dEnd);
        pCsv->WriteInt(pr.m_bFound ? 1 : 0);
        pCsv->WriteDouble(pr.m_dCenter);
        pCsv->WriteInt(pr.m_iLines);
        pCsv->WriteDouble(m_dWidth_Right[size_t(c)]);
        pCsv->WriteDouble(m_dWidth_Teoretical[size_t(c)]);
        pCsv->WriteDouble(m_rdWidth[size_t(c)]);
    });
}

int32_t CCameraWidth::FindSimpleScanWidth(const CPicture& block, const CCameraWidthLayout& layout)
{
    const int32_t iLastRow = block.m_iHeight - 1;
    return EachCamera(block, layout, false, [&](int32_t c, CCsvFile* pCsv) {
        const CCameraEnds e = FindCameraEnds(block, layout, c);
        const int32_t iOrigin = e.m_iOrigin;
        const CWindow &wl = e.m_wl, &wr = e.m_wr;
        // The bright stripes that mark the scan width at each end.
        double ls = -1, le = -1, rs = -1, re = -1, lsLast = -1, leLast = -1, rsLast = -1, reLast = -1;
        bool bLeft = false, bRight = false, bLeftLast = false, bRightLast = false;
        if (e.m_bCamera) {
            if (wl.m_iPivot > 0 && wl.m_iMaxValue - wl.m_iMinValue >= 20) {
                bLeft = block.FindBrightLineInRow(0, wl.m_iColMin, wl.m_iColMax, wl.m_iPivot, 1, ls, le);
                bLeftLast = block.FindBrightLineInRow(iLastRow, wl.m_iColMin, wl.m_iColMax, wl.m_iPivot, 1, lsLast,
                                                      leLast);
            }
            if (wr.m_iPivot > 0 && wr.m_iMaxValue - wr.m_iMinValue >= 20) {
                bRight = block.FindBrightLineInRow(0, wr.m_iColMin, wr.m_iColMax, wr.m_iPivot, 1, rs, re);
                bRightLast = block.FindBrightLineInRow(iLastRow, wr.m_iColMin, wr.m_iColMax, wr.m_iPivot, 1, rsLast,
                                                       reLast);
            }
        }
        auto own = [iOrigin](bool b, double d) { return b ? d - iOrigin : -1.0; };
        m_dWidth_Teoretical[size_t(c)] = layout.m_dWidth_Teoretical[size_t(c)];
        m_dWidth_Left[size_t(c)] = own(bLeft, ls);
        m_dWidth_Right[size_t(c)] = own(bRight, re);
        m_bFound[size_t(c)] = bLeft && bRight;
        const double dScanWidth = m_bFound[size_t(c)] ? m_dWidth_Right[size_t(c)] - m_dWidth_Left[size_t(c)] -
                                                            m_dWidth_Teoretical[size_t(c)]
                                                      : 0.0;
        m_rdWidth[size_t(c)] = dScanWidth;
        LOG_FORMATTED("FindSimpleScanWidth m_rdWidth camera %c m_dWidth_Right %f - m_dWidth_Left %f - "
                           "m_dWidth_Teoretical %f = dScanWidth %f",
                           Letter(c), m_dWidth_Right[size_t(c)], m_dWidth_Left[size_t(c)],
                           m_dWidth_Teoretical[size_t(c)], dScanWidth);
        m_rdCenter[size_t(c)] = CenterOffset("FindSimpleScanWidth", "dScanCenter", c, e, layout.m_iBlackStop);
        double dTilt = 0.0;
        if (iLastRow > 0 && bLeft && bRight && bLeftLast && bRightLast)
            dTilt = ((lsLast - ls) + (reLast - re)) / 2.0 / iLastRow;
        m_aTilt[size_t(c)] = dTilt;
        LOG_FORMATTED("FindSimpleScanWidth m_aTilt camera %c %.4f", Letter(c), dTilt);

        if (!pCsv)
            return;
        pCsv->WriteText(std::string(1, Letter(c)));
        pCsv->WriteInt(e.m_iStart);
        pCsv->WriteDouble(m_dWidth_Left[size_t(c)]);
        pCsv->WriteInt(wl.m_iPivot);
        pCsv->WriteInt(wl.m_iColMin);
        pCsv->WriteInt(wl.m_iColMax);
        pCsv->WriteDouble(bLeft ? le - ls : -1);
        pCsv->WriteDouble(own(bLeft, le));
        pCsv->WriteDouble(bLeft ? (ls + le) / 2 - iOrigin : -1);
        pCsv->WriteDouble(m_dWidth_Right[size_t(c)]);
        pCsv->WriteInt(wr.m_iPivot);
        pCsv->WriteInt(wr.m_iColMin);
        pCsv->WriteInt(wr.m_iColMax);
        pCsv->WriteDouble(bRight ? re - rs : -1);
        pCsv->WriteDouble(own(bRight, rs));
        pCsv->WriteDouble(bRight ? (rs + re) / 2 - iOrigin : -1);
        pCsv->WriteInt(e.m_iStop);
        pCsv->WriteDouble(m_dWidth_Teoretical[size_t(c)]);
        pCsv->WriteDouble(dScanWidth);
    });
}
