#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include "support/ChildProcess.h"

namespace {
CRunResult Cli(const std::vector<std::string>& args) { return RunProgram(BinPath("lumora-cli"), args); }

bool AnyTemporaryIn(const std::string& szDir)
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(szDir, ec))
        if (e.path().filename().string().find(".tmp-") != std::string::npos)
            return true;
    return false;
}

const std::string kUmlautName = "Pr\xC3\xBC" "fung-\xC3\x9F";
} // namespace

TEST(CliFoundation, Utf8FileNamesStayAsGiven)
{
    CTempDir dir;
    const std::string szName = dir.File(kUmlautName + ".con");
    std::filesystem::copy_file(SampleFile("light-profile-mono.con"), szName);

    CRunResult r = Cli({"info", szName});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut.substr(0, szName.size() + 1), szName + "\n");

    r = Cli({"info", "--json", szName});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"file\": \"" + szName + "\""), std::string::npos) << r.m_szOut;

    const std::string szPng = dir.File(kUmlautName + ".png");
    r = Cli({"render", szName, "-o", szPng});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut, szPng + "\n");
    EXPECT_TRUE(std::filesystem::exists(szPng));

    // A message naming the file names it byte for byte.
    const std::string szBad = dir.File(kUmlautName + "-kaputt.con");
    WriteFileBytes(szBad, "[Noise Test]\nDataPointer=      9999\n");
    r = Cli({"info", szBad});
    EXPECT_EQ(r.m_iExit, 65);
    EXPECT_NE(r.m_szErr.find("lumora-cli info: " + szBad + ": malformed"), std::string::npos) << r.m_szErr;
}

