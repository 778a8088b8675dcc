#include "scanner/ContScan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "scanner/zel_scan_2000.h"

namespace {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sense codes of the "not ready / no medium" family: a continuous scan runs
// without a sheet moving, so the scanner says so on many reads.
bool IsMediumFamily(int32_t iError)
{
    return iError > 0 && iError <= 0xFFFF && (iError & 0xFF00) == 0x3A00;
}

constexpr const char* kColorNames[] = {"m_eColor = ZEL_COLOR_RED", "m_eColor = ZEL_COLOR_GREEN",
                                       "m_eColor = ZEL_COLOR_BLUE", "m_eColor = ZEL_COLOR_RGB",
                                       "m_eColor = ZEL_COLOR_GRAY"};
// A line wider than this is no line width but a broken answer.
constexpr int32_t kMaxLineWidth = 8 * COsaRecording::kMaxCameraPixels;

} // namespace

bool EdgesWithoutCISNoise(const uint8_t* pLines, int32_t iLines, const std::array<int32_t, 8>& cameraPixels,
                          int32_t iBytesPerPixel, int32_t iMargin)
{
    int64_t iPixelsPerLine = 0;
    for (const int32_t n : cameraPixels)
        iPixelsPerLine += std::max(n, 0);
    if (!pLines || iMargin <= 0 || iPixelsPerLine <= 0)
        return true;
    const int32_t iByte = iBytesPerPixel > 1 ? 1 : 0;
    // A run of at least two samples all at one level that is neither black
    // nor white cannot come from a sensor looking at anything: it is noise.
    auto stuck = [&](const uint8_t* pLine, int64_t iFirst, int64_t iEnd) {
        int32_t iSamples = 0, iLevel = -1;
        for (int64_t x = iFirst; x < iEnd; x += 4, ++iSamples) {
            const int32_t v = pLine[x * iBytesPerPixel + iByte];
            if (iLevel >= 0 && v != iLevel)
                return false;
            iLevel = v;
        }
        return iSamples >= 2 && iLevel > 0 && iLevel < 255;
    };
    for (int32_t y = 0; y < iLines; ++y) {
        const uint8_t* pLine = pLines + y * iPixelsPerLine * iBytesPerPixel;
        int64_t iStart = 0;
        for (const int32_t n : cameraPixels) {
            if (n <= 0)
                continue;
            const int64_t iRun = std::min<int64_t>(iMargin, n);
            if (stuck(pLine, iStart, iStart + iRun) || stuck(pLine, iStart + n - iRun, iStart + n))
                return false;
            iStart += n;
        }
    }
    return true;
}

// ================================================================ CContScan

CContScan::CContScan(CScanner* pScanner) : m_pScanner(pScanner)
{
    if (pScanner) {
        m_bLightOff = pScanner->m_bUse_CIS_LightOff;
        m_bLightOffRow2 = pScanner->m_bUse_CIS_LightOff_Row2;
    }
}

int32_t CContScan::CameraCount() const
{
    int32_t n = 0;
    for (int32_t c = 0; c < 8; ++c)
        if (m_CameraPixels[size_t(c)] > 0)
            n = c + 1;
    return n;
}

int32_t CContScan::StartContinuousScan(int32_t iMode)
{
    CScanner& s = *m_pScanner;
    if (s.IsSoftwareScanner())
        m_iColorComponent = iMode == 3 ? ZEL_COLOR_GREEN : ZEL_COLOR_GRAY;
    else
        m_iColorComponent = iMode == 3 ? ZEL_COLOR_RGB : ZEL_COLOR_GRAY;
    const double dWidth = s.m_InquiryPages.GetInt32(0xC1, 28, 0) / 1200.0;
    if (!s.IsColorScanner() && !s.m_InquiryPages.GetFlag(0xC1, 85, false)) {
        Log_Msg("IsBWScanner()==TRUE set ScanMode = ScanModeType::Gray;");
        iMode = 2;
        m_iColorComponent = ZEL_COLOR_GRAY;
    }
    const int32_t iResolution = m_iResolutionOverride > 0 ? m_iResolutionOverride : s.GetOpticalResolution();
    return StartScan(0, m_dTop, dWidth, m_dLength, iMode, iResolution, m_iThreshold);
}

