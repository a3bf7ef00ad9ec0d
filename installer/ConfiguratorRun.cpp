#include "ConfiguratorRun.h"

#include <string>

#include "ArgumentQuoting.h"
#include "EntryText.h"
#include "MsiSession.h"
#include "UniqueHandle.h"

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

}  // namespace

std::optional<DWORD> RunConfigurator(MSIHANDLE install, const ConfiguratorCall& call)
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
    std::string commandLine = CommandLineOf(call.program, call.arguments);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(call.program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &started)) {
        LogLine(install, call.program + " cannot be started: " + ErrorText(GetLastError()));
        return std::nullopt;
    }
    const fw::UniqueKernelHandle process(started.hProcess);
    const fw::UniqueKernelHandle thread(started.hThread);
    // Only the program holds the pipe's write end now: reading ends when it does.
    input.reset();
    PassLines(install, output.get());
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code))
        return code;
    LogLine(install, "the program's exit code cannot be read: " + ErrorText(GetLastError()));
    return std::nullopt;
}

}  // namespace qb480
