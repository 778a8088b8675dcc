#include "calibration/C3X.h"

#include <algorithm>
#include <cmath>

#include "datafiles/ProgramErrors.h"
#include "imaging/Picture.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "scanner/Scanner.h"

namespace {

constexpr int32_t kMeanWidth = 20;

// Integer mean of the n pixels from x; -1 when they are not all there.
int32_t MeanAt(std::span<const uint8_t> p, int64_t x, int32_t n)
{
    if (x < 0 || n <= 0 || x + n > static_cast<int64_t>(p.size()))
        return -1;
    int32_t iSum = 0;
    for (int32_t i = 0; i < n; ++i)
        iSum += p[static_cast<size_t>(x + i)];
    return iSum / n;
}

int32_t Clamp(int64_t v, int64_t lo, int64_t hi)
{
    return static_cast<int32_t>(std::clamp(v, lo, std::max(lo, hi)));
}

} // namespace

bool MakeRowPicture(std::span<const uint8_t> profile, int32_t iDpi, CPicture& pic)
{
    if (profile.empty() || !pic.Create(static_cast<int32_t>(profile.size()), 1, std::max(iDpi, 1), PIC_GRAY))
        return false;
    std::copy(profile.begin(), profile.end(), pic.GetDataPointer());
    pic.m_iHeight = 1;
    pic.m_iSize = static_cast<int32_t>(profile.size());
    return true;
}

// ================================================================ layout

int32_t C3XLayout::CameraOffset(int32_t c) const
{
    int32_t iOffset = 0;
    for (int32_t i = 0; i < std::clamp(c, 0, kMaxCameras); ++i)
        iOffset += std::max(m_iCameraPixels[i], 0);
    return iOffset;
}

int32_t C3XLayout::DarkPixels(int32_t c) const
{
    if (c < 0 || c >= kMaxCameras)
        return 0;
    return std::clamp(m_iBlackPixelStop[c] + 1, 0, std::max(m_iCameraPixels[c] / 4, 0));
}

void C3XLayout::SetCameras(int32_t iCameras, int32_t iPixelsPerCamera, int32_t iDarkPixels, int32_t iDpi)
{
    m_iCameraCount = std::clamp(iCameras, 0, kMaxCameras);
    m_iDPI = iDpi;
    for (int32_t c = 0; c < kMaxCameras; ++c) {
        m_iCameraPixels[c] = c < m_iCameraCount ? iPixelsPerCamera : 0;
        m_iBlackPixelStop[c] = c < m_iCameraCount ? iDarkPixels - 1 : 0;
    }
    m_iBlackStop = iDarkPixels - 1;
}

// ================================================================ error table

const char* C3X::ErrorName(int32_t iCode)
{
    static const char* const kNames[] = {"ERROR_3X_NONE",          "ERROR_3X_X_NOT_FOUND",     "ERROR_3X_K_NOT_FOUND",
                                         "ERROR_3X_SWU_NOT_FOUND", "ERROR_3X_FOCUS_NOT_FOUND", "ERROR_3X_UNKNOWN"};
    return iCode >= 0 && iCode < 5 ? kNames[iCode] : kNames[5];
}

C3X::C3X() { ReSet(); }

int32_t C3X::SetError(int32_t iCode, int32_t iCamera, int32_t iSide)
{
    if (CheckCameraIndex(iCamera, iSide) && m_eErrors[static_cast<size_t>(iCamera)][static_cast<size_t>(iSide)] == 0)
        m_eErrors[static_cast<size_t>(iCamera)][static_cast<size_t>(iSide)] = iCode;
    m_iLastError = iCode;
    Log_Msg(FormatText("C3X::SetError camera %d, side %d: %d %.50s", iCamera, iSide, iCode, ErrorName(iCode)));
    return m_iLastError;
}

void C3X::ReSet()
{
    for (auto& camera : m_eErrors)
        camera.fill(ERROR_3X_NONE);
    m_iLastError = ERROR_3X_NONE;
    Log_Msg("C3X::ReSet cleared errors");
}

int32_t C3X::GetError(int32_t iCamera, int32_t iSide) const
{
    return CheckCameraIndex(iCamera, iSide) ? m_eErrors[static_cast<size_t>(iCamera)][static_cast<size_t>(iSide)]
                                            : ERROR_3X_NONE;
}

