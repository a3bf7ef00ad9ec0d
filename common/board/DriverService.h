#pragma once
// The board driver's service as the first use registers it, from the driver
// file that must already lie in the system's drivers folder.
#include <optional>
#include <string>


namespace qb480 {

// The system folder followed by "\drivers\vdxqb480.sys", the service's image
// path; absent when the system folder is unknown.
std::optional<std::string> DriverFilePath();

enum class InstallOutcome {
    FileMissing,        // the driver file is not in the drivers folder (or that folder is unknown)
    ServiceNotCreated,  // the service could not be registered
    Done,               // registered; event-log failures were reported and do not count
};

// Looks for the driver file and registers the service "VDXQB480" for it,
// with automatic start. Each failure is reported, ending with "Driver file
// not found" or "Create service failed: installation aborted"; nothing is
// registered then. Done when the service is registered.
InstallOutcome RegisterDriverService();

}  // namespace qb480
