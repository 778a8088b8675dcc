// Focus segments on lines of known contrast, the stitch-wire checks, and the
// dialog's rules: pause, directory labels, camera adjustment, print header,
// view set-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "oscilloscope/CameraAdjustment.h"
#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "platform/Log.h"
#include "scanner/ScannerVariants.h"
#include "support/TestSupport.h"

namespace {

// One camera of iPix pixels: 5 dark pixels at each end, then a pattern of
// period 4 between iLow and iHigh.
std::vector<uint8_t> PatternLine(int32_t iPix, uint8_t iLow, uint8_t iHigh)
{
    std::vector<uint8_t> v(size_t(iPix), 0);
    for (int32_t i = 5; i < iPix - 5; ++i)
        v[size_t(i)] = (i % 4) < 2 ? iHigh : iLow;
    return v;
}

struct CFocusRun {
    std::vector<int32_t> m_Contrast;
    std::array<int32_t, FOCUS_CAMERAS> m_Segments{};
};

CFocusRun RunFocus(std::vector<uint8_t>& line, std::array<int32_t, FOCUS_CAMERAS> pix, int32_t iCameras)
{
    CSimScanner sim(iCameras, 0, "sim", false);
    CFocusEvaluation focus(&sim);
    CFocusData data;
    data.m_pGreen = line.data();
    data.m_CameraPix = pix;
    data.m_iLength = int32_t(line.size());
    data.m_iColor = 4;
    focus.Evaluate(data);
    return {focus.Contrast(), focus.Segments()};
}

TEST(Focus, SegmentContrastOnPatternsOfKnownContrast)
{
    struct {
        const char* m_szName;
        int32_t m_iPix;
        uint8_t m_iLow, m_iHigh;
        int32_t m_iContrast;   // expected in the segments
        bool m_bWritten;
    } cases[] = {
        {"sharp", 400, 40, 200, 160, true},
        {"soft", 400, 100, 140, 40, true},
        {"barely", 400, 120, 121, 1, false},   // C > 1 only
        {"flat", 400, 90, 90, 0, false},       // every pixel both peak and valley
        {"too short", 70, 40, 200, 0, false},  // 60 pixels between wires: no pixel walked fills the lists
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szName);
        std::vector<uint8_t> line = PatternLine(c.m_iPix, c.m_iLow, c.m_iHigh);
        const CFocusRun run = RunFocus(line, {c.m_iPix, 0, 0, 0}, 1);
        const int32_t iMax = *std::max_element(run.m_Contrast.begin(), run.m_Contrast.end());
        EXPECT_EQ(iMax, c.m_bWritten ? c.m_iContrast : 0);
        EXPECT_EQ(run.m_Segments[0] > 0, c.m_bWritten);
        // Nothing is written within 30 pixels of the wires.
        for (int32_t i = 0; i < 5 + 30; ++i)
            EXPECT_EQ(run.m_Contrast[size_t(i)], 0) << i;
    }
}

TEST(Focus, SegmentsSpanFromStartToTheirEnd)
{
    std::vector<uint8_t> line = PatternLine(600, 50, 150);
    const CFocusRun run = RunFocus(line, {600, 0, 0, 0}, 1);
    // A pattern of period 4 gives a peak and a valley every 2 walked pixels,
    // so 30 of each fill after 59 or 60 pixels: the first segment starts at
    // wire start + 30 = 35.
    EXPECT_EQ(run.m_Contrast[34], 0);
    EXPECT_EQ(run.m_Contrast[35], 100);
    EXPECT_GE(run.m_Segments[0], 7);
    // The unfinished last segment writes nothing.
    EXPECT_EQ(run.m_Contrast[600 - 5 - 30 - 1], 0);
}

