// Loading light profiles: keys and defaults, each viewer's own messages, the
// headerless layout, hand-over decisions, hostile files, and the samples.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "app/KindRegistry.h"
#include "datafiles/ConFile.h"
#include "support/DataFileBytes.h"
#include "support/TestSupport.h"
#include "viewers/LightProfileFile.h"
#include "viewers/LightProfileSamples.h"
#include "viewers/LightProfileView.h"

namespace {

std::string ConBytes(const std::string& szKeys, const std::string& szSection = "Light Profile",
                     const std::string& data = std::string(100, '\x40'))
{
    return ConTestFile(szSection, szKeys, data);
}

const std::string kAllKeys = "ScannerName=ZEL 4200\nDate=01.02.2024\nTime=11:12:13\nColorScanner=TRUE\n"
                             "Color=Blue\nCameraUsed=C\nCameraCount=4\nScannerWidth(1/1200)=50880\n"
                             "Corrected=TRUE\nGeneration=6\nFirmware Revision=7\nIsSigned_32_Profile=TRUE\n";

CLightProfileLoad Load(const std::string& bytes, LPF_VIEWER eViewer = LPF_VIEWER_DIALOG)
{
    return LoadLightProfileBytes("test.con", bytes, eViewer);
}

} // namespace

TEST(LightProfileFile, ReadsEveryKey)
{
    const CLightProfileLoad load = Load(ConBytes(kAllKeys, "Light Profile", "\x01\x02\x03"));
    ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK);
    const CLightProfile& p = load.m_Profile;
    EXPECT_TRUE(load.m_Messages.empty());
    EXPECT_EQ(std::tie(p.m_szScannerName, p.m_szDate, p.m_szTime),
              std::make_tuple("ZEL 4200", "01.02.2024", "11:12:13"));
    EXPECT_EQ(std::tie(p.m_bColorScanner, p.m_bCorrected, p.m_bSigned32Profile), std::make_tuple(true, true, true));
    EXPECT_EQ(std::tie(p.m_iColor, p.m_iCamera, p.m_iCameraCount, p.m_iGeneration, p.m_iFirmwareRevision),
              std::make_tuple(2, 2, 4, 6, 7));
    EXPECT_DOUBLE_EQ(p.m_dWidthFactor, 10.0);
    EXPECT_EQ(p.m_Data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(p.m_iHeaderLength, static_cast<int64_t>(ConBytes(kAllKeys).size()) - 100);
    EXPECT_EQ(LightProfileTitle(p), "ZEL 4200: Camera C  Color=Blue");
}

TEST(LightProfileFile, DefaultsWhenOptionalKeysAreMissing)
{
    struct Case { std::string keys; int32_t generation; double factor; bool signed32; };
    const std::vector<Case> cases = {
        {"ScannerWidth(1/1200)=48000\n", 5, 48000 / 5088.0, false},
        {"ScannerWidth(1/1200)=60000\nColorScanner=TRUE\n", 5, 60000 / 5088.0, false},
        {"ScannerWidth(1/1200)=40000\nColorScanner=TRUE\n", 4, 40000 / 5088.0, false},
        {"ColorScanner=FALSE\n", 0, 8.5, false},
        {"ColorScanner=TRUE\nIsSigned_32_Profile=true\n", 4, 8.5, true},
        {"IsSigned_32_Profile=FALSE\nGeneration=9\n", 9, 8.5, false},
        {"IsSigned_32_Profile=yes\n", 0, 8.5, false},
    };
    for (const Case& c : cases) {
        const CLightProfileLoad load = Load(ConBytes(c.keys));
        ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK) << c.keys;
        EXPECT_EQ(load.m_Profile.m_iGeneration, c.generation) << c.keys;
        EXPECT_DOUBLE_EQ(load.m_Profile.m_dWidthFactor, c.factor) << c.keys;
        EXPECT_EQ(load.m_Profile.m_bSigned32Profile, c.signed32) << c.keys;
        EXPECT_EQ(load.m_Profile.m_iFirmwareRevision, 0);
    }
}

