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
#include "viewers/ViewerTestFiles.h"
#include "viewers/ui/StitchView.h"

namespace {

std::string OldGray(int32_t iW, int32_t iH, const std::string& szData)
{
    return OldStitch(18, iW, iH, 40000, szData);
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
    struct Case {
        std::string m_szFile;
        int32_t m_iW, m_iH, m_iZoom;
        std::vector<int> m_Gray; // the picture's rows from the top
    };
    const std::string szGray = OldGray(4, 2, std::string("\x00\xFF\x00\xFF\x80\x80\x80\x80", 8));
    const Case cases[] = {
        {szGray, 4, 2, 1, {0, 255, 0, 255, 128, 128, 128, 128}},
        {szGray, 4, 2, 2, {0, 255, 0, 255, 128, 128, 128, 128}},
        {szGray, 4, 2, 3, {0, 255, 0, 255, 128, 128, 128, 128}},
        // Run-length rows are decoded for the view.
        {OldStitch(0x11, 5, 3, 40000, std::string("\x03\x82\x00\x84\x00\x81\x02\x00", 8)), 5, 3, 2,
         {0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 255}},
    };
    CTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.m_iW << "x" << c.m_iH << " zoom " << c.m_iZoom);
        WriteFileBytes(dir.File("s.con"), c.m_szFile);
        CStitchPicture picture;
        std::shared_ptr<CStitchImage> pImage;
        std::vector<std::string> messages;
        std::string szError;
        ASSERT_TRUE(LoadStitchImage(dir.File("s.con"), picture, pImage, messages, szError));
        CStitchView view;
        view.m_iWidth = c.m_iW;
        view.m_iHeight = c.m_iH;
        view.m_iClientWidth = c.m_iW * c.m_iZoom;
        view.m_iClientHeight = c.m_iH * c.m_iZoom;
        view.Reset();
        view.m_iZoom = c.m_iZoom;
        view.Clamp();
        const QImage image = Paint(view, pImage.get(), QSize(view.m_iClientWidth, view.m_iClientHeight));
        for (int y = 0; y < view.m_iClientHeight; ++y)
            for (int x = 0; x < view.m_iClientWidth; ++x)
                ASSERT_EQ(qGray(image.pixel(x, y)), c.m_Gray[size_t(y / c.m_iZoom * c.m_iW + x / c.m_iZoom)])
                    << x << "," << y;
    }
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
