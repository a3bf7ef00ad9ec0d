#pragma once
// How the dialog data exchange reads numbers typed into edit fields. Portable,
// so that the rules are unit-tested natively.
#include <cstdint>
#include <optional>
#include <string>

namespace fw {

// The number of characters of an edit field that a numeric exchange reads.
inline constexpr std::size_t kNumberEntryLength = 31;

// An unsigned decimal entry: blanks and tabs around it, a '+' before it; no
// '-'. A text that yields 0 must begin with the digit 0 (so an empty field is
// refused). Numbers above 4294967295 are taken as 4294967295. Only the first
// kNumberEntryLength characters are looked at.
std::optional<std::uint32_t> ParseUnsignedEntry(const std::string& text);

// Numbers as the dialogs show them: decimal, and upper-case hexadecimal
// without prefix or leading zeros. Written here rather than with the C
// library's formatted output, which would add tens of kilobytes to each
// binary for two conversions.
std::string DecimalText(std::uint32_t value);
std::string HexText(std::uint32_t value);

// "Please enter an integer between %1 and %2." with the bounds put in.
std::string RangeMessage(unsigned low, unsigned high);

inline constexpr const char kPositiveIntegerMessage[] = "Please enter a positive integer.";
inline constexpr const char kByteMessage[] = "Please enter an integer between 0 and 255.";
inline constexpr const char kRangeMessageTemplate[] = "Please enter an integer between %1 and %2.";

}  // namespace fw
