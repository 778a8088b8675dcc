// Every sample file through the real launcher, as a double click opens it:
// the dialog that finally shows it is the one render draws, exactly one
// viewer is up at that moment, and once it is closed no other (an empty
// light profile viewer a hand-over left behind) appears.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <set>

#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "app/ui/UiRegistry.h"
#include "app/ui/ViewerDlg.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "viewers/ui/ViewerFiles.h"

namespace {

// Visible dialogs other than the launcher, by class name.
std::vector<QDialog*> VisibleViewers(const QWidget* pLauncher)
{
    std::vector<QDialog*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d != pLauncher && d->isVisible())
            out.push_back(d);
    return out;
}

struct CSeen {
    std::string m_szFirst;          // the viewer that came up and stayed
    size_t m_iUpTogether = 0;       // viewers visible at that moment
    std::vector<std::string> m_Later; // dialogs that came up after it was closed
};

// szFile is opened as a double click would; without one the "View &Light
// Profile" button is pressed and szPick is chosen in the viewer's file dialog.
CSeen OpenThroughLauncher(const std::string& szFile, const std::string& szPick = {})
{
    CSeen seen;
    CViewerDlg launcher;
    if (!szFile.empty())
        launcher.SetFileToLoad("\"" + szFile + "\"");
    else
        QTimer::singleShot(100, &launcher, [&launcher] {
            if (auto* b = launcher.findChild<QPushButton*>("1001"))
                b->click();
        });
    bool bPicked = false;
    int iStable = 0, iTicks = 0;
    std::set<QDialog*> last, known;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++iTicks;
        const std::vector<QDialog*> now = VisibleViewers(&launcher);
        const std::set<QDialog*> nowSet(now.begin(), now.end());
        iStable = nowSet == last ? iStable + 1 : 0;
        last = nowSet;
        if (!now.empty() && iStable >= 4) {
            // A viewer's own file dialog (Rawdex: choose an unpacked file)
            // belongs to the viewer under it and is cancelled.
            std::vector<QDialog*> viewers;
            for (QDialog* d : now)
                if (!qobject_cast<QFileDialog*>(d))
                    viewers.push_back(d);
            QDialog* pTop = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!pTop || pTop == &launcher)
                pTop = now.back();
            for (QDialog* d : viewers) {
                if (known.count(d))
                    continue;
                known.insert(d);
                if (seen.m_szFirst.empty()) {
                    seen.m_szFirst = d->metaObject()->className();
                    seen.m_iUpTogether = viewers.size();
                } else {
                    seen.m_Later.push_back(d->metaObject()->className());
                }
            }
            if (auto* pFiles = qobject_cast<QFileDialog*>(pTop); pFiles && !szPick.empty() && !bPicked) {
                bPicked = true;
                pFiles->selectFile(QString::fromStdString(szPick));
                static_cast<QDialog*>(pFiles)->accept();
            } else {
                pTop->reject();
            }
            iStable = 0;
        } else if (iTicks > 120 && launcher.isVisible()) {
            launcher.reject(); // nothing opened: the launcher waits for the user
        }
    });
    timer.start(50);
    launcher.exec();
    return seen;
}

} // namespace

TEST(HandOver, EverySampleEndsInTheViewerRenderDrawsWithOneWindowUp)
{
    RegisterAllKinds();
    RegisterAllViewers();
    CMessageRecorder recorder;
    CTempDir dir;
    for (const auto& [szName, write] : CKindRegistry::Instance().SampleWriters())
        write(dir.Path());
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        if (e.is_regular_file())
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 10u);
    int iOpened = 0;
    for (const std::string& szFile : files) {
        SCOPED_TRACE(szFile);
        CFileDescription desc;
        DescribeFile(szFile, "", desc);
        const std::string szRender = ViewerShowing(desc);
        const CSeen seen = OpenThroughLauncher(szFile);
        EXPECT_EQ(seen.m_szFirst, szRender);
        if (seen.m_szFirst.empty())
            continue;
        ++iOpened;
        EXPECT_EQ(seen.m_iUpTogether, 1u) << "viewers up together with " << seen.m_szFirst;
        EXPECT_TRUE(seen.m_Later.empty()) << "after closing " << seen.m_szFirst << " came " << seen.m_Later.front();
    }
    EXPECT_GE(iOpened, 10);
}

// The light profile viewer hands files of other kinds on and steps aside:
// what the technician sees then is the one viewer that shows the file.
TEST(HandOver, TheLightProfileViewerLeavesNoEmptyWindowBehind)
{
    RegisterAllKinds();
    RegisterAllViewers();
    CMessageRecorder recorder;
    const struct {
        const char* m_szFile;
        const char* m_szShownBy;
    } kCases[] = {
        {"g3-light-profile.con", "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {"noise-test-color.con", "CNoiseTest_SM_Dialog"},
        {"oscilloscope-gray.con", "COscilloscope_Dialog"},
        {"light-profile-mono.con", "CLPF_Dialog"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szFile);
        // The viewer's file dialog picks the file once, then is cancelled.
        int iAsked = 0;
        const std::string szPick = SampleFile(c.m_szFile);
        SetFileDialogHook([&](QWidget*, const CFileDialogRequest&) {
            return ++iAsked == 1 ? QString::fromStdString(szPick) : QString();
        });
        const CSeen seen = OpenThroughLauncher({});
        SetFileDialogHook({});
        EXPECT_EQ(iAsked, 1);
        // What stays up is the one viewer that shows the file, and closing it ends the run.
        std::vector<std::string> all;
        if (!seen.m_szFirst.empty())
            all.push_back(seen.m_szFirst);
        all.insert(all.end(), seen.m_Later.begin(), seen.m_Later.end());
        ASSERT_EQ(all.size(), 1u) << "windows came up one after the other: " << ::testing::PrintToString(all);
        EXPECT_EQ(all[0], c.m_szShownBy);
        EXPECT_EQ(seen.m_iUpTogether, 1u);
    }
}
