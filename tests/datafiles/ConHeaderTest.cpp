#include <gtest/gtest.h>

#include <cstdio>

#include "support/TestSupport.h"
#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "platform/Messages.h"

namespace {
ConHeader Header(const std::string& szText)
{
    ConHeader h;
    h.SetText(szText);
    return h;
}
} // namespace

TEST(ConHeader, DataPointerIsPatchedWithTheHeaderLength)
{
    ConHeader h;
    h.AppendLightProfileSection();
    h.AppendWidth(2);
    h.AppendColor(CON_COLOR_RED);
    ASSERT_EQ(h.Length(), 57u);
    ASSERT_TRUE(h.PatchDataPointer());
    EXPECT_EQ(h.GetText(), "[Light Profile]\nDataPointer=        57\nWidth=2\nColor=Red\n");
    EXPECT_EQ(h.GetDataPointer(), 57);
    int64_t iH = 0;
    EXPECT_TRUE(h.GetDataPointerChecked(iH));
    EXPECT_EQ(iH, 57);
}

TEST(ConHeader, ColourWordsReadAsCodes)
{
    struct { const char* value; int32_t code; } cases[] = {
        {"Red", 0}, {"Green", 1}, {"Blue", 2}, {"Red:Green:Blue", 254}, {"Gray", 4}, {"NONE", 1},
        {"Grey", 1}, {"Rxxx", 0}, {"17", 17}, {"", 0}, {"Rxx:G", 254},
    };
    for (const auto& c : cases) {
        int32_t iColor = -1;
        EXPECT_TRUE(Header(std::string("Color=") + c.value + "\n").GetColor(iColor)) << c.value;
        EXPECT_EQ(iColor, c.code) << c.value;
    }
    // Written words read back as the code they stand for (3 reads back as 254).
    for (int32_t code : {0, 1, 2, 3, 4, 254, 9}) {
        ConHeader h;
        h.AppendColor(code);
        int32_t iColor = -1;
        ASSERT_TRUE(h.GetColor(iColor));
        EXPECT_EQ(iColor, code == 3 ? 254 : code == 9 ? 1 : code) << h.GetText();
    }
}

TEST(ConHeader, CameraWordsReadAsCodes)
{
    struct { const char* value; int32_t code; } cases[] = {
        {"All", 255}, {"A", 0}, {"C", 2}, {"H", 7}, {"7", 7}, {"Alpha", 255}, {"I", 0}, {"-3", -3},
    };
    for (const auto& c : cases) {
        int32_t iCamera = -1;
        EXPECT_TRUE(Header(std::string("CameraUsed=") + c.value).GetCameraUsed(iCamera)) << c.value;
        EXPECT_EQ(iCamera, c.code) << c.value;
    }
    ConHeader h;
    h.AppendCameraUsed(8); // nothing is written for codes without a word
    h.AppendCameraUsed(255);
    h.AppendCameraUsed(3);
    EXPECT_EQ(h.GetText(), "CameraUsed=All\nCameraUsed=D\n");
}

TEST(ConHeader, FlagsDifferInWhatCountsAsTrue)
{
    struct { const char* text; bool corrected, correctedFound, signed32, signedFound; } cases[] = {
        {"Corrected=TRUE\nIsSigned_32_Profile=TRUE\n", true, true, true, true},
        {"Corrected=true\nIsSigned_32_Profile=true\n", false, true, true, true},
        {"Corrected=FALSE\nIsSigned_32_Profile=FALSE\n", false, true, false, false},
        {"Other=1\n", false, false, false, false},
    };
    for (const auto& c : cases) {
        const ConHeader h = Header(c.text);
        bool b = true;
        EXPECT_EQ(h.GetCorrected(b), c.correctedFound) << c.text;
        EXPECT_EQ(b, c.corrected) << c.text;
        EXPECT_EQ(h.GetIsSigned32Profile(b), c.signedFound) << c.text;
        EXPECT_EQ(b, c.signed32) << c.text;
    }
}

