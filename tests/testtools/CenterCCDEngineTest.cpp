// Rules and files of the two live tests, without a scanner.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/TestSupport.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/ResultText.h"

TEST(CenterCCDRules, PassRuleEdges)
{
    struct Case {
        double f, r;
        bool bPass;
    } cases[] = {{10.0, 10.0, true},  {-10.0, -10.0, true}, {10.01, 9.0, false}, {-10.01, -9.0, false},
                 {2.5, -2.5, true},   {3.0, -2.0, true},    {3.0, -2.01, false}, {0.0, 5.0, true},
                 {0.0, 5.001, false}, {-5.0, 0.0, true}};
    for (const Case& c : cases)
        EXPECT_EQ(PositioningPassed(c.f, c.r), c.bPass) << c.f << " " << c.r;
}

TEST(CenterCCDRules, PathDifferenceSignAndRounding)
{
    // A drift of -10 pixels over the travel is 8 pixels to turn clockwise.
    struct Case {
        double dSlope;
        int32_t iRows;
        const char* szMove;
        const char* szDir;
    } cases[] = {{-10.0 / 400, 400, "-8", "CW"}, {10.0 / 400, 400, "8", "CCW"}, {0.0, 400, "0", "CCW"},
                 {-0.5 / 1000, 1000, "-0", "CW"}, {1.9 / 1000, 1000, "2", "CCW"}};
    for (const Case& c : cases) {
        std::vector<double> y(size_t(c.iRows));
        std::vector<uint8_t> v(size_t(c.iRows), 1);
        for (int32_t i = 0; i < c.iRows; ++i)
            y[size_t(i)] = 3.0 + c.dSlope * i;
        const CLineFit fit = FitRows(y, v);
        const double dMove = PixelsToMove(PathDifference(fit, c.iRows));
        EXPECT_EQ(Printf("%.0f", dMove), c.szMove);
        EXPECT_STREQ(TurnDirection(dMove), c.szDir);
    }
}

TEST(CenterCCDRules, StripeStartsAgainAtTheTopWhenFull)
{
    CCenterCCDEngine e;
    CPicture frame;
    ASSERT_TRUE(CreateRgbRows(frame, 1000, 30, 600));
    frame.m_BiC[0] = 500 * 3;
    frame.m_BiC[1] = 500 * 3;
    e.MeasureFrame(frame); // no mark: nothing measured, but the rows went in
    EXPECT_EQ(e.m_iStripeRow, 30 % kStripeRows);
}

TEST(CenterCCDLines, SecondWireCutOffByTheSearchEndIsCompleted)
{
    // Two 6-pixel wires on white, front and mirrored rear; the second wire
    // either lies wholly inside the search or runs past its end (pixel 390).
    struct {
        bool m_bRear;
        int32_t m_iFirst, m_iSecond;
    } const kCases[] = {{false, 200, 300}, {false, 280, 387}, {true, 280, 387}, {false, 285, 389}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.m_bRear << " " << c.m_iFirst << " " << c.m_iSecond);
        CPicture row;
        ASSERT_TRUE(CreateRgbRows(row, kStripeWidth, 1, 600));
        for (int32_t x = 0; x < kStripeWidth; ++x) {
            const bool bDark = (x >= c.m_iFirst && x < c.m_iFirst + 6) || (x >= c.m_iSecond && x < c.m_iSecond + 6);
            const int32_t xs = c.m_bRear ? kStripeWidth - 1 - x : x;
            for (int32_t ch = 0; ch < 3; ++ch)
                row.m_pData[xs * 3 + ch] = bDark ? 20 : 214;
        }
        CStripeSearch search;
        search.m_iStart = 10;
        CRowLines lines;
        ASSERT_TRUE(FindStripeLines(row, 0, 1, c.m_bRear, search, lines));
        EXPECT_NEAR(lines.m_dValue, (c.m_iSecond - c.m_iFirst) - kMarkGap, 0.1);
    }
}

namespace {

CCenterCCDEngine& Carriage(CCenterCCDEngine& e, int32_t iRows)
{
    e.BeginTravel();
    e.EnsureRows(iRows);
    for (int32_t i = 0; i < iRows; ++i)
        for (int32_t c = 0; c < 3; ++c)
            for (int32_t k = 0; k < 2; ++k) {
                e.m_Position[size_t(c)][size_t(k)][size_t(i)] = (k ? -0.01 : 0.02) * i + c;
                e.m_Valid[size_t(c)][size_t(k)][size_t(i)] = i % 7 != 3;
                e.m_Edges[size_t(c)][size_t(k)][0][size_t(i)] = 50.25 + k;
                e.m_Edges[size_t(c)][size_t(k)][1][size_t(i)] = 52.5 + k;
            }
    e.m_iRows = iRows;
    e.FinishTravel();
    return e;
}

} // namespace

TEST(CenterCCDFiles, CarriageRoundTrip)
{
    CTempDir dir;
    CCenterCCDEngine a, b;
    Carriage(a, 500);
    ASSERT_TRUE(a.WriteCarriage(dir.File("c.t33"), {"Scanner: X"}));
    ASSERT_TRUE(b.ReadCarriage(dir.File("c.t33"))) << (b.m_Messages.empty() ? "" : b.m_Messages[0]);
    EXPECT_TRUE(b.m_Messages.empty());
    EXPECT_EQ(b.Rows(), 500);
    EXPECT_EQ(b.m_iVersion, 2);
    EXPECT_EQ(b.m_ResultLines, (std::vector<std::string>{"Scanner: X"}));
    EXPECT_NEAR(b.m_dPathDiffFront, a.m_dPathDiffFront, 0.01);
    EXPECT_NEAR(b.m_dPathDiffRear, a.m_dPathDiffRear, 0.01);
    EXPECT_NEAR(a.m_dPathDiffFront, 10.0, 1e-6);
    EXPECT_FALSE(b.m_Valid[2][0][3]); // a row without measurement stays one
    EXPECT_DOUBLE_EQ(b.m_Edges[1][1][0][11], 51.25);
}

