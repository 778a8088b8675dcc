// The oscilloscope dialog on real widgets: loading and its messages, the
// buttons a recording shows, playback and the pause rule, the read-out,
// view modes, directory mode, hand-over without an empty window, printing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "../OscTestFiles.h"
#include "datafiles/Settings.h"
#include "oscilloscope/ui/OscilloscopeDialog.h"
#include "platform/Messages.h"
#include "support/ProgramFolder.h"
#include "support/TestSupport.h"
#include "widgets/ui/LPFControle.h"

namespace {

// iLines lines of two cameras: dark ends, a ramp, then a level per line.
std::string Recording(int iCameras, int iPix, int iLines, bool bColor, const std::string& szExtra = "")
{
    std::string szData;
    for (int y = 0; y < iLines; ++y)
        for (int x = 0; x < iCameras * iPix; ++x) {
            const int t = x % iPix;
            const char v = static_cast<char>(t < 4 || t >= iPix - 4 ? 0 : 60 + (x % 50) + y);
            szData.append(bColor ? 3 : 1, v);
        }
    return OscFile("[Oscilloscope]", OscKeys(iCameras, iPix, bColor ? "Red:Green:Blue" : "Gray") + szExtra, szData);
}

// Opens the dialog on a file and lets it load.
void Open(COscilloscope_Dialog& dlg, const std::string& szFile)
{
    dlg.SetFileName(szFile);
    dlg.show();
    QTest::qWait(20);
}

template <typename T>
T* Child(QWidget& w, const char* szId)
{
    T* p = w.findChild<T*>(szId);
    EXPECT_NE(p, nullptr) << szId;
    return p;
}

TEST(OscilloscopeUi, ButtonsFollowTheRecording)
{
    CProgramFolder folder;
    CTempDir dir;
    struct {
        const char* m_szName;
        int m_iCameras, m_iLines;
        bool m_bColor;
        bool m_bTimer, m_bRedShown;
        const char* m_szGreen;
    } cases[] = {
        {"gray one line", 1, 1, false, false, false, "Gray"},
        {"gray several lines", 2, 5, false, true, false, "Gray"},
        {"colour", 3, 3, true, true, true, "&Green"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szName);
        CMessageRecorder messages;
        WriteFileBytes(dir.File("r.con"), Recording(c.m_iCameras, 100, c.m_iLines, c.m_bColor));
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File("r.con"));
        ASSERT_TRUE(dlg.IsLoaded());
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_EQ(dlg.Recording().m_iLines, c.m_iLines);
        EXPECT_EQ(dlg.TimerRunning(), c.m_bTimer);
        EXPECT_EQ(Child<QSpinBox>(dlg, "1124")->isVisible(), c.m_bTimer);
        EXPECT_EQ(Child<QPushButton>(dlg, "1078")->isVisible(), c.m_bRedShown);
        EXPECT_EQ(Child<QPushButton>(dlg, "1079")->text(), c.m_szGreen);
        for (int cam = 0; cam < 4; ++cam)
            EXPECT_EQ(Child<QPushButton>(dlg, std::to_string(1084 + cam).c_str())->isVisible(), cam < c.m_iCameras)
                << cam;
        EXPECT_FALSE(Child<QPushButton>(dlg, "adjust")->isVisible());
    }
}

TEST(OscilloscopeUi, PlaybackWrapsAndKeepsThePauseInRange)
{
    CProgramFolder folder;
    CTempDir dir;
    WriteFileBytes(dir.File("r.con"), Recording(2, 100, 3, false));
    COscilloscope_Dialog dlg;
    Open(dlg, dir.File("r.con"));
    ASSERT_TRUE(dlg.TimerRunning());
    EXPECT_EQ(dlg.Pause(), 100);
    QSpinBox* pSpin = Child<QSpinBox>(dlg, "1124");
    const int64_t iStart = dlg.State().m_iLine;
    pSpin->setValue(2500);
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.Pause(), 2500);
    EXPECT_EQ(dlg.State().m_iLine, (iStart + 1) % 3);
    dlg.OnTimerTick();
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.State().m_iLine, iStart);
    // The overview follows the line: line y adds y to every level.
    const uint8_t iLevel = dlg.Overview()->Graph().Samples(0)[10];
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.Overview()->Graph().Samples(0)[10], (iStart + 1) % 3 == 0 ? iLevel - 2 : iLevel + 1);
}

