// What the simulated cameras deliver, measured the way the calibration and
// the live tests measure it: through CScanner and the real library path.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <numeric>
#include <thread>

#include "SimFixture.h"
#include "platform/ByteOrder.h"
#include "scanner/ScanLibrary.h"

namespace {

// The default device at 600 dpi: 4 cameras of 5400 pixels, 16 dark pixels at
// each end, 128 pixels of overlap.
constexpr int32_t kPixels = 5400, kDark = 16, kOverlap = 128, kActive = kPixels - 2 * kDark;

struct CLine {
    std::vector<uint8_t> m_Bytes;
    int32_t m_iWidth = 0;
    std::array<int32_t, 8> m_Pixels{};
    int32_t m_iStatusWidth = 0;
    int32_t m_iReceived = 0;
    // Pixel i of camera c in the delivered (gray) line.
    uint8_t At(int32_t c, int32_t i) const
    {
        const int32_t iStart = std::accumulate(m_Pixels.begin(), m_Pixels.begin() + c, 0);
        return m_Bytes[static_cast<size_t>(iStart + i)];
    }
    double Mean(int32_t c, int32_t i0, int32_t i1, int32_t iStep = 1) const
    {
        double d = 0;
        int32_t n = 0;
        for (int32_t i = i0; i < i1; i += iStep, ++n)
            d += At(c, i);
        return n ? d / n : 0.0;
    }
};

// Centres of the dark runs in [i0, i1) of camera c, each weighted by its depth
// below 60 % of the brightest pixel there (the line finders' 127 of 214).
std::vector<double> DarkRuns(const CLine& line, int32_t c, int32_t i0, int32_t i1)
{
    int32_t hi = 0;
    for (int32_t i = i0; i < i1; ++i)
        hi = std::max<int32_t>(hi, line.At(c, i));
    const double dThreshold = 0.6 * hi;
    std::vector<double> centres;
    double dSum = 0, dWeight = 0;
    for (int32_t i = i0; i <= i1; ++i) {
        const double v = i < i1 ? line.At(c, i) : 255.0;
        if (v < dThreshold) {
            dSum += i * (dThreshold - v);
            dWeight += dThreshold - v;
        } else if (dWeight > 0) {
            centres.push_back(dSum / dWeight);
            dSum = dWeight = 0;
        }
    }
    return centres;
}

// Middle of the wire pair found in [i0, i1) of camera c; NaN without a pair.
double PairCentre(const CLine& line, int32_t c, int32_t i0, int32_t i1)
{
    const std::vector<double> runs = DarkRuns(line, c, i0, i1);
    return runs.size() == 2 ? (runs[0] + runs[1]) / 2 : std::nan("");
}

class CSimOptics : public CSimFixture {
protected:
    void OpenMode(const std::string& szIni, bool bStitched)
    {
        UseScenario(szIni);
        ASSERT_EQ(m_Scanner.OpenScanner(0, bStitched), 0);
        ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
    }
    CLine Read(int32_t iBytesPerPixel = 1, int32_t iLines = 1)
    {
        CLine line;
        EXPECT_EQ(m_Scanner.GetCameraPixels8(line.m_Pixels), 0);
        line.m_iWidth = std::accumulate(line.m_Pixels.begin(), line.m_Pixels.end(), 0);
        uint8_t status[25] = {};
        int32_t iReceived = 0;
        m_Scanner.ReadStatus(status, iReceived, 25);
        line.m_iStatusWidth = Be32(status + 21);
        line.m_Bytes.assign(static_cast<size_t>(line.m_iWidth) * iBytesPerPixel * iLines, 0);
        const int32_t iResult = m_Scanner.ReadScanData(line.m_Bytes.data(), static_cast<int32_t>(line.m_Bytes.size()),
                                                       line.m_iReceived);
        EXPECT_TRUE(iResult == 0 || iResult == ZEL_ASC_END_OF_MEDIUM) << iResult;
        return line;
    }
    // Black level (dark reference pixels) and white level (middle of camera A)
    // with the gray entry of camera A set to this offset and gain on both channels.
    std::pair<double, double> Levels(int16_t iOffset, int16_t iGain);
    CLine ScanStill(const std::string& szIni, bool bStitched = false, int32_t iMode = 2, int32_t iDpi = 600)
    {
        OpenMode(szIni, bStitched);
        StartScan(iMode, iDpi);
        return Read(iMode == 3 ? 3 : 1);
    }
};

const std::string kCalibration = kFast + "[Sheet]\nKind=calibration\n";
const std::string kWhite = kFast + "[Sheet]\nKind=white\n";

// ---------------------------------------------------------------- one camera model

TEST_F(CSimOptics, EveryAnswerAboutPixelsAgreesWithTheDeliveredLine)
{
    struct {
        const char* m_szModel;
        bool m_bStitched;
        int32_t m_iDpi;
        int32_t m_iWidth;
        int32_t m_iCameras;
    } const kCases[] = {
        // Raw rows: every camera whole, dark pixels included.
        {"", false, 600, 4 * kPixels, 4},
        {"", false, 300, 4 * kPixels / 2, 4},
        // Stitched: each overlap counted once.
        {"", true, 600, 4 * kActive - 3 * kOverlap, 4},
        {"Cameras=2\nScanWidth=24000\n", false, 600, 12000, 2},
        {"Cameras=2\nScanWidth=24000\n", true, 600, 2 * (6000 - 2 * kDark) - kOverlap, 2},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.m_szModel << c.m_bStitched << " " << c.m_iDpi);
        const CLine line = ScanStill(kCalibration + "[Model]\n" + c.m_szModel, c.m_bStitched, 2, c.m_iDpi);
        EXPECT_EQ(line.m_iWidth, c.m_iWidth);
        EXPECT_EQ(line.m_iStatusWidth, c.m_iWidth);
        EXPECT_EQ(line.m_iReceived, c.m_iWidth);
        int32_t first[8] = {}, last[8] = {};
        ASSERT_EQ(m_Scanner.GetCameraPixelRanges(first, last), 0);
        for (int32_t k = 0; k < c.m_iCameras; ++k) {
            EXPECT_EQ(last[k] - first[k] + 1, line.m_Pixels[static_cast<size_t>(k)]) << k;
            if (k > 0)
                EXPECT_EQ(first[k], last[k - 1] + 1) << k; // no gap, no overlap in the line
        }
        EXPECT_EQ(line.m_Pixels[static_cast<size_t>(c.m_iCameras)], 0);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, WindowCutsTheLineButCountsStayConsistent)
{
    // One inch from the left at 100 dpi: camera A alone, 100 pixels.
    OpenMode(kCalibration, false);
    StartScan(2, 100, 1200, 120);
    const CLine line = Read(1, 10);
    EXPECT_EQ(line.m_iWidth, 100);
    EXPECT_EQ(line.m_Pixels[0], 100);
    EXPECT_EQ(line.m_iStatusWidth, 100);
    EXPECT_EQ(line.m_iReceived, 1000);
}

// ---------------------------------------------------------------- calibration sheet

TEST_F(CSimOptics, CalibrationSheetShowsKPlatesAndStitchMarksWhereTheGeometryPutsThem)
{
    const CLine line = ScanStill(kCalibration + "[Camera.B]\nOffsetX=5\n[Camera.C]\nOffsetX=-3.5\n");
    // Dark reference pixels read the black level; the white patch follows.
    EXPECT_LT(line.Mean(0, 2, kDark - 2), 30);
    EXPECT_GT(line.Mean(0, kDark + 2, kDark + 40), 150);
    // The left K-plate: three bars inside the first 0.2 inch, then the black patch.
    const std::vector<double> bars = DarkRuns(line, 0, kDark, kDark + 120);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_NEAR(bars[0], kDark + 64, 0.6);
    EXPECT_NEAR(bars[2] - bars[0], 32, 0.6);
    EXPECT_LT(line.Mean(0, kDark + 140, kDark + 180), 30);
    // The right K-plate mirrored at camera D's far end.
    const std::vector<double> right = DarkRuns(line, 3, kPixels - kDark - 120, kPixels - kDark);
    ASSERT_EQ(right.size(), 3u);
    EXPECT_NEAR(right[2], kPixels - kDark - 64, 0.6);

    // The stitch mark of each overlap, seen by both cameras; a camera that
    // looks further right sees it earlier in its row.
    const double kSeenByLeft = kPixels - kDark - kOverlap / 2.0, kSeenByRight = kDark + kOverlap / 2.0;
    struct {
        int32_t m_iCamera;
        bool m_bLeftEnd;
        double m_dExpected;
    } const kMarks[] = {
        {0, false, kSeenByLeft}, {1, true, kSeenByRight - 5}, {1, false, kSeenByLeft - 5},
        {2, true, kSeenByRight + 3.5}, {2, false, kSeenByLeft + 3.5}, {3, true, kSeenByRight},
    };
    for (const auto& m : kMarks) {
        SCOPED_TRACE(testing::Message() << "camera " << m.m_iCamera << (m.m_bLeftEnd ? " left" : " right"));
        const int32_t i0 = m.m_bLeftEnd ? kDark : kPixels - kDark - kOverlap;
        EXPECT_NEAR(PairCentre(line, m.m_iCamera, i0, i0 + kOverlap), m.m_dExpected, 0.3);
    }
    // The stitch areas are bright windows in a dark card.
    EXPECT_GT(line.Mean(1, kDark + 20, kDark + 50), 150);
    EXPECT_LT(line.Mean(1, 1000, 1100), 60);
    // A camera's middle is plain white, its wire pair 0.15 inch to the right.
    const int32_t iMiddle = kDark + kActive / 2;
    EXPECT_EQ(DarkRuns(line, 3, iMiddle - 50, iMiddle + 50).size(), 0u);
    EXPECT_GT(line.Mean(3, iMiddle - 50, iMiddle + 50), 150);
    EXPECT_NEAR(PairCentre(line, 3, iMiddle + 60, iMiddle + 120), iMiddle + 90, 0.3);
}

TEST_F(CSimOptics, DriveCommandsMoveWhatTheCameraSees)
{
    struct {
        const char* m_szCamera;
        double m_dMove;
        double m_dShift;
    } const kCases[] = {
        {"", 4.0, -4.0},
        {"MotorX=-0.5\n", 4.0, 2.0},
        {"MotorStuck=1\n", 4.0, 0.0}, // a motor that does not move
        // A zoom motor: 8 pixels wider about the middle moves the view's ends
        // outward, the mark 64 pixels in by (64 + 4) x 5368 / 5376 - 64.
        {"MotorX=0\nMotorWidth=2\n", 4.0, 68.0 * kActive / (kActive + 8) - 64},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szCamera);
        const std::string szIni = kCalibration + "[Paper]\nMotorSpeed=1000000\n[Camera.B]\n" + c.m_szCamera;
        CLine before = ScanStill(szIni);
        const double dBefore = PairCentre(before, 1, kDark, kDark + kOverlap);
        ASSERT_EQ(m_Scanner.MoveCameraMotor(1, c.m_dMove), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        StartScan(2, 600);
        const CLine after = Read();
        EXPECT_NEAR(PairCentre(after, 1, kDark, kDark + kOverlap) - dBefore, c.m_dShift, 0.3);
        // Camera A has a motor of its own and did not move.
        EXPECT_NEAR(PairCentre(after, 0, kPixels - kDark - kOverlap, kPixels - kDark),
                    PairCentre(before, 0, kPixels - kDark - kOverlap, kPixels - kDark), 0.05);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, StitchedLineJoinsAtTheStitchPositionsAndValues)
{
    // With camera B looking 6 pixels too far right, the stitched line loses 6
    // pixels of sheet at the A|B join; a stitch value of -6 gives them back.
    const std::string szIni = kCalibration + "[Camera.B]\nOffsetX=6\n";
    CLine plain = ScanStill(kCalibration, true);
    const int32_t iPlainB = plain.m_Pixels[1];
    m_Scanner.CloseScanner(true);
    CLine shifted = ScanStill(szIni, true);
    EXPECT_EQ(shifted.m_Pixels[1], iPlainB);
    const int32_t values[7] = {-6};
    ASSERT_EQ(m_Scanner.SetStitchValues(values), 0);
    StartScan(2, 600);
    const CLine fixed = Read();
    EXPECT_EQ(fixed.m_Pixels[1], iPlainB + 6);
    // The middle wire pair of camera B lies where it lies on the sheet again.
    const auto middleB = [](const CLine& l) {
        const int32_t iStart = l.m_Pixels[0];
        std::vector<uint8_t> row(l.m_Bytes.begin() + iStart, l.m_Bytes.begin() + iStart + l.m_Pixels[1]);
        int32_t iDarkest = 0;
        for (int32_t i = 2000; i < 3500; ++i)
            if (row[static_cast<size_t>(i)] < row[static_cast<size_t>(iDarkest)] || iDarkest == 0)
                iDarkest = i;
        return iStart + iDarkest;
    };
    EXPECT_EQ(middleB(fixed), middleB(plain));
    EXPECT_EQ(middleB(shifted), middleB(plain) - 6);
}

TEST_F(CSimOptics, FineLinesLoseContrastInACameraOutOfFocus)
{
    const CLine line = ScanStill(kCalibration + "FineLines=6\n[Camera.B]\nBlur=5\n");
    auto contrast = [&](int32_t c) {
        int32_t lo = 255, hi = 0;
        for (int32_t i = 1500; i < 2000; ++i) {
            lo = std::min<int32_t>(lo, line.At(c, i));
            hi = std::max<int32_t>(hi, line.At(c, i));
        }
        return hi - lo;
    };
    EXPECT_GT(contrast(0), 60);
    EXPECT_LT(contrast(1), contrast(0) / 3);
    EXPECT_EQ(contrast(2), contrast(0)); // sharp cameras alike
}

// ---------------------------------------------------------------- analog front end

std::pair<double, double> CSimOptics::Levels(int16_t iOffset, int16_t iGain)
{
    CGainOffset go;
    EXPECT_EQ(m_Scanner.ReadGainOffset(go), 0);
    int16_t* w = go.m_Cameras[0].m_Words[3];
    w[CGainOffset::WORD_EVEN_OFFSET] = w[CGainOffset::WORD_ODD_OFFSET] = iOffset;
    w[CGainOffset::WORD_EVEN_GAIN] = w[CGainOffset::WORD_ODD_GAIN] = iGain;
    EXPECT_EQ(m_Scanner.WriteGainOffset(go, -1), 0);
    StartScan(2, 600);
    const CLine line = Read();
    EXPECT_EQ(line.m_iReceived, 4 * kPixels);
    return {line.Mean(0, 2, kDark - 2), line.Mean(0, 2600, 2800)};
}

TEST_F(CSimOptics, OffsetMovesBlackAndGainMovesWhiteMonotonicallyUntilTheyClip)
{
    OpenMode(kWhite + "[Camera.A]\nBlack=2\n", false);
    double dLastBlack = -1;
    for (const int16_t iOffset : {0, 40, 96, 128, 200, 255}) {
        const auto [dBlack, dWhite] = Levels(iOffset, 128);
        EXPECT_GE(dBlack, dLastBlack) << iOffset;
        EXPECT_GE(dBlack, 0.0);
        dLastBlack = dBlack;
        (void)dWhite;
    }
    EXPECT_EQ(Levels(0, 128).first, 0.0); // clipped at the bottom
    EXPECT_NEAR(Levels(96, 128).first, 22.0, 0.6);
    double dLastWhite = -1;
    for (const int16_t iGain : {0, 64, 128, 150, 192, 255}) {
        const double dWhite = Levels(128, iGain).second;
        EXPECT_GE(dWhite, dLastWhite) << iGain;
        dLastWhite = dWhite;
    }
    EXPECT_EQ(Levels(128, 255).second, 255.0); // clipped at the top
    EXPECT_LT(Levels(128, 64).second, Levels(128, 128).second - 60);
}

TEST_F(CSimOptics, LampWeaknessAndCameraSensitivityLowerTheWhiteLevel)
{
    struct {
        const char* m_szIni;
        double m_dLow, m_dHigh;
    } const kCases[] = {
        {"", 190, 205},
        {"[Lamp]\nWeakness=0.5\n", 100, 112},
        {"[Camera.A]\nWhiteGain=0.25\n", 55, 60},
        {"[Camera.A]\nLamp=0\n", 11, 13}, // only the black level is left
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szIni);
        OpenMode(kWhite + c.m_szIni, false);
        const double dWhite = Levels(16, 128).second;
        EXPECT_GE(dWhite, c.m_dLow);
        EXPECT_LE(dWhite, c.m_dHigh);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, OddAndEvenChannelsFollowTheirOwnGainAndThePixelPhase)
{
    for (const int32_t iPhase : {0, 1}) {
        SCOPED_TRACE(iPhase);
        OpenMode(kWhite + "[Camera.A]\nPhase=" + std::to_string(iPhase) + "\n", false);
        CGainOffset go;
        ASSERT_EQ(m_Scanner.ReadGainOffset(go), 0);
        int16_t* w = go.m_Cameras[0].m_Words[3];
        w[CGainOffset::WORD_EVEN_GAIN] = 150;
        w[CGainOffset::WORD_ODD_GAIN] = 40;
        ASSERT_EQ(m_Scanner.WriteGainOffset(go, 7), 0);
        StartScan(2, 600);
        const CLine line = Read();
        const double dEvenPixels = line.Mean(0, 2000, 2200, 2), dOddPixels = line.Mean(0, 2001, 2201, 2);
        if (iPhase == 0)
            EXPECT_GT(dEvenPixels, dOddPixels + 80);
        else
            EXPECT_LT(dEvenPixels + 80, dOddPixels);
        // Camera B keeps its neutral set: both phases alike.
        EXPECT_NEAR(line.Mean(1, 2000, 2200, 2), line.Mean(1, 2001, 2201, 2), 1.0);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, ColourEntriesDriveTheirOwnColour)
{
    OpenMode(kWhite, false);
    CGainOffset go;
    ASSERT_EQ(m_Scanner.ReadGainOffset(go), 0);
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_EVEN_GAIN] = 40; // blue
    go.m_Cameras[0].m_Words[2][CGainOffset::WORD_ODD_GAIN] = 40;
    ASSERT_EQ(m_Scanner.WriteGainOffset(go, -1), 0);
    StartScan(3, 600);
    const CLine line = Read(3);
    const size_t i = 3 * 2500;
    EXPECT_NEAR(line.m_Bytes[i], line.m_Bytes[i + 1], 1); // red and green alike
    EXPECT_LT(line.m_Bytes[i + 2] + 80, line.m_Bytes[i + 1]);
}

// ---------------------------------------------------------------- noise, light off, stalls

TEST_F(CSimOptics, SensorNoiseIsSeededAndOfTheGivenSpread)
{
    auto row = [&](const std::string& szNoise) {
        OpenMode(kWhite + "[Noise]\n" + szNoise, false);
        StartScan(2, 600);
        const CLine line = Read();
        m_Scanner.CloseScanner(true);
        return std::vector<uint8_t>(line.m_Bytes.begin() + 2000, line.m_Bytes.begin() + 3000);
    };
    const std::vector<uint8_t> quiet = row("");
    EXPECT_EQ(row(""), quiet);
    EXPECT_LE(*std::max_element(quiet.begin(), quiet.end()) - *std::min_element(quiet.begin(), quiet.end()), 1);
    const std::vector<uint8_t> a = row("Sigma=4\nSeed=7\n");
    EXPECT_EQ(row("Sigma=4\nSeed=7\n"), a);
    EXPECT_NE(row("Sigma=4\nSeed=8\n"), a);
    const double dMean = std::accumulate(a.begin(), a.end(), 0.0) / a.size();
    double dVar = 0;
    for (const uint8_t v : a)
        dVar += (v - dMean) * (v - dMean);
    EXPECT_NEAR(std::sqrt(dVar / a.size()), 4.0, 0.6);
}

TEST_F(CSimOptics, EveryNthBlockShowsCISNoiseAtTheCameraEdges)
{
    OpenMode(kWhite + "[Noise]\nCISNoiseEvery=3\n", false);
    StartScan(2, 600);
    for (int32_t iBlock = 1; iBlock <= 6; ++iBlock) {
        const CLine line = Read();
        const bool bNoisy = iBlock % 3 == 0;
        for (int32_t c = 0; c < 4; ++c) {
            const bool bFlat = line.At(c, kDark + 4) == 128 && line.At(c, kDark + 40) == 128 &&
                               line.At(c, kPixels - kDark - 8) == 128;
            EXPECT_EQ(bFlat, bNoisy) << "block " << iBlock << " camera " << c;
        }
        EXPECT_GT(line.At(1, 2700), 150) << iBlock; // the middle is never touched
    }
}

TEST_F(CSimOptics, LightOffRowsReadTheBlackLevel)
{
    struct {
        bool m_bRow1, m_bRow2;
        bool m_bEvenDark, m_bOddDark;
    } const kCases[] = {{false, false, false, false}, {true, true, true, true}, {true, false, true, false}};
    for (const auto& c : kCases) {
        OpenMode(kWhite, false);
        m_Scanner.m_bUse_CIS_LightOff = c.m_bRow1;
        m_Scanner.m_bUse_CIS_LightOff_Row2 = c.m_bRow2;
        StartScan(2, 600);
        const CLine line = Read(1, 2);
        const uint8_t even = line.m_Bytes[2700], odd = line.m_Bytes[static_cast<size_t>(line.m_iWidth) + 2700];
        EXPECT_EQ(even < 40, c.m_bEvenDark) << c.m_bRow1 << c.m_bRow2;
        EXPECT_EQ(odd < 40, c.m_bOddDark) << c.m_bRow1 << c.m_bRow2;
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, StallsDeliverNothingForAWhile)
{
    // 40 s of simulated time at TimeScale 200 are 200 ms.
    OpenMode(kWhite + "[Faults]\nStallEvery=2\nStallMs=40000\n", false);
    StartScan(2, 600);
    EXPECT_EQ(Read().m_iReceived, 4 * kPixels);
    EXPECT_EQ(Read().m_iReceived, 4 * kPixels); // the second read starts the stall
    EXPECT_EQ(Read().m_iReceived, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Read().m_iReceived, 4 * kPixels);
}

TEST_F(CSimOptics, LinesComeNoFasterThanTheSheetMoves)
{
    // 10 inches a second at 100 dpi in real time: a thousand lines a second.
    OpenMode("[Device]\nTimeScale=1\n[Paper]\nLoadMs=1\nMoveMs=1\nPositionMs=1\n[Sheet]\nKind=white\n[Scan]\nSpeed=10\n",
             false);
    const auto t = std::chrono::steady_clock::now();
    StartScan(2, 100, 1200, 12000);
    std::vector<uint8_t> data(100 * 1000);
    int32_t iFirst = 0, iLater = 0;
    m_Scanner.ReadScanData(data.data(), static_cast<int32_t>(data.size()), iFirst);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_Scanner.ReadScanData(data.data(), static_cast<int32_t>(data.size()), iLater);
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    EXPECT_LT(iFirst / 100, 500);
    EXPECT_GE((iFirst + iLater) / 100, 250);
    EXPECT_LE((iFirst + iLater) / 100, static_cast<int32_t>(dSeconds * 1000) + 5);
}

// ---------------------------------------------------------------- positioning geometry

TEST_F(CSimOptics, PositioningMarksShowWhichRowEachCameraSees)
{
    // Two cameras: A is the front row, B the rear. The mark's wires lie
    // MarkGap apart for a camera on the line, one pixel more per line ahead.
    struct {
        const char* m_szIni;
        double m_dFront, m_dRear;
    } const kCases[] = {
        {"", 3.0, 3.0},
        {"FrontLineY=2\nRearLineY=1\n", 5.0, 4.0},
        {"RearLineY=1\n[Camera.B]\nOffsetY=2.5\n", 3.0, 6.5},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szIni);
        const std::string szIni =
            kFast + "[Model]\nCameras=2\nScanWidth=24000\n[Sheet]\nKind=line\nLineY=0\n" + c.m_szIni;
        const CLine line = ScanStill(szIni);
        const int32_t iPixels = line.m_Pixels[0];
        const std::vector<double> front = DarkRuns(line, 0, iPixels - kDark - kOverlap, iPixels - kDark);
        const std::vector<double> rear = DarkRuns(line, 1, kDark, kDark + kOverlap);
        ASSERT_EQ(front.size(), 2u);
        ASSERT_EQ(rear.size(), 2u);
        EXPECT_NEAR(front[1] - front[0], c.m_dFront, 0.3);
        EXPECT_NEAR(rear[1] - rear[0], c.m_dRear, 0.3);
        m_Scanner.CloseScanner(true);
    }
}

TEST_F(CSimOptics, MovingSheetAdvancesThePaperAndCrossesTheLine)
{
    // One inch at 100 dpi over a sheet whose line lies 0.5 inch down: the
    // line shows in the rows around 50, and the paper ends an inch further on.
    OpenMode(kFast + "[Sheet]\nKind=line\nLineY=300\nLineWidth=12\n", false);
    int32_t iState = 0, iBefore = 0, iAfter = 0;
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iBefore));
    StartScan(2, 100, 1200, 1200);
    const CLine lines = Read(1, 100);
    ASSERT_EQ(lines.m_iReceived, 100 * 100);
    ASSERT_TRUE(m_Scanner.GetPaperState(iState, iAfter));
    EXPECT_EQ(iAfter - iBefore, 1200);
    std::vector<int32_t> dark;
    for (int32_t r = 0; r < 100; ++r)
        if (lines.m_Bytes[static_cast<size_t>(r) * 100 + 50] < 120)
            dark.push_back(r);
    ASSERT_FALSE(dark.empty());
    EXPECT_GE(dark.front(), 48);
    EXPECT_LE(dark.back(), 52);
}

