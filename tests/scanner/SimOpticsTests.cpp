// What the simulated cameras deliver, read through CScanner and the real
// library path. The sheet's geometry, the front end and the lamp are judged
// by the engines that measure them (calibration, oscilloscope and live-test
// tests); here stand the device answers no engine looks at.
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

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
};

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
        m_Scanner.ReadStatus(status, iReceived);
        line.m_iStatusWidth = Be32(status + 21);
        line.m_Bytes.assign(static_cast<size_t>(line.m_iWidth) * iBytesPerPixel * iLines, 0);
        const int32_t iResult = m_Scanner.ReadScanData(line.m_Bytes, line.m_iReceived);
        EXPECT_TRUE(iResult == 0 || iResult == ZEL_ASC_END_OF_MEDIUM) << iResult;
        return line;
    }
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

// ---------------------------------------------------------------- stitching

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

// ---------------------------------------------------------------- analog front end

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

// ---------------------------------------------------------------- noise, light off

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

// ---------------------------------------------------------------- travel

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
        m_Scanner.ReadScanData(data, iReceived);
        ASSERT_EQ(iReceived, 300);
        EXPECT_NEAR(data[0], c.m_iExpected, 1);
        EXPECT_EQ(data[0], data[2]);
        m_Scanner.CloseScanner(true);
    }
}

} // namespace
