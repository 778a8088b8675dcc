#include <gtest/gtest.h>

#include <QTest>

#include "app/ui/AboutDlg.h"
#include "app/ui/UiRegistry.h"
#include "app/ui/ViewerDlg.h"
#include "platform/Messages.h"
#include "support/DataFileBytes.h"
#include "support/TestSupport.h"
#include "support/ViewerStandIn.h"

namespace {
const std::string kUmlautName = "Pr\xC3\xBC" "fung-\xC3\x9F";

// The launcher's status line once it has tried the file named on its command line.
QString StatusAfterLoading(const std::string& szFile)
{
    CViewerDlg dlg;
    dlg.SetFileToLoad(szFile);
    dlg.show();
    QTest::qWait(350);
    return dlg.StatusText();
}
} // namespace

TEST(Foundation, LauncherShowsUtf8NamesAsTheFileSystemHasThem)
{
    CTempDir dir;
    CMessageRecorder rec;
    const QString shown = QString::fromUtf8(kUmlautName.c_str());
    WriteFileBytes(dir.File(kUmlautName + ".bin"), std::string(48, '\0'));
    EXPECT_TRUE(StatusAfterLoading(dir.File(kUmlautName + ".bin")).contains(shown + ".bin")) << rec.Texts().size();

    // A message that names a file names it the same way.
    StatusAfterLoading(dir.File(kUmlautName + "-gone.con"));
    ASSERT_FALSE(rec.Texts().empty());
    EXPECT_EQ(rec.Texts().back().find(dir.File(kUmlautName + "-gone.con")), 0u) << rec.Texts().back();
}

TEST(Foundation, AViewerMissingFromTheBuildIsNamedInASentence)
{
    CTempDir dir;
    WriteFileBytes(dir.File("pack.con"), RawdexBytes({{"first-entry.con", "ONE"}}));
    WriteFileBytes(dir.File("productinfo.ini"), "[ProductInfo]\nOem=2\n");
    const CScopedEnv product("LUMORA_PRODUCT_INFO", dir.File("productinfo.ini").c_str());
    CViewerStandIn none("COscilloscope_Dialog", ViewerRunner());
    CMessageRecorder rec;
    EXPECT_EQ(StatusAfterLoading(dir.File("pack.con")), QStringLiteral("The oscilloscope is not part of this build yet."));
}

TEST(Foundation, VersionOptionShowsWhatTheAboutBoxShows)
{
    const CRunResult r = RunProgram(BinPath("lumora"), {"--version"});
    ASSERT_EQ(r.m_iExit, 0) << r.m_szErr;
    CAboutDlg about;
    for (const QString& text : {about.FileDescription(), about.ProductVersion(), about.BuildNumber()})
        EXPECT_NE(r.m_szOut.find(text.toStdString()), std::string::npos) << text.toStdString() << " in " << r.m_szOut;
}
