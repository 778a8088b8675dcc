#include <algorithm>
#include <chrono>
#include <thread>

#include "SimFixture.h"
#include "platform/Messages.h"
#include "scanner/ScanLibrary.h"

namespace {

using CScannerCalibration = CSimFixture;

// Keys given first win, so a test's own values go in front of the defaults.
std::string SoftwareScenario(const std::string& szModelKeys = std::string())
{
    return kFast + "[Model]\n" + szModelKeys +
           "SoftwareScanner=1\nCameras=4\nCISModes=0x07\nCISResolutions=300,600,1200\nStitchMin=-40\nStitchMax=40\n"
           "LeastLines=100\nMostLines=720\n";
}
const std::string kSoftware = SoftwareScenario();

TEST_F(CScannerCalibration, GainOffsetRoundTripAndWireLayout)
{
    Open(kFast + "[Model]\nCameras=2\n");
    CGainOffset go;
    go.m_iCameraCount = 2;
    for (int c = 0; c < 2; ++c)
        for (int color = 0; color < 4; ++color) {
            int16_t* w = go.m_Cameras[c].m_Words[color];
            w[CGainOffset::WORD_ODD_GAIN] = static_cast<int16_t>(100 + 10 * c + color);
            w[CGainOffset::WORD_ODD_OFFSET] = static_cast<int16_t>(-5 - color);
            w[CGainOffset::WORD_EVEN_GAIN] = static_cast<int16_t>(200 + 10 * c + color);
            w[CGainOffset::WORD_EVEN_OFFSET] = static_cast<int16_t>(300 + c);
        }
    ASSERT_EQ(m_Scanner.WriteGainOffset(go, -1), 0);
    uint8_t raw[64];
    ASSERT_EQ(m_Scanner.ReadBuffer(ZEL_BUF_GAIN_OFFSET, 0, raw), 0);
    // Camera B green is the fifth colour entry; the gray entries follow all colours.
    const uint8_t* pBGreen = raw + (1 * 3 + 1) * 8;
    EXPECT_EQ(pBGreen[0] << 8 | pBGreen[1], 301);             // even offset
    EXPECT_EQ(pBGreen[2] << 8 | pBGreen[3], 211);             // even gain
    EXPECT_EQ(static_cast<int16_t>(pBGreen[4] << 8 | pBGreen[5]), -6); // odd offset
    EXPECT_EQ(pBGreen[6] << 8 | pBGreen[7], 111);             // odd gain
    const uint8_t* pAGray = raw + 2 * 24;
    EXPECT_EQ(pAGray[6] << 8 | pAGray[7], 103);

    CGainOffset back;
    ASSERT_EQ(m_Scanner.ReadGainOffset(back), 0);
    EXPECT_EQ(back.m_iCameraCount, 2);
    for (int c = 0; c < 2; ++c)
        for (int color = 0; color < 4; ++color)
            for (const int word : {0, 1, 4, 5})
                EXPECT_EQ(back.m_Cameras[c].m_Words[color][word], go.m_Cameras[c].m_Words[color][word]);
}

TEST_F(CScannerCalibration, StitchValuesClampOnOlderScanners)
{
    Open(kFast + "[Model]\nCameras=4\n");
    struct {
        int32_t m_In[7];
        int32_t m_Written[3];
        int32_t m_iResult;
    } const kCases[] = {
        {{45, -3, 0}, {30, -3, 0}, -100},
        {{-31, 30, -30}, {-30, 30, -30}, -100},
        {{5, 6, 7}, {5, 6, 7}, 0},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(m_Scanner.SetStitchValues(c.m_In), c.m_iResult);
        int32_t values[7] = {};
        ASSERT_EQ(m_Scanner.GetStitchValues(values), 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(values[i], c.m_Written[i]) << i;
        EXPECT_EQ(values[3], 0);
    }
}

TEST_F(CScannerCalibration, StitchValuesMoveIntoTheConfiguredRangeOnSoftwareScanners)
{
    struct {
        const char* m_szRange;
        int32_t m_In[7];
        int32_t m_Written[3];
        int32_t m_iResult;
    } const kCases[] = {
        // Span 80: 50 moves down to -30, -50 up to 30, 130 cannot be moved and clamps.
        {"", {50, -50, 10}, {-30, 30, 10}, 0},
        {"", {130, 0, 0}, {40, 0, 0}, -100},
        {"", {-200, 0, 0}, {-40, 0, 0}, -100},
        // A range beyond a byte is narrowed to the resolution's limit: 1200 dpi -> 244.
        {"StitchMin=-500\nStitchMax=500\n", {600, -100, 0}, {112, -100, 0}, 0},
        {"StitchMin=-500\nStitchMax=500\n", {800, -100, 0}, {244, -100, 0}, -100},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_In[0]);
        Open(SoftwareScenario(c.m_szRange));
        EXPECT_EQ(m_Scanner.SetStitchValues(c.m_In), c.m_iResult);
        uint8_t raw[14];
        ASSERT_EQ(m_Scanner.ReadBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, raw), 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(static_cast<int16_t>(raw[2 * i] << 8 | raw[2 * i + 1]), c.m_Written[i]) << i;
        // The byte view of the same table, as the stitch values slot reads it.
        int32_t values[7] = {};
        ASSERT_EQ(m_Scanner.GetStitchValues(values), 0);
        EXPECT_EQ(values[1], std::clamp(c.m_Written[1], -128, 127));
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CScannerCalibration, CISAlignmentSumsAndLimits)
{
    Open(kFast);
    struct {
        int8_t m_Values[8];
        bool m_bAdd, m_bIndependent;
        int8_t m_Expected[8];
    } const kCases[] = {
        {{10, 10, 10, 0, 0, 0, 0, 0}, false, false, {10, 20, 30, 30, 30, 30, 30, 30}},
        {{10, 10, 10, 0, 0, 0, 0, 0}, false, true, {10, 10, 10, 0, 0, 0, 0, 0}},
        {{60, 60, 0, 0, 0, 0, 0, 0}, false, false, {60, 100, 100, 100, 100, 100, 100, 100}},
        {{-60, -60, 0, 0, 0, 0, 0, 0}, false, false, {-60, -100, -100, -100, -100, -100, -100, -100}},
        {{120, -120, 0, 0, 0, 0, 0, 0}, false, true, {100, -100, 0, 0, 0, 0, 0, 0}},
        // Added to what the scanner holds (the previous case).
        {{5, 5, 5, 5, 5, 5, 5, 5}, true, true, {100, -95, 5, 5, 5, 5, 5, 5}},
    };
    for (const auto& c : kCases) {
        ASSERT_EQ(m_Scanner.SetCISAlignment(c.m_Values, c.m_bAdd, c.m_bIndependent), 0);
        int8_t now[8] = {};
        ASSERT_EQ(m_Scanner.ReadCISAlignment(now), 0);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(now[i], c.m_Expected[i]) << "area " << i;
    }
    uint8_t raw[8];
    m_Scanner.ReadBuffer(ZEL_BUF_CIS_ALIGNMENT, 0, raw);
    EXPECT_EQ(raw[1], 0xA1); // -95
}

TEST_F(CScannerCalibration, FractionalAlignmentIsCheckedForDelays)
{
    Open(kSoftware);
    const double ok[7] = {2.5, -1.49, 30.0};
    ASSERT_EQ(m_Scanner.SetCISAlignment(ok, false), 0);
    int8_t now[8] = {};
    ASSERT_EQ(m_Scanner.ReadCISAlignment(now), 0);
    EXPECT_EQ(now[0], 3);
    EXPECT_EQ(now[1], -1);
    EXPECT_EQ(now[2], 30);

    // Camera 2 (even) would be 101 lines behind the earliest: more than the 100 allowed.
    const double bad[7] = {-1.0, 0.0, 100.0};
    EXPECT_EQ(m_Scanner.SetCISAlignment(bad, false), 1036);
    ASSERT_EQ(m_Scanner.ReadCISAlignment(now), 0);
    EXPECT_EQ(now[2], 30); // nothing written

    // Beyond a byte the set is shifted back as a whole before the check.
    const double wide[7] = {90.0, 0.0, 150.0};
    EXPECT_EQ(m_Scanner.SetCISAlignment(wide, false), 1036);

    const int32_t odd[3] = {0, 700, 99};
    EXPECT_TRUE(m_Scanner.CheckAlignmentDelays(odd));
    const int32_t oddTooFar[3] = {0, 720, 0};
    EXPECT_FALSE(m_Scanner.CheckAlignmentDelays(oddTooFar));
}

TEST_F(CScannerCalibration, FractionalAlignmentOnOlderScanners)
{
    // No delay limits here; a set beyond a byte moves back as a whole and the
    // areas behind the last camera keep what they hold.
    Open(kFast + "[Model]\nCameras=4\n");
    const int8_t seven[8] = {0, 0, 0, 0, 0, 0, 0, 7};
    ASSERT_EQ(m_Scanner.SetCISAlignment(seven, false, true), 0);
    const int32_t oddTooFar[3] = {0, 720, 0};
    EXPECT_TRUE(m_Scanner.CheckAlignmentDelays(oddTooFar));
    const double wide[7] = {200.0, 100.0, 150.4};
    ASSERT_EQ(m_Scanner.SetCISAlignment(wide, true), 0);
    int8_t now[8] = {};
    ASSERT_EQ(m_Scanner.ReadCISAlignment(now), 0);
    const int8_t expected[8] = {127, 27, 77, 0, 0, 0, 0, 7};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(now[i], expected[i]) << "area " << i;
}

TEST_F(CScannerCalibration, CISModeSelection)
{
    Open(kSoftware);
    ASSERT_EQ(m_Scanner.GetCISModeCount(), 3);
    EXPECT_EQ(m_Scanner.GetCISModeResolution(0), 300);
    EXPECT_EQ(m_Scanner.GetCISModeResolution(2), 1200);
    EXPECT_EQ(m_Scanner.GetHighestCISModeResolution(), 1200);
    struct {
        int32_t m_iDpi, m_iNearest, m_iMode, m_iAtLeast;
    } const kCases[] = {
        {100, 300, 0, 300}, {500, 600, 1, 600}, {900, 600, 1, 1200}, // 900: equal distance, the lower mode wins
        {1000, 1200, 2, 1200}, {600, 600, 1, 600},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_iDpi);
        int32_t iChosen = 0;
        ASSERT_EQ(m_Scanner.CIS_SelectModeForDPI(c.m_iDpi, iChosen), 0);
        EXPECT_EQ(iChosen, c.m_iNearest);
        EXPECT_EQ(m_Scanner.GetCurrentCISMode(), c.m_iMode);
        ASSERT_EQ(m_Scanner.CIS_SelectModeForDPI(c.m_iDpi), 0);
        int32_t iNow = 0;
        m_Scanner.GetCurrentCISResolution(iNow);
        EXPECT_EQ(iNow, c.m_iAtLeast);
    }
}

TEST_F(CScannerCalibration, ModeTablesByModel)
{
    // The classic bit table, and the one optical mode of a software scanner
    // without a mode list.
    struct {
        const char* m_szModel;
        std::vector<int32_t> m_Modes;
    } const kCases[] = {
        {"SoftwareScanner=1\nCISModes=0x0D\n", {300, 1200, 508}},
        {"SoftwareScanner=1\nOpticalResolution=600\n", {600}},
        {"SoftwareScanner=1\nOpticalResolution=1200\n", {1200}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szModel);
        Open(kFast + "[Model]\n" + c.m_szModel);
        ASSERT_EQ(m_Scanner.GetCISModeCount(), int32_t(c.m_Modes.size()));
        for (size_t i = 0; i < c.m_Modes.size(); ++i)
            EXPECT_EQ(m_Scanner.GetCISModeResolution(int32_t(i)), c.m_Modes[i]) << i;
        if (c.m_Modes.size() == 1)
            EXPECT_EQ(m_Scanner.GetHighestCISModeResolution(), c.m_Modes[0]);
        m_Scanner.CloseScanner(true);
    }
    // A scanner without modes takes any resolution as it is.
    Open(kFast + "[Model]\nOpticalResolution=400\n");
    EXPECT_EQ(m_Scanner.GetCISModeResolution(0), 400);
    int32_t iChosen = 0;
    EXPECT_EQ(m_Scanner.CIS_SelectModeForDPI(123, iChosen), 0);
    EXPECT_EQ(iChosen, 123);
    EXPECT_EQ(m_Scanner.GetCurrentCISMode(), 0);
}

TEST_F(CScannerCalibration, DriveCommandsMoveTheSimulatedCamera)
{
    Open(kFast + "[Model]\nCameras=4\n[Paper]\nMotorSpeed=1000\n");
    EXPECT_EQ(m_Scanner.MoveCameraMotor(1, 1500.0), -1);
    ASSERT_EQ(m_Scanner.MoveCameraMotor(1, 2.5), 0);
    EXPECT_EQ(m_Scanner.DriveState(1), 17);
    ASSERT_EQ(m_Scanner.MoveCameraMotor(2, -1.25), 0);
    EXPECT_EQ(m_Scanner.DriveState(2), 18);
    double pos[8] = {};
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(m_Scanner.GetCameraMotorPositions(pos), 0);
        if (pos[1] == 2.5 && pos[2] == -1.25)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_DOUBLE_EQ(pos[1], 2.5);
    EXPECT_DOUBLE_EQ(pos[2], -1.25);
    EXPECT_DOUBLE_EQ(pos[0], 0.0);

    ASSERT_EQ(m_Scanner.RunCameraMotor(0, true), 0);
    EXPECT_EQ(m_Scanner.DriveState(0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(m_Scanner.StopCameraMotor(0), 0);
    m_Scanner.GetCameraMotorPositions(pos);
    const double dStopped = pos[0];
    EXPECT_GT(dStopped, 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_Scanner.GetCameraMotorPositions(pos);
    EXPECT_EQ(pos[0], dStopped);
    // A camera the scanner does not have is refused by the device.
    EXPECT_EQ(m_Scanner.MoveCameraMotor(6, 1.0), ZEL_ASC_INVALID_FIELD);
}

TEST_F(CScannerCalibration, CameraFactorsRoundToTheWireFormat)
{
    Open(kFast + "[Model]\nCameras=2\n");
    const double a[8] = {1.0, -0.5}, b[8] = {0.001953125, 2.0}, c[8] = {1.5, 1.5}, d[8] = {0.0, -1.0};
    ASSERT_EQ(m_Scanner.WriteCameraFactors(a, b, c, d), 0);
    double ra[8], rb[8], rc[8], rd[8];
    ASSERT_EQ(m_Scanner.ReadCameraFactors(ra, rb, rc, rd), 0);
    EXPECT_DOUBLE_EQ(ra[1], -0.5);
    EXPECT_DOUBLE_EQ(rb[0], 1.0 / 256); // 0.5 / 256 rounds half away from zero
    EXPECT_DOUBLE_EQ(rd[1], -1.0);
}

TEST_F(CScannerCalibration, LensCorrectionAreaCount)
{
    Open(kFast + "[Model]\nLensAreas=12\n");
    CMessageRecorder messages;
    int32_t iCount = 0;
    ASSERT_EQ(m_Scanner.GetLensCorrectionAreaCount(iCount), 0);
    EXPECT_EQ(iCount, 12);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "iCount!=16");
    std::vector<uint8_t> table;
    ASSERT_EQ(m_Scanner.ReadLensCorrection(table, iCount), 0);
    EXPECT_EQ(table.size(), 96u);
}

} // namespace
