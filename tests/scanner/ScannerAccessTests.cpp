#include <cstring>

#include "SimFixture.h"
#include "datafiles/ErrorReport.h"
#include "platform/Messages.h"
#include "scanner/ScanLibrary.h"
#include "scanner/ScannerVariants.h"

namespace {

using CScannerAccess = CSimFixture;

TEST_F(CScannerAccess, OpensFirstScannerOrTheGivenHandle)
{
    const std::string szIni = kFast + "Handles=3,5\nNames=First|Second\n";
    Open(szIni, 0);
    EXPECT_EQ(m_Scanner.m_hScanner, 3);
    EXPECT_EQ(m_Scanner.GetScannerName(), "First");
    m_Scanner.CloseScanner(false);
    ASSERT_EQ(m_Scanner.OpenScanner(5, false), 0);
    EXPECT_EQ(m_Scanner.m_hScanner, 5);
    EXPECT_EQ(m_Scanner.GetScannerName(), "Second");
    m_Scanner.CloseScanner(false);
    EXPECT_NE(m_Scanner.OpenScanner(9, false), 0);
    EXPECT_FALSE(m_Scanner.m_bScannerOpen);
}

TEST_F(CScannerAccess, SelfTestOnOpenClosesAndReports)
{
    UseScenario(kFast + "[Faults]\nSelfTestOnOpen=1\n");
    EXPECT_EQ(m_Scanner.OpenScanner(0, false), ScannerProgramError(1023));
    EXPECT_EQ(m_Scanner.m_ErrorNo, static_cast<int32_t>(0x823703FF));
    EXPECT_FALSE(m_Scanner.m_bScannerOpen);
    // The device was closed again: a status read is refused.
    uint8_t status[21];
    int32_t iReceived = 0;
    EXPECT_NE(m_Scanner.ReadStatus(status, iReceived), 0);
}

TEST_F(CScannerAccess, TheOpenWaitsWhileTheScannerIsNotReady)
{
    Open(kFast + "[Faults]\nNotReadyReads=3\n");
    uint8_t status[21];
    int32_t iReceived = 0;
    ASSERT_EQ(m_Scanner.ReadStatus(status, iReceived), 0);
    EXPECT_EQ(status[0], 0); // the not-ready reads were used up during the open
    m_Scanner.CloseScanner(true);
    // The unit itself saying "not ready" while coming up ends the open.
    UseScenario(kFast + "[Faults]\nNotReadyReads=3\nCheckCondition.scanTestUnitReady=0x0401\n");
    EXPECT_EQ(m_Scanner.OpenScanner(0, false), 0x0401);
    EXPECT_FALSE(m_Scanner.m_bScannerOpen);
}

TEST_F(CScannerAccess, ModeReadyAfterReboot)
{
    // Reboot takes 3 simulated seconds (15 ms here); a scanner that never
    // comes back within the wait is reported as not ready, not as ready.
    Open("[Device]\nTimeScale=200\n[Paper]\nRebootMs=3000\n");
    ASSERT_EQ(m_Scanner.m_Diagnostics.ColdReboot(), 0);
    EXPECT_EQ(m_Scanner.WaitForModeReadyAfterReboot(2), 0);
    // The unit itself answers "not ready yet" until the restart is over.
    ASSERT_EQ(m_Scanner.m_Diagnostics.ColdReboot(), 0);
    EXPECT_EQ(m_Scanner.WaitUnitReady(), 0);
    m_Scanner.CloseScanner(true);

    Open("[Device]\nTimeScale=1\n[Paper]\nRebootMs=600000\n");
    ASSERT_EQ(m_Scanner.m_Diagnostics.ColdReboot(), 0);
    EXPECT_EQ(m_Scanner.WaitForModeReadyAfterReboot(1), ZEL_NOT_READY_YET);
    m_Scanner.CloseScanner(true);

    Open(kFast + "[Faults]\nNoStatusBlock=1\n");
    EXPECT_EQ(m_Scanner.WaitForModeReadyAfterReboot(1), 0);
}

TEST_F(CScannerAccess, RegistersEveryScannerWithItsConnection)
{
    UseScenario(kFast + "Handles=1,5,7,8\nNames=Alpha|Beta|Gamma|Delta\nConnections=1,3,2,4\n");
    ASSERT_EQ(m_Scanner.RegisterAllScanners(), 0);
    ASSERT_EQ(m_Scanner.m_scanners.size(), 4u);
    const char* const kExpected[] = {"Alpha ( USB )", "Beta ( ETHERNET )", "Gamma ( UNKNOWN )", "Delta ( USBCY )"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_Scanner.GetScannerDisplayText(i), kExpected[i]);
    EXPECT_EQ(m_Scanner.m_scanners[1].m_hScanner, 5);
    EXPECT_FALSE(m_Scanner.m_bScannerOpen);
}

TEST_F(CScannerAccess, MissingNameIsUnknownScanner)
{
    Open(kFast + "[Faults]\nNoName=1\n");
    EXPECT_EQ(m_Scanner.GetScannerName(), "Unknown Scanner");
}

TEST_F(CScannerAccess, NoStatusBlockReadsAsBasicCalibrating)
{
    Open(kFast + "[Faults]\nNoStatusBlock=1\n");
    uint8_t status[21];
    int32_t iReceived = 0;
    EXPECT_EQ(m_Scanner.ReadStatus(status, iReceived), 0);
    EXPECT_EQ(iReceived, 21);
    EXPECT_EQ(status[1], ZEL_PS_BASIC_CALIBRATING);
    EXPECT_EQ(status[6], 1);
    EXPECT_FALSE(m_Scanner.CanPaperBeLoaded());
}

TEST_F(CScannerAccess, ShortStatusBlockLeavesTheDefaults)
{
    Open(kFast + "[Faults]\nStatusLength=10\n");
    int32_t iState = 0, iPosition = 0;
    EXPECT_FALSE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(iState, 255);
    EXPECT_EQ(iPosition, static_cast<int32_t>(0x80000001u));
}

TEST_F(CScannerAccess, PaperLoadsAndEjectsThroughItsStates)
{
    Open(kFast);
    EXPECT_TRUE(m_Scanner.CanPaperBeLoaded());
    ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    int32_t iState = 0, iPosition = -1;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iPosition));
    EXPECT_EQ(CScanner::GetPaperStatusName(iState), "ZEL_PS_READY");
    EXPECT_EQ(iPosition, 0);
    // Already in place: no second load.
    EXPECT_EQ(m_Scanner.LoadPaper(false), 0);
    ASSERT_EQ(m_Scanner.MovePaperBy(2000), 0);
    ASSERT_EQ(m_Scanner.G5_PaperReady(5, false), 0);
    m_Scanner.GetPaperState(iState, iPosition);
    EXPECT_EQ(iState, ZEL_PS_READY_BUT_MOVED);
    EXPECT_EQ(iPosition, 2000);
    ASSERT_EQ(m_Scanner.MovePaperToWindow(), 0); // back to the sheet's start
    m_Scanner.GetPaperState(iState, iPosition);
    EXPECT_EQ(iState, ZEL_PS_READY);
    EXPECT_EQ(iPosition, 0);
    ASSERT_EQ(m_Scanner.EjectPaper(), 0);
    m_Scanner.GetPaperState(iState, iPosition);
    EXPECT_EQ(iState, ZEL_PS_EJECTED);
}

