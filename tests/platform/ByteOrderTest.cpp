#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/ByteOrder.h"

// Values whose high bit is set in one byte or another catch sign extension
// and lost carries; the wide ones catch truncation to the field width.
TEST(ByteOrder, BigEndianRoundTrips)
{
    struct {
        int64_t m_iValue;
        uint8_t m_By[4];
        int32_t m_iBack32;
        uint16_t m_wBack16;
    } const cases[] = {
        {0, {0, 0, 0, 0}, 0, 0},
        {0x01020304, {1, 2, 3, 4}, 0x01020304, 0x0304},
        {-6, {0xFF, 0xFF, 0xFF, 0xFA}, -6, 0xFFFA},
        {0x80, {0, 0, 0, 0x80}, 0x80, 0x80},
        {0x8000, {0, 0, 0x80, 0}, 0x8000, 0x8000},
        {0x80000000LL, {0x80, 0, 0, 0}, INT32_MIN, 0},
        {0x1234567890LL, {0x34, 0x56, 0x78, 0x90}, 0x34567890, 0x7890}, // only the low bytes are sent
    };
    for (const auto& c : cases) {
        uint8_t by[4] = {};
        PutBe32(by, c.m_iValue);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(by[i], c.m_By[i]) << c.m_iValue << " byte " << i;
        EXPECT_EQ(Be32(by), c.m_iBack32) << c.m_iValue;
        uint8_t by16[2] = {};
        PutBe16(by16, c.m_iValue);
        EXPECT_EQ(Be16(by16), c.m_wBack16) << c.m_iValue;
    }
}

TEST(ByteOrder, LittleEndianReadsAndShortInput)
{
    const uint8_t by[4] = {0x04, 0x03, 0x02, 0x81};
    EXPECT_EQ(Le32(by), 0x81020304u);
    const std::string sz("\x04\x03\x02\x81", 4);
    struct {
        size_t m_iOffset;
        uint32_t m_uExpected;
    } const cases[] = {
        {0, 0x81020304u},
        {1, 0x00810203u}, // the missing byte reads as zero
        {3, 0x00000081u},
        {4, 0},
        {1000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Le32At(sz, c.m_iOffset), c.m_uExpected) << c.m_iOffset;
}
