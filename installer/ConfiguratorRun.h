#pragma once
// qb480cfg.exe run by the packages' deferred action: started with exactly
// the arguments given, every line it prints passed into the installer's
// log as it comes.
#include <windows.h>
#include <msiquery.h>

#include <optional>

#include "ActionData.h"

namespace qb480 {

// The program's exit code; none when it could not be started (said in the log).
std::optional<DWORD> RunConfigurator(MSIHANDLE install, const ConfiguratorCall& call);

}  // namespace qb480
