#pragma once
#include <cstdint>
#include <string_view>

#include "HexFault.h"

namespace qb480 {

enum class HexRecordType : std::uint8_t { Data = 0x00, EndOfFile = 0x01, ExtendedLinearAddress = 0x04 };

struct HexRecord {
    unsigned count = 0;
    unsigned address = 0;
    unsigned type = 0;
    // count data bytes followed by the checksum byte
    std::uint8_t bytes[256 + 8] = {};
};

// Decodes a record line (its first character is ':'); the checksum is
// verified whatever the type. Characters after the checksum are ignored.
HexFault DecodeRecord(std::string_view line, HexRecord& record);

// The upper address half carried by an extended linear address record: the
// four digits at the start of its data field, whatever its byte count says.
HexFault DecodeExtendedAddress(std::string_view line, std::uint16_t& upper);

}  // namespace qb480
