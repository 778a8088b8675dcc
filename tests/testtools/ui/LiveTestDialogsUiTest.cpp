// The two live test dialogs: files they open and save, the view they share
// with render, and real runs against the simulated scanner.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "testtools/ResultText.h"
#include "testtools/ui/LiveTestDialogs.h"

namespace {

// The samples are made once: each is a run on the simulator.
const std::vector<std::string>& Samples()
{
    static CTempDir s_Dir;
    static const std::vector<std::string> s_Files = WriteLiveTestSamples(s_Dir.Path());
    return s_Files;
}

// The dialogs open their file a moment after they show; waits for it
// without assuming how long the moment is.
template <typename F>
void WaitUntil(F done)
{
    for (int i = 0; i < 2000 && !done(); ++i)
        QTest::qWait(10);
}

QImage Rgb32(const QImage& img)
{
    return img.convertToFormat(QImage::Format_RGB32);
}

int32_t CountPixels(const QImage& img, const QRect& r, QRgb c)
{
    int32_t n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += img.pixel(x, y) == c;
    return n;
}

// Stands in for the file dialogs and remembers what they were asked.
struct CFileDialogs {
    QString m_szAnswer;
    std::vector<CLiveFileRequest> m_Asked;
    CFileDialogs()
    {
        SetLiveFileDialogHook([this](QWidget*, const CLiveFileRequest& r) {
            m_Asked.push_back(r);
            return m_szAnswer;
        });
    }
    ~CFileDialogs() { SetLiveFileDialogHook({}); }
};

// A simulated scanner for the runs; the device starts afresh for each dialog.
class CLiveRunUi : public ::testing::Test {
protected:
    void UseScenario(const std::string& szIni)
    {
        WriteFileBytes(m_Dir.File("scenario.ini"), "[Device]\nTimeScale=200\n" + szIni);
        ::setenv("LUMORA_SIM_CONFIG", m_Dir.File("scenario.ini").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("LUMORA_SIM_CONFIG"); }
    std::string Positioning(double dFront, double dRear)
    {
        return Printf("[Sheet]\nKind=line\nMarkWidth=2\nFrontLineY=%.2f\nRearLineY=%.2f\n[Noise]\nSeed=3\nSigma=1\n"
                      "[Camera.A]\nBlur=1\n[Camera.B]\nBlur=1\n",
                      dFront, dRear);
    }
    CTempDir m_Dir;
};

} // namespace

TEST(LiveTestUi, DialogsOpenTheirSamplesSaveLoadAndRenderAlike)
{
    ASSERT_EQ(Samples().size(), 2u);
    CTempDir dir;
    CFileDialogs files;
    {
        CAdjustCenterCCD_Dialog dlg;
        dlg.SetFileName(Samples()[0]);
        dlg.show();
        WaitUntil([&] { return !dlg.windowFilePath().isEmpty(); });
        EXPECT_NEAR(dlg.Engine().m_dFront[2], 4.2, 0.1);
        EXPECT_EQ(dlg.windowFilePath().toStdString(), Samples()[0]);
        EXPECT_FALSE(dlg.Button(10014)->isEnabled()) << "Save and Load wait for a test";
        // Off the factory floor the view boxes are hidden and only the cutting is shown.
        EXPECT_FALSE(dlg.Check(10008)->isVisibleTo(&dlg));
        EXPECT_FALSE(dlg.Flags().m_bFront);
        const QImage& s = dlg.Control()->Surface();
        QImage rendered;
        std::string szError;
        ASSERT_TRUE(RenderPositioningFile(Samples()[0], s.width(), s.height(), rendered, szError)) << szError;
        EXPECT_EQ(Rgb32(rendered), Rgb32(s));

        files.m_szAnswer = QString::fromStdString(dir.File("again"));
        dlg.OnSave();
        ASSERT_EQ(files.m_Asked.size(), 1u);
        const std::array<std::array<uint8_t, 3>, kStripeWidth> profile = dlg.Engine().m_FrontProfile;
        const std::vector<std::string> lines = dlg.Engine().m_ResultLines;
        files.m_szAnswer = QString::fromStdString(dir.File("again.ACC"));
        dlg.OnLoad();
        EXPECT_EQ(dlg.Engine().m_FrontProfile, profile);
        EXPECT_EQ(dlg.Engine().m_ResultLines, lines) << "a loaded result keeps its own lines";
        EXPECT_NEAR(dlg.Engine().m_dRear[2], 5.6, 0.1);
    }
    {
        CVerticalCameraVerification_Dialog dlg;
        dlg.SetFileName(Samples()[1]);
        dlg.show();
        WaitUntil([&] { return dlg.Engine().Rows() > 0; });
        ASSERT_GT(dlg.Engine().Rows(), 1000);
        EXPECT_EQ(dlg.Slider()->maximum(), dlg.Engine().Rows() - 1);
        EXPECT_TRUE(dlg.SpeedRadio(CARRIAGE_FAST)->isChecked()); // the engine's 100
        EXPECT_FALSE(dlg.SpeedEdit()->isVisibleTo(&dlg));
        EXPECT_FALSE(dlg.Check(10015)->isVisibleTo(&dlg));
        dlg.Slider()->setValue(700);
        EXPECT_EQ(dlg.Engine().m_iSelectedRow, 700);
        const QImage& s = dlg.Control()->Surface();
        QImage rendered;
        std::string szError;
        ASSERT_TRUE(RenderCarriageFile(Samples()[1], s.width(), s.height(), rendered, szError)) << szError;
        EXPECT_NE(Rgb32(rendered), Rgb32(s)) << "the selected row is part of the view";
        EXPECT_GT(CountPixels(Rgb32(s), s.rect(), qRgb(255, 255, 0)), 0) << "its marker is yellow";
        dlg.SelectRow(0);
        EXPECT_EQ(Rgb32(rendered), Rgb32(dlg.Control()->Surface()));

        const double dFront = dlg.Engine().m_dPathDiffFront, dRear = dlg.Engine().m_dPathDiffRear;
        files.m_szAnswer = QString::fromStdString(dir.File("carriage"));
        dlg.OnSave();
        files.m_szAnswer = QString::fromStdString(dir.File("carriage.VCV"));
        dlg.OnLoad();
        EXPECT_NEAR(dlg.Engine().m_dPathDiffFront, dFront, 0.01);
        EXPECT_NEAR(dlg.Engine().m_dPathDiffRear, dRear, 0.01);
        EXPECT_EQ(dlg.Engine().m_iVersion, 2);
        EXPECT_TRUE(dlg.PrintToPdf(QString::fromStdString(dir.File("carriage.pdf"))));
    }
}

TEST_F(CLiveRunUi, APositioningRunShowsPassOrFail)
{
    struct Case {
        double m_dFront, m_dRear;
        bool m_bPass;
    };
    for (const Case& c : {Case{4.0, 6.0, true}, Case{3.0, 11.5, false}}) {
        SCOPED_TRACE(Printf("front %.1f rear %.1f", c.m_dFront, c.m_dRear));
        UseScenario(Positioning(c.m_dFront, c.m_dRear));
        CMessageRecorder messages;
        CAdjustCenterCCD_Dialog dlg;
        dlg.m_Options.m_iSettleMs = 0;
        dlg.m_iStopAfterSteps = 3;
        dlg.show();
        dlg.OnDoTest();
        EXPECT_EQ(dlg.m_iLastError, 0);
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_FALSE(dlg.IsRunning());
        EXPECT_TRUE(dlg.Button(10000)->isEnabled());
        EXPECT_TRUE(dlg.Button(2)->isEnabled());
        EXPECT_TRUE(dlg.Button(1117)->isEnabled());
        EXPECT_GT(dlg.Engine().m_FrontAverage.Count(), 0);
        EXPECT_EQ(dlg.Engine().Passed(), c.m_bPass);
        // The mark stands in the top margin: a green tick or a red cross.
        const QImage s = Rgb32(dlg.Control()->Surface());
        const QRect top(0, 1, s.width(), s.height() / 10 - 2);
        EXPECT_EQ(CountPixels(s, top, qRgb(0, 255, 0)) > 0, c.m_bPass);
        EXPECT_EQ(CountPixels(s, top, qRgb(255, 0, 0)) > 0, !c.m_bPass);
    }
}

TEST_F(CLiveRunUi, SaveWhileRunningIsWrittenAtTheNextStepAndLoadStopsTheTestToShowAFile)
{
    UseScenario(Positioning(4.0, 5.0));
    CFileDialogs files;
    CAdjustCenterCCD_Dialog dlg;
    dlg.m_Options.m_iSettleMs = 0;
    dlg.show();
    const std::string szFile = m_Dir.File("running.ACC");
    files.m_szAnswer = QString::fromStdString(szFile);
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!dlg.IsRunning())
            return;
        if (!std::filesystem::exists(szFile)) {
            if (dlg.Engine().m_FrontAverage.Count() > 0)
                dlg.OnSave(); // a request, served by the loop
        } else {
            dlg.OnLoad(); // the test stops, then shows the file
        }
    });
    poll.start();
    dlg.OnDoTest();
    EXPECT_FALSE(dlg.IsRunning());
    EXPECT_TRUE(dlg.isVisible());
    CCenterCCDEngine back;
    ASSERT_TRUE(back.ReadPositioning(szFile));
    EXPECT_NEAR(back.m_dFront[2], 4.0, 0.1);
    ASSERT_FALSE(back.m_ResultLines.empty());
    EXPECT_EQ(back.m_ResultLines.back(), "Result: passed");
    EXPECT_EQ(dlg.Engine().m_ResultLines, back.m_ResultLines) << "the loaded file is what is shown";
}

