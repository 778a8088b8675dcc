// The K-plates at both ends of the scan line: from the line's end inward a
// white patch, three bars of 1/75 inch with equal gaps from 0.10 inch, then
// a black patch at 0.22-0.32 inch.
#include <algorithm>
#include <cmath>

#include "calibration/C3X.h"
#include "datafiles/ProgramErrors.h"
#include "imaging/Picture.h"
#include "platform/Log.h"
#include "scanner/Scanner.h"

namespace {

double MeanOf(std::span<const uint8_t> p, int64_t iFirst, int64_t iEnd)
{
    iFirst = std::max<int64_t>(iFirst, 0);
    iEnd = std::min<int64_t>(iEnd, static_cast<int64_t>(p.size()));
    if (iEnd <= iFirst)
        return -1.0;
    double dSum = 0;
    for (int64_t x = iFirst; x < iEnd; ++x)
        dSum += p[static_cast<size_t>(x)];
    return dSum / static_cast<double>(iEnd - iFirst);
}

} // namespace

void C3X_KPlate::SetProfiles(std::span<const uint8_t> red, std::span<const uint8_t> green,
                             std::span<const uint8_t> blue)
{
    m_Profiles[0].assign(red.begin(), red.end());
    m_Profiles[1].assign(green.begin(), green.end());
    m_Profiles[2].assign(blue.begin(), blue.end());
}

