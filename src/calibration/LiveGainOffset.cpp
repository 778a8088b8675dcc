#include "calibration/LiveGainOffset.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "datafiles/ProgramErrors.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

// Marks of the previous-value words: no previous value, and a gain lowered
// because the white level overshot (newer form).
constexpr int16_t kNone = static_cast<int16_t>(0xFFFF);
constexpr int16_t kOvershot = static_cast<int16_t>(0xFFFE);

// Words of a channel: odd 0..3, even 4..7 (gain, offset, previous gain,
// previous offset).
struct CWords {
    int16_t& m_Gain;
    int16_t& m_Offset;
    int16_t& m_PrevGain;
    int16_t& m_PrevOffset;
};
CWords Channel(int16_t* w, int iOddEven)
{
    const int b = iOddEven ? 4 : 0;
    return {w[b], w[b + 1], w[b + 2], w[b + 3]};
}

char Letter(int32_t iCamera)
{
    return static_cast<char>('A' + std::clamp(iCamera, 0, 25));
}

int32_t Round(double d)
{
    return static_cast<int32_t>(std::lround(d));
}

} // namespace

// ================================================================ block

CLgoBlock CLgoBlock::FromContScan(const CContScan& scan)
{
    CLgoBlock b;
    b.m_iDPI = scan.Picture().m_iResolution;
    b.m_iMode = scan.m_iColorKind == 2 ? 3 : 2;
    b.m_iReceived = scan.ReceivedBytes();
    b.m_iLines = scan.LinesPerBlock();
    b.m_iPixelsPerLine = scan.PixelsPerLine();
    b.m_CameraPixels = scan.CameraPixels();
    for (int k = 0; k < 3; ++k) {
        b.m_pPlanes[size_t(k)] = scan.Plane(k).data();
        b.m_iPlaneSize[size_t(k)] = scan.Plane(k).size();
    }
    // Row 1 of the sensor gives the even scan lines, row 2 the odd ones.
    b.m_LampOff.assign(static_cast<size_t>(std::max(b.m_iLines, 0)), 0);
    for (int32_t y = 0; y < b.m_iLines; ++y) {
        const bool bEven = (scan.FirstLineOfBlock() + y) % 2 == 0;
        b.m_LampOff[size_t(y)] = (bEven ? scan.m_bLightOff : scan.m_bLightOffRow2) ? 1 : 0;
    }
    return b;
}

int32_t CLgoBlock::Sample(int32_t iColor, int32_t iRow, int32_t x) const
{
    if (iColor < 0 || iColor > 2 || iRow < 0 || iRow >= m_iLines || x < 0 || x >= m_iPixelsPerLine)
        return -1;
    const size_t i = static_cast<size_t>(iRow) * static_cast<size_t>(m_iPixelsPerLine) + static_cast<size_t>(x);
    const uint8_t* p = m_pPlanes[size_t(iColor)];
    if (!p || i >= m_iPlaneSize[size_t(iColor)])
        return -1;
    return p[i];
}

CLgoScannerKind CLgoScannerKind::From(CScanner& scanner)
{
    CLgoScannerKind k;
    k.m_iType = scanner.GetScannerType();
    k.m_bGroupA = scanner.IsTypeGroupA();
    k.m_bGroupB = scanner.IsTypeGroupB();
    k.m_bGroupD = scanner.IsTypeGroupD();
    return k;
}

// ================================================================ data of one mode

CLiveGainOffset_Data::CLiveGainOffset_Data(const CLgoScannerKind& kind, int32_t iDPI) : m_iDPI(iDPI), m_Kind(kind)
{
    if (kind.m_bGroupB) {
        m_iWhite_Done_Limit = 2;
        m_iBlack_MaxAllowed = 10;
        m_iStep[LGO_MODE_GRAY] = 16;
    }
    m_bOffsetFrozen = kind.m_iType == 28 || kind.m_iType == 29 || kind.m_iType == 30;
    m_GainOffset.m_iCameraCount = CGainOffset::kMaxCameras;
    for (auto& camera : m_GainOffset.m_Cameras)
        for (auto& words : camera.m_Words) {
            for (int i = 0; i < 8; ++i)
                words[i] = 128;
        }
}

void CLiveGainOffset_Data::InitGainOffset(int32_t iCamera, int32_t iColor, int32_t iGain, int32_t iOffset)
{
    int16_t* w = Words(iCamera, iColor);
    for (int iOddEven = 0; iOddEven < 2; ++iOddEven) {
        CWords c = Channel(w, iOddEven);
        c.m_Gain = static_cast<int16_t>(iGain);
        c.m_Offset = static_cast<int16_t>(iOffset);
        c.m_PrevGain = kNone;
        c.m_PrevOffset = kNone;
    }
}

int32_t CLiveGainOffset_Data::Fail(int32_t iCamera, int32_t iNumber)
{
    m_bCameraFailed[size_t(iCamera & 7)] = true;
    CCamera::SetGlobalCameraFailed(iCamera);
    const int32_t iCode = MakeProgramError(static_cast<uint32_t>(iNumber));
    if (m_iCameraError[size_t(iCamera & 7)] == 0)
        m_iCameraError[size_t(iCamera & 7)] = iCode;
    if (m_ErrorNo == 0)
        m_ErrorNo = iCode;
    return iCode;
}

