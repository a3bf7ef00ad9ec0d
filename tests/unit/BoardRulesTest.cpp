#include "board/BoardRules.h"

#include <gtest/gtest.h>

using qb480::BoardCheck;
using qb480::BoardCheckMessage;
using qb480::HexDigitValue;
using qb480::ParseHexText;
using qb480::ValidateBoardResources;

TEST(HexDigitValue, CountsOnlyUpperCaseDigits)
{
    EXPECT_EQ(HexDigitValue('0'), 0u);
    EXPECT_EQ(HexDigitValue('1'), 1u);
    EXPECT_EQ(HexDigitValue('9'), 9u);
    EXPECT_EQ(HexDigitValue('A'), 10u);
    EXPECT_EQ(HexDigitValue('F'), 15u);
    // Callers upper-case first, so everything else is worth nothing.
    for (char c : {'a', 'f', 'G', 'x', ' ', '-', '+', '/', ':', '@', '\0'})
        EXPECT_EQ(HexDigitValue(c), 0u) << "character " << int(c);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0x80)), 0u);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xC1)), 0u);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xFF)), 0u);
}

TEST(ParseHexText, EveryCharacterTakesItsPlace)
{
    struct Case { const char* text; std::uint32_t value; };
    const Case cases[] = {
        {"D0000", 0xD0000},
        {"0D0000", 0xD0000},
        {" D0000", 0xD0000},     // a leading blank is a leading zero
        {"D0000 ", 0xD00000},    // a trailing blank shifts the digits up
        {"0x300", 0x300},        // the x is a zero in its place
        {"3 00", 0x3000},
        {"1000D0000", 0xD0000},  // the ninth character from the right adds nothing
        {"FFFFFFFF", 0xFFFFFFFF},
        {"123456789", 0x23456789},
        {"", 0},
        {"0", 0},
        {"000", 0},
        {"G", 0},
        {"d0000", 0},            // lower case was to be upper-cased by the caller
        {"3FC", 0x3FC},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHexText(c.text), c.value) << "text \"" << c.text << "\"";
    EXPECT_EQ(ParseHexText(nullptr), 0u);
}

struct RuleCase {
    std::uint32_t memory;
    std::uint32_t port;
    std::optional<std::uint32_t> irq;
    BoardCheck expected;
};

TEST(ValidateBoardResources, AcceptsExactlyTheAllowedMemoryWindows)
{
    for (std::uint32_t memory : {0xC0000u, 0xD0000u, 0xE0000u, 0xF0000u})
        EXPECT_EQ(ValidateBoardResources(memory, 0x300, 5), BoardCheck::Ok) << std::hex << memory;
    const RuleCase cases[] = {
        {0, 0x300, 5, BoardCheck::ZeroNotAllowed},
        {0xD8000, 0x300, 5, BoardCheck::MemoryNotAligned},
        {0xD0001, 0x300, 5, BoardCheck::MemoryNotAligned},
        {0x100000, 0x300, 5, BoardCheck::MemoryOutOfRange},
        {0xB0000, 0x300, 5, BoardCheck::MemoryOutOfRange},
        {0x10000, 0x300, 5, BoardCheck::MemoryOutOfRange},
        {0xFFFF0000, 0x300, 5, BoardCheck::MemoryOutOfRange},
    };
    for (const RuleCase& c : cases)
        EXPECT_EQ(ValidateBoardResources(c.memory, c.port, c.irq), c.expected) << std::hex << c.memory;
}

TEST(ValidateBoardResources, JudgesPortsOnlyAfterTheMemoryPassed)
{
    const RuleCase cases[] = {
        {0xD0000, 0x100, 5, BoardCheck::Ok},
        {0xD0000, 0x3FC, 5, BoardCheck::Ok},
        {0xD0000, 0, 5, BoardCheck::ZeroNotAllowed},
        {0xD0000, 0x3FE, 5, BoardCheck::PortNotAligned},
        {0xD0000, 0x301, 5, BoardCheck::PortNotAligned},
        {0xD0000, 0xFC, 5, BoardCheck::PortOutOfRange},
        {0xD0000, 0x400, 5, BoardCheck::PortOutOfRange},
        {0xD0000, 0x3000, 5, BoardCheck::PortOutOfRange},
        // Bad memory and bad port together: only the memory is named.
        {0xD8000, 0x3FE, 5, BoardCheck::MemoryNotAligned},
        {0, 0, 0, BoardCheck::ZeroNotAllowed},
        {0xB0000, 0, 99, BoardCheck::MemoryOutOfRange},
        // A bad port hides a bad IRQ.
        {0xD0000, 0xFC, 0, BoardCheck::PortOutOfRange},
    };
    for (const RuleCase& c : cases)
        EXPECT_EQ(ValidateBoardResources(c.memory, c.port, c.irq), c.expected)
            << std::hex << c.memory << " " << c.port;
}

TEST(ValidateBoardResources, IrqRangeIsTwoToFifteenWhenGiven)
{
    EXPECT_EQ(ValidateBoardResources(0xD0000, 0x300, 2), BoardCheck::Ok);
    EXPECT_EQ(ValidateBoardResources(0xD0000, 0x300, 15), BoardCheck::Ok);
    for (std::uint32_t irq : {0u, 1u, 16u, 0xFFFFFFFFu})
        EXPECT_EQ(ValidateBoardResources(0xD0000, 0x300, irq), BoardCheck::IrqOutOfRange) << irq;
    // The loader passes no IRQ: its rule is skipped.
    EXPECT_EQ(ValidateBoardResources(0xD0000, 0x300), BoardCheck::Ok);
    EXPECT_EQ(ValidateBoardResources(0xD0000, 0x300, std::nullopt), BoardCheck::Ok);
}

TEST(ValidateBoardResources, TypedEntriesFromTheDialogs)
{
    // What the dialogs do: upper-case, convert, validate.
    EXPECT_EQ(ValidateBoardResources(ParseHexText("D0000"), ParseHexText("300"), 5), BoardCheck::Ok);
    EXPECT_EQ(ValidateBoardResources(ParseHexText("D0000 "), ParseHexText("300")), BoardCheck::MemoryOutOfRange);
    EXPECT_EQ(ValidateBoardResources(ParseHexText("D0000"), ParseHexText("0X300")), BoardCheck::Ok);
    EXPECT_EQ(ValidateBoardResources(ParseHexText(""), ParseHexText("300")), BoardCheck::ZeroNotAllowed);
    EXPECT_EQ(ValidateBoardResources(ParseHexText("G"), ParseHexText("300")), BoardCheck::ZeroNotAllowed);
}

TEST(BoardCheckMessage, OneExactTextPerFailure)
{
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::ZeroNotAllowed), "Zero is not allowed");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::MemoryNotAligned), "The memory address must be evenly divisible by 64K");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::MemoryOutOfRange), "Memory segment outside allowed range");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::PortNotAligned), "The port address must be evenly divisible by 4");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::PortOutOfRange), "The port address must be >= 100 and <= 3fc");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::IrqOutOfRange), "IRQ not in acceptable range");
    EXPECT_STREQ(BoardCheckMessage(BoardCheck::Ok), "");
    // A value outside the list has no text rather than a wild one.
    EXPECT_STREQ(BoardCheckMessage(static_cast<BoardCheck>(99)), "");
}