int32_t C3X_KPlate::Find_Position(std::span<const uint8_t> profile, int32_t iSide)
{
    Log_Msg("C3X_KPlate::Find_Position");
    C3XLayout& l = *m_ptrLayout;
    const int32_t n = std::clamp(l.m_iCameraCount, 0, kMaxCameras);
    const int32_t iCamera = iSide == 0 ? 0 : std::max(n - 1, 0);
    const int64_t iSize = static_cast<int64_t>(profile.size());
    if (iSide < 0 || iSide > 1 || n == 0) {
        LOG_FORMATTED("iCamera %d, eSide %d, iStart %d, iStop %d", iCamera, iSide, 0, 0);
        return SetError(ERROR_3X_K_NOT_FOUND, iCamera, std::clamp(iSide, 0, 1));
    }
    const int32_t iDpi = std::max(l.m_iDPI, 1);
    int32_t s = l.m_iDPI == m_iKPlateDPI ? 2 : 1;
    if (m_bTypeGroupB)
        s = l.m_iDPI < 1200 ? 1 : 2;
    // k counts pixels from the line's end on this side inward.
    auto index = [&](int64_t k) { return iSide == 0 ? k : iSize - 1 - k; };
    auto at = [&](int64_t k) { return static_cast<int32_t>(profile[static_cast<size_t>(index(k))]); };
    const int32_t iDark = std::max(l.DarkPixels(iCamera), 3 * s + 1);
    const int64_t iBlackFrom = 3 * s, iBlackTo = iDark;
    const int64_t iWhiteFrom = m_bTypeGroupD ? 100 * s : iDark, iWhiteTo = iWhiteFrom + 10 * s;
    LOG_FORMATTED("iCamera %d, eSide %d, iStart %d, iStop %d", iCamera, iSide, static_cast<int32_t>(iBlackFrom),
                       static_cast<int32_t>(std::min<int64_t>(iWhiteTo + iDpi, iSize)));
    if (iSize < iWhiteTo + 1) {
        Log_Msg("C3X_KPlate::Find_Position ERROR_3X_K_NOT_FOUND (1)");
        return SetError(ERROR_3X_K_NOT_FOUND, iCamera, iSide);
    }
    auto mean = [&](int64_t a, int64_t b) {
        int32_t iSum = 0;
        for (int64_t k = a; k < b; ++k)
            iSum += at(k);
        return iSum / static_cast<int32_t>(b - a);
    };
    const int32_t iBlack = mean(iBlackFrom, iBlackTo), iWhite = mean(iWhiteFrom, iWhiteTo);
    const int32_t iLimit = iBlack + 2 * (iWhite - iBlack) / 3;
    LOG_FORMATTED("iBlack[%d..%d] %d, iWhite[%d..%d] %d, iLimit %d", static_cast<int32_t>(iBlackFrom),
                       static_cast<int32_t>(iBlackTo - 1), iBlack, static_cast<int32_t>(iWhiteFrom),
                       static_cast<int32_t>(iWhiteTo - 1), iWhite, iLimit);
    m_iKLimit[iSide] = iLimit;
    if (iLimit < 15) {
        Log_Msg("C3X_KPlate::Find_Position ERROR_3X_K_NOT_FOUND (iLimit)");
        return SetError(ERROR_3X_K_NOT_FOUND, iCamera, iSide);
    }
    int64_t k = iDark;
    while (k < iSize && at(k) <= iLimit)
        ++k;
    const int64_t iEnd = std::min<int64_t>(k + iDpi, iSize);
    const int32_t iDipWidth = std::max(iDpi / 125, 1);
    int32_t iDipLeft = 3, iRun = 0;
    int64_t iRunStart = 0, iFirstDip = -1, iLastDipEnd = -1;
    bool bWaitBright = false;
    for (; k < iEnd; ++k) {
        if (bWaitBright) {
            if (at(k) > iLimit && k + 2 < iEnd && at(k + 2) > iLimit)
                bWaitBright = false;
            continue;
        }
        if (at(k) > iLimit) {
            iRun = 0;
            continue;
        }
        if (iRun++ == 0)
            iRunStart = k;
        if (iRun < iDipWidth)
            continue;
        LOG_FORMATTED("Dib_Starting: iDipLeft %d, eSide %d, index %d ", iDipLeft, iSide,
                           static_cast<int32_t>(index(iRunStart)));
        if (iFirstDip < 0)
            iFirstDip = iRunStart;
        if (--iDipLeft == 0) {
            while (k + 1 < iEnd && at(k + 1) <= iLimit)
                ++k;
            iLastDipEnd = k;
            break;
        }
        bWaitBright = true;
        iRun = 0;
    }
    if (iLastDipEnd < 0) {
        Log_Msg("C3X_KPlate::Find_Position ERROR_3X_K_NOT_FOUND (1)");
        return SetError(ERROR_3X_K_NOT_FOUND, iCamera, iSide);
    }
    if (iSide == 0) {
        m_iStart_Camera_A = static_cast<int32_t>(iFirstDip);
        m_iStop_Camera_A = static_cast<int32_t>(iLastDipEnd);
        LOG_FORMATTED("m_iStart_Camera_A %d, m_iStop_Camera_A %d", m_iStart_Camera_A, m_iStop_Camera_A);
        l.m_iKPlateStart[0] = m_iStart_Camera_A;
        l.m_iKPlateStop[0] = m_iStop_Camera_A;
    } else {
        const int32_t iOffset = l.CameraOffset(iCamera);
        m_iStart_EndCamera = static_cast<int32_t>(index(iLastDipEnd)) - iOffset;
        m_iStop_EndCamera = static_cast<int32_t>(index(iFirstDip)) - iOffset;
        LOG_FORMATTED("m_iStart_EndCamera %d, m_iStop_EndCamera %d", m_iStart_EndCamera, m_iStop_EndCamera);
        l.m_iKPlateStart[1] = m_iStart_EndCamera;
        l.m_iKPlateStop[1] = m_iStop_EndCamera;
    }
    return ERROR_3X_NONE;
}

