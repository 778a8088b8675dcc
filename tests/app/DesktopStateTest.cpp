#include <gtest/gtest.h>

#include <filesystem>

#include "app/DesktopState.h"
#include "support/TestSupport.h"
#include "viewers/RecentFiles.h"

TEST(RecentList, NewestFirstAtMostTenVanishedDropped)
{
    CTempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back(dir.File("f" + std::to_string(i) + ".con"));
        WriteFileBytes(files.back(), "x");
    }
    const std::string szList = dir.File("config/lumora/recent-files");
    std::string szError;
    for (const std::string& f : files)
        ASSERT_TRUE(AddToRecentList(szList, f, szError)) << szError;
    std::vector<std::string> list = LoadRecentList(szList);
    ASSERT_EQ(list.size(), kRecentListMax);
    EXPECT_EQ(list.front(), files[11]);
    EXPECT_EQ(list.back(), files[2]);

    // Opening a listed file again moves it to the front without a second entry.
    ASSERT_TRUE(AddToRecentList(szList, files[5], szError));
    list = LoadRecentList(szList);
    EXPECT_EQ(list.front(), files[5]);
    EXPECT_EQ(std::count(list.begin(), list.end(), files[5]), 1);

    std::filesystem::remove(files[11]);
    list = LoadRecentList(szList);
    EXPECT_EQ(std::count(list.begin(), list.end(), files[11]), 0);
    EXPECT_EQ(ParseRecentList(ReadFileBytes(szList)), list) << "the vanished file stays out of the stored list";

    // A hand-edited list: relative paths, blank lines and repeats are not entries.
    EXPECT_EQ(ParseRecentList("/a.con\r\nrel.con\n\n/a.con\n/b.con\n"), (std::vector<std::string>{"/a.con", "/b.con"}));
}

TEST(WindowPlaces, KeptPerViewerAndOnlySensibleOnes)
{
    CTempDir dir;
    const std::string szFile = dir.File("cfg/lumora/windows");
    std::string szError;
    ASSERT_TRUE(SaveWindowPlace(szFile, "CView_LPF_Dialog", {10, 20, 800, 600}, szError)) << szError;
    ASSERT_TRUE(SaveWindowPlace(szFile, "CStarTest_Dialog", {-5, 0, 1024, 700}, szError));
    ASSERT_TRUE(SaveWindowPlace(szFile, "CView_LPF_Dialog", {30, 40, 900, 650}, szError));
    CWindowPlace p;
    ASSERT_TRUE(LoadWindowPlace(szFile, "CView_LPF_Dialog", p));
    EXPECT_EQ(p.m_iX, 30);
    EXPECT_EQ(p.m_iWidth, 900);
    ASSERT_TRUE(LoadWindowPlace(szFile, "CStarTest_Dialog", p));
    EXPECT_EQ(p.m_iX, -5);
    EXPECT_FALSE(LoadWindowPlace(szFile, "COscilloscope_Dialog", p));
    EXPECT_EQ(ParseWindowPlaces("A=1,2,3,4\nB=1,2,300,400x\nC=0,0,300,400\n=1,1,100,100\n").size(), 1u);
}

TEST(DropDispatch, DataFilesOpenTheirViewerEverythingElseIsTold)
{
    CTempDir dir;
    std::filesystem::create_directories(dir.File("folder"));
    WriteFileBytes(dir.File("lp.con"), "[Light Profile]\nDataPointer=  40\n\nxxxxxxxxxxxxxxxxxxxx");
    WriteFileBytes(dir.File("star.txt"), "[StarTest]\nVersion=2\n");
    WriteFileBytes(dir.File("notes.txt"), "shopping list\n");
    WriteFileBytes(dir.File("pack.con"), "[Rawdex]\nDataPointer=        55\nRawdex.txt=5\n");
    struct {
        std::string szPath;
        const char* szViewer;
        const char* szSays;
    } cases[] = {
        {dir.File("lp.con"), "CView_LPF_Dialog", ""},
        {dir.File("star.txt"), "CStarTest_Dialog", ""}, // the header counts, not the extension
        {dir.File("folder"), "", "is a folder"},
        {dir.File("notes.txt"), "", "is not a \".con\" data file"},
        {dir.File("gone.con"), "", "cannot be opened"},
        {dir.File("pack.con"), "", "Rawdex"},
    };
    for (const auto& c : cases) {
        const CDropDecision d = DecideDroppedFile(c.szPath);
        EXPECT_EQ(d.m_szViewer, c.szViewer) << c.szPath;
        EXPECT_NE(d.m_szMessage.find(c.szSays), std::string::npos) << d.m_szMessage;
        if (*c.szSays)
            EXPECT_NE(d.m_szMessage.find(c.szPath), std::string::npos) << d.m_szMessage;
    }
}