int32_t CLiveGainOffset_Data::CheckLimits(int32_t iCamera, int32_t iColor, int32_t iOddEven, int32_t iBlack,
                                          int32_t iWhite, bool bDone)
{
    if (!m_bCheckLimits || (!bDone && !m_CheckAndSetGobalCameraFailedNow))
        return 0;
    const char c = Letter(iCamera);
    if (iBlack > m_iBlack_MaxAllowed) {
        Log_Msg(FormatText("ERROR: ERROR_UNABLE_TO_ADJUST_OFFSET_ENOUGH on camera %c color %d oddEven %d: iBlack %d > "
                           "m_iBlack_MaxAllowed %d",
                           c, iColor, iOddEven, iBlack, m_iBlack_MaxAllowed));
        return Fail(iCamera, PERR_OFFSET_NOT_ADJUSTABLE);
    }
    if (iWhite < m_iWhite_MinAllowed) {
        Log_Msg(FormatText("ERROR: ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH on camera %c color %d oddEven %d: iWhite %d < "
                           "m_iWhite_MinAllowed %d",
                           c, iColor, iOddEven, iWhite, m_iWhite_MinAllowed));
        return Fail(iCamera, PERR_GAIN_NOT_ADJUSTABLE);
    }
    if (m_CheckAndSetGobalCameraFailedNow && !bDone) {
        Log_Msg(FormatText("ERROR: ERROR_LIVE_GAIN_OFFSET_MAX_CALIBRATION_LOOP_EXCEEDED on camera %c color %d oddEven "
                           "%d: iBlack %d (m_iBlack_Target %d, m_iBlack_Done_Limit %d), iWhite %d (m_iWhite_Target "
                           "%d, m_iWhite_Done_Limit %d)",
                           c, iColor, iOddEven, iBlack, m_iBlack_Target, m_iBlack_Done_Limit, iWhite,
                           m_iWhite_Target, m_iWhite_Done_Limit));
        return Fail(iCamera, PERR_LGO_MAX_LOOPS);
    }
    return 0;
}

int32_t CLiveGainOffset_Data::Do(int32_t iCamera, int32_t iColor, int32_t iBlackOdd, int32_t iWhiteOdd,
                                 int32_t iBlackEven, int32_t iWhiteEven)
{
    if (iCamera < 0 || iCamera > 7 || iColor < 0 || iColor > 3)
        return 0;
    const int32_t iMode = ModeIndex(iColor);
    const int32_t iStep = m_iStep[iMode];
    int16_t* w = Words(iCamera, iColor);
    int32_t iResult = 0;
    for (int iOddEven = 1; iOddEven >= 0; --iOddEven) { // even channel first
        CWords ch = Channel(w, iOddEven);
        const int32_t iBlack = iOddEven ? iBlackEven : iBlackOdd;
        const int32_t iWhite = iOddEven ? iWhiteEven : iWhiteOdd;
        bool bDone = true;

        int32_t iDiff = std::abs(iBlack - m_iBlack_Target);
        m_iBlack_SumDiff += iDiff;
        if (iDiff > m_iBlack_Done_Limit) {
            const int32_t iNew = std::clamp(ch.m_Offset + (iBlack <= m_iBlack_Target ? iStep : -iStep), 0, 255);
            if ((iNew != ch.m_Offset && iNew != ch.m_PrevOffset) ||
                (m_Kind.m_bGroupB && iBlack > m_iBlack_Target + m_iBlack_Done_Limit)) {
                bDone = false;
                if (!m_bOffsetFrozen) {
                    ch.m_PrevOffset = ch.m_Offset;
                    ch.m_Offset = static_cast<int16_t>(iNew);
                }
            }
        }

        iDiff = std::abs(iWhite - m_iWhite_Target);
        m_iWhite_SumDiff += iDiff;
        if (iDiff > m_iWhite_Done_Limit) {
            const int32_t iNew = std::clamp(ch.m_Gain + (iWhite <= m_iWhite_Target ? iStep : -iStep), 0, 255);
            if ((iNew != ch.m_Gain && iNew != ch.m_PrevGain) ||
                (m_Kind.m_bGroupB && iWhite < m_iWhite_Target - m_iWhite_Done_Limit)) {
                bDone = false;
                ch.m_PrevGain = ch.m_Gain;
                ch.m_Gain = static_cast<int16_t>(iNew);
            } else {
                Log_Msg(FormatText("LGO white level stop: camera %c color %d oddEven %d: iBlack %d (m_iBlack_Target %d, "
                                   "m_iBlack_Done_Limit %d), iWhite %d (m_iWhite_Target %d, m_iWhite_Done_Limit %d), "
                                   "iNewGain %d, oddEven.m_Gain %d, OldOddEven.m_Gain %d",
                                   Letter(iCamera), iColor, iOddEven, iBlack, m_iBlack_Target, m_iBlack_Done_Limit,
                                   iWhite, m_iWhite_Target, m_iWhite_Done_Limit, iNew, ch.m_Gain, ch.m_PrevGain));
                if (m_Kind.m_iType == 11 && iDiff > 3 * m_iWhite_Done_Limit) {
                    Log_Msg_Int("Error::ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH::iDiffAbs", iDiff);
                    Log_Msg_Int("Error::ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH::iWhite", iWhite);
                    Log_Msg_Int("Error::ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH::m_iWhite_Target", m_iWhite_Target);
                    Log_Msg_Int("Error::ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH::m_iWhite_Done_Limit", m_iWhite_Done_Limit);
                    return Fail(iCamera, PERR_GAIN_NOT_ADJUSTABLE);
                }
            }
        }
        if (!bDone)
            m_bDone[iMode] = false;
        if (iResult == 0)
            iResult = CheckLimits(iCamera, iColor, iOddEven, iBlack, iWhite, bDone);
    }
    const CWords even = Channel(w, 1), odd = Channel(w, 0);
    Log_Msg(std::string("CLiveGainOffset_Data::Do") + " Camera" + Letter(iCamera) + " Color" +
            std::to_string(iColor) + "\tBlack Odd\t" + std::to_string(iBlackOdd) + "\tBlack Even\t" +
            std::to_string(iBlackEven) + "\tWhite Odd\t" + std::to_string(iWhiteOdd) + "\tWhite Even\t" +
            std::to_string(iWhiteEven) + "\tStep\t" + std::to_string(iStep) + "\tEven G/O\t" +
            std::to_string(even.m_Gain) + "/" + std::to_string(even.m_Offset) + "\tOdd G/O\t" +
            std::to_string(odd.m_Gain) + "/" + std::to_string(odd.m_Offset));
    return iResult;
}

