// The two live tests on the simulated scanner: the scenario puts the front
// and rear cameras' scan lines and the carriage tilt somewhere, the engines
// must find them there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "../scanner/SimFixture.h"
#include "scanner/ContScan.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"
#include "testtools/ResultText.h"

namespace {

CLiveTestOptions Quick()
{
    CLiveTestOptions o;
    o.m_iSettleMs = 0;
    return o;
}

// The wires are 2 pixels wide at 600 dpi and as wide on paper at 1200 dpi;
// at 300 dpi they stay 2 pixels, as a 1-pixel wire between two pixels is
// not dark enough to be seen.
std::string PositioningScenario(double dFront, double dRear, int32_t iSeed, double dSigma, double dColourLines = 0,
                                int32_t iGeneration = 6, int32_t iResolution = 600)
{
    return kFast + Printf("[Sheet]\nKind=line\nMarkWidth=%.1f\nFrontLineY=%.3f\nRearLineY=%.3f\n[Noise]\nSeed=%d\nSigma=%.2f\n"
                          "[Camera.A]\nBlur=1\n[Camera.B]\nBlur=1\n[Model]\nColourLines=%.1f\nGeneration=%d\n"
                          "OpticalResolution=%d\n",
                          std::max(2.0, 2.0 * iResolution / 600), dFront, dRear, iSeed, dSigma, dColourLines, iGeneration, iResolution);
}

// Camera A is a front camera, B a rear one; both see the carriage tilt at
// their place plus their own tilt, over the sheet's length.
std::string CarriageScenario(double dCarriage, double dTiltA, double dTiltB, int32_t iSeed, int32_t iLength)
{
    return kFast + Printf("[Sheet]\nKind=line\nMarkWidth=2\nMarkRepeat=40\nFrontLineY=4\nRearLineY=6\n[Paper]\nLength=%d\n"
                          "[Carriage]\nTilt=%.3f\n[Camera.A]\nTilt=%.3f\nBlur=1\n[Camera.B]\nTilt=%.3f\nBlur=1\n"
                          "[Noise]\nSeed=%d\nSigma=1\n",
                          iLength, dCarriage, dTiltA, dTiltB, iSeed);
}

class CLiveTest : public CSimFixture {};

} // namespace

TEST_F(CLiveTest, PositioningFindsTheInjectedScanLines)
{
    // Every other scenario has colour rows apart, 14 lines at 600 dpi and 28
    // at 1200: there the colours tell the sign, so a camera may look behind
    // the line too, and older scanners report each colour at its own row,
    // newer ones at the camera's. (At 300 dpi the 7 lines between the rows
    // are fewer than two merged wires span, so near the line the sign can
    // stay unknown.)
    for (int32_t i = 0; i < 20; ++i) {
        const bool bRows = i % 2 == 1;
        const int32_t iGeneration = i % 4 < 2 ? 6 : 10;
        const int32_t iResolution = bRows ? (i % 4 == 1 ? 600 : 1200) : (i % 6 == 0 ? 300 : i % 6 == 2 ? 600 : 1200);
        // Without colour rows from a line ahead up: the wires touch below about half a line.
        const double dFront = bRows ? -9.0 + std::fmod(i * 3.37, 18.5) : 1.0 + std::fmod(i * 1.37, 8.5);
        const double dRear = bRows ? -9.0 + std::fmod(i * 5.91, 18.5) : 1.0 + std::fmod(i * 2.91, 8.5);
        const double dRows = bRows ? 14.0 * iResolution / 600 : 0.0;
        SCOPED_TRACE(Printf("seed %d front %.3f rear %.3f rows %.0f generation %d at %d dpi", i + 1, dFront, dRear,
                            dRows, iGeneration, iResolution));
        Open(PositioningScenario(dFront, dRear, i + 1, 1.0, dRows, iGeneration, iResolution));
        CCenterCCDEngine e;
        ASSERT_EQ(RunPositioning(m_Scanner, e, 3, Quick()), 0);
        ASSERT_GT(e.m_FrontAverage.Count(), 0);
        // Colour c's row: (1 - c) rows ahead in the front camera, behind in the rear one.
        auto truth = [&](double dLine, int32_t c, double dOrder) {
            return dLine + (iGeneration >= 10 ? 0.0 : dOrder * (1 - c) * dRows);
        };
        const double dF = e.m_FrontAverage.Mean(), dR = e.m_RearAverage.Mean();
        EXPECT_NEAR(dF, truth(dFront, 2, 1), 0.1);
        EXPECT_NEAR(dR, truth(dRear, 2, -1), 0.1);
        for (int32_t c = 0; c < 2; ++c) {
            EXPECT_NEAR(e.m_dFront[size_t(c)], truth(dFront, c, 1), 0.1) << "colour " << c;
            EXPECT_NEAR(e.m_dRear[size_t(c)], truth(dRear, c, -1), 0.1) << "colour " << c;
        }
        // A colour whose wires merged is drawn with edges filled in from the others.
        for (const auto* pLines : {&e.m_FrontLines, &e.m_RearLines})
            for (const CRowLines& l : *pLines)
                for (double dEdge : l.m_dEdge)
                    EXPECT_GE(dEdge, 0.0);
        m_Scanner.CloseScanner(true);
        m_Scanner.CloseLibrary();
    }
}

