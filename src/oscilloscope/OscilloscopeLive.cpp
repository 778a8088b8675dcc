#include "oscilloscope/OscilloscopeLive.h"

#include <algorithm>

#include "imaging/Picture.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerIdBlock.h"

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
