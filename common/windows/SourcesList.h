#pragma once
// The System event log's list of source names (a REG_MULTI_SZ: texts each
// ended by a zero byte, the list ended by one more).
#include <optional>
#include <string>

namespace qb480 {

// The list with name appended, or nothing when name is already listed
// (compared exactly, letter case included). data is the value's bytes as
// stored. A list that lacks its closing zero byte gets the name after its
// last zero byte, so that no listed name is joined with it; its last name
// counts as listed all the same.
std::optional<std::string> AppendSourceName(const std::string& data, const std::string& name);

}  // namespace qb480
