#include "ImportFaults.h"

#include "EnumEmulation.h"
#include "NamespaceEmulation.h"
#include "SessionEndWindow.h"
#include "TestKeys.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

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
    kSystemDirectory,
    kShellExecute,
    kOpenFileName,
    kDialogBox,
    kOpenToken,
    kTokenInformation,
    kCreateFile,
    kCtrlHandler,
    kGetProcAddress,
    kCreateMutex,
    kReportEvent,
    kFunctionCount
};

const char* const kNames[kFunctionCount] = {"RegSetValueExA", "RegCreateKeyExA",     "CreateServiceA",
                                            "StartServiceA",  "EnumServicesStatusA", "OpenSCManagerA",
                                            "OpenServiceA",   "DeleteService",       "RegOpenKeyExA",
                                            "CreateDialogParamA", "GetSystemDirectoryA", "ShellExecuteExA",
                                            "GetOpenFileNameA",   "DialogBoxParamA",     "OpenProcessToken",
                                            "GetTokenInformation", "CreateFileA",        "SetConsoleCtrlHandler",
                                            "GetProcAddress",     "CreateMutexA",        "ReportEventW"};

// The fakes are plain functions, so their errors live here; an access of 0
// fails every call, another only the calls that ask exactly that access.
std::atomic<DWORD> g_errors[kFunctionCount];
std::atomic<DWORD> g_access[kFunctionCount];
// What the slot held before, for the replacements that call on.
std::atomic<void*> g_originals[kFunctionCount];

void Record(Function function, const std::string& field, const char* text)
{
    RecordCall(kNames[function], field, text);
}

void Record(Function function, const std::string& field, DWORD number)
{
    RecordCall(kNames[function], field, number);
}

// Every access a function was asked for, OR-ed.
void RecordAccess(Function function, DWORD access)
{
    Record(function, "access", RecordedNumber(kNames[function], "access").value_or(0) | access);
}

template <typename Signature>
Signature Original(Function function)
{
    return reinterpret_cast<Signature>(g_originals[function].load());
}

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

// The program's console control handlers, as SetConsoleCtrlHandler's page
// keeps them: a list, called last-registered first until one returns TRUE;
// a removal takes that handler out only; (NULL, TRUE) ignores Ctrl+C.
std::mutex g_ctrlLock;
std::vector<PHANDLER_ROUTINE> g_ctrlHandlers;
bool g_ignoreCtrlC = false;

DWORD WINAPI RunCtrlHandlers(void*)
{
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        const std::lock_guard<std::mutex> guard(g_ctrlLock);
        if (g_ignoreCtrlC)
            return TRUE;
        handlers = g_ctrlHandlers;
    }
    for (auto handler = handlers.rbegin(); handler != handlers.rend(); ++handler)
        if ((*handler)(CTRL_C_EVENT))
            return TRUE;
    // The default handler "calls the ExitProcess function" (Console Control
    // Handlers); its code is not documented: Windows' and Wine's is this.
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// Once per process, as the system delivers a Ctrl+C: the handlers on a
// thread of their own while the program goes on ("the system creates a new
// thread in the process to execute the function"). The call that delivered
// it waits a moment for the handlers to answer, so that a test knows when
// the event came; that wait is the test's, not Windows'.
void DeliverCtrlC()
{
    static std::atomic<bool> delivered;
    if (delivered.exchange(true))
        return;
    if (const HANDLE thread = CreateThread(nullptr, 0, RunCtrlHandlers, nullptr, 0, nullptr)) {
        WaitForSingleObject(thread, 2000);
        CloseHandle(thread);
    }
}

BOOL WINAPI RecordSetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    {
        const std::lock_guard<std::mutex> guard(g_ctrlLock);
        if (!handler)
            g_ignoreCtrlC = add != FALSE;
        else if (add)
            g_ctrlHandlers.push_back(handler);
        else if (const auto found = std::find(g_ctrlHandlers.rbegin(), g_ctrlHandlers.rend(), handler);
                 found != g_ctrlHandlers.rend())
            g_ctrlHandlers.erase(std::next(found).base());
    }
    return Original<decltype(&SetConsoleCtrlHandler)>(kCtrlHandler)(handler, add);
}

// As Windows ends a session: WM_QUERYENDSESSION, then WM_ENDSESSION, sent to
// the program's session window from a thread of their own. The call that
// delivered them goes on once the first has been answered.
HANDLE g_queryAnswered = nullptr;

