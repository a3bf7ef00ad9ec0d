#include <gtest/gtest.h>

#include "board/PrefixText.h"
#include "windows/SourcesList.h"
#include "board/PortModes.h"

using namespace std::string_literals;
using qb480::AppendSourceName;

TEST(TrimWhiteSpace, RemovesTheRunTimesWhiteSpaceAtBothEnds)
{
    EXPECT_EQ(qb480::TrimWhiteSpace("lpt "), "lpt");
    EXPECT_EQ(qb480::TrimWhiteSpace(" ab "), "ab");
    EXPECT_EQ(qb480::TrimWhiteSpace("\t\r\n\v\fCOM \t"), "COM");
    EXPECT_EQ(qb480::TrimWhiteSpace("A B"), "A B");
    EXPECT_EQ(qb480::TrimWhiteSpace("            "), "");
    EXPECT_EQ(qb480::TrimWhiteSpace(""), "");
}

TEST(AppendSourceName, AddsTheNameBeforeTheClosingZero)
{
    // Two names of 8 and 3 characters: 14 bytes become 23.
    const std::string list = "abcdefgh\0abc\0\0"s;
    ASSERT_EQ(list.size(), 14u);
    const auto appended = AppendSourceName(list, "vdxqb480");
    ASSERT_TRUE(appended);
    EXPECT_EQ(*appended, "abcdefgh\0abc\0vdxqb480\0\0"s);
    EXPECT_EQ(appended->size(), 23u);
}

TEST(AppendSourceName, LeavesAListThatHasTheNameAlone)
{
    EXPECT_FALSE(AppendSourceName("vdxqb480\0\0"s, "vdxqb480"));
    EXPECT_FALSE(AppendSourceName("a\0vdxqb480\0b\0\0"s, "vdxqb480"));
    // Only the exact spelling counts.
    EXPECT_EQ(AppendSourceName("VDXQB480\0\0"s, "vdxqb480"), "VDXQB480\0vdxqb480\0\0"s);
    // Names that merely contain it do not.
    EXPECT_EQ(AppendSourceName("vdxqb4800\0\0"s, "vdxqb480"), "vdxqb4800\0vdxqb480\0\0"s);
}

TEST(AppendSourceName, NeverJoinsTheNameWithAnUnterminatedList)
{
    EXPECT_EQ(AppendSourceName("abc\0"s, "vdxqb480"), "abc\0vdxqb480\0\0"s);
    EXPECT_EQ(AppendSourceName("abc"s, "vdxqb480"), "abc\0vdxqb480\0\0"s);
    EXPECT_EQ(AppendSourceName("\0"s, "vdxqb480"), "vdxqb480\0\0"s);
    EXPECT_EQ(AppendSourceName(""s, "vdxqb480"), "vdxqb480\0\0"s);
    // Its last name still counts as listed, whole names only.
    EXPECT_FALSE(AppendSourceName("a\0vdxqb480"s, "vdxqb480"));
    EXPECT_FALSE(AppendSourceName("vdxqb480"s, "vdxqb480"));
    EXPECT_EQ(AppendSourceName("a\0vdxqb48"s, "vdxqb480"), "a\0vdxqb48\0vdxqb480\0\0"s);
}

TEST(SpecialModes, WordLayout)
{
    qb480::SpecialModes modes;
    EXPECT_EQ(qb480::PackSpecialModes(modes), qb480::kDefaultSpecialModes);
    modes.multidrop = modes.halfDuplex = true;
    modes.txLoad = 4;
    modes.rxThreshold = 8;
    modes.rxTimeout = 10;
    EXPECT_EQ(qb480::PackSpecialModes(modes), 0x0A080403u);

    const qb480::SpecialModes read = qb480::UnpackSpecialModes(0xFF0C01FEu);  // stray bits 2..7 ignored
    EXPECT_FALSE(read.multidrop);
    EXPECT_TRUE(read.halfDuplex);
    EXPECT_EQ(read.txLoad, 1);
    EXPECT_EQ(read.rxThreshold, 12);
    EXPECT_EQ(read.rxTimeout, 255);
    EXPECT_EQ(qb480::PackSpecialModes(read), 0xFF0C0102u);
}

TEST(PortNames, PrefixAndDecimalNumber)
{
    EXPECT_EQ(qb480::PortName("COM", 3), "COM3");
    EXPECT_EQ(qb480::PortName("COM", 10), "COM10");
    EXPECT_EQ(qb480::PortName("", 4294967295u), "4294967295");
}

TEST(PortNames, ListsNoMorePortsThanABoardHasOrNumbersAllow)
{
    EXPECT_EQ(qb480::ListablePorts(8, 3), 8u);
    EXPECT_EQ(qb480::ListablePorts(0, 3), 0u);
    EXPECT_EQ(qb480::ListablePorts(4294967295u, 1), qb480::kMaxPorts);
    EXPECT_EQ(qb480::ListablePorts(8, 4294967290u), 6u);  // 4294967290..4294967295
    EXPECT_EQ(qb480::ListablePorts(8, 4294967295u), 1u);
    EXPECT_EQ(qb480::ListablePorts(1, 0), 1u);
}