int32_t C3X::AnyError() const
{
    for (int32_t c = 0; c < std::clamp(m_ptrLayout->m_iCameraCount, 0, kMaxCameras); ++c)
        for (int32_t s = 0; s < kSides; ++s)
            if (const int32_t e = GetError(c, s))
                return e;
    return ERROR_3X_NONE;
}

int32_t C3X::Raise(int32_t iNumber)
{
    m_iProgramError = iNumber;
    Log_Msg(FormatText("C3X program error %d", iNumber));
    return iNumber;
}

void C3X::SetStitchPixels(int32_t iPixels)
{
    if (iPixels != m_iStitchPixels)
        Log_Msg(FormatText("Number of stitch pixels changed due to conf. manager setting: %d -> %d", m_iStitchPixels,
                           iPixels));
    m_iStitchPixels = std::max(iPixels, 0);
}

// ================================================================ rough stitch area

int32_t C3X::Find_Rough_X(std::span<const uint8_t> profile, int32_t iCamera, int32_t iSide, int32_t iFirst,
                          int32_t iLast)
{
    if (!CheckCameraIndex(iCamera, iSide))
        return SetError(ERROR_3X_UNKNOWN, iCamera, iSide);
    const int32_t iDpi = std::max(m_ptrLayout->m_iDPI, 1);
    const int64_t iSize = static_cast<int64_t>(profile.size());
    iFirst = Clamp(iFirst, 0, iSize - 1);
    iLast = Clamp(iLast, 0, iSize - kMeanWidth);
    Mark(C3XMark::WINDOW_START, iFirst, iCamera, iSide);
    Mark(C3XMark::WINDOW_END, iLast, iCamera, iSide);
    if (iSize < kMeanWidth || iLast < iFirst) {
        Log_Msg(FormatText("C3X::Find_Rough_X camera %d, side %d: window %d..%d shorter than the mean", iCamera, iSide,
                           iFirst, iLast));
        return SetError(ERROR_3X_X_NOT_FOUND, iCamera, iSide);
    }
    int32_t iPeak = iFirst, iPeakMean = -1;
    for (int32_t x = iFirst; x <= iLast; ++x)
        if (const int32_t m = MeanAt(profile, x, kMeanWidth); m > iPeakMean) {
            iPeakMean = m;
            iPeak = x;
        }
    const int32_t iLimit = iPeakMean * 40 / 100;
    int32_t iStart = -1, iStop = -1;
    if (!m_bNoStitchArea && !m_bTypeGroupB) {
        const int32_t iBound = std::max({iPeak - iDpi * 60 / 100, iFirst, kMeanWidth});
        for (int32_t x = std::min(iBound, iPeak); x <= iPeak; ++x)
            if (MeanAt(profile, x, kMeanWidth) > iLimit) {
                iStart = x;
                break;
            }
        if (iStart < 0 || iStart == iBound) {
            Log_Msg(FormatText("C3X::Find_Rough_X camera %d, side %d: %d..%d, width %d, limit %d", iCamera, iSide,
                               iStart, iStart, 0, iLimit));
            return SetError(ERROR_3X_X_NOT_FOUND, iCamera, iSide);
        }
        iStop = std::min<int32_t>(iPeak + iDpi / 2, static_cast<int32_t>(iSize - kMeanWidth));
        for (int32_t x = iPeak; x <= iPeak + iDpi / 2; ++x) {
            const int32_t m = MeanAt(profile, x, kMeanWidth);
            if (m < 0)
                break;
            if (m < iLimit) {
                iStop = x;
                break;
            }
        }
    } else {
        // Fixed windows: the area is the first bright stretch from the start.
        for (int32_t x = iFirst; x <= iLast; ++x)
            if (MeanAt(profile, x, kMeanWidth) > iLimit) {
                iStart = x + 10;
                break;
            }
        if (iStart < 0 || iStart > iLast + kMeanWidth - 20) {
            Log_Msg(FormatText("C3X::Find_Rough_X camera %d, side %d: %d..%d, width %d, limit %d", iCamera, iSide,
                               iStart, iStart, 0, iLimit));
            return SetError(ERROR_3X_X_NOT_FOUND, iCamera, iSide);
        }
        for (int32_t x = iStart + iDpi * 3 / 8; x <= iLast; ++x)
            if (const int32_t m = MeanAt(profile, x, kMeanWidth); m >= 0 && m < iPeakMean / 2) {
                iStop = x - 10;
                break;
            }
        if (iStop < 0 || iStop > iLast + kMeanWidth - 20) {
            Log_Msg(FormatText("C3X::Find_Rough_X camera %d, side %d: %d..%d, width %d, limit %d", iCamera, iSide,
                               iStart, iStop, iStop - iStart, iLimit));
            return SetError(ERROR_3X_X_NOT_FOUND, iCamera, iSide);
        }
    }
    m_iRoughStart[iCamera][iSide] = iStart;
    m_iRoughStop[iCamera][iSide] = iStop;
    Log_Msg(FormatText("C3X::Find_Rough_X camera %d, side %d: %d..%d, width %d, limit %d", iCamera, iSide, iStart,
                       iStop, iStop - iStart, iLimit));
    return ERROR_3X_NONE;
}

