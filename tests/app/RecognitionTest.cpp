#include <gtest/gtest.h>

#include "app/StartupRecognition.h"
#include "support/DataFileBytes.h"
#include "support/TestSupport.h"

namespace {
std::string Headerless(int iByte11, uint32_t iValue20 = 0, size_t iSize = 48)
{
    std::string sz = HeaderlessBytes(iByte11, {{20, iValue20}});
    sz.resize(iSize, '\0');
    return sz;
}

std::string WithSection(const std::string& szSection)
{
    return szSection + "\nDataPointer=        40\nWidth=1\n";
}
} // namespace

TEST(Recognition, SectionsOpenTheirViewersInTableOrder)
{
    struct { std::string bytes; const char* kind; const char* viewer; bool hide; } cases[] = {
        {WithSection("[Light Profile]"), "light-profile", "CView_LPF_Dialog", true},
        {WithSection("[G3 Light Profile]"), "g3-light-profile", "CView_LPF_Dialog", true},
        {WithSection("[Oscilloscope]"), "oscilloscope", "COscilloscope_Dialog", true},
        {WithSection("[MTF]"), "mtf", "COscilloscope_Dialog", true},
        {WithSection("[Stitch Test]"), "stitch-test", "CView_Stitch_Dialog", true},
        {WithSection("[Noise Test]"), "noise-test", "CNoiseTest_SM_Dialog", false},
        {WithSection("[Adjust Center CCD]"), "scan-line-positioning", "CAdjustCenterCCD_Dialog", true},
        {WithSection("[Scan-Line Positioning]"), "scan-line-positioning", "CAdjustCenterCCD_Dialog", true},
        {WithSection("[Vertical Camera Verification]"), "mirror-carriage-adjustment", "CVerticalCameraVerification_Dialog", true},
        {WithSection("[Mirror Carriage Adjustment]"), "mirror-carriage-adjustment", "CVerticalCameraVerification_Dialog", true},
        {WithSection("[StarTest]"), "star-test", "CStarTest_Dialog", true},
        {WithSection("[Tonal Resolution]"), "tonal-resolution", "CTonalResolutionDialog", true},
        // both names in the first bytes: the table's order decides
        {"[Noise Test]\n[Light Profile]\n", "light-profile", "CView_LPF_Dialog", true},
        {"[Stitch Test][MTF]", "mtf", "COscilloscope_Dialog", true},
        // a section beyond the first 100 bytes is not seen
        {std::string(100, ' ') + "[Light Profile]", "unknown", "", true},
        // headerless markers
        {Headerless(16), "headerless-light-profile", "CView_LPF_Dialog", true},
        {Headerless(18), "headerless-stitch", "CView_Stitch_Dialog", true},
        {Headerless(19), "headerless-noise", "CView_LPF_Dialog", true},
        {Headerless(0, 13900), "camera-adjustment-check", "CView_LPF_Dialog", true},
        {Headerless(18, 13900), "headerless-stitch", "CView_Stitch_Dialog", true},
        {Headerless(0, 13901), "unknown", "", true},
        {Headerless(16, 0, 12), "headerless-light-profile", "CView_LPF_Dialog", true}, // short file, rest zero
        {Headerless(0, 13900, 21), "unknown", "", true},                              // value cut by the end
        {"", "unknown", "", true},
        // nothing of the launcher opens a live recording
        {WithSection("[Live Oscilloscope]"), "live-oscilloscope", "", true},
    };
    for (const auto& c : cases) {
        const CDispatchDecision d = RecognizeFirstBytes(c.bytes, "/data/f.con", 0);
        EXPECT_EQ(d.m_szKind, c.kind) << c.bytes;
        EXPECT_EQ(d.m_szViewer, c.viewer) << c.bytes;
        EXPECT_EQ(d.m_bHideLauncher, c.hide) << c.bytes;
        EXPECT_EQ(d.m_bClearFileField, c.hide) << c.bytes;
        EXPECT_FALSE(d.m_bRawdex);
    }
}