TEST_F(CScannerAccess, PaperStatesThatCannotBeLoaded)
{
    struct {
        const char* m_szFaults;
        int32_t m_iState;
        bool m_bLoadable;
    } const kCases[] = {
        {"[Paper]\nInitial=none\n", ZEL_PS_NOT_PRESENT, false},
        {"[Faults]\nLidOpen=1\n", ZEL_PS_LID_OPEN, false},
        {"[Paper]\nInitial=ejected\n", ZEL_PS_EJECTED, true},
        {"[Paper]\nInitial=0x12\n", ZEL_PS_UNKNOWN, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szFaults);
        Open(kFast + c.m_szFaults);
        int32_t iState = 0, iPosition = 0;
        m_Scanner.GetPaperState(iState, iPosition);
        EXPECT_EQ(iState, c.m_iState);
        EXPECT_EQ(m_Scanner.CanPaperBeLoaded(), c.m_bLoadable);
        m_Scanner.CloseScanner(true);
    }
    EXPECT_EQ(CScanner::GetPaperStatusName(0x42), "Unknown paper status 0x42");
}

TEST_F(CScannerAccess, JammedSheetTimesOutWithTheMoveError)
{
    Open(kFast + "[Faults]\nPaperJam=1\n");
    ASSERT_EQ(m_Scanner.LoadPaper(true), 0);
    EXPECT_EQ(m_Scanner.G5_PaperReady(1, false), ScannerProgramError(1185)); // the wait's own timeout error
    EXPECT_FALSE(m_Scanner.CanPaperBeLoaded());
    // Without paper the wait may end at once when asked to.
    EXPECT_EQ(m_Scanner.G5_PaperReady(1, true), 0);
}

