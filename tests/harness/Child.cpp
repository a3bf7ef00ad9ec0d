#include "Child.h"

#include "HarnessFiles.h"
#include "Remote.h"
#include "TestKeys.h"

#include <algorithm>
#include <cstdio>

namespace harness {
namespace {

constexpr int kKillWaitMs = 5000;

std::string Failed(const char* step)
{
    return std::string(step) + " failed with " + std::to_string(GetLastError());
}

bool KillOnClose(HANDLE job)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) != 0;
}

bool WriteFaultPlan(const std::vector<std::pair<std::string, DWORD>>& faults, DWORD enumFillers,
                    const std::string& moduleName = std::string())
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kFaultsKey);
    fw::UniqueHkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFaultsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr))
        return false;
    auto setDword = [&](const std::string& name, DWORD value) {
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value) == ERROR_SUCCESS;
    };
    for (const auto& [function, error] : faults)
        if (!setDword(function, error))
            return false;
    if (!moduleName.empty() &&
        RegSetValueExA(key.get(), kModuleValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(moduleName.c_str()),
                       static_cast<DWORD>(moduleName.size() + 1)) != ERROR_SUCCESS)
        return false;
    return enumFillers == 0 || setDword(kFillersValue, enumFillers);
}

}  // namespace

BOOL CreateOnceMoreIfNeverStarted(const std::function<BOOL()>& create, const std::string& commandLine)
{
    if (create())
        return TRUE;
    if (GetLastError() != ERROR_INTERNAL_ERROR)
        return FALSE;
    // Wine's answer when the new process ended before it reported its
    // start: it never ran a line of its own (CChild creates it suspended).
    std::fprintf(stderr, "%s%s (error 1359: it never started)\n", kStartRepeatedMark, commandLine.c_str());
    std::fflush(stderr);
    return create();
}

std::vector<std::string> PatchedFunctions()
{
    char data[1024] = {};
    DWORD size = sizeof data - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kFaultsKey, kPatchedValue, RRF_RT_REG_MULTI_SZ, nullptr, data, &size))
        return {};
    std::vector<std::string> names;
    for (const char* name = data; *name; name += names.back().size() + 1)
        names.emplace_back(name);
    return names;
}

CChild::CChild(const std::string& commandLine, const std::string& currentDirectory, const ChildStart& start)
{
    m_job.reset(CreateJobObjectA(nullptr, nullptr));
    if (!m_job || !KillOnClose(m_job.get())) {
        m_startError = Failed("creating the job");
        return;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const BOOL inherit = start.output ? TRUE : FALSE;
    if (start.output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = start.output;
    }
    PROCESS_INFORMATION started = {};
    const char* directory = currentDirectory.empty() ? nullptr : currentDirectory.c_str();
    auto create = [&] {
        std::string mutableLine = commandLine;
        return start.token ? CreateProcessAsUserA(start.token, nullptr, mutableLine.data(), nullptr, nullptr, inherit,
                                                  CREATE_SUSPENDED, nullptr, directory, &startup, &started)
                           : CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, inherit, CREATE_SUSPENDED,
                                            nullptr, directory, &startup, &started);
    };
    if (!CreateOnceMoreIfNeverStarted(create, commandLine)) {
        m_startError = Failed(("starting " + commandLine).c_str());
        return;
    }
    fw::UniqueKernelHandle process(started.hProcess);
    fw::UniqueKernelHandle thread(started.hThread);
    if (!AssignProcessToJobObject(m_job.get(), process.get())) {
        m_startError = Failed("putting the process into the job");
        TerminateProcess(process.get(), 1);
        return;
    }
    m_process = std::move(process);
    m_thread = std::move(thread);
    m_pid = started.dwProcessId;
    if (!start.suspended)
        Resume();
}

void CChild::Resume()
{
    if (m_thread)
        ResumeThread(m_thread.get());
    m_thread.reset();
}

fw::UniqueKernelHandle LimitedToken()
{
    fw::UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put()))
        return fw::UniqueKernelHandle();
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size))
        return fw::UniqueKernelHandle();
    const fw::UniqueKernelHandle impersonation(linked.LinkedToken);
    fw::UniqueKernelHandle primary;
    if (!DuplicateTokenEx(impersonation.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.put()))
        return fw::UniqueKernelHandle();
    return primary;
}

fw::UniqueKernelHandle NonAdministratorToken()
{
    fw::UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, own.put()))
        return fw::UniqueKernelHandle();
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return fw::UniqueKernelHandle();
    SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
    fw::UniqueKernelHandle restricted;
    const BOOL made = CreateRestrictedToken(own.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, restricted.put());
    FreeSid(administrators);
    return made ? std::move(restricted) : fw::UniqueKernelHandle();
}

CChild::~CChild()
{
    // Closing the job ends the process: JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE.
    m_job.reset();
    if (m_process)
        WaitForSingleObject(m_process.get(), kKillWaitMs);
}

std::optional<DWORD> CChild::Wait(int timeoutMs) const
{
    DWORD code = 0;
    if (!m_process || WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(m_process.get(), &code))
        return std::nullopt;
    return code;
}

void CChild::Kill()
{
    if (m_job)
        TerminateJobObject(m_job.get(), 1);
    if (m_process)
        WaitForSingleObject(m_process.get(), kKillWaitMs);
}

bool InjectLibrary(CChild& child, const std::string& dllPath)
{
    return child.Started() && LoadLibraryInProcess(child.process(), dllPath, 5000, child.Suspended());
}

namespace {

// The plan written, then iathook.dll loaded into the child to carry it out.
bool PlanAndInject(CChild& child, const std::vector<std::pair<std::string, DWORD>>& faults, DWORD enumFillers,
                   const std::string& moduleName, const CallSite& where)
{
    if (!WriteFaultPlan(faults, enumFillers, moduleName)) {
        Fail(where, "could not write the fault plan under HKLM\\" + std::string(kFaultsKey));
        return false;
    }
    if (!InjectLibrary(child, HarnessBinary("iathook.dll"))) {
        Fail(where, "could not load iathook.dll into process " + std::to_string(child.pid()) + ": error " +
                        std::to_string(GetLastError()));
        return false;
    }
    return true;
}

}  // namespace

bool InjectFaultsWhenLoaded(CChild& child, const std::string& moduleName,
                            const std::vector<std::pair<std::string, DWORD>>& faults, CallSite where)
{
    return PlanAndInject(child, faults, 0, moduleName, where);
}

bool InjectFaults(CChild& child, const std::vector<std::pair<std::string, DWORD>>& faults, DWORD enumFillers,
                  CallSite where)
{
    if (!PlanAndInject(child, faults, enumFillers, std::string(), where))
        return false;
    const std::vector<std::string> patched = PatchedFunctions();
    bool all = true;
    for (const auto& fault : faults) {
        if (std::find(patched.begin(), patched.end(), fault.first) == patched.end()) {
            Fail(where, "iathook.dll did not patch " + fault.first + " (not imported by the program?)");
            all = false;
        }
    }
    return all;
}

}  // namespace harness
