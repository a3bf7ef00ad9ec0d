#pragma once
// Ready-made failing replacements for the imports whose failures the
// deliverables must report, patched into one module's import table.
#include "ImportHook.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace harness {

// The functions Inject() accepts: RegSetValueExA, RegCreateKeyExA,
// CreateServiceA, StartServiceA, EnumServicesStatusA, OpenSCManagerA,
// OpenServiceA, DeleteService, RegOpenKeyExA, CreateDialogParamA,
// GetSystemDirectoryA, ShellExecuteExA, GetOpenFileNameA, DialogBoxParamA,
// OpenProcessToken, GetTokenInformation, CreateFileA, SetConsoleCtrlHandler,
// GetProcAddress, CreateMutexA, ReportEventW.
const std::vector<std::string>& FaultFunctions();

// The error that makes RegSetValueExA or OpenSCManagerA deliver a Ctrl+C at
// the program's first call, then do its real work: STATUS_CONTROL_C_EXIT.
inline constexpr DWORD kDeliverCtrlC = 0xC000013A;
// The error that makes RegSetValueExA end the session at the program's
// first call, as Windows ends it for a shutdown, then do its real work:
// WM_QUERYENDSESSION and WM_ENDSESSION sent to the program's session window
// (SessionEndWindow.h); RecordedNumber("WM_QUERYENDSESSION", "answer").
inline constexpr DWORD kDeliverSessionEnd = 0xC048E5D0;

// What a recording replacement saw, from this or another process (see
// kCallsKey): a text field, or a number field; absent when no call was made.
std::optional<std::string> RecordedText(const std::string& function, const std::string& field);
std::optional<DWORD> RecordedNumber(const std::string& function, const std::string& field);
// What a replacement records.
void RecordCall(const std::string& function, const std::string& field, const char* text);
void RecordCall(const std::string& function, const std::string& field, DWORD number);
// Forgets every recorded call.
void ForgetRecordedCalls();

// Restores every slot it patched on destruction (move-only).
class CImportFaults {
public:
    explicit CImportFaults(HMODULE module) : m_module(module) {}
    ~CImportFaults();
    CImportFaults(CImportFaults&&) = default;
    CImportFaults& operator=(CImportFaults&&) = default;
    CImportFaults(const CImportFaults&) = delete;
    CImportFaults& operator=(const CImportFaults&) = delete;

    // From now on the module's calls of function fail with error: the
    // registry functions return it and write nothing; the others return
    // NULL or FALSE with it as the last error;
    // EnumServicesStatusA fails with it and no entries, except that 234
    // (ERROR_MORE_DATA) installs the Windows-like emulation instead, which
    // fails only when the entries do not fit (see EnumEmulation.h).
    // GetSystemDirectoryA answers error as its length (MAX_PATH or more: a
    // folder too long for the caller's buffer), yet leaves the real folder
    // in the buffer.
    // ShellExecuteExA records lpVerb, lpFile and lpParameters, starts
    // nothing, and succeeds (error 0) or fails with error as the last error.
    // GetOpenFileNameA records lStructSize and its owner (hwndOwner), runs
    // the real dialog, then records whether that owner is enabled and active
    // again (ownerEnabledAfter, ownerActiveAfter: 1 or 0). DialogBoxParamA
    // records the same per template ("132 owner", "132 ownerActiveAfter").
    // Their error is not used. GetTokenInformation answers TokenElevation
    // as for a limited administrator (error 0) or fails with error as a
    // system without elevation does; other classes get the real answer.
    // Error 0 makes OpenSCManagerA, RegOpenKeyExA and RegCreateKeyExA record
    // every access they are asked for, OR-ed ("OpenSCManagerA access"), and
    // do their real work; OpenSCManagerA refuses a caller without the
    // Administrators group what its page does not grant local users, as
    // Windows does and Wine does not. No page gives the default security of
    // the registry's keys: the registry functions refuse nothing. kDeliverCtrlC: see there; SetConsoleCtrlHandler
    // keeps the handler it is given, for that delivery, which runs it on a
    // thread of its own as the system does, or ends the process as the
    // default handler does when there is none (or it answers FALSE).
    // CreateFileA asked for FILE_APPEND_DATA without FILE_WRITE_DATA adds
    // FILE_WRITE_DATA, as a share that does not keep such writes at the
    // end. GetProcAddress and CreateMutexA: NamespaceEmulation.h. Their
    // error is not used.
    // False when function is not one of FaultFunctions() or the module does
    // not import it.
    bool Inject(const std::string& function, DWORD error);
    // The same for the calls that ask exactly this access only, the others
    // going to the real function: RegCreateKeyExA, RegOpenKeyExA and
    // OpenSCManagerA, for one of several opens of a step.
    bool InjectForAccess(const std::string& function, DWORD access, DWORD error);
    // The functions patched so far.
    const std::vector<std::string>& Injected() const { return m_injected; }

private:
    HMODULE m_module;
    std::vector<CImportHook> m_hooks;
    std::vector<std::string> m_injected;
};

}  // namespace harness