int32_t CContScan::StartScan(double dLeft, double dTop, double dWidth, double dLength, int32_t iMode,
                             int32_t iResolution, int32_t iThreshold)
{
    CScanner& s = *m_pScanner;
    if (s.IsSoftwareScanner()) {
        if (m_bSkipModeSelect)
            m_bSkipModeSelect = false;
        else
            s.CIS_SelectModeForDPI(iResolution);
    }
    const bool bColor = iMode == 3;
    const int32_t iKind = bColor ? 2 : 1;
    if (iKind != m_iColorKind)
        m_Pic.Clear();
    if (iResolution != m_iResolution)
        m_Guard.clear();
    m_iColorKind = iKind;
    m_iResolution = iResolution;
    m_dWidth = dWidth;

    const double dBlock = std::trunc(double(iResolution) * dWidth * (m_bDoubleBlock ? 3.8 : 1.9));
    if (bColor) {
        if (!s.IsColorScanner() && s.m_InquiryPages.GetFlag(0xC1, 85, false))
            Log_Msg("BW -> RGB correction");
        else
            Log_Msg("ScanModeType = ScanModeType::RGB");
        m_iBytesPerPixel = 3;
    } else {
        Log_Msg("ScanModeType = ScanModeType::Gray");
        m_iBytesPerPixel = 1;
    }
    Log_Msg(kColorNames[std::clamp(m_iColorComponent, 0, 4)]);
    const double dBytes = dBlock * m_iBytesPerPixel;
    // A block of more than eight of the widest colour lines comes from a
    // broken width or resolution, never from a scanner of the family.
    if (!(dBytes >= 1.0) || dBytes > double(kMaxLineWidth) * 3 * 8) {
        m_szError = FormatText("m_Pic.m_iLength = %.0f", dBytes);
        return s.m_ErrorNo = kErrAllocation;
    }
    m_iBlockSize = static_cast<int32_t>(dBytes);
    try {
        m_Block.assign(size_t(m_iBlockSize) * 2, 0);
    } catch (const std::bad_alloc&) {
        m_szError = FormatText("m_Pic.m_iLength = %d", m_iBlockSize);
        return s.m_ErrorNo = kErrAllocation;
    }
    EnsurePlanes(size_t(m_iBlockSize));
    m_iPixelsPerLine = 0;
    m_iReceived = m_iLinesPerBlock = 0;
    m_iFirstLine = m_iLinesSoFar = 0;

    auto to1200 = [](double d) { return static_cast<int32_t>(std::clamp(d * 1200.0, -2e9, 2e9)); };
    const int32_t iLeft = to1200(dLeft), iTop = to1200(dTop), iWidth = to1200(dWidth), iLength = to1200(dLength);
    const int32_t iLevel = s.IsSoftwareScanner() ? 255 : s.IsColorScanner() ? 193 : 214;
    s.SendLevels(iLevel, iLevel, iLevel, 0, 0, 0, false);
    if (const int32_t iError = s.SendGammaCurve(m_bGamma ? 2.2 : 1.0, 0, 0);
        iError != 0 && (iError & 0xFF00) != 0x3A00)
        return iError;

    s.SetWindowArea(iLeft, iTop, iWidth, iLength);
    s.m_Window.m_iColorMode = bColor ? 3 : 2;
    s.SetWindowResolution(iResolution);
    s.m_Window.m_byThreshold = static_cast<uint8_t>(iThreshold);
    s.m_Window.m_iVendorValue1 = iLength == 0 ? 1 : 1000;
    s.m_Window.m_iVendorValue2 = s.m_InquiryPages.GetInt32(0xC1, 24, 0);
    s.m_bUse_CIS_LightOff = m_bLightOff;
    s.m_bUse_CIS_LightOff_Row2 = m_bLightOffRow2;
    if (const int32_t iError = s.SendSetWindowCommand(); iError != 0) {
        m_szError = FormatText("Error in SetWindow\n%d\n%d\n%d\n%d\nLength = %d", iLeft, iTop, iWidth, iLength,
                               m_iBlockSize);
        return iError;
    }
    return s.SendScanCommand(0);
}

int32_t CContScan::StopScan()
{
    if (!m_pScanner || IsReplay())
        return 0;
    return m_pScanner->ResetCommand(1);
}

