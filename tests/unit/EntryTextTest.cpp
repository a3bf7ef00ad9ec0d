#include "EntryText.h"

#include <gtest/gtest.h>

using fw::ParseUnsignedEntry;
using fw::RangeMessage;

TEST(ParseUnsignedEntry, AcceptsDecimalNumbersWithBlanksAndPlus)
{
    struct Case { const char* text; std::uint32_t value; };
    const Case cases[] = {
        {"0", 0}, {"000", 0}, {"7", 7}, {" 12 ", 12}, {"\t12\t", 12}, {"+5", 5}, {"  +5", 5},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},     // larger numbers are clamped
        {"12345678901", 4294967295u},
        {"0007", 7},
        {"1234567890123456789012345678901", 4294967295u},  // 31 characters: all read
    };
    for (const Case& c : cases) {
        const auto value = ParseUnsignedEntry(c.text);
        ASSERT_TRUE(value) << "\"" << c.text << "\"";
        EXPECT_EQ(*value, c.value) << "\"" << c.text << "\"";
    }
}

TEST(ParseUnsignedEntry, RefusesEverythingElse)
{
    for (const char* text : {"", " ", "-1", "-0", "+0", "+", "five", "5a", "a5", "1 2", "0x10", "1.5", "1,000",
                             "+ 5", "++5"}) {
        EXPECT_FALSE(ParseUnsignedEntry(text)) << "\"" << text << "\"";
    }
}

TEST(ParseUnsignedEntry, ReadsOnlyTheFirst31Characters)
{
    // A trailing letter past the 31st character is never seen.
    EXPECT_EQ(ParseUnsignedEntry(std::string(30, ' ') + "7" + "x"), 7u);
    // Blanks push the digits out of reach: nothing left to read.
    EXPECT_FALSE(ParseUnsignedEntry(std::string(31, ' ') + "7"));
}

TEST(RangeMessage, PutsTheBoundsIn)
{
    EXPECT_EQ(RangeMessage(1, 255), "Please enter an integer between 1 and 255.");
    EXPECT_EQ(RangeMessage(0, 12), "Please enter an integer between 0 and 12.");
}

TEST(NumberText, DecimalAndUpperCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(fw::DecimalText(0), "0");
    EXPECT_EQ(fw::DecimalText(7), "7");
    EXPECT_EQ(fw::DecimalText(4294967295u), "4294967295");
    EXPECT_EQ(fw::HexText(0), "0");
    EXPECT_EQ(fw::HexText(0xD0000), "D0000");
    EXPECT_EQ(fw::HexText(0x2A0), "2A0");
    EXPECT_EQ(fw::HexText(0xFFFFFFFFu), "FFFFFFFF");
}
