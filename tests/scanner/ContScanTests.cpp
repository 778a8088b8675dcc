// Continuous scans on the simulated device and from recordings: the layout a
// block reports, the edge-noise check, block processing, ".osa" files and
// picture acquisition.
#include <filesystem>

#include "ScanFixture.h"
#include "scanner/ContScan.h"

namespace {

std::string OsaHeader(const std::vector<int32_t>& pixels)
{
    std::string sz = "CameraCount " + std::to_string(pixels.size()) + "\n";
    for (size_t c = 0; c < 8; ++c)
        sz += std::string("Camera ") + char('A' + c) + " " + std::to_string(c < pixels.size() ? pixels[c] : 0) + "\n";
    return sz;
}

class CContScanTest : public CScanFixture {
protected:
    void OpenLoaded(const std::string& szIni)
    {
        Open(szIni);
        m_Scanner.LoadPaper(false);
    }
    int32_t CameraPixelSum()
    {
        std::array<int32_t, 8> first{}, last{};
        m_Scanner.GetCameraPixelRanges(first, last);
        int32_t iSum = 0;
        for (int32_t c = 0; c < m_Scanner.GetCameraCount(); ++c)
            iSum += last[size_t(c)] - first[size_t(c)] + 1;
        return iSum;
    }
};

TEST_F(CContScanTest, LiveBlocksCarryTheDeviceLayout)
{
    OpenLoaded(kFast);
    for (const int32_t iMode : {2, 3}) {
        CContScan scan(&m_Scanner);
        ASSERT_EQ(scan.StartContinuousScan(iMode), 0);
        int32_t iBlocks = 0;
        scan.m_OnBlock = [&](const CContScan&) { ++iBlocks; };
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(scan.ReadBuffer(), 0);
        EXPECT_EQ(iBlocks, 3);
        EXPECT_EQ(scan.PixelsPerLine(), DeviceLineWidth());
        EXPECT_EQ(scan.PixelsPerLine(), CameraPixelSum());
        EXPECT_EQ(scan.CameraCount(), m_Scanner.GetCameraCount());
        EXPECT_EQ(scan.BytesPerPixel(), iMode == 3 ? 3 : 1);
        ASSERT_GE(scan.LinesPerBlock(), 1);
        EXPECT_EQ(scan.ReceivedBytes(), scan.LinesPerBlock() * scan.PixelsPerLine() * scan.BytesPerPixel());
        EXPECT_GT(scan.Plane(1)[size_t(scan.PixelsPerLine() / 2)], 100) << "a light field";
        EXPECT_EQ(scan.Picture().PixelsUpToCamera(7), scan.PixelsPerLine());
        EXPECT_EQ(scan.StopScan(), 0);
    }
}

TEST_F(CContScanTest, ABlockOfUnknownWidthIsRefused)
{
    // Neither the camera table nor the status block says how wide a line is.
    OpenLoaded(kFast + "[Faults]\nStatusLength=21\nCheckCondition.scanRead.0xFF=0x2400\n");
    CContScan scan(&m_Scanner);
    ASSERT_EQ(scan.StartContinuousScan(2), 0);
    EXPECT_EQ(scan.ReadBuffer(), CContScan::kErrLineWidth);
    EXPECT_EQ(scan.LinesPerBlock(), 0);
    scan.StopScan();
}

TEST(CContScanNoise, ConstantMidLevelEdgesAreNoise)
{
    // Four cameras of 100 pixels, gray; the check samples every 4th pixel
    // over 80 pixels at each end of every camera.
    const std::array<int32_t, 8> cameras = {100, 100, 100, 100};
    struct {
        const char* szName;
        int32_t iFirst, iCount, iLevel;
        int32_t iMargin;
        bool bClean;
    } const cases[] = {
        {"camera B start at 128", 100, 80, 128, 80, false},
        {"camera B start black", 100, 80, 0, 80, true},
        {"camera B start white", 100, 80, 255, 80, true},
        {"camera D end at 77", 320, 80, 77, 80, false},
        {"last sample differs", 100, 76, 128, 80, true},
        {"no margin, no check", 100, 80, 128, 0, true},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> line(400);
        for (size_t x = 0; x < line.size(); ++x)
            line[x] = static_cast<uint8_t>(x * 7 % 251); // varies everywhere
        for (int32_t x = c.iFirst; x < c.iFirst + c.iCount; ++x)
            line[size_t(x)] = static_cast<uint8_t>(c.iLevel);
        EXPECT_EQ(EdgesWithoutCISNoise(line.data(), 1, cameras, 1, c.iMargin), c.bClean) << c.szName;
    }
    // Colour pixels are judged by their second byte.
    std::vector<uint8_t> rgb(400 * 3, 0);
    for (size_t x = 0; x < 400; ++x)
        rgb[3 * x + 1] = static_cast<uint8_t>(x % 200 + 1);
    EXPECT_TRUE(EdgesWithoutCISNoise(rgb.data(), 1, cameras, 3, 80));
    for (size_t x = 0; x < 80; ++x)
        rgb[3 * x + 1] = 90;
    EXPECT_FALSE(EdgesWithoutCISNoise(rgb.data(), 1, cameras, 3, 80));
}

TEST_F(CContScanTest, RecordThenReplayGivesTheSameLines)
{
    OpenLoaded(kFast);
    const std::string szBase = m_Dir.File("run");
    std::vector<uint8_t> recorded;
    {
        CContScan scan(&m_Scanner);
        scan.StartRecording(szBase);
        ASSERT_EQ(scan.StartContinuousScan(2), 0);
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(scan.ReadBuffer(), 0);
            ASSERT_TRUE(scan.AppendBlock());
            recorded.insert(recorded.end(), scan.Block(), scan.Block() + scan.ReceivedBytes());
        }
        scan.StopScan();
        EXPECT_EQ(scan.Writer()->FileName(), szBase + "_OSA.osa");
    }
    const std::string szFile = ReadFileBytes(szBase + "_OSA.osa");
    EXPECT_EQ(szFile.rfind("CameraCount 4\nCamera A ", 0), 0u);
    EXPECT_NE(szFile.find("Camera H 0\n"), std::string::npos);

