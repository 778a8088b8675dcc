// Reading recordings: defaults and "Missing Information:" texts, line counts
// for gray and colour, the hostile shapes, and write-read round trips.
#include <gtest/gtest.h>

#include "OscTestFiles.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "support/TestSupport.h"

namespace {

COscReadResult ReadBytes(const CTempDir& dir, const std::string& szBytes, COscRecording& rec)
{
    const std::string szPath = dir.File("rec.con");
    WriteFileBytes(szPath, szBytes);
    return ReadOscilloscopeFile(szPath, rec);
}

TEST(OscRecording, LineCountsFollowPlaneLengthAndPixelsPerLine)
{
    struct {
        const char* m_szColor;
        int m_iCameras, m_iPix;
        size_t m_iBytes;
        int64_t m_iLines;
        bool m_bGray;
    } cases[] = {
        {"Gray", 2, 500, 5000, 5, true},
        {"Red:Green:Blue", 2, 500, 3 * 7000, 7, false},   // 3 x N bytes, 1000 pixels a line: N / 1000
        {"Red:Green:Blue", 4, 250, 3 * 1000, 1, false},
        {"Gray", 1, 1000, 1000, 1, true},
    };
    CTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szColor + std::to_string(c.m_iBytes));
        std::string szData(c.m_iBytes, '\0');
        for (size_t i = 0; i < szData.size(); ++i)
            szData[i] = static_cast<char>(i % 3 == 0 ? 10 : i % 3 == 1 ? 20 : 30);
        COscRecording rec;
        const COscReadResult r =
            ReadBytes(dir, OscFile("[Oscilloscope]", OscKeys(c.m_iCameras, c.m_iPix, c.m_szColor), szData), rec);
        ASSERT_EQ(r.m_eOutcome, OSC_READ_LOADED) << r.m_szError;
        EXPECT_TRUE(r.m_Messages.empty());
        EXPECT_EQ(rec.m_iLines, c.m_iLines);
        EXPECT_EQ(rec.m_iPixelsPerLine, c.m_iCameras * c.m_iPix);
        EXPECT_EQ(rec.IsGray(), c.m_bGray);
        if (!c.m_bGray) {
            // Interleaved bytes land in their planes.
            EXPECT_EQ(rec.Line(0, 0)[0], 10);
            EXPECT_EQ(rec.Line(1, 0)[0], 20);
            EXPECT_EQ(rec.Line(2, 0)[0], 30);
        } else {
            EXPECT_TRUE(rec.m_Planes[0].empty());
            EXPECT_EQ(rec.m_Planes[1].size(), c.m_iBytes);
        }
    }
}

TEST(OscRecording, MissingKeysAreReportedInOrderAndDefaulted)
{
    CTempDir dir;
    struct {
        const char* m_szDrop;
        const char* m_szMessage;
    } cases[] = {
        {"ColorScanner=", "Missing Information:\nIs Color or B/W Scanner"},
        {"Color=", "Missing Information:\nColor"},
        {"CameraUsed=", "Missing Information:\nCamera Used"},
        {"Corrected=", "Missing Information:\nIs Corrected/Uncorrected"},
        {"Date=", "Missing Information:\nDate"},
        {"Time=", "Missing Information:\nTime"},
        {"ScannerName=", "Missing Information:\nScanner Name"},
        {"CameraBPix=", "Missing Information:\nGet Camera B Pix"},
        {"Magnification=", "Missing Information:\nMagnification"},
        {"CenterLines=", "Missing Information:\nCenter Lines"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szDrop);
        std::string szKeys = "\n" + OscKeys(2, 100);
        const size_t iAt = szKeys.find(std::string("\n") + c.m_szDrop);
        ASSERT_NE(iAt, std::string::npos);
        szKeys.erase(iAt + 1, szKeys.find('\n', iAt + 1) - iAt);
        COscRecording rec;
        const COscReadResult r = ReadBytes(dir, OscFile("[Oscilloscope]", szKeys, std::string(200, 'x')), rec);
        // A missing camera's pixels leave a one-camera line: 200 bytes of 100 pixels.
        ASSERT_EQ(r.m_eOutcome, OSC_READ_LOADED) << r.m_szError;
        ASSERT_EQ(r.m_Messages.size(), 1u);
        EXPECT_EQ(r.m_Messages[0], c.m_szMessage);
    }
    // Defaults of the keys that say nothing when missing.
    COscRecording rec;
    const COscReadResult r = ReadBytes(dir, OscFile("[Oscilloscope]", OscKeys(1, 100), std::string(100, 'x')), rec);
    ASSERT_EQ(r.m_eOutcome, OSC_READ_LOADED);
    EXPECT_DOUBLE_EQ(rec.m_dWidthFactor, 8.5);
    EXPECT_EQ(rec.m_iScannerFamily, 5);
    EXPECT_EQ(rec.m_iGeneration, 4);  // colour scanner, no width
    EXPECT_EQ(rec.m_iFirmwareRevision, 0);
}

