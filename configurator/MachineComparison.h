#pragma once
// Settings asked for held against this machine, as applying them would
// store them: the prefix as it would be stored, and each port's word read
// under the name that port has once the prefix is applied.
#include <string>

#include "board/BoardState.h"
#include "settingsfile/SettingsComparison.h"

namespace qb480 {

SettingsComparison CompareWithMachine(const Settings& asked, const BoardState& state);

// The COM numbers the board's ports take once settings are applied: from
// the index asked for or stored, else from where the driver numbers them.
std::uint32_t FirstBoardNumber(const Settings& asked, const BoardState& state);

// "IRQ: 7 on this machine, 5 in board.ini"
std::string DifferenceLine(const SettingDifference& difference, const std::string& file);
// "IRQ: changed from 7 to 5", or "would change" for a run that changes nothing.
std::string ChangeLine(const SettingDifference& change, bool whatIf);

}  // namespace qb480
