#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/ui/UiRegistry.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "imaging/TifWriter.h"
#include "testtools/StarTestPicture.h"
#include "testtools/ui/PictureView.h"
#include "testtools/ui/StarTestDialog.h"
#include "testtools/ui/TonalResolutionDialog.h"

namespace {

std::string PdfText(const QString& szPdf)
{
    CTempDir dir;
    const CRunResult r = RunProgram("/usr/bin/pdftotext", {"-layout", szPdf.toStdString(), dir.File("out.txt")});
    return r.m_iExit == 0 ? ReadFileBytes(dir.File("out.txt")) : std::string();
}

std::string WriteStarSample(const CTempDir& dir)
{
    const std::string szPath = dir.File("StarTest_0815.txt");
    CStarTestEngine::WriteFile(szPath, MakeSampleStarTestSweeps(), 9, 2);
    return szPath;
}

QRgb Rgb(uint32_t colorRef)
{
    return qRgb(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

} // namespace

TEST(ZoomChartUi, CurvePixelsLieWhereTheScaleSaysAndClicksZoom)
{
    CHorizontalZoomDouble_Control c;
    c.resize(402, 302);
    c.InitControl();
    c.AddCurve("flat", std::vector<double>(100, 2.5), 0xFF0000);
    std::vector<uint32_t> colors(100, 0);
    colors[10] = 0x00FFFF;
    c.SetRowColors(colors);
    c.SetRowCount(100);
    c.Redraw();
    // plot 40..361 x 30..271: value 2.5 at 150.5 - 2.5 * 241 / 10 = 90.25
    const QImage& s = c.Surface();
    EXPECT_EQ(s.pixel(200, 90), Rgb(0xFF0000));
    EXPECT_EQ(s.pixel(200, 150), qRgb(0, 0, 0));             // zero line at the middle
    EXPECT_EQ(s.pixel(200, 30 + 241 / 20), Rgb(0xC8C8C8));    // first grid level
    EXPECT_EQ(s.pixel(72, 200), Rgb(0x00FFFF)); // line start of row 10 at 40 + 10 * 321 / 100

    c.OnLButtonDown(1, 200, 200);
    c.OnLButtonUp(0, 200, 200); // a click in the plot: zoom x2 at row 50
    EXPECT_EQ(c.Zoom().m_iZoom, 2);
    EXPECT_EQ(c.Zoom().Visible(), 50);
    EXPECT_EQ(c.Zoom().m_iCentre, 49); // (200 - 40) * 100 / 321
    c.OnLButtonUp(0, 5, 30); // legend line 0 toggles the curve
    EXPECT_FALSE(c.Curves()[0].m_bEnabled);
    c.OnRButtonUp(0, 200, 200);
    EXPECT_EQ(c.Zoom().m_iZoom, 1);
    for (int i = 0; i < 5; ++i) c.OnLButtonUp(0, 200, 200);
    EXPECT_EQ(c.Zoom().m_iZoom, 8); // 100/16 would leave fewer than 10 rows
    QTest::keyClick(&c, Qt::Key_Home);
    EXPECT_EQ(c.Zoom().m_iZoom, 1);
    QTest::keyClick(&c, Qt::Key_Plus);
    QTest::keyClick(&c, Qt::Key_Right);
    EXPECT_EQ(c.Zoom().First(), 50);
    // dragging right by 80 pixels pulls earlier rows in: 80 * 50 / 321 = 12 rows, no zoom
    c.OnLButtonDown(1, 220, 200);
    c.OnMouseMove(1, 300, 200);
    c.OnLButtonUp(0, 300, 200);
    EXPECT_EQ(c.Zoom().m_iZoom, 2);
    EXPECT_EQ(c.Zoom().m_iCentre, 75 - 12);
}

TEST(ZoomChartUi, LongCurveNamesStayOutOfThePlot)
{
    // Whatever the names, the plot's pixels are those of a chart without them.
    for (const QSize sz : {QSize(402, 302), QSize(800, 500)}) {
        QImage images[2];
        for (int k = 0; k < 2; ++k) {
            CHorizontalZoomDouble_Control c;
            c.resize(sz);
            c.InitControl();
            int i = 0;
            for (const char* szName : {"X Line Width", "Scan Speed", "Y Vibration"}) {
                c.AddCurve(k ? szName : "", std::vector<double>(100, 1.0 + i), 0xFF0000u >> (8 * i));
                ++i;
            }
            c.SetRowCount(100);
            c.Redraw();
            images[k] = c.Surface();
        }
        const CPlotRect plot = ComputePlotRect(sz.width() + 1, sz.height() + 1);
        const QRect inside(plot.m_iLeft, plot.m_iTop, plot.Width(), plot.Height());
        EXPECT_EQ(images[0].copy(inside), images[1].copy(inside)) << sz.width();
        EXPECT_NE(images[0].copy(0, inside.top(), inside.left(), 40), images[1].copy(0, inside.top(), inside.left(), 40))
            << "the names are written";
    }
}

TEST(StarTestUi, LoadShowsTheAveragedSweepAndPrints)
{
    CTempDir dir;
    const std::string szPath = WriteStarSample(dir);
    CMessageRecorder rec;
    CStarTest_Dialog dlg;
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_TRUE(rec.Texts().empty());
    EXPECT_EQ(dlg.Chart()->Curves().size(), 2u); // the first averaged sweep: X-vib-avg and Std Dev
    EXPECT_EQ(dlg.Chart()->SweepListText(6), "300 c<");
    EXPECT_EQ(dlg.Chart()->SweepListText(0), "300 c ");

    dlg.SelectSweep(4);
    EXPECT_EQ(dlg.Chart()->Curves().size(), 9u);
    EXPECT_EQ(dlg.Chart()->Curves()[0].m_szName, "X-vib");

    QTemporaryDir tmp;
    ASSERT_TRUE(dlg.Chart()->PrintToPdf(tmp.filePath("s.pdf")));
    const std::string szText = PdfText(tmp.filePath("s.pdf"));
    if (szText.empty()) GTEST_SKIP() << "pdftotext not available";
    EXPECT_NE(szText.find("ScanSpeed 4"), std::string::npos);
    EXPECT_NE(szText.find("36.00"), std::string::npos);
    EXPECT_NE(szText.find("Resolution 300"), std::string::npos);
}

TEST(StarTestUi, PickWithoutRawPictureSaysSoAndMarksWhenOneIsGiven)
{
    CTempDir dir;
    const std::string szPath = WriteStarSample(dir);
    CMessageRecorder rec;
    CStarTest_Dialog dlg;
    dlg.m_bShowPictureView = false;
    dlg.LoadFile(szPath);
    // through the chart: the pick button, then a row in the plot
    dlg.SelectSweep(1);
    CA2_StarTest_Control* c = dlg.Chart();
    const QRect button = c->PickButtonRect();
    ASSERT_TRUE(button.isValid());
    c->OnLButtonUp(0, button.center().x(), button.center().y());
    ASSERT_TRUE(c->IsPickMode());
    const CPlotRect plot = c->Plot();
    c->OnLButtonUp(0, plot.m_iLeft + plot.Width() / 2, plot.m_iTop + 5);
    EXPECT_FALSE(c->IsPickMode());
    EXPECT_EQ(c->PickResult()[0], 1);
    EXPECT_EQ(c->PickResult()[1], c->Zoom().RowAt(plot.m_iLeft + plot.Width() / 2, plot));
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_EQ(rec.Texts()[0], "No raw picture found for this sweep.\n" + dir.File("StarTest_0815_Sweep02.tif"));

    // the marks themselves, on a gray picture of the sweep's size
    const StarTestSweep& s = dlg.Engine().m_Sweeps[1];
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 12.0, s.m_iLength / 100.0, PIC_GRAY, 200, 200, 200));
    ASSERT_EQ(pic.m_iHeight, s.m_iLength);
    MarkStarTestPicture(s, pic);
    ASSERT_TRUE(pic.IsRGB());
    int r = 0, g = 0, b = 0;
    const int32_t iRow = 100;
    pic.GetPixel(int32_t(std::lround(s.m_dXLinePos[iRow])), iRow, r, g, b);
    EXPECT_EQ(b, 255);
    int32_t x = 0, y = 0;
    StarTestPickCentre(s, pic, iRow, x, y);
    EXPECT_EQ(y, iRow);
    EXPECT_EQ(x, int32_t(std::lround(s.m_dXLinePos[iRow])));
    StarTestPickCentre(s, pic, -1, x, y);
    EXPECT_EQ(x, 600);

