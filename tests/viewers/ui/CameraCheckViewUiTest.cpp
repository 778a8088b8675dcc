// The camera adjustment check dialog on real widgets: load, zoom texts, save a
// copy, the header command and printing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "app/ui/UiRegistry.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "viewers/ViewerTestFiles.h"
#include "viewers/ui/CameraCheckView.h"

TEST(CameraCheckUi, ZoomTextsShowAllAndDoubleClicks)
{
    CTempDir dir;
    WriteFileBytes(dir.File("c.con"), CameraCheckFile(false));
    CMessageRecorder recorder;
    COstra_Check_Camera_Adjustment_Test_Dialog dlg;
    dlg.resize(900, 400);
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(dir.File("c.con")));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(dlg.Profile().m_iWidth, 1270);
    EXPECT_EQ(dlg.ScaleText(), "Showing All");
    CCameraCheckControl* pView = dlg.ViewWidget();
    ASSERT_TRUE(pView->IsInitialised());
    const QSize view(pView->m_View.m_iViewWidth, pView->m_View.m_iViewHeight);
    EXPECT_EQ(view, QSize(pView->SurfaceWidth(), pView->SurfaceHeight()));
    QTest::mouseClick(pView, Qt::LeftButton, {}, QPoint(10, 10));
    const int32_t iZoom = 1270 / view.width();
    EXPECT_EQ(dlg.ScaleText(), QString("Scaling : %1").arg(iZoom));
    QTest::mouseClick(pView, Qt::LeftButton, {}, QPoint(view.width() / 2, 10));
    EXPECT_EQ(pView->m_View.m_iZoom, iZoom == 1 ? -2 : iZoom - 1);
    dlg.findChild<QPushButton*>("1013")->click();
    EXPECT_EQ(dlg.ScaleText(), "Showing All");

    // The control's own surface: left part black at the bottom row, right part white.
    const QImage& image = pView->Surface();
    const int yLow = view.height() - 1;  // row 255; row 254 is an inverted grid row
    EXPECT_EQ(qGray(image.pixel(2, yLow)), 0);
    EXPECT_EQ(qGray(image.pixel(view.width() - 3, yLow)), 255);

    // A right double click zooms out like a click; the second press of a
    // double click comes as its own event kind.
    const int xMid = view.width() / 2;
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(pView, Qt::LeftButton, {}, QPoint(xMid, 10));
    const int32_t iZoomedIn = pView->m_View.m_iZoom;
    ASSERT_LT(iZoomedIn, 0);
    for (Qt::MouseButton eButton : {Qt::RightButton, Qt::LeftButton}) {
        const QPointF pt(xMid, 10);
        QMouseEvent event(QEvent::MouseButtonDblClick, pt, pView->mapToGlobal(pt), eButton, eButton, Qt::NoModifier);
        QApplication::sendEvent(pView, &event);
        EXPECT_EQ(pView->m_View.m_iZoom, iZoomedIn + (eButton == Qt::RightButton ? 1 : 0)) << int(eButton);
    }
}

TEST(CameraCheckUi, SaveCopyHeaderAndPrint)
{
    CTempDir dir;
    for (bool bNew : {false, true}) {
        SCOPED_TRACE(bNew);
        const std::string szBytes = CameraCheckFile(bNew);
        WriteFileBytes(dir.File("c.con"), szBytes);
        CMessageRecorder recorder;
        COstra_Check_Camera_Adjustment_Test_Dialog dlg;
        dlg.show();
        ASSERT_TRUE(dlg.LoadFile(dir.File("c.con")));
        ASSERT_TRUE(dlg.SaveCopy(dir.File("copy.con")));
        EXPECT_EQ(ReadFileBytes(dir.File("copy.con")), szBytes);
        dlg.ShowHeader();
        ASSERT_EQ(recorder.Texts().size(), 1u);
        if (bNew)
            EXPECT_EQ(recorder.Texts()[0], szBytes.substr(0, szBytes.find('\n', szBytes.find("Length=")) + 1));
        else
            EXPECT_EQ(recorder.Texts()[0], "Old Con-file.\nNo Header Information available");
        const std::string szPdf = dir.File("c.pdf");
        ASSERT_TRUE(dlg.PrintToPdf(QString::fromStdString(szPdf)));
        EXPECT_NE(RunProgram("/usr/bin/pdfinfo", {szPdf}).m_szOut.find("DEZ Light Profile"), std::string::npos);
    }
    // Refused files: the message names the problem and nothing is shown.
    WriteFileBytes(dir.File("bad.con"), "[G3 Light Profile]\nDataPointer=        50\nWidth=5\n");
    CMessageRecorder recorder;
    COstra_Check_Camera_Adjustment_Test_Dialog dlg;
    EXPECT_FALSE(dlg.LoadFile(dir.File("bad.con")));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"No Length in new G3 Header"});

    const FileRenderer* pRender = CUiRegistry::Instance().FindRenderer("camera-adjustment-check");
    ASSERT_NE(pRender, nullptr);
    QImage image;
    std::string szError;
    WriteFileBytes(dir.File("c.con"), CameraCheckFile(false));
    ASSERT_TRUE((*pRender)(dir.File("c.con"), "", QSize(254, 256), image, szError)) << szError;
    EXPECT_EQ(qGray(image.pixel(0, 200)), 0);
    EXPECT_EQ(qGray(image.pixel(200, 200)), 255);
}