TEST(ConHeader, EveryWriterReadsBack)
{
    ConHeader h;
    h.AppendStitchTestSection();
    h.AppendScannerName("HD Ultra X");
    h.AppendScannerID("SN 42");
    h.AppendColor(CON_COLOR_GRAY);
    h.AppendCameraUsed(5);
    h.AppendCameraCount(6);
    for (int i = 0; i < 8; ++i)
        h.AppendCameraPix(i, 1000 + i);
    h.AppendCorrected(true);
    h.AppendColorScanner(false);
    h.AppendIsSigned32Profile(true);
    h.AppendFirmwareRevision(7);
    h.AppendFirmwareBuild(1234);
    h.AppendDate("06.12.2026");
    h.AppendTime("03:04:05");
    h.AppendWidth(-1);
    h.AppendHeight(2);
    h.AppendLength(3);
    h.AppendResolution(600);
    h.AppendScannerWidth(50880);
    h.AppendGeneration(5);
    h.AppendScannerFamily(9);
    h.AppendCenterLines(1, -2, 3);
    h.AppendMagnification(100, 101, 102);
    h.AppendNoiseLimit(12);
    h.AppendProgramName("Lumora");
    h.AppendProgramVersion("6.0");
    h.AppendProgramBuild("b7");
    ASSERT_TRUE(h.PatchDataPointer());

    std::string sz;
    int32_t i = 0;
    bool b = false;
    std::array<int32_t, 3> three{};
    EXPECT_TRUE(h.GetScannerName(sz)); EXPECT_EQ(sz, "HD Ultra X");
    EXPECT_TRUE(h.GetScannerID(sz)); EXPECT_EQ(sz, "SN 42");
    EXPECT_TRUE(h.GetColor(i)); EXPECT_EQ(i, 4);
    EXPECT_TRUE(h.GetCameraUsed(i)); EXPECT_EQ(i, 5);
    EXPECT_TRUE(h.GetCameraCount(i)); EXPECT_EQ(i, 6);
    for (int c = 0; c < 8; ++c) {
        EXPECT_TRUE(h.GetCameraPix(c, i));
        EXPECT_EQ(i, 1000 + c);
    }
    EXPECT_FALSE(h.GetCameraPix(8, i));
    EXPECT_TRUE(h.GetCorrected(b)); EXPECT_TRUE(b);
    EXPECT_TRUE(h.GetColorScanner(b)); EXPECT_FALSE(b);
    EXPECT_TRUE(h.GetIsSigned32Profile(b)); EXPECT_TRUE(b);
    EXPECT_TRUE(h.GetFirmwareRevision(i)); EXPECT_EQ(i, 7);
    EXPECT_TRUE(h.GetFirmwareBuild(i)); EXPECT_EQ(i, 1234);
    EXPECT_TRUE(h.GetDate(sz)); EXPECT_EQ(sz, "06.12.2026");
    EXPECT_TRUE(h.GetTime(sz)); EXPECT_EQ(sz, "03:04:05");
    EXPECT_TRUE(h.GetWidth(i)); EXPECT_EQ(i, -1);
    EXPECT_TRUE(h.GetHeight(i)); EXPECT_EQ(i, 2);
    EXPECT_TRUE(h.GetLength(i)); EXPECT_EQ(i, 3);
    EXPECT_TRUE(h.GetResolution(i)); EXPECT_EQ(i, 600);
    EXPECT_TRUE(h.GetScannerWidth(i)); EXPECT_EQ(i, 50880);
    EXPECT_TRUE(h.GetGeneration(i)); EXPECT_EQ(i, 5);
    EXPECT_TRUE(h.GetScannerFamily(i)); EXPECT_EQ(i, 9);
    EXPECT_TRUE(h.GetCenterLines(three)); EXPECT_EQ(three, (std::array<int32_t, 3>{1, -2, 3}));
    EXPECT_TRUE(h.GetMagnification(three)); EXPECT_EQ(three, (std::array<int32_t, 3>{100, 101, 102}));
    EXPECT_TRUE(h.GetNoiseLimit(i)); EXPECT_EQ(i, 12);
    EXPECT_TRUE(h.GetProgramName(sz)); EXPECT_EQ(sz, "Lumora");
    EXPECT_TRUE(h.GetProgramVersion(sz)); EXPECT_EQ(sz, "6.0");
    EXPECT_TRUE(h.GetProgramBuild(sz)); EXPECT_EQ(sz, "b7");
    EXPECT_EQ(h.GetDataPointer(), static_cast<int32_t>(h.Length()));
}