TEST_F(CLiveTest, CarriageFindsTheInjectedDrift)
{
    for (int32_t i = 0; i < 20; ++i) {
        const double dCarriage = -12.0 + std::fmod(i * 5.3, 24.0), dTiltA = std::fmod(i * 1.7, 4.0) - 2.0,
                     dTiltB = std::fmod(i * 2.3, 3.0) - 1.5;
        const int32_t iLength = 4800; // 4 inches
        SCOPED_TRACE(Printf("seed %d carriage %.2f tilt A %.2f B %.2f", i + 1, dCarriage, dTiltA, dTiltB));
        Open(CarriageScenario(dCarriage, dTiltA, dTiltB, i + 1, iLength));
        CCenterCCDEngine e;
        ASSERT_EQ(RunCarriageTravel(m_Scanner, e, Quick()), 0);
        ASSERT_GT(e.Rows(), 1000);
        // Over its travel a camera gains its tilt times the part of the sheet travelled.
        const double dTravel = e.Rows() * 2.0 / iLength; // two sheet units a row at 600 dpi
        const double dFront = (dTiltA + dCarriage * (0.0 / 3 - 0.5)) * dTravel;
        const double dRear = (dTiltB + dCarriage * (1.0 / 3 - 0.5)) * dTravel;
        EXPECT_NEAR(e.m_dPathDiffFront, dFront, 0.1);
        EXPECT_NEAR(e.m_dPathDiffRear, dRear, 0.1);
        m_Scanner.CloseScanner(true);
        m_Scanner.CloseLibrary();
    }
}

TEST_F(CLiveTest, ALostConnectionEndsTheTestWithItsError)
{
    Open(PositioningScenario(3, 4, 1, 1.0) + "[Faults]\nLoseConnectionAfter=60\n");
    CCenterCCDEngine e;
    EXPECT_NE(RunPositioning(m_Scanner, e, 1000, Quick()), 0);
    EXPECT_FALSE(e.m_bRunning);
}

TEST_F(CLiveTest, ACancelEndsTheTravelScan)
{
    Open(CarriageScenario(2, 0, 0, 1, 4800));
    CCenterCCDEngine e;
    std::atomic<bool> bCancel{false};
    CLiveTestOptions o = Quick();
    o.m_pCancel = &bCancel;
    const int32_t iError = RunCarriageTravel(m_Scanner, e, o, [&](int32_t iRows) { bCancel = iRows > 100; });
    EXPECT_EQ(iError, ScannerProgramError(ERR_USER_CANCELLED));
    EXPECT_LT(e.Rows(), 2000);
}