TEST(OscRecording, GenerationDefaultsByScannerWidth)
{
    CTempDir dir;
    struct {
        const char* m_szExtra;
        bool m_bColor;
        int32_t m_iGeneration;
    } cases[] = {
        {"ScannerWidth(1/1200)=60000\n", true, 5}, {"ScannerWidth(1/1200)=48000\n", false, 5},
        {"ScannerWidth(1/1200)=43200\n", true, 4}, {"ScannerWidth(1/1200)=43200\n", false, 0},
        {"ScannerWidth(1/1200)=43200\nGeneration=9\n", false, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szExtra);
        std::string szKeys = OscKeys(1, 100) + c.m_szExtra;
        if (!c.m_bColor)
            szKeys.replace(szKeys.find("ColorScanner=TRUE"), 17, "ColorScanner=FALSE");
        COscRecording rec;
        ASSERT_EQ(ReadBytes(dir, OscFile("[Oscilloscope]", szKeys, std::string(100, 'x')), rec).m_eOutcome,
                  OSC_READ_LOADED);
        EXPECT_EQ(rec.m_iGeneration, c.m_iGeneration);
    }
}

TEST(OscRecording, HostileFilesGiveAMessageNamingFileAndProblem)
{
    CTempDir dir;
    std::string szHuge = OscKeys(1, 100);
    szHuge.replace(szHuge.find("CameraCount=1"), 13, "CameraCount=99999");
    std::string szPastEnd = OscFile("[Oscilloscope]", OscKeys(1, 100), std::string(100, 'x'));
    szPastEnd.replace(szPastEnd.find('=') + 1, 10, "   9999999");
    struct {
        const char* m_szName;
        std::string m_szBytes;
        const char* m_szProblem;
    } cases[] = {
        {"zero cameras", OscFile("[Oscilloscope]", OscKeys(0, 100), std::string(100, 'x')), "CameraCount=0"},
        {"huge count", OscFile("[Oscilloscope]", szHuge, "x"), "CameraCount=99999"},
        {"one-byte body", OscFile("[Oscilloscope]", OscKeys(2, 100), "x"), "less than one line"},
        {"pixel count not a count", OscFile("[Oscilloscope]", OscKeys(1, -5), "xx"), "CameraAPix=-5"},
        {"pointer past the end", szPastEnd, "DataPointer"},
        {"MTF without arrays", OscFile("[MTF]", OscKeys(2, 100), std::string(200, 'x')), "five arrays"},
        {"wrong kind", OscFile("[Stitch Test]", OscKeys(1, 100), std::string(100, 'x')), "not an oscilloscope"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szName);
        COscRecording rec;
        const COscReadResult r = ReadBytes(dir, c.m_szBytes, rec);
        EXPECT_EQ(r.m_eOutcome, OSC_READ_FAILED);
        EXPECT_NE(r.m_szError.find(dir.File("rec.con")), std::string::npos) << r.m_szError;
        EXPECT_NE(r.m_szError.find(c.m_szProblem), std::string::npos) << r.m_szError;
    }
    // Pixel counts that do not divide the data: whole lines are kept and the rest is named.
    COscRecording rec;
    const COscReadResult r = ReadBytes(dir, OscFile("[Oscilloscope]", OscKeys(1, 100), std::string(250, 'x')), rec);
    ASSERT_EQ(r.m_eOutcome, OSC_READ_LOADED);
    EXPECT_EQ(rec.m_iLines, 2);
    ASSERT_EQ(r.m_Messages.size(), 1u);
    EXPECT_NE(r.m_Messages[0].find("last 50 bytes"), std::string::npos);
}

