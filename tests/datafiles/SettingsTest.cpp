#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "support/TestSupport.h"
#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Paths.h"

namespace {
// A program directory and two settings roots of its own for each test.
class CSettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Prog());
        std::filesystem::create_directories(Root(1) + "Fct_Test");
        std::filesystem::create_directories(Root(2) + "Fct_Test");
        SetProgramDirectoryOverride(Prog());
        const std::string szRoots = Root(1) + ":" + Root(2);
        ::setenv("LUMORA_SETTINGS_ROOTS", szRoots.c_str(), 1);
        ::unsetenv("LUMORA_PRODUCT_INFO");
        ResetSettingsCache();
    }
    void TearDown() override
    {
        SetProgramDirectoryOverride("");
        ResetSettingsCache();
    }
    std::string Prog() const { return m_Dir.Path() + "/prog/"; }
    std::string Root(int i) const { return m_Dir.Path() + "/root" + std::to_string(i) + "/"; }

    CTempDir m_Dir;
};
} // namespace

TEST_F(CSettingsFixture, AliasChainsAreFollowedAndLoopsEndWithTheDefault)
{
    WriteFileBytes(Prog() + "Fct_tst6.ini",
                   "[0x12]\nALIAS=Base\n[Base]\nALIAS=Deep\n[Deep]\nNoiseTest=7\n"
                   "[LoopA]\nALIAS=LoopB\n[LoopB]\nALIAS=LoopA\nOther=1\n[Self]\nALIAS=self\n");
    struct { const char* section; const char* key; const char* expected; bool found; } cases[] = {
        {"0x12", "NoiseTest", "7", true},
        {"Deep", "NoiseTest", "7", true},
        {"LoopA", "NoiseTest", "dflt", false},
        {"LoopA", "Other", "dflt", false},
        {"Self", "NoiseTest", "dflt", false},
        {"Missing", "NoiseTest", "dflt", false},
    };
    for (const auto& c : cases) {
        std::string szOut;
        EXPECT_EQ(GetSharedSetting(c.section, c.key, "dflt", szOut), c.found) << c.section;
        EXPECT_EQ(szOut, c.expected) << c.section;
    }
}

TEST_F(CSettingsFixture, SharedSettingFallsBackOverTheRootsAndHandsTheRootBack)
{
    WriteFileBytes(Prog() + "Fct_tst6.ini", "[A]\nx=1\n");
    WriteFileBytes(Root(2) + "Fct_tst6.ini", "[A]\nNoiseTest=9\n");
    std::string szOut, szDir;
    EXPECT_TRUE(GetSharedSetting("A", "NoiseTest", "0", szOut, &szDir));
    EXPECT_EQ(szOut, "9");
    EXPECT_EQ(szDir, Root(2));
    // A folder given by the caller is read alone, without the fallback.
    szDir = Prog();
    EXPECT_FALSE(GetSharedSetting("A", "NoiseTest", "0", szOut, &szDir));
    EXPECT_EQ(szOut, "0");
    EXPECT_EQ(szDir, Prog());
    // The tool's own file is found in a root too; the program directory's wins.
    WriteFileBytes(Root(1) + "Probx6.ini", "[Miscellaneous]\nUnit=mm\n");
    EXPECT_TRUE(GetToolSetting("Miscellaneous", "Unit", "Inch", szOut));
    EXPECT_EQ(szOut, "mm");
    WriteFileBytes(Prog() + "Probx6.ini", "[Miscellaneous]\nUnit=cm\n");
    EXPECT_TRUE(GetToolSetting("Miscellaneous", "Unit", "Inch", szOut));
    EXPECT_EQ(szOut, "cm");
}

