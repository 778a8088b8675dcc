#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "datafiles/DataTable.h"

TEST(DataTable, NumbersReadBackExactly)
{
    const double cases[] = {0.1, 1.0 / 3, 255, -2.5, 1e-7, 6.02214076e23, std::numeric_limits<double>::denorm_min(),
                            std::nextafter(1.0, 2.0), -0.0};
    for (double d : cases) {
        const std::string sz = ShortestNumber(d);
        EXPECT_EQ(std::strtod(sz.c_str(), nullptr), d) << sz;
        EXPECT_LE(sz.size(), 24u) << sz;
    }
    EXPECT_EQ(ShortestNumber(0.1), "0.1");
    EXPECT_EQ(ShortestNumber(255), "255");
    EXPECT_EQ(ShortestNumber(-0.0), "0");
    EXPECT_EQ(ShortestNumber(std::nan("")), "");
}

TEST(DataTable, CsvRoundTripKeepsShapeLabelsAndGaps)
{
    CDataTable t;
    t.SetIndexKeys("pixel", 3);
    t.AddColumn("red") = {1.5, 2.25, 1.0 / 7};
    t.AddColumn("a,\"b\"") = {4}; // shorter column: empty cells
    const std::string csv = DataTableCsv(t);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "pixel,red,\"a,\"\"b\"\"\"");
    EXPECT_NE(csv.find("\n1,2.25,\n"), std::string::npos);

    CDataTable back;
    ASSERT_TRUE(ParseDataTableCsv(csv, back));
    EXPECT_EQ(back.m_Headers, t.m_Headers);
    EXPECT_EQ(back.m_Keys, t.m_Keys);
    EXPECT_EQ(back.m_Columns[0], t.m_Columns[0]);
    ASSERT_EQ(back.m_Columns[1].size(), 3u);
    EXPECT_EQ(back.m_Columns[1][0], 4);
    EXPECT_TRUE(std::isnan(back.m_Columns[1][2]));

    CDataTable labelled;
    labelled.m_Headers = {"color"};
    labelled.m_KeyLabels = {"red", "green"};
    labelled.AddColumn("front") = {0.125, -3};
    ASSERT_TRUE(ParseDataTableCsv(DataTableCsv(labelled), back));
    EXPECT_EQ(back.m_KeyLabels, labelled.m_KeyLabels);
    EXPECT_EQ(back.m_Columns[0], labelled.m_Columns[0]);

    for (const char* bad : {"a,b\n1\n", "a,b\n1,x\n"})
        EXPECT_FALSE(ParseDataTableCsv(bad, back)) << bad;
}