int32_t CLiveGainOffset_Data::DoCalibrateOneCameraOneStep(int32_t iCamera, int32_t iColor, int32_t iBlackOdd,
                                                          int32_t iWhiteOdd, int32_t iBlackEven, int32_t iWhiteEven,
                                                          int32_t /*iSequence*/)
{
    if (iCamera < 0 || iCamera > 7 || iColor < 0 || iColor > 3)
        return 0;
    const int32_t iMode = ModeIndex(iColor);
    int16_t* w = Words(iCamera, iColor);
    const char cCamera = Letter(iCamera);
    int32_t iResult = 0;
    for (int iOddEven = 1; iOddEven >= 0 && iResult == 0; --iOddEven) {
        CWords ch = Channel(w, iOddEven);
        const int32_t iBlack = iOddEven ? iBlackEven : iBlackOdd;
        const int32_t iWhite = iOddEven ? iWhiteEven : iWhiteOdd;
        bool bDone = true;

        int32_t iDiff = std::abs(iBlack - m_iBlack_Target);
        m_iBlack_SumDiff += iDiff;
        if (iDiff > std::max(1, m_iBlack_Done_Limit / 2)) {
            // Half the distance, but never more than ten steps up at once.
            const int32_t iChange = std::min((m_iBlack_Target - iBlack) / 2, 10);
            const int32_t iNew = std::clamp(ch.m_Offset + iChange, 0, 255);
            if ((iNew != ch.m_Offset && iNew != ch.m_PrevOffset) ||
                (m_Kind.m_bGroupB && iBlack > m_iBlack_Target + m_iBlack_Done_Limit)) {
                bDone = false;
                if (!m_bOffsetFrozen) {
                    ch.m_PrevOffset = ch.m_Offset;
                    ch.m_Offset = static_cast<int16_t>(iNew);
                }
                // The white level rides on the black one: after an offset
                // change the gain may go back to where it was.
                ch.m_PrevGain = kNone;
            } else if (iBlack < m_iBlack_Target - m_iBlack_Done_Limit && ch.m_Offset == 255) {
                Log_Msg(FormatText("ERROR: ERROR_UNABLE_TO_ADJUST_OFFSET_ENOUGH on camera %c color %d: iBlack %d < min "
                                   "black %d",
                                   cCamera, iColor, iBlack, m_iBlack_Target - m_iBlack_Done_Limit));
                iResult = Fail(iCamera, PERR_OFFSET_NOT_ADJUSTABLE);
                break;
            }
        }

        iDiff = std::abs(iWhite - m_iWhite_Target);
        m_iWhite_SumDiff += iDiff;
        if (iDiff > std::max(1, m_iWhite_Done_Limit / 2)) {
            const bool bUp = iWhite <= m_iWhite_Target;
            const int32_t iNew = std::clamp(ch.m_Gain + (bUp ? 1 : -1), 0, 31);
            const bool bStuck = iNew == ch.m_Gain || iNew == ch.m_PrevGain || ch.m_PrevGain == kOvershot ||
                                (iNew <= ch.m_Gain && ch.m_Offset > 249);
            if (!bStuck) {
                bDone = false;
                ch.m_PrevGain = ch.m_Gain;
                ch.m_Gain = static_cast<int16_t>(iNew);
                m_bDone[iMode] = false;
            } else if (iWhite >= m_iWhite_Target - m_iWhite_Done_Limit &&
                       iWhite > m_iWhite_Target + m_iWhite_Done_Limit && ch.m_Gain > 0) {
                // Overshot: one step down, and no way back up.
                bDone = false;
                ch.m_Gain = static_cast<int16_t>(ch.m_Gain - 1);
                ch.m_PrevGain = kOvershot;
                m_bDone[iMode] = false;
            } else {
                Log_Msg(FormatText("LGO white level stop: camera %c color %d oddEven %d: iBlack %d (m_iBlack_Target %d, "
                                   "m_iBlack_Done_Limit %d), iWhite %d (m_iWhite_Target %d, m_iWhite_Done_Limit %d), "
                                   "iNewGain %d, oddEven.m_Gain %d, OldOddEven.m_Gain %d",
                                   cCamera, iColor, iOddEven, iBlack, m_iBlack_Target, m_iBlack_Done_Limit, iWhite,
                                   m_iWhite_Target, m_iWhite_Done_Limit, iNew, ch.m_Gain, ch.m_PrevGain));
                if (m_bCheckLimits && iWhite > m_iWhite_Target + m_iWhite_Done_Limit && ch.m_Gain == 0) {
                    Log_Msg(FormatText("ERROR: ERROR_UNABLE_TO_ADJUST_GAIN_ENOUGH on camera %c color %d oddEven %d: "
                                       "iWhite %d [%d..%d]",
                                       cCamera, iColor, iOddEven, iWhite, m_iWhite_Target - m_iWhite_Done_Limit,
                                       m_iWhite_Target + m_iWhite_Done_Limit));
                    iResult = Fail(iCamera, PERR_GAIN_NOT_ADJUSTABLE);
                    break;
                }
            }
        }
        if (!bDone)
            m_bDone[iMode] = false;
        iResult = CheckLimits(iCamera, iColor, iOddEven, iBlack, iWhite, bDone);
    }
    const CWords even = Channel(w, 1), odd = Channel(w, 0);
    Log_Msg(std::string("CLiveGainOffset_Data::DoCalibrateOneCameraOneStep") + " Camera" + cCamera + " Color" +
            std::to_string(iColor) + "\tBlack odd\t" + std::to_string(iBlackOdd) + "\toffset\t" +
            std::to_string(odd.m_Offset) + "\tWhite odd\t" + std::to_string(iWhiteOdd) + "\tgain\t" +
            std::to_string(odd.m_Gain) + "\tBlack even\t" + std::to_string(iBlackEven) + "\toffset\t" +
            std::to_string(even.m_Offset) + "\tWhite even\t" + std::to_string(iWhiteEven) + "\tgain\t" +
            std::to_string(even.m_Gain));
    return iResult;
}

void CLiveGainOffset_Data::LogData(int32_t iIndexMode) const
{
    const int32_t m = std::clamp(iIndexMode, 0, 1);
    Log_Msg("CLiveGainOffset_Data");
    Log_Msg_Int("m_iDPI", m_iDPI);
    Log_Msg_Int("m_iCallDelay[indexMode]", m_iCallDelay[m]);
    Log_Msg_Int("m_iBlack_Target", m_iBlack_Target);
    Log_Msg_Int("m_iWhite_Target", m_iWhite_Target);
    Log_Msg_Int("m_iBlack_Done_Limit", m_iBlack_Done_Limit);
    Log_Msg_Int("m_iWhite_SumDiff", m_iWhite_SumDiff);
    for (int32_t c = 0; c < 8; ++c)
        Log_Msg(FormatText("m_iEvenIndex_Offset[%c] = %d", Letter(c), m_iEvenIndex_Offset[c]));
    for (int32_t i = 0; i < 2; ++i)
        Log_Msg(FormatText("m_bDone[%d] = %s", i, m_bDone[i] ? "TRUE" : "FALSE"));
}