TEST_F(CSettingsFixture, SiblingToolFilesAreFoundOutsideTheProgramFolder)
{
    // An installed program's folder is /usr/bin: the station's files live in the roots.
    struct { std::string where; bool station; std::string unit; } cases[] = {
        {"", false, "Inch"},
        {Root(2) + "Fct_Test/", true, "mm"},
        {Root(1), true, "mm"},
        {Prog(), true, "mm"},
    };
    for (const auto& c : cases) {
        for (const std::string& szFolder : {Prog(), Root(1), Root(2) + "Fct_Test/"}) {
            std::filesystem::remove(szFolder + "fct_TST6.INI");
            std::filesystem::remove(szFolder + "Probx6.ini");
        }
        if (!c.where.empty()) {
            WriteFileBytes(c.where + "fct_TST6.INI", "");
            WriteFileBytes(c.where + "Probx6.ini", "[Miscellaneous]\nUnit=mm\n");
        }
        EXPECT_EQ(IsTestStation(), c.station) << c.where;
        std::string szOut;
        GetToolSetting("Miscellaneous", "Unit", "Inch", szOut);
        EXPECT_EQ(szOut, c.unit) << c.where;
    }
}

TEST_F(CSettingsFixture, AnInstalledProgramWritesNothingIntoItsFolder)
{
    std::filesystem::create_directories(PrivateLibraryFolder(Prog()));
    {
        const CScopedEnv noLogDir("LUMORA_LOG_DIR", nullptr), state("XDG_STATE_HOME", m_Dir.File("state").c_str());
        log_Init("Lumora", "Lumora.log", Prog());
        Log_Msg("line");
        AppendLastError("trail");
        CFixPathSettings fix;
        fix.m_szFixedPath = "/results/";
        EXPECT_TRUE(WriteFixPathFile(fix));
        log_Close();
    }
    const std::string szState = m_Dir.File("state/lumora/");
    EXPECT_NE(ReadFileBytes(szState + "Lumora.log").find(" line\n"), std::string::npos);
    EXPECT_NE(ReadFileBytes(szState + "LastError.txt").find(" - trail\n"), std::string::npos);
    // A first fix-path file goes where the lookup will find it again.
    EXPECT_TRUE(FileExists(Root(1) + "Fct_Test/Probex6_FixPath.txt"));
    ResetSettingsCache();
    CFixPathSettings back;
    EXPECT_TRUE(ReadFixPathFile(back));
    EXPECT_EQ(back.m_szFixedPath, "/results/");
    for (const auto& e : std::filesystem::directory_iterator(Prog()))
        EXPECT_TRUE(e.is_directory()) << "written into the program folder: " << e.path();
}

TEST_F(CSettingsFixture, EndlessLinesDoNotHangTheLookup)
{
    std::string szHuge = "[Junk]\nx=" + std::string(20u << 20, 'a') + "\n[A]\nKey=5\n";
    WriteFileBytes(Prog() + "Fct_tst6.ini", szHuge);
    std::string szOut;
    EXPECT_TRUE(GetSharedSetting("A", "Key", "0", szOut));
    EXPECT_EQ(szOut, "5");
}

TEST_F(CSettingsFixture, SettingsFolderPrefersTheProgramDirectory)
{
    std::string szFolder;
    EXPECT_FALSE(FindSettingsFolder("Probex6_FixPath.txt", szFolder));
    WriteFileBytes(Root(2) + "Fct_Test/Probex6_FixPath.txt", "Fixed Path=/r2\n");
    EXPECT_TRUE(FindSettingsFolder("Probex6_FixPath.txt", szFolder));
    EXPECT_EQ(szFolder, Root(2) + "Fct_Test/");
    WriteFileBytes(Prog() + "Probex6_FixPath.txt", "Fixed Path=/p\n");
    EXPECT_TRUE(FindSettingsFolder("Probex6_FixPath.txt", szFolder));
    EXPECT_EQ(szFolder, Root(2) + "Fct_Test/"); // remembered for the run
    ResetSettingsCache();
    EXPECT_TRUE(FindSettingsFolder("Probex6_FixPath.txt", szFolder));
    EXPECT_EQ(szFolder, Prog());
}