int32_t C3X_KPlate::Find_Lines(int32_t iCamera, int32_t iColor, int32_t iSide, int32_t iStart, int32_t iStop,
                               int32_t iLimit)
{
    Log_Msg("C3X_KPlate::Find_Lines");
    LOG_FORMATTED("iCamera %d, iColor %d, iSide %d, iStart %d, iStop %d, iLimit %d", iCamera, iColor, iSide,
                       iStart, iStop, iLimit);
    if (iColor < 0 || iColor >= kColors || iSide < 0 || iSide > 1) {
        LOG_FORMATTED("C3X_KPlate::Find_Lines eError %d", ERROR_3X_UNKNOWN);
        return SetError(ERROR_3X_UNKNOWN, iCamera, 0);
    }
    const std::vector<uint8_t>& p = m_Profiles[static_cast<size_t>(iColor)];
    m_iLinesFound[iSide][iColor] = 0;
    iStart = std::clamp(iStart, 0, std::max(static_cast<int32_t>(p.size()) - 1, 0));
    iStop = std::clamp(iStop, iStart, std::max(static_cast<int32_t>(p.size()) - 1, 0));
    CPicture row;
    const int32_t iWidth = iStop - iStart + 1;
    int32_t iFound = 0;
    if (iWidth >= 3 && MakeRowPicture(std::span<const uint8_t>(p).subspan(static_cast<size_t>(iStart),
                                                                         static_cast<size_t>(iWidth)),
                                      m_ptrLayout->m_iDPI, row)) {
        int32_t x = 0;
        while (iFound < kLines && x < iWidth - 1) {
            double dCentre = 0;
            if (!row.FindCenterOfVerticalLine(0, x, iWidth - 1, iLimit, dCentre))
                break;
            m_dLines_Center[iSide][iColor][iFound] = iStart + dCentre;
            m_dLines_Start[iSide][iColor][iFound] = iStart + row.m_dLineStart;
            m_dLines_Stop[iSide][iColor][iFound] = iStart + row.m_dLineEnd;
            LOG_FORMATTED("m_dLines_Center[%d][0] %f, m_dLines_Start[%d][0] %f, m_dLines_Stop[%d][0] %f", iFound,
                               m_dLines_Center[iSide][iColor][iFound], iFound, m_dLines_Start[iSide][iColor][iFound],
                               iFound, m_dLines_Stop[iSide][iColor][iFound]);
            Mark(C3XMark::LINE, iStart + dCentre, iCamera, iSide);
            ++iFound;
            x = static_cast<int32_t>(dCentre) + 2;
            while (x < iWidth && row.GetDataPointer()[x] <= iLimit)
                ++x;
        }
    }
    m_iLinesFound[iSide][iColor] = iFound;
    if (iFound != kLines) {
        LOG_FORMATTED("C3X_KPlate::Find_Lines eError %d", ERROR_3X_K_NOT_FOUND);
        return SetError(ERROR_3X_K_NOT_FOUND, iCamera, iSide);
    }
    return ERROR_3X_NONE;
}

int32_t C3X_KPlate::DetectKPlates()
{
    C3XLayout& l = *m_ptrLayout;
    const int32_t n = std::clamp(l.m_iCameraCount, 0, kMaxCameras);
    int32_t iResult = ERROR_3X_NONE;
    const double dDpi = std::max(l.m_iDPI, 1);
    for (int32_t iSide = 0; iSide < 2; ++iSide) {
        const int32_t iCamera = iSide == 0 ? 0 : std::max(n - 1, 0);
        // Where the plate lies is taken from the first colour there is.
        int32_t iColorForPosition = -1;
        for (int32_t c : {1, 0, 2})
            if (!m_Profiles[static_cast<size_t>(c)].empty()) {
                iColorForPosition = c;
                break;
            }
        int32_t e = iColorForPosition < 0 ? SetError(ERROR_3X_K_NOT_FOUND, iCamera, iSide)
                                          : Find_Position(m_Profiles[static_cast<size_t>(iColorForPosition)], iSide);
        double dDiffSum = 0;
        int32_t iDiffCount = 0;
        if (e == ERROR_3X_NONE) {
            const int32_t iOffset = l.CameraOffset(iCamera);
            const int32_t iFrom = iOffset + l.m_iKPlateStart[iSide] - 4, iTo = iOffset + l.m_iKPlateStop[iSide] + 4;
            for (int32_t iColor = 0; iColor < kColors && e == ERROR_3X_NONE; ++iColor) {
                if (m_Profiles[static_cast<size_t>(iColor)].empty())
                    continue;
                e = Find_Lines(iCamera, iColor, iSide, iFrom, iTo, m_iKLimit[iSide]);
                for (int32_t i = 0; i < m_iLinesFound[iSide][iColor]; ++i) {
                    LOG_FORMATTED("DetectKPlates line: side %d, color %d, number %d: %.2f", iSide, iColor, i,
                                       m_dLines_Center[iSide][iColor][i]);
                    // Line i counted from the line's end on this side.
                    const int32_t iFromEnd = iSide == 0 ? i : kLines - 1 - i;
                    const double dInward = NominalLineInch(iFromEnd) * dDpi;
                    const double dExpected = iSide == 0 ? l.DarkPixels(0) + dInward
                                                        : iOffset + l.m_iCameraPixels[iCamera] -
                                                              l.DarkPixels(iCamera) - dInward;
                    dDiffSum += m_dLines_Center[iSide][iColor][i] - dExpected;
                    ++iDiffCount;
                }
            }
        }
        m_dKPlateDiff[iSide] = iDiffCount > 0 ? dDiffSum / iDiffCount : 0.0;
        if (e != ERROR_3X_NONE && iResult == ERROR_3X_NONE)
            iResult = e;
    }
    LOG_FORMATTED("DetectKPlates m_dKPlateDiff[0] %.2f, m_dKPlateDiff[1] %.2f", m_dKPlateDiff[0],
                       m_dKPlateDiff[1]);
    if (iResult != ERROR_3X_NONE)
        Raise(PERR_KPLATE_LINES_NOT_FOUND);
    return iResult;
}