// ================================================================ stitch mark

int32_t C3X::Find_SWU(std::span<const uint8_t> profile, int32_t iCamera, int32_t iSide, int32_t iFirst, int32_t iLast)
{
    if (!CheckCameraIndex(iCamera, iSide))
        return SetError(ERROR_3X_UNKNOWN, iCamera, iSide);
    const int64_t iSize = static_cast<int64_t>(profile.size());
    iFirst = Clamp(iFirst, 0, iSize - 1);
    iLast = Clamp(iLast, 0, iSize - 1);
    if (iSize < 3 || iLast - iFirst < 2)
        return SetError(ERROR_3X_SWU_NOT_FOUND, iCamera, iSide);
    auto at = [&](int32_t x) { return static_cast<int32_t>(profile[static_cast<size_t>(x)]); };
    int32_t iMin = 255, iMax = 0;
    for (int32_t x = iFirst; x <= iLast; ++x) {
        iMin = std::min(iMin, at(x));
        iMax = std::max(iMax, at(x));
    }
    const int32_t iThreshold = (iMin + iMax) / 2;
    // The area may reach the camera's dark end or the card on the right of
    // the window: the window ends at the last bright pixel.
    while (iLast > iFirst && at(iLast) <= iThreshold)
        --iLast;
    // Past the dark at the window start, the first dark pixel must lead to a
    // minimum inside the window, else there is no line at all.
    int32_t x = iFirst;
    while (x <= iLast && at(x) < iThreshold)
        ++x;
    while (x <= iLast && at(x) >= iThreshold)
        ++x;
    bool bMinimum = false;
    for (; x < iLast; ++x)
        if (at(x + 1) > at(x)) {
            bMinimum = true;
            break;
        }
    if (!bMinimum || iMax - iMin < 8) {
        Log_Msg(FormatText("C3X::Find_SWU camera %d, side %d: no line in %d..%d", iCamera, iSide, iFirst, iLast));
        return SetError(ERROR_3X_SWU_NOT_FOUND, iCamera, iSide);
    }

    CPicture row;
    const int32_t iWidth = iLast - iFirst + 1;
    if (!MakeRowPicture(profile.subspan(static_cast<size_t>(iFirst), static_cast<size_t>(iWidth)),
                        m_ptrLayout->m_iDPI, row))
        return SetError(ERROR_3X_UNKNOWN, iCamera, iSide);
    const double dWire = m_ptrLayout->m_iDPI / 83.82;
    std::vector<double> centres;
    int32_t iColumn = 0;
    while (iColumn < iWidth - 1) {
        double dCentre = 0.0;
        if (!row.FindCenterOfVerticalLine(0, iColumn, iWidth - 1, iThreshold, dCentre))
            break;
        centres.push_back(dCentre + iFirst);
        Mark(C3XMark::LINE, dCentre + iFirst, iCamera, iSide);
        iColumn = static_cast<int32_t>(dCentre) + 2;
        while (iColumn < iWidth && row.GetDataPointer()[iColumn] < iThreshold)
            ++iColumn;
    }
    bool bFound = false;
    for (size_t i = 1; i < centres.size(); ++i)
        if (centres[i] - centres[i - 1] > 1.8 * dWire) {
            m_dGroup_Center[iCamera][iSide] = (centres[i] + centres[i - 1]) / 2;
            bFound = true;
        }
    m_dLastCenter = centres.empty() ? 0.0 : centres.back();
    Log_Msg(FormatText("C3X::Find_SWU camera %d, side %d: %f, dLastCenter %f", iCamera, iSide,
                       bFound ? m_dGroup_Center[iCamera][iSide] : 0.0, m_dLastCenter));
    if (!bFound) {
        m_dGroup_Center[iCamera][iSide] = 0.0;
        return SetError(ERROR_3X_SWU_NOT_FOUND, iCamera, iSide);
    }
    Mark(C3XMark::CENTER, m_dGroup_Center[iCamera][iSide], iCamera, iSide);
    return ERROR_3X_NONE;
}