    // with the raw picture next to the result file the pick finds and marks it
    ASSERT_TRUE(pic.CreateFilled(100, 12.0, s.m_iLength / 100.0, PIC_GRAY, 200, 200, 200));
    ASSERT_EQ(SavePictureAsTiff(pic, dir.File("StarTest_0815_Sweep02.tif")), 0u);
    rec.Clear();
    CPicture marked;
    ASSERT_TRUE(dlg.PrepareMarkedPicture(1, marked, x, y)) << (rec.Texts().empty() ? "" : rec.Texts()[0]);
    EXPECT_TRUE(rec.Texts().empty());
    marked.GetPixel(int32_t(std::lround(s.m_dXLinePos[iRow])), iRow, r, g, b);
    EXPECT_EQ(b, 255);
    dlg.OnPick(1, iRow);
    EXPECT_EQ(dlg.m_iPickCentreY, iRow);
    EXPECT_EQ(dlg.Engine().m_iAnalysed, 1);

    WriteFileBytes(dir.File("StarTest_0815_Sweep03.tif"), "II*\0garbage");
    rec.Clear();
    EXPECT_FALSE(dlg.PrepareMarkedPicture(2, marked, x, y));
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_EQ(rec.Texts()[0].rfind(dir.File("StarTest_0815_Sweep03.tif") + ": the picture cannot be read", 0), 0u);
}

