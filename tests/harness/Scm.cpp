#include "Scm.h"

#include "Handles.h"
#include "Robot.h"

#include <tlhelp32.h>

namespace harness {
namespace {

fw::UniqueScHandle OpenManager()
{
    return fw::UniqueScHandle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

fw::UniqueScHandle OpenNamed(SC_HANDLE manager, const std::string& name)
{
    return fw::UniqueScHandle(OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS));
}

DWORD ErrorOr0(BOOL ok)
{
    return ok ? 0 : GetLastError();
}

std::optional<DWORD> StateOf(SC_HANDLE service)
{
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status))
        return std::nullopt;
    return status.dwCurrentState;
}

}  // namespace

DWORD CreateDriverService(const std::string& name, const std::string& displayName, const std::string& imagePath,
                          DWORD startType)
{
    fw::UniqueScHandle manager = OpenManager();
    if (!manager)
        return GetLastError();
    fw::UniqueScHandle service(CreateServiceA(manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_KERNEL_DRIVER, startType, SERVICE_ERROR_NORMAL, imagePath.c_str(),
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
    return service ? 0 : GetLastError();
}

DWORD StartDriverService(const std::string& name)
{
    fw::UniqueScHandle manager = OpenManager();
    fw::UniqueScHandle service = manager ? OpenNamed(manager.get(), name) : fw::UniqueScHandle();
    if (!service)
        return GetLastError();
    return ErrorOr0(StartServiceA(service.get(), 0, nullptr));
}

DWORD StopService(const std::string& name)
{
    fw::UniqueScHandle manager = OpenManager();
    fw::UniqueScHandle service = manager ? OpenNamed(manager.get(), name) : fw::UniqueScHandle();
    if (!service)
        return GetLastError();
    if (StateOf(service.get()) == DWORD{SERVICE_STOPPED})
        return 0;
    SERVICE_STATUS status = {};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        return GetLastError();
    // A driver answers at once; a stop may still be pending for a while.
    WaitUntil([&] { return StateOf(service.get()) == DWORD{SERVICE_STOPPED}; });
    return StateOf(service.get()) == DWORD{SERVICE_STOPPED} ? 0 : ERROR_SERVICE_REQUEST_TIMEOUT;
}

bool DeleteServiceAndWait(const std::string& name, int timeoutMs)
{
    {
        fw::UniqueScHandle manager = OpenManager();
        fw::UniqueScHandle service = manager ? OpenNamed(manager.get(), name) : fw::UniqueScHandle();
        if (service) {
            StopService(name);
            DeleteService(service.get());
        }
    }
    return WaitUntilUnlisted(name, timeoutMs);
}

std::optional<DWORD> ServiceState(const std::string& name)
{
    fw::UniqueScHandle manager = OpenManager();
    fw::UniqueScHandle service = manager ? OpenNamed(manager.get(), name) : fw::UniqueScHandle();
    return service ? StateOf(service.get()) : std::nullopt;
}

std::optional<ServiceConfig> QueryServiceConfiguration(const std::string& name)
{
    fw::UniqueScHandle manager = OpenManager();
    fw::UniqueScHandle service = manager ? OpenNamed(manager.get(), name) : fw::UniqueScHandle();
    if (!service)
        return std::nullopt;
    DWORD needed = 0;
    QueryServiceConfigA(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGA));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service.get(), config, static_cast<DWORD>(buffer.size()), &needed))
        return std::nullopt;
    return ServiceConfig{config->dwServiceType, config->dwStartType, config->dwErrorControl,
                         config->lpBinaryPathName ? config->lpBinaryPathName : "",
                         config->lpDisplayName ? config->lpDisplayName : ""};
}

std::vector<std::string> ServiceNames(DWORD type, DWORD state)
{
    std::vector<std::string> names;
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager)
        return names;
    // Large enough that Wine never takes its short-buffer paths.
    for (DWORD size = 64 * 1024; size <= 16 * 1024 * 1024; size *= 2) {
        std::vector<BYTE> buffer(size);
        auto* entries = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
        DWORD needed = 0, returned = 0, resume = 0;
        if (EnumServicesStatusA(manager.get(), type, state, entries, size, &needed, &returned, &resume)) {
            for (DWORD i = 0; i < returned; ++i)
                names.emplace_back(entries[i].lpServiceName);
            return names;
        }
        if (GetLastError() != ERROR_MORE_DATA && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    return names;
}

bool IsServiceListed(const std::string& name, DWORD type)
{
    for (const auto& listed : ServiceNames(type))
        if (lstrcmpiA(listed.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

bool WaitUntilUnlisted(const std::string& name, int timeoutMs)
{
    return WaitUntil([&] { return !IsServiceListed(name); }, timeoutMs);
}

void KillProcessesNamed(const std::vector<std::string>& exeNames)
{
    UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        for (const auto& name : exeNames) {
            if (lstrcmpiA(entry.szExeFile, name.c_str()) != 0)
                continue;
            fw::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
            if (process && TerminateProcess(process.get(), 1))
                WaitForSingleObject(process.get(), 5000);
        }
    }
}

}  // namespace harness
