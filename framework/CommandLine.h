#pragma once
// A command line split into its arguments as the Windows C run-time splits
// it into argv. Written here because CommandLineToArgvW is missing on
// NT 4.0 and has no ANSI form. Portable, so the rules are unit-tested
// natively.
#include <string>
#include <vector>

namespace fw {

// The program's name comes first. It runs to the first blank or tab outside
// quotes; its quotes are dropped and its backslashes kept as they stand.
// The arguments follow, separated by blanks and tabs:
// - a double quote opens or closes a quoted part, which keeps its blanks;
//   two double quotes inside a quoted part give one and close the part;
// - 2n backslashes before a double quote give n backslashes, and the quote
//   works as above; 2n+1 give n backslashes and a literal quote;
// - any other backslash stands for itself;
// - a quoted part left open runs to the end of the line.
std::vector<std::string> SplitCommandLine(const std::string& line);

// The same without the program's name: what a program's switches are read from.
std::vector<std::string> ArgumentsOf(const std::string& line);

}  // namespace fw