TEST(StarTestUi, HostileFileShowsOneMessageNamingIt)
{
    CTempDir dir;
    const std::string szPath = dir.File("bad.txt");
    WriteFileBytes(szPath, "[StarTest]\nVersion = 1\nSweep = 1\nBEGIN_DATA\nLength = -1\n");
    CMessageRecorder rec;
    CStarTest_Dialog dlg;
    dlg.LoadFile(szPath);
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_EQ(rec.Texts()[0], szPath + ": Length -1 is not valid\n" + szPath + ": the file holds no sweep");
    EXPECT_EQ(rec.Captions()[0], "Star test");
    EXPECT_TRUE(dlg.Engine().m_Sweeps.empty());
}

TEST(TonalUi, ChecksViewsTextAndTwoPagePrint)
{
    CTempDir dir;
    const std::string szPath = dir.File("tonal.txt");
    ASSERT_TRUE(MakeSampleTonalResult().Write(szPath));
    CMessageRecorder rec;
    CTonalResolutionDialog dlg;
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_TRUE(rec.Texts().empty());
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    ASSERT_EQ(dlg.Text()->Lines().size(), 13u);
    EXPECT_EQ(dlg.Text()->Lines()[0].m_szText, "Dynamic range");

    dlg.Radio(2)->setChecked(true);
    EXPECT_EQ(dlg.Flags().m_iView, 2);
    dlg.Check(10005)->setChecked(false);
    EXPECT_FALSE(dlg.Flags().m_bGreen);
    dlg.Check(14014)->setChecked(true);
    EXPECT_TRUE(dlg.Flags().m_bText);
    EXPECT_TRUE(dlg.Chart()->isHidden());
    EXPECT_FALSE(dlg.Text()->isHidden());

    QTemporaryDir tmp;
    ASSERT_TRUE(dlg.PrintToPdf(tmp.filePath("t.pdf")));
    const std::string szText = PdfText(tmp.filePath("t.pdf"));
    if (szText.empty()) GTEST_SKIP() << "pdftotext not available";
    // a PDF reads from the text page; the chart page (pictures only) follows
    const size_t iPageBreak = szText.find('\f');
    const size_t iScanner = szText.find("Scanner:          Zel Wide 3600");
    ASSERT_NE(iPageBreak, std::string::npos);
    ASSERT_NE(iScanner, std::string::npos);
    EXPECT_LT(iScanner, iPageBreak);
    EXPECT_NE(szText.find("Dynamic range"), std::string::npos);
    EXPECT_NE(szText.find("GS23"), std::string::npos);

    const std::string szCopy = dir.File("copy.txt");
    ASSERT_TRUE(dlg.SaveTo(szCopy));
    EXPECT_EQ(ReadFileBytes(szCopy), ReadFileBytes(szPath));
}

