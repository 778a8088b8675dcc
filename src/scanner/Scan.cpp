#include "scanner/Scan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "datafiles/ErrorReport.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "scanner/ScanLibrary.h"
#include "scanner/Scanner.h"

namespace {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int32_t iMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(iMs));
}

// Larger blocks than this are not a block size any scanner of the family
// reports; a broken inquiry page must not make us ask for gigabytes at once.
constexpr int32_t kMaxBlockSize = 64 << 20;
// A line wider than this is no line width but a broken status block.
constexpr int32_t kMaxLineWidth = 1 << 20;

bool IsEndOfMedium(int32_t iError)
{
    return iError == ZEL_ASC_END_OF_MEDIUM || iError == ZEL_ASC_END_OF_MEDIUM_2;
}

} // namespace

int64_t CScan::BufferSizeFor(const CScanRequest& r, bool bColor)
{
    const double dBytes = r.m_dWidth * r.m_dLength * double(r.m_iResolution) * r.m_iResolution * 1.1 * (bColor ? 3 : 1);
    if (!(dBytes >= 1.0))
        return 0;
    return dBytes > 4e18 ? INT64_MAX : static_cast<int64_t>(dBytes);
}

void CScan::CameraLayout(int32_t iCameras, int32_t iOpticalResolution, int32_t iWidth,
                         std::span<int32_t, CPicture::kCameras> piPixels)
{
    std::fill(piPixels.begin(), piPixels.end(), 0);
    // The outer cameras of the family see two inches of optics each; the
    // inner ones share what is left. A line narrower than that fills the
    // cameras from the left.
    const int32_t iOuter = static_cast<int32_t>(std::min<int64_t>(2LL * std::max(iOpticalResolution, 0), iWidth));
    switch (iCameras) {
    case 2:
        piPixels[0] = iOuter;
        piPixels[1] = iWidth - iOuter;
        break;
    case 3:
        piPixels[0] = iOuter;
        piPixels[2] = std::min(iOuter, iWidth - iOuter);
        piPixels[1] = iWidth - piPixels[0] - piPixels[2];
        break;
    case 4: {
        piPixels[0] = iOuter;
        piPixels[3] = std::min(iOuter, iWidth - iOuter);
        const int32_t iInner = iWidth - piPixels[0] - piPixels[3];
        piPixels[1] = iInner / 2;
        piPixels[2] = iInner - iInner / 2;
        break;
    }
    default: piPixels[0] = iWidth; break;
    }
}

void CScan::LayOutCameras(int32_t iLineWidth, int32_t iBytesPerPixel)
{
    int32_t pixels[CPicture::kCameras];
    CameraLayout(m_pScanner->GetCameraCount(), m_pScanner->GetOpticalResolution(), iLineWidth, pixels);
    for (int32_t c = 0; c < CPicture::kCameras; ++c)
        m_pPicture->m_BiC[c] = pixels[c] * iBytesPerPixel;
}

void CScan::UpdatePicture(int64_t iReceived, int32_t iLineBytes)
{
    CPicture& pic = *m_pPicture;
    pic.m_iSize = static_cast<int32_t>(iReceived);
    pic.m_iWidth = m_iLineWidth;
    pic.m_iWidth3 = 3 * m_iLineWidth;
    pic.m_iHeight = iLineBytes > 0 ? static_cast<int32_t>(iReceived / iLineBytes) : 0;
}

int32_t CScan::ReadChunk(int32_t iOffset, int32_t iLength, int32_t& iReceived)
{
    iReceived = 0;
    const int32_t iError =
        m_pScanner->ReadScanData(std::span(m_pPicture->m_pData + iOffset, size_t(std::max(iLength, 0))), iReceived);
    if (m_Speed.m_bEnabled && iReceived > 0 &&
        m_Speed.Add(static_cast<int32_t>(NowMs() - m_iStartMs), iReceived) && m_bThrottle &&
        m_Speed.Count() % 5 == 0)
        SleepMs(m_iThrottleMs);
    return iError;
}

