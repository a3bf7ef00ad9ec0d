#pragma once
// The board's state as show prints it: a line each, in the dialogs' terms.
#include <string>
#include <vector>

#include "board/BoardState.h"

namespace qb480 {

std::vector<std::string> ShowLines(const BoardState& state);

}  // namespace qb480
