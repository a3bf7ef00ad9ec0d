// iathook.dll: loaded into a program under test, it makes the program's own
// imports fail as planned under HKLM\SOFTWARE\QB480Test\Faults (one REG_DWORD
// per function: the error) and lists what it patched in the value
// "Patched". The patches last as long as the process.
#include "EnumEmulation.h"
#include "UniqueHandle.h"
#include "ImportFaults.h"
#include "TestKeys.h"

#include <windows.h>

#include <optional>
#include <string>

namespace {

std::optional<harness::CImportFaults> g_faults;

std::optional<DWORD> PlannedValue(HKEY plan, const std::string& name)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(plan, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
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

void ApplyPlan()
{
    fw::UniqueHkey plan;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, harness::kFaultsKey, 0, KEY_ALL_ACCESS, plan.put()))
        return;
    if (const auto fillers = PlannedValue(plan.get(), harness::kFillersValue))
        harness::SetEnumServicesPlan({0, *fillers});
    g_faults.emplace(GetModuleHandleA(nullptr));
    for (const auto& function : harness::FaultFunctions())
        if (const auto error = PlannedValue(plan.get(), function))
            g_faults->Inject(function, *error);
    ReportPatched(plan.get(), g_faults->Injected());
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ApplyPlan();
    return TRUE;
}