TEST(LightProfileFile, EachViewerShowsItsOwnMissingInformation)
{
    const std::string bytes = ConBytes("ScannerName=X\n");
    const std::vector<std::string> dialog = {
        "Missing Information:\nDate", "Missing Information:\nTime", "Missing Information:\nIs Color or B/W Scanner",
        "Missing Information:\nColor", "Missing Information:\nCamera Used", "Missing Information:\nCamera Count",
        "Missing Information:\nIs Corrected/Uncorrected"};
    const std::vector<std::string> file(dialog.begin() + 2, dialog.end());
    EXPECT_EQ(Load(bytes, LPF_VIEWER_DIALOG).m_Messages, dialog);
    EXPECT_EQ(Load(bytes, LPF_VIEWER_FILE).m_Messages, file);
    // Only what is missing is reported.
    EXPECT_EQ(Load(ConBytes("Date=1\nTime=2\nColorScanner=T\nColor=Red\nCameraUsed=All\nCameraCount=1\n")).m_Messages,
              std::vector<std::string>{"Missing Information:\nIs Corrected/Uncorrected"});
}

TEST(LightProfileFile, HeaderlessProfileTakesTheBytesBetweenHeaderAndTrailer)
{
    std::string bytes(48, '\0');
    bytes[11] = 16;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i % 200);
    std::string trailer(44, '\0');
    trailer.replace(0, 7, "ZEL 800");
    trailer[17] = 1;
    trailer[20] = 2;
    trailer[21] = 1;
    trailer[22] = 3;
    trailer[23] = 4;
    bytes += trailer;
    ASSERT_EQ(bytes.size(), 1092u);
    const CLightProfileLoad load = Load(bytes);
    ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK);
    EXPECT_TRUE(load.m_bHeaderless);
    EXPECT_TRUE(load.m_Messages.empty());
    const CLightProfile& p = load.m_Profile;
    ASSERT_EQ(p.m_Data.size(), 1000u);
    EXPECT_EQ(p.m_Data[0], 0);
    EXPECT_EQ(p.m_Data[999], 999 % 200);
    EXPECT_EQ(p.m_szScannerName, "ZEL 800");
    EXPECT_EQ(std::tie(p.m_bColorScanner, p.m_bCorrected), std::make_tuple(true, true));
    EXPECT_EQ(std::tie(p.m_iColor, p.m_iCamera, p.m_iCameraCount, p.m_iGeneration), std::make_tuple(2, 3, 4, 4));
    // Too short for header and trailer: refused, naming the file.
    const CLightProfileLoad shortLoad = Load(bytes.substr(0, 91));
    EXPECT_EQ(shortLoad.m_eOutcome, LPF_LOAD_FAILED);
    EXPECT_NE(shortLoad.m_szError.find("test.con"), std::string::npos);
}

