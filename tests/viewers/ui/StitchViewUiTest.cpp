// The stitching viewer on real widgets: loading messages and wait texts, mouse
// zoom, the 1:1 button, scroll bars, key I, printing and the renderer.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/ui/UiRegistry.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "viewers/ConTestFile.h"
#include "viewers/StitchNoiseHeader.h"
#include "viewers/ui/StitchView.h"

namespace {

std::string OldGray(int32_t iW, int32_t iH, const std::string& szData)
{
    std::string sz(48, '\0');
    sz[11] = 18;
    StitchNoiseFile::PutLe32(sz, 24, 40000);
    StitchNoiseFile::PutLe32(sz, 28, iW);
    StitchNoiseFile::PutLe32(sz, 32, iH);
    return sz + szData;
}

std::string Gradient(int32_t iW, int32_t iH)
{
    std::string sz(static_cast<size_t>(iW) * iH, '\0');
    for (int32_t y = 0; y < iH; ++y)
        for (int32_t x = 0; x < iW; ++x)
            sz[static_cast<size_t>(y) * iW + x] = static_cast<char>((x + 3 * y) & 0xFF);
    return sz;
}

QImage Paint(const CStitchView& view, const CStitchImage* pPicture, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintStitchView(painter, size, view, pPicture);
    return image;
}

}  // namespace

TEST(StitchViewUi, PaintsPicturePixelsAtTheZoom)
{
    CTempDir dir;
    const std::string szPath = dir.File("s.con");
    WriteFileBytes(szPath, OldGray(4, 2, std::string("\x00\xFF\x00\xFF\x80\x80\x80\x80", 8)));
    CStitchPicture picture;
    std::shared_ptr<CStitchImage> pImage;
    std::vector<std::string> messages;
    std::string szError;
    ASSERT_TRUE(LoadStitchImage(szPath, picture, pImage, messages, szError));
    for (int32_t iZoom : {1, 2, 3}) {
        SCOPED_TRACE(iZoom);
        CStitchView view;
        view.m_iWidth = 4;
        view.m_iHeight = 2;
        view.m_iClientWidth = 4 * iZoom;
        view.m_iClientHeight = 2 * iZoom;
        view.Reset();
        view.m_iZoom = iZoom;
        view.Clamp();
        const QImage image = Paint(view, pImage.get(), QSize(4 * iZoom, 2 * iZoom));
        const int expected[2][4] = {{0, 255, 0, 255}, {128, 128, 128, 128}};
        for (int y = 0; y < 2 * iZoom; ++y)
            for (int x = 0; x < 4 * iZoom; ++x)
                ASSERT_EQ(qGray(image.pixel(x, y)), expected[y / iZoom][x / iZoom]) << x << "," << y;
    }
}

TEST(StitchViewUi, PaintsRunLengthRowsDecodedForTheView)
{
    CTempDir dir;
    std::string sz = OldGray(5, 3, std::string("\x03\x82\x00\x84\x00\x81\x02\x00", 8));
    sz[11] = 0x11;
    WriteFileBytes(dir.File("rl.con"), sz);
    CStitchPicture picture;
    std::shared_ptr<CStitchImage> pImage;
    std::vector<std::string> messages;
    std::string szError;
    ASSERT_TRUE(LoadStitchImage(dir.File("rl.con"), picture, pImage, messages, szError));
    CStitchView view;
    view.m_iWidth = 5;
    view.m_iHeight = 3;
    view.m_iClientWidth = 10;
    view.m_iClientHeight = 6;
    view.Reset();
    view.m_iZoom = 2;
    view.Clamp();
    const QImage image = Paint(view, pImage.get(), QSize(10, 6));
    const int expected[3][5] = {{0, 0, 0, 255, 255}, {255, 255, 255, 255, 255}, {255, 0, 0, 255, 255}};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(qGray(image.pixel(x, y)), expected[y / 2][x / 2]) << x << "," << y;
}