TEST(TonalUi, BestFitPointsLieWhereTheScaleSays)
{
    CTempDir dir;
    const std::string szPath = dir.File("tonal.txt");
    const TonalResult r = MakeSampleTonalResult();
    ASSERT_TRUE(r.Write(szPath));
    QImage img;
    std::string szError;
    const FileRenderer* pRender = CUiRegistry::Instance().FindRenderer("tonal-resolution");
    ASSERT_NE(pRender, nullptr);
    ASSERT_TRUE((*pRender)(szPath, "", QSize(641, 481), img, szError)) << szError;
    EXPECT_EQ(img.size(), QSize(641, 481));

    // red alone: the point of patch 10 carries a cross whose arms reach 3 pixels
    TonalResult back;
    ASSERT_TRUE(back.Read(szPath, false));
    CTonalViewFlags flags;
    flags.m_bGreen = flags.m_bBlue = false;
    flags.m_bBestFit = false;
    CTonalResolution_Control c;
    c.resize(642, 482);
    c.SetData(&back, &flags);
    c.InitControl();
    const CPlotRect plot = ComputePlotRect(642, 482);
    const TonalPatch& p = back.m_Patches[10];
    const int32_t x = TonalMapX(p.m_dL, plot), y = TonalMapY(p.m_dR, TONAL_VIEW_BEST_FIT, plot);
    EXPECT_EQ(c.Surface().pixel(x - 3, y), qRgb(255, 0, 0));
    EXPECT_EQ(c.Surface().pixel(x, y + 3), qRgb(255, 0, 0));
    EXPECT_NE(c.Surface().pixel(x - 3, y - 2), qRgb(255, 0, 0));

    TonalResult none;
    EXPECT_EQ(none.TextResultLines()[0], "No data to display.");
    EXPECT_FALSE((*pRender)(dir.File("missing.txt"), "", QSize(), img, szError));
    EXPECT_NE(szError.find("missing.txt"), std::string::npos);
}