bool CContScan::ReadCameraLayout()
{
    CScanner& s = *m_pScanner;
    std::array<int32_t, 8> pixels{};
    if (const int32_t iError = s.GetCameraPixels8(pixels); iError != 0) {
        Log_Msg_Hex("m_ptrScanner->GetCameraPixels_8::ErrorNo", iError);
        pixels = {};
    }
    int64_t iSum = 0;
    for (const int32_t n : pixels)
        iSum += n;
    if (iSum == 0) {
        // Without a camera table the whole line counts as one camera, as
        // long as the status block says how wide the line is.
        uint8_t status[25] = {};
        int32_t iStatus = 0;
        if (s.ReadStatus(status, iStatus) == 0 && iStatus >= 25)
            pixels[0] = std::clamp(Be32(status + 21), 0, kMaxLineWidth);
        if (pixels[0] == 0)
            return false;
    }
    SetLayout(pixels);
    return true;
}

void CContScan::SetLayout(const std::array<int32_t, 8>& pixels)
{
    m_CameraPixels = pixels;
    m_iPixelsPerLine = 0;
    for (int32_t c = 0; c < 8; ++c) {
        m_iPixelsPerLine += pixels[size_t(c)];
        m_Pic.m_BiC[c] = pixels[size_t(c)] * m_iBytesPerPixel;
    }
    m_Pic.m_PicData = m_iBytesPerPixel == 3 ? PIC_RGB : PIC_GRAY;
    m_Pic.m_iWidth = m_iPixelsPerLine;
    m_Pic.m_iWidth3 = 3 * m_iPixelsPerLine;
    m_Pic.m_iResolution = m_iResolution;
}

int32_t CContScan::ReadBuffer()
{
    if (IsReplay()) {
        const int64_t iLineBytes = int64_t(m_iPixelsPerLine) * m_iBytesPerPixel;
        const int64_t iChunk = m_iBlockSize > 0 ? std::max<int64_t>(m_iBlockSize / iLineBytes, 1)
                                                : (m_bDoubleBlock ? 3 : 1);
        const int64_t iLines = std::min(iChunk, m_iReplayLength - m_iReplayChunk);
        const size_t iBytes = static_cast<size_t>(iLines * iLineBytes);
        if (m_Block.size() < iBytes)
            m_Block.resize(iBytes);
        std::memcpy(m_Block.data(), m_Replay.data() + m_iReplayChunk * iLineBytes, iBytes);
        m_iReplayChunk += iLines;
        if (m_iReplayChunk >= m_iReplayLength)
            m_iReplayChunk = 0;
        m_iReceived = static_cast<int32_t>(iBytes);
        ProcessBlock();
        return 0;
    }
    CScanner& s = *m_pScanner;
    if (m_iBlockSize <= 0)
        return s.m_ErrorNo = kErrAllocation;
    int32_t iGot = 0;
    const int64_t iStart = NowMs();
    int32_t iError = s.ReadScanData(std::span(m_Block).first(size_t(m_iBlockSize)), iGot);
    m_iLastReadMs = NowMs() - iStart;
    if (m_iLastReadMs > 1000)
        Log_Msg_Int("ERROR: scanRead milli Sec", static_cast<int32_t>(m_iLastReadMs));
    if (iGot > 0) {
        int32_t iState = 0, iPosition = 0;
        s.GetPaperState(iState, iPosition);
        Log_Msg(FormatText("CContScan::ReadBuffer received %d bytes @ paper status %02Xh, position %d", iGot, iState,
                           iPosition));
    }
    if (IsMediumFamily(iError) || iError == ZEL_ASC_END_OF_MEDIUM || iError == ZEL_ASC_END_OF_MEDIUM_2)
        iError = 0;
    m_iReceived = iError == 0 ? iGot : 0;
    if (iError != 0)
        return s.m_ErrorNo = iError;
    if (iGot > 0 && m_iPixelsPerLine == 0 && !ReadCameraLayout()) {
        Log_Msg_Int("CContScan::ReadBuffer: line width unknown for a block of", iGot);
        m_iReceived = 0;
        return s.m_ErrorNo = kErrLineWidth;
    }
    ProcessBlock();
    s.m_ErrorNo = 0;
    return 0;
}

void CContScan::EnsurePlanes(size_t iPixels)
{
    for (std::vector<uint8_t>& plane : m_Planes)
        plane.assign(iPixels, 0);
    // The guard is the scratch line of the shift corrections; its marker
    // behind the data shows an overrun in the log instead of in a crash
    // far away.
    m_Guard.assign(iPixels + 10, 0);
    m_Guard[iPixels + 7] = 'j';
    m_Guard[iPixels + 8] = 'k';
    m_Guard[iPixels + 9] = 'n';
}