TEST_F(CSimOptics, ScanLineOffsetsAlignmentDelaysAndTiltShowAlongTheTravel)
{
    // Two small cameras at 100 dpi over the line sheet: the row at which each
    // camera crosses the positioning line (2 inches down).
    struct {
        const char* m_szCameraB;
        int8_t m_iDelay;
        double m_dRowsEarlier;
    } const kCases[] = {
        {"", 0, 0.0},
        {"OffsetY=60\n", 0, 10.0},   // 60 optical lines ahead = 10 scan lines
        {"OffsetY=60\n", 10, 0.0},   // the alignment delay takes it back
        // 1000 lines over the 40000/1200 inch sheet: 5 % of the distance
        // travelled, so the line (2 inches down) is met 2 / 1.05 inches down.
        {"Tilt=1000\n", 0, (2.0 - 2.0 / 1.05) * 100},
        {"", -5, 5.0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.m_szCameraB << " delay " << int{c.m_iDelay});
        OpenMode(kFast + "[Model]\nCameras=2\nScanWidth=2400\n[Sheet]\nKind=line\nLineY=1200\nLineWidth=12\n"
                         "[Camera.B]\n" + c.m_szCameraB,
                 false);
        const int8_t delays[8] = {c.m_iDelay};
        ASSERT_EQ(m_Scanner.SetCISAlignment(delays, false, true), 0);
        StartScan(2, 100, 2400, 3600);
        const CLine lines = Read(1, 300);
        ASSERT_EQ(lines.m_iReceived, 300 * 200);
        auto crossing = [&](int32_t iColumn) {
            double dSum = 0, dCount = 0;
            for (int32_t r = 0; r < 300; ++r) {
                const double v = lines.m_Bytes[static_cast<size_t>(r) * 200 + static_cast<size_t>(iColumn)];
                if (v < 100) {
                    dSum += r * (100 - v);
                    dCount += 100 - v;
                }
            }
            return dCount > 0 ? dSum / dCount : -1.0;
        };
        const double dA = crossing(50), dB = crossing(150);
        EXPECT_NEAR(dA, 200.0, 1.0);
        EXPECT_NEAR(dA - dB, c.m_dRowsEarlier, 0.6);
        m_Scanner.CloseScanner(true);
    }
}

