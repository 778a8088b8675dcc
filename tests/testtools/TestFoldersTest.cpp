#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "datafiles/Settings.h"
#include "support/TestSupport.h"
#include "testtools/TestFolders.h"

namespace {
// A station whose settings live under root/Fct_Test/ and whose program
// directory is empty; restores the environment afterwards.
class CStation {
public:
    CStation() : m_Roots("LUMORA_SETTINGS_ROOTS", m_Dir.File("root").c_str())
    {
        std::filesystem::create_directories(m_Dir.File("program"));
        std::filesystem::create_directories(m_Dir.File("root/Fct_Test"));
        SetProgramDirectoryOverride(m_Dir.File("program") + "/");
        ResetSettingsCache();
    }
    ~CStation()
    {
        SetProgramDirectoryOverride("");
        ResetSettingsCache();
    }
    std::string Folder(const std::string& sz) const
    {
        std::filesystem::create_directories(m_Dir.File(sz));
        return m_Dir.File(sz) + "/";
    }
    void Settings(const std::string& szFixPath, const std::string& szLastPath) const
    {
        WriteFileBytes(m_Dir.File("root/Fct_Test/Probex6_FixPath.txt"), szFixPath);
        if (!szLastPath.empty()) WriteFileBytes(m_Dir.File("root/Fct_Test/Probex6_Path.txt"), szLastPath);
    }

private:
    CTempDir m_Dir;
    CScopedEnv m_Roots;
};
} // namespace

TEST(TestFolders, ResultsFolderFollowsTheStationSettings)
{
    const std::string szCwd = std::filesystem::current_path().string() + "/";
    struct Case { const char* use; bool bFixedExists; bool bLastExists; const char* expect; } cases[] = {
        {nullptr, false, false, "cwd"},  // no fix-path file at all
        {"ON", true, true, "fixed"},     // the fixed path wins when in use
        {"OFF", true, true, "last"},     // otherwise the folder last used
        {"OFF", true, false, "fixed"},   // no last folder: the fixed path still names the results
        {"ON", false, false, "cwd"},     // a Windows path from another station does not exist here
    };
    for (const Case& c : cases) {
        CStation st;
        const std::string szFixed = c.bFixedExists ? st.Folder("results") : std::string("c:\\temp\\");
        const std::string szLast = c.bLastExists ? st.Folder("last") : std::string();
        if (c.use) st.Settings(std::string("Use Fixed Path=") + c.use + "\nFixed Path=" + szFixed + "\n", szLast);
        const std::string szExpect = std::string(c.expect) == "cwd" ? szCwd : (std::string(c.expect) == "fixed" ? szFixed : szLast);
        EXPECT_EQ(TestResultsFolder(), szExpect) << c.expect;
    }
}

TEST(TestFolders, DataFolderTakesTheTestsSubFolderOnlyWhenItExists)
{
    CStation st;
    const std::string szFixed = st.Folder("results");
    st.Settings("Use Fixed Path=ON\nFixed Path=" + szFixed + "\n", "");
    EXPECT_EQ(TestDataFolder("StarTest"), szFixed);
    const std::string szStar = st.Folder("results/StarTest");
    EXPECT_EQ(TestDataFolder("StarTest"), szStar);
    EXPECT_EQ(TestDataFolder("Tonal Resolution"), szFixed);
}