void CContScan::ProcessBlock()
{
    const int64_t iLineBytes = int64_t(m_iPixelsPerLine) * m_iBytesPerPixel;
    m_iLinesPerBlock = iLineBytes > 0 ? static_cast<int32_t>(m_iReceived / iLineBytes) : 0;
    const int32_t iLines = m_iLinesPerBlock;
    m_iFirstLine = m_iLinesSoFar;
    m_iLinesSoFar += iLines;
    uint8_t* pBlock = m_Block.data();

    if (m_bAveraging && iLines > 1) {
        // One mean line repeated: noise across lines averages out while the
        // block keeps its size for every consumer.
        std::vector<uint32_t> sum(static_cast<size_t>(iLineBytes), 0);
        for (int32_t y = 0; y < iLines; ++y)
            for (int64_t i = 0; i < iLineBytes; ++i)
                sum[size_t(i)] += pBlock[y * iLineBytes + i];
        for (int32_t y = 0; y < iLines; ++y)
            for (int64_t i = 0; i < iLineBytes; ++i)
                pBlock[y * iLineBytes + i] = static_cast<uint8_t>((sum[size_t(i)] + uint32_t(iLines) / 2) / uint32_t(iLines));
    }

    size_t iPixels = static_cast<size_t>(iLines) * static_cast<size_t>(m_iPixelsPerLine);
    if (iPixels > m_Planes[0].size()) {
        EnsurePlanes(iPixels);
        Log_Msg("m_bufferMarker = new 2");
    }

    if (m_bDoubleBlock) {
        // Two scan lines make one: the block is read at twice the height the
        // consumers measure in.
        const int32_t iPairs = iLines / 2;
        for (int32_t y = 0; y < iPairs; ++y) {
            const uint8_t* a = pBlock + (2 * y) * iLineBytes;
            const uint8_t* b = a + iLineBytes;
            uint8_t* out = pBlock + y * iLineBytes;
            for (int64_t i = 0; i < iLineBytes; ++i)
                out[i] = static_cast<uint8_t>((a[i] + b[i] + 1) / 2);
        }
        m_iLinesPerBlock = iPairs;
        m_iReceived = static_cast<int32_t>(iPairs * iLineBytes);
        iPixels = static_cast<size_t>(iPairs) * static_cast<size_t>(m_iPixelsPerLine);
    }

    if (m_bLightOff && m_bAmplify)
        for (int32_t i = 0; i < m_iReceived; ++i)
            pBlock[i] = static_cast<uint8_t>(std::min(pBlock[i] * 4, 255));

    SplitPlanes();
    if (m_pScanner && m_iBytesPerPixel == 3 && m_pScanner->IsSoftwareScanner())
        ApplyCorrections();
    if (m_Guard.size() >= 3 && (m_Guard[m_Guard.size() - 3] != 'j' || m_Guard[m_Guard.size() - 2] != 'k' ||
                                m_Guard.back() != 'n'))
        Log_Msg("CContScan::ProcessBlock: guard marker overwritten");

    m_Pic.m_iSize = m_iReceived;
    m_Pic.m_iHeight = m_iLinesPerBlock;
    if (m_OnBlock)
        m_OnBlock(*this);
}

void CContScan::SplitPlanes()
{
    const size_t iPixels = static_cast<size_t>(m_iLinesPerBlock) * static_cast<size_t>(m_iPixelsPerLine);
    const uint8_t* p = m_Block.data();
    if (m_iBytesPerPixel == 1) {
        std::memcpy(m_Planes[1].data(), p, iPixels);
        return;
    }
    if (m_iColorComponent == ZEL_COLOR_GRAY) {
        for (size_t i = 0; i < iPixels; ++i)
            m_Planes[1][i] = p[3 * i + 1];
        return;
    }
    uint8_t* r = m_Planes[0].data();
    uint8_t* g = m_Planes[1].data();
    uint8_t* b = m_Planes[2].data();
    for (size_t i = 0; i < iPixels; ++i) {
        r[i] = p[3 * i];
        g[i] = p[3 * i + 1];
        b[i] = p[3 * i + 2];
    }
}