TEST(LightProfileFile, OtherKindsGoToTheirViewers)
{
    auto marker = [](int iByte11, uint32_t iAt20) {
        return HeaderlessBytes(iByte11, {{20, iAt20}}) + std::string(12, '\0');
    };
    struct Case { std::string bytes; LPF_LOAD_OUTCOME outcome; const char* viewer; };
    const std::vector<Case> cases = {
        {ConBytes("", "Rawdex"), LPF_LOAD_RAWDEX, ""},
        {ConBytes("", "Noise Test"), LPF_LOAD_HAND_OVER, "CNoiseTest_SM_Dialog"},
        {ConBytes("", "Oscilloscope"), LPF_LOAD_HAND_OVER, "COscilloscope_Dialog"},
        {ConBytes("", "MTF"), LPF_LOAD_HAND_OVER, "COscilloscope_Dialog"},
        {ConBytes("", "G3 Light Profile"), LPF_LOAD_HAND_OVER, "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {marker(0, 13900), LPF_LOAD_HAND_OVER, "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {marker(19, 0), LPF_LOAD_HAND_OVER, "CNCTest_Dialog"},
        {marker(16, 13900), LPF_LOAD_HAND_OVER, "COstra_Check_Camera_Adjustment_Test_Dialog"},
        {marker(18, 0), LPF_LOAD_ASK_SETTINGS, ""},
        {std::string("tiny"), LPF_LOAD_ASK_SETTINGS, ""},
        {ConBytes("", "Stitch Test"), LPF_LOAD_ASK_SETTINGS, ""},
    };
    for (const Case& c : cases) {
        const CLightProfileLoad load = Load(c.bytes);
        EXPECT_EQ(load.m_eOutcome, c.outcome) << c.bytes.substr(0, 20);
        EXPECT_EQ(load.m_szViewer, c.viewer) << c.bytes.substr(0, 20);
    }
}

TEST(LightProfileFile, ScannerSettingsCompleteAFileOfUnknownLayout)
{
    std::string bytes(48, 'h');
    bytes += std::string("\x10\x20\x30", 3);
    CScannerSettings s;
    s.m_bColorScanner = true;
    s.m_iColor = 1;
    s.m_iCamera = 2;
    s.m_iCameraCount = 3;
    s.m_szHeader = "typed by the technician";
    CLightProfileLoad load = LoadLightProfileBytesWithSettings("x.bin", bytes, s);
    ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK);
    EXPECT_EQ(load.m_Profile.m_Data, (std::vector<uint8_t>{0x10, 0x20, 0x30}));
    EXPECT_EQ(load.m_Profile.m_iCamera, 2);
    EXPECT_EQ(load.m_Profile.m_iCameraCount, 3);
    EXPECT_EQ(load.m_Profile.m_iGeneration, 4);
    EXPECT_EQ(load.m_Profile.m_szHeaderText, "typed by the technician");
    EXPECT_FALSE(load.m_Profile.m_bCorrected);
    // Keys typed into the header say what the dialog has no control for.
    s.m_szHeader = "ScannerName=ZEL 4800\nCorrected=TRUE";
    load = LoadLightProfileBytesWithSettings("x.bin", bytes, s);
    EXPECT_TRUE(load.m_Profile.m_bCorrected);
    EXPECT_EQ(load.m_Profile.m_szScannerName, "ZEL 4800");
    s.m_bCorrected = true;
    s.m_szHeader = "Corrected=FALSE";
    EXPECT_FALSE(LoadLightProfileBytesWithSettings("x.bin", bytes, s).m_Profile.m_bCorrected);
    s.m_bCameraAdjustmentMode = true;
    load = LoadLightProfileBytesWithSettings("x.bin", bytes, s);
    EXPECT_EQ(load.m_eOutcome, LPF_LOAD_HAND_OVER);
    EXPECT_EQ(load.m_szViewer, "COstra_Check_Camera_Adjustment_Test_Dialog");
}

TEST(LightProfileFile, HostileHeadersAreRefusedWithTheFileNamed)
{
    const std::string good = ConBytes("Date=1\n");
    std::string pastEnd = good;
    pastEnd.replace(pastEnd.find('=') + 1, 10, "   9999999");
    std::string notNumber = good;
    notNumber.replace(notNumber.find('=') + 1, 10, "   abcdefg");
    std::string zero = good;
    zero.replace(zero.find('=') + 1, 10, "         0");
    for (const std::string& bytes : {pastEnd, notNumber, zero, std::string("[Light Profile]\nDataPointer=")}) {
        const CLightProfileLoad load = Load(bytes);
        EXPECT_EQ(load.m_eOutcome, LPF_LOAD_FAILED) << bytes.substr(0, 40);
        EXPECT_EQ(load.m_szError.rfind("test.con: ", 0), 0u) << load.m_szError;
        EXPECT_TRUE(load.m_Profile.m_Data.empty());
    }
    CTempDir dir;
    const CLightProfileLoad missing = LoadLightProfile(dir.File("nothing.con"), LPF_VIEWER_FILE);
    EXPECT_EQ(missing.m_eOutcome, LPF_LOAD_FAILED);
    EXPECT_NE(missing.m_szError.find("nothing.con"), std::string::npos);
}

TEST(LightProfileFile, HeaderOnlyLoadsAndHugeFiles)
{
    CTempDir dir;
    WriteFileBytes(dir.File("a.con"), ConBytes(kAllKeys, "Light Profile", std::string(5000, '\x20')));
    const CLightProfileLoad quick = LoadLightProfile(dir.File("a.con"), LPF_VIEWER_FILE, false);
    ASSERT_EQ(quick.m_eOutcome, LPF_LOAD_OK);
    EXPECT_EQ(quick.m_iSampleCount, 5000);
    EXPECT_TRUE(quick.m_Profile.m_Data.empty());
    EXPECT_EQ(quick.m_Profile.m_szScannerName, "ZEL 4200");
    // More samples than a 32-bit count holds: refused before anything is allocated
    // (the file is sparse, so this costs no disk).
    WriteFileBytes(dir.File("huge.con"), ConBytes(kAllKeys, "Light Profile", ""));
    std::error_code ec;
    std::filesystem::resize_file(dir.File("huge.con"), (int64_t(1) << 31) + 4096, ec);
    ASSERT_FALSE(ec);
    for (bool bRead : {false, true}) {
        const CLightProfileLoad load = LoadLightProfile(dir.File("huge.con"), LPF_VIEWER_FILE, bRead);
        EXPECT_EQ(load.m_eOutcome, LPF_LOAD_FAILED);
        EXPECT_NE(load.m_szError.find("more than a light profile can hold"), std::string::npos) << load.m_szError;
    }
}

