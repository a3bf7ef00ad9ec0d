#pragma once
// The rules by which both deliverables judge the board resources an
// administrator types: hexadecimal entry conversion, then the memory, port
// and IRQ rules in a fixed order, each failure with its one message.
#include <cstdint>
#include <optional>

namespace qb480 {

enum class BoardCheck {
    Ok,
    ZeroNotAllowed,
    MemoryNotAligned,
    MemoryOutOfRange,
    PortNotAligned,
    PortOutOfRange,
    IrqOutOfRange,
};

// Value of one character of an entry that the caller has upper-cased:
// '1'..'9' and 'A'..'F' count; every other character counts as 0.
unsigned HexDigitValue(char c);

// Never fails: each character takes its place, the last one being the lowest
// digit, and only the last eight characters can contribute (16^8 wraps to 0).
std::uint32_t ParseHexText(const char* text);

// Each resource's rules by themselves, in their order; Ok when all pass.
BoardCheck CheckMemoryAddress(std::uint32_t memory);
BoardCheck CheckPortAddress(std::uint32_t port);
BoardCheck CheckIrq(std::uint32_t irq);

// The first rule that fails, memory rules first, then port, then IRQ (only
// when one is given); Ok when all pass.
BoardCheck ValidateBoardResources(std::uint32_t memory, std::uint32_t port,
                                  std::optional<std::uint32_t> irq = std::nullopt);

// The text shown for a failure; an empty text for Ok.
const char* BoardCheckMessage(BoardCheck check);

}  // namespace qb480
