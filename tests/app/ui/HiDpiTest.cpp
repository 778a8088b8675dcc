// The views at a device pixel ratio of 2. The test runs itself again with
// QT_SCALE_FACTOR=2 (the ratio is fixed when the application starts); there
// every view is grabbed as the screen would show it. A view drawn at one
// pixel per logical pixel and doubled on the way to the screen has every
// aligned 2 x 2 block of one colour; drawn in device pixels, text and line
// edges fall inside blocks. Frames must stay one logical pixel: two device
// pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "datafiles/FileKinds.h"
#include "support/RunViewer.h"
#include "support/TestSupport.h"
#include "viewers/LightProfileView.h"
#include "widgets/ui/BasicTestControl.h"

namespace {

bool IsChild()
{
    const char* sz = std::getenv("QT_SCALE_FACTOR");
    return sz && std::string(sz) == "2";
}

// Aligned 2 x 2 blocks of the image that hold more than one colour.
int MixedBlocks(const QImage& image)
{
    int n = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb c = image.pixel(x, y);
            n += image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c;
        }
    return n;
}

bool Dark(QRgb c)
{
    return qGray(c) < 64;
}

} // namespace

TEST(HiDpi, ViewsDrawInDevicePixels)
{
    if (!IsChild()) {
        const CRunResult r = RunProgram("/proc/self/exe", {"--gtest_filter=HiDpi.*"}, {"QT_SCALE_FACTOR=2"});
        EXPECT_EQ(r.m_iExit, 0) << r.m_szOut << r.m_szErr;
        EXPECT_NE(r.m_szOut.find("[  PASSED  ] 1 test"), std::string::npos) << r.m_szOut;
        return;
    }
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    struct {
        const char* szViewer;
        const char* szSample;
        const char* szView;  // class of the view to grab
        QPoint frame;        // a logical pixel on the view's left frame line (y < 0: from the bottom)
    } cases[] = {
        {VIEWER_STAR_TEST, "StarTest_Sample.txt", "CBasicTestControl", {0, 40}},
        {VIEWER_TONAL_RESOLUTION, "TonalResolution_Sample.txt", "CBasicTestControl", {0, 40}},
        {VIEWER_CAMERA_CHECK, "camera-adjustment-check.con", "CBasicTestControl", {-1, 0}}, // its raster covers the frame
        {VIEWER_LIGHT_PROFILE_FILE, "light-profile-color-4cam-green.con", "CLPFViewWidget",
         {CLPFView::kGraphLeft, -40}},
    };
    for (const auto& c : cases) {
        RunViewerOn(c.szViewer, SampleFile(c.szSample), [&](QWidget* pWindow) {
            int iViews = 0;
            for (QWidget* pView : pWindow->findChildren<QWidget*>()) {
                if (!pView->inherits(c.szView) || !pView->isVisible() || pView->width() < 50)
                    continue;
                ++iViews;
                // Without the cursor layers above the view: their text is drawn
                // by Qt at the ratio anyway.
                QImage image(pView->size() * 2, QImage::Format_RGB32);
                image.setDevicePixelRatio(2.0);
                image.fill(Qt::magenta);
                pView->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
                EXPECT_GT(MixedBlocks(image), 20) << c.szSample << ": drawn at 1x and doubled";
                if (c.frame.x() < 0)
                    continue;
                const int x = 2 * c.frame.x(), y = 2 * (c.frame.y() < 0 ? pView->height() + c.frame.y() : c.frame.y());
                EXPECT_TRUE(Dark(image.pixel(x, y)) && Dark(image.pixel(x + 1, y)) && !Dark(image.pixel(x + 2, y)))
                    << c.szSample << ": the frame is not two device pixels wide";
            }
            EXPECT_GT(iViews, 0) << c.szSample;
        }, 400);
    }
}
