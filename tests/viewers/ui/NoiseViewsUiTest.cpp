// The noise dialogs on real widgets: the limit and its message, read-outs per
// colour, the marks on rendered pixels, Save and Load, units, printing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <algorithm>

#include "app/ui/UiRegistry.h"
#include "datafiles/Settings.h"
#include "platform/Messages.h"
#include "support/ProgramFolder.h"
#include "support/TestSupport.h"
#include "viewers/ViewerTestFiles.h"
#include "viewers/ui/NoiseViews.h"

namespace {

// A colour noise test of even channels.
std::string EvenNoise(int32_t iWidth, uint8_t r, uint8_t g, uint8_t b, uint32_t uModel)
{
    const size_t n = static_cast<size_t>(iWidth);
    return OldNoise(true, iWidth, std::string(n, char(r)) + std::string(n, char(g)) + std::string(n, char(b)), uModel,
                    "ZelWide1");
}

// PDF text extraction does not keep runs of blanks: compare with single blanks.
std::string Squeeze(const std::string& sz)
{
    std::string out;
    for (char c : sz)
        if (!(c == ' ' && !out.empty() && out.back() == ' '))
            out += c;
    return out;
}

CNoiseRecord Record(std::vector<uint8_t> green)
{
    CNoiseRecord rec;
    rec.m_iWidth = static_cast<int32_t>(green.size());
    rec.AllocateChannels();
    rec.m_Green = std::move(green);
    rec.ComputeAverages();
    return rec;
}

}  // namespace

TEST(NoiseCheckUi, LimitFromTheModelAndAveragesPerColour)
{
    CProgramFolder settings({{"Fct_tst6.ini", "[0x36C]\nNoiseTest=7\n"}});
    CTempDir dir;
    const std::string szPath = dir.File("old.con");
    WriteFileBytes(szPath, EvenNoise(500, 10, 20, 30, 0x36C));
    CMessageRecorder recorder;
    CNCTest_Dialog dlg;
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(dlg.LimitText(), "Limit = 7%");
    EXPECT_EQ(dlg.AverageText(), "Avg = 10%");
    for (QPushButton* p : dlg.findChildren<QPushButton*>())
        if (p->text() == "Blue")
            p->click();
    EXPECT_EQ(dlg.AverageText(), "Avg = 30%");

    // The scroll bar spans 0..10000 over the scan line: zoomed in, it moves the visible samples.
    QScrollBar* pBar = dlg.ScrollBar();
    EXPECT_EQ(pBar->maximum() + pBar->pageStep(), 10000);
    QTest::mouseClick(dlg.Graph(), Qt::LeftButton, {}, QPoint(dlg.Graph()->width() - 1, 10));
    EXPECT_EQ(dlg.Graph()->m_Zoom.m_iZoom, 2);
    EXPECT_EQ(pBar->pageStep(), 5000);
    pBar->setValue(0);
    EXPECT_EQ(dlg.Graph()->m_Zoom.First(), 0);
    pBar->setValue(pBar->maximum());
    EXPECT_EQ(dlg.Graph()->m_Zoom.Last(), 500);

    // Another model without a limit: the message, and the limit stays.
    WriteFileBytes(szPath, EvenNoise(500, 10, 20, 30, 0x99));
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"Noise Test Value not found in Fct_Tst6.INI."});
    EXPECT_EQ(dlg.LimitText(), "Limit = 7%");

    // Its own file dialog only takes "[Noise Test]" files, which bring the limit they were judged against.
    recorder.Clear();
    EXPECT_FALSE(dlg.ChooseFile(szPath));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"This file is not a Noise Test file.\nExiting."});
    CNoiseRecord rec;
    rec.m_iWidth = 200;
    rec.m_iNoiseLimit = 6;
    rec.AllocateChannels();
    ASSERT_TRUE(rec.WriteNoiseFile(dir.File("new.con")));
    recorder.Clear();
    ASSERT_TRUE(dlg.ChooseFile(dir.File("new.con")));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(dlg.LimitText(), "Limit = 6%");
}

