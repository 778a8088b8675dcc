// The light profile viewers on real widgets: pixels of the drawn graph and
// view at positions computed from the drawing rules, the dialogs' buttons,
// modes and messages, printing to PDF, exports and the registry entries.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app/ui/UiRegistry.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "support/ViewerStandIn.h"
#include "viewers/ViewerTestFiles.h"
#include "widgets/ui/LPFControle.h"
#include "viewers/ui/LPFDialog.h"
#include "viewers/ui/LPFScannerSettingsDialog.h"
#include "viewers/ui/LPFViewDialog.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGray = qRgb(100, 100, 100);
const QRgb kGrid = qRgb(150, 150, 150);

std::vector<uint8_t> Saw(int n)
{
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(50 + i % 100);
    return v;
}

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

struct CPixel {
    int x, y;
    QRgb c;
    bool bIs = true; // false: any colour but c
};

void ExpectPixels(const QImage& image, std::initializer_list<CPixel> pixels)
{
    for (const CPixel& p : pixels)
        EXPECT_EQ(At(image, p.x, p.y) == p.c, p.bIs) << p.x << "," << p.y << ": " << std::hex << At(image, p.x, p.y);
}

std::string HeaderBytes(const std::string& szKeys, const std::string& data = std::string(300, '\x60'))
{
    return ConTestFile("Light Profile", szKeys, data);
}

} // namespace

TEST(LpfGraphPainting, ProfileGridAndMarkersAtComputedPixels)
{
    const std::vector<uint8_t> v = Saw(200);
    CLPFGraph g;
    g.SetData(v.data(), 200, LPF_CHANNEL_GRAY);
    g.ZoomAll();
    g.SetMarkers(60, -1, 120, -1);
    const QImage image = RenderLPFGraph(g, QSize(200, 256));
    // One sample per column: its level's pixel is drawn, the one above is not.
    for (int x : {3, 37, 99, 150}) {
        const int y = CLPFGraph::LevelY(v[static_cast<size_t>(x)], 256);
        EXPECT_EQ(At(image, x, y), kGray) << x;
        EXPECT_NE(At(image, x, y - 1), kGray) << x;
    }
    ExpectPixels(image, {
        {1, 236, kGrid}, {0, 236, kWhite}, {199, 236, kWhite}, // grid at level 20 from x = 1 to W - 1
        {2, 156, kGrid}, {2, 157, kGrid}, {2, 158, kWhite},    // level 100 doubled
        {60, 0, kRed}, {60, 255, kRed},                        // a solid marker over the full height
        {120, 4, kRed}, {120, 7, kRed, false}, {120, 10, kRed} // a dotted one in 5-pixel dashes every 10
    });

    // A dead pixel (level 0) still shows on the bottom row; a reference
    // joins its levels column to column.
    std::vector<uint8_t> dead(200, 128), ref(200, 64);
    dead[70] = 0;
    ref[100] = 192;
    CLPFGraph d;
    d.SetData(dead.data(), 200, LPF_CHANNEL_GRAY);
    d.SetReference(ref.data(), 200);
    d.ZoomAll();
    const QRgb kReference = qRgb(0, 0, 160);
    ExpectPixels(RenderLPFGraph(d, QSize(200, 256)), {
        {70, 255, kGray}, {71, 255, kGray, false}, {50, CLPFGraph::LevelY(64, 256), kReference},
        // the rise to 192 and the fall back
        {100, CLPFGraph::LevelY(128, 256), kReference}, {101, CLPFGraph::LevelY(128, 256), kReference}
    });
}

