#include "EnumEmulation.h"

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace harness {
namespace {

struct Entry {
    std::string name, displayName;
    SERVICE_STATUS status;
};

std::mutex g_lock;
EnumServicesPlan g_plan;
std::vector<EnumServicesCall> g_calls;

using EnumFunction = BOOL(WINAPI*)(SC_HANDLE, DWORD, DWORD, LPENUM_SERVICE_STATUSA, DWORD, LPDWORD, LPDWORD, LPDWORD);

EnumFunction RealEnumServicesStatusA()
{
    return reinterpret_cast<EnumFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "EnumServicesStatusA")));
}

// The whole list from the real function; false with its error when it
// fails for another reason than a short buffer.
bool RealEntries(SC_HANDLE manager, DWORD serviceType, DWORD serviceState, std::vector<Entry>& entries)
{
    const EnumFunction real = RealEnumServicesStatusA();
    for (DWORD size = 64 * 1024; size <= 64 * 1024 * 1024; size *= 2) {
        std::vector<BYTE> buffer(size);
        auto* first = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
        DWORD needed = 0, returned = 0, resume = 0;
        if (real(manager, serviceType, serviceState, first, size, &needed, &returned, &resume)) {
            for (DWORD i = 0; i < returned; ++i)
                entries.push_back({first[i].lpServiceName, first[i].lpDisplayName, first[i].ServiceStatus});
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA && error != ERROR_INSUFFICIENT_BUFFER)
            return false;
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

std::vector<Entry> Fillers(DWORD count, DWORD serviceType, DWORD serviceState)
{
    std::vector<Entry> fillers;
    if (!(serviceType & SERVICE_KERNEL_DRIVER) || !(serviceState & SERVICE_ACTIVE))
        return fillers;
    for (DWORD i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "QB480Fill%04lu", static_cast<unsigned long>(i));
        SERVICE_STATUS status = {};
        status.dwServiceType = SERVICE_KERNEL_DRIVER;
        status.dwCurrentState = SERVICE_RUNNING;
        status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
        fillers.push_back({name, name, status});
    }
    return fillers;
}

bool Matches(DWORD state, DWORD serviceState)
{
    return state == SERVICE_STOPPED ? (serviceState & SERVICE_INACTIVE) != 0 : (serviceState & SERVICE_ACTIVE) != 0;
}

// Entries read with SERVICE_STATE_ALL, filtered as the caller asked once the
// service's state is the one planned.
void ReportStateOf(const char* name, DWORD state, DWORD serviceState, std::vector<Entry>& entries)
{
    std::vector<Entry> kept;
    for (Entry& entry : entries) {
        if (lstrcmpiA(entry.name.c_str(), name) == 0)
            entry.status.dwCurrentState = state;
        if (Matches(entry.status.dwCurrentState, serviceState))
            kept.push_back(entry);
    }
    entries = kept;
}

DWORD SizeOf(const Entry& entry)
{
    return static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA) + entry.name.size() + 1 + entry.displayName.size() + 1);
}

// Copies entries[first...] while they fit; returns how many did.
DWORD CopyFitting(const std::vector<Entry>& entries, size_t first, LPENUM_SERVICE_STATUSA services,
                  DWORD bufferSize)
{
    auto* base = reinterpret_cast<char*>(services);
    DWORD front = 0, back = bufferSize, copied = 0;
    for (size_t i = first; i < entries.size(); ++i, ++copied) {
        const Entry& entry = entries[i];
        if (SizeOf(entry) > back - front)
            break;
        back -= static_cast<DWORD>(entry.displayName.size() + 1);
        std::memcpy(base + back, entry.displayName.c_str(), entry.displayName.size() + 1);
        char* displayName = base + back;
        back -= static_cast<DWORD>(entry.name.size() + 1);
        std::memcpy(base + back, entry.name.c_str(), entry.name.size() + 1);
        services[copied] = {base + back, displayName, entry.status};
        front += sizeof(ENUM_SERVICE_STATUSA);
    }
    return copied;
}

EnumServicesPlan CurrentPlan(DWORD serviceType, DWORD serviceState, DWORD bufferSize)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back({serviceType, serviceState, bufferSize});
    return g_plan;
}

}  // namespace

BOOL WINAPI EmulatedEnumServicesStatusA(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                        LPENUM_SERVICE_STATUSA services, DWORD bufferSize, LPDWORD needed,
                                        LPDWORD returned, LPDWORD resumeHandle)
{
    const EnumServicesPlan plan = CurrentPlan(serviceType, serviceState, bufferSize);
    if (!needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    if (plan.failWith) {
        SetLastError(plan.failWith);
        return FALSE;
    }
    std::vector<Entry> entries = Fillers(plan.fillers, serviceType, serviceState);
    if (!RealEntries(manager, serviceType, plan.reportedService ? SERVICE_STATE_ALL : serviceState, entries))
        return FALSE;
    if (plan.reportedService)
        ReportStateOf(plan.reportedService, plan.reportedState, serviceState, entries);
    // EnumServicesStatusA's page: "The maximum size of this array is 256K
    // bytes"; a NULL buffer of size 0 asks for the size and fails with
    // ERROR_INSUFFICIENT_BUFFER, a buffer too small with ERROR_MORE_DATA;
    // pcbBytesNeeded is what "the remaining service entries" need.
    constexpr DWORD kMaxArray = 256 * 1024;
    const size_t first = resumeHandle ? *resumeHandle : 0;
    const DWORD copied = services ? CopyFitting(entries, first, services, std::min(bufferSize, kMaxArray)) : 0;
    *returned = copied;
    if (first + copied >= entries.size()) {
        if (resumeHandle)
            *resumeHandle = 0;
        return TRUE;
    }
    if (resumeHandle)
        *resumeHandle = static_cast<DWORD>(first + copied);
    for (size_t i = first + copied; i < entries.size(); ++i)
        *needed += SizeOf(entries[i]);
    SetLastError(!services && !bufferSize ? ERROR_INSUFFICIENT_BUFFER : ERROR_MORE_DATA);
    return FALSE;
}

CEnumServicesPlanScope::CEnumServicesPlanScope(const EnumServicesPlan& plan)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_plan = plan;
    g_calls.clear();
}

CEnumServicesPlanScope::~CEnumServicesPlanScope()
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_plan = {};
    g_calls.clear();
}

std::vector<EnumServicesCall> CEnumServicesPlanScope::Calls() const
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

void SetEnumServicesPlan(const EnumServicesPlan& plan)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_plan = plan;
}

EnumServicesPlan GetEnumServicesPlan()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_plan;
}

}  // namespace harness