TEST(PictureViewUi, ClickZoomsDragSelectsAndOutsideShowsDashes)
{
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 2.0, 1.0, PIC_RGB, 0, 0, 0));
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 200; ++x) pic.SetPixel(x, y, x, y, 7);
    CPictureView_Dialog dlg;
    dlg.SetPicture(&pic);
    dlg.Initialise();
    CPictureView_Control* v = dlg.PictureControl();
    const int32_t W = v->SurfaceWidth(), H = v->SurfaceHeight();
    ASSERT_GT(W, 200);
    EXPECT_FALSE(dlg.MarkedCheck()->isEnabled());

    // mouse over the picture's middle, then far outside
    const int32_t xc = (W + 1) / 2, yc = (H + 1) / 2; // over picture pixel (100, 50) whatever the parity
    v->OnMouseMove(0, xc, yc);
    std::vector<std::string> info = dlg.InfoControl()->InfoLines();
    EXPECT_EQ(info[0], "X: 100");
    EXPECT_EQ(info[1], "Y: 50");
    EXPECT_EQ(info[2], "R: 100");
    EXPECT_EQ(info[4], "B: 7");
    EXPECT_EQ(info[5], "1");
    v->OnMouseMove(0, 1, 1);
    info = dlg.InfoControl()->InfoLines();
    EXPECT_EQ(info[0], "X: -||-");
    EXPECT_EQ(info[3], "G: -||-");
    // the picture pixel under the middle of the control is drawn there
    EXPECT_EQ(v->Surface().pixel(xc + 5, yc + 3), qRgb(105, 53, 7));

    // a 1-pixel wobble is still a click: zoom in at that point
    v->OnLButtonDown(1, xc + 20, yc);
    v->OnLButtonUp(0, xc + 21, yc + 1);
    EXPECT_DOUBLE_EQ(v->Geometry().m_dZoom, 2.0);
    EXPECT_NEAR(v->Geometry().m_dCentreX, 100 + (xc + 21 - W / 2.0), 1e-9);
    EXPECT_FALSE(v->HasSelection());
    // a 2-pixel move selects instead
    v->OnLButtonDown(1, W / 2, H / 2);
    v->OnLButtonUp(0, W / 2 + 2, H / 2 + 10);
    EXPECT_DOUBLE_EQ(v->Geometry().m_dZoom, 2.0);
    ASSERT_TRUE(v->HasSelection());
    EXPECT_EQ(v->Selection().width(), 2);
    v->OnRButtonUp(0, 10, 10);
    EXPECT_DOUBLE_EQ(v->Geometry().m_dZoom, 1.0);

    CPicture marked;
    ASSERT_TRUE(marked.CreateFilled(100, 2.0, 1.0, PIC_GRAY, 9, 9, 9));
    CPictureView_Dialog dlg2;
    dlg2.SetPicture(&pic);
    dlg2.SetMarkedPicture(&marked);
    dlg2.SetPresetCentre(20, 30, 4);
    dlg2.Initialise();
    EXPECT_TRUE(dlg2.MarkedCheck()->isEnabled());
    EXPECT_TRUE(dlg2.MarkedCheck()->isChecked());
    EXPECT_DOUBLE_EQ(dlg2.PictureControl()->Geometry().m_dZoom, 4.0);
    EXPECT_DOUBLE_EQ(dlg2.PictureControl()->Geometry().m_dCentreX, 20.0);
}

TEST(RegistrationUi, ViewersAndRenderersAreKnown)
{
    for (const char* sz : {"CStarTest_Dialog", "CTonalResolutionDialog", "CPictureView_Dialog"})
        EXPECT_NE(CUiRegistry::Instance().FindViewer(sz), nullptr) << sz;
    CTempDir dir;
    QImage img;
    std::string szError;
    ASSERT_TRUE((*CUiRegistry::Instance().FindRenderer("star-test"))(WriteStarSample(dir), "", QSize(), img, szError));
    EXPECT_EQ(img.size(), QSize(800, 500)); // the default size
}

TEST(StarTestUi, LabelsStayInTheMarginsAtUsualSizes)
{
    CTempDir dir;
    const std::string szPath = WriteStarSample(dir);
    // the render default, the dialog's chart, and a narrow chart
    for (const QSize sz : {QSize(800, 500), QSize(876, 546), QSize(600, 400)}) {
        QImage img;
        std::string szError;
        ASSERT_TRUE(RenderStarTestFile(szPath, sz.width(), sz.height(), img, szError)) << szError;
        const CPlotRect plot = ComputePlotRect(sz.width() + 1, sz.height() + 1);
        // text is black; inside the plot beside the labels only grid, curves
        // and line starts are drawn, none of them black
        auto blackIn = [&](int x0, int x1, int y0, int y1) {
            int n = 0;
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) n += img.pixel(x, y) == qRgb(0, 0, 0);
            return n;
        };
        const int iLine = sz.height() / 25;
        EXPECT_EQ(blackIn(plot.m_iRight - 30, plot.m_iRight - 1, plot.m_iTop + 1, plot.m_iTop + iLine), 0) << sz.width();
        EXPECT_EQ(blackIn(plot.m_iRight - 30, plot.m_iRight - 1, plot.m_iBottom - iLine, plot.m_iBottom - 1), 0)
            << sz.width();
        // the sweep list (nine lines from half the height) left of the plot
        EXPECT_EQ(blackIn(plot.m_iLeft + 1, plot.m_iLeft + 30, sz.height() / 2, sz.height() / 2 + 9 * iLine), 0)
            << sz.width();
        // and the labels are there, right of the plot and left of it
        EXPECT_GT(blackIn(plot.m_iRight + 1, sz.width() - 1, plot.m_iTop, plot.m_iTop + iLine), 0) << sz.width();
        EXPECT_GT(blackIn(0, plot.m_iLeft - 1, sz.height() / 2, sz.height() / 2 + iLine), 0) << sz.width();
    }
}