TEST(Focus, StitchWireChecksLeaveTheCameraAtZero)
{
    const std::string szLog = log_FilePath();
    struct {
        const char* m_szName;
        std::vector<uint8_t> m_Line;
    } cases[] = {
        {"start 0", std::vector<uint8_t>(400, 100)},   // first pixel already reads light
        {"no light", std::vector<uint8_t>(400, 1)},    // no pixel >= 2: both wires 0
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.m_szName);
        const CFocusRun run = RunFocus(c.m_Line, {400, 0, 0, 0}, 1);
        EXPECT_EQ(*std::max_element(run.m_Contrast.begin(), run.m_Contrast.end()), 0);
        EXPECT_EQ(run.m_Segments[0], 0);
    }
    // An end before its start (handed in by the caller) is refused as well.
    std::vector<uint8_t> line = PatternLine(400, 40, 200);
    CSimScanner sim(1, 0, "sim", false);
    CFocusEvaluation focus(&sim);
    CFocusData data;
    data.m_pGreen = line.data();
    data.m_CameraPix = {400, 0, 0, 0};
    data.m_iLength = 400;
    data.m_StitchWireStart = {300, 0, 0, 0};
    data.m_StitchWireEnd = {100, 0, 0, 0};
    data.m_bHasStitchWires = true;
    EXPECT_EQ(focus.Evaluate(data), 0);
    if (!szLog.empty()) {
        const std::string szText = ReadFileBytes(szLog);
        EXPECT_NE(szText.find("Focus Test   Camera 0   m_iStitchWire_End<m_iStitchWire_Start"), std::string::npos);
        EXPECT_NE(szText.find("Focus Test   Camera 0   m_iStitchWire_Start==0"), std::string::npos);
    }
}

TEST(Focus, CamerasComeFromTheScannerAndKeepTheirOwnRanges)
{
    std::vector<uint8_t> line = PatternLine(400, 40, 200);
    const std::vector<uint8_t> second = PatternLine(400, 100, 140);
    line.insert(line.end(), second.begin(), second.end());
    for (int32_t iCameras : {1, 2}) {
        SCOPED_TRACE(iCameras);
        const CFocusRun run = RunFocus(line, {400, 400, 0, 0}, iCameras);
        EXPECT_EQ(run.m_Contrast[200], 160);
        EXPECT_EQ(run.m_Contrast[600], iCameras == 2 ? 40 : 0);
    }
}

TEST(OscRules, PauseKeepsThePreviousOutsideTheRange)
{
    struct {
        int32_t m_iCurrent, m_iEntered, m_iResult;
    } cases[] = {{100, 50, 100}, {100, 20000, 100}, {300, 100, 100}, {300, 10000, 10000}, {300, 99, 300},
                 {300, 10001, 300}, {250, 500, 500}};
    for (const auto& c : cases)
        EXPECT_EQ(NextPause(c.m_iCurrent, c.m_iEntered), c.m_iResult) << c.m_iEntered;
}

TEST(OscRules, DirectoryLabels)
{
    struct {
        const char* m_szPath;
        const char* m_szLabel;
    } cases[] = {
        {"/d/Oscil_Unadjusted_Gray_300.con", "300dpi Gray Unadjusted"},
        {"/d/OSCIL_color_600.CON", "600dpi Color Adjusted"},
        {"/d/Oscil_unadjust_1200.con", "1200dpi Color Unadjusted"},
        {"/d/Oscil_gray.con", "0dpi Gray Adjusted"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeDirEntry(c.m_szPath).Label(), c.m_szLabel) << c.m_szPath;

    CTempDir dir;
    for (const char* sz : {"Oscil_b_300.con", "oscil_a_600.CON", "Other_300.con", "Oscil_c.txt"})
        WriteFileBytes(dir.File(sz), "x");
    std::filesystem::create_directory(dir.File("Oscil_dir.con"));
    const std::vector<COscDirEntry> entries = ScanOscDirectory(dir.Path() + "/");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::filesystem::path(entries[0].m_szPath).filename(), "Oscil_b_300.con");
    EXPECT_EQ(std::filesystem::path(entries[1].m_szPath).filename(), "oscil_a_600.CON");
    EXPECT_EQ(DirEntryIndex(1, 2), 1u);
    EXPECT_EQ(DirEntryIndex(5, 2), 0u);
}

TEST(OscRules, CameraAdjustmentByGenerationAndCameraCount)
{
    struct {
        int32_t m_iGeneration, m_iCameras;
        bool m_bApplies;
    } cases[] = {{9, 5, true}, {12, 8, true}, {8, 5, false}, {9, 4, false}, {5, 2, false}};
    for (const auto& c : cases)
        EXPECT_EQ(CameraAdjustmentApplies(c.m_iGeneration, c.m_iCameras), c.m_bApplies)
            << c.m_iGeneration << " " << c.m_iCameras;
    // 5 cameras of 5400 pixels over 45 inches (factor 10.6) is 600 dpi, truncated to hundreds.
    EXPECT_EQ(RecordingOpticalResolution(27000, 54000 / 5088.0), 600);
    EXPECT_EQ(RecordingOpticalResolution(27000 - 200, 54000 / 5088.0), 500);
}

