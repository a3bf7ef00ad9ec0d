#pragma once
#include "board/DriverService.h"

namespace qb480 {

// First use: registers the driver service for the driver file, lists the
// driver as an event-log source and asks for the board settings.
InstallOutcome InstallDriverService();

}  // namespace qb480