void CContScan::ApplyCorrections()
{
    const size_t iWidth = static_cast<size_t>(m_iPixelsPerLine);
    const size_t iLines = static_cast<size_t>(m_iLinesPerBlock);
    uint8_t* pBlock = m_Block.data();
    auto swap = [&](int a, int b) {
        std::swap(m_Planes[size_t(a)], m_Planes[size_t(b)]);
        for (size_t i = 0; i < iWidth * iLines; ++i)
            std::swap(pBlock[3 * i + size_t(a)], pBlock[3 * i + size_t(b)]);
    };
    // Towards the end: every pixel takes its predecessor's value, the first
    // of a line keeps its own.
    auto shiftRight = [&](int c) {
        for (size_t y = 0; y < iLines; ++y) {
            uint8_t* plane = m_Planes[size_t(c)].data() + y * iWidth;
            uint8_t* line = pBlock + y * iWidth * 3 + size_t(c);
            for (size_t x = iWidth; x-- > 1;) {
                plane[x] = plane[x - 1];
                line[3 * x] = line[3 * (x - 1)];
            }
        }
    };
    // Towards the start: in the planes the last pixel keeps its own, in the
    // interleaved block the last two (the scanner's own correction leaves
    // the same two).
    auto shiftLeft = [&](int c) {
        for (size_t y = 0; y < iLines; ++y) {
            uint8_t* plane = m_Planes[size_t(c)].data() + y * iWidth;
            uint8_t* line = pBlock + y * iWidth * 3 + size_t(c);
            std::memcpy(m_Guard.data(), plane, std::min(iWidth, m_Guard.size() - 10));
            for (size_t x = 0; x + 1 < iWidth; ++x)
                plane[x] = m_Guard[x + 1];
            for (size_t x = 0; x + 2 < iWidth; ++x)
                line[3 * x] = line[3 * (x + 1)];
        }
    };
    if (m_Corrections[SWAP_RED_GREEN]) swap(0, 1);
    if (m_Corrections[SWAP_GREEN_BLUE]) swap(1, 2);
    if (m_Corrections[SWAP_RED_BLUE]) swap(0, 2);
    for (int c = 0; c < 3; ++c)
        if (m_Corrections[size_t(SHIFT_RED_RIGHT + c)])
            shiftRight(c);
    for (int c = 0; c < 3; ++c)
        if (m_Corrections[size_t(SHIFT_RED_LEFT + c)])
            shiftLeft(c);
}

bool CContScan::BufferWithoutCISNoise() const
{
    if (EdgesWithoutCISNoise(m_Block.data(), m_iLinesPerBlock, m_CameraPixels, m_iBytesPerPixel, m_iNoiseMargin))
        return true;
    Log_Msg("CContScan::BufferWithoutCISNoise()     Noise detected.");
    return false;
}

// ================================================================ recorder

void CContScan::StartRecording(const std::string& szBase)
{
    m_pWriter = std::make_unique<COsaWriter>(szBase);
}

bool CContScan::AppendBlock()
{
    if (!m_pWriter)
        return false;
    COsaLayout layout;
    layout.m_iCameraCount = CameraCount();
    layout.m_CameraPixels = m_CameraPixels;
    const size_t iBytes = static_cast<size_t>(m_iLinesPerBlock) * static_cast<size_t>(m_iPixelsPerLine) *
                          static_cast<size_t>(m_iBytesPerPixel);
    if (m_iPixelsPerLine == 0)
        return true; // nothing known to record yet
    return m_pWriter->Append(layout, m_Block.data(), iBytes);
}

bool CContScan::OpenRecording(const std::string& szBase)
{
    m_iBytesPerPixel = m_iColorKind == 2 ? 3 : 1;
    COsaRecording recording;
    if (!recording.Open(szBase, m_iBytesPerPixel)) {
        m_szError = recording.m_szError;
        return false;
    }
    m_szReplayFile = recording.m_szFile;
    m_Replay = std::move(recording.m_Lines);
    m_iReplayLength = recording.m_iLineCount;
    m_iReplayChunk = 0;
    SetLayout(recording.m_Layout.m_CameraPixels);
    const size_t iLineBytes = static_cast<size_t>(m_iPixelsPerLine) * static_cast<size_t>(m_iBytesPerPixel);
    m_Block.assign(std::max<size_t>(size_t(m_iBlockSize) * 2, 3 * iLineBytes), 0);
    EnsurePlanes(std::max<size_t>(size_t(m_iBlockSize), 3 * size_t(m_iPixelsPerLine)));
    return true;
}

// ================================================================ CContScanPicture