TEST(LpfGraphPainting, FilledSpreadAndColourModes)
{
    const std::vector<uint8_t> v(100, 8); // 8 spreads to 160 in the [-32:31] view
    CLPFGraph g;
    g.SetData(v.data(), 100, LPF_CHANNEL_RED);
    g.SetDisplayMode(LPF_MODE_SIGNED32);
    g.SetCameraLetters(true);
    g.SetCameraPositions({100});
    g.ZoomAll();
    QImage image = RenderLPFGraph(g, QSize(100, 128));
    const int yCurve = CLPFGraph::LevelY(160, 128); // 48
    // Camera A's tick: red from the bottom up to level 127 (y 64), at sample 100 / 2;
    // its top pixel lies on the doubled middle grid line, drawn last.
    EXPECT_EQ(CLPFGraph::LevelY(127, 128), 64);
    ExpectPixels(image, {
        {10, 1, kBlack}, {10, yCurve - 1, kBlack}, {10, yCurve + 3, kWhite},
        {10, 8, kGrid}, {10, 64, kGrid}, {10, 65, kGrid}, // the 17 grid lines are drawn after the curve, over the black
        {50, 127, kRed}, {50, 66, kRed}, {50, 64, kGrid}, {50, 63, kRed, false},
    });

    // Separate colour arrays: each channel in its pen at its level.
    const std::vector<uint8_t> r(50, 200), gr(50, 128), b(50, 60);
    CLPFGraph c;
    c.SetColorData(r.data(), gr.data(), b.data(), 50);
    c.ZoomAll();
    image = RenderLPFGraph(c, QSize(50, 256));
    ExpectPixels(image,
                 {{25, 256 - 200, kRed}, {25, 256 - 128, qRgb(100, 255, 100)}, {25, 256 - 60, qRgb(100, 100, 255)}});
    // A highlighted range draws the rest in black.
    c.SetHighlight(30, 49);
    ExpectPixels(RenderLPFGraph(c, QSize(50, 256)), {{10, 256 - 200, kBlack}, {40, 256 - 200, kRed}});
    // The highlighted channel's name, top right, in its pure colour.
    c.SetHighlight(30, 49, LPF_CHANNEL_BLUE);
    image = RenderLPFGraph(c, QSize(400, 256));
    int iNamePixels = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 350; x < 400; ++x)
            iNamePixels += At(image, x, y) == qRgb(0, 0, 255);
    EXPECT_GT(iNamePixels, 5);
}

TEST(LpfViewPainting, ScaledViewGridStripsAndMeasuringLine)
{
    const std::vector<uint8_t> v(1000, 100);
    CLPFView view;
    view.SetData(v.data(), 1000);
    view.SetScanner(5, false, 255, 4, 8.5);
    const QImage image = RenderLPFView(view, QSize(1040, 296)); // graph 1000 x 256 at (20, 40)
    const int x = 20 + 300;
    ExpectPixels(image, {
        {x, 40 + 100, kBlack}, {x, 40 + 155, kBlack}, {x, 40 + 157, kWhite}, // above the curve, below it
        {x, 40 + 16, kWhite}, {x, 40 + 56, kWhite}, {x, 40 + 57, kWhite},    // grid 240 in the black, 200 doubled
        {20, 40 + 200, kBlack}, {520, 35, kBlack},                           // frame, middle tick
        {5, 30, qRgb(192, 192, 192)}, {1030, 200, qRgb(192, 192, 192)},      // read-out and right strip
    });
    // Where the spread between smallest and largest sample crosses a grid
    // level, the spread stays gray: the grid never hides noise.
    std::vector<uint8_t> noisy(2000);
    for (size_t i = 0; i < noisy.size(); ++i)
        noisy[i] = i % 2 ? 90 : 110; // two samples a column: each spans 90..110, across level 100
    CLPFView spread;
    spread.SetData(noisy.data(), 2000);
    spread.SetScanner(5, false, 255, 4, 8.5);
    // Level 100 inside the spread, level 200 above it in the black.
    ExpectPixels(RenderLPFView(spread, QSize(1040, 296)),
                 {{x, 40 + 156, kGray}, {x, 40 + 157, kGray}, {x, 40 + 56, kWhite}});

    view.StartMeasure(300, 250);
    view.MoveMeasure(500);
    ExpectPixels(RenderLPFView(view, QSize(1040, 296)), {{400, 250, kBlack}, {400, 251, kWhite}});
}

