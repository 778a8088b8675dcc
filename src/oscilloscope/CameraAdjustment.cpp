#include "oscilloscope/CameraAdjustment.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "calibration/StitchAndAlignment.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "platform/Log.h"

std::string COscAdjustResult::Text() const
{
    if (!m_bRan)
        return "Camera Adjustment: colour recordings only";
    std::string sz = FormatText("Camera Adjustment (%d dpi, type %d):", m_iOpticalResolution, m_iScannerType);
    for (int32_t c = 0; c < m_iCameraCount; ++c) {
        sz += m_bMeasured[size_t(c)] ? FormatText("  %c %+.1f", char('A' + c), m_dDistance[size_t(c)])
                                     : FormatText("  %c n/a", char('A' + c));
        if (m_bWidthMeasured[size_t(c)])
            sz += FormatText(" (width %+.1f)", m_dWidth[size_t(c)]);
    }
    return sz;
}

bool HasScanWidthStep(int32_t iScannerType)
{
    switch (iScannerType) {
    case 5: case 17: case 28: case 29: case 30: return true;
    default: return false;
    }
}

namespace {

// The two stitch marks a camera shares with its neighbours lie one camera
// pitch apart on the sheet. A view w pixels wider than nominal sees that
// pitch P in P x active / (active + w) pixels. A recording does not carry the
// scanner's stitch positions, so the pitch is the median spacing of the
// cameras that show both marks: one camera off in width stands out against
// the others.
void ScanWidthStep(const C3X_KPlate& x, COscAdjustResult& r)
{
    std::vector<double> spacings;
    std::array<double, OSC_MAX_CAMERAS> spacing{};
    for (int32_t c = 0; c < r.m_iCameraCount; ++c) {
        const double dLeft = x.m_dGroup_Center[c][X3_LEFT], dRight = x.m_dGroup_Center[c][X3_RIGHT];
        if (dLeft > 0 && dRight > dLeft && x.GetError(c, X3_LEFT) == 0 && x.GetError(c, X3_RIGHT) == 0) {
            spacing[size_t(c)] = dRight - dLeft;
            spacings.push_back(dRight - dLeft);
        }
    }
    r.m_bWidthStep = true;
    if (spacings.size() < 2)
        return;
    std::sort(spacings.begin(), spacings.end());
    const size_t n = spacings.size();
    const double dPitch = n % 2 ? spacings[n / 2] : (spacings[n / 2 - 1] + spacings[n / 2]) / 2;
    for (int32_t c = 0; c < r.m_iCameraCount; ++c) {
        if (spacing[size_t(c)] <= 0)
            continue;
        const double dActive = x.m_Layout.ActivePixels(c);
        r.m_dWidth[size_t(c)] = (dPitch - spacing[size_t(c)]) * dActive / spacing[size_t(c)];
        r.m_bWidthMeasured[size_t(c)] = true;
        Log_Msg(FormatText("COscilloscope_Dialog::CameraAdjustment scan width camera %c: marks %.2f apart, pitch %.2f, "
                           "width %+.2f",
                           char('A' + c), spacing[size_t(c)], dPitch, r.m_dWidth[size_t(c)]));
    }
}

} // namespace

COscCameraAdjustment::COscCameraAdjustment() = default;
COscCameraAdjustment::~COscCameraAdjustment() = default;

COscAdjustResult COscCameraAdjustment::Run(const COscRecording& rec, int64_t iLine)
{
    COscAdjustResult r;
    r.m_iCameraCount = std::min(rec.m_iCameraCount, OSC_MAX_CAMERAS);
    r.m_iScannerType = rec.m_iScannerFamily;
    r.m_iOpticalResolution = RecordingOpticalResolution(rec.m_iPixelsPerLine, rec.m_dWidthFactor);
    m_Fixed.SetCameraCount(r.m_iCameraCount);
    m_Fixed.SetScannerType(r.m_iScannerType);
    m_Fixed.SetOpticalResolution(r.m_iOpticalResolution);
    Log_Msg(FormatText("COscilloscope_Dialog::CameraAdjustment cameras %d, type %d, %d dpi", r.m_iCameraCount,
                       r.m_iScannerType, r.m_iOpticalResolution));
    m_pEngine = std::make_unique<COscilloscopeStitchAndAlignment>(&m_Fixed);
    m_pEngine->SetCameraCount(r.m_iCameraCount);
    // A recording knows no stitch positions: the engine measures each camera
    // against the sheet's own marks.
    m_pEngine->ReadTargets();
    const uint8_t* pLine = rec.Line(1, iLine);
    if (rec.IsGray() || !pLine)
        return r;
    std::array<int32_t, 8> pixels{};
    for (int32_t c = 0; c < r.m_iCameraCount; ++c)
        pixels[size_t(c)] = rec.m_CameraPix[size_t(c)];
    r.m_iError = m_pEngine->AnalyzeProfile(std::span<const uint8_t>(pLine, size_t(rec.m_iPixelsPerLine)), pixels,
                                           r.m_iOpticalResolution);
    for (int32_t c = 0; c < r.m_iCameraCount; ++c) {
        r.m_dDistance[size_t(c)] = m_pEngine->m_dMeasured[size_t(c)];
        r.m_bMeasured[size_t(c)] = m_pEngine->m_bMeasured[size_t(c)];
        for (int32_t iSide = 0; iSide < 3; ++iSide)
            r.m_dMarks[size_t(c)][size_t(iSide)] = m_pEngine->m_X.m_dGroup_Center[c][iSide];
    }
    if (HasScanWidthStep(r.m_iScannerType))
        ScanWidthStep(m_pEngine->m_X, r);
    r.m_bRan = true;
    Log_Msg("COscilloscope_Dialog::CameraAdjustment " + r.Text());
    return r;
}

std::vector<uint8_t> AdjustmentTags(const COscRecording& rec, const COscAdjustResult& r)
{
    std::vector<uint8_t> tags;
    if (!r.m_bRan || rec.m_iPixelsPerLine <= 0)
        return tags;
    tags.assign(size_t(rec.m_iPixelsPerLine), 0);
    const std::vector<int64_t> starts = CameraStarts(rec);
    for (int32_t c = 0; c < r.m_iCameraCount && c + 1 < int32_t(starts.size()); ++c) {
        const uint8_t iTag = !r.m_bMeasured[size_t(c)] ? 3 : std::abs(r.m_dDistance[size_t(c)]) <= 1.0 ? 2 : 1;
        const int64_t iAxis = (starts[size_t(c)] + starts[size_t(c) + 1]) / 2;
        for (int64_t i = std::max<int64_t>(0, iAxis - 2); i <= iAxis + 2 && i < rec.m_iPixelsPerLine; ++i)
            tags[size_t(i)] = iTag;
    }
    return tags;
}
