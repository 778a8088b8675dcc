#include <filesystem>

#include "SimFixture.h"
#include "platform/Json.h"
#include "support/ChildProcess.h"

namespace {

CRunResult RunScanner(const std::vector<std::string>& args, const std::string& szScenario = std::string(),
                      std::vector<std::string> env = {})
{
    std::vector<std::string> all = {"scanner"};
    all.insert(all.end(), args.begin(), args.end());
    // Never the technician's own simulated device, unless a test asks for a state file.
    env.insert(env.begin(), "LUMORA_SIM_STATE=none");
    env.push_back("LUMORA_SIM_CONFIG=" + szScenario);
    return RunProgram(BinPath("lumora-cli"), all, env);
}

class CScannerCli : public ::testing::Test {
protected:
    std::string Scenario(const std::string& szIni)
    {
        const std::string szPath = m_Dir.File("scenario.ini");
        WriteFileBytes(szPath, szIni);
        return szPath;
    }
    CTempDir m_Dir;
};

TEST_F(CScannerCli, ListAndInfoAsJson)
{
    const std::string szScenario = Scenario(kFast + "Handles=2,9\nNames=One|Two\nConnections=3,1\n");
    CRunResult r = RunScanner({"list", "--json"}, szScenario);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"handle\": 9"), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("\"connection\": \"ETHERNET\""), std::string::npos);
    r = RunScanner({"list"}, szScenario);
    EXPECT_EQ(r.m_szOut, "2\tOne ( ETHERNET )\n9\tTwo ( USB )\n");

    r = RunScanner({"--handle", "9", "info", "--json"}, szScenario);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    for (const char* szKey : {"\"name\": \"Two\"", "\"type\"", "\"color\": true", "\"camera_count\": 4",
                              "\"optical_resolution\": 600", "\"cis_modes\"", "\"paper_state\": \"ZEL_PS_INSERTED\"",
                              "\"stitch_values\"", "\"stitch_positions\"", "\"cis_alignment\"", "\"gain_offset\""})
        EXPECT_NE(r.m_szOut.find(szKey), std::string::npos) << szKey << "\n" << r.m_szOut;
}

TEST_F(CScannerCli, PaperAndStitchReportWhatHappened)
{
    const std::string szScenario = Scenario(kFast);
    CRunResult r = RunScanner({"paper", "load", "--json"}, szScenario);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"paper_state\": \"ZEL_PS_READY\""), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("\"position\": 0"), std::string::npos);

    r = RunScanner({"paper", "eject"}, Scenario(kFast + "[Paper]\nInitial=none\n"));
    EXPECT_EQ(r.m_iExit, 0);
    EXPECT_EQ(r.m_szOut, "ZEL_PS_NOT_PRESENT, position 0\n");
    EXPECT_NE(r.m_szErr.find("no sheet to eject"), std::string::npos) << r.m_szErr;

    r = RunScanner({"stitch", "set", "--", "-45", "3", "12"}, Scenario(kFast));
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut, "written: -30 3 12\nresult: -100 (values clamped to the scanner's range)\n");
    r = RunScanner({"stitch", "set", "1"}, szScenario);
    EXPECT_EQ(r.m_iExit, 64);

    r = RunScanner({"cis-alignment", "set", "10", "10", "--json"}, szScenario);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("20,\n    20"), std::string::npos) << r.m_szOut;
}

TEST_F(CScannerCli, CheckConditionWithoutSenseLookupIsAFailure)
{
    // The old library refuses the write with a check condition and cannot say why.
    const CRunResult r = RunProgram(BinPath("lumora-cli"), {"scanner", "cis-alignment", "set", "1"},
                                    {std::string("LUMORA_SCAN_LIBRARY=") + LUMORA_PARTIAL_SCAN_LIBRARY});
    EXPECT_NE(r.m_iExit, 0) << r.m_szOut;
    EXPECT_NE(r.m_szErr.find("cis-alignment set failed"), std::string::npos) << r.m_szErr;
}

TEST_F(CScannerCli, WhichDevicesRememberTheirState)
{
    // The default device behaves like a scanner on the desk; a scenario device
    // starts afresh unless its file names a state file.
    const std::string szState = "LUMORA_SIM_STATE=" + m_Dir.File("desk.state");
    struct {
        const char* m_szWhat;
        std::string m_szScenario;
        std::vector<std::string> m_Env;
        const char* m_szAfter;
    } const kCases[] = {
        {"default device", "", {szState}, "ZEL_PS_READY"},
        {"default device, state off", "", {"LUMORA_SIM_STATE=none"}, "ZEL_PS_INSERTED"},
        {"scenario device", Scenario(kFast), {szState}, "ZEL_PS_READY"},
        {"scenario device, no state", Scenario(kFast), {}, "ZEL_PS_INSERTED"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szWhat);
        std::filesystem::remove(m_Dir.File("desk.state"));
        ASSERT_EQ(RunScanner({"paper", "load"}, c.m_szScenario, c.m_Env).m_iExit, 0);
        const CRunResult r = RunScanner({"paper", "status"}, c.m_szScenario, c.m_Env);
        EXPECT_EQ(r.m_szOut.rfind(c.m_szAfter, 0), 0u) << r.m_szOut;
    }
    // A scenario's own state file keeps the buffers as well as the paper.
    const std::string szOwn = Scenario(kFast + "StateFile=" + m_Dir.File("own.state") + "\n");
    ASSERT_EQ(RunScanner({"paper", "load"}, szOwn).m_iExit, 0);
    ASSERT_EQ(RunScanner({"stitch", "set", "5", "6", "7"}, szOwn).m_iExit, 0);
    const CRunResult r = RunScanner({"info"}, szOwn);
    EXPECT_NE(r.m_szOut.find("Paper:              ZEL_PS_READY, position 0\n"), std::string::npos) << r.m_szOut;
    EXPECT_NE(r.m_szOut.find("Stitch values:      5 6 7\n"), std::string::npos) << r.m_szOut;
}