TEST(StitchViewUi, DialogLoadsZoomsAndScrolls)
{
    CTempDir dir;
    const std::string szPath = dir.File("big.con");
    WriteFileBytes(szPath, OldGray(1200, 900, Gradient(1200, 900)));
    CMessageRecorder recorder;
    CView_Stitch_Dialog dlg;
    dlg.resize(640, 480);
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(dlg.WaitTexts(), QStringList({"Please wait while loading", "Please wait while generating Picture."}));
    EXPECT_EQ(dlg.WaitCaption(), "View Stitching Picture");
    CStitchViewWidget* pView = dlg.ViewWidget();
    const CStitchView& v = pView->m_View;
    EXPECT_EQ(v.m_iClientWidth, pView->width());
    EXPECT_EQ(v.m_iCenterX, 600);
    EXPECT_EQ(v.m_iCenterY, 300);
    EXPECT_EQ(dlg.HorizontalBar()->pageStep(), v.HorizontalScroll().m_iPage);
    EXPECT_EQ(dlg.HorizontalBar()->value(), v.HorizontalScroll().m_iPos);

    QTest::mouseClick(pView, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(v.m_iZoom, 1);
    const QPoint click(pView->width() / 2 + 40, pView->height() / 2);
    QTest::mouseClick(pView, Qt::LeftButton, {}, click);
    EXPECT_EQ(v.m_iZoom, 2);
    EXPECT_EQ(v.m_iCenterX, 640);
    EXPECT_EQ(dlg.HorizontalBar()->pageStep(), v.HorizontalScroll().m_iPage);

    // The thumb dragged to the far left shows the picture's first column.
    dlg.HorizontalBar()->setValue(0);
    EXPECT_EQ(v.VisibleLeft(), 0);

    dlg.findChild<QPushButton*>("1015")->click();
    EXPECT_EQ(v.m_iZoom, 1);
    EXPECT_EQ(v.m_iCenterX, 600);
}

TEST(StitchViewUi, LoadingMessagesAndKeyI)
{
    CTempDir dir;
    const std::string szPath = dir.File("h.con");
    std::string sz = "[Stitch Test]\nDataPointer=        54\nWidth=3\nHeight=2\n";
    ASSERT_EQ(sz.size(), 54u);
    WriteFileBytes(szPath, sz + "abcde");
    CMessageRecorder recorder;
    CView_Stitch_Dialog dlg;
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(szPath));
    EXPECT_EQ(recorder.Texts(),
              (std::vector<std::string>{"m_iPhysicalResolution",
                                        "Error Picture Length\nm_iDataLength = 5\nm_iMemoryDC_Width = 3\n"
                                        "m_iMemoryDC_Height = 2"}));
    recorder.Clear();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_I);
    ASSERT_EQ(recorder.Texts().size(), 1u);
    EXPECT_EQ(recorder.Texts()[0], sz);
    // + zooms in, - out, Home back to 1:1.
    const CStitchView& v = dlg.ViewWidget()->m_View;
    QTest::keyClick(&dlg, Qt::Key_Plus);
    QTest::keyClick(&dlg, Qt::Key_Plus);
    EXPECT_EQ(v.m_iZoom, 3);
    QTest::keyClick(&dlg, Qt::Key_Minus);
    EXPECT_EQ(v.m_iZoom, 2);
    QTest::keyClick(&dlg, Qt::Key_Home);
    EXPECT_EQ(v.m_iZoom, 1);

    // A file that cannot be shown leaves the previous picture.
    WriteFileBytes(dir.File("bad.con"), std::string(48, '\0'));
    recorder.Clear();
    EXPECT_FALSE(dlg.LoadFile(dir.File("bad.con")));
    EXPECT_EQ(dlg.Picture().m_iWidth, 3);
    ASSERT_EQ(recorder.Texts().size(), 1u);
    EXPECT_NE(recorder.Texts()[0].find("bad.con"), std::string::npos);
}

TEST(StitchViewUi, PrintsToPdfAndRendersThroughTheRegistry)
{
    CTempDir dir;
    const std::string szPath = dir.File("p.con");
    WriteFileBytes(szPath, OldGray(300, 200, Gradient(300, 200)));
    CMessageRecorder recorder;
    CView_Stitch_Dialog dlg;
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(szPath));
    const QString szPdf = QString::fromStdString(dir.File("p.pdf"));
    ASSERT_TRUE(dlg.PrintToPdf(szPdf));
    const CRunResult text = RunProgram("/usr/bin/pdftotext", {szPdf.toStdString(), "-"});
    EXPECT_NE(text.m_szOut.find("View Stitching File"), std::string::npos) << text.m_szOut;
    EXPECT_NE(text.m_szOut.find("Width = 300"), std::string::npos);
    const CRunResult info = RunProgram("/usr/bin/pdfinfo", {szPdf.toStdString()});
    EXPECT_NE(info.m_szOut.find("Printing Stitching Picture"), std::string::npos) << info.m_szOut;

    // A file with a header: the printout names the scanner and the scan's date.
    const std::string szHeaderFile = dir.File("h.con");
    WriteFileBytes(szHeaderFile, ConTestFile("Stitch Test",
                                             "ScannerName=ZelWide 36\nDate=01.02.2026\nTime=10:11:12\nWidth=4\n"
                                             "Height=1\nResolution=300\n",
                                             "abcd"));
    ASSERT_TRUE(dlg.LoadFile(szHeaderFile));
    ASSERT_TRUE(dlg.PrintToPdf(szPdf));
    const std::string szPrinted = RunProgram("/usr/bin/pdftotext", {szPdf.toStdString(), "-"}).m_szOut;
    for (const char* sz : {"ZelWide 36", "01.02.2026 10:11:12"})
        EXPECT_NE(szPrinted.find(sz), std::string::npos) << sz << "\n" << szPrinted;

    for (const char* szKind : {"headerless-stitch", "stitch-test"}) {
        const FileRenderer* pRender = CUiRegistry::Instance().FindRenderer(szKind);
        ASSERT_NE(pRender, nullptr) << szKind;
        QImage image;
        std::string szError;
        ASSERT_TRUE((*pRender)(szPath, "stitch", QSize(300, 200), image, szError)) << szError;
        // Zoom 1 over the whole picture: the gradient's pixel (x, y) at (x, y).
        EXPECT_EQ(qGray(image.pixel(10, 20)), (10 + 60) & 0xFF);
        EXPECT_EQ(qGray(image.pixel(299, 199)), (299 + 597) & 0xFF);
    }
}
