#pragma once
// A settings file (or the switches) held against what the machine stores,
// as an import would apply it: only what is given is compared. A port
// without a stored word has the default word, as the driver, show and the
// advanced options take it, so a machine matches its own export; a board
// value that is not stored differs from any value asked for, since
// applying it makes it stored.
#include <optional>
#include <string>
#include <vector>

#include "settingsfile/SettingsFile.h"

namespace qb480 {

// One setting that applying would change, named and valued in the settings
// file's own terms ("Port COM4 Rx Timeout", "D0000", "yes", "none").
struct SettingDifference {
    std::string setting;
    std::optional<std::string> machine;  // absent when not stored
    std::string wanted;
};

struct SettingsComparison {
    // In the file's order: board, numbering, then each port's five fields.
    std::vector<SettingDifference> differences;
    // Exactly the differing values: what must be written to make the
    // machine hold what is asked.
    Settings changes;
};

// wanted: the settings asked for, with the prefix as it would be stored.
// stored: what the machine holds, as SettingsOf reads it (the numbering
// always given, one entry per port that has a word), the ports' words read
// under the names that applying leaves, by which the ports are named.
SettingsComparison CompareSettings(const Settings& wanted, const Settings& stored);

}  // namespace qb480
