#pragma once
#include <string>

namespace qb480 {

// The text without the run-time's white space (blank, tab, line feed,
// carriage return, vertical tab, form feed) at either end.
std::string TrimWhiteSpace(const std::string& text);

}  // namespace qb480
