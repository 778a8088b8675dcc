// Every long scanner operation against every injected fault of the simulated
// device: each must end (never hanging: ctest's timeout catches that) in the fault's own
// error when it met the fault and in success otherwise, with the unit
// released and the cancel request settled.
// The second test does the same through lumora-cli and looks at the result
// files: a failed scan leaves no picture and no temporary behind.
#include <filesystem>
#include <functional>
#include <thread>

#include "ScanFixture.h"
#include "imaging/Picture.h"
#include "scanner/ContScan.h"
#include "scanner/Scan.h"
#include "scanner/zel_scan_2000.h"

namespace {

// A software scanner skips the settle waits; Type 18 restarts after a restore.
const std::string kDevice = kFast + "[Model]\nSoftwareScanner=1\nType=18\n[Paper]\nRebootMs=20000\n";

struct COperation {
    const char* m_szName;
    std::function<int32_t(CScanner&, const std::string& szBackup)> m_Run;
};

int32_t ScanRegion(CScanner& s, double dLength)
{
    CPicture pic;
    CScan scan(&s, &pic);
    CScanRequest r;
    r.m_dWidth = 2;
    r.m_dLength = dLength;
    r.m_iResolution = 100;
    r.m_iColorMode = 2;
    return scan.Scan(r);
}

const COperation kOperations[] = {
    {"paper load", [](CScanner& s, const std::string&) { return s.LoadPaper(false); }},
    {"move", [](CScanner& s, const std::string&) {
         const int32_t r = s.LoadPaper(false);
         return r != 0 ? r : s.MovePaperBy(600);
     }},
    {"scan", [](CScanner& s, const std::string&) {
         const int32_t r = s.LoadPaper(false);
         return r != 0 ? r : ScanRegion(s, 1);
     }},
    {"continuous scan", [](CScanner& s, const std::string&) {
         int32_t r = s.LoadPaper(false);
         if (r != 0)
             return r;
         CContScan scan(&s);
         r = scan.StartContinuousScan(2);
         for (int i = 0; i < 4 && r == 0; ++i)
             r = scan.ReadBuffer();
         const int32_t iStop = scan.StopScan();
         return r != 0 ? r : iStop;
     }},
    {"restore with restart", [](CScanner& s, const std::string& szBackup) {
         const int32_t r = s.ReserveScanner(true);
         if (r != 0)
             return r;
         const int32_t iRestore = s.RestoreCalibration(szBackup);
         s.ReleaseScanner(true);
         return iRestore;
     }},
    {"drive commands", [](CScanner& s, const std::string&) {
         int32_t r = s.MoveCameraMotor(0, 20.0);
         if (r == 0)
             r = s.HomeCameraMotor(1);
         return r;
     }},
};

// Each fault has the one error an operation that meets it must end with: the
// library's own code for a lost connection, the sense code of an injected
// check condition (the scanner layer turns check conditions into their sense
// codes), "User cancelled." for a cancel request. The pattern tells, per
// operation in the order of kOperations, whether it must meet the fault
// ('E'), must not ('0'), or may, depending on how many calls it makes ('?').
struct CFault {
    const char* m_szName;
    std::string m_szIni;
    int32_t m_iError;
    const char* m_szPattern;
    int32_t m_iCancelAfterMs = -1; // -1: no cancel; 0: requested before the operation starts
};

const int32_t kCancelled = ScannerProgramError(ERR_USER_CANCELLED);

// A stall, short status blocks and a library that over-reports its bytes are
// ridden out: the operations wait, read again and count only what fits.
// The paper calls meet neither a restore nor the camera motors; a cancel
// request ends the restart wait after a restore, whose result stays 0.
const CFault kFaults[] = {
    {"no fault", "", 0, "000000"},
    {"lost connection after 5 calls", "LoseConnectionAfter=5\n", ZEL_ERR_CONNECTION_LOST, "EEEEEE"},
    {"lost connection after 12 calls", "LoseConnectionAfter=12\n", ZEL_ERR_CONNECTION_LOST, "??EE??"},
    {"lost connection after 20 calls", "LoseConnectionAfter=20\n", ZEL_ERR_CONNECTION_LOST, "??EE??"},
    {"check condition on paper calls", "CheckCondition.scanObjectPosition=0x3B0E\n", 0x3B0E, "EEEE00"},
    {"check condition on reads", "CheckCondition.scanRead=0x4700\n", 0x4700, "EEEEEE"},
    {"check condition on buffer writes", "CheckCondition.scanWriteBuffer=0x2400\n", 0x2400, "0000E0"},
    {"check condition on sends", "CheckCondition.scanSend=0x2400\n", 0x2400, "00EEEE"},
    {"check condition on scan", "CheckCondition.scanScan=0x2C00\n", 0x2C00, "00EE00"},
    {"stall", "StallEvery=1\nStallMs=40000\n", 0, "000000"},
    {"short status", "StatusLength=10\n", 0, "000000"},
    {"over-reported bytes", "OverReport=7\n", 0, "000000"},
    // The jam's own timeout (90 s for a load) is left to the access tests with
    // a short one; here the wait it causes is cancelled.
    {"jammed sheet", "PaperJam=1\n", kCancelled, "EEEE00", 200},
    {"cancel before", "", kCancelled, "EEEE00", 0},
    {"cancel during", "", kCancelled, "EEEE00", 30},
    // A late request may find the operation finished.
    {"cancel later", "", kCancelled, "????00", 150},
};

class CFaultMatrix : public CScanFixture {};

TEST_F(CFaultMatrix, EveryOperationEndsCleanlyUnderEveryFault)
{
    // The backup comes from a healthy device; the restore meets the faults.
    const std::string szBackup = m_Dir.File("calibration.bin");
    Open(kDevice);
    ASSERT_EQ(m_Scanner.BackupCalibration(szBackup), 0);
    m_Scanner.CloseScanner(true);
    m_Scanner.CloseLibrary();

    for (const CFault& fault : kFaults) {
        for (const COperation& op : kOperations) {
            SCOPED_TRACE(std::string(op.m_szName) + " / " + fault.m_szName);
            UseScenario(kDevice + "[Faults]\n" + fault.m_szIni);
            CCancel::SetCancelled();
            int32_t iResult = m_Scanner.OpenScanner(0, false);
            if (iResult == 0) {
                std::thread canceller;
                if (fault.m_iCancelAfterMs == 0)
                    CCancel::RequestCancel();
                else if (fault.m_iCancelAfterMs > 0)
                    canceller = std::thread([&] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(fault.m_iCancelAfterMs));
                        CCancel::RequestCancel();
                    });
                iResult = op.m_Run(m_Scanner, szBackup);
                if (canceller.joinable())
                    canceller.join();
            }
            const char cExpect = fault.m_szPattern[&op - kOperations];
            if (cExpect == 'E' || (cExpect == '?' && iResult != 0))
                EXPECT_EQ(iResult, fault.m_iError) << "ends in the fault's own error";
            else
                EXPECT_EQ(iResult, 0);
            EXPECT_FALSE(CScanner::IsUnitReserved()) << "the unit is released";
            if (iResult == kCancelled)
                EXPECT_FALSE(CCancel::IsCancelRequested()) << "the request is acknowledged";
            m_Scanner.CloseScanner(true);
            m_Scanner.CloseLibrary();
        }
    }
    CCancel::SetCancelled();
}

