#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "app/ui/AboutDlg.h"
#include "widgets/ui/Shell.h"
#include "app/ui/UiRegistry.h"
#include "app/ui/ViewerDlg.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "support/DataFileBytes.h"
#include "support/TestSupport.h"
#include "support/ViewerStandIn.h"

namespace {
// Stands in for a real viewer for the length of one test: records how it was
// asked to open and what the launcher looked like meanwhile.
class CFakeViewer {
public:
    explicit CFakeViewer(const std::string& szName)
        : m_StandIn(szName, [this](const CViewerRequest& r) {
              m_Request = r;
              m_iLauncherWidth = r.m_pParent ? r.m_pParent->width() : -1;
              ++m_iRuns;
              return 1;
          })
    {
    }
    CViewerStandIn m_StandIn;
    CViewerRequest m_Request;
    int m_iLauncherWidth = 0;
    int m_iRuns = 0;
};

QPushButton* Button(CViewerDlg& dlg, const char* szId)
{
    return dlg.findChild<QPushButton*>(QString::fromLatin1(szId));
}
} // namespace

TEST(Launcher, EmptyCommandLineShowsButtonsAndStartsNoTimer)
{
    CViewerDlg dlg;
    dlg.show();
    QTest::qWait(150);
    EXPECT_FALSE(dlg.IsLoadTimerActive());
    EXPECT_TRUE(dlg.isVisible());
    Button(dlg, "1000")->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(Launcher, RecognisedFilesOpenTheirViewerAndEndTheLauncher)
{
    CTempDir dir;
    struct { std::string bytes; const char* viewer; bool hidden; bool cleared; } cases[] = {
        {"[Light Profile]\nDataPointer=        39\n", "CView_LPF_Dialog", true, true},
        {"[Stitch Test]\nDataPointer=        37\n", "CView_Stitch_Dialog", true, true},
        {"[Noise Test]\nDataPointer=        36\n", "CNoiseTest_SM_Dialog", false, false},
        {HeaderlessBytes(18), "CView_Stitch_Dialog", true, true},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File("my file.con"), c.bytes);
        CFakeViewer viewer(c.viewer);
        CViewerDlg dlg;
        dlg.SetFileToLoad("\"" + dir.File("my file.con") + "\"");
        dlg.show();
        EXPECT_TRUE(dlg.IsLoadTimerActive());
        QTest::qWait(350);
        ASSERT_EQ(viewer.m_iRuns, 1) << c.viewer;
        EXPECT_EQ(viewer.m_Request.m_szFile, dir.File("my file.con"));
        EXPECT_TRUE(viewer.m_Request.m_bFileGiven);
        EXPECT_EQ(viewer.m_iLauncherWidth <= 1, c.hidden) << c.viewer;
        EXPECT_EQ(dlg.FileToLoad().empty(), c.cleared) << c.viewer;
        EXPECT_FALSE(dlg.isVisible()) << c.viewer;
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
}

TEST(Launcher, UnrecognisedFilesWaitForTheUsersChoice)
{
    CTempDir dir;
    WriteFileBytes(dir.File("old.bin"), HeaderlessBytes(0));
    CFakeViewer lpf("CLPF_Dialog");
    log_Close(); // as at program start: nothing is logging yet
    CViewerDlg dlg;
    dlg.LogStartupLine("Command Line Start");
    dlg.SetFileToLoad(dir.File("old.bin"));
    dlg.show();
    QTest::qWait(300);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.FileToLoad(), dir.File("old.bin"));
    // What the start-up logged before the window existed is in the log, first.
    const std::string szLog = ReadFileBytes(log_FilePath());
    const size_t iStart = szLog.rfind("Command Line Start");
    ASSERT_NE(iStart, std::string::npos);
    const size_t iName = szLog.find("SetFileToLoad(char* txt) Load File Name: " + dir.File("old.bin"), iStart);
    ASSERT_NE(iName, std::string::npos);
    EXPECT_LT(iName, szLog.find("CViewerDlg::Load File Name:", iStart));
    EXPECT_TRUE(dlg.StatusText().contains("No viewer recognises"));
    const QRect before = dlg.geometry();
    Button(dlg, "1001")->click();
    ASSERT_EQ(lpf.m_iRuns, 1);
    EXPECT_EQ(lpf.m_Request.m_szFile, dir.File("old.bin"));
    EXPECT_TRUE(lpf.m_Request.m_bFileGiven);
    EXPECT_LE(lpf.m_iLauncherWidth, 1);
    EXPECT_EQ(dlg.geometry(), before); // restored before it ends
    EXPECT_TRUE(dlg.FileToLoad().empty());
    EXPECT_FALSE(dlg.isVisible());
}