TEST(LpfDialog, ModesFollowTheLoadedProfile)
{
    CMessageRecorder rec;
    CLPF_Dialog dlg;
    ASSERT_TRUE(dlg.Load(SampleFile("light-profile-signed32.con")));
    auto* p32 = dlg.findChild<QRadioButton*>("modeSigned32");
    auto* pTx = dlg.findChild<QRadioButton*>("modeTx64");
    EXPECT_TRUE(p32->isChecked());
    EXPECT_FALSE(p32->isEnabled());
    EXPECT_EQ(dlg.Control()->Graph().DisplayMode(), LPF_MODE_SIGNED32);
    EXPECT_EQ(dlg.Control()->Graph().Samples()[0], CLPFGraph::ConvertSigned32(dlg.Profile().m_Data[0]));

    ASSERT_TRUE(dlg.Load(SampleFile("light-profile-color-4cam-red.con")));
    EXPECT_FALSE(p32->isChecked());
    EXPECT_TRUE(p32->isEnabled());
    EXPECT_TRUE(pTx->isEnabled());
    EXPECT_EQ(dlg.Control()->Graph().DisplayMode(), LPF_MODE_PROFILE);
    EXPECT_EQ(dlg.Control()->Graph().Samples(), dlg.Profile().m_Data);
    EXPECT_EQ(dlg.Control()->Graph().Zoom(), 1);
    EXPECT_EQ(dlg.Control()->Graph().Center(), static_cast<int64_t>(dlg.Profile().m_Data.size() / 2));
    EXPECT_EQ(dlg.windowTitle().toStdString(), "ZEL Scan 4200 C: Camera All  Color=Red");
    pTx->click();
    EXPECT_FALSE(p32->isEnabled());
    EXPECT_FALSE(pTx->isEnabled());
    EXPECT_EQ(dlg.Control()->Graph().Samples()[1000], CLPFGraph::ConvertTx64(dlg.Profile().m_Data[1000]));
    EXPECT_TRUE(rec.Texts().empty());
}

TEST(LpfDialog, MouseZoomReadOutAndKeys)
{
    CLPF_Dialog dlg;
    dlg.SetFileName(SampleFile("light-profile-mono.con"));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(20);
    CLPFControle* pCtl = dlg.Control();
    ASSERT_EQ(dlg.Profile().m_Data.size(), 3u * 2400u);
    QTest::mouseClick(pCtl, Qt::LeftButton, {}, QPoint(pCtl->width() / 2, 20));
    EXPECT_EQ(pCtl->Graph().Zoom(), 2);
    QTest::mouseClick(pCtl, Qt::RightButton, {}, QPoint(10, 20));
    EXPECT_EQ(pCtl->Graph().Zoom(), 1);
    QTest::keyClick(&dlg, Qt::Key_Plus);
    QTest::keyClick(&dlg, Qt::Key_Plus);
    EXPECT_EQ(pCtl->Graph().Zoom(), 4);
    QTest::keyClick(&dlg, Qt::Key_Home);
    EXPECT_EQ(pCtl->Graph().Zoom(), 1);
    pCtl->repaint();
    QTest::mouseMove(pCtl, QPoint(0, 10));
    auto* pLine = dlg.findChild<QLabel*>("lpfLine");
    EXPECT_EQ(pLine->text(), "0");
    EXPECT_EQ(pCtl->ReadOut(pCtl->width() / 2).toStdString(),
              std::to_string(pCtl->Graph().Column(pCtl->width() / 2, pCtl->width()).m_iFirst));
    dlg.close();
}

TEST(LpfDialog, OemTwoLocksLoadButStillOpensAHandedInFile)
{
    CTempDir dir;
    WriteFileBytes(dir.File("productinfo.ini"), "[ProductInfo]\nName=Driver\nOem=2\n");
    const CScopedEnv product("LUMORA_PRODUCT_INFO", dir.File("productinfo.ini").c_str());
    CLPF_Dialog dlg;
    dlg.SetFileName(SampleFile("light-profile-color-4cam-green.con"));
    dlg.show();
    QTest::qWait(20);
    EXPECT_FALSE(dlg.findChild<QPushButton*>("load")->isEnabled());
    EXPECT_EQ(dlg.Profile().m_iColor, 1);
    EXPECT_FALSE(dlg.Profile().m_Data.empty());
    dlg.close();
}