// ================================================================ owner

CLiveGainOffset::CLiveGainOffset(CScanner* pScanner) : m_pScanner(pScanner)
{
    if (pScanner)
        m_Kind = CLgoScannerKind::From(*pScanner);
}

CLiveGainOffset::~CLiveGainOffset() = default;

void CLiveGainOffset::SetFinalPass(bool b)
{
    m_bFinalPass = b;
    for (auto& p : m_Data)
        p->m_CheckAndSetGobalCameraFailedNow = b;
}

const CLiveGainOffset_Data* CLiveGainOffset::FindData(int32_t iDPI) const
{
    for (const auto& p : m_Data)
        if (p->m_iDPI == iDPI)
            return p.get();
    return nullptr;
}

bool CLiveGainOffset::IsCalibrated(int32_t iDPI, int32_t iMode) const
{
    const CLiveGainOffset_Data* p = FindData(iDPI);
    const int32_t m = iMode == 3 ? LGO_MODE_COLOR : LGO_MODE_GRAY;
    return p && p->m_iState[m] == LGO_STATE_CALIBRATING && p->m_iSteps[m] > 0 && p->m_bDone[m] &&
           p->m_ErrorNo == 0;
}

int32_t CLiveGainOffset::Raise(int32_t iError)
{
    if (iError != 0)
        m_ErrorNo = iError;
    return iError;
}

CLiveGainOffset_Data* CLiveGainOffset::GetData(const CLgoBlock& block)
{
    if (m_Data.empty()) {
        const int32_t iModes = m_pScanner ? std::clamp(m_pScanner->GetCISModeCount(), 1, 8) : 1;
        for (int32_t i = 0; i < iModes; ++i) {
            const int32_t iDPI = m_pScanner ? m_pScanner->GetCISModeResolution(i) : block.m_iDPI;
            auto p = std::make_unique<CLiveGainOffset_Data>(m_Kind, iDPI);
            p->m_iState[LGO_MODE_GRAY] = p->m_iState[LGO_MODE_COLOR] = LGO_STATE_LEARNING_SETUP;
            if (m_iOverride_DataWidth > 0) p->m_iDataWidth = m_iOverride_DataWidth;
            if (m_iOverride_Black_Target >= 0) p->m_iBlack_Target = m_iOverride_Black_Target;
            if (m_iOverride_Black_Done_Limit >= 0) p->m_iBlack_Done_Limit = m_iOverride_Black_Done_Limit;
            if (m_iOverride_Black_MaxAllowed >= 0) p->m_iBlack_MaxAllowed = m_iOverride_Black_MaxAllowed;
            if (m_iOverride_White_Target >= 0) p->m_iWhite_Target = m_iOverride_White_Target;
            if (m_iOverride_White_Done_Limit >= 0) p->m_iWhite_Done_Limit = m_iOverride_White_Done_Limit;
            if (m_iOverride_White_MinAllowed >= 0) p->m_iWhite_MinAllowed = m_iOverride_White_MinAllowed;
            p->m_CheckAndSetGobalCameraFailedNow = m_bFinalPass;
            Log_Msg_Int("CLiveGainOffset use mode", i);
            Log_Msg_Int("CLiveGainOffset dpi", iDPI);
            Log_Msg_Int("CLiveGainOffset m_iDataWidth", p->m_iDataWidth);
            Log_Msg_Int("CLiveGainOffset m_iBlack_Target", p->m_iBlack_Target);
            Log_Msg_Int("CLiveGainOffset m_iBlack_Done_Limit", p->m_iBlack_Done_Limit);
            Log_Msg_Int("CLiveGainOffset m_iBlack_MaxAllowed", p->m_iBlack_MaxAllowed);
            Log_Msg_Int("CLiveGainOffset m_iWhite_Target", p->m_iWhite_Target);
            Log_Msg_Int("CLiveGainOffset m_iWhite_Done_Limit", p->m_iWhite_Done_Limit);
            Log_Msg_Int("CLiveGainOffset m_iWhite_MinAllowed", p->m_iWhite_MinAllowed);
            m_Data.push_back(std::move(p));
        }
    }
    for (auto& p : m_Data)
        if (p->m_iDPI == block.m_iDPI)
            return p.get();
    return nullptr;
}

int32_t CLiveGainOffset::CameraCount(const CLgoBlock& block) const
{
    int32_t n = 0;
    for (int32_t c = 0; c < 8; ++c)
        if (block.m_CameraPixels[size_t(c)] > 0)
            n = c + 1;
    if (m_pScanner) {
        const int32_t iScanner = m_pScanner->GetCameraCount();
        if (iScanner < 1 || iScanner > 8)
            return iScanner;
        n = std::min(n, iScanner);
    }
    return n;
}