TEST_F(CLiveRunUi, ExitDuringTheSetUpCancelsItAndCloses)
{
    UseScenario(Positioning(4.0, 5.0));
    CMessageRecorder messages;
    CAdjustCenterCCD_Dialog dlg;
    dlg.m_Options.m_iSettleMs = 0;
    dlg.show();
    QTimer::singleShot(0, &dlg, [&] { dlg.reject(); });
    dlg.OnDoTest();
    EXPECT_EQ(dlg.m_iLastError, ScannerProgramError(ERR_USER_CANCELLED));
    EXPECT_TRUE(messages.Texts().empty()) << "a cancel is no error to report";
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Engine().m_FrontAverage.Count(), 0);
}

TEST_F(CLiveRunUi, ALostConnectionEndsTheTestWithItsErrorAndReenablesTheButtons)
{
    UseScenario(Positioning(3.0, 4.0) + "[Faults]\nLoseConnectionAfter=80\n");
    CMessageRecorder messages;
    CAdjustCenterCCD_Dialog dlg;
    dlg.m_Options.m_iSettleMs = 0;
    dlg.show();
    dlg.OnDoTest();
    EXPECT_NE(dlg.m_iLastError, 0);
    EXPECT_FALSE(messages.Texts().empty()) << "the error is reported";
    EXPECT_TRUE(dlg.Button(10000)->isEnabled());
    EXPECT_TRUE(dlg.Button(2)->isEnabled());
}

