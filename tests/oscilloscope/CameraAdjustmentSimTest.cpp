// Camera adjustment of lines the simulated scanner recorded: each camera's
// view is shifted along the scan line by the scenario, and the adjustment
// must find every stitch mark and measure that shift, and a view made wider
// must show in the scan width.
#include <gtest/gtest.h>

#include <cmath>

#include "calibration/StitchAndAlignment.h"
#include "oscilloscope/CameraAdjustment.h"
#include "oscilloscope/OscilloscopeLive.h"
#include "support/TestSupport.h"

namespace {

TEST(OscAdjustOnSimulator, FindsEveryMarkAndMeasuresShiftAndWidthOfEachCamera)
{
    struct {
        int32_t m_iDpi;
        std::array<double, 5> m_dOffsetX;
        std::array<double, 5> m_dWidthError{};
    } cases[] = {
        {600, {0, 0, 0, 0, 0}},
        {600, {2.5, 0, -1.5, 4, -3}, {0, 0, 6, 0, 0}},
        // The overlap is a pixel count: at 300 dpi it covers far more of the
        // sheet, and the stitch areas reach deeper into the cameras.
        {300, {-6, 3, 7, -2, 1}},
        // The wires are wider than the rough finder's mean.
        {1200, {0.4, -0.7, 1.2, 0, -8}},
    };
    CTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_iDpi);
        COscSimScenario s;
        s.m_iCameras = 5;
        s.m_iGeneration = 9;
        s.m_iType = 17;
        s.m_iFineLines = 0;
        s.m_iResolution = c.m_iDpi;
        std::copy(c.m_dOffsetX.begin(), c.m_dOffsetX.end(), s.m_dOffsetX.begin());
        std::copy(c.m_dWidthError.begin(), c.m_dWidthError.end(), s.m_dWidthError.begin());
        COscRecording rec;
        std::string szError;
        ASSERT_TRUE(RecordSimulatorLines(dir.Path() + "/", s, 2, rec, szError)) << szError;
        COscCameraAdjustment adjust;
        const COscAdjustResult r = adjust.Run(rec, 1);
        ASSERT_TRUE(r.m_bRan);
        EXPECT_EQ(r.m_iOpticalResolution, c.m_iDpi);
        EXPECT_EQ(r.m_iError, 0) << r.Text();
        const C3X_KPlate& x = adjust.Engine()->m_X;
        for (int32_t cam = 0; cam < 5; ++cam) {
            SCOPED_TRACE(cam);
            for (int32_t side = 0; side < 3; ++side) {
                const bool bHasSide = !(side == X3_LEFT && cam == 0) && !(side == X3_RIGHT && cam == 4);
                EXPECT_EQ(x.GetError(cam, side), 0) << side;
                EXPECT_EQ(x.m_dGroup_Center[cam][side] > 0, bHasSide) << side;
            }
            EXPECT_TRUE(r.m_bMeasured[size_t(cam)]);
            EXPECT_NEAR(r.m_dDistance[size_t(cam)], c.m_dOffsetX[size_t(cam)], 0.25);
            // Type 17 measures the scan width of the cameras between two stitches.
            EXPECT_EQ(r.m_bWidthMeasured[size_t(cam)], cam > 0 && cam < 4);
            if (r.m_bWidthMeasured[size_t(cam)])
                EXPECT_NEAR(r.m_dWidth[size_t(cam)], c.m_dWidthError[size_t(cam)], 0.4);
        }
    }
}

} // namespace
