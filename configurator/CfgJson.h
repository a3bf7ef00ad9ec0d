#pragma once
// The members of the configurator's JSON object, with the same names
// wherever they appear. Texts are converted from the ANSI code page.
#include <string>
#include <vector>

#include "JsonText.h"
#include "board/BoardState.h"
#include "board/ComClaims.h"
#include "settingsfile/SettingsComparison.h"

namespace qb480 {

class CReporter;

// show: the board as the dialogs show it, null for a value not stored.
void AddShow(CJsonObject& json, const BoardState& state, const std::vector<ComNumberView>& com);
// check: "matches" and "differences" [{setting, machine, file}].
void AddDifferences(CJsonObject& json, const std::vector<SettingDifference>& differences);
// set, import, install: "changed", "changes" [{setting, old, new}], and
// "whatIf" for a run that changed nothing.
void AddChanges(CJsonObject& json, const std::vector<SettingDifference>& changes, bool whatIf);

// The run's end, written as the one line of standard output: "exitCode",
// "restartNeeded" for a run that changes, and "error" for a failure.
void WriteJsonEnd(CJsonObject json, const CReporter& reporter, bool changes);
// A run that ends with no result: a command line refused, a log that
// cannot be opened, a console control event outside a change.
void WriteJsonFailure(int code, const std::string& line);

}  // namespace qb480