    CContScan replay(nullptr);
    ASSERT_TRUE(replay.OpenRecording(szBase)) << replay.LastError();
    EXPECT_EQ(replay.ReplayFile(), szBase + "_OSA.osa");
    EXPECT_EQ(replay.CameraCount(), 4);
    const int64_t iLineBytes = replay.PixelsPerLine();
    EXPECT_EQ(replay.ReplayLength() * iLineBytes, int64_t(recorded.size()));
    std::vector<uint8_t> replayed;
    for (int64_t i = 0; i < replay.ReplayLength() + 1; ++i) {
        ASSERT_EQ(replay.ReadBuffer(), 0);
        replayed.insert(replayed.end(), replay.Block(), replay.Block() + replay.ReceivedBytes());
    }
    ASSERT_EQ(replayed.size(), recorded.size() + size_t(iLineBytes)) << "the replay wraps to its start";
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), replayed.begin()));
}

TEST(COsaRecordingTest, TheHighestNumberedRecordingIsReplayed)
{
    CTempDir dir;
    const std::string szBase = dir.File("focus");
    WriteFileBytes(szBase + "_OSA-3.osa", OsaHeader({4}) + "3333");
    WriteFileBytes(szBase + "_OSA-7.osa", OsaHeader({4}) + "77777777");
    WriteFileBytes(szBase + "_OSA.osa", OsaHeader({4}) + "0000");
    COsaRecording r;
    ASSERT_TRUE(r.Open(szBase, 1)) << r.m_szError;
    EXPECT_EQ(r.m_szFile, szBase + "_OSA-7.osa");
    EXPECT_EQ(r.m_iLineCount, 2);
    EXPECT_EQ(r.m_Lines[0], '7');
    EXPECT_FALSE(r.Open(dir.File("other"), 1));
    EXPECT_NE(r.m_szError.find("no recording"), std::string::npos);
}

