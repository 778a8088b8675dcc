// Cursors and the pixel inspector on real widgets: every graph view takes two
// cursors with Shift and the mouse or keys and reads its own data, while its
// zoom stays where it was and a plain click still zooms; the stitching view's
// Shift-drag gives the statistics of what it marked.
#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <memory>

#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "viewers/ViewerTestFiles.h"
#include "viewers/ui/CameraCheckView.h"
#include "viewers/ui/LPFViewDialog.h"
#include "viewers/ui/NoiseViews.h"
#include "viewers/ui/StitchView.h"
#include "widgets/ui/GraphCursorTool.h"
#include "widgets/ui/LPFControle.h"
#include "widgets/ui/PixelInspectorTool.h"

namespace {

std::vector<uint8_t> Ramp(int n)
{
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[size_t(i)] = uint8_t(i % 251);
    return v;
}

struct CGraphCase {
    const char* szName;
    QWidget* pWidget;              // the view the mouse acts on
    CGraphCursorTool* pTool;
    std::function<std::string()> state;  // the view's zoom and centre
    std::function<double(int64_t)> value; // the first channel's value at a position
    int y;                         // a row inside the plot
};

} // namespace

TEST(InspectionUi, EveryGraphViewTakesTwoCursorsWithoutMovingItsData)
{
    CMessageRecorder recorder;
    CTempDir dir;
    const std::vector<uint8_t> ramp = Ramp(20000);

    CLPFControle graph;
    graph.resize(800, 300);
    graph.SetData(ramp.data(), int64_t(ramp.size()), LPF_CHANNEL_GREEN);

    CLPFViewWidget view;
    view.resize(800, 500);
    view.View().SetData(ramp.data(), int64_t(ramp.size()));
    view.View().SetScanner(5, false, 255, 1, 8.5);

    CNoiseRecord record;
    record.m_iWidth = int32_t(ramp.size());
    record.m_Green = ramp;
    CNoiseTestControl noise(nullptr);
    noise.resize(800, 300);
    noise.m_pRecord = &record;
    noise.m_Options.m_iColor = 1;
    noise.m_Zoom.Reset(record.m_iWidth);

    WriteFileBytes(dir.File("c.con"), CameraCheckFile());
    COstra_Check_Camera_Adjustment_Test_Dialog check;
    check.resize(900, 400);
    check.show();
    ASSERT_TRUE(check.LoadFile(dir.File("c.con")));
    CCameraCheckControl* pCheck = check.ViewWidget();

    auto rampAt = [&ramp](int64_t i) { return double(ramp[size_t(i)]); };
    const CGraphCase cases[] = {
        {"profile graph", &graph, graph.CursorTool(),
         [&] { return std::to_string(graph.Graph().Zoom()) + "/" + std::to_string(graph.Graph().Center()); }, rampAt,
         150},
        {"light profile view", &view, view.CursorTool(),
         [&] { return std::to_string(view.View().StartPercent()) + "/" + std::to_string(view.View().EndPercent()); },
         rampAt, 200},
        {"noise graph", &noise, noise.CursorTool(),
         [&] { return std::to_string(noise.m_Zoom.m_iZoom) + "/" + std::to_string(noise.m_Zoom.m_iCenter); }, rampAt,
         150},
        {"camera check", pCheck, pCheck->CursorTool(),
         [&] { return std::to_string(pCheck->m_View.m_iZoom) + "/" + std::to_string(pCheck->m_View.m_iCenter); },
         [](int64_t i) { return i < 635 ? 155.0 : -1.0; }, 150},
    };
    for (const CGraphCase& c : cases) {
        SCOPED_TRACE(c.szName);
        c.pWidget->show();
        const std::string szBefore = c.state();
        QTest::mouseClick(c.pWidget, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, c.y));
        QTest::mouseClick(c.pWidget, Qt::LeftButton, Qt::ShiftModifier, QPoint(500, c.y));
        const CGraphCursors& cur = c.pTool->Cursors();
        ASSERT_TRUE(cur.HasBoth());
        EXPECT_LT(cur.Position(0), cur.Position(1));
        QTest::keyClick(c.pWidget, Qt::Key_Right, Qt::ShiftModifier);
        const int64_t p0 = cur.Position(0), p1 = cur.Position(1);
        EXPECT_EQ(cur.Active(), 1);
        EXPECT_EQ(c.state(), szBefore) << "a cursor moved the view";

        const QStringList lines = c.pTool->ReadOut();
        ASSERT_GE(lines.size(), 2);
        EXPECT_TRUE(lines[0].contains(QString::fromUtf8("\xCE\x94 ") + QString::number(p1 - p0))) << lines[0].toStdString();
        const QString szValues = QString::fromStdString(FormatCursorValue(c.value(p0)) + " / " +
                                                        FormatCursorValue(c.value(p1)));
        EXPECT_TRUE(lines[1].contains(szValues)) << lines[1].toStdString() << " wants " << szValues.toStdString();

        QTest::mouseClick(c.pWidget, Qt::RightButton, Qt::ShiftModifier, QPoint(300, c.y));
        EXPECT_TRUE(cur.IsEmpty());
        QTest::mouseClick(c.pWidget, Qt::LeftButton, {}, QPoint(300, c.y));
        EXPECT_NE(c.state(), szBefore) << "a plain click no longer zooms";
    }
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(InspectionUi, StitchViewShiftDragGivesTheMarkedAreasStatistics)
{
    CMessageRecorder recorder;
    CTempDir dir;
    // 200 x 100 gray, value x + y, at 400 dpi.
    std::string szPixels;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            szPixels += char(x + y);
    WriteFileBytes(dir.File("s.con"), OldStitch(18, 200, 100, 40000, szPixels));
    CView_Stitch_Dialog dlg;
    dlg.resize(400, 300);
    dlg.show();
    ASSERT_TRUE(dlg.LoadFile(dir.File("s.con")));
    CStitchViewWidget* pView = dlg.ViewWidget();
    const CStitchView before = pView->m_View;
    const QPoint origin((0 - before.VisibleLeft()) * before.m_iZoom, (0 - before.VisibleTop()) * before.m_iZoom);
    // Pixels (10, 20) to (19, 29): values 30 .. 48, mean 39.
    QTest::mousePress(pView, Qt::LeftButton, Qt::ShiftModifier, origin + QPoint(10, 20));
    QTest::mouseMove(pView, origin + QPoint(19, 29));
    QTest::mouseRelease(pView, Qt::LeftButton, Qt::ShiftModifier, origin + QPoint(19, 29));
    const CAreaStats& s = pView->Inspector()->Stats();
    EXPECT_EQ(s.m_Rect, (CPixelRect{10, 20, 10, 10}));
    ASSERT_EQ(s.m_Channels.size(), 1u);
    EXPECT_DOUBLE_EQ(s.m_Channels[0].m_dMean, 39.0);
    EXPECT_EQ(s.m_Channels[0].m_iMin, 30);
    EXPECT_EQ(s.m_Channels[0].m_iMax, 48);
    EXPECT_EQ(pView->m_View.m_iZoom, before.m_iZoom) << "the inspector's drag zoomed the view";
    EXPECT_TRUE(pView->Inspector()->ReadOut().contains("Area 10 x 10 px (0.64 x 0.64 mm)"));

    // The middle button drags the picture along; it stays on the picture.
    pView->m_View.ZoomIn(0, 0);
    pView->m_View.ZoomIn(0, 0);
    const int32_t iX = pView->m_View.m_iCenterX;
    QTest::mousePress(pView, Qt::MiddleButton, {}, QPoint(200, 100));
    QTest::mouseMove(pView, QPoint(170, 100));
    QTest::mouseRelease(pView, Qt::MiddleButton, {}, QPoint(170, 100));
    EXPECT_EQ(pView->m_View.m_iCenterX, std::min(iX + 30 / pView->m_View.m_iZoom, 200 - pView->m_View.HalfWidth()));
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(InspectionUi, MiddleButtonDragsBothLightProfileGraphsAlong)
{
    const std::vector<uint8_t> ramp = Ramp(20000);
    CLPFControle graph;
    graph.resize(800, 300);
    graph.SetData(ramp.data(), int64_t(ramp.size()), LPF_CHANNEL_GRAY);
    graph.show();
    graph.ZoomIn(400);
    graph.ZoomIn(400);
    const int64_t iBefore = graph.Graph().ScrollPosition();
    QTest::mousePress(&graph, Qt::MiddleButton, {}, QPoint(500, 100));
    QTest::mouseMove(&graph, QPoint(400, 100));
    QTest::mouseRelease(&graph, Qt::MiddleButton, {}, QPoint(400, 100));
    // Dragged 100 columns left: the view moves 100 columns' worth of samples right.
    EXPECT_EQ(graph.Graph().ScrollPosition(), iBefore + std::llround(100 * graph.Graph().SamplesPerColumn(800)));
    EXPECT_EQ(graph.Graph().Zoom(), 4);

    CLPFViewWidget view;
    view.resize(800, 500);
    view.View().SetData(ramp.data(), int64_t(ramp.size()));
    view.show();
    view.View().SetRange(20.0, 30.0);
    QTest::mousePress(&view, Qt::MiddleButton, {}, QPoint(400, 200));
    QTest::mouseMove(&view, QPoint(780, 200));
    QTest::mouseRelease(&view, Qt::MiddleButton, {}, QPoint(780, 200));
    // 380 of 760 columns to the right: half the shown 10 % earlier.
    EXPECT_DOUBLE_EQ(view.View().StartPercent(), 15.0);
    EXPECT_DOUBLE_EQ(view.View().EndPercent(), 25.0);
    EXPECT_FALSE(view.View().IsMeasuring());
}
