#include "oscilloscope/OscilloscopeKinds.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeLive.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "scanner/ScanLibrary.h"
#include "scanner/Scanner.h"
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

// A scenario for the simulated scanner, used for one recording and removed again.
struct CSimSession {
    std::string m_szIni;
    std::optional<std::string> m_Old, m_OldState;
    CSimSession(const std::string& szDir, const std::string& szScenario)
    {
        m_szIni = szDir + ".oscilloscope-sample.ini";
        WriteFileAtomically(m_szIni, szScenario.data(), szScenario.size());
        if (const char* p = std::getenv("LUMORA_SIM_CONFIG"))
            m_Old = p;
        if (const char* p = std::getenv("LUMORA_SIM_STATE"))
            m_OldState = p;
        setenv("LUMORA_SIM_CONFIG", m_szIni.c_str(), 1);
        setenv("LUMORA_SIM_STATE", "none", 1);
    }
    ~CSimSession()
    {
        if (m_Old)
            setenv("LUMORA_SIM_CONFIG", m_Old->c_str(), 1);
        else
            unsetenv("LUMORA_SIM_CONFIG");
        if (m_OldState)
            setenv("LUMORA_SIM_STATE", m_OldState->c_str(), 1);
        else
            unsetenv("LUMORA_SIM_STATE");
        std::remove(m_szIni.c_str());
    }
};

bool RecordSample(const std::string& szDir, const std::string& szScenario, int32_t iLines, bool bColor,
                  COscRecording& rec)
{
    CSimSession session(szDir, szScenario);
    if (!ZelLib::EnsureLoaded())
        return false;
    CScanner scanner;
    if (scanner.OpenScanner(1, false) != 0) {
        scanner.CloseLibrary();
        return false;
    }
    // The sheet goes under the cameras first, as a technician would load it.
    int32_t iState = 0, iPosition = 0;
    if (scanner.HasStatusBlock() && scanner.GetPaperState(iState, iPosition) && iState != ZEL_PS_READY &&
        iState != ZEL_PS_READY_BUT_MOVED && iState != ZEL_PS_NOT_PRESENT && scanner.CanPaperBeLoaded())
        scanner.LoadPaper(false);
    std::string szError;
    const int32_t iError = RecordOscilloscopeLines(scanner, iLines, bColor, rec, szError);
    scanner.CloseScanner(true);
    if (iError != 0)
        Log_Msg_Txt("Oscilloscope samples: recording failed", szError);
    return iError == 0;
}

std::string Scenario(int32_t iCameras, bool bColor, int32_t iGeneration, int32_t iType, int32_t iFineLines)
{
    std::string sz = FormatText("[Device]\nNames=Lumora SimScan %d %s\nTimeScale=200\n"
                      "[Model]\nType=%d\nColor=%d\nCameras=%d\nOpticalResolution=600\nGeneration=%d\n"
                      "ScanWidth=%d\n"
                      "[Sheet]\nKind=calibration\nFineLines=%d\n"
                      "[Noise]\nSigma=0.6\nSeed=7\n",
                      iCameras * 9, bColor ? "Colour" : "Mono", iType, bColor ? 1 : 0, iCameras, iGeneration,
                      iCameras * 10800, iFineLines);
    // Offset-corrected front ends read the covered pixels at 0, so the
    // stitch wires show where each camera starts to see light; camera B is
    // out of focus, which the focus evaluation must find.
    for (int32_t c = 0; c < iCameras; ++c)
        sz += FormatText("[Camera.%c]\nBlack=0\n%s", char('A' + c), c == 1 ? "Blur=2\n" : "");
    return sz;
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
        COscRecording rec;
        if (!RecordSample(szDir, Scenario(s.m_iCameras, s.m_bColor, s.m_iGeneration, s.m_iType, s.m_iFineLines), s.m_iLines,
                          s.m_bColor, rec))
            continue;
        if (s.m_bMTF) {
            rec.m_bMTF = true;
            rec.m_iLines = 1;
            for (auto& plane : rec.m_Planes)
                if (!plane.empty())
                    plane.resize(size_t(rec.m_iPixelsPerLine));
            // Width and centre of each camera's view in pixels, and the three MTF figures.
            for (int32_t c = 0; c < rec.m_iCameraCount; ++c) {
                rec.m_MtfArrays[0].push_back(rec.m_CameraPix[size_t(c)]);
                rec.m_MtfArrays[1].push_back(rec.m_CameraPix[size_t(c)] / 2);
                rec.m_MtfArrays[2].push_back(62 - 3 * c);
                rec.m_MtfArrays[3].push_back(48 - 2 * c);
                rec.m_MtfArrays[4].push_back(31 - c);
            }
        }
        const std::string szPath = szDir + s.m_szName;
        std::string szError;
        if (WriteOscilloscopeFile(szPath, rec, &szError))
            written.push_back(szPath);
        else
            Log_Msg_Txt("Oscilloscope samples: cannot write", szError);
    }
    return written;
}

} // namespace

void RegisterOscilloscopeKinds(CKindRegistry& reg)
{
    reg.AddDescriber(KIND_OSCILLOSCOPE, &DescribeRecording);
    reg.AddDescriber(KIND_MTF, &DescribeRecording);
    reg.AddSampleWriter("oscilloscope", &WriteSamples);
}

void SetDescribeOscilloscopeFocus(bool bOn)
{
    g_bDescribeFocus = bOn;
}