TEST(ConHeader, ValuesEndAtLineEndsAndFirstOccurrenceWins)
{
    int32_t i = 0;
    EXPECT_TRUE(Header("Width=10\r\nWidth=20\n").GetWidth(i));
    EXPECT_EQ(i, 10);
    EXPECT_TRUE(Header("x\nWidth=  33").GetWidth(i)); // last thing in the header, no line end
    EXPECT_EQ(i, 33);
    std::string sz = "kept";
    EXPECT_FALSE(Header("Width=1\n").GetScannerName(sz));
    EXPECT_EQ(sz, "kept"); // untouched when absent
    EXPECT_FALSE(Header("Width=1\n").GetScannerID(sz));
    EXPECT_EQ(sz, ""); // cleared when absent
    i = 5;
    EXPECT_FALSE(Header("").GetHeight(i));
    EXPECT_EQ(i, 0);
    std::array<int32_t, 3> three{7, 7, 7};
    EXPECT_FALSE(Header("CenterLines=1 2\n").GetCenterLines(three));
    EXPECT_EQ(three, (std::array<int32_t, 3>{7, 7, 7}));
    EXPECT_FALSE(Header("Magnification=1 x 3\n").GetMagnification(three));
}

TEST(ConHeader, LongValuesAndNulBytesStayBounded)
{
    ConHeader h;
    h.AppendScannerName(std::string(5000, 'n'));
    h.AppendWidth(5);
    std::string sz;
    ASSERT_TRUE(h.GetScannerName(sz));
    EXPECT_EQ(sz.size(), ConHeader::kMaxValue - 1 - 12); // the line, not the value, is cut to fit
    int32_t i = 0;
    EXPECT_TRUE(h.GetWidth(i)); // the line cut did not swallow the next key
    EXPECT_EQ(i, 5);

    EXPECT_TRUE(Header("Scanner ID=" + std::string(3000, 'x')).GetScannerID(sz));
    EXPECT_EQ(sz.size(), ConHeader::kMaxValue);

    const std::string szWithNul("Width=4\n\0Height=9\n", 18);
    EXPECT_FALSE(Header(szWithNul).GetHeight(i)); // nothing after a NUL is header
}

TEST(ConHeader, VersionTextComesFromTheTextFileBesideTheProgram)
{
    const std::string szPath = ConHeader::VersionTextPath();
    ASSERT_FALSE(szPath.empty());
    EXPECT_EQ(szPath.substr(szPath.size() - 4), ".txt");
    std::remove(szPath.c_str());

    ConHeader h;
    h.AppendVersionText("Build 12");
    h.AppendVersionText(); // no file: nothing at all
    EXPECT_EQ(h.GetText(), "Build 12\n");

    // Only the first 99 bytes count, and the line is always ended.
    WriteFileBytes(szPath, std::string(150, 'v'));
    ConHeader fromFile;
    fromFile.AppendVersionText();
    std::remove(szPath.c_str());
    EXPECT_EQ(fromFile.GetText(), std::string(99, 'v') + "\n");
}

TEST(ConHeader, SectionTestsFindTheirNamesAnywhere)
{
    struct { const char* text; bool (ConHeader::*test)() const; } cases[] = {
        {"[Light Profile]", &ConHeader::IsLightProfile},
        {"x[G3 Light Profile]", &ConHeader::IsG3LightProfile},
        {"[Oscilloscope]", &ConHeader::IsOscilloscope},
        {"[Live Oscilloscope]", &ConHeader::IsLiveOscilloscope},
        {"[MTF]", &ConHeader::IsMTF},
        {"[Stitch Test]", &ConHeader::IsStitchTest},
        {"[Noise Test]", &ConHeader::IsNoiseTest},
        {"[Rawdex]", &ConHeader::IsRawdex},
        {"[Adjust Center CCD]", &ConHeader::IsAdjustCenterCCD},
        {"[Scan-Line Positioning]", &ConHeader::IsAdjustCenterCCD},
        {"[Vertical Camera Verification]", &ConHeader::IsVerticalCameraVerification},
        {"[Mirror Carriage Adjustment]", &ConHeader::IsVerticalCameraVerification},
        {"[StarTest]", &ConHeader::IsStarTest},
        {"[Tonal Resolution]", &ConHeader::IsTonalResolution},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE((Header(c.text).*c.test)()) << c.text;
        EXPECT_FALSE((Header("[Other]").*c.test)()) << c.text;
    }
    EXPECT_FALSE(Header("[Live Oscilloscope]").IsOscilloscope());
}

