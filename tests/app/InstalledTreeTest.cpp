#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/TestSupport.h"

namespace {
std::set<std::string> Listing(const std::string& szDir)
{
    std::set<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(szDir))
        files.insert(e.path().string());
    return files;
}
} // namespace

// The installed layout, staged with DESTDIR and made read-only: the programs
// find their scanner library and the station's settings outside their own
// folder, and write nothing into the installation (not even as root).
TEST(InstalledTree, RunsFromAReadOnlyPrefix)
{
    CTempDir dir;
    const std::string szDest = dir.File("stage");
    CRunResult r = RunProgram(LUMORA_CMAKE_COMMAND, {"--install", LUMORA_BUILD_DIR, "--prefix", "/opt/lumora"},
                              {"DESTDIR=" + szDest});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szOut << r.m_szErr;
    const std::string szPrefix = szDest + "/opt/lumora/";
    for (const char* szFile : {"bin/lumora", "bin/lumora-cli", "share/man/man1/lumora.1", "share/man/man1/lumora-cli.1",
                               "share/metainfo/lumora.metainfo.xml", "share/applications/lumora.desktop",
                               "share/doc/Lumora/LICENSE", "bin/lumora-thumbnailer",
                               "share/thumbnailers/lumora.thumbnailer"})
        EXPECT_TRUE(std::filesystem::exists(szPrefix + szFile)) << szFile;
    bool bLibrary = false;
    for (const auto& e : std::filesystem::recursive_directory_iterator(szPrefix))
        if (e.path().filename() == "libzel_scan_2000.so") {
            EXPECT_EQ(e.path().parent_path().filename(), "lumora") << e.path();
            bLibrary = true;
        }
    EXPECT_TRUE(bLibrary);
    EXPECT_FALSE(std::filesystem::exists(szPrefix + "bin/libzel_scan_2000.so"));
    EXPECT_FALSE(std::filesystem::exists(szPrefix + "bin/lumora-cli-draw")) << "a helper, not a program of its own";
    // Write permission off (or, at the end, back on) for the whole staged tree.
    const auto writable = [&szDest](std::filesystem::perm_options eHow) {
        const auto perms = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                           std::filesystem::perms::others_write;
        std::filesystem::permissions(szDest, perms, eHow);
        for (const auto& e : std::filesystem::recursive_directory_iterator(szDest))
            if (!e.is_symlink())
                std::filesystem::permissions(e.path(), perms, eHow);
    };
    writable(std::filesystem::perm_options::remove);
    const std::set<std::string> before = Listing(szDest);

    // A test station: its settings in the user's settings root.
    const std::string szConfig = dir.File("config");
    std::filesystem::create_directories(szConfig + "/lumora/Fct_Test");
    WriteFileBytes(szConfig + "/lumora/Fct_Test/Fct_Tst6.ini", "");
    const std::vector<std::string> env = {
        "XDG_CONFIG_HOME=" + szConfig,         "XDG_STATE_HOME=" + dir.File("state"),
        "LUMORA_SETTINGS_ROOTS=" + szConfig + "/lumora", "LUMORA_LOG_DIR=", "LUMORA_SCAN_LIBRARY=",
        "HOME=" + dir.Path(),
    };
    const std::string szCli = szPrefix + "bin/lumora-cli";
    r = RunProgram(szCli, {"scanner", "info", "--json"}, env);
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"name\""), std::string::npos) << r.m_szOut;

    const std::string szPack = "[Rawdex]\nDataPointer=        55\nRawdex.txt=5\nxyz.con=1\n" "notesX";
    WriteFileBytes(dir.File("pack.con"), szPack);
    r = RunProgram(szCli, {"unpack", dir.File("pack.con"), "--into", dir.File("out")}, env);
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(ReadFileBytes(dir.File("out/Rawdex.txt")), "notes") << "the station's settings were not found";

    // render runs in the drawing tool of the private library folder.
    r = RunProgram(szCli, {"samples", dir.File("samples")}, env);
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    const std::string szSample = dir.File("samples/light-profile-mono.con");
    r = RunProgram(szCli, {"render", szSample, "-o", dir.File("view.png")}, env);
    EXPECT_EQ(r.m_iExit, 0) << szSample << ": " << r.m_szErr;
    EXPECT_TRUE(std::filesystem::exists(dir.File("view.png")));

    r = RunProgram(szPrefix + "bin/lumora", {"--screenshot", dir.File("shot.png"), dir.File("out/xyz.con")}, env);
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_TRUE(std::filesystem::exists(dir.File("state/lumora/Lumora.log")));

    EXPECT_EQ(Listing(szDest), before) << "the installation was written to";
    writable(std::filesystem::perm_options::add);
}