TEST(NoiseTestUi, MarksOnTheRenderedPixels)
{
    // 400 samples at 200, one dip of 150 at sample 99, one peak of 230 at 299.
    std::vector<uint8_t> g(400, 200);
    g[99] = 150;
    g[299] = 230;
    const CNoiseRecord rec = Record(g);
    CNoiseZoom zoom;
    zoom.Reset(400);
    CNoiseGraphOptions options;
    options.m_iColor = 1;
    const int W = 800, H = 512;
    QImage image(W, H, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        PaintNoiseGraph(painter, QSize(W, H), rec, zoom, options);
    }
    const CNoiseMarks m = FindNoiseMarks(g, 1, W, H, 200, 1, NOISE_UNIT_INCH, rec.m_dWidthFactor);
    ASSERT_EQ(m.m_Marks.size(), 2u);
    const QRgb green = qRgb(0, 255, 0);
    for (const CNoiseMark& k : m.m_Marks) {
        SCOPED_TRACE(k.m_iIndex);
        // Triangle rows: row r spans x - (r - 1) .. x + (r - 1) at y + r.
        for (int r : {1, 10, 19}) {
            EXPECT_EQ(image.pixel(k.m_iX - (r - 1), k.m_iY + r), green);
            EXPECT_EQ(image.pixel(k.m_iX + (r - 1), k.m_iY + r), green);
            EXPECT_NE(image.pixel(k.m_iX + r + 2, k.m_iY + r), green);
        }
    }
    // The three band lines, away from the curve and the marks.
    EXPECT_EQ(image.pixel(600, m.m_iYAverage), green);
    EXPECT_EQ(image.pixel(600, m.m_iYLow), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(600, m.m_iYMirror), qRgb(255, 0, 0));
    // The dip's label is written under it, centred: something dark around (x, y + 22..34).
    bool bText = false;
    for (int y = m.m_Marks[0].m_iY + 22; y < m.m_Marks[0].m_iY + 36; ++y)
        for (int x = m.m_Marks[0].m_iX - 12; x <= m.m_Marks[0].m_iX + 12; ++x)
            bText = bText || qGray(image.pixel(x, y)) < 100;
    EXPECT_TRUE(bText);
}

TEST(NoiseTestUi, RescanTakesANoiseTestOnTheScanner)
{
    CTempDir dir;
    const std::string szScenario = dir.File("scenario.ini");
    WriteFileBytes(szScenario, "[Device]\nTimeScale=200\n[Sheet]\nKind=white\n[Noise]\nSigma=3\n");
    CMessageRecorder recorder;
    CNoiseTest_SM_Dialog dlg;
    dlg.show();
    const auto rescan = [&] {
        const CScopedEnv sim("LUMORA_SIM_CONFIG", szScenario.c_str());
        dlg.RescanButton()->click();
    };
    rescan();
    EXPECT_TRUE(recorder.Texts().empty()) << (recorder.Texts().empty() ? "" : recorder.Texts().front());
    const CNoiseRecord& rec = dlg.Record();
    ASSERT_GT(rec.m_iWidth, 1000);
    EXPECT_TRUE(rec.m_bColorScanner);
    // Sensor noise of 3 levels on a light field is one or two percent of the
    // signal for most pixels; the few covered ones at the camera ends are far
    // noisier relative to their dark level.
    std::vector<uint8_t> sorted = rec.m_Green;
    std::sort(sorted.begin(), sorted.end());
    const int32_t iMedian = sorted[sorted.size() / 2];
    EXPECT_GE(iMedian, 1);
    EXPECT_LE(iMedian, 3);
    EXPECT_GT(sorted.back(), 10);
    EXPECT_GT(rec.Average(1), 0);
    EXPECT_FALSE(rec.m_szScannerName.empty());

    // A noise-free field cannot be told from stuck camera edges: the rescan
    // says so instead of showing a flat zero line.
    WriteFileBytes(szScenario, "[Device]\nTimeScale=200\n");
    rescan();
    ASSERT_FALSE(recorder.Texts().empty());
    EXPECT_NE(recorder.Texts().back().find("CIS noise"), std::string::npos) << recorder.Texts().back();
}