TEST(LightProfileFile, HeaderInformationText)
{
    CTempDir dir;
    const std::string lpf = ConBytes(kAllKeys);
    WriteFileBytes(dir.File("a.con"), lpf);
    WriteFileBytes(dir.File("n.con"), ConBytes("Width=3\n", "Noise Test"));
    WriteFileBytes(dir.File("o.con"), ConBytes("Width=3\n", "Oscilloscope"));
    WriteFileBytes(dir.File("old.con"), std::string(200, '\x10'));
    std::string sz;
    ASSERT_TRUE(LightProfileHeaderInfo(dir.File("a.con"), sz));
    EXPECT_EQ(sz, lpf.substr(0, lpf.size() - 100));
    ASSERT_TRUE(LightProfileHeaderInfo(dir.File("n.con"), sz));
    EXPECT_EQ(sz.rfind("[Noise Test]\n", 0), 0u);
    for (const char* szName : {"o.con", "old.con"}) {
        ASSERT_TRUE(LightProfileHeaderInfo(dir.File(szName), sz));
        EXPECT_EQ(sz, "Old Con-file.\nNo Header Information available") << szName;
    }
    EXPECT_FALSE(LightProfileHeaderInfo(dir.File("gone.con"), sz));
}

TEST(LightProfileFile, TitleAndPrintLines)
{
    struct Case { int32_t camera; int32_t color; bool colorScanner; const char* title; const char* cameraLine;
                  const char* colorLine; };
    const std::vector<Case> cases = {
        {0, 0, true, "S: Camera A  Color=Red", "Camera: Camera A", "Color: Red"},
        {255, 4, false, "S: Camera All", "Camera: Camera All", "Color: "},
        {254, 1, true, "S: Camera   Color=Green", "Camera: Camera All", "Color: Green"},
        {5, 2, false, "S: Camera F", "Camera: ", "Color: Blue"},
    };
    for (const Case& c : cases) {
        CLightProfile p;
        p.m_szScannerName = "S";
        p.m_iCamera = c.camera;
        p.m_iColor = c.color;
        p.m_bColorScanner = c.colorScanner;
        EXPECT_EQ(LightProfileTitle(p), c.title);
        const auto lines = LightProfilePrintLines(p);
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[3], c.cameraLine);
        EXPECT_EQ(lines[4], c.colorLine);
        EXPECT_EQ(lines[5], "Correction: Uncorrected");
    }
}

TEST(LightProfileFile, CsvHoldsEverySampleUnderItsColour)
{
    struct {
        int32_t iColor;
        bool bSigned32;
        const char* szCsv;
    } cases[] = {
        {1, false, "pixel,green\n0,7\n1,0\n2,255\n"},
        {4, false, "pixel,gray\n0,7\n1,0\n2,255\n"},
        // The [-32:31] scale shows the samples as signed values.
        {0, true, "pixel,red\n0,7\n1,0\n2,-1\n"},
    };
    for (const auto& c : cases) {
        CLightProfile p;
        p.m_iColor = c.iColor;
        p.m_bSigned32Profile = c.bSigned32;
        p.m_Data = {7, 0, 255};
        EXPECT_EQ(DataTableCsv(LightProfileDataTable(p)), c.szCsv);
    }
}

TEST(LightProfileSamples, ShapedLikeSensorData)
{
    CLpfSampleShape shape;
    const std::vector<uint8_t> v = MakeLightProfileSamples(shape);
    ASSERT_EQ(v.size(), 4u * 1800u);
    for (int c = 0; c < 4; ++c) {
        const size_t iBase = static_cast<size_t>(c) * 1800u;
        EXPECT_LT(v[iBase + 2], 10) << "dark reference, camera " << c;
        EXPECT_LT(v[iBase + 1797], 10);
        EXPECT_GT(v[iBase + 900], 150) << "lit middle, camera " << c;
    }
    // The lamp falls off towards the sheet edges.
    EXPECT_GT(v[1800 + 900], v[40]);
    EXPECT_GT(v[2 * 1800 + 900], v[3 * 1800 + 1750]);
    EXPECT_EQ(v, MakeLightProfileSamples(shape)); // same every run
}