void CContScanPicture::SetFromBlock(const CContScan& scan)
{
    const int32_t iLineBytes = scan.PixelsPerLine() * scan.BytesPerPixel();
    m_Pic.Create(std::max(scan.PixelsPerLine(), 1), std::max(scan.LinesPerBlock(), 1), scan.Picture().m_iResolution,
                 scan.BytesPerPixel() == 3 ? PIC_RGB : PIC_GRAY);
    for (int32_t c = 0; c < CPicture::kCameras; ++c)
        m_Pic.m_BiC[c] = scan.CameraPixels()[size_t(c)] * scan.BytesPerPixel();
    const int64_t iBytes = int64_t(iLineBytes) * scan.LinesPerBlock();
    if (iBytes > 0 && m_Pic.m_pData)
        std::memcpy(m_Pic.m_pData, scan.Block(), static_cast<size_t>(iBytes));
    m_Pic.m_iSize = static_cast<int32_t>(iBytes);
    m_Pic.m_iHeight = scan.LinesPerBlock();
}

bool CContScanPicture::BufferWithoutCISNoise() const
{
    std::array<int32_t, 8> pixels{};
    for (int32_t c = 0; c < CPicture::kCameras; ++c)
        pixels[size_t(c)] = std::max(m_Pic.PixCameras(c), 0);
    if (EdgesWithoutCISNoise(m_Pic.m_pData, std::max(m_Pic.m_iHeight, 0), pixels, m_Pic.BytesPerPixel(),
                             m_iNoiseMargin))
        return true;
    Log_Msg("CContScanPicture::BufferWithoutCISNoise()     Noise detected.");
    return false;
}

// ================================================================ AcquirePicture

int32_t AcquirePicture(CScanner& scanner, CPicture& pic, int32_t iLines, int32_t iMode,
                       const CAcquireOptions& options)
{
    scanner.m_Adjust.Disable();
    pic.Clear();
    CContScan scan(&scanner);
    scan.m_iNoiseMargin = options.m_iNoiseMargin;
    scan.m_OnBlock = options.m_OnBlock;
    if (!options.m_szRecordBase.empty())
        scan.StartRecording(options.m_szRecordBase);
    int32_t iError = scan.StartContinuousScan(scanner.IsColorScanner() ? 3 : 2);
    bool bSetUp = false;
    int32_t iNoisy = 0;
    CContScanPicture check;
    check.m_iNoiseMargin = options.m_iNoiseMargin;
    while (iError == 0 && iLines > 0) {
        if (CCancel::IsCancelRequested()) {
            CCancel::SetCancelled();
            Log_Msg("CCancel::IsCancelRequested()");
            iError = ScannerProgramError(ERR_USER_CANCELLED);
            break;
        }
        if ((iError = scan.ReadBuffer()) != 0)
            break;
        if (scan.IsRecording() && !scan.AppendBlock())
            Log_Msg("AcquirePicture: " + scan.Writer()->Error());
        bool bNoisy = scan.LinesPerBlock() == 0;
        if (!bNoisy) {
            check.SetFromBlock(scan);
            bNoisy = !check.BufferWithoutCISNoise();
        }
        if (bNoisy) {
            if (++iNoisy >= options.m_iMaxNoisyInRow) {
                Log_Msg_Int("AcquirePicture: no usable block in a row of", iNoisy);
                iError = kErrAllNoisy;
            }
            continue;
        }
        iNoisy = 0;
        const bool bRGB = iMode == 3 && scan.BytesPerPixel() == 3;
        if (!bSetUp) {
            if (!pic.Create(scan.PixelsPerLine(), iLines, scanner.GetOpticalResolution(), bRGB ? PIC_RGB : PIC_GRAY)) {
                iError = CContScan::kErrAllocation;
                break;
            }
            for (int32_t c = 0; c < CPicture::kCameras; ++c)
                pic.m_BiC[c] = scan.CameraPixels()[size_t(c)] * (bRGB ? 3 : 1);
            bSetUp = true;
        }
        const int32_t iTake = std::min(scan.LinesPerBlock(), iLines - pic.m_iHeight);
        const size_t iPixels = static_cast<size_t>(scan.PixelsPerLine());
        for (int32_t y = 0; y < iTake; ++y) {
            uint8_t* pOut = pic.m_pData + pic.m_iSize;
            if (bRGB)
                std::memcpy(pOut, scan.Block() + size_t(y) * iPixels * 3, iPixels * 3);
            else
                std::memcpy(pOut, scan.Plane(1).data() + size_t(y) * iPixels, iPixels);
            pic.m_iSize += static_cast<int32_t>(iPixels * (bRGB ? 3 : 1));
            ++pic.m_iHeight;
        }
        if (pic.m_iHeight >= iLines)
            break;
    }
    scan.StopScan();
    return iError;
}
