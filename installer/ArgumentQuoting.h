#pragma once
// A command line put together from arguments so that the C run-time's
// split (fw::SplitCommandLine) gives each one back exactly, whatever it
// holds. Portable, so the rules are unit-tested natively.
#include <string>
#include <vector>

namespace qb480 {

// The argument as the split reads it back: as it stands when it holds no
// blank, tab or double quote and is not empty; otherwise in double quotes,
// each quote and the backslashes before it escaped, and the backslashes
// before the closing quote doubled.
std::string QuotedArgument(const std::string& argument);

// The program's name in double quotes (a path holds no quote), then each
// argument quoted, separated by blanks.
std::string CommandLineOf(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace qb480
