#pragma once
#include <windows.h>

namespace qb480 {

// Stops and deletes the driver's service and, once the service could be
// opened, deletes the driver file from the system's drivers folder (none
// when that folder is unknown). Nonzero when the service was deleted.
int RemoveDriver(SC_HANDLE manager, const char* name);

}  // namespace qb480
