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
        ASSERT_EQ(m_Scanner.ReadBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, raw), 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(static_cast<int16_t>(Be16(raw + 2 * i)), 0) << i;
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerOperations, DeviceWithoutStatusBlockSaysSoAndLoadsAtOnce)
{
    Open(kFast + "[Faults]\nNoStatusBlock=1\n");
    EXPECT_FALSE(m_Scanner.HasStatusBlock());
    EXPECT_EQ(m_Scanner.LoadPaper(false), 0);
    // No timeout left: a wait for a state would end in the timeout error.
    EXPECT_EQ(m_Scanner.G5_PaperReady(0, false), 0);
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
            EXPECT_EQ(m_Scanner.ReadScanData(data, iReceived), ZEL_ASC_END_OF_MEDIUM);
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
    EXPECT_EQ(m_Scanner.ReadScanData(data, iReceived), ZEL_ASC_END_OF_MEDIUM);
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
    ASSERT_EQ(m_Scanner.ReadScanData(data, iReceived), 0);
    EXPECT_EQ(iReceived, 1000);
    int32_t iState = 0, iPosition = 0;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_SCANNING);
    EXPECT_EQ(m_Scanner.ResetScanSystem(), 0);
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, ZEL_PS_READY);
    EXPECT_EQ(m_Scanner.ReadScanData(data, iReceived), 0);
    EXPECT_EQ(iReceived, 0);
    EXPECT_EQ(m_Scanner.DrainScanData(), 0); // nothing left: returns at once
}

TEST_F(CScannerOperations, SettingThatReEnumeratesReconnectsAndReleases)
{
    Open(kFast);
    ASSERT_EQ(m_Scanner.ReserveScanner(true), 0);
    const uint8_t bySetting = 1;
    EXPECT_EQ(m_Scanner.SendSingleSetting(0x8C, std::span(&bySetting, 1)), 0);
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
    EXPECT_EQ(m_Scanner.RestoreCalibration(szFile), 0); // returns at all: the cancel ended the wait
    canceller.join();
    EXPECT_TRUE(CScanner::IsUnitReserved()); // reserved again for the caller
}

} // namespace