TEST(FixPath, UseFixedPathAndTheFixedPathTrap)
{
    struct { const char* text; bool use; const char* path; } cases[] = {
        {"Use Fixed Path=ON\n", true, "/tmp/"},
        {"Use Fixed Path=OFF\n", false, "/tmp/"},
        {"Use Fixed Path=TRUE\n", true, "/tmp/"},
        {"Use Fixed Path=on\r\nFixed Path=/data/results\r\n", true, "/data/results/"},
        {"Fixed Path=/x/\nUse Fixed Path=ON\n", true, "/x/"},
        {"Use Fixed Path=/fake\n", false, "/tmp/"}, // not taken as the folder
        {"Fixed Path=/data/results\\\n", false, "/data/results/"}, // a Windows separator is the separator
    };
    for (const auto& c : cases) {
        CFixPathSettings s;
        ParseFixPathText(c.text, s);
        EXPECT_EQ(s.m_bUseFixedPath, c.use) << c.text;
        EXPECT_EQ(s.m_szFixedPath, c.path) << c.text;
    }
    CFixPathSettings s;
    ParseFixPathText("Fixed Path 13Gen=/g13\nFixed Path 3Gen=/g3\nLast Chassis No=CH\t12\x01" "34\n", s);
    EXPECT_EQ(s.m_szGenerationPath[3], "/g3");
    EXPECT_EQ(s.m_szGenerationPath[13], "/g13");
    EXPECT_EQ(s.m_szGenerationPath[4], "");
    EXPECT_EQ(s.m_szLastChassisNo, "CH1234");
}

TEST_F(CSettingsFixture, FixPathFileRoundTripsWithItsExactLines)
{
    CFixPathSettings s;
    s.m_bUseFixedPath = true;
    s.m_szFixedPath = "/results/";
    s.m_szGenerationPath[5] = "/gen5";
    s.m_szLastChassisNo = "CH123456";
    ASSERT_TRUE(WriteFixPathFile(s));
    const std::string szText = ReadFileBytes(Prog() + "Probex6_FixPath.txt");
    EXPECT_EQ(szText.substr(0, 46), "Use Fixed Path=ON\nFixed Path=/results/\nFixed P");
    EXPECT_NE(szText.find("\nFixed Path 5Gen=/gen5\nFixed Path 6Gen=\n"), std::string::npos);
    EXPECT_NE(szText.find("\nFixed Path 20Gen=\nLast Chassis No=CH123456\n"), std::string::npos);
    CFixPathSettings back;
    ASSERT_TRUE(ReadFixPathFile(back));
    EXPECT_EQ(FormatFixPathText(back), szText);

    ASSERT_TRUE(SaveLastPath("/scans/today/"));
    EXPECT_EQ(ReadFileBytes(Prog() + "Probex6_Path.txt"), "/scans/today/");
}

TEST_F(CSettingsFixture, UniqueNamesCountUpBeforeTheExtension)
{
    std::string szName = Prog() + "pic.tif";
    EXPECT_TRUE(MakeUniqueFileName(szName));
    EXPECT_EQ(szName, Prog() + "pic.tif");
    WriteFileBytes(Prog() + "pic.tif", "x");
    WriteFileBytes(Prog() + "pic-1.tif", "x");
    EXPECT_TRUE(MakeUniqueFileName(szName));
    EXPECT_EQ(szName, Prog() + "pic-2.tif");
    for (int n = 1; n <= 999; ++n)
        WriteFileBytes(Prog() + "full-" + std::to_string(n) + ".con", "");
    WriteFileBytes(Prog() + "full.con", "");
    szName = Prog() + "full.con";
    EXPECT_FALSE(MakeUniqueFileName(szName));
}

