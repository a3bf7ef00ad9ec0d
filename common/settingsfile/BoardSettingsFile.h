#pragma once
// The settings file as a view of the board: what an export writes of its
// state, and the ports against which an import is judged.
#include "board/BoardState.h"
#include "settingsfile/SettingsFile.h"

namespace qb480 {

// Every stored value: the board resources, the prefix, the numbering ("none"
// when no index is chosen) and the words of the ports that have one, so that
// an import elsewhere stores the same values.
Settings SettingsOf(const BoardState& state);

// What an export writes: the stored values, and every port of the board
// with the fields the advanced options show, a port with no word with the
// default. A file's port sections are the state wanted, so an import
// elsewhere leaves every port as here, whatever was stored there.
Settings SettingsToExport(const BoardState& state);

// The ports the driver reports, named by the stored prefix; none while the
// prefix is too long to name a port.
BoardPorts BoardPortsOf(const BoardState& state);

}  // namespace qb480
