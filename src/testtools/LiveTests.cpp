#include "testtools/LiveTests.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "scanner/SimScenarioSession.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/ScanLibrary.h"
#include "scanner/Scanner.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/ResultText.h"

namespace {

bool Cancelled(const CLiveTestOptions& o)
{
    return CCancel::IsCancelRequested() || (o.m_pCancel && o.m_pCancel->load());
}

int32_t CancelError()
{
    return ScannerProgramError(ERR_USER_CANCELLED);
}

} // namespace

bool LiveSleep(int32_t iMs, const CLiveTestOptions& o)
{
    for (int32_t t = 0; t < iMs; t += 100) {
        if (Cancelled(o))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(100, iMs - t)));
    }
    return !Cancelled(o);
}

int32_t PositioningSetUp(CScanner& scanner, CContScan& scan, const CLiveTestOptions& o)
{
    Log_Msg("PositioningSetUp: sheet to the scan line");
    if (const int32_t iError = scanner.LoadPaper(false); iError != 0)
        return iError;
    if (!LiveSleep(o.m_iSettleMs, o))
        return CancelError();
    int32_t iError = scanner.G5_PaperReady(90, false);
    int32_t iState = 0, iPosition = 0;
    for (int32_t iRetry = 0; iRetry < 10 && iError == 0 && scanner.HasStatusBlock() &&
                             scanner.GetPaperState(iState, iPosition) && iState != ZEL_PS_READY;
         ++iRetry) {
        if (!LiveSleep(o.m_iSettleMs, o))
            return CancelError();
        iError = scanner.G5_PaperReady(90, false);
    }
    if (iError != 0)
        return iError;
    // The sheet stands with its positioning line under the nominal scan line.
    scan.m_dTop = kLineFromTopInch;
    scan.m_dLength = 0;
    if ((iError = scan.StartContinuousScan(3)) != 0)
        return iError;
    if (!LiveSleep(100, o))
        return CancelError();
    for (int32_t iRound = 0; iRound < 100 && scanner.GetPaperState(iState, iPosition) &&
                             (iState == 0x20 || iState == 0x22);
         ++iRound)
        if (!LiveSleep(10 * 100, o))
            return CancelError();
    if (!LiveSleep(o.m_iSettleMs, o))
        return CancelError();
    return 0;
}

double WindowShiftLines(CScanner& scanner)
{
    const int32_t iRes = scanner.GetOpticalResolution() > 0 ? scanner.GetOpticalResolution() : 600;
    return (scanner.m_Window.m_iTop - kLineFromTopInch * 1200.0) * iRes / 1200.0;
}

int32_t ReadFrame(CContScan& scan, CPicture& frame)
{
    if (const int32_t iError = scan.ReadBuffer(); iError != 0)
        return iError;
    const int32_t iLines = scan.LinesPerBlock(), iPixels = scan.PixelsPerLine();
    if (iLines <= 0 || iPixels <= 0 || scan.ReceivedBytes() <= 0) {
        frame.Clear();
        frame.m_iHeight = 0;
        return 0;
    }
    if (!CreateRgbRows(frame, iPixels, iLines, scan.Picture().m_iResolution > 0 ? scan.Picture().m_iResolution : 600))
        return CContScan::kErrAllocation;
    const size_t iRow = size_t(iPixels) * 3;
    for (int32_t y = 0; y < iLines; ++y) {
        uint8_t* pOut = frame.m_pData + y * iRow;
        if (scan.BytesPerPixel() == 3)
            std::memcpy(pOut, scan.Block() + y * iRow, iRow);
        else
            for (int32_t x = 0; x < iPixels; ++x)
                std::memset(pOut + x * 3, scan.Plane(1)[size_t(y) * size_t(iPixels) + size_t(x)], 3);
    }
    for (int32_t c = 0; c < CPicture::kCameras; ++c)
        frame.m_BiC[c] = scan.CameraPixels()[size_t(c)] * 3;
    return 0;
}

void PositioningStop(CScanner& scanner, CContScan& scan, const CLiveTestOptions& o)
{
    scan.StopScan();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(o.m_iSettleMs, 100)));
    scanner.LoadPaper(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(o.m_iSettleMs, 100)));
    scanner.G5_PaperReady(90, false);
}

