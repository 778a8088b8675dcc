// The command-line side of stitching pictures, noise tests and camera checks:
// samples that load, what info reports, render and convert through --as.
#include <gtest/gtest.h>

#include "platform/Json.h"
#include "support/TestSupport.h"
#include "viewers/NoiseRecord.h"
#include "viewers/StitchPicture.h"

namespace {

std::string Field(const std::string& szJson, const std::string& szKey)
{
    // The value text after "key": up to the next comma or closing brace at the same level.
    const size_t iKey = szJson.find("\"" + szKey + "\"");
    if (iKey == std::string::npos)
        return "<missing>";
    size_t i = szJson.find(':', iKey) + 1;
    while (szJson[i] == ' ')
        ++i;
    int iDepth = 0;
    size_t j = i;
    for (; j < szJson.size(); ++j) {
        const char c = szJson[j];
        if (c == '{' || c == '[')
            ++iDepth;
        else if ((c == '}' || c == ']') && iDepth-- == 0)
            break;
        else if (c == ',' && iDepth == 0)
            break;
    }
    std::string sz = szJson.substr(i, j - i);
    sz.erase(std::remove_if(sz.begin(), sz.end(), [](char c) { return c == ' ' || c == '\n'; }), sz.end());
    return sz;
}

}  // namespace

TEST(StitchNoiseCli, SamplesLoadInTheirViewers)
{
    std::vector<std::string> messages;
    std::string szError;
    for (const char* szName : {"stitch-test.con", "stitch-headerless-gray.con", "stitch-headerless-runlength.con"}) {
        CStitchPicture picture;
        EXPECT_TRUE(picture.Load(SampleFile(szName), messages, szError) && picture.Decode(messages, szError)) << szName;
        EXPECT_EQ(picture.m_iWidth, 1200);
        // Both forms of the same stitch area decode to the same black and white.
        const std::vector<uint8_t> gray = picture.GrayPixels();
        EXPECT_EQ(gray[static_cast<size_t>(41) * 1200 + 10] < 128, true) << szName;  // a horizontal line
    }
    for (const char* szName : {"noise-test-color.con", "noise-test-mono.con", "noise-headerless.con"}) {
        CNoiseRecord rec;
        EXPECT_TRUE(rec.ReadNoiseFile(SampleFile(szName))) << rec.m_szError;
        const CNoiseMarks marks = FindNoiseMarks(rec.m_Green, 1, 800, 400, rec.m_iWidth / 2, 1, 1, rec.m_dWidthFactor);
        EXPECT_EQ(marks.m_Marks.size(), 2u) << szName;  // the dust speck and the noisy group
    }
}

TEST(StitchNoiseCli, InfoReportsTheKindFields)
{
    struct Case {
        const char* m_szFile;
        std::vector<const char*> m_Args;
        std::vector<std::pair<const char*, const char*>> m_Fields;
    };
    const std::vector<Case> cases = {
        {"stitch-test.con", {}, {{"kind", "\"stitch-test\""}, {"width", "1200"}, {"height", "720"},
                                 {"resolution", "300"}, {"run_length", "false"}}},
        {"stitch-headerless-runlength.con", {"--as", "stitch"},
         {{"viewer", "\"CView_Stitch_Dialog\""}, {"run_length", "true"}, {"height", "720"}}},
        {"noise-test-color.con", {}, {{"color_scanner", "true"}, {"has_gray", "true"}, {"noise_limit", "8"},
                                      {"average", "{\"red\":184,\"green\":190,\"blue\":176,\"gray\":188}"}}},
        {"noise-test-mono.con", {}, {{"average", "{\"red\":null,\"green\":190,\"blue\":null,\"gray\":null}"}}},
        {"noise-headerless.con", {}, {{"kind", "\"headerless-noise\""}, {"noise_limit", "null"},
                                      {"messages", "[\"NoiseTestValuenotfoundinFct_Tst6.INI.\"]"}}},
        {"camera-adjustment-check.con", {}, {{"kind", "\"camera-adjustment-check\""}, {"profile_width", "3000"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szFile);
        std::vector<std::string> args = {"info", "--json"};
        args.insert(args.end(), c.m_Args.begin(), c.m_Args.end());
        args.push_back(SampleFile(c.m_szFile));
        const CRunResult r = RunProgram(BinPath("lumora-cli"), args);
        for (const auto& [szKey, szValue] : c.m_Fields)
            EXPECT_EQ(Field(r.m_szOut, szKey), szValue) << szKey << "\n" << r.m_szOut;
    }
}

TEST(StitchNoiseCli, ConvertAndRefusal)
{
    // Every kind's drawing is checked through the thumbnailer, which shares the render path.
    CTempDir dir;
    const CRunResult rl = RunProgram(BinPath("lumora-cli"), {"convert", "--as", "stitch",
                                                             SampleFile("stitch-headerless-runlength.con"),
                                                             dir.File("rl.tif")});
    EXPECT_EQ(rl.m_iExit, 0) << rl.m_szErr;
    const CRunResult info = RunProgram("/usr/bin/tiffinfo", {dir.File("rl.tif")});
    EXPECT_NE(info.m_szOut.find("Image Width: 1200 Image Length: 720"), std::string::npos) << info.m_szOut;

    // A hostile file: a clear message and the data error code.
    WriteFileBytes(dir.File("bad.con"), std::string(11, '\0') + char(18) + std::string(36, '\0'));
    const CRunResult bad = RunProgram(BinPath("lumora-cli"), {"convert", dir.File("bad.con"), dir.File("b.tif")});
    EXPECT_EQ(bad.m_iExit, 65);
    EXPECT_NE(bad.m_szErr.find("no size"), std::string::npos) << bad.m_szErr;
    const CRunResult badInfo = RunProgram(BinPath("lumora-cli"), {"info", "--json", dir.File("bad.con")});
    EXPECT_EQ(badInfo.m_iExit, 65);
    EXPECT_NE(Field(badInfo.m_szOut, "problem").find("nosize"), std::string::npos) << badInfo.m_szOut;  // blanks squeezed
}
