// A full disk, without privileges or a mounted file system: each save runs in
// a child whose RLIMIT_FSIZE lets no file grow past 1 KiB (with SIGXFSZ
// ignored, the write fails with EFBIG as on a full disk). Whatever the save
// did, the old file is whole and nothing else is left in its folder. One row
// per way bytes reach the disk; the many savers of whole files all end in
// WriteFileAtomically, so its row stands for them.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "datafiles/ConFile.h"
#include "imaging/Picture.h"
#include "imaging/TifWriter.h"
#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace {

constexpr rlim_t kDiskLeft = 1024;

// Noise, so no coder makes it small.
CPicture NoisePicture()
{
    CPicture pic;
    pic.Create(200, 200, 100, PIC_GRAY);
    std::mt19937 rng(7);
    for (int64_t i = 0; i < 200 * 200; ++i)
        pic.m_pData[i] = static_cast<uint8_t>(rng());
    pic.CommitRows(200);
    return pic;
}

[[noreturn]] void Exec(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& sz : args)
        argv.push_back(sz.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
}

std::set<std::string> Listing(const std::string& szDir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(szDir))
        names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(FullDisk, AFailedSaveKeepsTheOldFileAndLeavesNoTemporary)
{
    const std::string szBig(64 * 1024, 'n');
    const CPicture pic = NoisePicture();
    CTempDir source;
    const std::string szPicture = source.File("noise.tif");
    ASSERT_EQ(SavePictureAsTiff(pic, szPicture), 0u);

    const struct {
        const char* m_szName;
        const char* m_szTarget;
        std::function<int(const std::string& szTarget)> m_Save; // in the child: 0 when it says it saved
        bool m_bReports = true; // the save tells of its failure
    } kSaves[] = {
        {"whole file", "result.txt",
         [&](const std::string& sz) { return WriteFileAtomically(sz, szBig) ? 0 : 1; }},
        {"streamed", "result.txt",
         [&](const std::string& sz) {
             CAtomicFile f;
             if (!f.Open(sz))
                 return 1;
             for (int i = 0; i < 16; ++i)
                 f.Write(szBig.data(), 4096);
             return f.Commit() ? 0 : 1;
         }},
        {".con file", "noise.con",
         [&](const std::string& sz) {
             ConHeader header;
             header.AppendSection("[Noise Test]");
             return WriteConFile(sz, header, szBig.data(), szBig.size()) ? 0 : 1;
         }},
        {"TIFF picture", "picture.tif", [&](const std::string& sz) { return int(SavePictureAsTiff(pic, sz) != 0); }},
        {"TIFF page added", "pages.tif",
         [&](const std::string& sz) {
             CTIFWriter writer;
             writer.SetFileName(sz);
             writer.AppendFlag() = true;
             writer.SetOptions(0, false, "", false, 8, 0);
             uint32_t r = writer.BeginPage(IMG_KIND_GRAY, pic.m_iWidth, pic.m_iHeight, 100);
             for (int32_t y = 0; y < pic.m_iHeight && r == 0; ++y) {
                 std::memcpy(writer.GetLineBuffer(), pic.m_pData + int64_t(y) * pic.m_iWidth, size_t(pic.m_iWidth));
                 r = writer.WriteLine();
             }
             return int((r == 0 ? writer.EndPage() : r) != 0);
         }},
        {"convert to PNG", "out.png",
         [&](const std::string& sz) -> int { Exec({BinPath("lumora-cli"), "convert", szPicture, sz}); }},
        {"convert to TIFF", "out.tif",
         [&](const std::string& sz) -> int {
             Exec({BinPath("lumora-cli"), "convert", szPicture, sz, "--compression", "lzw"});
         }},
        // The simulated device saves its state when the library closes; it
        // has no one to tell of a failure.
        {"simulator state", "device.state",
         [&](const std::string& sz) -> int {
             ::setenv("LUMORA_SIM_STATE", sz.c_str(), 1);
             ::unsetenv("LUMORA_SIM_CONFIG");
             Exec({BinPath("lumora-cli"), "scanner", "paper", "load"});
         },
         false},
    };
    for (const auto& save : kSaves) {
        SCOPED_TRACE(save.m_szName);
        CTempDir dir;
        const std::string szTarget = dir.File(save.m_szTarget);
        // The old file is whatever was saved before: a picture to add a page to, or any bytes.
        const bool bTiff = std::filesystem::path(szTarget).extension() == ".tif";
        if (bTiff)
            std::filesystem::copy_file(szPicture, szTarget);
        else
            WriteFileBytes(szTarget, "old contents");
        const std::string szBefore = ReadFileBytes(szTarget);
        const std::set<std::string> before = Listing(dir.Path());
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {kDiskLeft, kDiskLeft};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::_Exit(save.m_Save(szTarget));
        }
        int iStatus = 0;
        ::waitpid(pid, &iStatus, 0);
        ASSERT_TRUE(WIFEXITED(iStatus));
        if (save.m_bReports)
            EXPECT_NE(WEXITSTATUS(iStatus), 0) << "the save reports the failure";
        EXPECT_NE(WEXITSTATUS(iStatus), 127) << "the program ran";
        EXPECT_EQ(ReadFileBytes(szTarget), szBefore) << "the old file is whole";
        EXPECT_EQ(Listing(dir.Path()), before) << "no temporary behind";
    }
}
