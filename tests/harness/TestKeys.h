#pragma once
// Registry keys the harness and its helper programs share (under
// HKEY_LOCAL_MACHINE). ResetBaseline deletes kTestKey with all below it.
namespace harness {

constexpr const char* kTestKey = "SOFTWARE\\QB480Test";
// Fault plan for iathook.dll: REG_DWORD values named after the functions,
// data = error, plus kFillersValue; iathook.dll writes the functions it
// patched into kPatchedValue (REG_MULTI_SZ).
constexpr const char* kFaultsKey = "SOFTWARE\\QB480Test\\Faults";
constexpr const char* kFillersValue = "EnumServicesStatusA Fillers";
constexpr const char* kPatchedValue = "Patched";
// REG_SZ: the module whose imports iathook.dll patches, once it is loaded;
// without it, the program's exe.
constexpr const char* kModuleValue = "Module";
// What the recording replacements saw, one value per function and field
// ("ShellExecuteExA lpParameters"), under the fault plan's key.
constexpr const char* kCallsKey = "SOFTWARE\\QB480Test\\Faults\\Calls";

}  // namespace harness