bool C3X::RoughWindow(int32_t iCamera, int32_t iSide, int32_t iLineLength, int32_t& iFirst, int32_t& iLast) const
{
    const C3XLayout& l = *m_ptrLayout;
    if (iCamera < 0 || iCamera >= l.m_iCameraCount || l.m_iCameraPixels[iCamera] <= 0)
        return false;
    if ((iSide == X3_LEFT && iCamera == 0) || (iSide == X3_RIGHT && iCamera == l.m_iCameraCount - 1))
        return false;
    const int32_t iDpi = std::max(l.m_iDPI, 1);
    const int32_t iStart = l.CameraOffset(iCamera), iPixels = l.m_iCameraPixels[iCamera];
    // A stitch area reaches half the overlap plus 0.2 inch into the camera
    // from its dark end. The overlap is a pixel count of the scanner, so at a
    // low resolution it covers more of the sheet: half an inch left no card
    // before the area at 300 dpi, and the rough finder's left end fell on
    // the window start. 0.8 inch holds the area and the card before it.
    const int32_t iReach = iDpi * 8 / 10;
    switch (iSide) {
    case X3_LEFT:
        iFirst = iStart;
        iLast = iStart + iReach;
        break;
    case X3_RIGHT:
        iFirst = iStart + iPixels - iReach;
        iLast = iStart + iPixels - 1;
        break;
    default: {
        // The middle's white area is centred on the camera's middle; its
        // mark sits 0.15 inch to the right, inside it.
        const int32_t iMark = iStart + iPixels / 2;
        iFirst = iMark - iDpi * 35 / 100;
        iLast = iMark + iDpi * 35 / 100;
        break;
    }
    }
    iFirst = std::clamp(iFirst, iStart, iStart + iPixels - 1);
    iLast = std::clamp(iLast, iFirst, std::min(iStart + iPixels - 1, std::max(iLineLength - 1, 0)));
    return iLast > iFirst;
}

int32_t C3X::FindAllStitchMarks(std::span<const uint8_t> profile)
{
    int32_t iResult = ERROR_3X_NONE;
    for (int32_t c = 0; c < m_ptrLayout->m_iCameraCount; ++c)
        for (int32_t s = 0; s < kSides; ++s) {
            int32_t iFirst = 0, iLast = 0;
            if (!RoughWindow(c, s, static_cast<int32_t>(profile.size()), iFirst, iLast))
                continue;
            int32_t e = Find_Rough_X(profile, c, s, iFirst, iLast);
            // The wire pair itself can end the rough area early when its
            // peak lies left of the wires; the mark is searched over the
            // sheet's 0.4 inch stitch area from the area's start.
            const int32_t iEnd =
                std::clamp(std::max(m_iRoughStop[c][s], m_iRoughStart[c][s] + m_ptrLayout->m_iDPI * 45 / 100),
                           m_iRoughStart[c][s], iLast);
            if (e == ERROR_3X_NONE)
                e = Find_SWU(profile, c, s, m_iRoughStart[c][s], iEnd);
            if (e != ERROR_3X_NONE && iResult == ERROR_3X_NONE)
                iResult = e;
        }
    return iResult;
}

// ================================================================ start and stop