// Levels of every handled camera and colour from the block's rows: lamp-off
// rows give the black level, lamp-on rows the white level and the phase
// means. False when a camera is too narrow for the windows.
bool CLiveGainOffset::Measure(const CLgoBlock& block, CLiveGainOffset_Data& data)
{
    const int32_t iCameras = CameraCount(block);
    const bool bGray = block.m_iMode != 3;
    const bool bReference = bGray && m_iReferenceDPI > 0 && block.m_iDPI == m_iReferenceDPI;
    int32_t iStart = 0;
    bool bAnyWhite = false;
    for (int32_t y = 0; y < block.m_iLines && !bAnyWhite; ++y)
        bAnyWhite = y >= static_cast<int32_t>(block.m_LampOff.size()) || !block.m_LampOff[size_t(y)];
    for (int32_t c = 0; c < iCameras; ++c) {
        const int32_t n = block.m_CameraPixels[size_t(c)];
        const int32_t iFirst = iStart;
        iStart += std::max(n, 0);
        if (!Handled(c))
            continue;
        const int32_t w = std::max(data.m_iDataWidth, 2);
        if (n < w || n < 8 || iFirst + n > block.m_iPixelsPerLine) {
            Log_Msg(FormatText("CLiveGainOffset: camera %c has %d pixels, too few for the measuring window of %d", Letter(c),
                               n, w));
            return false;
        }
        // The window lies around the camera's middle (a quarter in on some types).
        const int32_t iCentre = iFirst + (data.m_Kind.m_bGroupD ? n / 4 : n / 2);
        const int32_t x0 = std::clamp(iCentre - w / 2, iFirst, iFirst + n - w);
        // The learning windows: 200 samples of each phase from 1000 pixels in.
        const int32_t iLearnFirst = iFirst + std::clamp(n - 800, 0, 1000);
        const int32_t iLearnSamples = std::clamp((iFirst + n - iLearnFirst) / 4, 1, 200);
        const int32_t iEven = std::max(data.m_iEvenIndex_Offset[c], 0);
        for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k) {
            const int32_t iPlane = bGray ? 1 : k;
            CLgoLevels& L = m_Levels[size_t(c)][size_t(k)];
            double dSum[2][2] = {}; // [black/white][odd/even]
            int32_t iCount[2][2] = {};
            double dPhase[4] = {};
            int32_t iPhase[4] = {};
            for (int32_t y = 0; y < block.m_iLines; ++y) {
                const int iWhite = (y < static_cast<int32_t>(block.m_LampOff.size()) && block.m_LampOff[size_t(y)]) ? 0 : 1;
                for (int32_t x = x0; x < x0 + w; ++x) {
                    const int32_t v = block.Sample(iPlane, y, x);
                    if (v < 0)
                        continue;
                    int iChannel = 1;
                    if (bReference) {
                        const int32_t p = (x - iFirst) & 3;
                        iChannel = (p == iEven || p == ((iEven + 1) & 3)) ? 1 : 0;
                    } else if (bGray) {
                        iChannel = ((x - iFirst - iEven) & 1) == 0 ? 1 : 0;
                    }
                    dSum[iWhite][iChannel] += v;
                    ++iCount[iWhite][iChannel];
                }
                if (!iWhite)
                    continue;
                for (int32_t p = 0; p < 4; ++p)
                    for (int32_t i = 0; i < iLearnSamples; ++i) {
                        const int32_t v = block.Sample(iPlane, y, iLearnFirst + 4 * i + p);
                        if (v >= 0) {
                            dPhase[p] += v;
                            ++iPhase[p];
                        }
                    }
            }
            for (int iWhite = 0; iWhite < 2; ++iWhite) {
                if (iCount[iWhite][0] + iCount[iWhite][1] == 0)
                    continue;
                double* pOut = iWhite ? L.m_dWhite : L.m_dBlack;
                for (int ch = 0; ch < 2; ++ch) {
                    // Colour blocks: one mean for both channels.
                    const int a = bGray ? ch : 0, b = bGray ? ch : 1;
                    const int32_t iN = iCount[iWhite][a] + (a != b ? iCount[iWhite][b] : 0);
                    const double dS = dSum[iWhite][a] + (a != b ? dSum[iWhite][b] : 0);
                    if (iN > 0)
                        pOut[ch] = dS / iN;
                }
                (iWhite ? L.m_iWhiteCall : L.m_iBlackCall) = m_iCall_Do;
            }
            for (int32_t p = 0; p < 4; ++p)
                if (iPhase[p] > 0)
                    L.m_dPhase[p] = dPhase[p] / iPhase[p];
        }
    }
    if (bAnyWhite) {
        // Keep one lamp-on row of the whole line for the final check.
        int32_t yWhite = 0;
        while (yWhite < block.m_iLines && yWhite < static_cast<int32_t>(block.m_LampOff.size()) &&
               block.m_LampOff[size_t(yWhite)])
            ++yWhite;
        const size_t iWidth = static_cast<size_t>(std::max(block.m_iPixelsPerLine, 0));
        const size_t iFrom = static_cast<size_t>(std::max(yWhite, 0)) * iWidth;
        for (int k = 0; k < 3; ++k) {
            std::vector<uint8_t>& row = m_LastWhiteRow[size_t(k)];
            row.assign(iWidth, 0);
            const uint8_t* p = block.m_pPlanes[size_t(k)];
            const size_t iSize = block.m_iPlaneSize[size_t(k)];
            if (p && iFrom < iSize)
                std::copy_n(p + iFrom, std::min(iWidth, iSize - iFrom), row.begin());
        }
        m_LastWhiteCameras = block.m_CameraPixels;
    }
    return true;
}

int32_t CLiveGainOffset::WriteSet(CLiveGainOffset_Data& data, bool bNewer)
{
    ++m_iWrites;
    m_LastWritten = data.m_GainOffset;
    if (!m_pScanner)
        return 0;
    CGainOffset go = data.m_GainOffset;
    go.m_iCameraCount = std::clamp(m_pScanner->GetCameraCount(), 0, 8);
    int32_t iSequence = -1;
    if (bNewer)
        iSequence = ++m_iSequence & 0xFF;
    return m_pScanner->WriteGainOffset(go, iSequence);
}

void CLiveGainOffset::LearningSetup(const CLgoBlock& block, CLiveGainOffset_Data& data)
{
    m_iSetupCall = m_iCall_Do;
    if (data.m_Kind.m_bGroupB)
        return;
    const bool bGray = block.m_iMode != 3;
    const int32_t iCameras = CameraCount(block);
    for (int32_t c = 0; c < iCameras; ++c) {
        if (!Handled(c))
            continue;
        for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k) {
            const CLgoLevels& L = m_Levels[size_t(c)][size_t(k)];
            for (int p = 0; p < 4; ++p)
                data.m_dLearning[c][k][p] = L.m_dPhase[p];
            // A channel that starts dark is driven the other way round, so
            // that the phase following the high gain shows a rise either way.
            const bool bInverted = L.m_dPhase[0] < 128 && data.m_Kind.m_iType != 11;
            data.m_bInverted[c][k] = bInverted;
            data.m_bDecided[c][k] = false;
            int16_t* w = data.m_GainOffset.m_Cameras[size_t(c)].m_Words[k];
            CWords even = Channel(w, 1), odd = Channel(w, 0);
            even.m_Gain = static_cast<int16_t>(bInverted ? 250 : 5);
            odd.m_Gain = static_cast<int16_t>(bInverted ? 5 : 250);
        }
    }
    const bool bNewer = m_iNewerForm >= 0 ? m_iNewerForm == 1
                                          : m_pScanner && m_pScanner->m_InquiryPages.GetUInt8(0xC6, 88, 0) == 2;
    if (const int32_t iError = WriteSet(data, bNewer); iError != 0)
        Log_Msg_Hex("CLiveGainOffset learning setup: WriteGainOffset", iError);
}

