#pragma once
#include <string>

namespace qb480 {

// The system's upper-casing for the current code page (CharUpperA), which
// the board rules expect of the texts they are given.
std::string SystemUpperCase(const std::string& text);

}  // namespace qb480
