#pragma once
// qb480cfg.exe run by the packages' deferred action: the copy in the
// installation's own folder, started with exactly the arguments given and
// the set-up lock lent to it, every line it prints passed into the
// installer's log as it comes.
#include <windows.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ActionData.h"

namespace qb480 {

class CSetupLock;

// Variables set in the program's environment (an empty value sets none).
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

// program's exit code; none when it could not be started or be lent the
// lock the caller holds (said in the log).
std::optional<DWORD> RunConfigurator(MSIHANDLE install, const std::string& program,
                                     const std::vector<std::string>& arguments, CSetupLock& lock,
                                     const EnvironmentValues& environment);

}  // namespace qb480