int32_t C3X_KPlate::Find_WhitePatchIntensity(const CScanSource& scan)
{
    C3XLayout& l = *m_ptrLayout;
    const int32_t n = std::clamp(l.m_iCameraCount, 0, kMaxCameras);
    const double dDpi = std::max(l.m_iDPI, 1);
    for (int32_t s = 0; s < 2; ++s)
        for (int32_t c = 0; c < kColors; ++c) {
            m_dWhitePatchIntensity_Sum[s][c] = m_dBlackPatchIntensity_Sum[s][c] = 0;
            m_iWhitePatchIntensity_Count[s][c] = m_iBlackPatchIntensity_Count[s][c] = 0;
        }
    // Patch ranges in line pixels, inward from each end past the dark pixels.
    auto range = [&](int32_t iSide, double dFrom, double dTo, int32_t& iStart, int32_t& iStop) {
        const int32_t iCamera = iSide == 0 ? 0 : std::max(n - 1, 0);
        if (iSide == 0) {
            iStart = l.DarkPixels(0) + static_cast<int32_t>(dFrom * dDpi);
            iStop = l.DarkPixels(0) + static_cast<int32_t>(dTo * dDpi);
        } else {
            const int32_t iEnd = l.CameraOffset(iCamera) + l.m_iCameraPixels[iCamera] - l.DarkPixels(iCamera);
            iStart = iEnd - static_cast<int32_t>(dTo * dDpi);
            iStop = iEnd - static_cast<int32_t>(dFrom * dDpi);
        }
    };
    int32_t iBlackStart[2], iBlackStop[2], iWhiteStart[2], iWhiteStop[2];
    for (int32_t s = 0; s < 2; ++s) {
        range(s, 0.02, 0.08, iWhiteStart[s], iWhiteStop[s]);
        range(s, 0.24, 0.30, iBlackStart[s], iBlackStop[s]);
        LOG_FORMATTED("iStart_BlackPatch[%d] %d, iStop_BlackPatch[%d] %d", s, iBlackStart[s], s, iBlackStop[s]);
    }
    int32_t iStableCount = 0, iCountScan = 0, iLoop = 0;
    double dLastBlack = -1000.0;
    bool bStable = false;
    for (iLoop = 0; iLoop < m_iMaxPatchScans && !bStable; ++iLoop) {
        const bool bDone = scan(*this);
        const int32_t iReceived = static_cast<int32_t>(m_Profiles[1].size());
        LOG_FORMATTED("DoScan_2 done=%d iReceived=%d", bDone, iReceived);
        if (!bDone)
            continue;
        ++iCountScan;
        double dBlackNow = 0;
        int32_t iBlackParts = 0;
        for (int32_t s = 0; s < 2; ++s)
            for (int32_t c = 0; c < kColors; ++c) {
                const std::vector<uint8_t>& p = m_Profiles[static_cast<size_t>(c)];
                if (p.empty())
                    continue;
                const double w = MeanOf(p, iWhiteStart[s], iWhiteStop[s] + 1);
                const double b = MeanOf(p, iBlackStart[s], iBlackStop[s] + 1);
                if (w >= 0) {
                    m_dWhitePatchIntensity_Sum[s][c] += w;
                    ++m_iWhitePatchIntensity_Count[s][c];
                    LOG_FORMATTED("iStart %d, iStop %d, m_dWhitePatchIntensity_Sum[%d][%d] %.2f, "
                                       "m_iWhitePatchIntensity_Count[%d][%d] %d: %.2f",
                                       iWhiteStart[s], iWhiteStop[s], s, c, m_dWhitePatchIntensity_Sum[s][c], s, c,
                                       m_iWhitePatchIntensity_Count[s][c], w);
                }
                if (b >= 0) {
                    m_dBlackPatchIntensity_Sum[s][c] += b;
                    ++m_iBlackPatchIntensity_Count[s][c];
                    LOG_FORMATTED("iStart %d, iStop %d, m_dBlackPatchIntensity_Sum[%c][%d] %.2f, "
                                       "m_iBlackPatchIntensity_Count[%d][%d] %d: %.2f",
                                       iBlackStart[s], iBlackStop[s], s == 0 ? 'L' : 'R', c,
                                       m_dBlackPatchIntensity_Sum[s][c], s, c, m_iBlackPatchIntensity_Count[s][c], b);
                    dBlackNow += b;
                    ++iBlackParts;
                }
            }
        if (iBlackParts > 0) {
            dBlackNow /= iBlackParts;
            iStableCount = std::fabs(dBlackNow - dLastBlack) < 1.0 ? iStableCount + 1 : 0;
            dLastBlack = dBlackNow;
        }
        bStable = iStableCount >= m_iBlackLevelIsStableCount;
        LOG_FORMATTED("BlackIsStable=%d iCountScan=%d done=%d", bStable, iCountScan, bDone);
    }
    LOG_FORMATTED("iCount_loop %d, BlackLevelIsStableCount %d", iLoop, iStableCount);

    double dWhiteAll = 0;
    int32_t iWhiteParts = 0;
    double black[2][kColors] = {};
    for (int32_t s = 0; s < 2; ++s)
        for (int32_t c = 0; c < kColors; ++c) {
            if (m_iWhitePatchIntensity_Count[s][c] == 0) {
                if (m_Profiles[static_cast<size_t>(c)].empty())
                    continue;
                LOG_FORMATTED("WARNING: No whitepatch side %d, color %d", s, c);
                LOG_FORMATTED("WhitePatchIntensity_Count==0 side=%s iColor=%d", s == 0 ? "left" : "right", c);
                continue;
            }
            const double w = m_dWhitePatchIntensity_Sum[s][c] / m_iWhitePatchIntensity_Count[s][c];
            dWhiteAll += w;
            ++iWhiteParts;
            LOG_FORMATTED("iStart %d, iStop %d, WhitePatchIntensity[%d][%d] %.2f", iWhiteStart[s], iWhiteStop[s],
                               s, c, w);
            if (m_iBlackPatchIntensity_Count[s][c] > 0) {
                black[s][c] = m_dBlackPatchIntensity_Sum[s][c] / m_iBlackPatchIntensity_Count[s][c];
                LOG_FORMATTED("iStart %d, iStop %d, BlackPatchIntensity[%c][%d] %.2f", iBlackStart[s],
                                   iBlackStop[s], s == 0 ? 'L' : 'R', c, black[s][c]);
            }
        }
    LOG_FORMATTED("WhitePatchIntensity=%f", iWhiteParts > 0 ? dWhiteAll / iWhiteParts : 0.0);
    if (!bStable) {
        Log_Msg("Warning: Check BlackPatchIntensity values above!");
        Log_Msg("Check log file BlackLevelIsStableCount value!");
    }
    Log_Msg_Double("Used limit value, m_dKPlateBlackMaxVal", m_dKPlateBlackMaxVal);
    for (int32_t s = 0; s < 2 && n > 0; ++s) {
        const int32_t iCamera = s == 0 ? 0 : n - 1;
        if (s == 1 && iCamera == 0)
            break; // one camera holds both plates; its check is done
        int32_t iParts = 0;
        double dMean = 0;
        for (int32_t c = 0; c < kColors; ++c)
            if (m_iBlackPatchIntensity_Count[s][c] > 0) {
                dMean += black[s][c];
                ++iParts;
            }
        if (iParts == 0)
            continue;
        dMean /= iParts;
        LOG_FORMATTED("Camera %c", 'A' + iCamera);
        LOG_FORMATTED("Black Patch Value R:%3.2f G:%3.2f B:%3.2f M:%3.2f", black[s][0], black[s][1], black[s][2],
                           dMean);
        for (int32_t c = 0; c < kColors; ++c)
            if (m_iBlackPatchIntensity_Count[s][c] > 0 && black[s][c] > m_dKPlateBlackMaxVal) {
                Log_Msg_Double("ERROR_K_PLATE_CALIBRATION_BLACK_PATCH_TOO_HIGH, m_dKPlateBlackMaxVal",
                               m_dKPlateBlackMaxVal);
                return Raise(PERR_KPLATE_BLACK_TOO_HIGH);
            }
    }
    return iCountScan > 0 ? 0 : SetError(ERROR_3X_K_NOT_FOUND, 0, 0);
}