void CLiveGainOffset::LearningStep(const CLgoBlock& block, CLiveGainOffset_Data& data)
{
    const bool bGray = block.m_iMode != 3;
    const int32_t iMode = bGray ? LGO_MODE_GRAY : LGO_MODE_COLOR;
    const bool bReference = bGray && m_iReferenceDPI > 0 && block.m_iDPI == m_iReferenceDPI;
    const int32_t iCameras = CameraCount(block);
    bool bAll = true;
    for (int32_t c = 0; c < iCameras; ++c) {
        if (!Handled(c))
            continue;
        for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k) {
            if (data.m_bDecided[c][k])
                continue;
            if (data.m_Kind.m_bGroupB) {
                data.m_iEvenIndex_Offset[c] = 0;
                data.m_bDecided[c][k] = true;
                continue;
            }
            const CLgoLevels& L = m_Levels[size_t(c)][size_t(k)];
            if (L.m_iWhiteCall <= m_iSetupCall) {
                bAll = false; // nothing seen since the set-up yet
                continue;
            }
            int32_t iChanged = 0, iSaturated = 0;
            double dDiff[4];
            for (int p = 0; p < 4; ++p) {
                const double m = data.m_dLearning[c][k][p];
                const double dLimit = m > 180 ? 0.1 * (255 - m) : 0.1 * m;
                dDiff[p] = L.m_dPhase[p] - m;
                Log_Msg(FormatText("Index:%d dDiff %.2f dLimit %.2f (initialInt:%.2f)", p, dDiff[p], dLimit, m));
                if (std::fabs(dDiff[p]) > dLimit)
                    ++iChanged;
                if (L.m_dPhase[p] > 254.9)
                    ++iSaturated;
            }
            Log_Msg(FormatText("m_iCall_Learning:%d Cam: %c Col: %d ChangedCount %d", static_cast<int>(m_iCall_Learning),
                               Letter(c), k, iChanged));
            const bool bDecidable = iChanged == 4 || (iChanged == 2 && iSaturated == 2);
            if (!bDecidable) {
                if (iChanged > 0) {
                    Log_Msg_Int("iCameraColorChangeCount_Max", 4);
                    Log_Msg_Int("iCameraColorChangeCount", iChanged);
                    Log_Msg_Int("m_iCall_Learning", static_cast<int32_t>(m_iCall_Learning));
                }
                bAll = false;
                continue;
            }
            if (m_iCall_Learning < kMinLearningCalls) {
                bAll = false;
                continue;
            }
            const bool bInverted = data.m_bInverted[c][k];
            int32_t iEven = -1;
            // Rises and falls are taken against the mean change of the four
            // phases, so a shift common to both channels (an offset the
            // scanner had before) cannot decide anything.
            const double dMean = (dDiff[0] + dDiff[1] + dDiff[2] + dDiff[3]) / 4;
            if (!bReference) {
                const bool bRose = dDiff[0] > dMean;
                iEven = bRose != bInverted ? 1 : 0;
            } else {
                // The even channel moved the way its gain was driven: down,
                // or up for an inverted channel. Its two phases sit side by side.
                int iMask = 0;
                for (int p = 0; p < 4; ++p)
                    if ((dDiff[p] > dMean) == bInverted)
                        iMask |= 1 << p;
                for (int e = 0; e < 4; ++e)
                    if (iMask == ((1 << e) | (1 << ((e + 1) & 3))))
                        iEven = e;
            }
            if (iEven < 0) {
                bAll = false;
                continue;
            }
            data.m_iEvenIndex_Offset[c] = iEven;
            data.m_bDecided[c][k] = true;
        }
    }
    if (bAll && m_iCall_Learning >= kMinLearningCalls) {
        data.m_iCallDelay[iMode] = static_cast<int32_t>(m_iCall_Learning);
        data.m_iState[iMode] = LGO_STATE_CALIBRATING;
        Log_Msg_Int("CLiveGainOffset learning done, m_iCallDelay", data.m_iCallDelay[iMode]);
    }
}

int32_t CLiveGainOffset::DoCalibrateAllCamerasOneStep(const CLgoBlock& block)
{
    CLiveGainOffset_Data* p = GetData(block);
    return p ? CalibrateAll(block, *p, true) : Raise(kErrNoMode);
}

int32_t CLiveGainOffset::DoCalibrateAllCamerasOneStep_Old(const CLgoBlock& block)
{
    CLiveGainOffset_Data* p = GetData(block);
    return p ? CalibrateAll(block, *p, false) : Raise(kErrNoMode);
}

