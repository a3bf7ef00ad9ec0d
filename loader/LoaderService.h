#pragma once
// What the load sequence reads from the board driver's key and hands to the
// helper service through its own key.
#include <cstdint>
#include <string>

namespace qb480 {

// PORT or MEM_SEG of the driver's parameter key (created when missing); 0
// when it cannot be read.
std::uint32_t ReadDriverParameter(const char* name);

// MEM_SEG and then PORT into the helper key; each failed write is reported.
void WriteBoardParameters(std::uint32_t memorySegment, std::uint32_t portAddress);

// FirmwareFile into the helper key; a failed write is reported.
void WriteFirmwareFile(const std::string& imageName);

}  // namespace qb480