TEST(OscilloscopeUi, ReadOutShowsPixelAndValue)
{
    // Only a test station shows the read-out and the focus box; an installed
    // program finds the station's file in a settings root's "Fct_Test/".
    for (bool bStation : {false, true}) {
        CProgramFolder folder;
        std::filesystem::create_directories(folder.m_Dir.File("root/Fct_Test"));
        if (bStation)
            WriteFileBytes(folder.m_Dir.File("root/Fct_Test/Fct_Tst6.ini"), "[General]\n");
        const CScopedEnv roots("LUMORA_SETTINGS_ROOTS", folder.m_Dir.File("root").c_str());
        CTempDir dir;
        WriteFileBytes(dir.File("r.con"), Recording(2, 100, 2, false));
        COscilloscope_Dialog dlg;
        dlg.resize(900, 700);
        Open(dlg, dir.File("r.con"));
        EXPECT_EQ(Child<QLabel>(dlg, "1121")->isVisible(), bStation);
        EXPECT_EQ(Child<QCheckBox>(dlg, "1127")->isVisible(), bStation);
    }
    CProgramFolder folder({{"Fct_Tst6.ini", "[General]\n"}});
    CTempDir dir;
    WriteFileBytes(dir.File("r.con"), Recording(2, 100, 2, false));
    COscilloscope_Dialog dlg;
    dlg.resize(900, 700);
    Open(dlg, dir.File("r.con"));
    QLabel* pPos = Child<QLabel>(dlg, "1121");
    CLPFControle* pView = dlg.Overview();
    pView->repaint();
    const std::vector<int64_t>& table = pView->ReadOutTable();
    ASSERT_FALSE(table.empty());
    for (int x : {0, 40, pView->width() / 2}) {
        SCOPED_TRACE(x);
        ASSERT_LT(size_t(x), table.size());
        const int64_t i = table[size_t(x)];
        QTest::mouseMove(pView, QPoint(x, 20));
        const int iValue = dlg.Overview()->Graph().Samples(0)[size_t(i)];
        EXPECT_EQ(pPos->text(), QString::asprintf("%d (%d)", int(i), iValue));
    }
    EXPECT_EQ(dlg.PositionText(-1), QString());
}

TEST(OscilloscopeUi, ViewModesAndFocus)
{
    CProgramFolder folder({{"Fct_Tst6.ini", "[General]\n"}});
    CTempDir dir;
    CMessageRecorder messages;
    WriteFileBytes(dir.File("one.con"), Recording(1, 200, 3, false));
    WriteFileBytes(dir.File("two.con"), Recording(2, 200, 3, false));
    struct {
        const char* m_szFile;
        EOscViewMode m_eAsked, m_eShown;
    } cases[] = {
        {"two.con", OSC_VIEW_LIGHT_PROFILE, OSC_VIEW_LIGHT_PROFILE},
        {"one.con", OSC_VIEW_LIGHT_PROFILE, OSC_VIEW_VERTICAL},
        {"two.con", OSC_VIEW_SCAN_WIDTH, OSC_VIEW_SCAN_WIDTH},
    };
    const char* const ids[] = {"1103", "1119", "1104", "1105"};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.m_szFile) + OscViewModeName(c.m_eAsked));
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File(c.m_szFile));
        EXPECT_TRUE(Child<QRadioButton>(dlg, "1103")->isChecked());
        Child<QRadioButton>(dlg, ids[c.m_eAsked])->click();
        EXPECT_EQ(dlg.State().m_eMode, c.m_eShown);
        EXPECT_TRUE(Child<QRadioButton>(dlg, ids[c.m_eShown])->isChecked());
        if (c.m_eShown == OSC_VIEW_VERTICAL)
            EXPECT_EQ(dlg.Detail(true)->Graph().Count(), 3);  // one mean per line
    }
    // Focus: the contrast curve appears over the overview.
    COscilloscope_Dialog dlg;
    Open(dlg, dir.File("two.con"));
    EXPECT_TRUE(dlg.Overview()->Graph().Reference().empty());
    Child<QCheckBox>(dlg, "1127")->click();
    EXPECT_TRUE(dlg.State().m_bFocus);
    EXPECT_EQ(dlg.Overview()->Graph().Reference().size(), size_t(400));
    EXPECT_EQ(dlg.Contrast().size(), size_t(400));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(OscilloscopeUi, MessagesAndABadFileLeaveTheDialogUsable)
{
    CProgramFolder folder;
    CTempDir dir;
    std::string szKeys = OscKeys(2, 100);
    szKeys.erase(szKeys.find("Date="), szKeys.find('\n', szKeys.find("Date=")) + 1 - szKeys.find("Date="));
    WriteFileBytes(dir.File("nodate.con"), OscFile("[Oscilloscope]", szKeys, std::string(200, 'x')));
    WriteFileBytes(dir.File("bad.con"), OscFile("[Oscilloscope]", OscKeys(0, 100), "x"));
    {
        CMessageRecorder messages;
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File("nodate.con"));
        EXPECT_TRUE(dlg.IsLoaded());
        ASSERT_EQ(messages.Texts().size(), 1u);
        EXPECT_EQ(messages.Texts()[0], "Missing Information:\nDate");
    }
    CMessageRecorder messages;
    COscilloscope_Dialog dlg;
    Open(dlg, dir.File("bad.con"));
    EXPECT_FALSE(dlg.IsLoaded());
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("bad.con"), std::string::npos);
    // Handlers do nothing without a file.
    Child<QPushButton>(dlg, "1093")->click();
    Child<QRadioButton>(dlg, "1104")->click();
    dlg.SelectCamera(1);
    EXPECT_EQ(dlg.State().m_eMode, OSC_VIEW_NORMAL);
}

