#pragma once
#include <string>

namespace qb480 {

// The system's upper-casing for the current code page (CharUpperA), which
// the board rules expect of the texts they are given.
std::string SystemUpperCase(const std::string& text);

// The system's text for the error and its number, "Access is denied
// (error 5)", for the administrator who must find out why.
std::string SystemErrorText(unsigned long error);

}  // namespace qb480
