// The exported entries of the simulated scanner library. Each takes the one
// library lock, so a test thread and a worker can talk to it at once.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "SimDevice.h"
#include "platform/ByteOrder.h"
#include "scanner/zel_scan_2000.h"

#define ZEL_EXPORT extern "C" __attribute__((visibility("default")))

using namespace sim;

namespace {

// Common gate of every scanner entry: library open, connection alive, a known
// scanner (opened when bNeedOpen), and no injected check condition.
struct CGate {
    CLibrary& m_Lib = CLibrary::Instance();
    std::lock_guard<std::mutex> m_Lock{m_Lib.m_Mutex};
    CDevice* m_pDevice = nullptr;
    int32_t m_iResult = 0;

    CGate(const char* szEntry, int32_t hScanner, bool bNeedOpen, int32_t iSelector = -1)
    {
        if (!m_Lib.IsOpen()) {
            m_iResult = ZEL_ERR_NOT_OPEN;
            return;
        }
        if ((m_iResult = m_Lib.CountCall()) != 0)
            return;
        m_pDevice = m_Lib.Find(hScanner);
        if (!m_pDevice || (bNeedOpen && !m_pDevice->m_bOpen)) {
            m_pDevice = nullptr;
            m_iResult = ZEL_ERR_BAD_HANDLE;
            return;
        }
        m_iResult = m_Lib.Injected(m_pDevice, szEntry, iSelector);
    }
    bool Ok() const { return m_iResult == 0; }
};

void MovePaper(CLibrary& lib, CDevice& d, int64_t iTarget, int32_t iFinalState)
{
    const CScenario& s = lib.m_Scenario;
    const int64_t iNow = lib.SimNow();
    const int64_t iDistance = std::llabs(iTarget - std::max<int64_t>(d.m_iPosition, 0));
    const int64_t iTravel = iDistance * 1000 / std::max(s.m_iPaperSpeed, 1);
    d.m_iTargetPosition = iTarget;
    d.m_iPaper = 0x21;
    d.m_PaperSteps = {{iNow + iTravel, 0x22}, {iNow + iTravel + s.m_iPositionMs, iFinalState}};
}

bool HasPaperInPath(int32_t iPaper)
{
    return iPaper == 0x30 || iPaper == 0x31 || iPaper == 0x24;
}

} // namespace

ZEL_EXPORT int32_t scanOpenLib2(const char* szGreeting)
{
    if (!szGreeting)
        return ZEL_ERR_BAD_ARGUMENT;
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    return lib.OpenLib();
}

ZEL_EXPORT int32_t scanCloseLib(void)
{
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    return lib.CloseLib();
}

