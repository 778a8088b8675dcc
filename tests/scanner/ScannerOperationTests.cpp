// Scanner operations the scanning and calibration code leans on, and the
// scanner-layer faults found by driving them, on the simulated device.
#include <chrono>
#include <thread>

#include "SimFixture.h"
#include "platform/ByteOrder.h"
#include "scanner/zel_scan_2000.h"

namespace {

using CScannerOperations = CSimFixture;

const std::string kSoftware = kFast + "[Model]\nSoftwareScanner=1\nCameras=4\n";

int64_t Ms(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

TEST_F(CScannerOperations, SoftwareScannerWithoutModeListHasItsOpticalMode)
{
    for (const char* szResolution : {"600", "1200"}) {
        SCOPED_TRACE(szResolution);
        Open(kSoftware + "OpticalResolution=" + szResolution + "\n");
        EXPECT_EQ(m_Scanner.GetCISModeCount(), 1);
        EXPECT_EQ(m_Scanner.GetCISModeResolution(0), std::atoi(szResolution));
        EXPECT_EQ(m_Scanner.GetHighestCISModeResolution(), std::atoi(szResolution));
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerOperations, MissingStitchRangeWritesNothing)
{
    struct {
        const char* m_szIni;
        int32_t m_iResult;
    } const kCases[] = {
        // The configuration manager's marker for a value it lacks.
        {"StitchMin=-100\nStitchMax=-100\n", ZEL_ASC_INVALID_FIELD},
        {"StitchMin=-100\n", ZEL_ASC_INVALID_FIELD},
        // A query that fails is returned as it is.
        {"[Faults]\nCheckCondition.scanRead.0xFF=0x3A00\n", 0x3A00},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szIni);
        Open(kSoftware + c.m_szIni);
        const int32_t values[7] = {5, -6, 7};
        EXPECT_EQ(m_Scanner.SetStitchValues(values), c.m_iResult);
        uint8_t raw[14] = {};
        ASSERT_EQ(m_Scanner.ReadBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, raw, 14), 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(static_cast<int16_t>(Be16(raw + 2 * i)), 0) << i;
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerOperations, DeviceWithoutStatusBlockSaysSoAndLoadsAtOnce)
{
    Open(kFast + "[Faults]\nNoStatusBlock=1\n");
    EXPECT_FALSE(m_Scanner.HasStatusBlock());
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(m_Scanner.LoadPaper(false), 0);
    EXPECT_EQ(m_Scanner.G5_PaperReady(90, false), 0);
    EXPECT_LT(Ms(t), 1000);
}

TEST_F(CScannerOperations, ClosingOrDestroyingGivesTheReservationBack)
{
    UseScenario(kFast);
    {
        CScanner other;
        ASSERT_EQ(other.OpenScanner(0, false), 0);
        ASSERT_EQ(other.ReserveScanner(true), 0);
        EXPECT_TRUE(CScanner::IsUnitReserved());
    }
    EXPECT_FALSE(CScanner::IsUnitReserved());
    ASSERT_EQ(m_Scanner.OpenScanner(0, false), 0);
    EXPECT_NO_THROW(m_Scanner.ReserveScanner(true));
    EXPECT_EQ(m_Scanner.CloseScanner(false), 0);
    EXPECT_FALSE(CScanner::IsUnitReserved());
    // Another object's reservation is not this one's to forget.
    CScanner holder;
    ASSERT_EQ(holder.OpenScanner(0, false), 0);
    ASSERT_EQ(holder.ReserveScanner(true), 0);
    ASSERT_EQ(m_Scanner.OpenScanner(0, false), 0);
    m_Scanner.CloseScanner(false);
    EXPECT_TRUE(CScanner::IsUnitReserved());
    holder.ReleaseScanner(true);
}

TEST_F(CScannerOperations, AnswersTheLiveLoopsAskFor)
{
    Open(kFast + "[Model]\nGainBits=5\nGeneration=9\n");
    EXPECT_EQ(m_Scanner.m_InquiryPages.GetUInt8(0xC6, 88, 0), 2);
    int32_t iGeneration = 0;
    EXPECT_EQ(m_Scanner.GetGeneration(iGeneration), 0);
    EXPECT_EQ(iGeneration, 9);
    int32_t pixels[8] = {};
    EXPECT_EQ(m_Scanner.GetCameraPixels8(pixels), 0);
    const int32_t expected[8] = {5400, 5400, 5400, 5400, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(pixels[i], expected[i]) << i;
    m_Scanner.CloseScanner(true);
    Open(kFast);
    EXPECT_EQ(m_Scanner.m_InquiryPages.GetUInt8(0xC6, 88, 0), 1);
}

// ---------------------------------------------------------------- paper

TEST_F(CScannerOperations, MovePaperToWindowBringsTheSheetBackToTheStart)
{
    Open(kFast);
    ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    ASSERT_EQ(m_Scanner.MovePaperBy(2400), 0);
    ASSERT_EQ(m_Scanner.G5_PaperReady(10, false), 0);
    int32_t iState = 0, iPosition = 0;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_READY_BUT_MOVED);
    EXPECT_EQ(iPosition, 2400);
    EXPECT_EQ(m_Scanner.MovePaperToWindow(), 0);
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_READY);
    EXPECT_EQ(iPosition, 0);
}

TEST_F(CScannerOperations, PaperAtEndWaitsForAnEndState)
{
    struct {
        const char* m_szIni;
        bool m_bLoad;
        int32_t m_iResult;
    } const kCases[] = {
        {"", true, 0},                                           // ready after the scan
        {"[Faults]\nLidOpen=1\n", false, ScannerProgramError(1185)}, // never gets there
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szIni);
        Open(kFast + c.m_szIni);
        if (c.m_bLoad) {
            ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
            StartScan(2, 100, 1200, 120);
            std::vector<uint8_t> data(1000);
            int32_t iReceived = 0;
            EXPECT_EQ(m_Scanner.ReadScanData(data.data(), 1000, iReceived), ZEL_ASC_END_OF_MEDIUM);
        }
        EXPECT_EQ(m_Scanner.PaperAtEnd(1), c.m_iResult);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerOperations, ScanLongerThanTheSheetEndsAtItsEnd)
{
    // A 2-inch sheet and a 3-inch window at 100 dpi: 200 lines, then end of medium.
    Open(kFast + "[Paper]\nLength=2400\n");
    ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    StartScan(2, 100, 1200, 3600);
    std::vector<uint8_t> data(100 * 300);
    int32_t iReceived = 0;
    EXPECT_EQ(m_Scanner.ReadScanData(data.data(), static_cast<int32_t>(data.size()), iReceived),
              ZEL_ASC_END_OF_MEDIUM);
    EXPECT_EQ(iReceived, 100 * 200);
    int32_t iState = 0, iPosition = 0;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iPosition, 2400);
    // A sheet at its end refuses the next scan.
    EXPECT_EQ(m_Scanner.SendScanCommand(0), ScannerProgramError(1199));
}

// ---------------------------------------------------------------- scan system

TEST_F(CScannerOperations, ResetScanSystemStopsAScanAndDrainsIt)
{
    Open(kFast);
    ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    StartScan(2, 100, 1200); // continuous: never ends by itself
    std::vector<uint8_t> data(1000);
    int32_t iReceived = 0;
    ASSERT_EQ(m_Scanner.ReadScanData(data.data(), 1000, iReceived), 0);
    EXPECT_EQ(iReceived, 1000);
    int32_t iState = 0, iPosition = 0;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_SCANNING);
    EXPECT_EQ(m_Scanner.ResetScanSystem(), 0);
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_READY);
    EXPECT_EQ(m_Scanner.ReadScanData(data.data(), 1000, iReceived), 0);
    EXPECT_EQ(iReceived, 0);
    EXPECT_EQ(m_Scanner.DrainScanData(), 0); // nothing left: returns at once
}

