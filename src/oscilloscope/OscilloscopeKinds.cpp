#include "oscilloscope/OscilloscopeKinds.h"

#include <algorithm>

#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeLive.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "platform/Log.h"
#include "scanner/ScannerVariants.h"

namespace {

bool g_bDescribeFocus = false;

CJson FocusJson(const COscRecording& rec)
{
    CJson cameras = CJson::MakeArray();
    CSimScanner sim(rec.m_iCameraCount, 0, rec.m_szScannerName, rec.m_bColorScanner);
    CFocusEvaluation focus(&sim);
    CFocusData data;
    FillFocusData(rec, 0, 1, data);
    focus.Evaluate(data);
    const std::vector<int32_t>& curve = focus.Contrast();
    const std::vector<int64_t> starts = CameraStarts(rec);
    for (int32_t c = 0; c < std::min(rec.m_iCameraCount, FOCUS_CAMERAS); ++c) {
        int64_t iSum = 0, iCount = 0;
        int32_t iMax = 0;
        for (int64_t i = starts[size_t(c)]; i < starts[size_t(c) + 1] && i < int64_t(curve.size()); ++i)
            if (curve[size_t(i)] > 0) {
                iSum += curve[size_t(i)];
                ++iCount;
                iMax = std::max(iMax, curve[size_t(i)]);
            }
        CJson cam = CJson::MakeObject();
        cam.Set("camera", std::string(1, char('A' + c)));
        cam.Set("stitch_wire_start", data.m_StitchWireStart[size_t(c)]);
        cam.Set("stitch_wire_end", data.m_StitchWireEnd[size_t(c)]);
        cam.Set("segments", focus.Segments()[size_t(c)]);
        cam.Set("mean_contrast", iCount ? CJson(static_cast<double>(iSum) / static_cast<double>(iCount)) : CJson());
        cam.Set("max_contrast", iMax);
        cameras.Push(std::move(cam));
    }
    return cameras;
}

void DescribeRecording(const std::string& /*szAs*/, CFileDescription& desc)
{
    COscRecording rec;
    const COscReadResult r = ReadOscilloscopeFile(desc.m_szFile, rec);
    desc.m_Messages.insert(desc.m_Messages.end(), r.m_Messages.begin(), r.m_Messages.end());
    if (r.m_eOutcome != OSC_READ_LOADED) {
        desc.m_Messages.push_back(r.m_szError);
        desc.m_szProblem = r.m_szError;
        return;
    }
    desc.m_Extra.Set("lines", rec.m_iLines);
    desc.m_Extra.Set("pixels_per_line", rec.m_iPixelsPerLine);
    CJson pix = CJson::MakeArray();
    for (int32_t c = 0; c < rec.m_iCameraCount; ++c)
        pix.Push(rec.m_CameraPix[size_t(c)]);
    desc.m_Extra.Set("camera_pixels", pix);
    desc.m_Extra.Set("camera_count", rec.m_iCameraCount);
    desc.m_Extra.Set("color", rec.m_bColor);
    desc.m_Extra.Set("generation", rec.m_iGeneration);
    desc.m_Extra.Set("scanner_family", rec.m_iScannerFamily);
    desc.m_Extra.Set("optical_resolution", RecordingOpticalResolution(rec.m_iPixelsPerLine, rec.m_dWidthFactor));
    desc.m_Extra.Set("camera_adjustment", CameraAdjustmentApplies(rec.m_iGeneration, rec.m_iCameraCount));
    if (rec.m_bMTF) {
        CJson arrays = CJson::MakeArray();
        for (const auto& a : rec.m_MtfArrays) {
            CJson values = CJson::MakeArray();
            for (int32_t v : a)
                values.Push(v);
            arrays.Push(std::move(values));
        }
        desc.m_Extra.Set("mtf_arrays", arrays);
    }
    // Focus needs the evaluation of the first line; asked for on the command line.
    if (g_bDescribeFocus)
        desc.m_Extra.Set("focus", FocusJson(rec));
}

std::vector<std::string> WriteSamples(const std::string& szDirIn)
{
    const std::string szDir = szDirIn.empty() || szDirIn.back() == '/' ? szDirIn : szDirIn + "/";
    std::vector<std::string> written;
    struct CSample {
        const char* m_szName;
        int32_t m_iCameras;
        bool m_bColor;
        int32_t m_iGeneration;
        int32_t m_iType;
        int32_t m_iLines;
        bool m_bMTF;
        int32_t m_iFineLines;  // the focus pattern; the camera adjustment sample shows the plain card
    };
    const CSample samples[] = {
        {"oscilloscope-gray.con", 4, false, 6, 5, 8, false, 4},
        {"oscilloscope-color.con", 4, true, 6, 5, 6, false, 4},
        {"oscilloscope-gen9-5cam.con", 5, true, 9, 17, 4, false, 0},
        {"mtf.con", 4, true, 6, 5, 1, true, 4},
    };
    for (const CSample& s : samples) {
        COscSimScenario scenario;
        scenario.m_iCameras = s.m_iCameras;
        scenario.m_bColor = s.m_bColor;
        scenario.m_iGeneration = s.m_iGeneration;
        scenario.m_iType = s.m_iType;
        scenario.m_iFineLines = s.m_iFineLines;
        // The MTF scanner's camera C looks 1.5 pixels too far right.
        if (s.m_bMTF)
            scenario.m_dOffsetX[2] = 1.5;
        COscRecording rec;
        std::string szError;
        if (!RecordSimulatorLines(szDir, scenario, s.m_iLines, rec, szError)) {
            Log_Msg_Txt("Oscilloscope samples: recording failed", szError);
            continue;
        }
        if (s.m_bMTF) {
            scenario.m_iFineLines = 0;
            COscRecording plain;
            if (!RecordSimulatorLines(szDir, scenario, 1, plain, szError)) {
                Log_Msg_Txt("Oscilloscope samples: recording failed", szError);
                continue;
            }
            MakeMtfRecording(rec, plain);
        }
        const std::string szPath = szDir + s.m_szName;
        if (WriteOscilloscopeFile(szPath, rec, &szError))
            written.push_back(szPath);
        else
            Log_Msg_Txt("Oscilloscope samples: cannot write", szError);
    }
    return written;
}

bool RecordingTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    COscRecording rec;
    const COscReadResult r = ReadOscilloscopeFile(szFile, rec);
    if (r.m_eOutcome != OSC_READ_LOADED) {
        szError = r.m_eOutcome == OSC_READ_FAILED ? r.m_szError : "not a recording the oscilloscope plays";
        return false;
    }
    table = RecordingDataTable(rec);
    return true;
}

} // namespace