TEST(OscilloscopeUi, DirectoryModeLabelsAndEntries)
{
    CProgramFolder folder;
    CTempDir dir;
    WriteFileBytes(dir.File("Oscil_Gray_Unadjusted_300.con"), Recording(2, 100, 1, false));
    WriteFileBytes(dir.File("Oscil_Color_600.con"), Recording(2, 100, 2, true));
    CMessageRecorder messages;
    COscilloscope_Dialog dlg;
    dlg.SetDirectory(dir.Path());
    dlg.show();
    QTest::qWait(20);
    ASSERT_EQ(dlg.Entries().size(), 2u);
    EXPECT_TRUE(dlg.IsLoaded());
    QLabel* pLabel = Child<QLabel>(dlg, "1133");
    EXPECT_EQ(pLabel->text(), "600dpi Color Adjusted");
    EXPECT_TRUE(Child<QPushButton>(dlg, "14001")->isVisible());
    EXPECT_FALSE(Child<QPushButton>(dlg, "1117")->isVisible());
    EXPECT_FALSE(Child<QCheckBox>(dlg, "1110")->isVisible());
    dlg.LoadEntry(1);
    EXPECT_EQ(pLabel->text(), "300dpi Gray Unadjusted");
    EXPECT_TRUE(dlg.Recording().IsGray());
    dlg.LoadEntry(7);  // out of range: the first again
    EXPECT_EQ(pLabel->text(), "600dpi Color Adjusted");
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(OscilloscopeUi, HandOverLeavesNoEmptyWindow)
{
    CProgramFolder folder;
    CTempDir dir;
    struct {
        const char* m_szName;
        std::string m_szBytes;
    } cases[] = {
        {"noise.con", OscFile("[Noise Test]", "Width=4\nColorScanner=FALSE\n", "abcd")},
        {"lpf.con", OscFile("[Light Profile]", "Width=4\n", "abcd")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szName);
        WriteFileBytes(dir.File(c.m_szName), c.m_szBytes);
        CMessageRecorder messages;
        int iSeen = 0;
        // Whatever viewer takes the file is closed once it is up; count the windows meanwhile.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* p = QApplication::activeModalWidget(); p && !qobject_cast<COscilloscope_Dialog*>(p)) {
                iSeen = 0;
                for (QWidget* w : QApplication::topLevelWidgets())
                    iSeen += w->isVisible() && qobject_cast<QDialog*>(w) ? 1 : 0;
                p->close();
            }
        });
        closer.start(20);
        COscilloscope_Dialog dlg;
        dlg.SetFileName(dir.File(c.m_szName));
        QTimer::singleShot(3000, &dlg, [&dlg] { dlg.reject(); });
        dlg.exec();
        closer.stop();
        EXPECT_TRUE(dlg.HandedOver());
        EXPECT_FALSE(dlg.isVisible());
        // While the other viewer ran, the oscilloscope was not on screen beside it.
        EXPECT_EQ(iSeen, 1);
    }
}

