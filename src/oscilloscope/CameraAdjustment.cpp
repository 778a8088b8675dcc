#include "oscilloscope/CameraAdjustment.h"

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
    for (int32_t c = 0; c < m_iCameraCount; ++c)
        sz += m_bMeasured[size_t(c)] ? FormatText("  %c %+.1f", char('A' + c), m_dDistance[size_t(c)])
                                     : FormatText("  %c n/a", char('A' + c));
    return sz;
}

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
    }
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