int32_t CLiveGainOffset::CalibrateAll(const CLgoBlock& block, CLiveGainOffset_Data& data, bool bNewer)
{
    const bool bGray = block.m_iMode != 3;
    const int32_t iMode = bGray ? LGO_MODE_GRAY : LGO_MODE_COLOR;
    const int32_t iCameras = CameraCount(block);
    const int32_t iFirstColor = bGray ? 3 : 0, iEndColor = bGray ? 4 : 3;
    if (data.m_bFirstUse[iMode]) {
        data.m_bFirstUse[iMode] = false;
        if (m_pScanner) {
            // Entries of the modes not handled now keep what the scanner has.
            CGainOffset current;
            if (m_pScanner->ReadGainOffset(current) != 0) {
                Log_Msg("CIS_GetGainOffset failed");
            } else {
                for (int32_t c = 0; c < std::min(current.m_iCameraCount, 8); ++c)
                    for (int32_t k = 0; k < 4; ++k)
                        if (k < iFirstColor || k >= iEndColor)
                            for (int w = 0; w < 8; ++w)
                                data.m_GainOffset.m_Cameras[size_t(c)].m_Words[k][w] =
                                    current.m_Cameras[size_t(c)].m_Words[k][w];
            }
        }
        for (int32_t c = 0; c < iCameras; ++c) {
            if (!Handled(c))
                continue;
            for (int32_t k = iFirstColor; k < iEndColor; ++k) {
                const int32_t iValue = (k == 3 && data.m_Kind.m_bGroupA) ? 64 : 128;
                data.InitGainOffset(c, k, iValue, iValue);
                const int16_t* w = data.m_GainOffset.m_Cameras[size_t(c)].m_Words[k];
                Log_Msg(FormatText("%s init gain %c color %d even offset %d gain %d, odd offset %d gain %d",
                                   "CLiveGainOffset::DoCalibrateAllCamerasOneStep", Letter(c), k, w[5], w[4], w[1],
                                   w[0]));
            }
        }
        if (bNewer)
            data.m_iStep[iMode] = 32;
        // The levels in hand were measured with the learning gains; the
        // first step waits for data taken with the start values.
        return WriteSet(data, bNewer);
    }

    const CGainOffset before = data.m_GainOffset;
    data.m_iBlack_SumDiff = data.m_iWhite_SumDiff = 0;
    data.m_bDone[0] = data.m_bDone[1] = true;
    int32_t iError = 0;
    for (int32_t c = 0; c < iCameras && iError == 0; ++c) {
        if (!Handled(c) || data.m_bCameraFailed[size_t(c)])
            continue;
        for (int32_t k = iFirstColor; k < iEndColor && iError == 0; ++k) {
            const CLgoLevels& L = m_Levels[size_t(c)][size_t(k)];
            if (L.m_iBlackCall < 0 || L.m_iWhiteCall < 0) {
                data.m_bDone[iMode] = false; // nothing measured yet
                continue;
            }
            const int32_t bo = Round(L.m_dBlack[0]), be = Round(L.m_dBlack[1]);
            const int32_t wo = Round(L.m_dWhite[0]), we = Round(L.m_dWhite[1]);
            iError = bNewer ? data.DoCalibrateOneCameraOneStep(c, k, bo, wo, be, we, m_iSequence + 1)
                            : data.Do(c, k, bo, wo, be, we);
        }
    }
    for (int32_t c = 0; c < 8; ++c)
        if (data.m_bCameraFailed[size_t(c)]) {
            m_bCameraFailed[size_t(c)] = true;
            if (m_iCameraError[size_t(c)] == 0)
                m_iCameraError[size_t(c)] = data.m_iCameraError[size_t(c)];
        }
    if (iError != 0) {
        // A failed step leaves the set as the last written step left it.
        data.m_GainOffset = before;
        return Raise(iError);
    }
    if (const int32_t iWrite = WriteSet(data, bNewer); iWrite != 0)
        Log_Msg_Hex("CLiveGainOffset::DoCalibrateAllCamerasOneStep WriteGainOffset", iWrite);
    data.m_iStep[iMode] = std::max(data.m_iStep[iMode] / 2, 1);
    ++data.m_iSteps[iMode];
    if (data.m_bDone[iMode]) {
        Log_Msg(FormatText("Analog calibration done: %d dpi %s", block.m_iDPI, bGray ? "gray" : "color"));
        if (m_bFinalCheck)
            FinalCheck(block, data);
    }
    return 0;
}

void CLiveGainOffset::FinalCheck(const CLgoBlock& block, CLiveGainOffset_Data& data)
{
    const bool bGray = block.m_iMode != 3;
    const int32_t iSegment = std::max(m_iSegmentLength, 2);
    int32_t iStart = 0;
    for (int32_t c = 0; c < 8; ++c) {
        const int32_t n = std::max(m_LastWhiteCameras[size_t(c)], 0);
        const int32_t iFirst = iStart;
        iStart += n;
        if (n == 0 || !Handled(c) || iFirst + n > static_cast<int32_t>(m_LastWhiteRow[1].size()))
            continue;
        const int32_t iEven = std::max(data.m_iEvenIndex_Offset[c], 0);
        for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k) {
            const std::vector<uint8_t>& row = m_LastWhiteRow[size_t(bGray ? 1 : k)];
            CSegmentPeak& peak = m_Peaks[size_t(c)][size_t(k)];
            peak = CSegmentPeak();
            bool bFailed = false;
            for (int32_t a = iFirst; a < iFirst + n && !bFailed; a += iSegment) {
                const int32_t b = std::min(a + iSegment, iFirst + n) - 1;
                double dSum[2] = {};
                int32_t iCount[2] = {};
                for (int32_t x = a; x <= b; ++x) {
                    const int ch = bGray ? (((x - iFirst - iEven) & 1) == 0 ? 1 : 0) : 0;
                    dSum[ch] += row[size_t(x)];
                    ++iCount[ch];
                }
                const int32_t iOdd = iCount[0] ? Round(dSum[0] / iCount[0]) : 0;
                const int32_t iEvenMean = iCount[1] ? Round(dSum[1] / iCount[1]) : iOdd;
                const int32_t iOddMean = iCount[0] ? iOdd : iEvenMean;
                const int32_t iHigh = std::max(iOddMean, iEvenMean), iLow = std::min(iOddMean, iEvenMean);
                if (iHigh > peak.m_iLevel)
                    peak = {iHigh, a - iFirst, b - iFirst};
                const int32_t pa = a - iFirst, pb = b - iFirst;
                if (iHigh > m_iSaturationLimit) {
                    Log_Msg(bGray ? FormatText("ERROR: Saturated average light profile after analog calibration on "
                                               "camera %c gray pixel[%d..%d]: odd %d, even %d (> %d)",
                                               Letter(c), pa, pb, iOddMean, iEvenMean, m_iSaturationLimit)
                                  : FormatText("ERROR: Saturated average light profile after analog calibration on "
                                               "camera %c color %d pixel[%d..%d]: %d (> %d)",
                                               Letter(c), k, pa, pb, iOddMean, m_iSaturationLimit));
                    bFailed = true;
                } else if (iLow < m_iProfileMinimum) {
                    Log_Msg(bGray ? FormatText("ERROR: Min. average level light profile not reached after analog "
                                               "calibration on camera %c gray pixel[%d..%d]: odd %d, even %d (< %d)",
                                               Letter(c), pa, pb, iOddMean, iEvenMean, m_iProfileMinimum)
                                  : FormatText("ERROR: Min. average level light profile not reached after analog "
                                               "calibration on camera %c color %d pixel[%d..%d]: %d (< %d)",
                                               Letter(c), k, pa, pb, iOddMean, m_iProfileMinimum));
                    bFailed = true;
                }
            }
            if (bFailed) {
                data.m_bCameraFailed[size_t(c)] = m_bCameraFailed[size_t(c)] = true;
                CCamera::SetGlobalCameraFailed(c);
                continue;
            }
            Log_Msg(bGray ? FormatText("Average light profile level after analog calibration on camera %c gray "
                                       "pixel[%d..%d]: odd %d, even %d {%d..%d}",
                                       Letter(c), peak.m_iFirst, peak.m_iLast, peak.m_iLevel, peak.m_iLevel,
                                       m_iProfileMinimum, m_iSaturationLimit)
                          : FormatText("Average light profile level after analog calibration on camera %c color %d "
                                       "pixel[%d..%d]: %d {%d..%d}",
                                       Letter(c), k, peak.m_iFirst, peak.m_iLast, peak.m_iLevel, m_iProfileMinimum,
                                       m_iSaturationLimit));
        }
    }
}