TEST(Launcher, RawdexFilesAreUnpackedThenOpenByTheOemCode)
{
    CTempDir dir;
    WriteFileBytes(dir.File("pack.con"), RawdexBytes({{"first-entry.con", "ONE"}, {"second-entry.txt", "tw"}}));
    const CScopedEnv product("LUMORA_PRODUCT_INFO", dir.File("productinfo.ini").c_str());
    // OEM 2 opens the oscilloscope on the folder; the others the file viewer, with no file.
    for (const auto& [szOem, szViewer] : {std::pair{"2", "COscilloscope_Dialog"}, std::pair{"1", "CView_LPF_Dialog"}}) {
        SCOPED_TRACE(szViewer);
        WriteFileBytes(dir.File("productinfo.ini"), std::string("[ProductInfo]\nOem=") + szOem + "\n");
        CFakeViewer viewer(szViewer);
        CViewerDlg dlg;
        dlg.SetFileToLoad(dir.File("pack.con"));
        dlg.show();
        QTest::qWait(350);
        ASSERT_EQ(viewer.m_iRuns, 1);
        EXPECT_TRUE(viewer.m_Request.m_szFile.empty());
        if (*szOem == '2')
            EXPECT_EQ(viewer.m_Request.m_szDataFolder, dir.Path() + "/");
        else
            EXPECT_FALSE(viewer.m_Request.m_bFileGiven);
        EXPECT_EQ(ReadFileBytes(dir.File("first-entry.con")), "ONE");
        EXPECT_EQ(ReadFileBytes(dir.File("second-entry.txt")), "tw");
    }
}

TEST(Launcher, StitchingButtonWithoutAFile)
{
    CFakeViewer stitch("CView_Stitch_Dialog");
    CViewerDlg dlg;
    dlg.show();
    Button(dlg, "1005")->click();
    ASSERT_EQ(stitch.m_iRuns, 1);
    EXPECT_TRUE(stitch.m_Request.m_szFile.empty());
    EXPECT_FALSE(stitch.m_Request.m_bFileGiven);
}

TEST(Launcher, AMissingViewerIsNamedAndTheLauncherStays)
{
    CTempDir dir;
    WriteFileBytes(dir.File("t.con"), "[Tonal Resolution]\nx=1\n");
    CViewerStandIn none("CTonalResolutionDialog", ViewerRunner());
    CViewerDlg dlg;
    dlg.SetFileToLoad(dir.File("t.con"));
    dlg.show();
    QTest::qWait(300);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.LastViewer(), "CTonalResolutionDialog");
    EXPECT_TRUE(dlg.StatusText().contains("the tonal resolution viewer"));
}

TEST(Launcher, AFileThatCannotBeOpenedKeepsItsName)
{
    CMessageRecorder rec;
    CViewerDlg dlg;
    dlg.SetFileToLoad("/nonexistent/x.con");
    dlg.show();
    QTest::qWait(300);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.FileToLoad(), "/nonexistent/x.con");
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_NE(rec.Texts()[0].find("/nonexistent/x.con"), std::string::npos);
}