TEST_F(CScannerAccess, InjectedCheckConditionBecomesItsSenseCode)
{
    Open(kFast + "[Faults]\nCheckCondition.scanObjectPosition.1=0x3A00,1\n");
    EXPECT_EQ(m_Scanner.LoadPaper(true), 0x3A00);
    EXPECT_EQ(m_Scanner.LoadPaper(true), 0); // only once
}

TEST_F(CScannerAccess, ErrorReportAsksTheLibraryForTheSenseCode)
{
    Open(kFast + "[Faults]\nCheckCondition.scanObjectPosition=0x3B0E\n");
    EXPECT_EQ(ZelLib::scanObjectPosition(m_Scanner.m_hScanner, ZEL_OP_LOAD, 0), ZEL_CHECK_CONDITION);
    CMessageRecorder messages;
    ReportError(REPORT_CHECK_CONDITION, m_Scanner.m_hScanner);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("3B0E"), std::string::npos) << messages.Texts()[0];
}

TEST_F(CScannerAccess, ReservationIsProgramWideAndNestingIsAProgrammingError)
{
    Open(kFast);
    CScanner other;
    EXPECT_THROW(other.ReleaseScanner(true), CScannerProgrammingError);
    ASSERT_EQ(m_Scanner.ReserveScanner(true), 0);
    EXPECT_TRUE(CScanner::IsUnitReserved());
    try {
        other.ReserveScanner(true);
        ADD_FAILURE() << "nested reservation accepted";
    } catch (const CScannerProgrammingError& e) {
        EXPECT_STREQ(e.what(), "This may never happen, is a programming error");
    }
    EXPECT_EQ(m_Scanner.ReserveScanner(false), 0); // unchecked: the library is asked again
    EXPECT_EQ(m_Scanner.ReleaseScanner(true), 0);
    EXPECT_FALSE(CScanner::IsUnitReserved());
}

TEST_F(CScannerAccess, ScanCommandResults)
{
    Open(kFast + "[Faults]\nCheckCondition.scanScan=0x3B09,1\n");
    m_Scanner.m_Window.m_iColorMode = 2;
    m_Scanner.SetWindowResolution(100);
    m_Scanner.SetWindowArea(0, 0, 1200, 1200);
    ASSERT_EQ(m_Scanner.SendSetWindowCommand(), 0);
    EXPECT_EQ(m_Scanner.SendScanCommand(0), ScannerProgramError(1199));
    // No sheet in the path: the device refuses with "medium not present".
    EXPECT_EQ(m_Scanner.SendScanCommand(0), 0x3A00);
    ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    EXPECT_EQ(m_Scanner.SendScanCommand(0), 0); // 0x3A85 "started" is success
    std::vector<uint8_t> data(100 * 100 * 2);
    int32_t iReceived = 0;
    EXPECT_EQ(m_Scanner.ReadScanData(data, iReceived), 0x3B09);
    EXPECT_EQ(iReceived, 100 * 100);
}