int32_t CLiveGainOffset::Do(const CLgoBlock& block)
{
    ++m_iCall_Do;
    const int32_t iMode = block.m_iMode == 3 ? 3 : 2;
    if (block.m_iDPI != m_iCall_LastDPI || iMode != m_iCall_LastMode) {
        m_iCall_EmptyBuffer = m_iCall_SetupWait = m_iCall_Learning = m_iCall_Calibrating = 0;
        m_iCall_LastDPI = block.m_iDPI;
        m_iCall_LastMode = iMode;
    }
    if (block.m_iReceived < 100) {
        ++m_iCall_EmptyBuffer;
        return 0;
    }
    const int32_t iCameras = CameraCount(block);
    if (iCameras < 1 || iCameras > 8) {
        Log_Msg_Int("CLiveGainOffset::Do: no usable camera layout, camera count", iCameras);
        return Raise(kErrCameraLayout);
    }
    CLiveGainOffset_Data* pData = GetData(block);
    if (!pData) {
        Log_Msg_Int("CLiveGainOffset::Do: no CIS mode of this resolution", block.m_iDPI);
        return Raise(kErrNoMode);
    }
    CLiveGainOffset_Data& data = *pData;
    if (!Measure(block, data))
        return Raise(kErrCameraLayout);
    const int32_t m = iMode == 3 ? LGO_MODE_COLOR : LGO_MODE_GRAY;

    if (m_bFinalPass && data.m_iState[m] != LGO_STATE_CALIBRATING) {
        // The loop ran out before the learning found its answers.
        int32_t iError = 0;
        const bool bGray = iMode == 2;
        for (int32_t c = 0; c < iCameras; ++c) {
            if (!Handled(c))
                continue;
            for (int32_t k = bGray ? 3 : 0; k < (bGray ? 4 : 3); ++k)
                if (!data.m_bDecided[c][k]) {
                    Log_Msg(FormatText("ERROR: ERROR_LIVE_GAIN_OFFSET_MAX_CALIBRATION_LOOP_EXCEEDED on camera %c color "
                                       "%d: learning state %d after %d calls",
                                       Letter(c), k, data.m_iState[m], static_cast<int>(m_iCall_Learning)));
                    data.m_bCameraFailed[size_t(c)] = m_bCameraFailed[size_t(c)] = true;
                    CCamera::SetGlobalCameraFailed(c);
                    iError = MakeProgramError(PERR_LGO_MAX_LOOPS);
                    if (m_iCameraError[size_t(c)] == 0)
                        m_iCameraError[size_t(c)] = iError;
                    break;
                }
        }
        return Raise(iError);
    }

    switch (data.m_iState[m]) {
    case LGO_STATE_LEARNING_SETUP:
        if (++m_iCall_SetupWait <= kSetupCalls)
            return 0;
        // The set-up compares against lamp-on data; wait for a lamp-on row.
        if (m_Levels[size_t(m_bSingleCamera ? m_iSingleCamera & 7 : 0)][size_t(iMode == 3 ? 0 : 3)].m_iWhiteCall < 0)
            return 0;
        Log_Msg("LGO_STATE_LEARNING_SETUP");
        LearningSetup(block, data);
        data.m_iState[m] = LGO_STATE_LEARNING;
        return 0;
    case LGO_STATE_LEARNING:
        Log_Msg("LGO_STATE_LEARNING");
        ++m_iCall_Learning;
        LearningStep(block, data);
        return 0;
    case LGO_STATE_CALIBRATING: {
        Log_Msg("LGO_STATE_CALIBRATING");
        ++m_iCall_Calibrating;
        const int32_t iDelay = data.m_iCallDelay[m];
        const bool bDue = iDelay <= 0 || m_iCall_Calibrating % iDelay == 0 || data.m_CheckAndSetGobalCameraFailedNow;
        if (!bDue)
            return 0;
        Log_Msg(FormatText("CLiveGainOffset::Do: m_iCall_Calibrating %d, m_CheckAndSetGobalCameraFailedNow %d ",
                           static_cast<int>(m_iCall_Calibrating), data.m_CheckAndSetGobalCameraFailedNow ? 1 : 0));
        const bool bNewer = m_iNewerForm >= 0 ? m_iNewerForm == 1
                                              : m_pScanner && m_pScanner->m_InquiryPages.GetUInt8(0xC6, 88, 0) == 2;
        return CalibrateAll(block, data, bNewer);
    }
    default:
        return 0;
    }
}

void CLiveGainOffset::LogCounters(const CLgoBlock& block)
{
    Log_Msg_Int("m_iCall_Do", static_cast<int32_t>(m_iCall_Do));
    Log_Msg_Int("m_iCall_Learning", static_cast<int32_t>(m_iCall_Learning));
    Log_Msg_Int("m_iCall_Calibrating", static_cast<int32_t>(m_iCall_Calibrating));
    Log_Msg_Int("m_iCall_EmptyBuffer", static_cast<int32_t>(m_iCall_EmptyBuffer));
    Log_Msg_Int("m_iCall_LastDPI", m_iCall_LastDPI);
    for (const auto& p : m_Data)
        if (p->m_iDPI == block.m_iDPI)
            p->LogData(block.m_iMode == 3 ? LGO_MODE_COLOR : LGO_MODE_GRAY);
}
