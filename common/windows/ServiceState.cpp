#include "windows/ServiceState.h"

#include <windows.h>

#include "UniqueHandle.h"
#include "windows/ParamNames.h"

namespace qb480 {

bool DriverServiceRuns()
{
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const fw::UniqueScHandle service(
        manager ? OpenServiceA(manager.get(), kDriverServiceName, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS status = {};
    return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
}

}  // namespace qb480
