// lumora-cli scanner scan / record / replay as scripts use them: the JSON
// keys, the files written, the exit codes, and Ctrl+C in the middle of a scan.
#include <filesystem>

#include "SimFixture.h"
#include "imaging/Picture.h"
#include "imaging/TifReader.h"
#include "scanner/ScanSpeed.h"
#include "support/ChildProcess.h"

namespace {

class CScanCli : public ::testing::Test {
protected:
    CRunResult Run(const std::vector<std::string>& args, const std::string& szIni = kFast)
    {
        const std::string szScenario = m_Dir.File("scenario.ini");
        WriteFileBytes(szScenario, szIni);
        std::vector<std::string> all = {"scanner"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(BinPath("lumora-cli"), all,
                          {"LUMORA_SIM_STATE=none", "LUMORA_SIM_CONFIG=" + szScenario});
    }
    static bool Has(const std::string& szOut, const std::string& szKey)
    {
        return szOut.find("\"" + szKey + "\":") != std::string::npos;
    }
    CTempDir m_Dir;
};

TEST_F(CScanCli, ScanWritesTheTiffWithItsCameraLayout)
{
    const std::string szTif = m_Dir.File("scan.tif"), szSpeed = m_Dir.File("speed.txt");
    const CRunResult r = Run({"scan", "-o", szTif, "--width", "14", "--length", "0.5", "--dpi", "100", "--mode",
                              "color", "--speed-record", szSpeed, "--json"},
                             kFast + "[Model]\nSoftwareScanner=1\n");
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    for (const char* szKey : {"buffer_bytes", "received_bytes", "width", "height", "cameras", "stalls", "error"})
        EXPECT_TRUE(Has(r.m_szOut, szKey)) << szKey << "\n" << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("\"buffer_bytes\": 231000"), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("\"height\": 50"), std::string::npos);
    CPicture pic;
    ASSERT_EQ(LoadTiffIntoPicture(pic, szTif), 0u);
    EXPECT_EQ(pic.m_PicData, PIC_RGB);
    EXPECT_EQ(pic.m_iWidth, 1400);
    EXPECT_EQ(pic.m_iHeight, 50);
    EXPECT_EQ(pic.NumberOfCameras(), 4);
    EXPECT_EQ(pic.PixelsUpToCamera(7), 1400);
    CScanSpeedRecord record;
    ASSERT_TRUE(record.ReadScanSpeed(szSpeed)) << record.m_szError;
    EXPECT_GT(record.Count(), 0);
    EXPECT_EQ(record.m_iWidth, 1400);
}

TEST_F(CScanCli, RecordThenReplay)
{
    const std::string szBase = m_Dir.File("focus");
    CRunResult r = Run({"record", szBase, "--blocks", "3", "--mode", "color", "--json"});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    for (const char* szKey : {"file", "camera_count", "camera_pixels", "replay_lines", "blocks", "bytes", "noisy"})
        EXPECT_TRUE(Has(r.m_szOut, szKey)) << szKey << "\n" << r.m_szOut;
    EXPECT_TRUE(std::filesystem::exists(szBase + "_OSA.osa"));
    EXPECT_NE(r.m_szOut.find("\"replay_lines\": 3"), std::string::npos) << r.m_szOut;

    r = Run({"replay", szBase, "--blocks", "5", "--mode", "color", "--json"});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"replay_lines\": 3"), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("\"camera_count\": 4"), std::string::npos);

    // Read as gray, the colour recording holds three times the lines.
    r = Run({"replay", szBase, "--json"});
    EXPECT_NE(r.m_szOut.find("\"replay_lines\": 9"), std::string::npos) << r.m_szOut;

    struct {
        std::string szBase;
        int iExit;
        const char* szMessage;
    } const bad[] = {
        {m_Dir.File("none"), 66, "no recording"},
        {m_Dir.File("cut"), 65, "before its \"Camera H\" line"},
    };
    WriteFileBytes(m_Dir.File("cut_OSA-2.osa"), "CameraCount 1\nCamera A 4\n");
    for (const auto& b : bad) {
        r = Run({"replay", b.szBase});
        EXPECT_EQ(r.m_iExit, b.iExit) << b.szBase;
        EXPECT_NE(r.m_szErr.find(b.szMessage), std::string::npos) << r.m_szErr;
    }
}

TEST_F(CScanCli, CtrlCEndsAScanCleanly)
{
    const std::string szScenario = m_Dir.File("scenario.ini"), szTif = m_Dir.File("never.tif");
    WriteFileBytes(szScenario, kFast + "[Model]\nSoftwareScanner=1\n[Faults]\nSlowReadMs=20\n");
    // Interrupt once image data is arriving.
    const CInterruptedRun run = InterruptCliWhenLogged({"scanner", "scan", "-o", szTif, "--length", "20"},
                                                       {"LUMORA_SIM_CONFIG=" + szScenario}, m_Dir.Path(),
                                                       "CScan::Scan_Do received");
    ASSERT_TRUE(run.m_bEnded) << "the scan did not end on SIGINT";
    EXPECT_EQ(run.m_iExit, 130); // an interrupt ends every command with 130
    EXPECT_EQ(run.m_szErr, "User cancelled.\n");
    EXPECT_FALSE(std::filesystem::exists(szTif)) << "nothing half-scanned is left behind";
}

} // namespace