TEST(ConFile, BadDataPointersAreRefusedWithAReason)
{
    CTempDir dir;
    struct { std::string bytes; EConReadStatus status; const char* problem; } cases[] = {
        {"[Light Profile]\nDataPointer=        40\nWidth=1\n", CON_READ_OK, ""},
        {"[Light Profile]\nDataPointer=      9999\nWidth=1\n", CON_READ_MALFORMED, "past the end"},
        {"[Light Profile]\nDataPointer=        10\nWidth=1\n", CON_READ_MALFORMED, "first lines"},
        {"[Light Profile]\nDataPointer=    12x456\nWidth=1\n", CON_READ_MALFORMED, "not a number"},
        {"[Light Profile]\nDataPointer=          \nWidth=1\n", CON_READ_MALFORMED, "not a number"},
        {"[Light Profile]\nDataPointer=  4", CON_READ_MALFORMED, "ends inside"},
        {"[Light Profile]\nno equals sign\n", CON_READ_NO_HEADER, "no DataPointer"},
        {std::string(48, '\0'), CON_READ_NO_HEADER, "no DataPointer"},
        {"", CON_READ_NO_HEADER, "no DataPointer"},
    };
    for (const auto& c : cases) {
        const std::string szFile = dir.File("f.con");
        WriteFileBytes(szFile, c.bytes);
        CConFileHeader hdr;
        EXPECT_EQ(ReadConFileHeader(szFile, hdr), c.status) << c.bytes;
        EXPECT_NE(hdr.m_szProblem.find(c.problem), std::string::npos) << hdr.m_szProblem;
    }
    CConFileHeader hdr;
    EXPECT_EQ(ReadConFileHeader(dir.File("missing.con"), hdr), CON_READ_CANNOT_OPEN);
    EXPECT_EQ(ReadConFileHeader(dir.Path(), hdr), CON_READ_CANNOT_OPEN);
}

TEST(ConFile, WriteThenReadRoundTripsHeaderAndData)
{
    CTempDir dir;
    ConHeader h;
    h.AppendNoiseTestSection();
    h.AppendResolution(400);
    const std::string szData = std::string("\x01\x00\xFF", 3) + std::string(300, 'd');
    std::string szError;
    ASSERT_TRUE(WriteConFile(dir.File("n.con"), h, szData.data(), szData.size(), &szError)) << szError;

    CConFileHeader hdr;
    ASSERT_EQ(ReadConFileHeader(dir.File("n.con"), hdr), CON_READ_OK);
    EXPECT_EQ(hdr.m_iHeaderLength, static_cast<int64_t>(h.Length()));
    EXPECT_EQ(hdr.m_Header.GetText(), h.GetText());
    EXPECT_EQ(hdr.DataLength(), 303);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadConData(hdr, 1 << 20, data, szError));
    EXPECT_EQ(std::string(data.begin(), data.end()), szData);
    // Ranges outside the block are refused, not clamped.
    EXPECT_FALSE(ReadConDataBlock(hdr, 300, 4, data, szError));
    EXPECT_FALSE(ReadConDataBlock(hdr, -1, 1, data, szError));
    EXPECT_FALSE(ReadConData(hdr, 100, data, szError));
    EXPECT_TRUE(ReadConDataBlock(hdr, 300, 3, data, szError));

    ConHeader noPointer;
    noPointer.AppendWidth(3);
    EXPECT_FALSE(WriteConFile(dir.File("bad.con"), noPointer, nullptr, 0));
}

TEST(ConFile, KeysAreListedOnceInFileOrder)
{
    const auto keys = ListHeaderKeys(
        Header("[Light Profile]\nDataPointer=        70\nWidth=1\r\nColor=Red\nWidth=2\nno key line\n=5\n"));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"DataPointer", "        70"}, {"Width", "1"}, {"Color", "Red"}};
    EXPECT_EQ(keys, expected);
    // Lines ended by carriage returns alone are lines too.
    EXPECT_EQ(ListHeaderKeys(Header("[Light Profile]\rDataPointer=        70\rWidth=1\rColor=Red\rWidth=2\r")),
              expected);
}

TEST(ConFile, MissingInformationGoesThroughTheMessageSeam)
{
    CMessageRecorder rec;
    int32_t iColor = 0;
    EXPECT_FALSE(RequireKey(Header("Width=1").GetColor(iColor), "Color"));
    EXPECT_TRUE(RequireKey(Header("Color=Red").GetColor(iColor), "Color"));
    EXPECT_EQ(rec.Texts(), std::vector<std::string>{"Missing Information:\nColor"});
}