TEST(OscRules, PrintHeaderLinesArePaddedTo15)
{
    COscRecording rec;
    rec.m_szScannerName = "Zel";
    rec.m_szDate = "07.12.2026";
    rec.m_szTime = "06:00";
    rec.m_bColor = true;
    std::vector<std::string> lines = OscPrintHeaderLines(rec, 2);
    ASSERT_EQ(lines.size(), 4u);  // no identifier, no ID line
    EXPECT_EQ(lines[0], "Scanner Name:  Zel");
    EXPECT_EQ(lines[1], "Date   :       07.12.2026");
    EXPECT_EQ(lines[2], "Time:          06:00");
    EXPECT_EQ(lines[3], "Color:         Blue");
    rec.m_szScannerID = "CH1";
    rec.m_bColor = false;
    lines = OscPrintHeaderLines(rec, 0);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "Scanner ID:    CH1");
    EXPECT_EQ(lines[4], "Color:         Gray");
}

COscRecording ThreeCameraRecording(int64_t iLines)
{
    COscRecording rec;
    rec.m_iCameraCount = 3;
    rec.m_CameraPix = {200, 200, 200, 0, 0, 0, 0, 0};
    rec.m_iPixelsPerLine = 600;
    rec.m_iLines = iLines;
    for (int64_t y = 0; y < iLines; ++y)
        for (int32_t x = 0; x < 600; ++x)
            rec.m_Planes[1].push_back(x % 200 < 10 || x % 200 >= 190 ? 0 : static_cast<uint8_t>(100 + y));
    return rec;
}

TEST(OscViews, DetailRangesPerMode)
{
    const COscRecording rec = ThreeCameraRecording(4);
    struct {
        EOscViewMode m_eMode;
        int32_t m_iCamera;
        int64_t m_iLeftFirst, m_iLeftCount, m_iRightFirst, m_iRightCount;
    } cases[] = {
        {OSC_VIEW_NORMAL, 0, 192, 16, 192, 16},     // the first stitch in both at start
        {OSC_VIEW_NORMAL, 1, 192, 16, 392, 16},
        {OSC_VIEW_LIGHT_PROFILE, 1, 200, 200, 400, 200},
        {OSC_VIEW_SCAN_WIDTH, 2, 400, 64, 536, 64},
        {OSC_VIEW_VERTICAL, 0, 0, 4, 0, 4},         // lines, not pixels
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(OscViewModeName(c.m_eMode)) + " " + std::to_string(c.m_iCamera));
        COscViewState state;
        state.m_eMode = c.m_eMode;
        state.m_iCamera = c.m_iCamera;
        CLPFGraph overview, left, right;
        COscilloscopeViews().Apply(rec, state, overview, left, right, true);
        EXPECT_EQ(overview.Zoom(), 1);
        EXPECT_NEAR(left.FirstVisible(), double(c.m_iLeftFirst), 4.0);
        EXPECT_NEAR(left.VisibleCount(), double(c.m_iLeftCount), 4.0);
        EXPECT_NEAR(right.FirstVisible(), double(c.m_iRightFirst), 4.0);
        EXPECT_NEAR(right.VisibleCount(), double(c.m_iRightCount), 4.0);
    }
    // Scan width marks the first and last pixel that reads light.
    COscViewState state;
    state.m_eMode = OSC_VIEW_SCAN_WIDTH;
    state.m_iCamera = 1;
    CLPFGraph overview, left, right;
    COscilloscopeViews().Apply(rec, state, overview, left, right, true);
    EXPECT_EQ(left.Markers()[0], 210);
    EXPECT_EQ(right.Markers()[0], 389);
    EXPECT_EQ(COscilloscopeViews::DetailCaption(rec, state, false), "Camera B: 180 active pixels, 10 covered at its end");

    // Camera adjustment: each detail on a mark the camera found, the middle
    // mark where it has no neighbour on that side; a missing mark falls back
    // to the stitch.
    COscMarks marks{};
    marks[0] = {0, 180.4, 110};
    marks[1] = {215.6, 0, 300};
    state.m_eMode = OSC_VIEW_CAMERA_ADJUSTMENT;
    struct {
        int32_t m_iCamera;
        int64_t m_iLeft, m_iRight;
    } adjust[] = {{0, 110, 180}, {1, 216, 400}};
    for (const auto& c : adjust) {
        SCOPED_TRACE(c.m_iCamera);
        state.m_iCamera = c.m_iCamera;
        COscilloscopeViews().Apply(rec, state, overview, left, right, true, nullptr, &marks);
        EXPECT_EQ(left.Markers()[0], c.m_iLeft);
        EXPECT_EQ(right.Markers()[0], c.m_iRight);
        EXPECT_NEAR(left.FirstVisible(), double(c.m_iLeft - OSC_WIDTH_PIXELS / 2), 4.0);
    }
    EXPECT_EQ(COscilloscopeViews::DetailCaption(rec, state, false, &marks), "Camera B right stitch mark not found");
}

