#pragma once
// The board's state as show prints it: a line each, in the dialogs' terms.
#include <string>
#include <vector>

#include "board/BoardState.h"
#include "board/ComClaims.h"

namespace qb480 {

// "absent", "stopped" or "running", as show and its JSON name the service.
const char* ServiceText(DriverServiceState service);

// com: the state of each port's COM number, in the order of state.ports.
std::vector<std::string> ShowLines(const BoardState& state, const std::vector<ComNumberView>& com);

}  // namespace qb480
