#pragma once
// The prefix of the board's port names (PortNamePrefix), read and stored as
// the main dialog does.
#include <string>


namespace qb480 {

// Stored for a board that has no prefix yet.
inline constexpr char kDefaultPrefix[] = "COM";

// The stored prefix, read whole with query access: the key is never
// created. False when the key or the value is missing or the prefix is
// too long to name any port; prefixText is then left as it was.
bool ReadPortNamePrefix(std::string& prefixText);

// What the main dialog's opening takes: the stored prefix trimmed, or
// "COM" when none can be read.
std::string PrefixAtOpening();

// Stores the prefix upper-cased with the run-time's rule for the current
// code page. "Could not write Port Name Prefix" when the value cannot be
// set; a key that cannot be opened stores nothing and says nothing. False
// when the prefix was not stored.
bool StorePortNamePrefix(const std::string& prefix);

// As the main dialog's Exit stores a typed prefix: trimmed, then stored.
bool StoreEnteredPrefix(const std::string& entry);
// The text StoreEnteredPrefix would store for entry.
std::string PrefixAsStored(const std::string& entry);

}  // namespace qb480
