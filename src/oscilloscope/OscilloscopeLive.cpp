#include "oscilloscope/OscilloscopeLive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "imaging/Picture.h"
#include "oscilloscope/CameraAdjustment.h"
#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "scanner/SimScenarioSession.h"
#include "platform/Log.h"
#include "scanner/ScanLibrary.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerIdBlock.h"
#include "scanner/ScannerVariants.h"

int32_t RecordOscilloscopeLines(CScanner& scanner, int32_t iLines, bool bColor, COscRecording& rec,
                                std::string& szError)
{
    CPicture pic;
    const bool bRGB = bColor && scanner.IsColorScanner();
    const int32_t iError = AcquirePicture(scanner, pic, std::max(iLines, 1), bRGB ? 3 : 2);
    if (iError != 0 || pic.m_iHeight < 1) {
        szError = iError == kErrAllNoisy ? "every block showed CIS noise at the camera edges"
                                         : FormatText("the scan failed (error %d, 0x%X)", iError,
                                                      static_cast<unsigned>(iError));
        return iError ? iError : CContScan::kErrLineWidth;
    }
    COscRecording r;
    r.m_bColorScanner = scanner.IsColorScanner();
    r.m_iColorCode = pic.IsRGB() ? 3 : 4;
    r.m_bColor = pic.IsRGB();
    r.m_iCameraUsed = 255;
    const int32_t iBytes = pic.IsRGB() ? 3 : 1;
    for (int32_t c = 0; c < OSC_MAX_CAMERAS; ++c) {
        const int32_t iPix = std::max(0, pic.m_BiC[c]) / iBytes;
        r.m_CameraPix[size_t(c)] = iPix;
        if (iPix > 0)
            r.m_iCameraCount = c + 1;
    }
    r.m_iScannerWidth = scanner.m_InquiryPages.GetInt32(0xC1, 28, 0);
    r.m_dWidthFactor = r.m_iScannerWidth > 0 ? r.m_iScannerWidth / 5088.0 : 8.5;
    r.m_iScannerFamily = scanner.GetScannerType();
    scanner.GetGeneration(r.m_iGeneration);
    r.m_bCorrected = false;
    r.m_Magnification = {100, 100, 100};
    r.m_CenterLines = {0, 0, 0};
    CScannerIdBlock id;
    id.Collect(scanner, false);
    auto field = [&](CScannerIdBlock::EField e) { return id.m_Fields[e].value_or(std::string()).substr(0, 49); };
    r.m_szScannerName = field(CScannerIdBlock::SCANNER);
    r.m_szScannerID = field(CScannerIdBlock::SERIAL_NO);
    r.m_szDate = field(CScannerIdBlock::DATE);
    r.m_szTime = field(CScannerIdBlock::TIME);
    r.m_iPixelsPerLine = pic.m_iWidth;
    r.m_iLines = pic.m_iHeight;
    const size_t iPlane = size_t(pic.m_iWidth) * size_t(pic.m_iHeight);
    for (int32_t p = 0; p < 3; ++p) {
        if (!pic.IsRGB() && p != 1)
            continue;
        r.m_Planes[size_t(p)].resize(iPlane);
        for (int32_t y = 0; y < pic.m_iHeight; ++y)
            for (int32_t x = 0; x < pic.m_iWidth; ++x)
                r.m_Planes[size_t(p)][size_t(y) * size_t(pic.m_iWidth) + size_t(x)] =
                    static_cast<uint8_t>(pic.GetSample(x, y, pic.IsRGB() ? p : 0));
    }
    rec = std::move(r);
    return 0;
}

std::string COscSimScenario::Ini() const
{
    std::string sz = FormatText("[Device]\nNames=Lumora SimScan %d %s\nTimeScale=200\n"
                                "[Model]\nType=%d\nColor=%d\nCameras=%d\nOpticalResolution=%d\nGeneration=%d\n"
                                "ScanWidth=%d\n"
                                "[Sheet]\nKind=calibration\nFineLines=%d\n"
                                "[Noise]\nSigma=0.6\nSeed=%d\n",
                                m_iCameras * 9, m_bColor ? "Colour" : "Mono", m_iType, m_bColor ? 1 : 0, m_iCameras, m_iResolution,
                                m_iGeneration, m_iCameras * 10800, m_iFineLines, m_iSeed);
    // Offset-corrected front ends read the covered pixels at 0, so the
    // stitch wires show where each camera starts to see light; camera B is
    // out of focus, which the focus evaluation must find.
    for (int32_t c = 0; c < std::min(m_iCameras, OSC_MAX_CAMERAS); ++c)
        sz += FormatText("[Camera.%c]\nBlack=0\n%sOffsetX=%.3f\nWidthError=%.3f\n", char('A' + c),
                         c == 1 ? "Blur=2\n" : "", m_dOffsetX[size_t(c)], m_dWidthError[size_t(c)]);
    return sz;
}