TEST(LightProfileSamples, G3PictureRoundTripsAndBadPicturesAreRefused)
{
    const std::vector<uint8_t> v = {0, 1, 255, 128, 128, 200, 7};
    const std::vector<uint8_t> picture = MakeG3ProfilePicture(v);
    std::vector<uint8_t> back;
    std::string szError;
    ASSERT_TRUE(DecodeG3ProfilePicture(picture.data(), picture.size(), back, szError)) << szError;
    EXPECT_EQ(back, v);
    const std::vector<uint8_t> noRow = {5, 5, 5};
    EXPECT_FALSE(DecodeG3ProfilePicture(noRow.data(), noRow.size(), back, szError));
    std::vector<uint8_t> wide(9000, 127);
    wide.push_back(0);
    EXPECT_FALSE(DecodeG3ProfilePicture(wide.data(), wide.size(), back, szError));
}

TEST(LightProfileSamples, WrittenFilesLoadAndDescribeThemselves)
{
    CTempDir dir;
    const std::vector<std::string> files = WriteLightProfileSamples(dir.Path());
    ASSERT_EQ(files.size(), 7u);
    RegisterAllKinds();
    const KindDescriber* pDescribe = CKindRegistry::Instance().FindDescriber("light-profile");
    ASSERT_NE(pDescribe, nullptr);
    for (const std::string& f : files) {
        const CLightProfileLoad load = LoadLightProfile(f, LPF_VIEWER_DIALOG);
        CFileDescription desc;
        desc.m_szFile = f;
        (*pDescribe)("", desc);
        if (f.find("g3-") != std::string::npos) {
            EXPECT_EQ(load.m_eOutcome, LPF_LOAD_HAND_OVER);
            continue;
        }
        ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK) << f;
        EXPECT_TRUE(load.m_Messages.empty()) << f;
        EXPECT_GT(load.m_Profile.m_Data.size(), 2000u) << f;
        EXPECT_TRUE(desc.m_Messages.empty());
        ASSERT_NE(desc.m_Extra.Find("samples"), nullptr);
        EXPECT_EQ(desc.m_Extra.Find("samples")->Dump(-1), std::to_string(load.m_Profile.m_Data.size()));
    }
    EXPECT_NE(std::find(files.begin(), files.end(), dir.File("light-profile-color-4cam-red.con")), files.end());
    const CLightProfileLoad signed32 = LoadLightProfile(dir.File("light-profile-signed32.con"), LPF_VIEWER_FILE);
    EXPECT_TRUE(signed32.m_Profile.m_bSigned32Profile);
    for (uint8_t s : signed32.m_Profile.m_Data)
        ASSERT_LT(s, 64);
}