TEST(NoiseTestUi, SaveLoadUnitsAndRescan)
{
    CProgramFolder settings({{"Probx6.ini", "[Miscellaneous]\nUnit=cm\n"}});
    CTempDir dir;
    CMessageRecorder recorder;
    CNoiseTest_SM_Dialog dlg;
    dlg.show();
    EXPECT_TRUE(dlg.RescanButton()->isEnabled());
    EXPECT_EQ(dlg.Control()->m_Options.m_iUnit, NOISE_UNIT_CM);
    for (QRadioButton* p : dlg.findChildren<QRadioButton*>())
        if (p->text() == "c&m") {
            EXPECT_TRUE(p->isChecked());
        }

    // A colour file through Save and Load.
    CNoiseRecord rec;
    rec.m_szScannerName = "Zel";
    rec.m_bColorScanner = true;
    rec.m_iWidth = 200;
    rec.m_iNoiseLimit = 5;
    rec.AllocateChannels();
    std::fill(rec.m_Red.begin(), rec.m_Red.end(), 11);
    std::fill(rec.m_Green.begin(), rec.m_Green.end(), 22);
    std::fill(rec.m_Blue.begin(), rec.m_Blue.end(), 33);
    ASSERT_TRUE(rec.WriteNoiseFile(dir.File("a.con")));
    ASSERT_TRUE(dlg.LoadFile(dir.File("a.con")));
    EXPECT_EQ(dlg.AverageText(), "11");
    EXPECT_EQ(dlg.LimitText(), "5%");
    for (QRadioButton* p : dlg.findChildren<QRadioButton*>()) {
        if (p->text() == "Gra&y") {
            EXPECT_FALSE(p->isEnabled());  // no gray channel in this file
        }
        if (p->text() == "&Blue")
            p->click();
    }
    EXPECT_EQ(dlg.AverageText(), "33");
    ASSERT_TRUE(dlg.SaveFile(dir.File("b.con")));
    CNoiseRecord back;
    ASSERT_TRUE(back.ReadNoiseFile(dir.File("b.con")));
    EXPECT_EQ(back.m_Blue, rec.m_Blue);
    EXPECT_EQ(back.m_iNoiseLimit, 5);

    EXPECT_FALSE(dlg.LoadFile(dir.File("missing.con")));
    ASSERT_EQ(recorder.Texts().size(), 1u);
    EXPECT_NE(recorder.Texts()[0].find("missing.con"), std::string::npos);

    const std::string szPdf = dir.File("nt.pdf");
    ASSERT_TRUE(dlg.PrintToPdf(QString::fromStdString(szPdf)));
    EXPECT_NE(RunProgram("/usr/bin/pdftotext", {szPdf, "-"}).m_szOut.find("Noise Test"), std::string::npos);
}

TEST(NoiseCheckUi, GraphPlacementLimitBandAndPrintout)
{
    CProgramFolder settings({{"Fct_tst6.ini", "[0x36C]\nNoiseTest=10\n"}});
    CTempDir dir;
    WriteFileBytes(dir.File("old.con"), EvenNoise(400, 200, 100, 50, 0x36C));
    CMessageRecorder recorder;
    CNCTest_Dialog dlg;
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(dir.File("old.con")));
    // The graph keeps its place at (20, 40) of the client area, 40 pixels less each way, at any size.
    for (QSize size : {QSize(900, 520), QSize(640, 400)}) {
        dlg.resize(size);
        QApplication::processEvents();
        const QWidget* pClient = dlg.Graph()->parentWidget();
        EXPECT_EQ(dlg.Graph()->geometry(), QRect(20, 40, pClient->width() - 40, pClient->height() - 40));
    }
    // The limit band: red lines at average -+ 10 % (red average 200: levels 180 and 220).
    const QImage image = dlg.Graph()->grab().toImage();
    const int H = image.height(), x = image.width() / 2;
    for (int iLevel : {180, 220})
        EXPECT_EQ(image.pixel(x, (255 - iLevel) * H / 256), qRgb(255, 0, 0)) << iLevel;
    EXPECT_NE(image.pixel(x, (255 - 150) * H / 256), qRgb(255, 0, 0));

    const std::string szPdf = dir.File("nc.pdf");
    ASSERT_TRUE(dlg.PrintToPdf(QString::fromStdString(szPdf)));
    const std::string szText = Squeeze(RunProgram("/usr/bin/pdftotext", {"-layout", szPdf, "-"}).m_szOut);
    for (const char* sz : {"Noise Check", "Scanner Type : ZelWide1", "Date :", "Serial Number :", "Limit : 10%"})
        EXPECT_NE(szText.find(sz), std::string::npos) << sz << "\n" << szText;
    EXPECT_NE(RunProgram("/usr/bin/pdfinfo", {szPdf}).m_szOut.find("Printing Noise Check"), std::string::npos);
}