bool RecordSimulatorLines(const std::string& szDir, const COscSimScenario& s, int32_t iLines, COscRecording& rec,
                          std::string& szError)
{
    CSimScenarioSession session(szDir, ".oscilloscope-sample.ini", s.Ini());
    if (!ZelLib::EnsureLoaded()) {
        szError = "the simulated scanner library cannot be loaded";
        return false;
    }
    CScanner scanner;
    if (const int32_t e = scanner.OpenScanner(1, false); e != 0) {
        scanner.CloseLibrary();
        szError = FormatText("the simulated scanner does not open (error %d)", e);
        return false;
    }
    // The sheet goes under the cameras first, as a technician would load it.
    int32_t iState = 0, iPosition = 0;
    if (scanner.HasStatusBlock() && scanner.GetPaperState(iState, iPosition) && iState != ZEL_PS_READY &&
        iState != ZEL_PS_READY_BUT_MOVED && iState != ZEL_PS_NOT_PRESENT && scanner.CanPaperBeLoaded())
        scanner.LoadPaper(false);
    const int32_t iError = RecordOscilloscopeLines(scanner, iLines, s.m_bColor, rec, szError);
    scanner.CloseScanner(true);
    return iError == 0;
}

void MakeMtfRecording(COscRecording& rec, const COscRecording& plain)
{
    rec.m_bMTF = true;
    rec.m_iLines = std::min<int64_t>(rec.m_iLines, 1);
    for (auto& plane : rec.m_Planes)
        if (!plane.empty())
            plane.resize(size_t(rec.m_iPixelsPerLine));
    for (auto& a : rec.m_MtfArrays)
        a.assign(size_t(std::max(rec.m_iCameraCount, 0)), 0);
    COscCameraAdjustment adjust;
    const COscAdjustResult r = adjust.Run(plain, 0);
    const std::vector<int64_t> starts = CameraStarts(rec);
    CSimScanner sim(rec.m_iCameraCount, 0, rec.m_szScannerName, rec.m_bColorScanner);
    for (int32_t c = 0; c < rec.m_iCameraCount && c < OSC_MAX_CAMERAS; ++c) {
        rec.m_MtfArrays[OSC_MTF_WIDTH][size_t(c)] = static_cast<int32_t>(std::lround(r.m_dWidth[size_t(c)] * 100));
        rec.m_MtfArrays[OSC_MTF_CENTER][size_t(c)] = static_cast<int32_t>(std::lround(r.m_dDistance[size_t(c)] * 100));
    }
    for (int32_t iPlane = 0; iPlane < 3; ++iPlane) {
        const uint8_t* pLine = rec.Line(rec.IsGray() ? 1 : iPlane, 0);
        if (!pLine)
            continue;
        CFocusEvaluation focus(&sim);
        CFocusData data;
        FillFocusData(rec, 0, rec.IsGray() ? 1 : iPlane, data);
        focus.Evaluate(data);
        const std::vector<int32_t>& curve = focus.Contrast();
        for (int32_t c = 0; c < std::min(rec.m_iCameraCount, FOCUS_CAMERAS); ++c) {
            int64_t iSum = 0, iCount = 0;
            int32_t iLow = 255, iHigh = 0;
            for (int64_t i = starts[size_t(c)]; i < starts[size_t(c) + 1] && i < int64_t(curve.size()); ++i) {
                if (pLine[i] >= 2) {
                    iLow = std::min<int32_t>(iLow, pLine[i]);
                    iHigh = std::max<int32_t>(iHigh, pLine[i]);
                }
                if (curve[size_t(i)] > 0) {
                    iSum += curve[size_t(i)];
                    ++iCount;
                }
            }
            if (iCount > 0 && iHigh > iLow)
                rec.m_MtfArrays[size_t(OSC_MTF_RED + iPlane)][size_t(c)] =
                    static_cast<int32_t>(std::lround(100.0 * double(iSum) / double(iCount) / double(iHigh - iLow)));
        }
    }
}
