#include "ConfiguratorRun.h"

#include <string>

#include "ArgumentQuoting.h"
#include "EntryText.h"
#include "MsiSession.h"
#include "UniqueHandle.h"
#include "windows/SetupLock.h"

namespace qb480 {

namespace {

// Every line the program writes, as it writes it; the rest of a last line
// without its end too.
void PassLines(MSIHANDLE install, HANDLE output)
{
    std::string pending;
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(output, buffer, sizeof buffer, &read, nullptr) && read) {
        pending.append(buffer, read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            LogLine(install, pending.substr(0, end && pending[end - 1] == '\r' ? end - 1 : end));
    }
    if (!pending.empty())
        LogLine(install, pending);
}

std::string ErrorText(DWORD error) { return "error " + fw::DecimalText(static_cast<std::uint32_t>(error)); }

// Started suspended, so that the lease names it before it looks for the
// lock; its environment names the lease and the given values (it inherits
// this process's, which holds the variables only for the start).
std::optional<PROCESS_INFORMATION> StartLent(MSIHANDLE install, const std::string& program, std::string commandLine,
                                             STARTUPINFOA& startup, CSetupLock& lock,
                                             const EnvironmentValues& environment)
{
    const std::string nonce = lock.GetState() == CSetupLock::State::Held ? NewLeaseNonce() : std::string();
    SetEnvironmentVariableA(kSetupLeaseVariable, nonce.empty() ? nullptr : nonce.c_str());
    for (const auto& [name, value] : environment)
        SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    PROCESS_INFORMATION started = {};
    const bool ok = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &started);
    const DWORD error = GetLastError();
    SetEnvironmentVariableA(kSetupLeaseVariable, nullptr);
    for (const auto& [name, value] : environment)
        SetEnvironmentVariableA(name.c_str(), nullptr);
    if (!ok) {
        LogLine(install, program + " cannot be started: " + ErrorText(error));
        return std::nullopt;
    }
    if (!nonce.empty() && !lock.Lend(started.dwProcessId, nonce)) {
        LogLine(install, "the set-up lock cannot be lent to " + program + ": " + ErrorText(GetLastError()));
        TerminateProcess(started.hProcess, ERROR_INSTALL_FAILURE);
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
        return std::nullopt;
    }
    ResumeThread(started.hThread);
    return started;
}

}  // namespace

std::optional<DWORD> RunConfigurator(MSIHANDLE install, const std::string& program,
                                     const std::vector<std::string>& arguments, CSetupLock& lock,
                                     const EnvironmentValues& environment)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        LogLine(install, "no pipe for the program's lines: " + ErrorText(GetLastError()));
        return std::nullopt;
    }
    const fw::UniqueKernelHandle output(readEnd);
    fw::UniqueKernelHandle input(writeEnd);
    SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = input.get();
    // The program is named apart from the line, so that no other file on
    // the way to it is started instead.
    const auto started = StartLent(install, program, CommandLineOf(program, arguments), startup, lock, environment);
    if (!started)
        return std::nullopt;
    const fw::UniqueKernelHandle process(started->hProcess);
    const fw::UniqueKernelHandle thread(started->hThread);
    // Only the program holds the pipe's write end now: reading ends when it does.
    input.reset();
    PassLines(install, output.get());
    WaitForSingleObject(process.get(), INFINITE);
    lock.EndLoan();
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code))
        return code;
    LogLine(install, "the program's exit code cannot be read: " + ErrorText(GetLastError()));
    return std::nullopt;
}

}  // namespace qb480
