#pragma once
// An exported settings file written out.
#include <string>

namespace qb480 {

// Writes text as the whole file at path, replacing one that is there.
// Empty when done; otherwise the system's reason.
std::string WriteSettingsText(const std::string& path, const std::string& text);

}  // namespace qb480