int32_t C3X_KPlate::Save_StartStop(CScanner& scanner)
{
    C3XLayout& l = *m_ptrLayout;
    const int32_t n = l.m_iCameraCount;
    if (n < 1 || n > kMaxCameras)
        return Raise(PERR_REDO_CAMERA_ADJUSTMENT);
    // Against the calculated values first: nothing wrong goes to the scanner.
    if (l.m_iKPlateStop[0] > l.m_iStart_Calc[0]) {
        Log_Msg("ERROR::iStop_First_KPlate > iStart");
        Log_Msg_Int("ERROR::K-plate left stop", l.m_iKPlateStop[0]);
        Log_Msg_Int("ERROR::First Camera Start", l.m_iStart_Calc[0]);
        return Raise(PERR_REDO_CAMERA_ADJUSTMENT);
    }
    if (l.m_iKPlateStart[1] < l.m_iStop_Calc[n - 1]) {
        Log_Msg("ERROR::iStart_Last_KPlate < iStop[iCameraCount-1]");
        Log_Msg_Int("ERROR::K-plate right start", l.m_iKPlateStart[1]);
        Log_Msg_Int("ERROR::Last Camera Stop", l.m_iStop_Calc[n - 1]);
        return Raise(PERR_REDO_CAMERA_ADJUSTMENT);
    }
    // The inner ends travel as the stitch positions of the scanner.
    int32_t a[kMaxCameras] = {}, b[kMaxCameras] = {};
    for (int32_t i = 0; i + 1 < n; ++i) {
        a[i] = l.m_iStop_Calc[i];
        b[i] = l.m_iStart_Calc[i + 1];
    }
    if (n > 1 && scanner.WriteStitchPositions(std::span(a, size_t(n - 1)), std::span(b, size_t(n - 1))) != 0) {
        Log_Msg_Hex("ERROR: WriteStitchPositions", scanner.m_ErrorNo);
        return Raise(PERR_START_STOP_NOT_SAVED);
    }
    int32_t iStartRead[kMaxCameras] = {}, iStopRead[kMaxCameras] = {};
    iStartRead[0] = l.m_iStart_Calc[0];
    iStopRead[n - 1] = l.m_iStop_Calc[n - 1];
    if (n > 1) {
        int32_t ra[kMaxCameras] = {}, rb[kMaxCameras] = {};
        if (scanner.ReadStitchPositions(std::span(ra, size_t(n - 1)), std::span(rb, size_t(n - 1))) != 0) {
            Log_Msg_Hex("ERROR: ReadStitchPositions", scanner.m_ErrorNo);
            return Raise(PERR_START_STOP_NOT_SAVED);
        }
        for (int32_t i = 0; i + 1 < n; ++i) {
            iStopRead[i] = ra[i];
            iStartRead[i + 1] = rb[i];
        }
    }
    if (l.m_iKPlateStop[0] >= iStartRead[0]) {
        Log_Msg("ERROR::iStop_First_KPlate >= iStart_read[0]");
        Log_Msg_Int("ERROR::K-plate left stop", l.m_iKPlateStop[0]);
        Log_Msg_Int("ERROR::First Camera Start", iStartRead[0]);
        Log_Msg("ERROR: Fixing and ignoring wrong K-plate position!!!!!!!!!!!!!!!!!!!");
        l.m_iKPlateStop[0] = iStartRead[0] - 1;
        l.m_iKPlateStart[0] = std::min(l.m_iKPlateStart[0], l.m_iKPlateStop[0]);
    }
    if (l.m_iKPlateStart[1] < iStopRead[n - 1]) {
        Log_Msg("ERROR::iStart_Last_KPlate < iStop_read[iCameraCount-1]");
        Log_Msg_Int("ERROR::K-plate right start", l.m_iKPlateStart[1]);
        Log_Msg_Int("ERROR::Last Camera Stop", iStopRead[n - 1]);
        Log_Msg("ERROR: Fixing and ignoring wrong K-plate position!!!!!!!!!!!!!!!!!!!");
        l.m_iKPlateStart[1] = iStopRead[n - 1] + 1;
        l.m_iKPlateStop[1] = std::max(l.m_iKPlateStop[1], l.m_iKPlateStart[1]);
    }
    m_iStart_Camera_A = l.m_iKPlateStart[0];
    m_iStop_Camera_A = l.m_iKPlateStop[0];
    m_iStart_EndCamera = l.m_iKPlateStart[1];
    m_iStop_EndCamera = l.m_iKPlateStop[1];
    LOG_FORMATTED("SetKPlatePosition left: m_iStart_Camera_A %d, m_iStop_Camera_A %d", m_iStart_Camera_A,
                       m_iStop_Camera_A);
    LOG_FORMATTED("SetKPlatePosition right: m_iStart_Camera_A %d, m_iStop_Camera_A %d", m_iStart_EndCamera,
                       m_iStop_EndCamera);
    m_iStoredKPlateCenter = (l.m_iKPlateStart[0] + l.m_iKPlateStop[0]) / 2;
    return 0;
}

