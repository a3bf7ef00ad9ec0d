#pragma once
// qb480cfg.exe run by the packages' deferred action: the copy in the
// installation's own folder, started with exactly the arguments given and
// the set-up lock lent to it, every line it prints passed into the
// installer's log as it comes.
#include <windows.h>
#include <msiquery.h>

#include <optional>

#include "ActionData.h"

namespace qb480 {

class CSetupLock;

// program's exit code; none when it could not be started or be lent the
// lock the caller holds (said in the log).
std::optional<DWORD> RunConfigurator(MSIHANDLE install, const std::string& program,
                                     const std::vector<std::string>& arguments, CSetupLock& lock);

}  // namespace qb480
