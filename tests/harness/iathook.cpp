// iathook.dll: loaded into a program under test, it makes the imports of the
// program's exe, or of the module named in the plan's "Module" value, fail
// as planned under HKLM\SOFTWARE\QB480Test\Faults (one REG_DWORD per
// function: the error) and lists what it patched in the value "Patched". A
// named module that is not loaded yet is patched the moment it is: a Control
// Panel loads its applet only after it started. The patches last as long as
// the process.
#include "EnumEmulation.h"
#include "UniqueHandle.h"
#include "ImportFaults.h"
#include "TestKeys.h"

#include <windows.h>
#include <winternl.h>

#include <cwctype>
#include <optional>
#include <string>

namespace {

std::optional<harness::CImportFaults> g_faults;
std::string g_moduleName;

std::optional<DWORD> PlannedValue(HKEY plan, const std::string& name)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(plan, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::string PlannedModule(HKEY plan)
{
    char name[MAX_PATH] = "";
    DWORD size = sizeof name - 1, type = 0;
    if (RegQueryValueExA(plan, harness::kModuleValue, nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ||
        type != REG_SZ)
        return std::string();
    return name;
}

void ReportPatched(HKEY plan, const std::vector<std::string>& functions)
{
    std::string list;
    for (const auto& function : functions)
        list += function + '\0';
    list += '\0';
    RegSetValueExA(plan, harness::kPatchedValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                   static_cast<DWORD>(list.size()));
}

void PatchModule(HMODULE module)
{
    fw::UniqueHkey plan;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, harness::kFaultsKey, 0, KEY_ALL_ACCESS, plan.put()))
        return;
    if (const auto fillers = PlannedValue(plan.get(), harness::kFillersValue))
        harness::SetEnumServicesPlan({0, *fillers});
    g_faults.emplace(module);
    for (const auto& function : harness::FaultFunctions())
        if (const auto error = PlannedValue(plan.get(), function))
            g_faults->Inject(function, *error);
    ReportPatched(plan.get(), g_faults->Injected());
}

// The loader's notice of a newly mapped DLL (ntdll, Vista and later).
struct DllNotification {
    ULONG flags;
    const UNICODE_STRING* fullName;
    const UNICODE_STRING* baseName;
    void* base;
    ULONG size;
};
using NotificationCallback = VOID(CALLBACK*)(ULONG reason, const DllNotification* data, void* context);
using RegisterDllNotification = LONG(NTAPI*)(ULONG flags, NotificationCallback callback, void* context,
                                             void** cookie);
constexpr ULONG kDllLoaded = 1;

bool IsPlannedModule(const UNICODE_STRING* name)
{
    if (!name || name->Length / sizeof(WCHAR) != g_moduleName.size())
        return false;
    for (std::size_t i = 0; i < g_moduleName.size(); ++i)
        if (std::towlower(name->Buffer[i]) != std::towlower(static_cast<unsigned char>(g_moduleName[i])))
            return false;
    return true;
}

VOID CALLBACK OnDllLoaded(ULONG reason, const DllNotification* data, void*)
{
    if (reason == kDllLoaded && !g_faults && IsPlannedModule(data->baseName))
        PatchModule(static_cast<HMODULE>(data->base));
}

void ApplyPlan()
{
    {
        fw::UniqueHkey plan;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, harness::kFaultsKey, 0, KEY_QUERY_VALUE, plan.put()))
            return;
        g_moduleName = PlannedModule(plan.get());
    }
    if (g_moduleName.empty())
        return PatchModule(GetModuleHandleA(nullptr));
    if (const HMODULE loaded = GetModuleHandleA(g_moduleName.c_str()))
        return PatchModule(loaded);
    const auto reg = reinterpret_cast<RegisterDllNotification>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrRegisterDllNotification")));
    void* cookie = nullptr;
    if (reg)
        reg(0, OnDllLoaded, nullptr, &cookie);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ApplyPlan();
    return TRUE;
}