TEST(OscRecording, OtherKindsAreHandedOverByHeader)
{
    CTempDir dir;
    struct {
        const char* m_szSection;
        EOscReadOutcome m_eOutcome;
        const char* m_szViewer;
    } cases[] = {
        {"[Noise Test]", OSC_READ_HAND_OVER, "CNCTest_Dialog"},
        {"[Light Profile]", OSC_READ_HAND_OVER, "CView_LPF_Dialog"},
        {"[Rawdex]", OSC_READ_RAWDEX, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_szSection);
        COscRecording rec;
        const COscReadResult r = ReadBytes(dir, OscFile(c.m_szSection, "Width=4\n", "abcd"), rec);
        EXPECT_EQ(r.m_eOutcome, c.m_eOutcome);
        EXPECT_EQ(r.m_szViewer, c.m_szViewer);
    }
}

TEST(OscRecording, WriteReadRoundTrip)
{
    CTempDir dir;
    for (bool bColor : {false, true}) {
        for (bool bMTF : {false, true}) {
            SCOPED_TRACE(std::to_string(bColor) + std::to_string(bMTF));
            COscRecording rec;
            rec.m_bMTF = bMTF;
            rec.m_szScannerName = "Zel ScanWide 44C";
            rec.m_szScannerID = "CH9";
            rec.m_szDate = "07.12.2026";
            rec.m_szTime = "06:10:00";
            rec.m_bColorScanner = true;
            rec.m_iColorCode = bColor ? 3 : 4;
            rec.m_bColor = bColor;
            rec.m_iCameraUsed = 255;
            rec.m_iCameraCount = 5;
            rec.m_CameraPix = {30, 31, 32, 33, 34, 0, 0, 0};
            rec.m_iScannerWidth = 60000;
            rec.m_dWidthFactor = 60000 / 5088.0;
            rec.m_iScannerFamily = 17;
            rec.m_Magnification = {99, 100, 101};
            rec.m_CenterLines = {5, 6, 7};
            rec.m_iGeneration = 9;
            rec.m_iFirmwareRevision = 3;
            rec.m_iPixelsPerLine = 160;
            rec.m_iLines = bMTF ? 1 : 3;
            for (int p = 0; p < 3; ++p) {
                if (!bColor && p != 1)
                    continue;
                for (int64_t i = 0; i < rec.m_iLines * rec.m_iPixelsPerLine; ++i)
                    rec.m_Planes[size_t(p)].push_back(static_cast<uint8_t>(i * 7 + p));
            }
            if (bMTF)
                for (int a = 0; a < OSC_MTF_ARRAYS; ++a)
                    for (int c = 0; c < 5; ++c)
                        rec.m_MtfArrays[size_t(a)].push_back(a * 100 - c);
            const std::string szPath = dir.File("round.con");
            std::string szError;
            ASSERT_TRUE(WriteOscilloscopeFile(szPath, rec, &szError)) << szError;
            COscRecording back;
            const COscReadResult r = ReadOscilloscopeFile(szPath, back);
            ASSERT_EQ(r.m_eOutcome, OSC_READ_LOADED) << r.m_szError;
            EXPECT_TRUE(r.m_Messages.empty()) << r.m_Messages[0];
            EXPECT_EQ(back.m_bMTF, bMTF);
            EXPECT_EQ(back.m_szScannerID, rec.m_szScannerID);
            EXPECT_EQ(back.m_CameraPix, rec.m_CameraPix);
            EXPECT_EQ(back.m_iGeneration, 9);
            EXPECT_EQ(back.m_iScannerFamily, 17);
            EXPECT_EQ(back.m_Magnification, rec.m_Magnification);
            EXPECT_EQ(back.m_CenterLines, rec.m_CenterLines);
            EXPECT_EQ(back.m_Planes, rec.m_Planes);
            EXPECT_EQ(back.m_MtfArrays, rec.m_MtfArrays);
            // Written again, the recording read back is the same file.
            const std::string szAgain = dir.File("again.con");
            ASSERT_TRUE(WriteOscilloscopeFile(szAgain, back, &szError)) << szError;
            EXPECT_EQ(ReadFileBytes(szAgain), ReadFileBytes(szPath));
        }
    }
}

} // namespace
