#pragma once
// The installer session as the packages' actions use it: their lines in the
// installer's log, and properties read and set.
#include <windows.h>
#include <msiquery.h>

#include <optional>
#include <string>

namespace qb480 {

// A line in the installer's log, exactly as it stands. The installer
// formats what it logs: "[Board Settings]" would be read as a property and
// vanish. Each bracket and brace is written as its escape ("[\[]"), which
// Windows Installer documents for formatted text and Wine also honours; a
// record field is no way round it, since Wine formats the text put in for
// "[1]" once more.
void LogLine(MSIHANDLE install, const std::string& line);

// The property's value in the system's code page, exactly: none when a
// character of it has no place there (the configurator reads its command
// line in that code page, and a near match, a fullwidth quote read as a
// quote, would change what it reads).
std::optional<std::string> PropertyText(MSIHANDLE install, const char* name);

// The formatted text ("[#file]" and the like), or none as above.
std::optional<std::string> FormattedText(MSIHANDLE install, const char* text);

bool SetPropertyText(MSIHANDLE install, const char* name, const std::string& value);

}  // namespace qb480
