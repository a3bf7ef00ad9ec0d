#include "board/BoardRules.h"

#include <cstring>

namespace qb480 {

unsigned HexDigitValue(char c)
{
    if (c >= '1' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return 0;
}

std::uint32_t ParseHexText(const char* text)
{
    const std::size_t length = text ? std::strlen(text) : 0;
    std::uint32_t value = 0;
    // Horner's rule over the last eight characters gives the same sum as the
    // positional one: earlier characters would be shifted out of 32 bits.
    const std::size_t first = length > 8 ? length - 8 : 0;
    for (std::size_t i = first; i < length; ++i)
        value = (value << 4) | HexDigitValue(text[i]);
    return value;
}

BoardCheck CheckMemoryAddress(std::uint32_t memory)
{
    if (memory == 0)
        return BoardCheck::ZeroNotAllowed;
    if (memory % 0x10000 != 0)
        return BoardCheck::MemoryNotAligned;
    if (memory < 0xC0000 || memory > 0xFFFFF)
        return BoardCheck::MemoryOutOfRange;
    return BoardCheck::Ok;
}

BoardCheck CheckPortAddress(std::uint32_t port)
{
    if (port == 0)
        return BoardCheck::ZeroNotAllowed;
    if (port % 4 != 0)
        return BoardCheck::PortNotAligned;
    if (port < 0x100 || port > 0x3FC)
        return BoardCheck::PortOutOfRange;
    return BoardCheck::Ok;
}

BoardCheck CheckIrq(std::uint32_t irq)
{
    return irq < 2 || irq > 15 ? BoardCheck::IrqOutOfRange : BoardCheck::Ok;
}

BoardCheck ValidateBoardResources(std::uint32_t memory, std::uint32_t port,
                                  std::optional<std::uint32_t> irq)
{
    if (const BoardCheck check = CheckMemoryAddress(memory); check != BoardCheck::Ok)
        return check;
    if (const BoardCheck check = CheckPortAddress(port); check != BoardCheck::Ok)
        return check;
    return irq ? CheckIrq(*irq) : BoardCheck::Ok;
}

const char* BoardCheckMessage(BoardCheck check)
{
    switch (check) {
    case BoardCheck::Ok:               return "";
    case BoardCheck::ZeroNotAllowed:   return "Zero is not allowed";
    case BoardCheck::MemoryNotAligned: return "The memory address must be evenly divisible by 64K";
    case BoardCheck::MemoryOutOfRange: return "Memory segment outside allowed range";
    case BoardCheck::PortNotAligned:   return "The port address must be evenly divisible by 4";
    case BoardCheck::PortOutOfRange:   return "The port address must be >= 100 and <= 3fc";
    case BoardCheck::IrqOutOfRange:    return "IRQ not in acceptable range";
    }
    return "";
}

}  // namespace qb480
