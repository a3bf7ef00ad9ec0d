#pragma once
// The board's memory address, port address and IRQ in the driver's
// parameter key, read, judged and stored as the board-settings dialog does.
#include <cstdint>
#include <optional>
#include <string>

#include "board/BoardRules.h"

namespace qb480 {

struct BoardResources {
    std::uint32_t memory = 0;
    std::uint32_t port = 0;
    std::uint32_t irq = 0;
};

// MEM_SEG, PORT and IRQ, each read by itself with create-and-read access,
// which makes the parameter key when it is missing; 0 for a value that
// cannot be read.
BoardResources ReadBoardResources();

// A hexadecimal entry as the dialog converts it: upper-cased with the
// system's rule, then read by ParseHexText, which never fails.
std::uint32_t HexEntryValue(const std::string& text);

// The entries as the dialog judges them: both hexadecimal texts upper-cased
// with the system's rule and converted, then the board rules applied. The
// resources are meaningful only when the check is Ok.
struct JudgedResources {
    BoardCheck check = BoardCheck::Ok;
    BoardResources resources;
};
JudgedResources JudgeBoardEntries(const std::string& memoryText, const std::string& portText, std::uint32_t irq);

// Writes MEM_SEG, IRQ and PORT in that order, each failed write reported
// and the next still made, then "Configuration stored in the Registry". A
// key that cannot be opened stores nothing and says nothing. False when
// anything was not stored.
bool StoreBoardResources(const BoardResources& resources);

// The same for the values given only, so that a value that already holds
// what is asked is not written again.
struct BoardValues {
    std::optional<std::uint32_t> memory, port, irq;
};
bool StoreBoardValues(const BoardValues& values);

// The values given that differ from the stored ones, recorded as refused
// for why.
void RecordRefusedBoardValues(const BoardValues& values, const std::string& why);

}  // namespace qb480