TEST(TonalUi, SaveOffersACorrectionTheFileCouldNotTake)
{
    CTempDir dir;
    TonalResult r = MakeSampleTonalResult();
    r.m_iVersion = 1;
    r.m_Patches[2].m_iSumGG = uint32_t(std::llround(double(r.m_Patches[2].m_iSumG) * r.m_Patches[2].m_iSumG /
                                                    r.m_Patches[2].m_iN + 0.01 * (r.m_Patches[2].m_iN - 1)));
    r.Compute();
    ASSERT_TRUE(TonalResult::NeedsRepair(r));
    ASSERT_TRUE(r.Write(dir.File("short.txt")));
    const std::string szLong = dir.File(std::string(250, 'e')); // no room for "_Original"
    std::filesystem::rename(dir.File("short.txt"), szLong);
    CMessageRecorder rec;
    CTonalResolutionDialog dlg;
    ASSERT_TRUE(dlg.LoadFile(szLong));
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_TRUE(dlg.SaveButton()->isEnabled());
    ASSERT_TRUE(dlg.SaveTo(dir.File("corrected.txt")));
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    TonalResult back;
    ASSERT_TRUE(back.Read(dir.File("corrected.txt"), false));
    EXPECT_EQ(back.m_Patches[2].m_iN, r.m_Patches[2].m_iN - 8);
}

TEST(StarTestUi, PickingASweepAnalysesItFromItsPictureAndKeepsTheZoom)
{
    CTempDir dir;
    const std::string szPath = WriteStarSample(dir);
    CMessageRecorder rec;
    CStarTest_Dialog dlg;
    dlg.m_bShowPictureView = false;
    dlg.LoadFile(szPath);
    dlg.SelectSweep(1);
    const int32_t n = dlg.Engine().m_Sweeps[1].m_iLength;
    // clean 3-pixel diagonals, 150 rows apart, nothing shaking
    CPicture pic;
    ASSERT_TRUE(pic.CreateFilled(100, 12.0, n / 100.0, PIC_GRAY, 255, 255, 255));
    for (int32_t r = 0; r < n; ++r)
        for (int32_t c = 200; c < 1200 + n; c += 150)
            for (int32_t x = c - r - 1; x <= c - r + 1; ++x) pic.SetPixel(x, r, 0, 0, 0);
    ASSERT_EQ(SavePictureAsTiff(pic, dir.File("StarTest_0815_Sweep02.tif")), 0u);

    dlg.Chart()->Zoom().ZoomIn(900);
    const CZoomWindow zoom = dlg.Chart()->Zoom();
    dlg.OnPick(1, 900);
    EXPECT_TRUE(rec.Texts().empty());
    EXPECT_EQ(dlg.Engine().m_iAnalysed, 1);
    const StarTestSweep& s = dlg.Engine().m_Sweeps[1];
    EXPECT_NEAR(s.m_dXLinePos[900], 950 - 900, 0.01); // the line c = 950, followed since it came in at row 801
    EXPECT_LT(s.m_dAppFct, 0.01);                       // straight lines do not vibrate
    EXPECT_EQ(dlg.Chart()->Zoom().m_iZoom, zoom.m_iZoom);
    EXPECT_EQ(dlg.Chart()->Zoom().m_iCentre, zoom.m_iCentre);
}