int32_t RunPositioning(CScanner& scanner, CCenterCCDEngine& engine, int32_t iFrames, const CLiveTestOptions& o)
{
    scanner.GetGeneration(engine.m_iGeneration);
    CContScan scan(&scanner);
    int32_t iError = PositioningSetUp(scanner, scan, o);
    engine.m_dWindowShift = WindowShiftLines(scanner);
    engine.m_bRunning = true;
    CPicture frame;
    int32_t iMeasured = 0, iEmpty = 0;
    while (iError == 0 && iMeasured < iFrames) {
        if (Cancelled(o)) {
            iError = CancelError();
            break;
        }
        if ((iError = ReadFrame(scan, frame)) != 0)
            break;
        if (frame.m_iHeight <= 0) {
            // Nothing this time round; a scanner that never delivers ends the test.
            if (++iEmpty > 1000)
                iError = CContScan::kErrLineWidth;
            continue;
        }
        iEmpty = 0;
        iMeasured += engine.MeasureFrame(frame) ? 1 : 0;
        if (engine.m_iSteps > iFrames * 10 + 100)
            break; // frames keep coming but the lines are not found
    }
    PositioningStop(scanner, scan, o);
    engine.m_bRunning = false;
    return iError;
}

int32_t RunCarriageTravel(CScanner& scanner, CCenterCCDEngine& engine, const CLiveTestOptions& o,
                          const std::function<void(int32_t)>& progress)
{
    Log_Msg(FormatText("RunCarriageTravel: scan speed %d", engine.m_iScanSpeed));
    scanner.GetGeneration(engine.m_iGeneration);
    if (const int32_t iError = scanner.LoadPaper(false); iError != 0)
        return iError;
    if (const int32_t iError = scanner.G5_PaperReady(90, false); iError != 0)
        return iError;
    // Only the two cameras' ends around their overlap are scanned: the
    // stripes are all the test looks at.
    std::array<int32_t, CScanner::kMaxCameras> pixels{};
    if (const int32_t iError = scanner.GetCameraPixels8(pixels); iError != 0)
        return iError;
    const int32_t iRes = scanner.GetOpticalResolution() > 0 ? scanner.GetOpticalResolution() : 600;
    int32_t iBoundary = 0;
    for (int32_t c = 0; c <= engine.m_iFrontCamera && c < CScanner::kMaxCameras; ++c)
        iBoundary += pixels[size_t(c)];
    const int32_t iHalf = 600;
    const double dLeft = std::max(iBoundary - iHalf, 0) / double(iRes);
    const double dWidth = 2.0 * iHalf / iRes;
    engine.BeginTravel();
    CContScan scan(&scanner);
    // The carriage runs at the chosen speed for this scan only.
    const uint8_t byOldSpeed = scanner.m_Window.m_byVendor2;
    scanner.m_Window.m_byVendor2 = CarriageSpeedByte(engine.m_iScanSpeed);
    int32_t iError = scan.StartScan(dLeft, o.m_dTravelTopInch, dWidth, o.m_dTravelInch, 3, iRes, 128);
    scanner.m_Window.m_byVendor2 = byOldSpeed;
    CPicture frame;
    const int32_t iMaxRows = static_cast<int32_t>(std::min(o.m_dTravelInch * iRes, 2.0e6));
    auto tLastRows = std::chrono::steady_clock::now();
    while (iError == 0 && engine.Rows() < iMaxRows) {
        if (Cancelled(o)) {
            iError = CancelError();
            break;
        }
        if ((iError = ReadFrame(scan, frame)) != 0)
            break;
        if (frame.m_iHeight <= 0) {
            // A slow carriage leaves many reads empty: the scan has ended
            // when the scanner no longer says it is scanning, or, for one
            // without a status block, after two quiet seconds.
            const auto quiet = std::chrono::steady_clock::now() - tLastRows;
            int32_t iState = ZEL_PS_SCANNING, iPosition = 0;
            const bool bStatus = scanner.HasStatusBlock() && scanner.GetPaperState(iState, iPosition);
            if (engine.Rows() > 0 && ((bStatus && iState != ZEL_PS_SCANNING) || quiet > std::chrono::seconds(2)))
                break;
            if (quiet > std::chrono::seconds(20)) {
                iError = CContScan::kErrLineWidth;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        tLastRows = std::chrono::steady_clock::now();
        int32_t iFrontEnd = 0, iRearStart = 0;
        const bool bEdges = FindCameraEdges(frame, engine.m_iFrontCamera, engine.m_iRearCamera, iFrontEnd, iRearStart);
        for (int32_t y = 0; y < frame.m_iHeight && engine.Rows() < iMaxRows; ++y)
            engine.MeasureTravelRow(bEdges ? frame.m_pData + int64_t(y) * frame.m_iWidth * 3 : nullptr, frame.m_iWidth,
                                    frame.m_iResolution, iFrontEnd, iRearStart);
        if (progress)
            progress(engine.Rows());
    }
    scan.StopScan();
    engine.FinishTravel();
    return iError;
}

std::string LiveScannerName(CScanner& scanner)
{
    std::string sz = scanner.GetScannerName();
    return sz.empty() ? std::string("Scanner") : sz;
}

std::vector<std::string> CarriageResultLines(const CCenterCCDEngine& e, const std::string& szScanner)
{
    const CDateTime now = CDateTime::Now();
    const double dFront = PixelsToMove(e.m_dPathDiffFront), dRear = PixelsToMove(e.m_dPathDiffRear);
    return {"Scanner: " + szScanner, "Date: " + now.DateString() + " " + now.TimeString(),
            Printf("Scan speed: %d", e.m_iScanSpeed), Printf("Path Diff Front: %.2f pixels", e.m_dPathDiffFront),
            Printf("Path Diff Rear: %.2f pixels", e.m_dPathDiffRear),
            Printf("Pix to move Front: %.0f pixels %s", dFront, TurnDirection(dFront)),
            Printf("Pix to move Rear : %.0f pixels %s", dRear, TurnDirection(dRear))};
}

// ================================================================ dialog rules

std::string LiveFileFilter(const std::string& szName, const std::string& szExt)
{
    return Printf("%s (*.%s)|*.%s|All Files (*.*)|*.*||", szName.c_str(), szExt.c_str(), szExt.c_str());
}

std::string LiveDefaultFile(const std::string& szName, const std::string& szExt)
{
    return Printf("%s.%s", szName.c_str(), szExt.c_str());
}

std::string LiveFilePattern(const std::string& szExt)
{
    return Printf("*.%s", szExt.c_str());
}

int32_t CarriageSpeedOf(int32_t iChoice)
{
    return iChoice == CARRIAGE_SLOW ? 5 : iChoice == CARRIAGE_MIDDEL ? 10 : 25;
}

int32_t CarriageChoiceOf(int32_t iSpeed)
{
    return iSpeed < 8 ? CARRIAGE_SLOW : iSpeed < 15 ? CARRIAGE_MIDDEL : CARRIAGE_FAST;
}

uint8_t CarriageSpeedByte(int32_t iSpeed)
{
    return static_cast<uint8_t>(std::clamp(iSpeed, 0, 255));
}

// ================================================================ samples

namespace {

// Camera A looks 4.2 lines ahead, B 5.6: a scanner that passes.
const char* const kPositioningSample =
    "[Device]\nNames=Lumora SimScan Live\nTimeScale=200\n"
    "[Sheet]\nKind=line\nMarkWidth=2\nFrontLineY=4.2\nRearLineY=5.6\n"
    "[Noise]\nSeed=11\nSigma=1\n[Camera.A]\nBlur=1\n[Camera.B]\nBlur=1\n";
// A carriage that turns the scan line by 6 lines over the sheet's width, and
// a rear camera tilted the other way by more: the two turn opposite ways.
const char* const kCarriageSample =
    "[Device]\nNames=Lumora SimScan Live\nTimeScale=200\n"
    "[Sheet]\nKind=line\nMarkWidth=2\nMarkRepeat=40\nFrontLineY=4\nRearLineY=6\n[Paper]\nLength=4800\n"
    "[Carriage]\nTilt=6\n[Camera.A]\nBlur=1\n[Camera.B]\nTilt=3\nBlur=1\n[Noise]\nSeed=12\nSigma=1\n";

bool RunSample(const std::string& szDir, const char* szScenario, bool bCarriage, const std::string& szPath)
{
    CSimScenarioSession session(szDir, ".live-test-sample.ini", szScenario);
    if (!ZelLib::EnsureLoaded())
        return false;
    CScanner scanner;
    if (scanner.OpenScanner(0, false) != 0) {
        scanner.CloseLibrary();
        return false;
    }
    CCenterCCDEngine e;
    CLiveTestOptions o;
    o.m_iSettleMs = 0;
    e.m_iScanSpeed = CarriageSpeedOf(CARRIAGE_FAST);
    const int32_t iError = bCarriage ? RunCarriageTravel(scanner, e, o) : RunPositioning(scanner, e, 20, o);
    const std::string szName = LiveScannerName(scanner);
    scanner.CloseScanner(true);
    if (iError != 0) {
        Log_Msg(FormatText("Live test samples: %s failed: %d", szPath.c_str(), iError));
        return false;
    }
    std::string szError;
    const bool bOk = bCarriage ? e.WriteCarriage(szPath, CarriageResultLines(e, szName), &szError)
                               : e.WritePositioning(szPath, e.MakeResultLines(szName), &szError);
    if (!bOk)
        Log_Msg_Txt("Live test samples: cannot write", szError);
    return bOk;
}

} // namespace

std::vector<std::string> WriteLiveTestSamples(const std::string& szDirIn)
{
    const std::string szDir = szDirIn.empty() || szDirIn.back() == '/' ? szDirIn : szDirIn + "/";
    std::vector<std::string> written;
    if (std::string sz = szDir + "ScanLinePositioning_Sample.t32"; RunSample(szDir, kPositioningSample, false, sz))
        written.push_back(sz);
    if (std::string sz = szDir + "MirrorCarriage_Sample.t33"; RunSample(szDir, kCarriageSample, true, sz))
        written.push_back(sz);
    return written;
}