TEST(LpfDialog, MessagesHeaderInfoAndHandOver)
{
    CTempDir dir;
    const std::string bare = HeaderBytes("ScannerName=Bare\n");
    WriteFileBytes(dir.File("bare.con"), bare);
    CMessageRecorder rec;
    CLPF_Dialog dlg;
    ASSERT_TRUE(dlg.Load(dir.File("bare.con")));
    EXPECT_EQ(rec.Texts().size(), 7u);
    rec.Clear();
    dlg.OnHeaderInfo();
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_EQ(rec.Texts()[0], bare.substr(0, bare.size() - 300));

    CView_LPF_Dialog view;
    rec.Clear();
    ASSERT_TRUE(view.Load(dir.File("bare.con")));
    EXPECT_EQ(rec.Texts().size(), 5u);

    // Other kinds go to their viewer; the loaded profile stays.
    WriteFileBytes(dir.File("osc.con"), ConTestFile("Oscilloscope", "", "data"));
    std::string szHanded;
    {
        CViewerStandIn standIn("COscilloscope_Dialog", [&](const CViewerRequest& r) {
            szHanded = r.m_szFile;
            return 0;
        });
        EXPECT_FALSE(dlg.Load(dir.File("osc.con")));
    }
    EXPECT_EQ(szHanded, dir.File("osc.con"));
    EXPECT_EQ(dlg.Profile().m_szScannerName, "Bare");
    {
        CViewerStandIn none("COscilloscope_Dialog", ViewerRunner());
        rec.Clear();
        EXPECT_FALSE(dlg.Load(dir.File("osc.con")));
        ASSERT_EQ(rec.Texts().size(), 1u);
        EXPECT_NE(rec.Texts()[0].find("COscilloscope_Dialog"), std::string::npos);
    }
}

TEST(LpfDialog, RawdexIsUnpackedAndTheUserChoosesAgain)
{
    CTempDir dir;
    const std::string inner = HeaderBytes("ScannerName=Packed\n", std::string(64, '\x70'));
    const std::string entries = "inner_LPF.con=" + std::to_string(inner.size()) + "\n";
    WriteFileBytes(dir.File("pack.con"), ConTestFile("Rawdex", entries, inner));

    CMessageRecorder rec;
    CLPF_Dialog dlg;
    QString szAskedIn;
    dlg.SetFileChooser([&](const QString& szFolder) {
        szAskedIn = szFolder;
        return szFolder + "/inner_LPF.con";
    });
    ASSERT_TRUE(dlg.Load(dir.File("pack.con")));
    ASSERT_FALSE(rec.Texts().empty());
    EXPECT_EQ(rec.Texts()[0], "This is a Rawdex packed file,\nand it will now be unpacked.");
    EXPECT_EQ(szAskedIn.toStdString(), dir.Path());
    EXPECT_EQ(dlg.Profile().m_szScannerName, "Packed");
    EXPECT_EQ(dlg.Profile().m_Data.size(), 64u);
}

TEST(LpfDialog, PrintsIdentificationLinesToPdf)
{
    CTempDir dir;
    for (int iWhich = 0; iWhich < 2; ++iWhich) {
        const std::string szPdf = dir.File(iWhich ? "view.pdf" : "dialog.pdf");
        if (iWhich == 0) {
            CLPF_Dialog dlg;
            ASSERT_TRUE(dlg.Load(SampleFile("light-profile-color-4cam-blue.con")));
            dlg.SetPrintToFile(QString::fromStdString(szPdf));
            dlg.OnPrint();
        } else {
            CView_LPF_Dialog dlg;
            ASSERT_TRUE(dlg.Load(SampleFile("light-profile-color-4cam-blue.con")));
            dlg.SetPrintToFile(QString::fromStdString(szPdf));
            dlg.OnPrint();
        }
        const CRunResult text = RunProgram("/usr/bin/pdftotext", {szPdf, "-"});
        ASSERT_EQ(text.m_iExit, 0) << text.m_szErr;
        for (const char* sz : {"Scanner Name: ZEL Scan 4200 C", "Date: 14.03.2024", "Time: 10:42:17",
                               "Camera: Camera All", "Color: Blue", "Correction: Uncorrected"})
            EXPECT_NE(text.m_szOut.find(sz), std::string::npos) << sz << " in\n" << text.m_szOut;
        const CRunResult info = RunProgram("/usr/bin/pdfinfo", {szPdf});
        EXPECT_NE(info.m_szOut.find("Printing Light Profile"), std::string::npos) << info.m_szOut;
    }
}

