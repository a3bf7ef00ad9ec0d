#include "ImportFaults.h"

#include "EnumEmulation.h"

#include <atomic>

namespace harness {
namespace {

enum Function {
    kSetValue,
    kCreateKey,
    kCreateService,
    kStartService,
    kEnumServices,
    kOpenManager,
    kOpenService,
    kDeleteService,
    kOpenKey,
    kCreateDialog,
    kFunctionCount
};

const char* const kNames[kFunctionCount] = {"RegSetValueExA", "RegCreateKeyExA",     "CreateServiceA",
                                            "StartServiceA",  "EnumServicesStatusA", "OpenSCManagerA",
                                            "OpenServiceA",   "DeleteService",       "RegOpenKeyExA",
                                            "CreateDialogParamA"};

// The fakes are plain functions, so their errors live here; an access of 0
// fails every call, another only the calls that ask exactly that access.
std::atomic<DWORD> g_errors[kFunctionCount];
std::atomic<DWORD> g_access[kFunctionCount];

bool Fails(Function function, DWORD access)
{
    return g_access[function] == 0 || g_access[function] == access;
}

// The real function, from advapi32 itself, never through a patched slot.
template <typename Signature>
Signature Real(Function function)
{
    return reinterpret_cast<Signature>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), kNames[function])));
}

LONG WINAPI FailRegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return static_cast<LONG>(g_errors[kSetValue].load());
}

LONG WINAPI FailRegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (Fails(kCreateKey, access))
        return static_cast<LONG>(g_errors[kCreateKey].load());
    return Real<decltype(&RegCreateKeyExA)>(kCreateKey)(key, subKey, reserved, keyClass, options, access,
                                                             security, result, disposition);
}

LONG WINAPI FailRegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (Fails(kOpenKey, access))
        return static_cast<LONG>(g_errors[kOpenKey].load());
    return Real<decltype(&RegOpenKeyExA)>(kOpenKey)(key, subKey, options, access, result);
}

SC_HANDLE WINAPI FailCreateServiceA(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD,
                                    LPCSTR, LPCSTR, LPCSTR)
{
    SetLastError(g_errors[kCreateService]);
    return nullptr;
}

BOOL WINAPI FailStartServiceA(SC_HANDLE, DWORD, LPCSTR*)
{
    SetLastError(g_errors[kStartService]);
    return FALSE;
}

SC_HANDLE WINAPI FailOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access)
{
    if (!Fails(kOpenManager, access))
        return Real<decltype(&OpenSCManagerA)>(kOpenManager)(machine, database, access);
    SetLastError(g_errors[kOpenManager]);
    return nullptr;
}

SC_HANDLE WINAPI FailOpenServiceA(SC_HANDLE, LPCSTR, DWORD)
{
    SetLastError(g_errors[kOpenService]);
    return nullptr;
}

BOOL WINAPI FailDeleteService(SC_HANDLE)
{
    SetLastError(g_errors[kDeleteService]);
    return FALSE;
}

HWND WINAPI FailCreateDialogParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM)
{
    SetLastError(g_errors[kCreateDialog]);
    return nullptr;
}

void* const kFakes[kFunctionCount] = {
    reinterpret_cast<void*>(FailRegSetValueExA), reinterpret_cast<void*>(FailRegCreateKeyExA),
    reinterpret_cast<void*>(FailCreateServiceA), reinterpret_cast<void*>(FailStartServiceA),
    reinterpret_cast<void*>(EmulatedEnumServicesStatusA), reinterpret_cast<void*>(FailOpenSCManagerA),
    reinterpret_cast<void*>(FailOpenServiceA), reinterpret_cast<void*>(FailDeleteService),
    reinterpret_cast<void*>(FailRegOpenKeyExA), reinterpret_cast<void*>(FailCreateDialogParamA)};

int IndexOf(const std::string& function)
{
    for (int i = 0; i < kFunctionCount; ++i)
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
        if (name == kNames[kEnumServices])
            PlanEnumFailure(0);
}

bool CImportFaults::Inject(const std::string& function, DWORD error)
{
    return InjectForAccess(function, 0, error);
}

bool CImportFaults::InjectForAccess(const std::string& function, DWORD access, DWORD error)
{
    const int index = IndexOf(function);
    if (index < 0 || (access && index != kCreateKey && index != kOpenKey && index != kOpenManager))
        return false;
    g_errors[index] = error;
    g_access[index] = access;
    if (index == kEnumServices)
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