// Through the command line: a scan that fails leaves neither its TIFF nor a
// temporary; one that succeeds leaves exactly its TIFF.
TEST(CFaultMatrixCli, AFailedScanLeavesNoHalfFile)
{
    const struct {
        const char* m_szFaults;
        bool m_bSucceeds;
    } kCases[] = {
        {"", true},
        {"LoseConnectionAfter=15\n", false},
        {"CheckCondition.scanRead=0x4700\n", false},
        {"CheckCondition.scanScan=0x2C00\n", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szFaults);
        CTempDir dir;
        WriteFileBytes(dir.File("scenario.ini"), kDevice + "[Faults]\n" + c.m_szFaults);
        const CRunResult r = RunProgram("/usr/bin/timeout",
                                        {"-s", "KILL", "60", BinPath("lumora-cli"), "scanner", "scan", "-o",
                                         dir.File("out.tif"), "--width", "2", "--length", "1", "--dpi", "100"},
                                        {"LUMORA_SIM_CONFIG=" + dir.File("scenario.ini")});
        EXPECT_NE(r.m_iExit, 137) << "killed by the timeout";
        EXPECT_EQ(r.m_iExit == 0, c.m_bSucceeds) << r.m_szErr;
        size_t iFiles = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            iFiles += e.path().filename() != "scenario.ini";
        EXPECT_EQ(iFiles, c.m_bSucceeds ? 1u : 0u);
        EXPECT_EQ(std::filesystem::exists(dir.File("out.tif")), c.m_bSucceeds);
    }
}

} // namespace
