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
// OpenProcessToken, GetTokenInformation.
const std::vector<std::string>& FaultFunctions();

// What a recording replacement saw, from this or another process (see
// kCallsKey): a text field, or a number field; absent when no call was made.
std::optional<std::string> RecordedText(const std::string& function, const std::string& field);
std::optional<DWORD> RecordedNumber(const std::string& function, const std::string& field);
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
