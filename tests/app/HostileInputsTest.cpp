// Hostile files through the command line, the way a technician meets them:
// every file in tests/data/hostile/ (crafted refusals and the reproducers of
// fuzzing findings) must end in a clean exit, quickly and in little memory.
// Time is the child's CPU time, so a loaded machine does not make it flaky.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/TestSupport.h"

namespace {
constexpr double kMaxCpuSeconds = 1.0;
constexpr long kMaxPeakKiB = 64 * 1024;

struct CRefusal {
    const char* m_szCommand; // how the file is read
    const char* m_szMessage; // the field the refusal must name
};

// The refusals that are promised; any other file of the folder must simply
// end in 0 or 65.
const std::map<std::string, CRefusal> kRefusals = {
    {"tiff-100000x100000.tif", {"convert", "ImageWidth x ImageLength (100000 x 100000)"}},
    {"tiff-ifd-loop.tif", {"convert", "the IFD chain loops back to offset 8"}},
    {"con-noise-huge-width.con", {"info", "Width=2000000000"}},
    {"con-light-profile-huge-width.con", {"info", "Width=2000000000"}},
    {"con-stitch-huge-width.con", {"info", "2000000000 x 720 pixels"}},
    {"rawdex-entry-past-end.con", {"unpack", "entry \"big.con\": its size runs past the end"}},
};

CRunResult Read(const std::string& szCommand, const std::string& szFile, const CTempDir& out)
{
    std::vector<std::string> args = {szCommand, szFile};
    if (szCommand == "convert")
        args.push_back(out.File("out.png"));
    if (szCommand == "unpack")
        args = {"unpack", "--into", out.Path(), szFile};
    return RunProgram(BinPath("lumora-cli"), args);
}

// An honest uncompressed gray page, one strip.
std::string GrayTiff(uint32_t iWidth, uint32_t iHeight)
{
    std::string sz = std::string("II*\0", 4);
    const auto u16 = [&](uint32_t v) { sz += char(v & 0xFF), sz += char(v >> 8 & 0xFF); };
    const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const uint16_t kTags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3}, {273, 4}, {278, 4}, {279, 4}};
    const uint32_t iData = 8 + 2 + 12 * 8 + 4;
    const uint32_t values[] = {iWidth, iHeight, 8, 1, 1, iData, iHeight, iWidth * iHeight};
    u32(8);
    u16(8);
    for (size_t i = 0; i < 8; ++i) {
        u16(kTags[i][0]), u16(kTags[i][1]), u32(1);
        kTags[i][1] == 3 ? (u16(values[i]), u16(0)) : u32(values[i]);
    }
    u32(0);
    return sz + std::string(size_t(iWidth) * iHeight, char(0x80));
}
} // namespace

TEST(HostileInputs, EndCleanlyFastAndSmall)
{
    const std::filesystem::path folder = TestDataPath("hostile");
    size_t iSeen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string szName = entry.path().filename().string();
        const auto it = kRefusals.find(szName);
        const bool bTiff = entry.path().extension() == ".tif";
        const std::vector<std::string> commands =
            it != kRefusals.end() ? std::vector<std::string>{it->second.m_szCommand}
            : bTiff             ? std::vector<std::string>{"convert", "info"}
                                : std::vector<std::string>{"info", "unpack"};
        for (const std::string& szCommand : commands) {
            CTempDir out;
            const CRunResult r = Read(szCommand, entry.path().string(), out);
            SCOPED_TRACE(szCommand + " " + szName + "\n" + r.m_szErr);
            if (it != kRefusals.end()) {
                EXPECT_EQ(r.m_iExit, 65);
                EXPECT_NE(r.m_szErr.find(it->second.m_szMessage), std::string::npos);
                EXPECT_NE(r.m_szErr.find(szName), std::string::npos) << "the message names the file";
                EXPECT_FALSE(std::filesystem::exists(out.File("out.png")));
            } else {
                EXPECT_TRUE(r.m_iExit == 0 || r.m_iExit == 65) << r.m_iExit;
            }
            EXPECT_LT(r.m_dCpuSeconds, kMaxCpuSeconds);
            EXPECT_LT(r.m_iPeakKiB, kMaxPeakKiB);
        }
        ++iSeen;
    }
    EXPECT_GE(iSeen, kRefusals.size());
}

// The limit is one number for the whole program: lowering it refuses a page
// the default lets through, naming the variable; raising it is how a site
// with larger pictures opens them.
TEST(HostileInputs, AllocationLimitFollowsTheEnvironment)
{
    CTempDir dir;
    const std::string szTif = dir.File("page.tif");
    WriteFileBytes(szTif, GrayTiff(1500, 1000));
    const CRunResult ok = RunProgram(BinPath("lumora-cli"), {"convert", szTif, dir.File("a.png")});
    EXPECT_EQ(ok.m_iExit, 0) << ok.m_szErr;
    const CRunResult low =
        RunProgram(BinPath("lumora-cli"), {"convert", szTif, dir.File("b.png")}, {"LUMORA_MAX_ALLOC_MB=1"});
    EXPECT_EQ(low.m_iExit, 65);
    EXPECT_NE(low.m_szErr.find("more than the limit of 1 MiB (LUMORA_MAX_ALLOC_MB)"), std::string::npos) << low.m_szErr;
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.png")));
}
