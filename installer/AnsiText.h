#pragma once
// A wide text in the system's ANSI code page, exactly: the configurator
// reads its command line in that code page. Windows only.
#include <cstddef>
#include <optional>
#include <string>

namespace qb480 {

// None when a character has no place there, or a near match would stand in
// for it (a fullwidth quote read as a quote); where the code page is UTF-8,
// which carries every character, none only for what is no text (a lone
// surrogate).
std::optional<std::string> InAnsiCodePage(const wchar_t* text, std::size_t length);

}  // namespace qb480
