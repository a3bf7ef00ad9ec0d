#pragma once
// The service questions as the programs that configure the board ask them:
// whether the driver is installed with enumeration rights only, saying
// nothing when the list cannot be read; a service is stopped before it is
// deleted.
#include "windows/ServiceControl.h"

namespace qb480 {

inline constexpr ServiceVariant kConfigurationVariant = {
    {SC_MANAGER_ENUMERATE_SERVICE, SERVICE_STATE_ALL, 28800, "Couldn't open SCManager", nullptr},
    {SC_MANAGER_ALL_ACCESS, SERVICE_ACTIVE, 14400, nullptr, "EnumServiceStatus failed in VDXDriverStarted"},
    true,
};

}  // namespace qb480