int32_t C3X_KPlate::CorrectImagePixelStartStop(int32_t iScanDpi)
{
    C3XLayout& l = *m_ptrLayout;
    const int32_t iDpi = std::max(l.m_iDPI, 1);
    if (iScanDpi <= 0)
        iScanDpi = iDpi;
    const int64_t iCentre = (static_cast<int64_t>(l.m_iKPlateStart[0]) + l.m_iKPlateStop[0]) / 2;
    const int32_t iFound = static_cast<int32_t>(iCentre * iScanDpi / iDpi);
    LOG_FORMATTED("K-plate Center ( %d DPI ) = %d", iScanDpi, iFound);
    if (m_iStoredKPlateCenter < 0)
        m_iStoredKPlateCenter = static_cast<int32_t>(iCentre);
    const int32_t iStored = static_cast<int32_t>(static_cast<int64_t>(m_iStoredKPlateCenter) * iScanDpi / iDpi);
    const int32_t iPixelError = iFound - iStored;
    LOG_FORMATTED("C3X_KPlate::CorrectImagePixelStartStop iPixelError %d", iPixelError);
    // The start/stop values are kept at the layout's resolution.
    const int32_t iShift = static_cast<int32_t>(static_cast<int64_t>(iPixelError) * iDpi / iScanDpi);
    for (int32_t c = 0; c < std::clamp(l.m_iCameraCount, 0, kMaxCameras); ++c) {
        l.m_iStart_Calc[c] += iShift;
        l.m_iStop_Calc[c] += iShift;
    }
    return iPixelError;
}