TEST_F(CLiveRunUi, ACarriageRunAtTheChosenSpeedFillsTheSlider)
{
    UseScenario("[Sheet]\nKind=line\nMarkWidth=2\nMarkRepeat=40\nFrontLineY=4\nRearLineY=6\n[Paper]\nLength=2400\n"
                "[Carriage]\nTilt=8\n[Camera.A]\nBlur=1\n[Camera.B]\nBlur=1\n");
    CVerticalCameraVerification_Dialog dlg;
    dlg.m_Options.m_iSettleMs = 0;
    dlg.show();
    dlg.SpeedRadio(CARRIAGE_SLOW)->setChecked(true);
    dlg.OnDoTest();
    EXPECT_EQ(dlg.m_iLastError, 0);
    EXPECT_EQ(dlg.Engine().m_iScanSpeed, 5);
    ASSERT_GT(dlg.Engine().Rows(), 400);
    EXPECT_EQ(dlg.Slider()->maximum(), dlg.Engine().Rows() - 1);
    EXPECT_EQ(dlg.Slider()->pageStep(), 5);
    EXPECT_TRUE(dlg.Button(10004)->isEnabled());
    // A carriage turned by 8 lines moves the front camera's line back: turn it clockwise.
    EXPECT_LT(dlg.Engine().m_dPathDiffFront, 0);
    EXPECT_STREQ(TurnDirection(PixelsToMove(dlg.Engine().m_dPathDiffFront)), "CW");
}