TEST(COsaRecordingTest, BadRecordingsAreRefusedWithTheirProblem)
{
    CTempDir dir;
    struct {
        const char* szName;
        std::string szBytes;
        int32_t iBytesPerPixel;
        const char* szProblem;
    } const cases[] = {
        {"no Camera H", "CameraCount 1\nCamera A 4\n", 1, "before its \"Camera H\""},
        {"huge pixel count", OsaHeader({70000}) + "xxxx", 1, "camera A has 70000 pixels"},
        {"negative pixel count", OsaHeader({-5}) + "xxxx", 1, "camera A has -5 pixels"},
        {"no camera count", "Camera H 4\nxxxx", 1, "no \"CameraCount\""},
        {"bad camera count", "CameraCount 9\nCamera H 4\n", 1, "camera count 9"},
        {"no pixels", OsaHeader({0}) + "xxxx", 1, "every camera has 0 pixels"},
        {"truncated body", OsaHeader({4, 4}) + "1234567", 1, "no whole scan line of 8 bytes"},
        {"colour needs three bytes a pixel", OsaHeader({4}) + "1234", 3, "no whole scan line of 12 bytes"},
        {"header beyond 10000 bytes", std::string(10001, '#') + "\n" + OsaHeader({4}) + "1234", 1,
         "no \"Camera H\" line in the first 10000 bytes"},
    };
    for (const auto& c : cases) {
        const std::string szPath = dir.File("bad_OSA-0.osa");
        WriteFileBytes(szPath, c.szBytes);
        COsaRecording r;
        EXPECT_FALSE(r.Read(szPath, c.iBytesPerPixel)) << c.szName;
        EXPECT_EQ(r.m_szError.rfind(szPath, 0), 0u) << c.szName;
        EXPECT_NE(r.m_szError.find(c.szProblem), std::string::npos) << c.szName << ": " << r.m_szError;
    }
}

// Block processing runs on replayed blocks as on live ones, so a synthetic
// recording shows each step exactly.
class CBlockProcessing : public CContScanTest {
protected:
    // One colour line, two cameras of 4 pixels: red 10+x, green 20+x, blue 30+x.
    void ReplayColourLine(CContScan& scan)
    {
        std::string sz = OsaHeader({4, 4});
        for (int x = 0; x < 8; ++x)
            sz += {char(10 + x), char(20 + x), char(30 + x)};
        WriteFileBytes(m_Dir.File("line_OSA-0.osa"), sz);
        scan.m_iColorKind = 2;
        scan.m_iColorComponent = ZEL_COLOR_RGB;
        ASSERT_TRUE(scan.OpenRecording(m_Dir.File("line"))) << scan.LastError();
        ASSERT_EQ(scan.ReadBuffer(), 0);
    }
    static std::vector<int> Channel(const CContScan& scan, int c)
    {
        std::vector<int> v;
        for (int x = 0; x < scan.PixelsPerLine(); ++x)
            v.push_back(scan.Block()[3 * x + c]);
        return v;
    }
    static std::vector<int> Plane(const CContScan& scan, int c)
    {
        return std::vector<int>(scan.Plane(c).begin(), scan.Plane(c).begin() + scan.PixelsPerLine());
    }
};