TEST_F(CSettingsFixture, ProductInfoComesFromTheFirstRootOrTheVariable)
{
    CProductInfo none = ReadProductInfo();
    EXPECT_EQ(std::tie(none.m_bOemFound, none.m_bNameFound), std::make_tuple(false, false));
    EXPECT_EQ(none.m_Version.Get("ProductName"), "Lumora 6");

    WriteFileBytes(Root(2) + "productinfo.ini", "[ProductInfo]\nName=Driver\nOem=2\nPath=\n");
    CProductInfo info = ReadProductInfo();
    EXPECT_EQ(std::tie(info.m_szName, info.m_iOem), std::make_tuple("Driver", 2));
    // Path= is present but empty.
    EXPECT_EQ(std::tie(info.m_bNameFound, info.m_bOemFound, info.m_bPathFound, info.m_bVersionFound),
              std::make_tuple(true, true, false, false));

    WriteFileBytes(m_Dir.File("elsewhere.ini"), "[ProductInfo]\nOem=5\n");
    const CScopedEnv product("LUMORA_PRODUCT_INFO", m_Dir.File("elsewhere.ini").c_str());
    EXPECT_EQ(ReadProductInfo().m_iOem, 5);
}

TEST_F(CSettingsFixture, LastErrorLinesAreAppended)
{
    EXPECT_EQ(FormatLastErrorLine(6, 12, 2026, 3, 4, 5, "Boom"), "6/12-2026 03:04:05 - Boom");
    AppendLastError("one");
    AppendLastError("two");
    const std::string szText = ReadFileBytes(Prog() + "LastError.txt");
    EXPECT_NE(szText.find(" - one\n"), std::string::npos);
    EXPECT_EQ(szText.substr(szText.size() - 7), " - two\n");

    // A program folder that takes no files: the line goes beside the log.
    {
        const CScopedEnv logDir("LUMORA_LOG_DIR", (m_Dir.Path() + "/logs").c_str());
        log_Init("Lumora", "Lumora.log", Prog());
        SetProgramDirectoryOverride(m_Dir.Path() + "/no-such-folder");
        AppendLastError("three");
        const std::string szBesideLog = ReadFileBytes(m_Dir.Path() + "/logs/LastError.txt");
        const size_t iDash = szBesideLog.find(" - ");
        EXPECT_TRUE(iDash != std::string::npos && szBesideLog.substr(iDash) == " - three\n") << szBesideLog;
    }
    log_Init("Lumora", "Lumora.log", Prog());
}

TEST(Settings, RootsComeFromTheVariableInOrder)
{
    {
        const CScopedEnv roots("LUMORA_SETTINGS_ROOTS", "/a::/b/");
        EXPECT_EQ(SettingsRoots(), (std::vector<std::string>{"/a/", "/b/"}));
    }
    const CScopedEnv noRoots("LUMORA_SETTINGS_ROOTS", nullptr), config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(SettingsRoots(), (std::vector<std::string>{"/cfg/lumora/", "/etc/lumora/"}));
}

TEST(VersionInfo, OwnRecordAndLookupPaths)
{
    EXPECT_EQ(VersionLookupPath(1033, 1200, "ProductVersion"), "\\StringFileInfo\\040904B0\\ProductVersion");
    EXPECT_EQ(VersionLookupPath(1033, 1252, "FileVersion"), "\\StringFileInfo\\040904E4\\FileVersion");
    CVersionInfo info;
    EXPECT_FALSE(ReadVersionInfo("/usr/lib/libother.so", 1033, 1200, info));
    ASSERT_TRUE(ReadVersionInfo(ProgramExecutablePath(), 1033, 1200, info));
    EXPECT_EQ(info.m_FixedBlock[0], 0xBD); // the fixed block's signature, little-endian
    EXPECT_EQ(info.m_FixedBlock[3], 0xFE);
    EXPECT_FALSE(info.Get("ProductVersion").empty());
    EXPECT_EQ(info.Get("Comments"), "");
    EXPECT_EQ(info.Get("NoSuchName"), "");
    info.Set("Comments", std::string(400, 'c'));
    EXPECT_EQ(info.Get("Comments").size(), 255u);
}

TEST(Settings, ProgramDirectoryIsTheExecutablesFolder)
{
    std::string szDir;
    ASSERT_TRUE(FindProgramDirectory(szDir));
    EXPECT_EQ(szDir.back(), '/');
    EXPECT_EQ(ProgramExecutablePath().substr(0, szDir.size()), szDir);
}