TEST_F(CScannerAccess, ScanLinesByColourMode)
{
    // One inch at 100 dpi, 10 lines, of the simulator's light gray field: the
    // bytes per line follow the window, line art is one bit a pixel (1 = black).
    struct {
        int32_t m_iMode;
        uint8_t m_byThreshold;
        int32_t m_iLineBytes;
        uint8_t m_byFirst;
    } const kCases[] = {
        {3, 0, 300, 200},
        {2, 0, 100, 200},
        {1, 128, 13, 0x00},
        {1, 255, 13, 0xFF},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_iMode);
        Open(kFast);
        ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
        m_Scanner.m_Window.m_byThreshold = c.m_byThreshold;
        StartScan(c.m_iMode, 100, 1200, 120);
        std::vector<uint8_t> data(4096, 0x55);
        int32_t iReceived = 0;
        EXPECT_EQ(m_Scanner.ReadScanData(data, iReceived), ZEL_ASC_END_OF_MEDIUM);
        EXPECT_EQ(iReceived, 10 * c.m_iLineBytes);
        EXPECT_EQ(data[0], c.m_byFirst);
        EXPECT_EQ(data[static_cast<size_t>(iReceived)], 0x55); // nothing beyond what was reported
        m_Scanner.CloseScanner(true);
    }
}

// ---------------------------------------------------------------- inquiry values

TEST_F(CScannerAccess, InquiryAnswersFollowTheModel)
{
    Open(kFast + "[Model]\nType=28\nColor=0\nCameras=5\nOpticalResolution=1200\nDeviceValue=9\nUnitLetter=p\n");
    EXPECT_EQ(m_Scanner.GetScannerType(), 28);
    EXPECT_FALSE(m_Scanner.IsColorScanner());
    EXPECT_EQ(m_Scanner.GetCameraCount(), 5);
    EXPECT_EQ(m_Scanner.GetOpticalResolution(), 1200);
    EXPECT_EQ(m_Scanner.GetDeviceValue(), 9);
    EXPECT_TRUE(m_Scanner.IsTypeGroupA());
    EXPECT_TRUE(m_Scanner.IsTypeGroupB());
    EXPECT_TRUE(m_Scanner.IsTypeGroupC());
    EXPECT_FALSE(m_Scanner.IsTypeGroupD());
    EXPECT_TRUE(m_Scanner.HasStatusBlock());
    m_Scanner.m_iOpticalResolutionOverride = 400;
    EXPECT_EQ(m_Scanner.GetOpticalResolution(), 400);
}