TEST_F(CBlockProcessing, CorrectionFlagsOnSoftwareScanners)
{
    Open(kFast + "[Model]\nSoftwareScanner=1\n");
    const std::vector<int> red = {10, 11, 12, 13, 14, 15, 16, 17}, green = {20, 21, 22, 23, 24, 25, 26, 27};
    struct {
        CContScan::ECorrection eFlag;
        int iChannel;
        std::vector<int> block, plane;
    } const cases[] = {
        {CContScan::SWAP_RED_GREEN, 0, green, green},
        {CContScan::SWAP_RED_BLUE, 2, red, red},
        {CContScan::SHIFT_RED_RIGHT, 0, {10, 10, 11, 12, 13, 14, 15, 16}, {10, 10, 11, 12, 13, 14, 15, 16}},
        {CContScan::SHIFT_RED_LEFT, 0, {11, 12, 13, 14, 15, 16, 16, 17}, {11, 12, 13, 14, 15, 16, 17, 17}},
        {CContScan::SHIFT_GREEN_LEFT, 1, {21, 22, 23, 24, 25, 26, 26, 27}, {21, 22, 23, 24, 25, 26, 27, 27}},
    };
    for (const auto& c : cases) {
        CContScan scan(&m_Scanner);
        scan.m_Corrections[size_t(c.eFlag)] = true;
        ReplayColourLine(scan);
        EXPECT_EQ(Channel(scan, c.iChannel), c.block) << "flag " << c.eFlag;
        EXPECT_EQ(Plane(scan, c.iChannel), c.plane) << "flag " << c.eFlag;
    }
    // Without the software-scanner flag the same flags change nothing.
    CContScan plain(nullptr);
    plain.m_Corrections[CContScan::SWAP_RED_GREEN] = true;
    ReplayColourLine(plain);
    EXPECT_EQ(Channel(plain, 0), red);
}

TEST_F(CBlockProcessing, LightOffAmplifyAndDoubleBlock)
{
    CContScan amplified(nullptr);
    amplified.m_bLightOff = amplified.m_bAmplify = true;
    ReplayColourLine(amplified);
    EXPECT_EQ(Channel(amplified, 0), (std::vector<int>{40, 44, 48, 52, 56, 60, 64, 68}));
    EXPECT_EQ(Channel(amplified, 2)[7], 148);

    // Three gray lines a block; pairs of lines become one.
    WriteFileBytes(m_Dir.File("three_OSA-0.osa"), OsaHeader({2}) + std::string{10, 20, 30, 41, 50, 60});
    CContScan doubled(nullptr);
    doubled.m_bDoubleBlock = true;
    ASSERT_TRUE(doubled.OpenRecording(m_Dir.File("three")));
    ASSERT_EQ(doubled.ReadBuffer(), 0);
    EXPECT_EQ(doubled.LinesPerBlock(), 1);
    EXPECT_EQ(doubled.Block()[0], 20);
    EXPECT_EQ(doubled.Block()[1], 31);
    EXPECT_EQ(doubled.Plane(1)[1], 31);
}

TEST_F(CContScanTest, AcquirePictureLeavesOutNoisyBlocks)
{
    OpenLoaded(kFast);
    CPicture pic;
    CAcquireOptions options;
    options.m_iNoiseMargin = 0;
    options.m_szRecordBase = m_Dir.File("acquired");
    ASSERT_EQ(AcquirePicture(m_Scanner, pic, 5, 3, options), 0);
    EXPECT_EQ(pic.m_iHeight, 5);
    EXPECT_EQ(pic.m_PicData, PIC_RGB);
    EXPECT_EQ(pic.m_iWidth, CameraPixelSum());
    EXPECT_EQ(pic.NumberOfCameras(), m_Scanner.GetCameraCount());
    EXPECT_GT(pic.GetSample(pic.m_iWidth / 2, 4, 2), 100);
    COsaRecording recording;
    ASSERT_TRUE(recording.Read(options.m_szRecordBase + "_OSA.osa", 3)) << recording.m_szError;
    EXPECT_GE(recording.m_iLineCount, 5);

    // A noise-free flat field looks exactly like stuck edges: every block is
    // refused and the loop gives up instead of running for ever.
    CAcquireOptions strict;
    strict.m_iMaxNoisyInRow = 3;
    EXPECT_EQ(AcquirePicture(m_Scanner, pic, 5, 2, strict), kErrAllNoisy);
    EXPECT_TRUE(Logged("CContScanPicture::BufferWithoutCISNoise()     Noise detected."));
}