TEST(CenterCCDFiles, PositioningRoundTrip)
{
    CTempDir dir;
    CCenterCCDEngine a, b;
    a.m_dFront = {1.25, 1.5, 1.75};
    a.m_dRear = {-2.0, -2.25, -2.5};
    for (int32_t i = 0; i < kStripeWidth; ++i)
        a.m_FrontProfile[size_t(i)] = {uint8_t(i % 256), uint8_t(200), uint8_t(3)};
    ASSERT_TRUE(a.WritePositioning(dir.File("p.ACC"), {"Result: passed"}));
    const std::string sz = ReadFileBytes(dir.File("p.ACC"));
    EXPECT_EQ(sz.find('\r'), std::string::npos);
    EXPECT_NE(sz.find("Blue: \t1.75\t-2.50\n"), std::string::npos);
    ASSERT_TRUE(b.ReadPositioning(dir.File("p.ACC")));
    EXPECT_EQ(b.m_dFront, a.m_dFront);
    EXPECT_EQ(b.m_dRear, a.m_dRear);
    EXPECT_EQ(b.m_FrontProfile, a.m_FrontProfile);
    EXPECT_EQ(b.m_ResultLines, (std::vector<std::string>{"Result: passed"}));
}

TEST(CenterCCDFiles, VersionOneAndEnlargement)
{
    CCenterCCDEngine e;
    std::string sz = "[Mirror Carriage Adjustment]\nBEGIN_DATA\nVersion 1\nm_Pic.m_iHeight 3\n";
    sz += "0 1 2 3 4 5 6\n2 1.5 2 3 4 5 6.5\nEND_DATA\n";
    ASSERT_TRUE(e.ReadCarriageText(sz, "v1.t33"));
    EXPECT_EQ(e.m_iVersion, 1);
    EXPECT_EQ(e.Rows(), 3);
    EXPECT_DOUBLE_EQ(e.m_Position[2][1][2], 6.5);
    EXPECT_TRUE(e.m_Valid[0][0][2]);
    EXPECT_FALSE(e.m_Valid[0][0][1]);
    EXPECT_DOUBLE_EQ(e.m_Edges[0][0][0][0], -1.0); // version 1 has no edges
    std::string szBig = "[Mirror Carriage Adjustment]\nBEGIN_DATA\nVersion 1\nm_Pic.m_iHeight 400\n399 1 1 1 1 1 1\n";
    szBig.resize(szBig.size() + 1000, '\n');
    ASSERT_TRUE(e.ReadCarriageText(szBig, "big.t33"));
    EXPECT_GE(e.m_Position[0][0].size(), 400u);
    EXPECT_TRUE(e.m_Valid[0][0][399]);
}

TEST(CenterCCDFiles, HostileFilesSayWhatIsWrong)
{
    struct Case {
        bool bCarriage;
        std::string szText;
        bool bLoads;
        const char* szMessage;
    } cases[] = {
        {true, "[Mirror Carriage Adjustment]\nVersion 2\n", false, "no \"BEGIN_DATA\""},
        {false, "[Scan-Line Positioning]\nRed: 1 2\n", false, "no \"BEGIN_DATA\""},
        {true, "[Mirror Carriage Adjustment]\nBEGIN_DATA\nm_Pic.m_iHeight 1000000000\n0 1 1 1 1 1 1\n", false,
         "declares more rows than the file holds"},
        {true, "[Mirror Carriage Adjustment]\nBEGIN_DATA\nVersion 1\nm_Pic.m_iHeight 2\n5 1 1 1 1 1 1\n", true,
         "past the declared height 2"},
        {true, "[Mirror Carriage Adjustment]\nBEGIN_DATA\nVersion 1\nm_Pic.m_iHeight 2\n1 a b c d e f\n", true,
         "not a number"},
        {true, "[Mirror Carriage Adjustment]\nBEGIN_DATA\n0 1 1 1 1 1 1\n", false, "before \"m_Pic.m_iHeight\""},
        {false, "[Scan-Line Positioning]\nBEGIN_DATA\n400 1 1 1 1 1 1\n0 x\nRed: 1 2\n", true, "2 data line(s)"},
        {false, "[Scan-Line Positioning]\nBEGIN_DATA\nEND_DATA\n", false, "no offsets and no profile"},
    };
    for (const Case& c : cases) {
        CCenterCCDEngine e;
        const bool bOk = c.bCarriage ? e.ReadCarriageText(c.szText, "f.con") : e.ReadPositioningText(c.szText, "f.con");
        EXPECT_EQ(bOk, c.bLoads) << c.szText;
        ASSERT_FALSE(e.m_Messages.empty()) << c.szText;
        EXPECT_NE(e.m_Messages[0].find(c.szMessage), std::string::npos) << e.m_Messages[0];
        EXPECT_EQ(e.m_Messages[0].rfind("f.con: ", 0), 0u);
    }
}
