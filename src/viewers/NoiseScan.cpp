#include "viewers/NoiseScan.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/Picture.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerIdBlock.h"
#include "viewers/NoiseRecord.h"

namespace {

// Spread of one channel of every column over the picture's rows.
std::vector<uint8_t> Spread(const CPicture& pic, int32_t iChannel)
{
    std::vector<uint8_t> out(static_cast<size_t>(pic.m_iWidth), 0);
    for (int32_t x = 0; x < pic.m_iWidth; ++x) {
        double dSum = 0, dSquares = 0;
        for (int32_t y = 0; y < pic.m_iHeight; ++y) {
            const double v = pic.GetSample(x, y, iChannel);
            dSum += v;
            dSquares += v * v;
        }
        const double dMean = dSum / pic.m_iHeight;
        const double dDeviation = std::sqrt(std::max(dSquares / pic.m_iHeight - dMean * dMean, 0.0));
        out[size_t(x)] = static_cast<uint8_t>(
            dMean > 0 ? std::min(std::lround(100.0 * dDeviation / dMean), 255L) : 0);
    }
    return out;
}

} // namespace

int32_t ScanNoiseRecord(CScanner& scanner, CNoiseRecord& record, int32_t iLines, std::string& szError)
{
    CPicture pic;
    const bool bColor = scanner.IsColorScanner();
    const int32_t iError = AcquirePicture(scanner, pic, std::max(iLines, 2), bColor ? 3 : 2);
    if (iError != 0 || pic.m_iHeight < 2) {
        szError = iError == kErrAllNoisy ? "every block showed CIS noise at the camera edges"
                                         : FormatText("the scan failed (error %d, 0x%X)", iError,
                                                      static_cast<unsigned>(iError));
        return iError ? iError : CContScan::kErrLineWidth;
    }
    CNoiseRecord r;
    r.m_iWidth = pic.m_iWidth;
    r.m_bColorScanner = pic.IsRGB();
    r.AllocateChannels();
    r.m_Green = Spread(pic, 1);
    if (r.m_bColorScanner) {
        r.m_Red = Spread(pic, 0);
        r.m_Blue = Spread(pic, 2);
    }
    r.m_iScannerWidth = scanner.m_InquiryPages.GetInt32(0xC1, 28, 0);
    r.m_dWidthFactor = r.m_iScannerWidth / 5088.0;
    scanner.GetGeneration(r.m_iGeneration);
    CScannerIdBlock id;
    id.Collect(scanner, false);
    auto field = [&](CScannerIdBlock::EField e) { return id.m_Fields[e].value_or(std::string()).substr(0, 49); };
    r.m_szScannerName = field(CScannerIdBlock::SCANNER);
    r.m_szScannerID = field(CScannerIdBlock::SERIAL_NO);
    r.m_szDate = field(CScannerIdBlock::DATE);
    r.m_szTime = field(CScannerIdBlock::TIME);
    r.m_iNoiseLimit = record.m_iNoiseLimit;
    r.m_bHasNoiseLimit = record.m_bHasNoiseLimit;
    r.ComputeAverages();
    record = std::move(r);
    return 0;
}
