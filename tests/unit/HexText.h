#pragma once
// Builds Intel HEX record lines for the converter tests.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string HexRecordLine(unsigned type, unsigned address, const std::vector<std::uint8_t>& data)
{
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address & 0xFFFF, type);
    std::string line = text;
    for (std::uint8_t byte : data) {
        std::snprintf(text, sizeof text, "%02X", byte);
        line += text;
        sum += byte;
    }
    std::snprintf(text, sizeof text, "%02X\n", (256 - sum % 256) % 256);
    return line + text;
}

inline std::string DataLine(unsigned address, const std::vector<std::uint8_t>& data)
{
    return HexRecordLine(0x00, address, data);
}

inline std::string UpperAddressLine(unsigned upper)
{
    return HexRecordLine(0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}

inline const std::string kEndLine = ":00000001FF\n";

inline std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i * 7);
    return bytes;
}
