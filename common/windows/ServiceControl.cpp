#include "windows/ServiceControl.h"

#include <cstring>
#include <vector>

#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

void ShowIf(const char* message)
{
    if (message)
        fw::AppMessageBox(message);
}

bool IsDriverServiceName(const char* name)
{
    char upper[sizeof kDriverServiceName] = "";
    if (!name || std::strlen(name) != sizeof upper - 1)
        return false;
    for (std::size_t i = 0; i < sizeof upper - 1; ++i)
        upper[i] = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
    return std::memcmp(upper, kDriverServiceName, sizeof upper) == 0;
}

// Upper bound on the enumeration buffer; no machine has services enough to
// need it, and a misbehaving manager must not make us allocate without end.
constexpr DWORD kMaxEnumBuffer = 16u * 1024 * 1024;

// Enumerates the driver services until the whole list fitted, growing the
// buffer when the call says it was too small. Only the entries of a call that
// succeeded are read: after a too-small buffer the platform may report
// entries it never filled in. False after any other failure.
bool EnumerateDrivers(SC_HANDLE manager, const ServiceQuery& query, std::vector<ENUM_SERVICE_STATUSA>& storage,
                      DWORD& count)
{
    DWORD size = query.bufferSize;
    for (;;) {
        storage.assign((size + sizeof(ENUM_SERVICE_STATUSA) - 1) / sizeof(ENUM_SERVICE_STATUSA), {});
        DWORD needed = 0;
        DWORD resume = 0;
        count = 0;
        if (EnumServicesStatusA(manager, SERVICE_DRIVER, query.stateFilter, storage.data(), size, &needed, &count,
                                &resume))
            return true;
        const DWORD error = GetLastError();
        count = 0;
        if ((error != ERROR_MORE_DATA && error != ERROR_INSUFFICIENT_BUFFER) || size >= kMaxEnumBuffer)
            return false;
        // Wine reports no size with ERROR_INSUFFICIENT_BUFFER, and the list may
        // grow between two calls: at least double.
        size = needed > 2 * size ? needed : 2 * size;
        if (size > kMaxEnumBuffer)
            size = kMaxEnumBuffer;
    }
}

}  // namespace

bool FindDriverService(const ServiceQuery& query)
{
    bool found = false;
    std::vector<ENUM_SERVICE_STATUSA> entries;
    DWORD count = 0;
    bool listed;
    {
        const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, query.managerAccess));
        if (!manager)
            ShowIf(query.openFailureMessage);
        listed = EnumerateDrivers(manager.get(), query, entries, count);
    }
    if (!listed) {
        ShowIf(query.enumFailureMessage);
        return false;
    }
    for (DWORD i = 0; i < count && !found; ++i)
        found = IsDriverServiceName(entries[i].lpServiceName);
    return found;
}

bool IsDriverInstalled() { return FindDriverService(kServiceVariant.installed); }

bool VDXDriverStarted() { return FindDriverService(kServiceVariant.started); }

int RemoveService(SC_HANDLE manager, const char* name, bool* opened)
{
    const fw::UniqueScHandle service(OpenServiceA(manager, name, SERVICE_ALL_ACCESS));
    if (opened)
        *opened = static_cast<bool>(service);
    if (!service) {
        fw::AppMessageBox("failure: OpenService");
        return 0;
    }
    if (kServiceVariant.stopBeforeDelete) {
        SERVICE_STATUS status;  // the reply is not waited for
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    }
    const BOOL deleted = DeleteService(service.get());
    if (!deleted)
        fw::AppMessageBox("failure: DeleteService ");
    return deleted;
}

int CreateKernelService(SC_HANDLE manager, const char* name, const char* imagePath, DWORD startType)
{
    const auto create = [&] {
        return fw::UniqueScHandle(CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                                 startType, SERVICE_ERROR_NORMAL, imagePath, nullptr, nullptr,
                                                 nullptr, nullptr, nullptr));
    };
    if (create())
        return 1;
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_EXISTS) {
        RemoveService(manager, name);
        if (create())
            return 1;
        // The old registration could not be replaced: say why, rather than
        // report a service that does not exist.
        error = GetLastError();
    }
    fw::AppMessageBox(ServiceErrorText(error));
    return 0;
}

}  // namespace qb480