TEST(OscViews, LightProfileNeedsTwoCamerasAndVerticalFollowsTheLines)
{
    EXPECT_EQ(EffectiveViewMode(OSC_VIEW_LIGHT_PROFILE, 1), OSC_VIEW_VERTICAL);
    EXPECT_EQ(EffectiveViewMode(OSC_VIEW_LIGHT_PROFILE, 2), OSC_VIEW_LIGHT_PROFILE);
    const COscRecording rec = ThreeCameraRecording(5);
    const std::vector<uint8_t> means = CameraLineMeans(rec, 1, 2);
    EXPECT_EQ(means, (std::vector<uint8_t>{100, 101, 102, 103, 104}));

    // A positioning line: camera A sees it at line 2, camera B two lines later.
    COscRecording lined = ThreeCameraRecording(6);
    for (int32_t x = 10; x < 190; ++x) {
        lined.m_Planes[1][size_t(1 * 600 + x)] = 20;
        lined.m_Planes[1][size_t(3 * 600 + 200 + x)] = 20;
    }
    COscViewState state;
    state.m_eMode = OSC_VIEW_VERTICAL;
    EXPECT_EQ(COscilloscopeViews::DetailCaption(lined, state, true), "Camera A mean level per line (6 lines), darkest line 2");
    EXPECT_EQ(COscilloscopeViews::DetailCaption(lined, state, false),
              "Camera B mean level per line (6 lines), darkest line 4: +2 lines from A");
    EXPECT_EQ(COscilloscopeViews::DetailCaption(rec, state, true),
              "Camera A mean level per line (5 lines), no positioning line");
}

} // namespace

namespace {

TEST(OscAdjust, StandInScannerFollowsTheRecording)
{
    struct {
        bool m_bColor;
        int32_t m_iCameras, m_iType;
        bool m_bRan;
    } cases[] = {{true, 5, 17, true}, {false, 5, 17, false}, {true, 6, 28, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_iType);
        COscRecording rec;
        rec.m_bColor = c.m_bColor;
        rec.m_iColorCode = c.m_bColor ? 3 : 4;
        rec.m_iCameraCount = c.m_iCameras;
        rec.m_iScannerFamily = c.m_iType;
        for (int32_t i = 0; i < c.m_iCameras; ++i)
            rec.m_CameraPix[size_t(i)] = 5400;
        rec.m_iPixelsPerLine = 5400 * c.m_iCameras;
        rec.m_dWidthFactor = 5400.0 * c.m_iCameras / 600.0 / 4.24;
        rec.m_iLines = 1;
        for (int p = 0; p < 3; ++p)
            rec.m_Planes[size_t(p)].assign(size_t(rec.m_iPixelsPerLine), 180);
        COscCameraAdjustment adjust;
        const COscAdjustResult r = adjust.Run(rec, 0);
        EXPECT_EQ(adjust.Scanner().m_iFixedCameraCount, c.m_iCameras);
        EXPECT_EQ(adjust.Scanner().m_iFixedScannerType, c.m_iType);
        EXPECT_EQ(adjust.Scanner().m_iFixedOpticalResolution, 600);
        EXPECT_EQ(r.m_bRan, c.m_bRan);
        // A flat line holds no stitch marks: nothing is measured, every camera is tagged blue.
        const std::vector<uint8_t> tags = AdjustmentTags(rec, r);
        EXPECT_EQ(tags.empty(), !c.m_bRan);
        if (c.m_bRan) {
            EXPECT_NE(r.m_iError, 0);
            EXPECT_EQ(tags[2700], 3);
            EXPECT_EQ(tags[0], 0);
            EXPECT_NE(r.Text().find("A n/a"), std::string::npos);
        }
    }
}

} // namespace
