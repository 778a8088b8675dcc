// Single scans on the simulated device: buffer and window arithmetic, the
// end-of-medium rules, line-width discovery, camera layouts, missing pixels,
// cancel, and the speed record with its file.
#include <filesystem>

#include "ScanFixture.h"
#include "scanner/Scan.h"
#include "scanner/ScannerIdBlock.h"

namespace {

CScanRequest Region(double dWidth, double dLength, int32_t iDpi, int32_t iMode)
{
    CScanRequest r;
    r.m_dWidth = dWidth;
    r.m_dLength = dLength;
    r.m_iResolution = iDpi;
    r.m_iColorMode = iMode;
    return r;
}

TEST(CScanArithmetic, BufferSizeFollowsAreaResolutionAndColour)
{
    struct {
        double w, l;
        int32_t dpi;
        bool bColor;
        int64_t iBytes;
    } const cases[] = {
        {1, 1, 300, false, 99000}, {1, 1, 300, true, 297000}, {42, 8, 300, false, 33264000},
        {1, 0, 300, false, 0},     {-1, 1, 300, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CScan::BufferSizeFor(Region(c.w, c.l, c.dpi, 2), c.bColor), c.iBytes) << c.w << "x" << c.l;
}

TEST(CScanArithmetic, CameraWidthsShareTheLine)
{
    struct {
        int32_t iCameras, iWidth;
        std::vector<int32_t> expected;
    } const cases[] = {
        {1, 5000, {5000}},
        {2, 10000, {1200, 8800}},
        {3, 10000, {1200, 7600, 1200}},
        {4, 10000, {1200, 3800, 3800, 1200}},
        {4, 10001, {1200, 3800, 3801, 1200}},
        {4, 1500, {1200, 0, 0, 300}}, // narrower than the two outer cameras
        {2, 800, {800, 0}},
    };
    for (const auto& c : cases) {
        int32_t pixels[8];
        CScan::CameraLayout(c.iCameras, 600, c.iWidth, pixels);
        int64_t iSum = 0;
        for (int32_t i = 0; i < 8; ++i) {
            EXPECT_EQ(pixels[i], i < int32_t(c.expected.size()) ? c.expected[size_t(i)] : 0)
                << c.iCameras << " cameras, camera " << i;
            iSum += pixels[i];
        }
        EXPECT_EQ(iSum, c.iWidth);
    }
}

TEST(CScanSpeedRecordTest, StallsAreLongGapsAgainstTheUsualRhythm)
{
    struct {
        const char* szName;
        std::vector<int32_t> ticks;
        int32_t iStalls;
    } const cases[] = {
        {"steady", {0, 50, 100, 150, 200, 250}, 0},
        {"one long gap", {0, 50, 100, 1700, 1750, 1800}, 1},
        {"slow but steady", {0, 2000, 4000, 6000, 8000}, 0},
        {"bursts do not hide a stall", {0, 0, 0, 1, 1, 1300, 1300, 1301}, 1},
        {"two stalls", {0, 100, 2000, 2100, 2200, 5000, 5100}, 2},
        {"single entry", {0}, 0},
    };
    for (const auto& c : cases) {
        CScanSpeedRecord record;
        record.Reset(100);
        for (const int32_t t : c.ticks)
            record.Add(t, 4096);
        EXPECT_EQ(record.CountStalls(), c.iStalls) << c.szName;
    }
}

TEST(CScanSpeedRecordTest, FileRoundTripAndFullRecord)
{
    CTempDir dir;
    CScanSpeedRecord record;
    record.Reset(12);
    for (int32_t i = 0; i < 15; ++i)
        record.Add(i * 40, 1000 + i);
    EXPECT_EQ(record.Count(), 12) << "entries after the capacity are not recorded";
    record.m_iWidth = 21600;
    record.m_iBytesPerPixel = 3;
    const std::string szPath = dir.File("speed.txt");
    ASSERT_TRUE(record.WriteScanSpeed(szPath)) << record.m_szError;
    const std::string szText = ReadFileBytes(szPath);
    EXPECT_EQ(szText.substr(0, 96), "[ScanSpeed]\nVersion = 1\nLength = 12\nIndex = 12\nWidth = 21600\nBytePerPix = 3\n"
                                    "BEGIN_DATA\n0\t0\t1000\n");
    CScanSpeedRecord back;
    ASSERT_TRUE(back.ReadScanSpeed(szPath)) << back.m_szError;
    EXPECT_EQ(back.Count(), 12);
    EXPECT_EQ(back.Capacity(), 12);
    EXPECT_EQ(back.m_iWidth, 21600);
    EXPECT_EQ(back.Entries()[11].m_iTicks, 440);
    EXPECT_EQ(back.Entries()[11].m_iBytes, 1011);
}

TEST(CScanSpeedRecordTest, BadFilesAreRefusedWithTheirProblem)
{
    CTempDir dir;
    const std::string szHead = "[ScanSpeed]\nVersion = 1\nLength = 4\n";
    struct {
        const char* szName;
        std::string szText;
        const char* szProblem;
    } const cases[] = {
        {"other file", "[Noise Test]\n", "not a scan speed file"},
        {"no data", szHead + "Index = 1\n", "no \"BEGIN_DATA\""},
        {"version", "[ScanSpeed]\nVersion = 2\nLength = 4\nIndex = 0\nBEGIN_DATA\n", "version 2"},
        {"index beyond length", szHead + "Index = 5\nBEGIN_DATA\n", "index 5 outside 0..4"},
        {"huge length", "[ScanSpeed]\nVersion = 1\nLength = 2000000000\nIndex = 0\nBEGIN_DATA\n", "length 2000000000"},
        {"truncated", szHead + "Index = 3\nBEGIN_DATA\n0\t1\t2\n", "truncated: 1 of 3"},
        {"malformed entry", szHead + "Index = 2\nBEGIN_DATA\n0\t1\t2\n7\t1\t2\n", "entry 1 is malformed"},
    };
    for (const auto& c : cases) {
        const std::string szPath = dir.File("bad.txt");
        WriteFileBytes(szPath, c.szText);
        CScanSpeedRecord record;
        EXPECT_FALSE(record.ReadScanSpeed(szPath)) << c.szName;
        EXPECT_NE(record.m_szError.find(szPath), std::string::npos) << c.szName;
        EXPECT_NE(record.m_szError.find(c.szProblem), std::string::npos) << c.szName << ": " << record.m_szError;
    }
    CScanSpeedRecord record;
    EXPECT_FALSE(record.ReadScanSpeed(dir.File("missing.txt")));
}

TEST(CScannerIdBlockTest, WrittenLinesParseBack)
{
    CScannerIdBlock block;
    block.m_iKeyColumn = 20;
    block.m_Fields[CScannerIdBlock::SCANNER] = "Lumora SimScan 36";
    block.m_Fields[CScannerIdBlock::SERIAL_NO] = "SN 12";
    block.m_Fields[CScannerIdBlock::FIRMWARE_REVISION] = "6.0.0";
    const std::string szText = block.Text();
    EXPECT_EQ(szText, "Scanner             = Lumora SimScan 36\nSerial No           = SN 12\n"
                      "Firmware Revision   = 6.0.0\n");
    CScannerIdBlock back;
    size_t iStart = 0;
    while (iStart < szText.size()) {
        const size_t iEnd = szText.find('\n', iStart);
        EXPECT_TRUE(back.ParseLine(szText.substr(iStart, iEnd - iStart + 1)));
        iStart = iEnd + 1;
    }
    EXPECT_EQ(back.m_Fields, block.m_Fields);
    EXPECT_FALSE(back.ParseLine("Scanners = 3\n"));
    EXPECT_FALSE(back.ParseLine("Unknown = 3\n"));
}

// ---------------------------------------------------------------- on the device

class CScanOnDevice : public CScanFixture {
protected:
    int32_t Scan(const CScanRequest& r)
    {
        if (m_Scanner.CanPaperBeLoaded())
            m_Scanner.LoadPaper(false);
        CScan scan(&m_Scanner, &m_Picture);
        scan.m_Speed.m_bEnabled = true;
        const int32_t iResult = scan.Scan(r);
        m_iStalls = scan.CountStalls();
        m_iChunks = scan.m_Speed.Count();
        return iResult;
    }
    CPicture m_Picture;
    int32_t m_iStalls = 0, m_iChunks = 0;
};

// A software scanner skips the settle waits of the older models.
const std::string kQuick = kFast + "[Model]\nSoftwareScanner=1\n";

TEST_F(CScanOnDevice, GrayAndColourScansFillThePicture)
{
    Open(kQuick + "Cameras=4\n");
    struct {
        int32_t iMode;
        EPicData eKind;
    } const cases[] = {{2, PIC_GRAY}, {3, PIC_RGB}};
    for (const auto& c : cases) {
        ASSERT_EQ(Scan(Region(14, 0.5, 200, c.iMode)), 0);
        const int32_t iWidth = DeviceLineWidth();
        EXPECT_EQ(m_Picture.m_PicData, c.eKind);
        EXPECT_EQ(m_Picture.m_iWidth, iWidth);
        EXPECT_EQ(m_Picture.m_iHeight, 100);
        EXPECT_EQ(m_Picture.m_iSize, 100 * iWidth * m_Picture.BytesPerPixel());
        int32_t pixels[8];
        CScan::CameraLayout(m_Scanner.GetCameraCount(), m_Scanner.GetOpticalResolution(), iWidth, pixels);
        for (int32_t i = 0; i < 8; ++i)
            EXPECT_EQ(m_Picture.PixCameras(i), pixels[i]) << "camera " << i;
        EXPECT_EQ(m_Picture.NumberOfCameras(), 4);
        EXPECT_GT(m_Picture.GetSample(iWidth / 2, 50, 1), 100) << "a light field";
        EXPECT_EQ(m_Scanner.m_Window.m_iVendorValue1, 1000);
        EXPECT_GT(m_iChunks, 0);
    }
}

TEST_F(CScanOnDevice, EndOfMediumKeepsALastChunkOnlyAboveAHundredBytes)
{
    // 0.25 inch at 200 dpi is 50 bytes a line; a 65536-byte block takes 1310
    // lines, so the last chunk holds what is left over.
    Open(kQuick + "BlockSize=65536\n");
    struct {
        int32_t iLines, iHeight;
    } const cases[] = {{1310 + 1, 1310}, {1310 + 2, 1310}, {1310 + 3, 1313}};
    for (const auto& c : cases) {
        EXPECT_EQ(Scan(Region(0.25, c.iLines / 200.0, 200, 2)), 0) << c.iLines;
        EXPECT_EQ(m_Picture.m_iHeight, c.iHeight) << c.iLines << " lines asked";
    }
}

TEST_F(CScanOnDevice, EndOfMediumAtStartIsRetriedOnce)
{
    Open(kQuick + "[Faults]\nCheckCondition.scanScan=0x3B09,1\n");
    EXPECT_EQ(Scan(Region(1, 0.5, 100, 2)), 0);
    EXPECT_EQ(m_Picture.m_iHeight, 50);
    EXPECT_TRUE(Logged("CScan::Scan_Do : EOM - MovePaperToWindow"));
}

TEST_F(CScanOnDevice, LineWidthFromTheDataWhenTheStatusBlockIsShort)
{
    Open(kQuick + "[Faults]\nStatusLength=21\n");
    ASSERT_EQ(Scan(Region(3, 0.5, 100, 2)), 0);
    EXPECT_EQ(m_Picture.m_iWidth, 300);
    EXPECT_EQ(m_Picture.m_iHeight, 50);
}

TEST_F(CScanOnDevice, ALyingLibraryIsCaughtByTheMissingPixelsCheck)
{
    // Seven bytes more than delivered on every read: never a whole number of lines.
    Open(kQuick + "[Faults]\nOverReport=7\n");
    EXPECT_EQ(Scan(Region(1, 0.5, 100, 2)), 0);
    EXPECT_TRUE(Logged("MISSING PIXELS"));
    EXPECT_EQ(m_Picture.m_iSize % m_Picture.m_iWidth, 0) << "the partial line is dropped";
}

TEST_F(CScanOnDevice, CancelMidScanEndsWithTheCancelErrorAndKeepsTheData)
{
    Open(kQuick);
    m_Scanner.LoadPaper(false);
    CScan scan(&m_Scanner, &m_Picture);
    int32_t iChunks = 0;
    scan.m_Progress = [&](int64_t, int64_t) {
        if (++iChunks == 2)
            CCancel::RequestCancel();
    };
    EXPECT_EQ(scan.Scan(Region(4, 4, 300, 2)), ScannerProgramError(ERR_USER_CANCELLED));
    EXPECT_TRUE(scan.m_bAbort);
    EXPECT_FALSE(CCancel::IsCancelRequested()) << "the request is acknowledged";
    EXPECT_GT(m_Picture.m_iHeight, 0);
    EXPECT_LT(m_Picture.m_iHeight, 1200);
    // The next scan starts afresh.
    EXPECT_EQ(scan.Scan(Region(1, 0.1, 100, 2)), 0);
    EXPECT_FALSE(scan.m_bAbort);
}

TEST_F(CScanOnDevice, AStalledScannerShowsInTheSpeedRecord)
{
    // 1200 pixels a line, 54 lines a 65536-byte block: twelve chunks. After
    // the sixth, nothing arrives for 1.5 s (simulated time runs 200 times faster).
    Open(kQuick + "BlockSize=65536\n[Faults]\nStallEvery=6\nStallMs=300000\n");
    ASSERT_EQ(Scan(Region(4, 2, 300, 2)), 0);
    EXPECT_EQ(m_Picture.m_iHeight, 600);
    EXPECT_EQ(m_iChunks, 12);
    EXPECT_EQ(m_iStalls, 1);
}

TEST_F(CScanOnDevice, StreamingReadsOneBlock)
{
    Open(kQuick + "BlockSize=30000\n");
    CScanRequest r = Region(1, 0, 100, 2);
    r.m_iStreaming = 1;
    EXPECT_EQ(Scan(r), 0);
    EXPECT_EQ(m_Scanner.m_Window.m_iVendorValue1, 1) << "an open length";
    EXPECT_EQ(m_Picture.m_iSize, 30000);
    EXPECT_EQ(m_Picture.m_iHeight, 300);
    EXPECT_TRUE(Logged("READ_SCAN_STREAMING"));
}

TEST_F(CScanOnDevice, IdentificationBlockFromTheDevice)
{
    Open(kQuick);
    CScannerIdBlock block;
    block.Collect(m_Scanner, true);
    ASSERT_TRUE(block.m_Fields[CScannerIdBlock::SCANNER]);
    EXPECT_EQ(*block.m_Fields[CScannerIdBlock::SCANNER], m_Scanner.GetScannerName());
    EXPECT_TRUE(block.m_Fields[CScannerIdBlock::SERIAL_NO]);
    EXPECT_TRUE(block.m_Fields[CScannerIdBlock::DATE]);
    EXPECT_TRUE(block.m_Fields[CScannerIdBlock::PROGRAM_REVISION]);
}

} // namespace
