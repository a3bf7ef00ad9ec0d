#include "ImportFaults.h"

#include "EnumEmulation.h"
#include "Handles.h"
#include "TestKeys.h"

#include <commdlg.h>
#include <shellapi.h>

#include <atomic>

namespace harness {
namespace {

enum Function {
    RegSetValueEx,
    RegCreateKeyEx,
    CreateService,
    StartService,
    EnumServicesStatus,
    GetSystemDirectory,
    ShellExecuteEx,
    GetOpenFileName,
    DialogBoxParam,
    FunctionCount
};

const char* const kNames[FunctionCount] = {"RegSetValueExA",      "RegCreateKeyExA",     "CreateServiceA",
                                            "StartServiceA",       "EnumServicesStatusA", "GetSystemDirectoryA",
                                            "ShellExecuteExA",     "GetOpenFileNameA",    "DialogBoxParamA"};

// The fakes are plain functions, so their errors and the functions they
// stand in for live here.
std::atomic<DWORD> g_errors[FunctionCount];
std::atomic<void*> g_originals[FunctionCount];

// Recorded into the registry, so that a test sees what a program it runs
// passed, just as what the program's own process passed.
void Record(Function function, const char* field, const char* text)
{
    const std::string name = std::string(kNames[function]) + " " + field;
    const std::string data = text ? text : "";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>(data.size() + 1));
}

void Record(Function function, const char* field, DWORD number)
{
    const std::string name = std::string(kNames[function]) + " " + field;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), REG_DWORD, &number, sizeof number);
}

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

// The real folder is still written into the buffer, so that a caller that
// does not judge the answer goes on with a usable path, and is seen to.
UINT WINAPI LongGetSystemDirectoryA(LPSTR buffer, UINT size)
{
    using Real = UINT(WINAPI*)(LPSTR, UINT);
    reinterpret_cast<Real>(g_originals[GetSystemDirectory].load())(buffer, size);
    return g_errors[GetSystemDirectory];
}

BOOL WINAPI RecordShellExecuteExA(SHELLEXECUTEINFOA* info)
{
    Record(ShellExecuteEx, "lpVerb", info->lpVerb);
    Record(ShellExecuteEx, "lpFile", info->lpFile);
    Record(ShellExecuteEx, "lpParameters", info->lpParameters);
    const DWORD error = g_errors[ShellExecuteEx];
    SetLastError(error);
    return error == 0;
}

DWORD HandleNumber(HWND window) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)); }

// How a modal window left its owner: enabled again and active on the thread.
void RecordOwnerAfter(Function function, const std::string& prefix, HWND owner)
{
    Record(function, (prefix + "ownerEnabledAfter").c_str(), owner && IsWindowEnabled(owner) ? 1 : 0);
    Record(function, (prefix + "ownerActiveAfter").c_str(), owner && GetActiveWindow() == owner ? 1 : 0);
}

BOOL WINAPI RecordGetOpenFileNameA(OPENFILENAMEA* dialog)
{
    Record(GetOpenFileName, "lStructSize", dialog->lStructSize);
    Record(GetOpenFileName, "owner", HandleNumber(dialog->hwndOwner));
    using Real = BOOL(WINAPI*)(OPENFILENAMEA*);
    const BOOL result = reinterpret_cast<Real>(g_originals[GetOpenFileName].load())(dialog);
    RecordOwnerAfter(GetOpenFileName, "", dialog->hwndOwner);
    return result;
}

// Per dialog template: "DialogBoxParamA 132 owner" and so on.
INT_PTR WINAPI RecordDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param)
{
    const std::string prefix =
        IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<UINT_PTR>(name)) + " " : std::string(name) + " ";
    Record(DialogBoxParam, (prefix + "owner").c_str(), HandleNumber(owner));
    using Real = INT_PTR(WINAPI*)(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM);
    const INT_PTR result = reinterpret_cast<Real>(g_originals[DialogBoxParam].load())(instance, name, owner,
                                                                                       procedure, param);
    RecordOwnerAfter(DialogBoxParam, prefix, owner);
    return result;
}

void* const kFakes[FunctionCount] = {
    reinterpret_cast<void*>(FailRegSetValueExA),          reinterpret_cast<void*>(FailRegCreateKeyExA),
    reinterpret_cast<void*>(FailCreateServiceA),          reinterpret_cast<void*>(FailStartServiceA),
    reinterpret_cast<void*>(EmulatedEnumServicesStatusA), reinterpret_cast<void*>(LongGetSystemDirectoryA),
    reinterpret_cast<void*>(RecordShellExecuteExA),       reinterpret_cast<void*>(RecordGetOpenFileNameA),
    reinterpret_cast<void*>(RecordDialogBoxParamA)};

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

std::optional<std::string> RecordedText(const std::string& function, const std::string& field)
{
    char text[2048] = "";
    DWORD size = sizeof text;
    const std::string name = function + " " + field;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(text);
}

std::optional<DWORD> RecordedNumber(const std::string& function, const std::string& field)
{
    DWORD number = 0;
    DWORD size = sizeof number;
    const std::string name = function + " " + field;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return number;
}

void ForgetRecordedCalls()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kCallsKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCallsKey);
}

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
    g_originals[index] = hook.original();
    m_hooks.push_back(std::move(hook));
    m_injected.push_back(function);
    return true;
}

}  // namespace harness
