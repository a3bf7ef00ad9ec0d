#pragma once
// A program under test started in a job that kills it when the job handle
// closes, so that no modal dialog outlives a failed test.
#include "CallSite.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// How a child starts, besides its command line and folder.
struct ChildStart {
    // A primary token to run under (CreateProcessAsUser); null: this
    // process's own.
    HANDLE token = nullptr;
    // Leave the main thread suspended until Resume(), so that a DLL can be
    // injected before the program has run any of its own code.
    bool suspended = false;
    // An inheritable handle that takes the child's standard output and
    // error (a console program's lines); null: the child's own.
    HANDLE output = nullptr;
};

// A start that Wine failed with ERROR_INTERNAL_ERROR, the process never
// having run, is made once more, and this line, before its command line,
// says so on stderr: ./test counts them in its summary.
inline constexpr char kStartRepeatedMark[] = "harness: start repeated: ";

// Calls create (a CreateProcess of commandLine, its process created
// suspended), and once more, with the line above, when it failed so. Any
// other failure is never repeated.
BOOL CreateOnceMoreIfNeverStarted(const std::function<BOOL()>& create, const std::string& commandLine);

class CChild {
public:
    // Starts commandLine (the program first, quoted when it holds blanks)
    // suspended, puts it into a KILL_ON_JOB_CLOSE job, then lets it run.
    // currentDirectory empty: this process's.
    CChild(const std::string& commandLine, const std::string& currentDirectory = std::string(),
           const ChildStart& start = {});
    // Closes the job, which kills what is left of the process, and waits
    // for its end.
    ~CChild();
    CChild(CChild&&) noexcept = default;
    CChild& operator=(CChild&&) noexcept = default;
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool Started() const { return static_cast<bool>(m_process); }
    // Why the start failed: the step and its error.
    const std::string& StartError() const { return m_startError; }

    DWORD pid() const { return m_pid; }
    HANDLE process() const { return m_process.get(); }
    HANDLE job() const { return m_job.get(); }
    // The exit code, or nothing when it still runs after timeoutMs.
    std::optional<DWORD> Wait(int timeoutMs) const;
    // Ends the process (exit code 1) and waits until it is gone.
    void Kill();
    // Lets a child started suspended run.
    void Resume();
    bool Suspended() const { return static_cast<bool>(m_thread); }

private:
    fw::UniqueKernelHandle m_job;
    fw::UniqueKernelHandle m_process;
    fw::UniqueKernelHandle m_thread;
    DWORD m_pid = 0;
    std::string m_startError;
};

// This process's limited linked token (what an administrator's programs get
// since Windows Vista) as a primary token for ChildStart; empty when the
// system has none. Wine starts every process elevated, but with this token
// a program sees itself limited.
fw::UniqueKernelHandle LimitedToken();

// This process's token with the Administrators group made deny-only
// (CreateRestrictedToken), as a primary token for ChildStart: a program
// started with it is no administrator, as a standard user's program on
// Windows is not. Empty when it cannot be made.
fw::UniqueKernelHandle NonAdministratorToken();

// Loads dllPath into the child (VirtualAllocEx, WriteProcessMemory,
// CreateRemoteThread on LoadLibraryA) and waits until its DllMain has run.
// False with the error in GetLastError when it failed.
bool InjectLibrary(CChild& child, const std::string& dllPath);

// Makes the child's exe fail the given imports (pairs of a name from
// FaultFunctions() and an error, see CImportFaults::Inject): writes the plan
// under HKLM\SOFTWARE\QB480Test\Faults, injects iathook.dll and checks
// that every function was patched. enumFillers: see EnumServicesPlan.
// Reports a failure at the caller's line and returns false otherwise.
bool InjectFaults(CChild& child, const std::vector<std::pair<std::string, DWORD>>& faults, DWORD enumFillers = 0,
                  CallSite where = {});

// The same for a DLL the child loads later (moduleName, any letter case),
// such as an applet a Control Panel loads: iathook.dll patches it as soon
// as it is loaded. Inject into a child started suspended, before Resume().
// Which functions were patched shows in PatchedFunctions() once it loaded.
bool InjectFaultsWhenLoaded(CChild& child, const std::string& moduleName,
                            const std::vector<std::pair<std::string, DWORD>>& faults, CallSite where = {});

// What iathook.dll reported it patched, in the order it patched them.
std::vector<std::string> PatchedFunctions();

}  // namespace harness