BOOL CALLBACK FindSessionWindow(HWND window, LPARAM found)
{
    char name[64] = "";
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetClassNameA(window, name, sizeof name) &&
        std::strcmp(name, fw::kSessionEndWindowClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI EndSession(void* window)
{
    const auto target = static_cast<HWND>(window);
    const LRESULT answer = SendMessageA(target, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
    RecordCall("WM_QUERYENDSESSION", "answer", static_cast<DWORD>(answer));
    SetEvent(g_queryAnswered);
    SendMessageA(target, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    return 0;
}

void DeliverSessionEnd()
{
    static std::atomic<bool> delivered;
    if (delivered.exchange(true))
        return;
    HWND window = nullptr;
    EnumWindows(FindSessionWindow, reinterpret_cast<LPARAM>(&window));
    if (!window) {
        RecordCall("WM_QUERYENDSESSION", "window", "none");
        return;
    }
    g_queryAnswered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (const HANDLE thread = CreateThread(nullptr, 0, EndSession, window, 0, nullptr)) {
        WaitForSingleObject(g_queryAnswered, 5000);
        CloseHandle(thread);
    }
}

LONG WINAPI FailRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    const DWORD error = g_errors[kSetValue];
    if (error != kDeliverCtrlC && error != kDeliverSessionEnd)
        return static_cast<LONG>(error);
    if (error == kDeliverCtrlC)
        DeliverCtrlC();
    else
        DeliverSessionEnd();
    return Real<decltype(&RegSetValueExA)>(kSetValue)(key, name, reserved, type, data, size);
}

LONG WINAPI FailRegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (g_errors[kCreateKey] == 0)
        RecordAccess(kCreateKey, access);
    else if (Fails(kCreateKey, access))
        return static_cast<LONG>(g_errors[kCreateKey].load());
    return Real<decltype(&RegCreateKeyExA)>(kCreateKey)(key, subKey, reserved, keyClass, options, access,
                                                             security, result, disposition);
}

LONG WINAPI FailRegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (g_errors[kOpenKey] == 0)
        RecordAccess(kOpenKey, access);
    else if (Fails(kOpenKey, access))
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

// What the Service Control Manager grants a caller without the
// Administrators group ("Service Security and Access Rights", Access
// Rights for the Service Control Manager: local authenticated users),
// after its generic rights are mapped by the same page's table.
bool GrantedToStandardUser(DWORD access)
{
    static constexpr DWORD kGranted =
        SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | STANDARD_RIGHTS_READ;
    const DWORD generic[][2] = {
        {GENERIC_READ, STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS},
        {GENERIC_WRITE, STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG},
        {GENERIC_EXECUTE, STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK},
        {GENERIC_ALL, SC_MANAGER_ALL_ACCESS}};
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    for (const auto& [right, rights] : generic)
        if (access & right)
            mapped |= rights;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
        CheckTokenMembership(nullptr, administrators, &member) && member)
        return true;
    return (mapped & ~kGranted) == 0;
}

SC_HANDLE WINAPI FailOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access)
{
    const DWORD error = g_errors[kOpenManager];
    if (error == 0)
        RecordAccess(kOpenManager, access);
    // Wine grants every caller all; Windows does not.
    if (error == 0 && !GrantedToStandardUser(access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (error == kDeliverCtrlC)
        DeliverCtrlC();
    if (error == 0 || error == kDeliverCtrlC || !Fails(kOpenManager, access))
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

// The record is not written; ReportEventW's page names the errors
// (ERROR_INVALID_PARAMETER, ERROR_NOT_ENOUGH_MEMORY, RPC_S_INVALID_BOUND...).
BOOL WINAPI FailReportEventW(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID)
{
    SetLastError(g_errors[kReportEvent]);
    return FALSE;
}

HWND WINAPI FailCreateDialogParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM)
{
    SetLastError(g_errors[kCreateDialog]);
    return nullptr;
}

// The real folder is still written into the buffer, so that a caller that
// does not judge the answer goes on with a usable path, and is seen to.
UINT WINAPI LongGetSystemDirectoryA(LPSTR buffer, UINT size)
{
    Original<decltype(&GetSystemDirectoryA)>(kSystemDirectory)(buffer, size);
    return g_errors[kSystemDirectory];
}

BOOL WINAPI RecordShellExecuteExA(SHELLEXECUTEINFOA* info)
{
    Record(kShellExecute, "lpVerb", info->lpVerb);
    Record(kShellExecute, "lpFile", info->lpFile);
    Record(kShellExecute, "lpParameters", info->lpParameters);
    const DWORD error = g_errors[kShellExecute];
    SetLastError(error);
    return error == 0;
}

DWORD HandleNumber(HWND window) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)); }