TEST_F(CContScanTest, CISNoiseFromTheDeviceIsLeftOut)
{
    OpenLoaded(kFast + "[Sheet]\nKind=white\n[Noise]\nSigma=2\nCISNoiseEvery=3\n");
    CAcquireOptions options;
    int32_t iBlocks = 0, iNoisy = 0;
    options.m_OnBlock = [&](const CContScan& scan) {
        ++iBlocks;
        iNoisy += !scan.BufferWithoutCISNoise();
    };
    CPicture pic;
    ASSERT_EQ(AcquirePicture(m_Scanner, pic, 6, 2, options), 0);
    EXPECT_EQ(pic.m_iHeight, 6);
    EXPECT_GT(iNoisy, 0);
    EXPECT_EQ(iBlocks - iNoisy, 6) << "every clean block gave its line";
    std::array<int32_t, 8> cameras{};
    for (int32_t c = 0; c < 8; ++c)
        cameras[size_t(c)] = std::max(pic.PixCameras(c), 0);
    EXPECT_TRUE(EdgesWithoutCISNoise(pic.m_pData, pic.m_iHeight, cameras, 1, 80));
}

// Centre of the dark pixels of row y within [x0, x1): where a wire pair sits.
double DarkCentre(const CPicture& pic, int32_t y, int32_t x0, int32_t x1)
{
    int32_t iMin = 255, iMax = 0;
    for (int32_t x = x0; x < x1; ++x) {
        iMin = std::min(iMin, pic.GetSample(x, y, 1));
        iMax = std::max(iMax, pic.GetSample(x, y, 1));
    }
    double dSum = 0, dCount = 0;
    for (int32_t x = x0; x < x1; ++x)
        if (pic.GetSample(x, y, 1) < (iMin + iMax) / 2) {
            dSum += x;
            ++dCount;
        }
    return dCount ? dSum / dCount : -1;
}

class CCalibrationSheet : public CContScanTest {
protected:
    // The wire-pair centres in every overlap, seen from the left and the right
    // camera, as pixel columns of the delivered line.
    std::vector<std::pair<double, double>> StitchMarks(const std::string& szIni, CPicture& pic)
    {
        OpenLoaded(szIni);
        CAcquireOptions options;
        options.m_iNoiseMargin = 0;
        EXPECT_EQ(AcquirePicture(m_Scanner, pic, 4, 2, options), 0);
        const int32_t iStitches = m_Scanner.GetCameraCount() - 1;
        std::array<int32_t, CScanner::kMaxCameras> a{}, b{};
        EXPECT_EQ(m_Scanner.ReadStitchPositions(a.data(), b.data(), iStitches), 0);
        std::vector<std::pair<double, double>> marks;
        for (int32_t i = 0; i < iStitches; ++i) {
            const int32_t xa = pic.PixelsUpToCamera(i - 1) + a[size_t(i)];
            const int32_t xb = pic.PixelsUpToCamera(i) + b[size_t(i)];
            marks.emplace_back(DarkCentre(pic, 2, xa - 40, xa + 40) - xa, DarkCentre(pic, 2, xb - 40, xb + 40) - xb);
        }
        m_Scanner.CloseScanner(true);
        return marks;
    }
};

// The stitch positions the device reports name the middle of each overlap:
// the wire pair is centred there in both cameras. Camera C, shifted nine
// pixels, moves its view of both of its overlaps and no one else's.
TEST_F(CCalibrationSheet, StitchPositionsNameTheWirePairsAndFollowACameraOffset)
{
    CPicture pic;
    const auto plain = StitchMarks(kFast + "[Sheet]\nKind=calibration\n", pic);
    ASSERT_EQ(plain.size(), 3u);
    for (const auto& [dLeft, dRight] : plain) {
        EXPECT_NEAR(dLeft, 0.0, 1.5);
        EXPECT_NEAR(dRight, 0.0, 1.5);
    }
    const auto marks = StitchMarks(kFast + "[Sheet]\nKind=calibration\n[Camera.C]\nOffsetX=9\n", pic);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_NEAR(marks[0].first, 0.0, 1.5);
    EXPECT_NEAR(marks[0].second, 0.0, 1.5);
    EXPECT_NEAR(std::abs(marks[1].second), 9.0, 1.5);
    EXPECT_NEAR(marks[1].second, marks[2].first, 0.5) << "one camera, one shift";
    EXPECT_NEAR(marks[2].second, 0.0, 1.5);
}

} // namespace