TEST(LpfViewDialog, ChangeViewExportsAndRenderer)
{
    CTempDir dir;
    CView_LPF_Dialog dlg;
    ASSERT_TRUE(dlg.Load(SampleFile("light-profile-headerless.con")));
    EXPECT_EQ(dlg.windowTitle().toStdString(), "ZEL 2400: Camera All  Color=Green");
    auto* pChange = dlg.findChild<QPushButton*>("changeView");
    EXPECT_EQ(pChange->text(), "&Change to 1:1 View");
    pChange->click();
    EXPECT_FALSE(dlg.ViewWidget()->View().IsScaled());
    EXPECT_EQ(pChange->text(), "&Change to Scaled View");
    pChange->click();
    EXPECT_TRUE(dlg.ViewWidget()->View().IsScaled());

    ASSERT_TRUE(dlg.ExportCsv(QString::fromStdString(dir.File("out.csv"))));
    const std::string csv = ReadFileBytes(dir.File("out.csv"));
    EXPECT_EQ(csv.rfind("pixel,", 0), 0u);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3001);
    ASSERT_TRUE(dlg.ExportPng(QString::fromStdString(dir.File("out.png"))));
    EXPECT_EQ(QImage(QString::fromStdString(dir.File("out.png"))).size(), dlg.ViewWidget()->size());

    // The renderer draws exactly what the dialog's view shows at that size.
    const FileRenderer* pRender = CUiRegistry::Instance().FindRenderer("headerless-light-profile");
    ASSERT_NE(pRender, nullptr);
    QImage rendered;
    std::string szError;
    ASSERT_TRUE((*pRender)(SampleFile("light-profile-headerless.con"), "", QSize(), rendered, szError)) << szError;
    dlg.ViewWidget()->resize(DefaultLPFViewSize());
    EXPECT_EQ(rendered, RenderLPFView(dlg.ViewWidget()->View(), DefaultLPFViewSize()));
    EXPECT_FALSE((*pRender)(dir.File("missing.con"), "", QSize(), rendered, szError));
    EXPECT_NE(szError.find("missing.con"), std::string::npos);

    // Handed over by the launcher's button, a file is drawn as CLPF_Dialog's
    // graph: a 32-bit profile in its spread view, an unknown file with the
    // scanner settings dialog's first choices.
    const FileRenderer* pAs = CUiRegistry::Instance().FindRenderer("light-profile");
    ASSERT_NE(pAs, nullptr);
    const CLightProfileLoad signed32 = LoadLightProfile(SampleFile("light-profile-signed32.con"), LPF_VIEWER_DIALOG);
    ASSERT_EQ(signed32.m_eOutcome, LPF_LOAD_OK);
    CLPFGraph graph;
    graph.SetData(signed32.m_Profile.m_Data.data(), signed32.m_Profile.DataLength(), signed32.m_Profile.m_iColor);
    graph.SetDisplayMode(LPF_MODE_SIGNED32);
    ASSERT_TRUE((*pAs)(SampleFile("light-profile-signed32.con"), "light-profile", QSize(600, 256), rendered, szError));
    EXPECT_EQ(rendered, RenderLPFGraph(graph, QSize(600, 256)));
    const std::string szUnknown = dir.File("unknown.bin");
    WriteFileBytes(szUnknown, std::string(48, 'x') + std::string(500, '\x40'));
    ASSERT_TRUE((*pAs)(szUnknown, "light-profile", QSize(500, 256), rendered, szError)) << szError;
    const int y = CLPFGraph::LevelY(0x40, 256);
    ExpectPixels(rendered, {{250, y, kGray}, {250, y - 2, kWhite}}); // gray: monochrome
}