TEST(LightProfileKinds, DescriberReportsTheViewersFieldsAndMessages)
{
    CTempDir dir;
    WriteFileBytes(dir.File("bare.con"), ConBytes("ScannerWidth(1/1200)=48000\n"));
    RegisterAllKinds();
    const KindDescriber* pDescribe = CKindRegistry::Instance().FindDescriber("light-profile");
    ASSERT_NE(pDescribe, nullptr);
    CFileDescription desc;
    desc.m_szFile = dir.File("bare.con");
    (*pDescribe)("", desc);
    EXPECT_EQ(desc.m_Messages.size(), 5u); // the start-up viewer's list
    EXPECT_EQ(desc.m_Extra.Dump(-1),
              "{\"samples\":100,\"scanner_name\":\"\",\"date\":\"\",\"time\":\"\",\"color_scanner\":false,"
              "\"color\":0,\"camera\":0,\"camera_count\":0,\"corrected\":false,\"generation\":5,"
              "\"firmware_revision\":0,\"width_factor\":9.433962264150944,\"signed_32_profile\":false,"
              "\"display_mode\":1,\"position_readout\":\"4.71\"}");
    CFileDescription asLauncher;
    asLauncher.m_szFile = dir.File("bare.con");
    (*pDescribe)("light-profile", asLauncher);
    EXPECT_EQ(asLauncher.m_Messages.size(), 7u);

    // A file that does not describe itself: the launcher's viewer asks for the scanner settings.
    WriteFileBytes(dir.File("raw.bin"), std::string(48, 'x') + std::string(500, '\x33'));
    CFileDescription asked;
    asked.m_szFile = dir.File("raw.bin");
    (*pDescribe)("light-profile", asked);
    ASSERT_NE(asked.m_Extra.Find("asks_scanner_settings"), nullptr);
    EXPECT_EQ(asked.m_Extra.Find("samples")->Dump(-1), "500");
    EXPECT_EQ(asked.m_Extra.Find("camera")->Dump(-1), "255");

    std::string old(48, '\0');
    old[11] = 16;
    old += std::string(1000, '\x55') + std::string(44, '\0');
    WriteFileBytes(dir.File("old.con"), old);
    CFileDescription headerless;
    headerless.m_szFile = dir.File("old.con");
    headerless.m_szKind = "headerless-light-profile";
    headerless.m_iDataLength = 1092;
    (*CKindRegistry::Instance().FindDescriber("headerless-light-profile"))("", headerless);
    EXPECT_EQ(headerless.m_iDataLength, 1000);
    EXPECT_EQ(headerless.m_Extra.Find("samples")->Dump(-1), "1000");
}

// A fuzzer-found header whose CameraUsed= saturates a 32-bit integer: every
// consumer of the read-out must show the problem, not a number, and not trip
// the sanitizers on the way.
TEST(LightProfileRegression, AbsurdCameraCodeReachesNoNumber)
{
    const std::string szFile = TestDataPath("light-profile-readout-overflow.con");
    for (LPF_VIEWER eViewer : {LPF_VIEWER_DIALOG, LPF_VIEWER_FILE}) {
        const CLightProfileLoad load = LoadLightProfile(szFile, eViewer);
        ASSERT_EQ(load.m_eOutcome, LPF_LOAD_OK) << load.m_szError;
        const CLightProfile& p = load.m_Profile;
        EXPECT_EQ(p.m_iCamera, INT32_MAX);
        CLPFView view;
        view.SetData(p.m_Data.data(), static_cast<int64_t>(p.m_Data.size()));
        for (int iGeneration : {p.m_iGeneration, 5, 7}) {
            view.SetScanner(iGeneration, p.m_bColorScanner, p.m_iCamera, p.m_iCameraCount, p.m_dWidthFactor);
            view.SetScaled(true);
            view.SetRange(25.0, 50.0);
            EXPECT_EQ(view.PositionText(600), "Out of range: Camera Used");
            view.SetScaled(false);
            EXPECT_EQ(view.PositionText(600), "Out of range: Camera Used");
        }
    }

    const CRunResult info = RunProgram(BinPath("lumora-cli"), {"info", "--json", szFile});
    ASSERT_EQ(info.m_iExit, 0) << info.m_szErr;
    EXPECT_NE(info.m_szOut.find("\"position_readout\": \"Out of range: Camera Used\""), std::string::npos)
        << info.m_szOut;
    CTempDir dir;
    const CRunResult render = RunProgram(BinPath("lumora-cli"), {"render", szFile, "-o", dir.File("o.png")});
    ASSERT_EQ(render.m_iExit, 0) << render.m_szErr;
    EXPECT_NE(PngSize(ReadFileBytes(dir.File("o.png"))).first, 0u);
}

TEST(LightProfileCli, InfoAndRenderThroughTheCommandLineTool)
{
    CTempDir dir;
    const std::string szCli = BinPath("lumora-cli");
    const CRunResult info = RunProgram(szCli, {"info", "--json", SampleFile("light-profile-signed32.con")});
    EXPECT_NE(info.m_szOut.find("\"display_mode\": 3"), std::string::npos) << info.m_szOut;
    // render draws at the size asked, whatever the view's own default.
    const CRunResult render = RunProgram(szCli, {"render", SampleFile("light-profile-color-4cam-red.con"), "-o",
                                                 dir.File("red.png"), "--size", "640x360"});
    ASSERT_EQ(render.m_iExit, 0) << render.m_szErr;
    EXPECT_EQ(PngSize(ReadFileBytes(dir.File("red.png"))), std::make_pair(640u, 360u));
}
