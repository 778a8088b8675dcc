#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "support/TestSupport.h"
#include "datafiles/ErrorReport.h"
#include "datafiles/ProgramErrors.h"
#include "datafiles/Settings.h"
#include "platform/ErrorTexts.h"
#include "platform/Messages.h"

TEST(ProgramErrors, CodesCarryTheClass)
{
    struct { uint32_t number; uint32_t code; } cases[] = {
        {120, 0x80370078u}, {978, 0x823703D2u}, {990, 0x843703DEu}, {105, 0x06370069u},
        {983, 0x823703D7u}, {1025, 0x80370401u}, {1185, 0x803704A1u}, {1199, 0x843704AFu}, {301, 0x0637012Du},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<uint32_t>(MakeProgramError(c.number)), c.code) << c.number;
    EXPECT_GT(MakeProgramError(105), 0);
    EXPECT_LT(MakeProgramError(120), 0);
    EXPECT_EQ(static_cast<uint32_t>(MakeErrorCode(ERROR_CLASS_DEVELOPMENT, ERROR_FACILITY_IMAGE_FILE, 7)), 0x84470007u);
}

TEST(ProgramErrors, TheListHasItsShape)
{
    ASSERT_EQ(ErrorListSize(), 514u);
    std::map<uint32_t, int> seen;
    for (size_t i = 0; i < ErrorListSize(); ++i)
        seen[ErrorListEntry(i).m_iNumber]++;
    EXPECT_EQ(seen[1100], 2);
    EXPECT_EQ(seen[1101], 2);
    // The first of a duplicated number is the one a lookup finds.
    for (uint32_t n : {1100u, 1101u}) {
        const CErrorListEntry* pFirst = FindErrorListEntry(n);
        ASSERT_NE(pFirst, nullptr);
        for (size_t i = 0; i < ErrorListSize(); ++i)
            if (ErrorListEntry(i).m_iNumber == n) {
                EXPECT_EQ(&ErrorListEntry(i), pFirst);
                break;
            }
        EXPECT_EQ(MakeProgramError(n), MakeErrorCode(pFirst->m_iClass, ERROR_FACILITY_PROGRAM, n));
    }
    EXPECT_EQ(FindErrorListEntry(102), nullptr);
    EXPECT_EQ(FindErrorListEntry(1100)->m_iNumber, 1100);
    EXPECT_EQ(FindErrorListEntry(993)->Message(), "No data in last scan.");
}

TEST(ErrorReport, ScannerBlockFormat)
{
    EXPECT_EQ(FormatScannerBlock("1.2.2026", "10:00:00", 42, "Text"),
              "Date:         1.2.2026\nTime:         10:00:00\nError:        0x  2a\nText:         'Text'\n\n");
    EXPECT_EQ(FormatScannerBlock("d", "t", 0x12345, "x").find("0x12345"), 46u);
    EXPECT_EQ(FormatScannerBlock("d", "t", 1, std::string(400, 'x')).size(), 259u);
}

namespace {
class CReportFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramDirectoryOverride(m_Dir.Path());
        m_Roots.emplace("LUMORA_SETTINGS_ROOTS", m_Dir.File("roots").c_str());
        ResetSettingsCache();
    }
    void TearDown() override
    {
        SetProgramDirectoryOverride("");
        SetLastAscProvider(nullptr);
        m_Roots.reset();
        ResetSettingsCache();
    }
    CTempDir m_Dir;
    std::optional<CScopedEnv> m_Roots;
};
} // namespace

TEST_F(CReportFixture, ZeroReportsNothing)
{
    CMessageRecorder rec;
    ReportError(0, 5);
    EXPECT_TRUE(rec.Texts().empty());
    EXPECT_FALSE(FileExists(m_Dir.File("LastError.txt")));
}

TEST_F(CReportFixture, WithoutTestStationOnlyLastErrorIsWritten)
{
    CMessageRecorder rec;
    ReportError(MakeProgramError(993) & 0xFFFF, 0);
    EXPECT_EQ(rec.Texts(), std::vector<std::string>{"No data in last scan."});
    const std::string szLast = ReadFileBytes(m_Dir.File("LastError.txt"));
    EXPECT_EQ(szLast.substr(szLast.size() - 25), " - No data in last scan.\n");
    EXPECT_FALSE(FileExists(m_Dir.File("Scanner.txt")));
}

TEST_F(CReportFixture, CheckConditionAsksTheScannerForItsSenseCode)
{
    int32_t iAskedFor = -1;
    SetLastAscProvider([&](int32_t h) { iAskedFor = h; return 1023; });
    WriteFileBytes(m_Dir.File("Fct_tst6.ini"), "[x]\n");
    CMessageRecorder rec;
    ReportError(REPORT_CHECK_CONDITION, 77);
    EXPECT_EQ(iAskedFor, 77);
    EXPECT_EQ(rec.Texts(), std::vector<std::string>{"Scanner is in selftest mode."});
    const std::string szBlock = ReadFileBytes(m_Dir.File("Scanner.txt"));
    EXPECT_NE(szBlock.find("Error:        0x 3ff\nText:         'Scanner is in selftest mode.'\n\n\n"),
              std::string::npos)
        << szBlock;
}

TEST_F(CReportFixture, ScannerBlockGoesToTheFixedPathWhenSet)
{
    WriteFileBytes(m_Dir.File("Fct_tst6.ini"), "");
    std::filesystem::create_directories(m_Dir.File("results"));
    WriteFileBytes(m_Dir.File("Probex6_FixPath.txt"), "Use Fixed Path=OFF\nFixed Path=" + m_Dir.File("results") + "\n");
    CMessageRecorder rec;
    ReportError(120, 0);
    EXPECT_NE(ReadFileBytes(m_Dir.File("results/Scanner.txt")).find("'User cancelled.'"), std::string::npos);
    EXPECT_FALSE(FileExists(m_Dir.File("Scanner.txt")));
}

TEST(ErrorTexts, UnknownNumbersStillSaySomething)
{
    EXPECT_EQ(ErrorText(120), "User cancelled.");
    EXPECT_EQ(ErrorText(0x1234), "Error 4660 (0x1234).");
    std::string sz = "x";
    EXPECT_FALSE(FindErrorText(1, sz));
    EXPECT_EQ(sz, "");
}