TEST(About, ShowsTheProductVersionAsARelease)
{
    CVersionInfo version;
    version.Set("ProductVersion", "6.0");
    EXPECT_EQ(CAboutDlg(version).ProductVersion(), "Release 6.0");
    EXPECT_EQ(CAboutDlg(CVersionInfo()).ProductVersion(), "Release ");
    EXPECT_TRUE(CAboutDlg().ProductVersion().startsWith("Release 6."));
}

TEST(Screenshot, LauncherIsSavedWhenNothingOpens)
{
    CTempDir dir;
    const CRunResult r = RunProgram(BinPath("lumora"), {"--screenshot", dir.File("shot.png")}, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut, dir.File("shot.png") + "\n");
    const std::string szPng = ReadFileBytes(dir.File("shot.png"));
    EXPECT_EQ(szPng.substr(1, 3), "PNG");
    EXPECT_EQ(RunProgram(BinPath("lumora"), {"--screenshot", dir.File("no/such/folder.png")}).m_iExit, 73);
    // Dark colours on request, and the screen's pixels at ratio 2: the launcher is 278 x 164.
    const CRunResult dark = RunProgram(BinPath("lumora"), {"--dark", "--screenshot", dir.File("dark.png")},
                                       {"QT_QPA_PLATFORM=offscreen", "QT_SCALE_FACTOR=2"});
    ASSERT_EQ(dark.m_iExit, 0) << dark.m_szErr;
    const QImage shot(QString::fromStdString(dir.File("dark.png")));
    EXPECT_EQ(shot.size(), QSize(556, 328));
    EXPECT_LT(qGray(shot.pixel(shot.width() / 2, shot.height() - 4)), 96);
    // Without any display the viewer says so instead of aborting in Qt; a screenshot needs none.
    const std::vector<std::string> noDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
    const CRunResult headless = RunProgram(BinPath("lumora"), {}, noDisplay);
    EXPECT_EQ(headless.m_iExit, 1);
    EXPECT_EQ(headless.m_szErr.rfind("lumora: no display to open a window on", 0), 0u) << headless.m_szErr;
    EXPECT_EQ(RunProgram(BinPath("lumora"), {"--screenshot", dir.File("headless.png")}, noDisplay).m_iExit, 0);
    const CRunResult version = RunProgram(BinPath("lumora"), {"--version"});
    EXPECT_EQ(version.m_iExit, 0);
    EXPECT_NE(version.m_szOut.find(", Release "), std::string::npos) << version.m_szOut;
}

TEST(Screenshot, AViewerUnderAMessageBoxIsShownBesideIt)
{
    // A light profile without "Corrected=" says so while its viewer is up.
    CTempDir dir;
    WriteFileBytes(dir.File("lp.con"),
                   ConTestFile("Light Profile",
                               "Time=10:00\nColorScanner=0\nColor=4\nCameraUsed=0\nCameraCount=1\n",
                               std::string(3000, '\x80')));
    const CRunResult r = RunProgram(BinPath("lumora"), {"--screenshot", dir.File("shot.png"), dir.File("lp.con")},
                                    {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szErr.find("side by side"), std::string::npos) << r.m_szErr;
    const QImage shot(QString::fromStdString(dir.File("shot.png")));
    EXPECT_GT(shot.width(), 800) << "the viewer (800 wide) and the box";
}

TEST(Launcher, LongNamesStayReadableAtBothEnds)
{
    CTempDir dir;
    const std::string szName = "Mueller_2026-12-06_stitching_area_camera_B_" + std::string(60, 'x') + "_end.bin";
    WriteFileBytes(dir.File(szName), std::string(48, '\0'));
    CViewerDlg dlg;
    dlg.SetFileToLoad(dir.File(szName));
    dlg.show();
    QTest::qWait(300);
    const QString status = dlg.StatusText();
    EXPECT_TRUE(status.contains("Mueller_")) << status.toStdString();
    EXPECT_TRUE(status.contains("_end.bin")) << status.toStdString();
}
