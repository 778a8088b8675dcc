#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace {
std::string Tool(const char* szName)
{
    for (const char* szDir : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
        if (std::filesystem::exists(std::string(szDir) + szName))
            return std::string(szDir) + szName;
    return std::string();
}
std::string Resource(const char* szName) { return std::string(LUMORA_SOURCE_DIR) + "/resources/" + szName; }
} // namespace

TEST(Resources, DesktopEntryValidatesAndOpensFiles)
{
    const std::string szDesktop = ReadFileBytes(Resource("lumora.desktop"));
    EXPECT_NE(szDesktop.find("\nExec=lumora %f\n"), std::string::npos);
    EXPECT_NE(szDesktop.find("\nMimeType=application/x-lumora-con;\n"), std::string::npos);
    const std::string szTool = Tool("desktop-file-validate");
    if (szTool.empty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const CRunResult r = RunProgram(szTool, {Resource("lumora.desktop")});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szOut << r.m_szErr;
    EXPECT_EQ(r.m_szOut + r.m_szErr, "");
}

// The sections of the magic are checked against the kind records by the UI tests.
TEST(Resources, MimeTypeInstallsAndKnowsTheResultFiles)
{
    const std::string szXml = ReadFileBytes(Resource("lumora-con.xml"));
    // Result files saved by the test dialogs carry their own extensions.
    for (const char* szGlob : {"*.con", "*.t32", "*.acc", "*.t33", "*.vcv"})
        EXPECT_NE(szXml.find(std::string("<glob pattern=\"") + szGlob + "\"/>"), std::string::npos) << szGlob;
    const std::string szTool = Tool("update-mime-database");
    if (szTool.empty())
        GTEST_SKIP() << "update-mime-database is not installed";
    CTempDir dir;
    std::filesystem::create_directories(dir.File("mime/packages"));
    std::filesystem::copy_file(Resource("lumora-con.xml"), dir.File("mime/packages/lumora-con.xml"));
    const CRunResult r = RunProgram(szTool, {dir.File("mime")}, {"XDG_DATA_HOME=" + dir.Path()});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szErr, "");
    EXPECT_NE(ReadFileBytes(dir.File("mime/magic")).find("[Light Profile]"), std::string::npos);
}

TEST(Resources, MetainfoValidates)
{
    const std::string szMetainfo = Resource("lumora.metainfo.xml");
    EXPECT_NE(ReadFileBytes(szMetainfo).find("<launchable type=\"desktop-id\">lumora.desktop</launchable>"),
              std::string::npos);
    const std::string szTool = Tool("appstreamcli");
    if (szTool.empty())
        GTEST_SKIP() << "appstreamcli is not installed";
    const CRunResult r = RunProgram(szTool, {"validate", "--no-net", "--pedantic", szMetainfo});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szOut << r.m_szErr;
}

TEST(Resources, ManPagesFormatCleanlyAndCoverEveryCommand)
{
    const std::string szMan = std::string(LUMORA_BIN_DIR) + "/../man/";
    const std::string szCli = ReadFileBytes(szMan + "lumora-cli.1");
    for (const char* szCommand : {"info", "render", "unpack", "samples", "convert", "scanner"})
        EXPECT_NE(szCli.find(std::string(".SS \"lumora-cli ") + szCommand + "\""), std::string::npos) << szCommand;
    EXPECT_NE(ReadFileBytes(szMan + "lumora.1").find("--screenshot OUT.png"), std::string::npos);
    const std::string szTool = Tool("groff");
    if (szTool.empty())
        GTEST_SKIP() << "groff is not installed";
    for (const char* szPage : {"lumora.1", "lumora-cli.1"}) {
        const CRunResult r = RunProgram(szTool, {"-man", "-Tutf8", "-ww", "-z", szMan + szPage});
        EXPECT_EQ(r.m_iExit, 0) << szPage << r.m_szErr;
        EXPECT_EQ(r.m_szErr, "") << szPage;
    }
}
