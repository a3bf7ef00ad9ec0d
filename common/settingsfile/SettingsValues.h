#pragma once
// How the settings file's names and values are read.
#include <cstdint>
#include <optional>
#include <string>

namespace qb480::settings {

// Without the blanks, tabs and carriage returns at either end.
std::string Trim(const std::string& text);
// Equal but for the letter case of A to Z.
bool SameName(const std::string& a, const std::string& b);
// Decimal digits only; absent for anything else and above 4294967295.
std::optional<std::uint32_t> Decimal(const std::string& text);
// One to eight hexadecimal digits of either case, as the dialogs show them.
std::optional<std::uint32_t> Hexadecimal(const std::string& text);
// "yes" or "1", "no" or "0", any letter case.
std::optional<bool> YesNo(const std::string& text);

}  // namespace qb480::settings
