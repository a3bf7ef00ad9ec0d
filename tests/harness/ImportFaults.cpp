#include "ImportFaults.h"

#include "EnumEmulation.h"

#include <atomic>

namespace harness {
namespace {

enum Function { RegSetValueEx, RegCreateKeyEx, CreateService, StartService, EnumServicesStatus, FunctionCount };

const char* const kNames[FunctionCount] = {"RegSetValueExA", "RegCreateKeyExA", "CreateServiceA", "StartServiceA",
                                            "EnumServicesStatusA"};

// The fakes are plain functions, so their errors live here.
std::atomic<DWORD> g_errors[FunctionCount];

LONG WINAPI FailRegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return static_cast<LONG>(g_errors[RegSetValueEx].load());
}

LONG WINAPI FailRegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)
{
    return static_cast<LONG>(g_errors[RegCreateKeyEx].load());
}

SC_HANDLE WINAPI FailCreateServiceA(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD,
                                    LPCSTR, LPCSTR, LPCSTR)
{
    SetLastError(g_errors[CreateService]);
    return nullptr;
}

BOOL WINAPI FailStartServiceA(SC_HANDLE, DWORD, LPCSTR*)
{
    SetLastError(g_errors[StartService]);
    return FALSE;
}

void* const kFakes[FunctionCount] = {
    reinterpret_cast<void*>(FailRegSetValueExA), reinterpret_cast<void*>(FailRegCreateKeyExA),
    reinterpret_cast<void*>(FailCreateServiceA), reinterpret_cast<void*>(FailStartServiceA),
    reinterpret_cast<void*>(EmulatedEnumServicesStatusA)};

int IndexOf(const std::string& function)
{
    for (int i = 0; i < FunctionCount; ++i)
        if (function == kNames[i])
            return i;
    return -1;
}

void PlanEnumFailure(DWORD error)
{
    EnumServicesPlan plan = GetEnumServicesPlan();
    plan.failWith = error == ERROR_MORE_DATA ? 0 : error;
    SetEnumServicesPlan(plan);
}

}  // namespace

const std::vector<std::string>& FaultFunctions()
{
    static const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    return names;
}

CImportFaults::~CImportFaults()
{
    m_hooks.clear();
    for (const auto& name : m_injected)
        if (name == kNames[EnumServicesStatus])
            PlanEnumFailure(0);
}

bool CImportFaults::Inject(const std::string& function, DWORD error)
{
    const int index = IndexOf(function);
    if (index < 0)
        return false;
    g_errors[index] = error;
    if (index == EnumServicesStatus)
        PlanEnumFailure(error);
    for (const auto& name : m_injected)
        if (name == function)
            return true;
    CImportHook hook(m_module, nullptr, kNames[index], kFakes[index]);
    if (!hook)
        return false;
    m_hooks.push_back(std::move(hook));
    m_injected.push_back(function);
    return true;
}

}  // namespace harness