TEST(Recognition, RawdexOpensByTheProductsOemCode)
{
    const std::string szBytes = "[Rawdex]\nDataPointer=        32\n";
    CDispatchDecision d = RecognizeFirstBytes(szBytes, "/data/run/p.con", 0);
    EXPECT_TRUE(d.m_bRawdex);
    EXPECT_EQ(d.m_szViewer, "CView_LPF_Dialog");
    EXPECT_FALSE(d.m_bPassFile);
    d = RecognizeFirstBytes(szBytes, "/data/run/p.con", 2);
    EXPECT_EQ(d.m_szViewer, "COscilloscope_Dialog");
    EXPECT_EQ(d.m_szDataFolder, "/data/run/");
    EXPECT_FALSE(d.m_bPassFile);
}

TEST(Recognition, DescribeReportsHeaderAndStatus)
{
    CTempDir dir;
    struct { std::string bytes; EDescribeStatus status; const char* kind; int64_t header; int64_t data; } cases[] = {
        {"[Light Profile]\nDataPointer=        47\nWidth=1\nDATA", DESCRIBE_OK, "light-profile", 47, 4},
        {"[Light Profile]\nDataPointer=       400\nWidth=1\nDATA", DESCRIBE_MALFORMED, "light-profile", -1, 51},
        {"[Stitch Test]\nDataPointer=abcdefghij\n", DESCRIBE_MALFORMED, "stitch-test", -1, 37},
        {Headerless(18, 0, 1000), DESCRIBE_OK, "headerless-stitch", -1, 1000},
        {"just some text", DESCRIBE_UNRECOGNISED, "unknown", -1, 14},
        {"[StarTest]\nStars=8\n", DESCRIBE_OK, "star-test", -1, 19},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File("f.con"), c.bytes);
        CFileDescription desc;
        EXPECT_EQ(DescribeFile(dir.File("f.con"), "", desc), c.status) << c.bytes;
        EXPECT_EQ(desc.m_szKind, c.kind) << c.bytes;
        EXPECT_EQ(desc.m_iHeaderLength.value_or(-1), c.header) << c.bytes;
        EXPECT_EQ(desc.m_iDataLength, c.data) << c.bytes;
    }
    CFileDescription desc;
    EXPECT_EQ(DescribeFile(dir.File("missing.con"), "", desc), DESCRIBE_MISSING);
    EXPECT_EQ(DescriptionProblem(desc), "No such file or directory");

    // --as names the viewer of the launcher button.
    WriteFileBytes(dir.File("f.con"), "nothing known");
    EXPECT_EQ(DescribeFile(dir.File("f.con"), "stitch", desc), DESCRIBE_UNRECOGNISED);
    EXPECT_EQ(desc.m_szViewer.value_or(""), "CView_Stitch_Dialog");
    DescribeFile(dir.File("f.con"), "light-profile", desc);
    EXPECT_EQ(desc.m_szViewer.value_or(""), "CLPF_Dialog");
}

TEST(Recognition, JsonCarriesTheContractFields)
{
    CFileDescription desc;
    desc.m_szFile = "a.con";
    desc.m_szKind = "light-profile";
    desc.m_szSection = "[Light Profile]";
    desc.m_iHeaderLength = 57;
    desc.m_iDataLength = 3;
    desc.m_Keys = {{"Width", "2"}};
    desc.m_Messages = {"Missing Information:\nColor"};
    desc.m_Extra.Set("samples", 3);
    EXPECT_EQ(FileDescriptionToJson(desc).Dump(-1),
              "{\"file\":\"a.con\",\"kind\":\"light-profile\",\"section\":\"[Light Profile]\",\"viewer\":null,"
              "\"header_length\":57,\"data_length\":3,\"keys\":{\"Width\":\"2\"},"
              "\"messages\":[\"Missing Information:\\nColor\"],\"samples\":3}");
}