int32_t CScan::Scan(const CScanRequest& r)
{
    if (m_bAbort) {
        Log_Msg("m_bAbort==true at start CScan::Scan. Set to false");
        m_bAbort = false;
    }
    CScanner& s = *m_pScanner;
    if (s.IsSoftwareScanner() && s.GetCISModeCount() > 1) {
        if (m_bSkipModeSelect)
            m_bSkipModeSelect = false;
        else
            s.CIS_SelectModeForDPI(r.m_iResolution);
    }
    int32_t iResult = Scan_Do(r);
    if (m_PostScan)
        m_PostScan(*m_pPicture);
    if (iResult == ZEL_ASC_END_OF_MEDIUM)
        iResult = 0;
    if (r.m_iStreaming != 1) {
        s.ResetCommand(1);
        SleepMs(1000);
    }
    const CPicture& pic = *m_pPicture;
    Log_Msg("CScan::Scan Pic");
    Log_Msg_Int("Pic dpi", pic.m_iResolution);
    Log_Msg_Int("Pic Width", pic.m_iWidth);
    Log_Msg_Int("Pic Height", pic.m_iHeight);
    Log_Msg_Int("Pic Received", pic.m_iSize);
    Log_Msg_Hex("ErrorNo", iResult);
    return iResult;
}

