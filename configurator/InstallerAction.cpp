// The installer packages' deferred action that sets the board up. Windows
// Installer keeps an EXE action's exit code but none of its output, and it
// takes every code but 0 as failure. This action runs the installed
// qb480cfg.exe with the command line the package put into
// CustomActionData, passes each line it prints into the installer's log,
// and fails the installation on any code but 0 and 3010 (done, taken by
// the driver at its next start).
#include <windows.h>
#include <msiquery.h>

#include <string>

#include "UniqueHandle.h"

namespace {

constexpr DWORD kDoneDriverRuns = 3010;

class CMsiRecord {
public:
    explicit CMsiRecord(unsigned fields) : m_record(MsiCreateRecord(fields)) {}
    ~CMsiRecord()
    {
        if (m_record)
            MsiCloseHandle(m_record);
    }
    CMsiRecord(const CMsiRecord&) = delete;
    CMsiRecord& operator=(const CMsiRecord&) = delete;
    MSIHANDLE get() const { return m_record; }

private:
    MSIHANDLE m_record;
};

void LogLine(MSIHANDLE install, const std::string& line)
{
    const CMsiRecord record(1);
    MsiRecordSetStringA(record.get(), 0, ("qb480cfg: " + line).c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

std::string Decimal(DWORD value)
{
    std::string digits;
    do
        digits.insert(digits.begin(), static_cast<char>('0' + value % 10));
    while (value /= 10);
    return digits;
}

std::string ActionData(MSIHANDLE install)
{
    char empty[1] = {};
    DWORD size = 0;
    if (MsiGetPropertyA(install, "CustomActionData", empty, &size) != ERROR_MORE_DATA)
        return std::string();
    std::string data(size + 1, '\0');
    size = static_cast<DWORD>(data.size());
    if (MsiGetPropertyA(install, "CustomActionData", &data[0], &size) != ERROR_SUCCESS)
        return std::string();
    data.resize(size);
    return data;
}

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

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall ConfigureBoard(MSIHANDLE install)
{
    std::string commandLine = ActionData(install);
    if (commandLine.empty()) {
        LogLine(install, "the action was given no command line");
        return ERROR_INSTALL_FAILURE;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        LogLine(install, "no pipe for the program's lines: error " + Decimal(GetLastError()));
        return ERROR_INSTALL_FAILURE;
    }
    const fw::UniqueKernelHandle output(readEnd);
    fw::UniqueKernelHandle input(writeEnd);
    SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = input.get();
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &started)) {
        LogLine(install, "cannot be started: error " + Decimal(GetLastError()) + ", command line " + commandLine);
        return ERROR_INSTALL_FAILURE;
    }
    const fw::UniqueKernelHandle process(started.hProcess);
    const fw::UniqueKernelHandle thread(started.hThread);
    // Only the program holds the pipe's write end now: reading ends when it does.
    input.reset();
    PassLines(install, output.get());
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    LogLine(install, "ended with exit code " + Decimal(code));
    return code == 0 || code == kDoneDriverRuns ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}
