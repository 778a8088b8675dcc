#pragma once
// CScan: one scan of a sheet region into a CPicture. It prepares the picture
// buffer, sends levels, gamma and window, brings the sheet to the window,
// starts the scan and reads image data until the scan ends, keeping the
// picture's line and camera bookkeeping current after every chunk.
#include <cstdint>
#include <functional>
#include <span>

#include "imaging/Picture.h"
#include "scanner/ScanSpeed.h"

class CScanner;

struct CScanRequest {
    double m_dLeft = 0, m_dTop = 0, m_dWidth = 0, m_dLength = 0; // inches
    int32_t m_iResolution = 300;                                   // dots per inch
    int32_t m_iColorMode = 2;                                      // 1 line art, 2 gray, 3 colour
    int32_t m_iStreaming = 0;                                      // 1 = one block of the scanner's block size
    int32_t m_iLevel1 = 214;                                       // also the line-art threshold
    int32_t m_iLevel2 = 0;
    int32_t m_iVendorByte = 0;
    uint8_t m_byWindowId = 0;
    double m_dGamma = 1.0;
    uint8_t m_byColorOption = 0;
    uint8_t m_byScanSettings = 0;
    int32_t m_iScanSettingsCode = 0; // 0..2
};

class CScan {
public:
    // Scan_Do could not size or allocate the picture buffer.
    static constexpr int32_t kErrBuffer = -11;
    // Data arrived but no line width fits it: the bytes cannot be laid out.
    static constexpr int32_t kErrLineWidth = -13;

    CScan(CScanner* pScanner, CPicture* pPicture) : m_pScanner(pScanner), m_pPicture(pPicture) {}

    int32_t Scan(const CScanRequest& r);
    int32_t Scan_Do(const CScanRequest& r);
    // Reads up to iLength bytes at iOffset of the picture buffer and notes the
    // chunk in the speed record.
    int32_t ReadChunk(int32_t iOffset, int32_t iLength, int32_t& iReceived);
    int32_t CountStalls() const { return m_Speed.CountStalls(); }
    bool WriteScanSpeed(const std::string& szPath) { return m_Speed.WriteScanSpeed(szPath); }
    bool ReadScanSpeed(const std::string& szPath) { return m_Speed.ReadScanSpeed(szPath); }

    // The buffer size Scan_Do asks for (bytes), 0 or less when the region is empty.
    static int64_t BufferSizeFor(const CScanRequest& r, bool bColor);
    // Camera widths in pixels for a line of iWidth pixels (cameras A..H).
    static void CameraLayout(int32_t iCameras, int32_t iOpticalResolution, int32_t iWidth,
                             std::span<int32_t, CPicture::kCameras> piPixels);

    CScanner* m_pScanner;
    CPicture* m_pPicture;
    CScanSpeedRecord m_Speed;
    bool m_bThrottle = false;
    int32_t m_iThrottleMs = 0;
    bool m_bLevelBoost = false;
    bool m_bSkipModeSelect = false;
    bool m_bAbort = false;
    bool m_bNoCheck = false;
    bool m_bResolutionOverride = false;
    int32_t m_iOverrideX = 0, m_iOverrideY = 0;
    uint8_t m_byVendor2 = 0;
    // Applied to the picture after every scan when set.
    std::function<void(CPicture&)> m_PostScan;
    // Called after every chunk with the bytes received so far and the buffer
    // size (progress display); not called when unset.
    std::function<void(int64_t iReceived, int64_t iTotal)> m_Progress;
    // Bytes received in total, the buffer size, the line width (pixels), set by Scan_Do.
    int64_t m_iBufferBytes = 0;
    int32_t m_iLineWidth = 0;

private:
    void UpdatePicture(int64_t iReceived, int32_t iLineBytes);
    void LayOutCameras(int32_t iLineWidth, int32_t iBytesPerPixel);
    int64_t m_iStartMs = 0;
};
