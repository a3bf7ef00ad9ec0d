#include "FirmwareFiles.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace harness {
namespace {

constexpr std::size_t kRecordBytes = 32;

std::string Record(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    bytes.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    std::string line = ":";
    char pair[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        line += pair;
    }
    return line + "\n";
}

}  // namespace

std::string FirmwareImage(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

std::string IntelHex(const std::string& image)
{
    std::string hex;
    for (std::size_t offset = 0; offset < image.size(); offset += kRecordBytes) {
        if (offset % 0x10000 == 0 && offset != 0) {
            const auto upper = static_cast<std::uint16_t>(offset >> 16);
            hex += Record(0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper & 0xFF)});
        }
        const std::size_t end = std::min(image.size(), offset + kRecordBytes);
        const std::vector<std::uint8_t> data(image.begin() + offset, image.begin() + end);
        hex += Record(0x00, static_cast<std::uint16_t>(offset & 0xFFFF), data);
    }
    return hex + Record(0x01, 0, {});
}

std::string WithBadChecksum(const std::string& hex)
{
    std::string changed = hex;
    const std::size_t lineEnd = changed.find('\n');
    if (lineEnd == std::string::npos || lineEnd < 2)
        return changed;
    char& lastDigit = changed[lineEnd - 1];
    lastDigit = lastDigit == '0' ? '1' : '0';
    return changed;
}

}  // namespace harness
