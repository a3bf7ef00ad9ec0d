#pragma once
#include <windows.h>


namespace qb480 {

// Stops and deletes the driver's service and, once the service could be
// opened, deletes the driver file from the system's drivers folder (none
// when that folder is unknown). Nonzero when the service was deleted.
int RemoveDriver(SC_HANDLE manager, const char* name);

enum class RemovalOutcome {
    DriverActive,  // refused: applications may hold the board's ports open
    Removed,       // the service was deleted
    Failed,        // the removal was tried and reported its failure
};

// "Remove driver": refused with its message while the driver runs;
// otherwise the service "vdxqb480" and the driver file are removed, and
// once the service is gone every COM number recorded as claimed for the
// board is given back to Windows' COM port database.
RemovalOutcome RemoveBoardDriver();

}  // namespace qb480
