#include <gtest/gtest.h>

#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "support/TestSupport.h"
#include "viewers/RecentFiles.h"

// Render draws the dialog that finally shows a file: a file the light profile
// viewer passes on is drawn as the viewer it goes to.
TEST(ShownViewer, FilesTheLightProfileViewerPassesOnAreShownByTheirOwnViewer)
{
    RegisterAllKinds();
    const struct {
        const char* m_szFile;
        const char* m_szShownBy;
    } kCases[] = {
        {"g3-light-profile.con", "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {"camera-adjustment-check.con", "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {"noise-headerless.con", "CNCTest_Dialog"},
        {"light-profile-mono.con", "CView_LPF_Dialog"},
        {"light-profile-headerless.con", "CView_LPF_Dialog"},
        {"noise-test-color.con", "CNoiseTest_SM_Dialog"},
        {"stitch-test.con", "CView_Stitch_Dialog"},
    };
    for (const auto& c : kCases) {
        CFileDescription desc;
        DescribeFile(SampleFile(c.m_szFile), "", desc);
        EXPECT_EQ(ViewerShowing(desc), c.m_szShownBy) << c.m_szFile;
    }
}

TEST(RecentFiles, MergesIntoTheSharedListKeepingOtherEntries)
{
    CRecentFileEntry e{"/data/a b.con", "application/x-lumora-con", "Lumora 6", "'lumora' %u", "2026-12-07T06:00:00Z"};
    std::string szFirst, szSecond, szOther;
    ASSERT_TRUE(MergeRecentFile("", e, szFirst));
    EXPECT_NE(szFirst.find("href=\"file:///data/a%20b.con\""), std::string::npos);
    e.m_szNow = "2026-12-07T07:00:00Z";
    ASSERT_TRUE(MergeRecentFile(szFirst, e, szSecond));
    EXPECT_NE(szSecond.find("count=\"2\""), std::string::npos) << szSecond;
    EXPECT_EQ(szSecond.find("06:00:00Z\" visited"), std::string::npos);
    CRecentFileEntry other = e;
    other.m_szFile = "/data/other.con";
    ASSERT_TRUE(MergeRecentFile(szSecond, other, szOther));
    EXPECT_NE(szOther.find("a%20b.con"), std::string::npos);
    EXPECT_NE(szOther.find("other.con"), std::string::npos);
    std::string szUnused;
    EXPECT_FALSE(MergeRecentFile("not xml at all", e, szUnused));
}