TEST_F(CScannerAccess, UnitTextAndStatusBlockFollowTheModel)
{
    // The simulated buffer 0x0E holds 1, 2, 3, ... so byte 1 (the model) is 2.
    struct {
        const char* m_szModel;
        const char* m_szFirst;  // no index: byte 0; nullptr: not looked at
        const char* m_szIndex1; // byte 3
        int m_iHasStatus;       // -1: not looked at
    } const kCases[] = {
        {"Type=5\n", "SUIA", "SUID", 1},
        {"Type=5\nUnitLetter=p\n", "SULA", "SULD", -1},
        {"Type=28\nUnitLetter=p\n", "SULA 42", "SULD 42", -1},
        {"Type=11\n", nullptr, nullptr, 0},
        {"Type=11\nStatusBlockValue=0\n", "SUIA 36 CIS", "SUID 36 CIS", 1},
        {"Type=5\nStatusBlockValue=-2\n", nullptr, nullptr, 0},
        {"Type=5\n[Pages]\n0xC0=00\n", "SUIA", "SUID", -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szModel);
        Open(kFast + "[Model]\n" + c.m_szModel);
        if (c.m_szFirst) {
            EXPECT_EQ(m_Scanner.GetUnitText(), c.m_szFirst);
            EXPECT_EQ(m_Scanner.GetUnitText(1), c.m_szIndex1);
        }
        if (c.m_iHasStatus >= 0)
            EXPECT_EQ(m_Scanner.HasStatusBlock(), c.m_iHasStatus == 1);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerAccess, UntrustedInquiryAndReadLengths)
{
    // A device that reports 12 cameras, claims 100 bytes more than it delivers
    // and offers a resolution no scanner has.
    Open(kFast + "[Model]\nCameras=12\n[Faults]\nOverReport=100\n[Pages]\n0xC3=00 00 00 00 00 00 00 00 7F FF FF FF\n");
    EXPECT_EQ(m_Scanner.GetCameraCount(), 8);
    EXPECT_EQ(m_Scanner.GetOpticalResolution(), 0);
    int32_t first[8] = {}, last[8] = {};
    EXPECT_EQ(m_Scanner.GetCameraPixelRanges(first, last), 0);
    CGainOffset go;
    EXPECT_EQ(m_Scanner.ReadGainOffset(go), 0);
    EXPECT_EQ(go.m_iCameraCount, 8);
    uint8_t status[21];
    int32_t iReceived = 0;
    m_Scanner.ReadStatus(status, iReceived);
    EXPECT_EQ(iReceived, 21);
}

TEST_F(CScannerAccess, ShortInquiryPageGivesDefaults)
{
    Open(kFast + "[Pages]\n0xC1=00 00 00 00 00 00 00 00 01\n");
    EXPECT_TRUE(m_Scanner.IsColorScanner()); // byte 8 delivered
    EXPECT_EQ(m_Scanner.GetCameraCount(), 0);
    EXPECT_EQ(m_Scanner.GetScannerType(), 255);
    EXPECT_EQ(m_Scanner.GetCISModeCount(), 1);
    EXPECT_EQ(m_Scanner.BuildWindowParameterList().size(), 8u);
}

// ---------------------------------------------------------------- window

TEST_F(CScannerAccess, WindowParameterListByteForByte)
{
    Open(kFast + "[Model]\nWindowPageLength=83\n");
    CScanWindow& w = m_Scanner.m_Window;
    w.m_iColorMode = 3;
    m_Scanner.SetWindowResolution(300);
    w.m_iLeft = 0x01020304;
    w.m_iTop = 10;
    w.m_iWidth = 43200;
    w.m_iLength = 1200;
    w.m_byThreshold = 77;
    w.m_iVendorValue1 = 1000;
    w.m_iVendorValue2 = 0x00010000;
    w.m_byVendor = 100;
    w.m_byColorOption = 1;
    w.m_byVendor2 = 9;
    m_Scanner.m_bUse_CIS_LightOff = true;
    const std::vector<uint8_t> list = m_Scanner.BuildWindowParameterList();
    ASSERT_EQ(list.size(), 83u);
    const std::pair<size_t, uint8_t> kBytes[] = {
        {7, 75}, {10, 0x01}, {11, 0x2C}, {12, 0x01}, {13, 0x2C}, {14, 1}, {15, 2}, {16, 3}, {17, 4},
        {21, 10}, {24, 0xA8}, {25, 0xC0}, {28, 0x04}, {29, 0xB0}, {31, 0}, {33, 5}, {34, 24}, {40, 0},
        {54, 0x03}, {55, 0xE8}, {57, 0x01}, {60, 4}, {68, 100}, {76, 1}, {77, 100}, {80, 0x20}, {82, 9}};
    for (const auto& [iOffset, byValue] : kBytes)
        EXPECT_EQ(list[iOffset], byValue) << "offset " << iOffset;

    w.m_iColorMode = 1;
    m_Scanner.m_bUse_CIS_LightOff = false;
    const std::vector<uint8_t> lineArt = m_Scanner.BuildWindowParameterList();
    for (const auto& [iOffset, byValue] :
         {std::pair<size_t, uint8_t>{31, 77}, {33, 0}, {34, 1}, {40, 0x80}, {60, 0}, {76, 0}, {80, 0}})
        EXPECT_EQ(lineArt[iOffset], byValue) << "line art, offset " << iOffset;
}

TEST_F(CScannerAccess, LightOffRaisesDescriptorAndWarnsOnMismatch)
{
    Open(kFast + "[Model]\nType=12\nWindowPageLength=56\n");
    CMessageRecorder messages;
    m_Scanner.m_Window.m_iColorMode = 2;
    m_Scanner.SetWindowResolution(200);
    m_Scanner.SetWindowArea(0, 0, 1200, 1200);
    EXPECT_EQ(m_Scanner.BuildWindowParameterList().size(), 56u);
    m_Scanner.m_bUse_CIS_LightOff_Row2 = true;
    EXPECT_EQ(m_Scanner.BuildWindowParameterList()[7], 73);
    EXPECT_EQ(m_Scanner.SendSetWindowCommand(), 0);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "m_bUse_CIS_LightOff != m_bUse_CIS_LightOff_Row2");
    EXPECT_FALSE(m_Scanner.m_bUse_CIS_LightOff_Row2);
    EXPECT_EQ(m_Scanner.BuildWindowParameterList()[80], 0);
}