TEST_F(CScannerCli, FaultsGiveClearMessages)
{
    CRunResult r = RunScanner({"paper", "load"}, Scenario(kFast + "[Faults]\nLidOpen=1\n"));
    EXPECT_EQ(r.m_iExit, 1);
    EXPECT_NE(r.m_szErr.find("ZEL_PS_LID_OPEN"), std::string::npos) << r.m_szErr;
    r = RunScanner({"info"}, m_Dir.File("no-such-scenario.ini"));
    EXPECT_EQ(r.m_iExit, 1);
    EXPECT_NE(r.m_szErr.find("LUMORA_SIM_CONFIG"), std::string::npos) << r.m_szErr;
    r = RunScanner({"--handle", "4", "info"}, Scenario(kFast));
    EXPECT_NE(r.m_szErr.find("no scanner with that handle"), std::string::npos) << r.m_szErr;
    r = RunScanner({"info"}, Scenario(kFast + "[Faults]\nLoseConnectionAfter=6\n"));
    EXPECT_EQ(r.m_iExit, 1);
    EXPECT_NE(r.m_szErr.find("connection to the scanner lost"), std::string::npos) << r.m_szErr;
    r = RunScanner({"info"}, Scenario(kFast + "[Faults]\nSelfTestOnOpen=1\n"));
    EXPECT_EQ(r.m_iExit, 1);
    EXPECT_NE(r.m_szErr.find("Scanner is in selftest mode."), std::string::npos) << r.m_szErr;
}

TEST_F(CScannerCli, BackupAndRestoreFiles)
{
    const std::string szScenario = Scenario(kFast);
    const std::string szFile = m_Dir.File("cal.bak");
    CRunResult r = RunScanner({"backup", szFile}, szScenario);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    r = RunScanner({"restore", szFile}, szScenario);
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    // A backup of a two-camera scanner does not go into a four-camera one.
    const std::string szOther = m_Dir.File("other.bak");
    ASSERT_EQ(RunScanner({"backup", szOther}, Scenario(kFast + "[Model]\nCameras=2\n")).m_iExit, 0);
    WriteFileBytes(m_Dir.File("garbage.bak"), "[Light Profile]\n");
    struct {
        std::string m_szFile;
        int m_iExit;
        const char* m_szWhy;
    } const kBad[] = {
        {m_Dir.File("garbage.bak"), 65, "not a calibration backup"},
        {szOther, 65, "saved from a scanner with 2 cameras, this one has 4"},
        {m_Dir.File("missing.bak"), 66, "No such file"},
    };
    for (const auto& c : kBad) {
        SCOPED_TRACE(c.m_szFile);
        r = RunScanner({"restore", c.m_szFile}, Scenario(kFast));
        EXPECT_EQ(r.m_iExit, c.m_iExit);
        EXPECT_NE(r.m_szErr.find(c.m_szFile + ": "), std::string::npos) << r.m_szErr;
        EXPECT_NE(r.m_szErr.find(c.m_szWhy), std::string::npos) << r.m_szErr;
    }
}

TEST_F(CScannerCli, MissingLibraryAndMissingEntries)
{
    // A copy of the tool in a folder without the library, and no library on the path.
    const std::string szCli = m_Dir.File("lumora-cli");
    std::filesystem::copy_file(BinPath("lumora-cli"), szCli);
    std::filesystem::permissions(szCli, std::filesystem::perms::owner_all);
    CRunResult r = RunProgram(szCli, {"scanner", "list"}, {"LUMORA_SCAN_LIBRARY=" + m_Dir.File("nothing.so")});
    EXPECT_EQ(r.m_iExit, 66);
    EXPECT_NE(r.m_szErr.find("cannot load the scanner library libzel_scan_2000.so"), std::string::npos)
        << r.m_szErr;

    r = RunProgram(BinPath("lumora-cli"), {"scanner", "info", "--json"},
                   {std::string("LUMORA_SCAN_LIBRARY=") + LUMORA_PARTIAL_SCAN_LIBRARY});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szErr.find("lacks scanApplyDataProcessing"), std::string::npos) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"name\": \"Old Library Scanner\""), std::string::npos) << r.m_szOut;
}

TEST_F(CScannerCli, CtrlCEndsAWaitWithUserCancelled)
{
    // A jammed sheet never gets ready: only the interrupt ends the wait.
    const std::string szScenario = Scenario(kFast + "[Faults]\nPaperJam=1\n");
    // Interrupt only once the tool is waiting for the sheet (its log says so).
    const CInterruptedRun run =
        InterruptCliWhenLogged({"scanner", "paper", "load"}, {"LUMORA_SIM_CONFIG=" + szScenario}, m_Dir.Path(),
                               "CScanner::OpenScanner - scanOpenScanner. m_ErrorNo 0", std::chrono::milliseconds(200));
    ASSERT_TRUE(run.m_bEnded) << "the wait did not end on SIGINT";
    EXPECT_EQ(run.m_iExit, 130); // the wait ended in order, the exit code tells why
    EXPECT_EQ(run.m_szErr, "User cancelled.\n");
}

} // namespace
