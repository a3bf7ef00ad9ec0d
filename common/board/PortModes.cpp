#include "board/PortModes.h"

#include <algorithm>

#include "EntryText.h"

namespace qb480 {

std::uint32_t PackSpecialModes(const SpecialModes& modes)
{
    return (modes.multidrop ? 1u : 0u) | (modes.halfDuplex ? 2u : 0u) | std::uint32_t{modes.txLoad} << 8 |
           std::uint32_t{modes.rxThreshold} << 16 | std::uint32_t{modes.rxTimeout} << 24;
}

SpecialModes UnpackSpecialModes(std::uint32_t word)
{
    SpecialModes modes;
    modes.multidrop = (word & 1u) != 0;
    modes.halfDuplex = (word & 2u) != 0;
    modes.txLoad = static_cast<std::uint8_t>(word >> 8);
    modes.rxThreshold = static_cast<std::uint8_t>(word >> 16);
    modes.rxTimeout = static_cast<std::uint8_t>(word >> 24);
    return modes;
}

std::string PortName(const std::string& prefix, std::uint32_t number) { return prefix + fw::DecimalText(number); }

std::uint32_t ListablePorts(std::uint32_t count, std::uint32_t first)
{
    const std::uint64_t numbersLeft = std::uint64_t{UINT32_MAX} - first + 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>({count, kMaxPorts, numbersLeft}));
}

}  // namespace qb480
