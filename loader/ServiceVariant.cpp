#include "windows/ServiceControl.h"

namespace qb480 {

// The loader deletes its helper service without a stop: it stops it itself
// after a successful start.
const ServiceVariant kServiceVariant = {
    {SC_MANAGER_ALL_ACCESS, SERVICE_STATE_ALL, 14400, nullptr, "EnumServiceStatus failed"},
    {SC_MANAGER_ALL_ACCESS, SERVICE_ACTIVE, 7200, nullptr, "EnumServiceStatus failed"},
    false,
};

}  // namespace qb480