TEST(OscilloscopeUi, PrintsHeaderLinesAndViews)
{
    CProgramFolder folder;
    CTempDir dir;
    WriteFileBytes(dir.File("r.con"), Recording(2, 100, 1, true));
    COscilloscope_Dialog dlg;
    Open(dlg, dir.File("r.con"));
    dlg.SelectColor(2);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.File("page.pdf")));
    ASSERT_TRUE(dlg.PrintTo(printer));
    const CRunResult text = RunProgram("pdftotext", {dir.File("page.pdf"), "-"});
    if (text.m_iExit == 0) {
        EXPECT_NE(text.m_szOut.find("Scanner Name:"), std::string::npos);
        EXPECT_NE(text.m_szOut.find("Blue"), std::string::npos);
    }
}

TEST(OscilloscopeUi, CameraAdjustmentStartsByGenerationAndCameraCount)
{
    CProgramFolder folder;
    CTempDir dir;
    struct {
        int m_iCameras, m_iGeneration;
        bool m_bStarts;
    } cases[] = {{5, 9, true}, {5, 8, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.m_iCameras) + " cameras, generation " + std::to_string(c.m_iGeneration));
        WriteFileBytes(dir.File("r.con"), Recording(c.m_iCameras, 100, 1, true,
                                                    "Generation=" + std::to_string(c.m_iGeneration) + "\n"));
        CMessageRecorder messages;
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File("r.con"));
        ASSERT_TRUE(dlg.IsLoaded());
        EXPECT_EQ(Child<QPushButton>(dlg, "adjust")->isVisible(), c.m_bStarts);
        EXPECT_EQ(Child<QRadioButton>(dlg, "1119")->text(), c.m_bStarts ? "Camera Adjustment" : "Lig&ht Profile");
        EXPECT_EQ(dlg.Adjustment().m_bRan, c.m_bStarts);
        EXPECT_EQ(Child<QWidget>(dlg, "1132")->isVisible(), c.m_bStarts);
        EXPECT_EQ(dlg.Overview()->Graph().ColumnTag({0, dlg.Recording().m_iPixelsPerLine - 1}) != 0, c.m_bStarts);
    }
}

// The simulator's recordings: the camera adjustment view puts each detail on
// one of the camera's stitch marks, and an MTF recording's figures reach the
// width control, the note and the overview.
TEST(OscilloscopeUi, AdjustmentViewAndMtfOnSimulatorSamples)
{
    CProgramFolder folder;
    CTempDir dir;
    ASSERT_EQ(RunProgram(BinPath("lumora-cli"), {"samples", dir.Path()}).m_iExit, 0);
    {
        CMessageRecorder messages;
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File("oscilloscope-gen9-5cam.con"));
        ASSERT_TRUE(dlg.Adjustment().m_bRan);
        dlg.SelectCamera(1);
        Child<QRadioButton>(dlg, "1119")->click();
        EXPECT_EQ(dlg.State().m_eMode, OSC_VIEW_CAMERA_ADJUSTMENT);
        // Camera B's wire pairs: beside its start and beside its end.
        const int64_t iLeft = dlg.Detail(true)->Graph().Markers()[0];
        const int64_t iRight = dlg.Detail(false)->Graph().Markers()[0];
        EXPECT_NEAR(double(iLeft), dlg.Adjustment().m_dMarks[1][0], 0.5);
        EXPECT_NEAR(double(iRight), dlg.Adjustment().m_dMarks[1][1], 0.5);
        EXPECT_GT(iLeft, 5400);
        EXPECT_LT(iLeft, 5600);
        EXPECT_GT(iRight, 10600);
        EXPECT_LT(iRight, 10800);
        EXPECT_TRUE(Child<QWidget>(dlg, "1132")->isVisible());
    }
    {
        CMessageRecorder messages;
        COscilloscope_Dialog dlg;
        Open(dlg, dir.File("mtf.con"));
        ASSERT_TRUE(dlg.IsLoaded());
        EXPECT_TRUE(Child<QWidget>(dlg, "1132")->isVisible());
        EXPECT_EQ(Child<QLabel>(dlg, "note")->text().left(19), "MTF red/green/blue:");
        // Camera B is out of focus: its modulation level lies below camera A's.
        const CLPFGraph& g = dlg.Overview()->Graph();
        const int64_t a = dlg.Recording().m_CameraPix[0];
        ASSERT_EQ(int64_t(g.Reference().size()), dlg.Recording().m_iPixelsPerLine);
        EXPECT_LT(g.Reference()[size_t(a + a / 2)] + 40, g.Reference()[size_t(a / 2)]);
    }
}

} // namespace
