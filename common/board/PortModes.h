#pragma once
// The per-port special-modes word and the board's port names.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qb480 {

// Bit 0 multidrop, bit 1 half duplex, byte 1 Tx Load, byte 2 Rx Threshold,
// byte 3 Rx Timeout; bits 2 to 7 are always 0.
struct SpecialModes {
    bool multidrop = false;
    bool halfDuplex = false;
    std::uint8_t txLoad = 12;
    std::uint8_t rxThreshold = 0;
    std::uint8_t rxTimeout = 1;
};

inline constexpr std::uint32_t kDefaultSpecialModes = 0x01000C00;

// The bounds the advanced options accept for the three numbers.
struct FieldRange {
    std::uint8_t low;
    std::uint8_t high;
};
inline constexpr FieldRange kRxTimeoutRange{1, 255};
inline constexpr FieldRange kRxThresholdRange{0, 12};
inline constexpr FieldRange kTxLoadRange{1, 12};

std::uint32_t PackSpecialModes(const SpecialModes& modes);
SpecialModes UnpackSpecialModes(std::uint32_t word);

// The name of a port: the prefix and the number in decimal ("COM10").
std::string PortName(const std::string& prefix, std::uint32_t number);

// A port's name is a registry value name, at most 16383 characters, and its
// number takes up to 10 digits: a longer prefix cannot name any port.
inline constexpr std::size_t kMaxPrefixLength = 16383 - 10;

// No board has more ports than this; a larger count in the registry is not
// a driver's, and listing billions of ports would hang the dialog.
inline constexpr std::uint32_t kMaxPorts = 256;

// How many of the reported ports the dialog lists: at most kMaxPorts, and
// none whose number would pass 4294967295.
std::uint32_t ListablePorts(std::uint32_t count, std::uint32_t first);

// What the advanced options know of the board's ports. In the applet it
// lives as long as the module: a value that cannot be read keeps what an
// earlier opening read.
struct PortState {
    std::uint32_t count = 0;
    std::uint32_t first = 0;
    std::string prefix;
    bool prefixNamesPorts = true;  // false after a prefix too long for any value name
};

}  // namespace qb480
