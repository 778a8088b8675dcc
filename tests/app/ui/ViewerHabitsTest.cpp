#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ui/UiRegistry.h"
#include "app/ui/ViewerDlg.h"
#include "app/ui/ViewerHabits.h"
#include "datafiles/DataTable.h"
#include "platform/Messages.h"
#include "support/RunViewer.h"
#include "support/TestSupport.h"
#include "viewers/LightProfileFile.h"

namespace {
void WithViewer(const std::string& szViewer, const std::string& szFile, const std::function<void(QWidget*)>& check)
{
    static const bool s_bInstalled = (InstallViewerHabits(false), true);
    (void)s_bInstalled;
    RunViewerOn(szViewer, szFile, check);
}
} // namespace

// A viewer's CSV export holds the samples its graph draws; its PNG is the
// window as shown or the view redrawn at the size asked for; a refused
// export or drop tells the user and leaves the window as it was.
TEST(ViewerHabits, ExportAndDropOnAViewerWindow)
{
    CTempDir dir;
    const std::string szFile = SampleFile("light-profile-color-4cam-green.con");
    const CLightProfileLoad load = LoadLightProfile(szFile, LPF_VIEWER_FILE);
    ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK);
    std::filesystem::create_directories(dir.File("locked"));
    ::chmod(dir.File("locked").c_str(), 0555);
    WithViewer("CView_LPF_Dialog", szFile, [&](QWidget* pWindow) {
        EXPECT_EQ(ViewerFileOf(pWindow), szFile);
        CMessageRecorder messages;
        ASSERT_TRUE(ExportViewer(pWindow, EXPORT_CSV, dir.File("view.csv")));
        CDataTable table;
        ASSERT_TRUE(ParseDataTableCsv(ReadFileBytes(dir.File("view.csv")), table));
        ASSERT_EQ(table.m_Columns.size(), 1u);
        EXPECT_EQ(table.m_Headers[1], "green");
        EXPECT_EQ(table.m_Columns[0], std::vector<double>(load.m_Profile.m_Data.begin(), load.m_Profile.m_Data.end()));

        ASSERT_TRUE(ExportViewer(pWindow, EXPORT_PNG_SCREEN, dir.File("screen.png")));
        EXPECT_EQ(QImage(QString::fromStdString(dir.File("screen.png"))).size(),
                  pWindow->size() * pWindow->devicePixelRatio());
        ASSERT_TRUE(ExportViewer(pWindow, EXPORT_PNG_SIZED, dir.File("sized.png"), 1500, 700));
        EXPECT_EQ(QImage(QString::fromStdString(dir.File("sized.png"))).size(), QSize(1500, 700));
        EXPECT_TRUE(messages.Texts().empty());

        if (::geteuid() != 0) {
            EXPECT_FALSE(ExportViewer(pWindow, EXPORT_CSV, dir.File("locked/view.csv")));
            ASSERT_EQ(messages.Texts().size(), 1u);
            EXPECT_NE(messages.Texts()[0].find(dir.File("locked/view.csv")), std::string::npos);
            EXPECT_TRUE(std::filesystem::is_empty(dir.File("locked")));
        }
        messages.Clear();
        for (const std::string& szDropped : {dir.Path(), SampleFile("picture-two-cameras.tif")}) {
            EXPECT_FALSE(OpenDroppedFile(pWindow, szDropped));
            EXPECT_EQ(QApplication::activeModalWidget(), pWindow) << szDropped;
        }
        ASSERT_EQ(messages.Texts().size(), 2u);
        EXPECT_NE(messages.Texts()[0].find("is a folder"), std::string::npos);
        EXPECT_NE(messages.Texts()[1].find("not a \".con\" data file"), std::string::npos);
    });
    ::chmod(dir.File("locked").c_str(), 0755);
}

namespace {
QStringList FileMenuEntries(QWidget* pWindow)
{
    QStringList entries;
    for (QMenuBar* pBar : pWindow->findChildren<QMenuBar*>())
        for (QAction* pTop : pBar->actions())
            if (pTop->menu() && pTop->text().remove('&') == "File")
                for (QAction* p : pTop->menu()->actions())
                    entries << p->text().remove('&');
    return entries;
}
} // namespace

// "Open Recent" in every File menu (a viewer's also has "Export..."), shown
// any number of times, and on the launcher, which has no menu bar.
TEST(ViewerHabits, OpenRecentWhereverThereIsAFileMenu)
{
    WithViewer("CView_LPF_Dialog", SampleFile("light-profile-mono.con"), [&](QWidget* pWindow) {
        const QStringList entries = FileMenuEntries(pWindow);
        EXPECT_EQ(entries.count("Open Recent"), 1) << entries.join('|').toStdString();
        EXPECT_EQ(entries.count("Export..."), 1) << entries.join('|').toStdString();
    });
    QDialog other;
    auto* pBar = new QMenuBar(&other);
    pBar->addMenu("&File")->addAction("&Open...");
    for (int i = 0; i < 2; ++i) {
        other.show();
        other.hide();
    }
    EXPECT_EQ(FileMenuEntries(&other), (QStringList{"Open...", "Open Recent"}));

    CViewerDlg launcher;
    auto* pRecent = launcher.findChild<QToolButton*>("recent");
    ASSERT_NE(pRecent, nullptr);
    ASSERT_NE(pRecent->menu(), nullptr);
    emit pRecent->menu()->aboutToShow();
    EXPECT_FALSE(pRecent->menu()->actions().isEmpty()); // the list, or "(none)"
}