TEST(LpfViewDialog, MouseZoomsAndMeasures)
{
    CView_LPF_Dialog dlg;
    dlg.SetFileName(SampleFile("light-profile-mono.con"));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(20);
    CLPFViewWidget* pView = dlg.ViewWidget();
    CLPFView& view = pView->View();
    ASSERT_EQ(view.Count(), 3 * 2400);
    const int iMiddle = pView->width() / 2;
    QTest::mouseClick(pView, Qt::LeftButton, {}, QPoint(iMiddle, 200));
    EXPECT_DOUBLE_EQ(view.EndPercent() - view.StartPercent(), 50.0);
    QTest::mouseClick(pView, Qt::RightButton, {}, QPoint(iMiddle, 200));
    EXPECT_TRUE(view.IsWholeProfile());
    QTest::mouseClick(pView, Qt::LeftButton, {}, QPoint(iMiddle, 10)); // the button strip: no zoom
    EXPECT_TRUE(view.IsWholeProfile());

    // Ctrl + drag measures; the view itself stays as it was.
    QTest::mousePress(pView, Qt::LeftButton, Qt::ControlModifier, QPoint(60, 400));
    EXPECT_TRUE(view.IsMeasuring());
    EXPECT_EQ(pView->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseMove(pView, QPoint(200, 400));
    QTest::mouseRelease(pView, Qt::LeftButton, Qt::ControlModifier, QPoint(200, 400));
    EXPECT_FALSE(view.IsMeasuring());
    EXPECT_TRUE(view.IsWholeProfile());
    // The line, in the white below the curve.
    ExpectPixels(pView->grab().toImage(), {{130, 400, kBlack}, {130, 401, kWhite}});
    QTest::keyClick(&dlg, Qt::Key_Plus);
    EXPECT_FALSE(view.IsWholeProfile());
    QTest::keyClick(&dlg, Qt::Key_Home);
    EXPECT_TRUE(view.IsWholeProfile());
    dlg.close();
}

// Painting goes through the same read-out in both views, under the sanitizers.
TEST(LpfViewDialog, AbsurdHeaderValuesShowInTheReadOutStrip)
{
    CMessageRecorder rec;
    CView_LPF_Dialog dlg;
    ASSERT_TRUE(dlg.Load(TestDataPath("light-profile-readout-overflow.con")));
    dlg.ViewWidget()->resize(DefaultLPFViewSize());
    CLPFView& view = dlg.ViewWidget()->View();
    for (int i = 0; i < 2; ++i, view.ToggleView()) {
        EXPECT_EQ(view.PositionText(dlg.ViewWidget()->width()), "Out of range: Camera Used");
        EXPECT_FALSE(dlg.ViewWidget()->grab().isNull());
    }
}

TEST(LpfScannerSettings, CameraButtonsFollowTheCount)
{
    CScanner_Settings_Dialog dlg;
    dlg.CameraButton(3)->setChecked(true); // Camera D
    dlg.SetCameraCount(3);
    EXPECT_TRUE(dlg.CameraButton(3)->isHidden());
    EXPECT_TRUE(dlg.CameraButton(2)->isChecked());
    dlg.SetCameraCount(1);
    EXPECT_TRUE(dlg.CameraButton(1)->isHidden());
    EXPECT_TRUE(dlg.CameraButton(2)->isHidden());
    EXPECT_TRUE(dlg.CameraButton(0)->isChecked());
    EXPECT_EQ(dlg.Settings().m_iCamera, 0);
    EXPECT_EQ(dlg.Settings().m_iCameraCount, 1);
    dlg.SetCameraCount(4);
    EXPECT_FALSE(dlg.CameraButton(3)->isHidden());

    EXPECT_FALSE(dlg.Settings().m_bColorScanner);
    EXPECT_EQ(dlg.Settings().m_iColor, 4);
    dlg.findChild<QRadioButton*>("color")->setChecked(true);
    dlg.findChild<QRadioButton*>("blue")->setChecked(true);
    EXPECT_TRUE(dlg.Settings().m_bColorScanner);
    EXPECT_EQ(dlg.Settings().m_iColor, 2);
    dlg.findChild<QRadioButton*>("allCameras")->setChecked(true);
    EXPECT_EQ(dlg.Settings().m_iCamera, 255);
}

TEST(LpfViewPainting, ADarkPaletteColoursFaceAndStripsButNotTheGraph)
{
    const std::vector<uint8_t> v(1000, 100);
    CLPFView view;
    view.SetData(v.data(), 1000);
    view.SetScanner(5, false, 255, 4, 8.5);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::Button, QColor(60, 60, 60));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    QPalette light;
    light.setColor(QPalette::Window, QColor(239, 239, 239));
    const QSize size(1040, 296);
    auto paint = [&](const QPalette* p) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        PaintLPFView(painter, size, view, p);
        return image;
    };
    const QImage plain = paint(nullptr), darkImage = paint(&dark), lightImage = paint(&light);
    // The face and the strips.
    ExpectPixels(darkImage, {{5, 10, qRgb(40, 40, 40)}, {5, 30, qRgb(60, 60, 60)}, {1030, 200, qRgb(60, 60, 60)}});
    const QRect graph(20, 40, 1000, 256);
    EXPECT_EQ(darkImage.copy(graph), plain.copy(graph));
    EXPECT_EQ(lightImage, plain) << "a light theme keeps the viewer's own grays";
}