TEST_F(CScannerOperations, SettingThatReEnumeratesReconnectsAndReleases)
{
    Open(kFast);
    ASSERT_EQ(m_Scanner.ReserveScanner(true), 0);
    const uint8_t bySetting = 1;
    EXPECT_EQ(m_Scanner.SendSingleSetting(0x8C, &bySetting, 1), 0);
    EXPECT_FALSE(CScanner::IsUnitReserved());
    int32_t iState = 0, iPosition = 0;
    EXPECT_TRUE(m_Scanner.GetPaperState(iState, iPosition)); // the reopened scanner answers
    EXPECT_EQ(m_Scanner.ReserveScanner(true), 0);
}

TEST_F(CScannerOperations, CancelEndsTheRestartWaitOfARestore)
{
    // The firmware takes far longer than any test to come back.
    Open(kFast + "[Model]\nType=18\n[Paper]\nRebootMs=100000000\n");
    const std::string szFile = m_Dir.File("calibration.bin");
    ASSERT_EQ(m_Scanner.BackupCalibration(szFile), 0);
    ASSERT_EQ(m_Scanner.ReserveScanner(true), 0);
    std::thread canceller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CCancel::RequestCancel();
    });
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(m_Scanner.RestoreCalibration(szFile), 0);
    canceller.join();
    EXPECT_LT(Ms(t), 5000);
    EXPECT_TRUE(CScanner::IsUnitReserved()); // reserved again for the caller
}

} // namespace
