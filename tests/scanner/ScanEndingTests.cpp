// How single scans end on devices that behave unlike the default one: a
// scanner that stops by itself, one without a status block, a block size that
// does not split into fifths.
#include "ScanFixture.h"
#include "scanner/Scan.h"

namespace {

class CScanEnding : public CScanFixture {};

TEST_F(CScanEnding, EachDeviceEndsTheScanItsOwnWay)
{
    // 0.25 inch at 200 dpi is 50 bytes a line; a 65536-byte block holds 1310 lines.
    const std::string kBase = kFast + "[Model]\nSoftwareScanner=1\n";
    struct {
        const char* szName;
        std::string szIni;
        double dLength;
        int32_t iHeight;
        const char* szLogged;
        int32_t iVendorValue2; // -1: not looked at
    } const cases[] = {
        // Check condition without a sense code on the third image read: the
        // stop flag, which ends the scan with what came so far.
        {"stop flag", kBase + "BlockSize=65536\n[Faults]\nCheckCondition.scanRead.0=0,1,2\n", 20, 2 * 1310,
         "Stop flag set", -1},
        // Nothing loads the sheet; the scanner draws it in itself, and the line
        // width comes from the data because there is no status to ask. A
        // prime line count leaves 50 as the only width near the window's that
        // divides the chunk.
        {"no status block", kBase + "[Faults]\nNoStatusBlock=1\n", 2.0055, 401, nullptr, -1},
        {"four fifths of the block", kBase + "BlockSize=65537\nDeviceValue=5\n", 2.0055, 401, nullptr, 52429},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szName);
        Open(c.szIni);
        if (m_Scanner.CanPaperBeLoaded())
            m_Scanner.LoadPaper(false);
        CPicture picture;
        CScan scan(&m_Scanner, &picture);
        CScanRequest r;
        r.m_dWidth = 0.25;
        r.m_dLength = c.dLength;
        r.m_iResolution = 200;
        r.m_iColorMode = 2;
        EXPECT_EQ(scan.Scan(r), 0);
        EXPECT_EQ(picture.m_iWidth, 50);
        EXPECT_EQ(picture.m_iHeight, c.iHeight);
        if (c.szLogged)
            EXPECT_TRUE(Logged(c.szLogged));
        if (c.iVendorValue2 >= 0)
            EXPECT_EQ(m_Scanner.m_Window.m_iVendorValue2, c.iVendorValue2);
        m_Scanner.CloseScanner(true);
    }
}

// What a script sees of `lumora-cli scanner scan --json` on those devices: the
// report comes even when the sheet could not be loaded.
TEST(CScanEndingCli, TheReportNamesWhatStoppedTheScan)
{
    struct {
        const char* szFaults;
        int iExit;
        const char* szOut;
        const char* szErr;
    } const cases[] = {
        {"NoStatusBlock=1", 0, "\"height\": 20", ""},
        {"CheckCondition.scanObjectPosition.1=0x3B15", 1, "\"error_text\": \"", "paper load failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szFaults);
        CTempDir dir;
        const std::string szScenario = dir.File("scenario.ini");
        WriteFileBytes(szScenario, kFast + "[Faults]\n" + c.szFaults + "\n");
        const CRunResult r = RunProgram(BinPath("lumora-cli"),
                                        {"scanner", "scan", "-o", dir.File("s.tif"), "--width", "2", "--length", "0.2",
                                         "--dpi", "100", "--json"},
                                        {"LUMORA_SIM_STATE=none", "LUMORA_SIM_CONFIG=" + szScenario});
        EXPECT_EQ(r.m_iExit, c.iExit) << r.m_szErr;
        EXPECT_NE(r.m_szOut.find(c.szOut), std::string::npos) << r.m_szOut;
        EXPECT_NE(r.m_szErr.find(c.szErr), std::string::npos) << r.m_szErr;
    }
}

// The pixel ranges `info` shows are the cameras of the delivered line: the
// last one ends where the line does (4 x 5400 raw pixels by default).
TEST(CScanEndingCli, InfoShowsCameraPixelRangesThatTileTheLine)
{
    const CRunResult r = RunProgram(BinPath("lumora-cli"), {"scanner", "info", "--json"}, {"LUMORA_SIM_STATE=none"});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    const size_t i = r.m_szOut.find("\"camera_pixel_ranges\"");
    ASSERT_NE(i, std::string::npos) << r.m_szOut;
    const std::string szRanges = r.m_szOut.substr(i, 300); // the ranges and no further key
    for (const char* sz : {"5399", "5400", "10799", "10800", "16199", "16200", "21599"})
        EXPECT_NE(szRanges.find(sz), std::string::npos) << sz << " in " << szRanges;
}

} // namespace