// How a modal window left its owner: enabled again and active on the thread.
void RecordOwnerAfter(Function function, const std::string& prefix, HWND owner)
{
    Record(function, prefix + "ownerEnabledAfter", owner && IsWindowEnabled(owner) ? 1u : 0u);
    Record(function, prefix + "ownerActiveAfter", owner && GetActiveWindow() == owner ? 1u : 0u);
}

BOOL WINAPI RecordGetOpenFileNameA(OPENFILENAMEA* dialog)
{
    Record(kOpenFileName, "lStructSize", dialog->lStructSize);
    Record(kOpenFileName, "owner", HandleNumber(dialog->hwndOwner));
    const BOOL result = Original<decltype(&GetOpenFileNameA)>(kOpenFileName)(dialog);
    RecordOwnerAfter(kOpenFileName, "", dialog->hwndOwner);
    return result;
}

// Per dialog template: "DialogBoxParamA 132 owner" and so on.
INT_PTR WINAPI RecordDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param)
{
    const std::string prefix =
        IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<UINT_PTR>(name)) + " " : std::string(name) + " ";
    Record(kDialogBox, prefix + "owner", HandleNumber(owner));
    const INT_PTR result = Original<decltype(&DialogBoxParamA)>(kDialogBox)(instance, name, owner, procedure, param);
    RecordOwnerAfter(kDialogBox, prefix, owner);
    return result;
}

BOOL WINAPI FailOpenProcessToken(HANDLE, DWORD, PHANDLE)
{
    SetLastError(g_errors[kOpenToken]);
    return FALSE;
}

// The elevation of a token as a limited administrator's (error 0) or as a
// system that does not know the class (NT 4.0: the error); every other class
// is answered by the real function.
BOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD size,
                                    PDWORD returned)
{
    if (infoClass != TokenElevation)
        return Real<decltype(&GetTokenInformation)>(kTokenInformation)(token, infoClass, info, size, returned);
    if (const DWORD error = g_errors[kTokenInformation]) {
        SetLastError(error);
        return FALSE;
    }
    if (size < sizeof(TOKEN_ELEVATION)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    static_cast<TOKEN_ELEVATION*>(info)->TokenIsElevated = 0;
    if (returned)
        *returned = sizeof(TOKEN_ELEVATION);
    return TRUE;
}

HANDLE WINAPI AppendAnywhereCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                        DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if ((access & FILE_APPEND_DATA) && !(access & FILE_WRITE_DATA))
        access |= FILE_WRITE_DATA;
    return Original<decltype(&CreateFileA)>(kCreateFile)(name, access, share, security, disposition, flags,
                                                          templateFile);
}

void* const kFakes[kFunctionCount] = {
    reinterpret_cast<void*>(FailRegSetValueExA), reinterpret_cast<void*>(FailRegCreateKeyExA),
    reinterpret_cast<void*>(FailCreateServiceA), reinterpret_cast<void*>(FailStartServiceA),
    reinterpret_cast<void*>(EmulatedEnumServicesStatusA), reinterpret_cast<void*>(FailOpenSCManagerA),
    reinterpret_cast<void*>(FailOpenServiceA), reinterpret_cast<void*>(FailDeleteService),
    reinterpret_cast<void*>(FailRegOpenKeyExA), reinterpret_cast<void*>(FailCreateDialogParamA),
    reinterpret_cast<void*>(LongGetSystemDirectoryA), reinterpret_cast<void*>(RecordShellExecuteExA),
    reinterpret_cast<void*>(RecordGetOpenFileNameA), reinterpret_cast<void*>(RecordDialogBoxParamA),
    reinterpret_cast<void*>(FailOpenProcessToken), reinterpret_cast<void*>(FakeGetTokenInformation),
    reinterpret_cast<void*>(AppendAnywhereCreateFileA), reinterpret_cast<void*>(RecordSetConsoleCtrlHandler),
    reinterpret_cast<void*>(EmulatedGetProcAddress), reinterpret_cast<void*>(RecordingCreateMutexA),
    reinterpret_cast<void*>(FailReportEventW)};

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

void RecordCall(const std::string& function, const std::string& field, const char* text)
{
    const std::string name = function + " " + field;
    const std::string data = text ? text : "";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>(data.size() + 1));
}

void RecordCall(const std::string& function, const std::string& field, DWORD number)
{
    const std::string name = function + " " + field;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCallsKey, name.c_str(), REG_DWORD, &number, sizeof number);
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
    if (index == kGetProcAddress)
        SetNamespaceFailure(error);
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