TEST(LiveTestRules, CarriageSpeedChoicesAndFileFilter)
{
    struct Case {
        int32_t m_iChoice, m_iSpeed;
    };
    for (const Case& c : {Case{CARRIAGE_FAST, 25}, Case{CARRIAGE_MIDDEL, 10}, Case{CARRIAGE_SLOW, 5}, Case{7, 25}}) {
        EXPECT_EQ(CarriageSpeedOf(c.m_iChoice), c.m_iSpeed) << c.m_iChoice;
        if (c.m_iChoice < 3)
            EXPECT_EQ(CarriageChoiceOf(c.m_iSpeed), c.m_iChoice) << c.m_iSpeed; // a speed chooses its own button
    }
    // The boundaries of the buttons an opening dialog chooses.
    for (const Case& c : {Case{CARRIAGE_SLOW, 7}, Case{CARRIAGE_MIDDEL, 8}, Case{CARRIAGE_MIDDEL, 14},
                          Case{CARRIAGE_FAST, 15}, Case{CARRIAGE_FAST, 100}})
        EXPECT_EQ(CarriageChoiceOf(c.m_iSpeed), c.m_iChoice) << c.m_iSpeed;
    EXPECT_EQ(CarriageSpeedByte(1000), 255);
    EXPECT_EQ(LiveFileFilter("Adjust Center CCD", "ACC"), "Adjust Center CCD (*.ACC)|*.ACC|All Files (*.*)|*.*||");
}

// The speed the dialog chooses is a setting of the travel scan alone: the
// scan at either speed covers exactly the travel asked for, and the window
// keeps its own carriage byte for every other scan. (How fast the simulated
// carriage then delivers is a matter of its clock, which no test can see
// without timing it.)
TEST_F(CLiveTest, TheCarriageSpeedIsTheTravelScansOwn)
{
    for (const int32_t iSpeed : {5, 250}) {
        SCOPED_TRACE(iSpeed);
        Open(kFast + "[Paper]\nLength=4800\n[Sheet]\nKind=line\nMarkWidth=2\nMarkRepeat=40\nFrontLineY=4\nRearLineY=6\n");
        m_Scanner.m_Window.m_byVendor2 = 7;
        CCenterCCDEngine e;
        e.m_iScanSpeed = iSpeed;
        CLiveTestOptions o = Quick();
        o.m_dTravelInch = 0.25;
        EXPECT_EQ(RunCarriageTravel(m_Scanner, e, o), 0);
        EXPECT_EQ(e.Rows(), 150) << "a quarter inch at 600 dpi";
        EXPECT_EQ(m_Scanner.m_Window.m_byVendor2, 7);
        m_Scanner.CloseScanner(true);
        m_Scanner.CloseLibrary();
    }
}

TEST(LiveTestSamples, SamplesComeFromTheSimulatorAndReadBack)
{
    CTempDir dir;
    const std::vector<std::string> written = WriteLiveTestSamples(dir.Path());
    ASSERT_EQ(written.size(), 2u);
    CCenterCCDEngine p, c;
    ASSERT_TRUE(p.ReadPositioning(written[0])) << written[0];
    EXPECT_NEAR(p.m_dFront[2], 4.2, 0.1);
    EXPECT_NEAR(p.m_dRear[2], 5.6, 0.1);
    EXPECT_TRUE(p.Passed());
    ASSERT_TRUE(c.ReadCarriage(written[1])) << written[1];
    // The carriage turns the front camera's line one way, the rear camera's the other.
    EXPECT_STREQ(TurnDirection(PixelsToMove(c.m_dPathDiffFront)), "CW");
    EXPECT_STREQ(TurnDirection(PixelsToMove(c.m_dPathDiffRear)), "CCW");
}
