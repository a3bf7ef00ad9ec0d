#pragma once
// Firmware made by the tests themselves, independent of the loader's
// converter: an image and the Intel HEX text that describes it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace harness {

// Bytes that differ from place to place, so that a shifted, truncated or
// repeated copy does not compare equal; each seed gives other bytes.
std::string FirmwareImage(std::size_t size, std::uint32_t seed);

// The image as Intel HEX: 32-byte data records from address 0, an extended
// linear address record before every 64K, then the end-of-file record.
std::string IntelHex(const std::string& image);

// The same text with the checksum of its first data record off by one.
std::string WithBadChecksum(const std::string& hex);

}  // namespace harness
