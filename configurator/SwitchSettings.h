#pragma once
// The SETTINGS switches read as the dialogs read their fields.
#include <string>

#include "CfgArguments.h"
#include "settingsfile/SettingsFile.h"

namespace qb480 {

// Puts the switches given over settings: /mem and /port as the board
// settings dialog converts its hexadecimal entries, /irq and /first as the
// dialogs read numbers, /prefix as typed (it is trimmed and upper-cased
// when stored). The rule's own text when a switch is refused, and settings
// are then left as they were; empty otherwise.
std::string TakeSwitchSettings(const CfgSettingTexts& texts, Settings& settings);

}  // namespace qb480