TEST(CliFoundation, ReadersRefuseWhatIsNotARegularFile)
{
    CTempDir dir;
    const std::string szPipe = dir.File("pipe.con");
    ASSERT_EQ(::mkfifo(szPipe.c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> commands = {
        {"info", szPipe},
        {"info", "--json", szPipe},
        {"render", szPipe, "-o", dir.File("out.png")},
        {"unpack", szPipe},
        {"convert", szPipe, dir.File("out.tif")},
    };
    for (const auto& args : commands) {
        // Nobody ever writes to the pipe: a reader that opened it would wait forever.
        const CChild child = StartChild(BinPath("lumora-cli"), args, dir.File("err"));
        const int iStatus = WaitForChild(child, std::chrono::seconds(20));
        ASSERT_NE(iStatus, -1) << args[0] << " waited on the pipe";
        EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 66) << args[0] << " " << iStatus;
        EXPECT_NE(ReadFileBytes(dir.File("err")).find(szPipe + ": "), std::string::npos) << args[0];
        EXPECT_NE(ReadFileBytes(dir.File("err")).find("not a regular file"), std::string::npos)
            << args[0] << ": " << ReadFileBytes(dir.File("err"));
    }
}

TEST(CliFoundation, AnInterruptedUnpackEndsAtOnceAndLeavesNoPartialFile)
{
    struct { int signal; int exit; } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& c : cases) {
        CTempDir dir;
        // A sparse packed file with one entry of 4 GiB: long enough to be
        // caught half-way, and no disk is used for the input.
        const int64_t iEntry = int64_t(4) << 30;
        const std::string szLines = "[Rawdex]\nDataPointer=        52\nhuge.con=" + std::to_string(iEntry) + "\n";
        ASSERT_EQ(szLines.size(), 52u);
        WriteFileBytes(dir.File("pack.con"), szLines);
        ASSERT_EQ(::truncate(dir.File("pack.con").c_str(), static_cast<off_t>(52 + iEntry)), 0);
        std::filesystem::create_directories(dir.File("out"));

        const std::vector<std::string> args = {"unpack", dir.File("pack.con"), "--into", dir.File("out")};
        const CChild child = StartChild(BinPath("lumora-cli"), args, dir.File("err"));
        for (int i = 0; i < 4000 && !AnyTemporaryIn(dir.File("out")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(AnyTemporaryIn(dir.File("out"))) << "the entry was never being written";
        ::kill(child.m_Pid, c.signal);
        const int iStatus = WaitForChild(child, std::chrono::seconds(20));
        ASSERT_NE(iStatus, -1) << "the signal did not end the unpacking";
        EXPECT_TRUE(WIFEXITED(iStatus)) << iStatus;
        EXPECT_EQ(WEXITSTATUS(iStatus), c.exit);
        EXPECT_FALSE(AnyTemporaryIn(dir.File("out")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("out/huge.con")));
    }
}

TEST(CliFoundation, VersionAndHelpAreAnsweredAnywhereWithoutADisplay)
{
    // With no display to reach, building the application object would abort.
    const std::vector<std::string> noDisplay = {"QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY="};
    struct { std::string program; std::vector<std::string> args; const char* out; } cases[] = {
        {"lumora", {"--version"}, "lumora: "},
        {"lumora", {"/no/such/file.con", "--version"}, "lumora: "},
        {"lumora", {"--help"}, "usage: lumora [FILE]"},
        {"lumora", {"--screenshot", "x.png", "-h"}, "usage: lumora [FILE]"},
        {"lumora-cli", {"--version"}, "lumora-cli: "},
        {"lumora-cli", {"info", "--version"}, "lumora-cli: "},
        {"lumora-cli", {"scanner", "paper", "load", "--version"}, "lumora-cli: "},
        {"lumora-cli", {"--help"}, "info"},
        {"lumora-cli", {"render", "--help"}, "--size"},
    };
    std::string szVersionGui, szVersionCli;
    for (const auto& c : cases) {
        const CRunResult r = RunProgram(BinPath(c.program), c.args, noDisplay);
        EXPECT_EQ(r.m_iExit, 0) << c.program << " " << c.args.back() << "\n" << r.m_szErr;
        EXPECT_NE(r.m_szOut.find(c.out), std::string::npos) << c.program << " " << c.args.back() << "\n" << r.m_szOut;
        if (c.args.back() == "--version")
            (c.program == "lumora" ? szVersionGui : szVersionCli) = r.m_szOut.substr(r.m_szOut.find(':'));
    }
    EXPECT_EQ(szVersionGui, szVersionCli) << "both programs show one version";
}

TEST(CliFoundation, ShortLastRawdexEntryIsNamedNotSilentlyDropped)
{
    CTempDir dir;
    // "b=1\n" ends within the header's last 9 bytes: the walk never reads it.
    const std::string szLines = "[Rawdex]\nDataPointer=        48\nfirst.con=2\nb=1\n";
    ASSERT_EQ(szLines.size(), 48u);
    WriteFileBytes(dir.File("pack.con"), szLines + "FFB");

    CRunResult r = Cli({"unpack", dir.File("pack.con"), "--into", dir.File("out")});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_EQ(r.m_szOut, dir.File("out/first.con") + "\n");
    EXPECT_NE(r.m_szErr.find("entry \"b\" (1 bytes) is not unpacked"), std::string::npos) << r.m_szErr;

    r = Cli({"info", "--json", dir.File("pack.con")});
    EXPECT_EQ(r.m_iExit, 0) << r.m_szErr;
    EXPECT_NE(r.m_szOut.find("\"dropped\": \"entry \\\"b\\\" (1 bytes) is not unpacked"), std::string::npos) << r.m_szOut;
}

TEST(CliFoundation, AProblemNamingAnEntryKeepsItsBytes)
{
    // A control byte and a Windows-1252 "é" in an entry name: the message
    // carries the bytes as they are, the JSON escapes them once.
    CTempDir dir;
    const std::string szName = "a\x01" "b\xe9.con";
    // The walk stops 9 bytes before the data: a blank line keeps the entry inside.
    const auto header = [&](size_t iPointer) {
        char szPointer[16];
        std::snprintf(szPointer, sizeof szPointer, "%10zu", iPointer);
        return "[Rawdex]\nDataPointer=" + std::string(szPointer) + "\n" + szName + "=1\n" + std::string(10, ' ') + "\n";
    };
    const std::string szLines = header(header(0).size());
    WriteFileBytes(dir.File("pack.con"), szLines + "X");

    CRunResult r = Cli({"info", dir.File("pack.con")});
    EXPECT_EQ(r.m_iExit, 65);
    EXPECT_NE(r.m_szErr.find("entry \"" + szName + "\" has a control character in its name"), std::string::npos)
        << r.m_szErr;
    r = Cli({"info", "--json", dir.File("pack.con")});
    EXPECT_NE(r.m_szOut.find("\"problem\": \"entry \\\"a\\u0001b\xc3\xa9.con\\\" has a control character in its name\""),
              std::string::npos)
        << r.m_szOut;
}
