#include "oscilloscope/FocusEvaluation.h"

#include <algorithm>

#include "platform/Log.h"
#include "scanner/Scanner.h"

const uint8_t* CFocusData::SelectedLine() const
{
    if (m_iColor == 0)
        return m_pRed;
    if (m_iColor == 1 || m_iColor == 4)
        return m_pGreen;
    return m_pBlue;
}

void CFocusData::FindStitchWires()
{
    const uint8_t* p = SelectedLine();
    m_StitchWireStart.fill(0);
    m_StitchWireEnd.fill(0);
    int32_t iFirst = 0;
    for (int32_t c = 0; c < FOCUS_CAMERAS; ++c) {
        const int32_t iCount = std::max(0, m_CameraPix[size_t(c)]);
        const int32_t iLast = std::min(iFirst + iCount, m_iLength) - 1;
        if (p) {
            for (int32_t i = iFirst; i <= iLast; ++i)
                if (p[i] >= 2) {
                    m_StitchWireStart[size_t(c)] = i;
                    break;
                }
            for (int32_t i = iLast; i >= iFirst; --i)
                if (p[i] >= 2) {
                    m_StitchWireEnd[size_t(c)] = i;
                    break;
                }
        }
        iFirst += iCount;
    }
    m_bHasStitchWires = true;
}

namespace {

// Takes the best entry out iTimes (the first among equals) and returns the last one taken.
template <typename Better>
uint8_t TakeRepeatedly(std::vector<uint8_t>& list, int32_t iTimes, Better better)
{
    uint8_t iTaken = 0;
    for (int32_t n = 0; n < iTimes && !list.empty(); ++n) {
        auto best = list.begin();
        for (auto it = list.begin(); it != list.end(); ++it)
            if (better(*it, *best))
                best = it;
        iTaken = *best;
        list.erase(best);
    }
    return iTaken;
}

} // namespace

int32_t CFocusEvaluation::Evaluate(CFocusData& data)
{
    const uint8_t* pLine = data.SelectedLine();
    if (!data.m_bHasStitchWires)
        data.FindStitchWires();
    m_Contrast.assign(static_cast<size_t>(std::max(0, data.m_iLength)), 0);
    m_Segments.fill(0);
    if (!pLine)
        return 0;
    const int32_t iCameras = std::clamp(m_pScanner ? m_pScanner->GetCameraCount() : 0, 0, FOCUS_CAMERAS);
    int32_t iEvaluated = 0;
    for (int32_t c = 0; c < iCameras; ++c) {
        const int32_t iStart = data.m_StitchWireStart[size_t(c)];
        const int32_t iEnd = data.m_StitchWireEnd[size_t(c)];
        bool bOk = true;
        if (iEnd == 0) {
            Log_Msg(FormatText("Focus Test   Camera %d   m_iStitchWire_End==0", c));
            bOk = false;
        }
        if (iStart == 0) {
            Log_Msg(FormatText("Focus Test   Camera %d   m_iStitchWire_Start==0", c));
            bOk = false;
        }
        if (iEnd < iStart) {
            Log_Msg(FormatText("Focus Test   Camera %d   m_iStitchWire_End<m_iStitchWire_Start", c));
            bOk = false;
        }
        if (!bOk)
            continue;
        EvaluateCamera(pLine, c, iStart, std::min(iEnd, data.m_iLength - 1));
        ++iEvaluated;
    }
    return iEvaluated;
}

void CFocusEvaluation::EvaluateCamera(const uint8_t* p, int32_t iCamera, int32_t iStart, int32_t iEnd)
{
    std::vector<uint8_t> peaks, valleys;
    peaks.reserve(kCapacity);
    valleys.reserve(kCapacity);
    const int32_t iFirst = std::max(iStart + kWireMargin, 1);
    const int32_t iLast = std::min(iEnd - kWireMargin, static_cast<int32_t>(m_Contrast.size()) - 2);
    int32_t iSegment = iFirst;
    for (int32_t i = iFirst; i <= iLast; ++i) {
        const uint8_t v = p[i];
        if (v >= p[i - 1] && v >= p[i + 1] && peaks.size() < size_t(kCapacity))
            peaks.push_back(v);
        if (v <= p[i - 1] && v <= p[i + 1] && valleys.size() < size_t(kCapacity))
            valleys.push_back(v);
        if (peaks.size() < size_t(kCapacity) || valleys.size() < size_t(kCapacity))
            continue;
        const int32_t iTop = TakeRepeatedly(peaks, kReduction, [](uint8_t a, uint8_t b) { return a > b; });
        valleys.erase(std::remove(valleys.begin(), valleys.end(), uint8_t(0)), valleys.end());
        const int32_t iBottom = TakeRepeatedly(valleys, kReduction, [](uint8_t a, uint8_t b) { return a < b; });
        const int32_t iC = iTop - iBottom;
        if (iC > 1) {
            std::fill(m_Contrast.begin() + iSegment, m_Contrast.begin() + i + 1, iC);
            ++m_Segments[size_t(iCamera)];
        }
        peaks.clear();
        valleys.clear();
        iSegment = i;
    }
}
