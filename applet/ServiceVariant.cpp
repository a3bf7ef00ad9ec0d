#include "ServiceControl.h"

namespace qb480 {

// The applet asks whether the driver is installed with enumeration rights
// only and says nothing when the list cannot be read; it stops a service
// before deleting it.
const ServiceVariant kServiceVariant = {
    {SC_MANAGER_ENUMERATE_SERVICE, SERVICE_STATE_ALL, 28800, "Couldn't open SCManager", nullptr},
    {SC_MANAGER_ALL_ACCESS, SERVICE_ACTIVE, 14400, nullptr, "EnumServiceStatus failed in VDXDriverStarted"},
    true,
};

}  // namespace qb480
