#include <gtest/gtest.h>

#include "app/CommandLine.h"

TEST(CommandLine, RulesPickTheFileName)
{
    struct { std::string line, field, opened; } cases[] = {
        // rule 1: a plain drive path, taken unchanged
        {"C:\\scans\\lp.con", "C:\\scans\\lp.con", "C:\\scans\\lp.con"},
        // rule 1 behind a quote: both quotes dropped, the inner blank kept
        {"\"C:\\my scans\\lp.con\"", "C:\\my scans\\lp.con", "C:\\my scans\\lp.con"},
        // rule 2: a quoted network path; the closing quote becomes a trailing blank
        {"\"\\\\server\\share\\lp.con\"", "\\\\server\\share\\lp.con ", "\\\\server\\share\\lp.con"},
        // rule 3: a switch before a quoted drive path
        {"/p \"D:\\data\\st.con\"", "D:\\data\\st.con ", "D:\\data\\st.con"},
        // rule 3 from position 0: no colon at all
        {"\"lp file.con\"", " lp file.con ", "lp file.con"},
        {"\"/home/tech/lp.con\" ", " /home/tech/lp.con  ", "/home/tech/lp.con"},
        {"/home/tech/scans/lp.con", "/home/tech/scans/lp.con", "/home/tech/scans/lp.con"},
        // colons in Linux file names are not drive colons
        {"/home/tech/scan 12:30.con", "/home/tech/scan 12:30.con", "/home/tech/scan 12:30.con"},
        {":odd", ":odd", ":odd"},
        // a drive-like folder inside a Linux path is no drive: nothing before it is dropped
        {"/mnt/C:/x.con", "/mnt/C:/x.con", "/mnt/C:/x.con"},
        {"\"/mnt/C:/my x.con\"", " /mnt/C:/my x.con ", "/mnt/C:/my x.con"},
        // ... while a real drive path after a switch still is
        {"-p C:/x.con", "C:/x.con", "C:/x.con"},
        {"", "", ""},
    };
    // A leading blank is only dropped when no file of that very name exists.
    for (const auto& c : cases) {
        const std::string szField = FileToLoadField(ChooseFileFromCommandLine(c.line));
        EXPECT_EQ(szField, c.field) << c.line;
        EXPECT_EQ(TrimForOpening(szField), c.opened) << c.line;
    }
}

TEST(CommandLine, NamesAreBoundedByTheirBuffers)
{
    const std::string szLong = "/" + std::string(400, 'x');
    EXPECT_EQ(ChooseFileFromCommandLine(szLong).size(), 259u); // rule 3 copies into 260 characters
    EXPECT_EQ(FileToLoadField(szLong).size(), 255u);           // the field holds 256 with its terminator
    EXPECT_EQ(FileToLoadField("\"" + std::string(300, 'y')).size(), 255u);

    // A name that would be cut is refused as a whole; one that fits is not.
    struct { std::string line; bool overlong; } cases[] = {
        {szLong, true},
        {"/" + std::string(254, 'z'), false}, // exactly what the field holds
        {"/" + std::string(255, 'z'), true},
        {"\"C:\\" + std::string(252, 'q') + "\"", false}, // rule 1: the quotes are dropped, not counted
        {"/p \"D:\\" + std::string(300, 'd') + "\"", true}, // rule 3 would cut it at 259
        {"/tmp/short.con", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!OverlongFileName(c.line).empty(), c.overlong) << c.line.size();
}

TEST(CommandLine, ArgumentsAreJoinedWithSingleBlanks)
{
    const char* argv[] = {"lumora", "/tmp/a b.con", "x"};
    EXPECT_EQ(JoinCommandLine(3, argv), "/tmp/a b.con x");
    EXPECT_EQ(JoinCommandLine(1, argv), "");
}
