#pragma once
// The index from which the board's ports are numbered (FirstPort), read and
// stored as the port numbering dialog does: the value exists only while an
// index is chosen.
#include <cstdint>
#include <optional>
#include <string>


namespace qb480 {

// The one rule of a chosen index: 0 cannot be stored.
inline constexpr char kFirstPortZeroMessage[] = "Please enter a valid number";
inline bool IsValidFirstPort(std::uint32_t first) { return first != 0; }

// FirstPort read with create-for-reading access, which makes the parameter
// key when missing; "Could not open registry key" when it cannot be opened.
// Absent when no index is chosen or the value cannot be read.
std::optional<std::uint32_t> ReadFirstPort();

// Writes FirstPort, or deletes it when no index is given. "Could not open
// registry key" or "Could not write first port suffix" on failure, which
// returns false; a value to delete that was not there is no failure.
bool StoreFirstPort(std::optional<std::uint32_t> first);

// An index refused for why, recorded when it differs from the stored one.
void RecordRefusedFirstPort(std::optional<std::uint32_t> first, const std::string& why);

}  // namespace qb480
