#pragma once

namespace qb480 {

enum class InstallOutcome {
    FileMissing,        // the driver file is not in the drivers folder (or that folder is unknown)
    ServiceNotCreated,  // the service could not be registered
    Done,               // registered; event-log failures were reported and do not count
};

// First use: registers the driver service for the driver file, lists the
// driver as an event-log source and asks for the board settings.
InstallOutcome InstallDriverService();

// Lists vdxqb480 as a source of the System event log and writes its entry;
// reports its own failures.
void RegisterEventLogSource();

}  // namespace qb480