// ---------------------------------------------------------------- device tone tables

TEST_F(CSimOptics, GammaAndLevelsShapeTheDeliveredValues)
{
    struct {
        double m_dGamma;
        int32_t m_iWhite;
        int32_t m_iExpected;
    } const kCases[] = {
        {1.0, 214, 200},                                               // identity
        {2.2, 214, static_cast<int32_t>(std::lround(255 * std::pow(200 / 255.0, 1 / 2.2)))},
        {1.0, 193, 200 * 255 / 230},                                   // white point lowered to 230
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_dGamma);
        Open(kFast);
        ASSERT_EQ(m_Scanner.SendLevels(c.m_iWhite, c.m_iWhite, c.m_iWhite, 0, 0, 0, false), 0);
        ASSERT_EQ(m_Scanner.SendGammaCurve(c.m_dGamma, 0, 0), 0);
        ASSERT_EQ(m_Scanner.LoadPaper(false), 0);
        StartScan(3, 100, 1200, 12);
        std::vector<uint8_t> data(300);
        int32_t iReceived = 0;
        m_Scanner.ReadScanData(data.data(), 300, iReceived);
        ASSERT_EQ(iReceived, 300);
        EXPECT_NEAR(data[0], c.m_iExpected, 1);
        EXPECT_EQ(data[0], data[2]);
        m_Scanner.CloseScanner(true);
    }
}

} // namespace