TEST_F(CScannerAccess, WindowResolutionRules)
{
    Open(kFast + "[Model]\nType=5\n");
    m_Scanner.m_bFixedY = true;
    m_Scanner.SetWindowResolution(300);
    EXPECT_EQ(m_Scanner.m_Window.m_iXResolution, 300);
    EXPECT_EQ(m_Scanner.m_Window.m_iYResolution, 800);
    m_Scanner.m_bOneShotY = true;
    m_Scanner.m_iOneShotYResolution = 150;
    m_Scanner.SetWindowResolution(300);
    EXPECT_EQ(m_Scanner.m_Window.m_iYResolution, 150);
    EXPECT_FALSE(m_Scanner.m_bOneShotY);
    EXPECT_EQ(m_Scanner.m_iOneShotYResolution, -1);
    // The top edge of consecutive windows walks 1..9, 0.
    std::vector<int32_t> tops;
    for (int i = 0; i < 11; ++i) {
        m_Scanner.SetWindowArea(0, 100, 10, 10);
        tops.push_back(m_Scanner.m_Window.m_iTop - 100);
    }
    for (size_t i = 1; i < tops.size(); ++i)
        EXPECT_EQ(tops[i], (tops[i - 1] + 1) % 10);
}

// ---------------------------------------------------------------- fixed and simulated scanners

TEST(CScannerVariants, FixedScannerAnswersFromItsFields)
{
    CScannerFixed fixed(0, 0, 5);
    fixed.SetOpticalResolution(600);
    fixed.SetCameraCount(3);
    CScanner& s = fixed;
    int32_t first[8], last[8];
    EXPECT_EQ(s.GetCameraPixelRanges(first, last), 0);
    EXPECT_EQ(first[7], 0);
    EXPECT_EQ(last[7], 25);
    for (const bool bSecond : {false, true}) {
        int32_t a = 0, b = 0;
        EXPECT_EQ(s.GetScanLineRange(bSecond, a, b), 0);
        EXPECT_EQ(a, -1);
        EXPECT_EQ(b, -1);
    }
    int32_t pa[3] = {}, pb[3] = {};
    EXPECT_EQ(s.ReadStitchPositions(pa, pb), 0);
    EXPECT_EQ(pa[2], -1);
    EXPECT_EQ(pb[0], -1);
    int32_t values[7] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(s.GetStitchValues(values), 0);
    EXPECT_EQ(values[6], 7);
    EXPECT_EQ(s.GetCISModeCount(), 1);
    EXPECT_EQ(s.GetCISModeResolution(3), 600);
    EXPECT_EQ(s.GetHighestCISModeResolution(), 600);
}

} // namespace
