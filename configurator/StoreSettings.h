#pragma once
// Settings from the command line or a file stored through the dialogs'
// own writes.
#include <string>

#include "board/BoardState.h"
#include "settingsfile/SettingsFile.h"

namespace qb480 {

class CReporter;

// The board resources as the board settings dialog would store them: the
// ones given over the ones stored (0 for a value not stored, as the dialog
// shows it), judged all three by its rules, after each value given by its
// own. The rule's text when refused; empty when they pass or none is given.
std::string JudgeBoardResources(const Settings& settings, const BoardState& state);

// Stores the changes (the values that differ from the machine's), in the
// order the dialogs store them: the board resources, the prefix, the
// numbering, then each port's fields over its word under the prefix now
// stored; none after a console control event asked the program to end.
// Each failure is reported through the message sink, one that a step does
// not report itself included (the reporter counts what was reported).
void StoreSettings(const Settings& changes, const CReporter& reporter);

}  // namespace qb480