ZEL_EXPORT int32_t scanApplyDataProcessing(int32_t bOn)
{
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    lib.m_bStitched = bOn != 0;
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanRescanScsiBus(void)
{
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    if (!lib.IsOpen())
        return ZEL_ERR_NOT_OPEN;
    if (const int32_t r = lib.CountCall())
        return r;
    return ZEL_RESCAN_NOTHING_NEW;
}

ZEL_EXPORT int32_t scanGetNextScanner(int32_t* phScanner, void* pInfo, int32_t bFirst)
{
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    if (!lib.IsOpen())
        return ZEL_ERR_NOT_OPEN;
    if (const int32_t r = lib.CountCall())
        return r;
    if (!phScanner)
        return ZEL_ERR_BAD_ARGUMENT;
    if (bFirst)
        lib.m_iEnumerated = 0;
    if (lib.m_iEnumerated >= lib.m_Devices.size())
        return ZEL_NO_MORE_SCANNERS;
    const CDevice& d = lib.m_Devices[lib.m_iEnumerated++];
    *phScanner = d.m_hHandle;
    if (pInfo) {
        std::memset(pInfo, 0, ZEL_SCANNER_INFO_SIZE);
        std::memcpy(pInfo, d.m_szName.c_str(), std::min<size_t>(d.m_szName.size(), ZEL_SCANNER_INFO_SIZE - 1));
    }
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanOpenScanner(int32_t hScanner)
{
    CGate g("scanOpenScanner", hScanner, false);
    if (!g.Ok())
        return g.m_iResult;
    CDevice& d = *g.m_pDevice;
    if (!d.m_bOpen)
        d.m_iNotReadyLeft = g.m_Lib.m_Scenario.m_iNotReadyReads;
    d.m_bOpen = true;
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanCloseScanner(int32_t hScanner)
{
    CGate g("scanCloseScanner", hScanner, true);
    if (!g.Ok())
        return g.m_iResult;
    g.m_pDevice->m_bOpen = false;
    g.m_pDevice->m_bReserved = false;
    g.m_pDevice->m_bScanning = false;
    g.m_Lib.SaveState();
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanTestUnitReady(int32_t hScanner)
{
    {
        CGate g("scanTestUnitReady", hScanner, true);
        if (!g.Ok())
            return g.m_iResult;
        CDevice& d = *g.m_pDevice;
        // Coming up after an open shows only in the status block (state 10); a
        // firmware restart makes the unit itself not ready.
        if (d.m_iRebootUntil < 0 || g.m_Lib.SimNow() >= d.m_iRebootUntil)
            return ZEL_OK;
    }
    // A real unit takes a bus round trip to say "not yet"; callers ask again
    // at once, so without this they would spin a processor core.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return ZEL_NOT_READY_YET;
}

ZEL_EXPORT int32_t scanReserveUnit(int32_t hScanner)
{
    CGate g("scanReserveUnit", hScanner, true);
    if (!g.Ok())
        return g.m_iResult;
    g.m_pDevice->m_bReserved = true;
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanReleaseUnit(int32_t hScanner)
{
    CGate g("scanReleaseUnit", hScanner, true);
    if (!g.Ok())
        return g.m_iResult;
    g.m_pDevice->m_bReserved = false;
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanGetHardwareType(int32_t hScanner)
{
    CGate g("scanGetHardwareType", hScanner, false);
    if (!g.Ok())
        return g.m_iResult;
    return g.m_pDevice->m_iConnection;
}

ZEL_EXPORT int32_t scanGetScannerNameToDisplay(int32_t hScanner, char* szName, int32_t iSize)
{
    CGate g("scanGetScannerNameToDisplay", hScanner, false);
    if (!g.Ok())
        return g.m_iResult;
    if (!szName || iSize <= 0)
        return ZEL_ERR_BAD_ARGUMENT;
    if (g.m_Lib.m_Scenario.m_bNoName)
        return ZEL_NO_NAME;
    const std::string& sz = g.m_pDevice->m_szName;
    const size_t n = std::min(sz.size(), static_cast<size_t>(iSize - 1));
    std::memcpy(szName, sz.data(), n);
    szName[n] = '\0';
    return ZEL_OK;
}

namespace {

int32_t ReadImage(CLibrary& lib, CDevice& d, uint8_t* pBuffer, int32_t iLength, int32_t* piReceived)
{
    if (!d.m_bScanning)
        return ZEL_OK;
    const CScenario& s = lib.m_Scenario;
    lib.Advance(d);
    const CWindow& w = d.m_Window;
    const CLayout layout = lib.Layout(d);
    const bool bLineArt = w.m_iBitsPerPixel == 1;
    const int32_t iBytesPerPixel = std::max(w.m_iBitsPerPixel / 8, 1);
    const int64_t iPixels = layout.m_iWidth;
    const int64_t iLineBytes = bLineArt ? (iPixels + 7) / 8 : iPixels * iBytesPerPixel;
    if (iPixels <= 0 || iLineBytes > (64 << 20))
        return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    const int64_t iNow = lib.SimNow();
    if (iNow < d.m_iStallUntil)
        return ZEL_OK; // stalled: nothing arrives for a while
    const int32_t iYResolution = std::max(w.m_iYResolution, 1);
    const bool bMoving = d.m_iLinesWanted > 0; // a continuous scan holds the sheet still
    const double dStep = bMoving ? 1200.0 / iYResolution : 0.0;
    int64_t iLines = iLength / iLineBytes;
    if (d.m_iLinesWanted > 0)
        iLines = std::min(iLines, d.m_iLinesWanted - d.m_iLinesDelivered);
    if (bMoving) {
        // No lines from beyond the sheet's end.
        const int64_t iLeft = (static_cast<int64_t>(s.m_iPaperLength) - d.m_iScanStartPosition) * iYResolution / 1200;
        iLines = std::min(iLines, std::max<int64_t>(iLeft - d.m_iLinesDelivered, 1));
    }
    // The window's second vendor byte asks for a carriage speed in tenths of
    // an inch per second; the sensor's own pace is a limit as well.
    double dSpeed = s.m_dScanSpeed;
    if (const double dCarriage = w.m_Bytes.size() > 82 ? w.m_Bytes[82] / 10.0 : 0.0; bMoving && dCarriage > 0)
        dSpeed = dSpeed > 0 ? std::min(dSpeed, dCarriage) : dCarriage;
    if (dSpeed > 0) {
        // Lines come no faster than the sensor takes them.
        const double dMade = static_cast<double>(iNow - d.m_iScanStartMs) * dSpeed * iYResolution / 1000.0;
        iLines = std::min<int64_t>(iLines, std::max<int64_t>(static_cast<int64_t>(dMade) - d.m_iLinesDelivered, 0));
    }
    if (iLines <= 0)
        return ZEL_OK;
    ++d.m_iImageReads;
    CLineRequest req;
    req.m_iBytesPerPixel = bLineArt ? 1 : iBytesPerPixel;
    req.m_dStep = dStep;
    req.m_bEdgeNoise = s.m_iCISNoiseEvery > 0 && d.m_iImageReads % s.m_iCISNoiseEvery == 0;
    std::vector<uint8_t> gray(bLineArt ? static_cast<size_t>(iPixels) : 0);
    const uint8_t byThreshold = w.m_Bytes.size() > 31 ? w.m_Bytes[31] : 128;
    for (int64_t i = 0; i < iLines; ++i) {
        uint8_t* pLine = pBuffer + i * iLineBytes;
        req.m_iLine = d.m_iLinesDelivered + i;
        while (!d.m_GainOffsetQueue.empty() && d.m_GainOffsetQueue.front().first <= req.m_iLine) {
            d.m_GainOffsetInUse = std::move(d.m_GainOffsetQueue.front().second);
            d.m_GainOffsetQueue.erase(d.m_GainOffsetQueue.begin());
        }
        req.m_dSheetY = static_cast<double>(d.m_iScanStartPosition) + dStep * static_cast<double>(req.m_iLine);
        if (!bLineArt) {
            lib.m_pImageSource->RenderLine(lib, d, layout, req, pLine);
            continue;
        }
        // Line art: one bit per pixel, most significant first, 1 = black.
        lib.m_pImageSource->RenderLine(lib, d, layout, req, gray.data());
        std::memset(pLine, 0, static_cast<size_t>(iLineBytes));
        for (int64_t x = 0; x < iPixels; ++x)
            if (gray[static_cast<size_t>(x)] < byThreshold)
                pLine[x / 8] = static_cast<uint8_t>(pLine[x / 8] | (0x80 >> (x % 8)));
    }
    d.m_iLinesDelivered += iLines;
    *piReceived = static_cast<int32_t>(iLines * iLineBytes);
    if (s.m_iStallEvery > 0 && d.m_iImageReads % s.m_iStallEvery == 0)
        d.m_iStallUntil = iNow + s.m_iStallMs;
    if (bMoving) {
        // The sheet travels under the sensor as the lines come.
        const int64_t iTravel = d.m_iLinesDelivered * 1200 / iYResolution;
        d.m_iPosition = std::min<int64_t>(d.m_iScanStartPosition + iTravel, s.m_iPaperLength);
        d.m_iTargetPosition = d.m_iPosition;
    }
    const bool bSheetOut = bMoving && d.m_iPosition >= s.m_iPaperLength;
    if ((d.m_iLinesWanted > 0 && d.m_iLinesDelivered >= d.m_iLinesWanted) || bSheetOut) {
        d.m_bScanning = false;
        d.m_iPaper = 0x30;
        return CheckCondition(d, ZEL_ASC_END_OF_MEDIUM);
    }
    return ZEL_OK;
}

} // namespace

ZEL_EXPORT int32_t scanRead(int32_t hScanner, void* pBuffer, int32_t iLength, int32_t iDataType, int32_t iQualifier,
                            int32_t* piReceived)
{
    int32_t iSlowMs = 0;
    int32_t iResult = 0;
    {
        CGate g("scanRead", hScanner, true, iDataType);
        if (!g.Ok())
            return g.m_iResult;
        if (!pBuffer || iLength < 0 || !piReceived)
            return ZEL_ERR_BAD_ARGUMENT;
        *piReceived = 0;
        CLibrary& lib = g.m_Lib;
        CDevice& d = *g.m_pDevice;
        const CScenario& s = lib.m_Scenario;
        uint8_t* p = static_cast<uint8_t*>(pBuffer);
        auto deliver = [&](const std::vector<uint8_t>& bytes, size_t iLimit) {
            const size_t n = std::min({bytes.size(), static_cast<size_t>(iLength), iLimit});
            if (n)
                std::memcpy(p, bytes.data(), n);
            *piReceived = static_cast<int32_t>(n);
        };
        switch (iDataType) {
        case ZEL_DT_INQUIRY: {
            const std::vector<uint8_t> page = lib.InquiryPage(static_cast<uint8_t>(iQualifier));
            if (page.empty())
                return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
            deliver(page, page.size());
            break;
        }
        case ZEL_DT_STATUS: {
            if (s.m_bNoStatusBlock)
                return ZEL_NO_STATUS_BLOCK;
            std::vector<uint8_t> block = lib.StatusBlock(d);
            if (s.m_bSelfTestOnOpen)
                block[0] = 7;
            deliver(block, static_cast<size_t>(std::max(s.m_iStatusLength, 0)));
            break;
        }
        case ZEL_DT_IMAGE: iResult = ReadImage(lib, d, p, iLength, piReceived); break;
        case ZEL_DT_LENS_CORRECTION:
            if (iQualifier == 3) {
                deliver({static_cast<uint8_t>(std::clamp(s.m_iLensAreas, 0, 255))}, 1);
            } else if (iQualifier == 2) {
                deliver(d.m_Sent[{ZEL_DT_LENS_CORRECTION, 2}], SIZE_MAX);
            } else {
                return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
            }
            break;
        case ZEL_DT_IDENTIFICATION: {
            std::vector<uint8_t> id(256, ' ');
            const std::string sz = d.m_szName + " firmware 6.0.0 build 2026";
            std::copy(sz.begin(), sz.end(), id.begin());
            deliver(id, id.size());
            break;
        }
        case ZEL_DT_CONFIGURATION: {
            if (iQualifier == 2) {
                // Pixel count of every camera A-H in the line delivered now.
                const CLayout layout = lib.Layout(d);
                std::vector<uint8_t> pixels(4 * kMaxCameras, 0);
                for (int32_t c = 0; c < layout.m_iCameras; ++c)
                    PutBe32(&pixels[4 * static_cast<size_t>(c)],
                            layout.m_Views[static_cast<size_t>(c)].m_iCountInLine);
                deliver(pixels, pixels.size());
                break;
            }
            if (iQualifier != 1)
                return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
            std::vector<uint8_t> ranges(24);
            PutBe32(&ranges[0], s.m_iStitchMin);
            PutBe32(&ranges[4], s.m_iStitchMax);
            for (size_t k = 8; k < 24; k += 4)
                PutBe32(&ranges[k], -100);
            deliver(ranges, ranges.size());
            break;
        }
        default: return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        }
        if (s.m_iOverReport != 0)
            *piReceived += s.m_iOverReport;
        iSlowMs = s.m_iSlowReadMs;
    }
    // Slow reads hold only the caller, not the library lock.
    if (iSlowMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(iSlowMs));
    return iResult;
}

ZEL_EXPORT int32_t scanSend(int32_t hScanner, const void* pData, int32_t iLength, int32_t iDataType,
                            int32_t iQualifier)
{
    CGate g("scanSend", hScanner, true, iDataType);
    if (!g.Ok())
        return g.m_iResult;
    if (iLength < 0 || (iLength > 0 && !pData))
        return ZEL_ERR_BAD_ARGUMENT;
    CLibrary& lib = g.m_Lib;
    CDevice& d = *g.m_pDevice;
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    const std::vector<uint8_t> bytes(p, p + iLength);
    switch (iDataType) {
    case ZEL_DT_STATUS: // reset commands
        d.m_bScanning = false;
        if (d.m_iPaper == 0x24)
            d.m_iPaper = 0x30;
        return ZEL_OK;
    case ZEL_DT_TEXT_COMMAND: d.m_TextCommands.emplace_back(bytes.begin(), bytes.end()); return ZEL_OK;
    case ZEL_DT_DRIVE: {
        lib.Advance(d);
        if (iLength < 2 || p[0] >= lib.Cameras())
            return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        CMotor& m = d.m_Motors[p[0]];
        switch (iQualifier) {
        case 0:
            if (iLength < 5)
                return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
            m.m_iRun = 0;
            m.m_iTarget = m.m_iPosition + Be32(p + 1);
            return ZEL_OK;
        case 1: m.m_iRun = p[1] == 18 ? -1 : 1; return ZEL_OK;
        case 2:
            m.m_iRun = 0;
            m.m_iTarget = m.m_iPosition;
            return ZEL_OK;
        case 3:
            m.m_iRun = 0;
            m.m_iTarget = 0;
            return ZEL_OK;
        default: return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        }
    }
    case ZEL_DT_SERVICE:
        if (iQualifier == 5) { // cold reboot
            d.m_iRebootsPending = std::max(d.m_iRebootsPending - 1, 0);
            d.m_bReserved = false;
            d.m_bScanning = false;
            d.m_iRebootUntil = lib.SimNow() + lib.m_Scenario.m_iRebootMs;
        }
        d.m_Sent[{iDataType, iQualifier}] = bytes;
        return ZEL_OK;
    default: d.m_Sent[{iDataType, iQualifier}] = bytes; return ZEL_OK;
    }
}

ZEL_EXPORT int32_t scanReadBuffer(int32_t hScanner, void* pBuffer, int32_t iMode, int32_t iBufferId,
                                  int32_t iOffset, int32_t iLength)
{
    CGate g("scanReadBuffer", hScanner, true, iBufferId);
    if (!g.Ok())
        return g.m_iResult;
    if (!pBuffer || iLength < 0 || iLength > (1 << 20) || iMode != 1)
        return ZEL_ERR_BAD_ARGUMENT;
    CLibrary& lib = g.m_Lib;
    CDevice& d = *g.m_pDevice;
    uint8_t* p = static_cast<uint8_t*>(pBuffer);
    if (iBufferId == ZEL_BUF_QUERY) {
        if (iLength < 2)
            return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        const uint8_t byCode = p[1];
        std::vector<uint8_t> answer(static_cast<size_t>(iLength), 0);
        answer[1] = byCode;
        const int32_t iCameras = lib.Cameras();
        auto put16 = [&](size_t i, int64_t v) {
            if (i + 2 <= answer.size())
                PutBe16(&answer[i], v);
        };
        auto put32 = [&](size_t i, int64_t v) {
            if (i + 4 <= answer.size())
                PutBe32(&answer[i], v);
        };
        switch (byCode) {
        case 0: put16(2, lib.m_Scenario.m_iLeastLines); break;
        case 16: put16(2, lib.m_Scenario.m_iMostLines); break;
        case 6: {
            // Where each camera lies in the delivered line, and how much of it.
            const CLayout layout = lib.Layout(d);
            for (int32_t c = 0; c < std::min(iCameras, layout.m_iCameras); ++c) {
                const CCameraView& v = layout.m_Views[static_cast<size_t>(c)];
                put16(2 + 4 * static_cast<size_t>(c), v.m_iInLine);
                put16(4 + 4 * static_cast<size_t>(c), v.m_iCountInLine);
            }
            break;
        }
        case 13: put16(2, lib.m_Scenario.m_iGeneration); break;
        case 22:
        case 23:
            lib.Advance(d);
            for (int32_t c = 0; c < kMaxCameras; ++c) {
                const CMotor& m = d.m_Motors[static_cast<size_t>(c)];
                const bool bRunning = m.m_iRun != 0 || m.m_iPosition != m.m_iTarget;
                put32(2 + 4 * static_cast<size_t>(c), byCode == 22 ? m.m_iPosition : bRunning);
            }
            break;
        default:
            if (const auto it = d.m_QueryValues.find(byCode); it != d.m_QueryValues.end())
                std::copy_n(it->second.begin(), std::min(it->second.size(), answer.size() - 2), answer.begin() + 2);
            break;
        }
        std::memcpy(p, answer.data(), answer.size());
        return ZEL_OK;
    }
    std::memset(p, 0, static_cast<size_t>(iLength));
    if (iBufferId == ZEL_BUF_STITCH_POSITIONS) {
        // Written as (a, 1, b, 1) six bytes an entry, read back as (a, b).
        const std::vector<uint8_t>& stored = d.m_Buffers[{iBufferId, iOffset}];
        for (size_t i = 0; (i + 1) * 4 <= static_cast<size_t>(iLength) && (i + 1) * 6 <= stored.size(); ++i) {
            std::memcpy(p + i * 4, &stored[i * 6], 2);
            std::memcpy(p + i * 4 + 2, &stored[i * 6 + 3], 2);
        }
        return ZEL_OK;
    }
    const auto it = d.m_Buffers.find({iBufferId, iOffset});
    if (it != d.m_Buffers.end())
        std::memcpy(p, it->second.data(), std::min(it->second.size(), static_cast<size_t>(iLength)));
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanWriteBuffer(int32_t hScanner, const void* pBuffer, int32_t iMode, int32_t iBufferId,
                                   int32_t iOffset, int32_t iLength)
{
    CGate g("scanWriteBuffer", hScanner, true, iBufferId);
    if (!g.Ok())
        return g.m_iResult;
    if ((!pBuffer && iLength > 0) || iLength < 0 || iLength > (1 << 20) || iMode != 1)
        return ZEL_ERR_BAD_ARGUMENT;
    CLibrary& lib = g.m_Lib;
    CDevice& d = *g.m_pDevice;
    const uint8_t* p = static_cast<const uint8_t*>(pBuffer);
    std::vector<uint8_t> bytes(p, p + iLength);
    if (iBufferId == ZEL_BUF_QUERY) {
        if (iLength < 2)
            return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        d.m_QueryValues[p[1]] = std::vector<uint8_t>(bytes.begin() + 2, bytes.end());
        return ZEL_OK;
    }
    if (iBufferId == ZEL_BUF_CIS_RESOLUTION) {
        if (iLength < 2)
            return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
        const int32_t iDpi = Be16(p);
        const CScenario& s = lib.m_Scenario;
        bool bKnown = s.m_CISResolutions.empty() ? iDpi == s.m_iOpticalResolution || iDpi == 300 ||
                                                       iDpi == 600 || iDpi == 1200 || iDpi == 508
                                                 : std::find(s.m_CISResolutions.begin(), s.m_CISResolutions.end(),
                                                             iDpi) != s.m_CISResolutions.end();
        if (!bKnown)
            return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    }
    if (iBufferId == ZEL_BUF_GAIN_OFFSET && iOffset == 0) {
        // Lines already scanned still carry the old set; the new one shows
        // after the pipeline's delay.
        const int32_t iDelay = lib.m_Scenario.m_iGainDelayLines;
        if (iDelay <= 0 || !d.m_bScanning) {
            d.m_GainOffsetQueue.clear();
            d.m_bGainOffsetInUse = false;
        } else {
            if (!d.m_bGainOffsetInUse) {
                const auto it = d.m_Buffers.find({iBufferId, 0});
                d.m_GainOffsetInUse = it != d.m_Buffers.end() ? it->second : std::vector<uint8_t>();
                d.m_bGainOffsetInUse = it != d.m_Buffers.end();
            }
            if (d.m_bGainOffsetInUse)
                d.m_GainOffsetQueue.emplace_back(d.m_iLinesDelivered + iDelay, bytes);
        }
    }
    // Written calibration is taken into use by restarts of the firmware.
    d.m_iRebootsPending = std::max(lib.m_Scenario.m_iRebootsToApply, 0);
    if (iBufferId == ZEL_BUF_STITCH_VALUES && iOffset == 0 && iLength > 7)
        return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    // One stitch table behind two forms: 7 signed bytes at offset 0, and 7
    // big-endian 16-bit values behind the 0x1000000 offset of software
    // scanners. A write through either form shows in both.
    if (iBufferId == ZEL_BUF_STITCH_VALUES && iOffset == 0) {
        std::vector<uint8_t> wide(14, 0);
        for (size_t i = 0; i < wide.size() / 2; ++i)
            PutBe16(&wide[2 * i], i < bytes.size() ? static_cast<int8_t>(bytes[i]) : 0);
        d.m_Buffers[{iBufferId, 0x1000000}] = wide;
    } else if (iBufferId == ZEL_BUF_STITCH_VALUES && iOffset == 0x1000000) {
        std::vector<uint8_t> narrow(7, 0);
        for (size_t i = 0; i < narrow.size() && 2 * i + 1 < bytes.size(); ++i)
            narrow[i] = static_cast<uint8_t>(
                static_cast<int8_t>(std::clamp<int32_t>(static_cast<int16_t>(Be16(&bytes[2 * i])), -128, 127)));
        d.m_Buffers[{iBufferId, 0}] = narrow;
    }
    d.m_Buffers[{iBufferId, iOffset}] = std::move(bytes);
    // The alignment table answers with the number of bytes it took, as the
    // firmware of the CIS models does; callers take 8 for success.
    if (iBufferId == ZEL_BUF_CIS_ALIGNMENT && iLength == 8)
        return 8;
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanSetWindow(int32_t hScanner, const void* pList, int32_t iLength)
{
    CGate g("scanSetWindow", hScanner, true);
    if (!g.Ok())
        return g.m_iResult;
    CDevice& d = *g.m_pDevice;
    const uint8_t* p = static_cast<const uint8_t*>(pList);
    if (!p || iLength < 48 || iLength > 4096 || p[7] + 8 != iLength)
        return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    CWindow w;
    w.m_bSet = true;
    w.m_iXResolution = Be16(p + 10);
    w.m_iYResolution = Be16(p + 12);
    w.m_iLeft = Be32(p + 14);
    w.m_iTop = Be32(p + 18);
    w.m_iWidth = Be32(p + 22);
    w.m_iLength = Be32(p + 26);
    w.m_iComposition = p[33];
    w.m_iBitsPerPixel = p[34];
    w.m_Bytes.assign(p, p + iLength);
    if (w.m_iXResolution <= 0 || w.m_iWidth < 0 || w.m_iLength < 0 ||
        (w.m_iBitsPerPixel != 1 && w.m_iBitsPerPixel != 8 && w.m_iBitsPerPixel != 24))
        return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    d.m_Window = std::move(w);
    return ZEL_OK;
}

ZEL_EXPORT int32_t scanScan(int32_t hScanner, const uint8_t* pWindowIds, int32_t iCount)
{
    CGate g("scanScan", hScanner, true);
    if (!g.Ok())
        return g.m_iResult;
    CDevice& d = *g.m_pDevice;
    if (!pWindowIds || iCount != 1 || !d.m_Window.m_bSet)
        return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    g.m_Lib.Advance(d);
    // Without a status block the program never loads a sheet: the scanner
    // draws an inserted one in by itself when a scan starts.
    if (g.m_Lib.m_Scenario.m_bNoStatusBlock && (d.m_iPaper == 0x11 || d.m_iPaper == 0x12)) {
        d.m_iPaper = 0x30;
        d.m_iPosition = 0;
    }
    if (!HasPaperInPath(d.m_iPaper))
        return CheckCondition(d, ZEL_ASC_MEDIUM_NOT_PRESENT);
    if (d.m_iPosition >= g.m_Lib.m_Scenario.m_iPaperLength)
        return CheckCondition(d, ZEL_ASC_END_OF_MEDIUM);
    d.m_bScanning = true;
    d.m_iPaper = 0x24;
    d.m_iLinesDelivered = 0;
    // A new scan starts with every written set in use.
    d.m_GainOffsetQueue.clear();
    d.m_bGainOffsetInUse = false;
    d.m_iScanStartMs = g.m_Lib.SimNow();
    d.m_iStallUntil = -1;
    // The first line lies the window's top edge into the sheet from where it stands.
    d.m_iScanStartPosition = std::max<int64_t>(d.m_iPosition, 0) + std::max(d.m_Window.m_iTop, 0);
    d.m_iLinesWanted = static_cast<int64_t>(d.m_Window.m_iLength) * std::max(d.m_Window.m_iYResolution, 0) / 1200;
    return ZEL_SCAN_STARTED;
}

ZEL_EXPORT int32_t scanObjectPosition(int32_t hScanner, int32_t iFunction, int32_t iCount)
{
    CGate g("scanObjectPosition", hScanner, true, iFunction);
    if (!g.Ok())
        return g.m_iResult;
    CLibrary& lib = g.m_Lib;
    CDevice& d = *g.m_pDevice;
    const CScenario& s = lib.m_Scenario;
    lib.Advance(d);
    if (d.m_iPaper == 0x14)
        return CheckCondition(d, ZEL_ASC_LID_OPEN);
    if (d.m_iPaper == 0x13)
        return CheckCondition(d, ZEL_ASC_PAPER_JAM);
    const int64_t iNow = lib.SimNow();
    switch (iFunction) {
    case ZEL_OP_LOAD:
        if (d.m_iPaper == 0x00)
            return CheckCondition(d, ZEL_ASC_MEDIUM_NOT_PRESENT);
        if (HasPaperInPath(d.m_iPaper)) {
            MovePaper(lib, d, 0, 0x30);
            return ZEL_OK;
        }
        d.m_iPaper = 0x20;
        d.m_iTargetPosition = 0;
        if (s.m_bPaperJam)
            d.m_PaperSteps = {{iNow + s.m_iLoadMs, 0x13}};
        else
            d.m_PaperSteps = {{iNow + s.m_iLoadMs, 0x21},
                              {iNow + s.m_iLoadMs + s.m_iMoveMs, 0x22},
                              {iNow + s.m_iLoadMs + s.m_iMoveMs + s.m_iPositionMs, 0x30}};
        return ZEL_OK;
    case ZEL_OP_UNLOAD:
        if (!HasPaperInPath(d.m_iPaper) && d.m_iPaper != 0x11 && d.m_iPaper != 0x12)
            return ZEL_OK;
        d.m_bScanning = false;
        d.m_iPaper = 0x23;
        d.m_PaperSteps = {{iNow + s.m_iEjectMs, 0x10}};
        return ZEL_OK;
    case ZEL_OP_ABSOLUTE:
    case ZEL_OP_RELATIVE: {
        if (!HasPaperInPath(d.m_iPaper))
            return CheckCondition(d, ZEL_ASC_MEDIUM_NOT_PRESENT);
        const int64_t iFrom = std::max<int64_t>(d.m_iPosition, 0);
        const int64_t iTarget = iFunction == ZEL_OP_ABSOLUTE ? iCount : iFrom + iCount;
        if (iTarget < 0 || iTarget > s.m_iPaperLength)
            return CheckCondition(d, ZEL_ASC_END_OF_MEDIUM);
        MovePaper(lib, d, iTarget, iFunction == ZEL_OP_ABSOLUTE ? 0x30 : 0x31);
        return ZEL_OK;
    }
    default: return CheckCondition(d, ZEL_ASC_INVALID_FIELD);
    }
}

ZEL_EXPORT int32_t scanGetLastAsc(int32_t hScanner)
{
    CLibrary& lib = CLibrary::Instance();
    std::lock_guard<std::mutex> lock(lib.m_Mutex);
    const CDevice* pDevice = lib.Find(hScanner);
    return pDevice ? pDevice->m_iLastAsc : 0;
}

ZEL_EXPORT int32_t scanWriteTextToLog(int32_t hScanner, const char* szText)
{
    CGate g("scanWriteTextToLog", hScanner, false);
    if (!g.Ok())
        return g.m_iResult;
    if (!szText)
        return ZEL_ERR_BAD_ARGUMENT;
    g.m_pDevice->m_TextCommands.emplace_back(std::string("log: ") + szText);
    return ZEL_OK;
}