int32_t C3X::Set_Classic_OAP_Start_Stop()
{
    C3XLayout& l = *m_ptrLayout;
    const int32_t n = l.m_iCameraCount;
    Log_Msg("C3X::Set_Classic_OAP_Start_Stop");
    if (n < 1 || n > kMaxCameras) {
        Log_Msg(FormatText("m_ptrLayout->m_iCameraCount %d", n));
        return Raise(PERR_CCD_NOT_CENTERED);
    }
    if (n == 1)
        Log_Msg("Single Camera");
    Log_Msg_Int("m_ptrLayout->m_iDPI", l.m_iDPI);
    Log_Msg_Int("m_ptrLayout->m_iCameraCount", n);
    Log_Msg_Int("m_ptrLayout->m_iKPlateStart[0]", l.m_iKPlateStart[0]);
    Log_Msg_Int("m_ptrLayout->m_iKPlateStop[0]", l.m_iKPlateStop[0]);
    Log_Msg_Int("m_ptrLayout->m_iKPlateStart[1]", l.m_iKPlateStart[1]);
    Log_Msg_Int("m_ptrLayout->m_iKPlateStop[1]", l.m_iKPlateStop[1]);

    // Each camera gives its pixels from the stitch mark it shares with its
    // left neighbour to the one it shares with its right neighbour; the
    // outer ends stop at the K-plates.
    int32_t start[kMaxCameras] = {}, stop[kMaxCameras] = {};
    for (int32_t c = 0; c < n; ++c) {
        const int32_t iOffset = l.CameraOffset(c);
        start[c] = c == 0 ? l.m_iKPlateStop[0] + 1
                          : static_cast<int32_t>(std::lround(m_dGroup_Center[c][X3_LEFT])) - iOffset;
        stop[c] = c == n - 1 ? l.m_iKPlateStart[1] - 1
                             : static_cast<int32_t>(std::lround(m_dGroup_Center[c][X3_RIGHT])) - iOffset;
    }
    const std::string szDash(50, '-');
    Log_Msg("Layout");
    for (int32_t c = 0; c < n; ++c)
        Log_Msg(FormatText("camera %c: start %d, stop %d", 'A' + c, l.m_iStart_Calc[c], l.m_iStop_Calc[c]));
    Log_Msg(szDash);
    Log_Msg("Black Layout");
    for (int32_t c = 0; c < n; ++c)
        Log_Msg(FormatText("camera %c: black pixel stop %d", 'A' + c, l.m_iBlackPixelStop[c]));
    Log_Msg(szDash);
    Log_Msg("Calculated");
    for (int32_t c = 0; c < n; ++c)
        Log_Msg(FormatText("camera %c: start %d, stop %d", 'A' + c, start[c], stop[c]));
    Log_Msg(szDash);
    Log_Msg("Black Calculated");
    for (int32_t c = 0; c < n; ++c)
        Log_Msg(FormatText("camera %c: black pixel stop %d, pixels %d", 'A' + c, l.m_iBlackPixelStop[c],
                           l.m_iCameraPixels[c]));
    Log_Msg(szDash);

    const int32_t N = m_iStitchPixels;
    auto fail = [&](const std::string& szMessage, int32_t iError) {
        ShowMessage(szMessage);
        return Raise(iError);
    };
    for (int32_t i = 0; i < n; ++i) {
        const char cCam = static_cast<char>('A' + i);
        const int32_t iBlack = l.m_iBlackPixelStop[i];
        if (start[i] <= iBlack) {
            Log_Msg(FormatText("m_iStart_Calc[%d] %d <= black pixel stop[%d] %d", i, start[i], i, iBlack));
            return fail(FormatText("Save Start Stop failed.\nCamera %c Start not correct.", cCam), PERR_CCD_NOT_CENTERED);
        }
        if (stop[i] < 100) {
            Log_Msg(FormatText("m_iStop_Calc[%d] %d < 100", i, stop[i]));
            Log_Msg(FormatText("ERROR: Camera %c Stop not correct.", cCam));
            return fail(FormatText("Save Start Stop failed.\nCamera %c Stop not correct.", cCam), PERR_CCD_NOT_CENTERED);
        }
        if (start[i] <= iBlack + N) {
            Log_Msg(FormatText("ERROR: Camera %c Start not correct. Not %d pixels for stitching.", cCam, N));
            Log_Msg(FormatText("m_iStart_Calc[%d] %d <= black pixel stop %d + %d", i, start[i], iBlack, N));
            return fail(FormatText("Save Start Stop failed.\nCamera %c Start not correct.\nNot %d pixels for stitching.",
                                   cCam, N),
                        PERR_CCD_NOT_CENTERED);
        }
        if (stop[i] >= l.m_iCameraPixels[i] - N) {
            Log_Msg(FormatText("ERROR: Camera %c Stop not correct. Not %d pixels for stitching.", cCam, N));
            Log_Msg(FormatText("m_iStop_Calc[%d] %d >= total camera pixels %d - %d", i, stop[i], l.m_iCameraPixels[i],
                               N));
            return fail(FormatText("Save Start Stop failed.\nCamera %c Stop not correct.\nNot %d pixels for stitching.",
                                   cCam, N),
                        PERR_CCD_NOT_CENTERED);
        }
    }
    if (l.m_iKPlateStop[0] > start[0]) {
        Log_Msg("ERROR::m_ptrLayout->m_iKPlateStop[0] > m_iStart_Calc");
        Log_Msg_Int("ERROR::K-plate left stop", l.m_iKPlateStop[0]);
        Log_Msg_Int("ERROR::First Camera Start", start[0]);
        return fail("Save Start Stop failed.\nLeft K-plate start > stop.", PERR_REDO_CAMERA_ADJUSTMENT);
    }
    if (l.m_iKPlateStart[1] < stop[n - 1]) {
        Log_Msg("ERROR::m_ptrLayout->m_iKPlateStatr[1] < m_iStop_Calc[iCameraCount-1]");
        Log_Msg_Int("ERROR::K-plate right start", l.m_iKPlateStart[1]);
        Log_Msg_Int("ERROR::Last Camera Stop", stop[n - 1]);
        return fail("Save Start Stop failed.\nRight K-plate start < stop.", PERR_REDO_CAMERA_ADJUSTMENT);
    }
    for (int32_t c = 0; c < n; ++c) {
        l.m_iStart_Calc[c] = start[c];
        l.m_iStop_Calc[c] = stop[c];
    }
    return 0;
}