int32_t CScan::Scan_Do(const CScanRequest& r)
{
    CScanner& s = *m_pScanner;
    CPicture& pic = *m_pPicture;
    Log_Msg("CScan::Scan_Do");
    m_iLineWidth = 0;
    m_iBufferBytes = 0;

    // 1. scan settings
    if (r.m_iScanSettingsCode < 0 || r.m_iScanSettingsCode > 2)
        return s.m_ErrorNo = -100;
    const uint8_t bySettings = r.m_byScanSettings;
    const uint8_t byCode = static_cast<uint8_t>(r.m_iScanSettingsCode);
    s.WriteQuery(0x09, std::span(&bySettings, 1));
    s.WriteQuery(0x13, std::span(&byCode, 1));

    // A scanner that is not colour-capable scans gray when colour is asked for.
    const int32_t iMode = (r.m_iColorMode == 3 && !s.IsColorScanner()) ? 2 : r.m_iColorMode;
    const bool bColor = iMode == 3;
    const bool bLineArt = iMode == 1;
    const int32_t iBytesPerPixel = bColor ? 3 : 1;
    const int32_t iBlockSize = s.m_InquiryPages.GetInt32(0xC1, 24, 0);

    // 2. picture buffer
    const int64_t iSize = r.m_iStreaming == 1 ? iBlockSize : BufferSizeFor(r, r.m_iColorMode == 3);
    if (iSize < 1) {
        Log_Msg("CScan::Scan_Do : m_ptrPic->m_iLength <= 0");
        return s.m_ErrorNo = kErrBuffer;
    }
    if (pic.m_iAllocated < iSize || !pic.m_pData) {
        pic.Clear();
        if (!pic.Allocate(iSize)) {
            Log_Msg("CScan::Scan_Do : m_ptrPic->m_Buffer == NULL");
            return s.m_ErrorNo = kErrBuffer;
        }
        // Touch every page now, so the read loop never waits for the system
        // to find memory while data is streaming in.
        for (int64_t i = 0; i < iSize; i += 1000)
            pic.m_pData[i] = 0;
        Log_Msg("CScan::Scan_Do : Picture buffer allocated");
    }
    m_iBufferBytes = std::min<int64_t>(iSize, pic.m_iAllocated);

    // 3. kind and resolution
    pic.m_PicData = bColor ? PIC_RGB : PIC_GRAY;
    const int32_t iResolution = m_bResolutionOverride ? std::max(m_iOverrideX, m_iOverrideY) : r.m_iResolution;
    pic.m_iResolution = iResolution;
    pic.m_iSize = 0;
    pic.m_iHeight = 0;
    pic.m_iWidth = pic.m_iWidth3 = 0;

    // 4. speed record
    if (m_Speed.m_bEnabled) {
        const double dCapacity = std::trunc(double(iResolution) * r.m_dLength * 1.1);
        m_Speed.Reset(dCapacity > 1e9 ? CScanSpeedRecord::kMaxCapacity : static_cast<int32_t>(dCapacity));
        m_Speed.m_iBytesPerPixel = iBytesPerPixel;
        m_Speed.m_iWidth = 0;
    }
    m_iStartMs = NowMs();

    // 5. window
    auto to1200 = [](double dInch) {
        return static_cast<int32_t>(std::clamp(dInch * 1200.0, -2147483648.0, 2147483647.0));
    };
    s.SetWindowArea(to1200(r.m_dLeft), to1200(r.m_dTop), to1200(r.m_dWidth), to1200(r.m_dLength));
    s.m_Window.m_iColorMode = iMode;
    s.SetWindowResolution(r.m_iResolution);
    if (m_bResolutionOverride) {
        s.m_Window.m_iXResolution = m_iOverrideX;
        s.m_Window.m_iYResolution = m_iOverrideY;
    }
    s.m_Window.m_byThreshold = static_cast<uint8_t>(r.m_iLevel1);
    s.m_Window.m_iVendorValue1 = r.m_dLength == 0 ? 1 : 1000;
    const int32_t iDeviceValue = s.GetDeviceValue();
    s.m_Window.m_iVendorValue2 =
        ((iDeviceValue == 6 || iDeviceValue == 7) && !bLineArt) ? iBlockSize
                                                                 : static_cast<int32_t>(int64_t(iBlockSize) * 4 / 5);
    int32_t iVendor = r.m_iVendorByte;
    if (m_bLevelBoost && iVendor < 100 && ZelLib::scanGetHardwareType(s.m_hScanner) == ZEL_HW_USB)
        iVendor = 100;
    s.m_Window.m_byVendor = static_cast<uint8_t>(iVendor);
    s.m_Window.m_byColorOption = r.m_byColorOption;
    s.m_Window.m_byVendor2 = m_byVendor2;

    // 6.-8. levels, gamma, window
    s.SendLevels(r.m_iLevel1, r.m_iLevel1, r.m_iLevel1, r.m_iLevel2, r.m_iLevel2, r.m_iLevel2, true);
    if (const int32_t iError = s.SendGammaCurve(r.m_dGamma, 0, 0); iError != 0 && iError != 0xB007) {
        Log_Msg_Hex("CScan::Scan_Do : MakeGammaCurve ", iError);
        return iError;
    }
    if (const int32_t iError = s.SendSetWindowCommand(); iError != 0) {
        Log_Msg_Hex("CScan::Scan_Do : SendSetWindowCommand ", iError);
        return iError;
    }
    Log_Msg("CScan::Scan_Do : Set window done");

    // 9. a cancel before the sheet moves
    if (CCancel::IsCancelRequested()) {
        m_bAbort = true;
        CCancel::SetCancelled();
        Log_Msg("CCancel::IsCancelRequested()");
        return s.m_ErrorNo = ScannerProgramError(ERR_USER_CANCELLED);
    }

    // 10. the sheet to the window
    if (s.HasStatusBlock() && (iDeviceValue < 9 || r.m_iVendorByte == 255)) {
        int32_t iError = s.MovePaperToWindow();
        if (iError == ZEL_ASC_MEDIUM_NOT_PRESENT)
            iError = 0;
        // A cancel during the move is the user's answer, not a fault to
        // report and retry.
        if (iError == ScannerProgramError(ERR_USER_CANCELLED)) {
            m_bAbort = true;
            return s.m_ErrorNo = iError;
        }
        if (iError != 0) {
            Log_Msg_Hex("CScan::Scan_Do : MovePaperToWindow", iError);
            Log_Msg("CScan::Scan 2");
            ReportError(iError, s.m_hScanner);
            iError = s.MovePaperToWindow();
            if (iError != 0 && iError != ZEL_ASC_MEDIUM_NOT_PRESENT)
                return iError;
        }
        if (!s.IsSoftwareScanner()) {
            SleepMs(1000);
            if (s.G5_PaperReady(90, false) == ScannerProgramError(ERR_USER_CANCELLED)) {
                m_bAbort = true;
                return s.m_ErrorNo;
            }
        }
        int32_t iState = 0, iPosition = 0;
        s.GetPaperState(iState, iPosition);
        Log_Msg(FormatText("CScan::Scan_Do: Move to window done, status %02Xh, position %d", iState, iPosition));
    }

    // 11. start
    int32_t iError = s.SendScanCommand(r.m_byWindowId);
    if (iError == ScannerProgramError(ERR_SCAN_END_OF_MEDIA)) {
        Log_Msg("CScan::Scan_Do : EOM - MovePaperToWindow");
        s.ResetCommand(1);
        SleepMs(2000);
        iError = s.MovePaperToWindow();
        if (iError == 0)
            iError = s.SendScanCommand(r.m_byWindowId);
    }
    if (iError != 0) {
        Log_Msg_Hex("CScan::Scan_Do : SendScanCommand ", iError);
        return iError;
    }

    // 12. read loop
    int32_t iBlock = iBlockSize;
    if (iBlock < 1 || iBlock > kMaxBlockSize) {
        Log_Msg_Int("CScan::Scan_Do : block size from the scanner unusable, taking 65536 instead of", iBlock);
        iBlock = 65536;
    }
    int64_t iReceived = 0;
    int32_t iLineBytes = 0; // 0 until the line width is known
    auto lineBytesFor = [&](int32_t iWidth) { return bLineArt ? (iWidth + 7) / 8 : iWidth * iBytesPerPixel; };
    int32_t iResult = 0;
    bool bEnd = false;
    auto finish = [&] {
        UpdatePicture(iReceived, iLineBytes);
        if (bLineArt)
            pic.m_PicData = PIC_BW;
        Log_Msg("SCAN::Scan(end)");
        return iResult;
    };
    for (;;) {
        const int32_t iRequest = static_cast<int32_t>(std::min<int64_t>(iBlock, m_iBufferBytes - iReceived));
        if (iLineBytes > 0 && iRequest < iLineBytes) {
            s.ResetCommand(1);
            Log_Msg("Stop Scanning iLength < m_ptrPic->m_iWidth ------------------------------------------------------");
            return finish();
        }
        int32_t iGot = 0;
        const int32_t iReadError = ReadChunk(static_cast<int32_t>(iReceived), iRequest, iGot);
        if (iGot > 0) {
            int32_t iState = 0, iPosition = 0;
            s.GetPaperState(iState, iPosition);
            Log_Msg(FormatText("CScan::Scan_Do received %d bytes @ paper status %02Xh, position %d", iGot, iState,
                               iPosition));
        } else {
            SleepMs(100);
        }
        if (iReadError != 0) {
            const int32_t iRealError = ZelLib::IsStopFlag(s.m_hScanner, iReadError) ? 0 : iReadError;
            Log_Msg(FormatText("ErrorNo: %d (0x%X)", iReadError, static_cast<unsigned>(iReadError)));
            Log_Msg(FormatText("%s, RealError: %d (0x%X)", "CScan::Scan_Do", iRealError,
                               static_cast<unsigned>(iRealError)));
            if (iRealError == 0) {
                // The scanner stopped by itself: what came so far is the scan.
                Log_Msg("Stop flag set");
                bEnd = true;
            } else if (IsEndOfMedium(iReadError) && iGot > 100) {
                bEnd = true;
                iResult = iReadError;
            } else {
                if (bLineArt)
                    pic.m_PicData = PIC_BW;
                s.ResetCommand(1);
                const bool bSense = iReadError > 0 && iReadError <= 0xFFFF;
                Log_Msg_Hex(bSense ? "CScan::Scan_Do : scanRead 1 " : "CScan::Scan_Do : scanRead 2 ", iReadError);
                UpdatePicture(iReceived, iLineBytes);
                return iReadError;
            }
        }
        if (iGot > 0) {
            if (iLineBytes == 0) {
                uint8_t status[25] = {};
                int32_t iStatus = 0;
                int32_t iWidth = 0;
                if (s.ReadStatus(status, iStatus) == 0 && iStatus >= 25)
                    iWidth = Be32(status + 21);
                if (iWidth <= 0 || iWidth > kMaxLineWidth) {
                    // No width from the scanner: the one near the window width
                    // that divides the chunk into whole lines.
                    iWidth = 0;
                    const int64_t iNominal = static_cast<int64_t>(double(iResolution) * r.m_dWidth);
                    for (int64_t w = std::max<int64_t>(iNominal - 30, 1); w <= iNominal + 30; ++w)
                        if (w <= kMaxLineWidth && iGot % lineBytesFor(static_cast<int32_t>(w)) == 0)
                            iWidth = static_cast<int32_t>(w);
                }
                if (iWidth == 0) {
                    Log_Msg_Int("CScan::Scan_Do : no line width fits the chunk of", iGot);
                    s.ResetCommand(1);
                    iResult = kErrLineWidth;
                    return finish();
                }
                m_iLineWidth = iWidth;
                iLineBytes = lineBytesFor(iWidth);
                m_Speed.m_iWidth = iWidth;
                LayOutCameras(iWidth, bLineArt ? 1 : iBytesPerPixel);
            }
            if (iReceived + iGot > m_iBufferBytes) {
                s.ResetCommand(1);
                return finish();
            }
            iReceived += iGot;
            UpdatePicture(iReceived, iLineBytes);
            if (!bLineArt && !m_bNoCheck && iGot % iLineBytes != 0) {
                int32_t iRest = iGot % iLineBytes;
                int32_t iLines = iGot / iLineBytes;
                if (iRest > iLineBytes / 2) {
                    iRest -= iLineBytes;
                    ++iLines;
                }
                if (iLines == 0 || iRest % iLines != 0) {
                    Log_Msg("MISSING PIXELS");
                    Log_Msg(FormatText("Received = %d\n\nm_ptrPic->PixCameras() = %d\n\nLines = %d\n\nDiff = %d", iGot,
                                       iLineBytes / iBytesPerPixel, iLines, iRest));
                    s.ResetCommand(1);
                    iReceived -= iGot % iLineBytes;
                    return finish();
                }
                // Every line is longer (or shorter) by the same amount: the
                // scanner delivers pixels beyond the cameras we know of.
                const int32_t iCameras = std::clamp(s.GetCameraCount(), 1, CPicture::kCameras);
                const int32_t iExtra = iRest / iLines;
                if (iCameras < CPicture::kCameras && iLineBytes + iExtra > 0) {
                    pic.m_BiC[iCameras] += iExtra;
                    iLineBytes += iExtra;
                    m_iLineWidth = iLineBytes / iBytesPerPixel;
                    m_Speed.m_iWidth = m_iLineWidth;
                }
                UpdatePicture(iReceived, iLineBytes);
            }
            if (m_Progress)
                m_Progress(iReceived, m_iBufferBytes);
        }
        if (r.m_iStreaming == 1 && iReceived > 0) {
            UpdatePicture(iReceived, iLineBytes);
            Log_Msg("READ_SCAN_STREAMING");
            return finish();
        }
        if (iLineBytes > 0 && m_iBufferBytes - iReceived < iLineBytes) {
            UpdatePicture(iReceived, iLineBytes);
            s.ResetCommand(1);
            Log_Msg("CScan::Scan_Do : No room for another line ");
            return finish();
        }
        if (m_bAbort) {
            Log_Msg("m_bAbort==true");
            return finish();
        }
        if (CCancel::IsCancelRequested()) {
            m_bAbort = true;
            CCancel::SetCancelled();
            Log_Msg("CCancel::IsCancelRequested()");
            s.ResetCommand(1);
            iResult = ScannerProgramError(ERR_USER_CANCELLED);
            return finish();
        }
        if (bEnd)
            return finish();
    }
}
