#pragma once
// What the load sequence reads from the board driver's key and hands to the
// helper service through its own key.
#include <cstdint>
#include <optional>
#include <string>

#include "board/BoardRules.h"

namespace qb480 {

// PORT or MEM_SEG of the driver's parameter key (created when missing); 0
// when it cannot be read.
std::uint32_t ReadDriverParameter(const char* name);

// MEM_SEG and then PORT into the helper key; each failed write is reported.
void WriteBoardParameters(std::uint32_t memorySegment, std::uint32_t portAddress);

// The operator's entries for both, upper-cased in place and judged by the
// board rules (no IRQ); written by WriteBoardParameters when they pass.
// Otherwise the first failing rule, and nothing is written.
BoardCheck StoreBoardEntries(std::string& memorySegment, std::string& portAddress);

// FirmwareFile into the helper key; a failed write is reported.
void WriteFirmwareFile(const std::string& imageName);

// What the helper key holds for the helper driver; a value that cannot be
// read is absent.
struct HelperValues {
    std::optional<std::uint32_t> memorySegment;
    std::optional<std::uint32_t> portAddress;
    std::optional<std::string> firmwareFile;
};
HelperValues ReadHelperValues();

// Writes back each of the values that the key has lost since they were
// read, as the writers above write them and with their messages. Replacing
// an old registration of the helper service deletes its key with it.
void RestoreHelperValues(const HelperValues& values);

}  // namespace qb480