int32_t C3X::CutToPicSize(CScanner& scanner)
{
    C3XLayout& l = *m_ptrLayout;
    std::array<int32_t, kMaxCameras> first{}, last{};
    if (scanner.GetCameraPixelRanges(first, last) != 0) {
        ShowMessage("CIS_ReadStartStop failed.\nStart stop not saved");
        Log_Msg("ERROR: CIS_ReadStartStop failed. Start stop not saved");
        return Raise(PERR_START_STOP_NOT_SAVED);
    }
    const int32_t iDpi = scanner.GetOpticalResolution();
    if (iDpi > 0 && iDpi != l.m_iDPI) {
        Log_Msg_Int("New dpi", iDpi);
        l.m_iDPI = iDpi;
    }
    bool bAll = l.m_iCameraCount > 0;
    int32_t iLayoutTotal = 0, iMiddleTotal = 0;
    for (int32_t c = 0; c < std::clamp(l.m_iCameraCount, 0, kMaxCameras); ++c) {
        const int32_t iStart = first[static_cast<size_t>(c)], iStop = last[static_cast<size_t>(c)];
        const int32_t iPixels = iStop - iStart + 1;
        Log_Msg(FormatText("Layout:      camera %c, start %3d, stop %4d, pixels %4d", 'A' + c, iStart, iStop, iPixels));
        iLayoutTotal += std::max(iPixels, 0);
        const int32_t iMiddle = static_cast<int32_t>(std::lround(m_dGroup_Center[c][X3_MIDDEL]));
        if (iMiddle <= 0) {
            if (iPixels > 0)
                Log_Msg(FormatText("WARNING! X3_MIDDEL of camera %c not found: start %3d, stop %4d", 'A' + c, iStart,
                                   iStop));
            else
                Log_Msg(FormatText("WARNING! X3_MIDDEL of camera %c not found", 'A' + c));
            bAll = false;
            continue;
        }
        // The middle reference cuts the camera at its own middle mark.
        const int32_t iMidStart = l.m_iStart_Calc[c], iMidStop = l.m_iStop_Calc[c];
        Log_Msg(FormatText("X3_MIDDEL:   start %3d, stop %4d, pixels %4d", iMidStart, iMidStop,
                           iMidStop - iMidStart + 1));
        iMiddleTotal += std::max(iMidStop - iMidStart + 1, 0);
        if (iPixels <= 0)
            bAll = false;
    }
    Log_Msg(FormatText("Total pixels:  layout %d, X3_middle %d", iLayoutTotal, iMiddleTotal));
    if (!bAll) {
        ShowMessage("Unable to save. Not all start/stop values found.");
        Log_Msg("ERROR: Unable to save. Not all start/stop values found.");
        return Raise(PERR_START_STOP_NOT_SAVED);
    }
    return 0;
}
