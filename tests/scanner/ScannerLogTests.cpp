// The log lines technicians and the family's log readers search for.
#include "ScanFixture.h"

namespace {

class CScannerLog : public CScanFixture {
protected:
    void ExpectLines(const std::vector<std::string>& lines)
    {
        const std::string szLog = Log();
        for (const std::string& sz : lines)
            EXPECT_NE(szLog.find(" " + sz + "\n"), std::string::npos) << sz << "\n--- log:\n" << szLog;
    }
};

TEST_F(CScannerLog, OpenAndStitchAndGainOffsetLines)
{
    Open(kFast + "[Model]\nCameras=2\n");
    const int32_t stitch[7] = {-45};
    m_Scanner.SetStitchValues(stitch);
    CGainOffset go;
    go.m_iCameraCount = 1;
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_ODD_OFFSET] = 7;
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_ODD_GAIN] = 150;
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_EVEN_OFFSET] = -3;
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_EVEN_GAIN] = 1000;
    m_Scanner.WriteGainOffset(go, 5);
    const int8_t align[8] = {120};
    m_Scanner.SetCISAlignment(align, false, true);
    m_Scanner.CanPaperBeLoaded();
    ExpectLines({
        "CScanner::OpenScanner. bApplyDataProcessing= FALSE",
        "CScanner::OpenScanner - scanGetNextScanner. m_ErrorNo 0",
        "CScanner::OpenScanner. hScanner= 1",
        "CScanner::OpenScanner - scanOpenScanner. m_ErrorNo 0",
        "CScanner::SetStitchValues error: stitch range exceeded: -45 -> -30",
        "CScanner::SetStitchValues: -30 0 0 0 0 0 0",
        "Write gain/offset to scanner, COLOR:",
        "Camera A color 2: odd offset   7, gain 150, even offset  -3, gain 1000",
        "Write gain/offset to scanner, GRAY:",
        "Add sequence-number 5 to GainOffsets",
        "-------Correct Vertical (>=100) Alignment StitchArea 0",
        "CScanner::CanPaperBeLoaded() PS = 0x11",
    });
}

TEST_F(CScannerLog, PaperWaitLines)
{
    Open(kFast + "[Faults]\nPaperJam=1\n");
    m_Scanner.LoadPaper(true);
    m_Scanner.G5_PaperReady(1, false);
    m_Scanner.CloseScanner(true);
    Open(kFast + "[Paper]\nInitial=none\n");
    m_Scanner.m_bPaperRemoved = true;
    m_Scanner.G5_PaperReady(5, false);
    ExpectLines({"CScanner::G5_PaperReady timeout", "CScanner::G5_PaperReady no paper"});
}

TEST_F(CScannerLog, RefusedInquiryPageIsAskedOnce)
{
    Open(kFast);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_Scanner.m_InquiryPages.GetUInt8(0xC7, 0, 5), 5);
    const std::string szLog = Log();
    const std::string szLine = "CInquiryPages::Page 0xC7: read failed";
    const size_t iFirst = szLog.find(szLine);
    ASSERT_NE(iFirst, std::string::npos) << szLog;
    EXPECT_EQ(szLog.find(szLine, iFirst + 1), std::string::npos) << szLog;
}

TEST_F(CScannerLog, RestoreRestartsUntilTheCalibrationIsInUse)
{
    // Status byte 38 stays 0 until the written calibration took; some units
    // need a second restart for it.
    struct {
        const char* m_szReboots;
        size_t m_iRestarts;
    } const kCases[] = {{"1", 1}, {"2", 2}};
    auto restarts = [&] {
        const std::string szLog = Log();
        size_t n = 0;
        for (size_t i = szLog.find("CDiagnostics::ColdReboot"); i != std::string::npos;
             i = szLog.find("CDiagnostics::ColdReboot", i + 1))
            ++n;
        return n;
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szReboots);
        const size_t iBefore = restarts();
        Open(kFast + "[Model]\nType=18\n[Faults]\nRebootsToApply=" + c.m_szReboots + "\n");
        const std::string szFile = m_LogDir.File("calibration.bin");
        ASSERT_EQ(m_Scanner.BackupCalibration(szFile), 0);
        ASSERT_EQ(m_Scanner.ReserveScanner(true), 0);
        ASSERT_EQ(m_Scanner.RestoreCalibration(szFile), 0);
        EXPECT_EQ(restarts() - iBefore, c.m_iRestarts);
        EXPECT_TRUE(CScanner::IsUnitReserved()) << "reserved again after the restart";
        m_Scanner.ReleaseScanner(false);
        m_Scanner.CloseScanner(true);
    }
}

} // namespace