CDataTable RecordingDataTable(const COscRecording& rec)
{
    CDataTable table;
    const int64_t n = rec.m_iPixelsPerLine;
    table.SetIndexKeys("pixel", static_cast<size_t>(std::max<int64_t>(0, n)));
    if (n <= 0 || !rec.Line(1, 0))
        return table;
    // The camera each pixel belongs to, from the per-camera pixel counts, as the graph letters them.
    std::vector<double>& camera = table.AddColumn("camera");
    int64_t iStart = 0;
    for (int32_t c = 0; c < OSC_MAX_CAMERAS && iStart < n; ++c) {
        const int64_t iPix = rec.m_CameraPix[size_t(c)];
        for (int64_t i = 0; i < iPix && iStart < n; ++i, ++iStart)
            camera.push_back(c);
    }
    if (camera.empty())
        table.m_Columns.pop_back(), table.m_Headers.pop_back();
    // Every recorded line, its colours side by side; the first line keeps
    // the plain colour names, the others say which line they are ("red line 2",
    // counted as the dialog's "Line 2 of 6").
    static const char* const kPlanes[3] = {"red", "green", "blue"};
    for (int64_t iLine = 0; iLine < rec.m_iLines; ++iLine)
        for (int32_t p = 0; p < 3; ++p) {
            const uint8_t* pLine = rec.Line(p, iLine);
            if (!pLine)
                continue;
            std::string szName = rec.IsGray() ? "gray" : kPlanes[p];
            if (iLine > 0)
                szName += " line " + std::to_string(iLine + 1);
            table.AddColumn(szName).assign(pLine, pLine + n);
        }
    return table;
}

void RegisterOscilloscopeKinds(CKindRegistry& reg)
{
    reg.AddDescriber(KIND_OSCILLOSCOPE, &DescribeRecording);
    reg.AddDescriber(KIND_MTF, &DescribeRecording);
    reg.AddDataTable(KIND_OSCILLOSCOPE, &RecordingTable);
    reg.AddDataTable(KIND_MTF, &RecordingTable);
    reg.AddSampleWriter("oscilloscope", &WriteSamples);
}

void SetDescribeOscilloscopeFocus(bool bOn)
{
    g_bDescribeFocus = bOn;
}
