#include "Remote.h"

#include "Handles.h"

#include <tlhelp32.h>

#include <vector>

namespace harness {
namespace {

class CRemoteMemory {
public:
    CRemoteMemory(HANDLE process, size_t size)
        : m_process(process),
          m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
    }
    ~CRemoteMemory()
    {
        if (m_address)
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    CRemoteMemory(const CRemoteMemory&) = delete;
    CRemoteMemory& operator=(const CRemoteMemory&) = delete;

    void* get() const { return m_address; }
    bool Write(const void* data, size_t size) const
    {
        return m_address && WriteProcessMemory(m_process, m_address, data, size, nullptr);
    }
    bool Read(void* data, size_t size) const
    {
        return m_address && ReadProcessMemory(m_process, m_address, data, size, nullptr);
    }

private:
    HANDLE m_process;
    void* m_address;
};

// Runs start(argument) in process and returns the thread's exit code, or
// nothing when the thread could not run to its end in time.
bool RunRemoteThread(HANDLE process, LPTHREAD_START_ROUTINE start, void* argument, int timeoutMs, DWORD& exitCode)
{
    fw::UniqueKernelHandle thread(CreateRemoteThread(process, nullptr, 0, start, argument, 0, nullptr));
    if (!thread)
        return false;
    if (WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) {
        SetLastError(WAIT_TIMEOUT);
        return false;
    }
    return GetExitCodeThread(thread.get(), &exitCode) != 0;
}

std::string FileName(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

// Wine carries out another process's share of VirtualAllocEx, VirtualFreeEx
// and CreateRemoteThread as a system APC in one of that process's threads.
// It picks a thread that is waiting; when none is, it interrupts a running
// one with a signal and runs the APC inside the signal handler, and an APC
// that allocates memory there can corrupt the heap of a thread stopped in
// the middle of an allocation. Such a program then hangs in a loop of
// failed aborts, and the caller with it. So the calls wait until the
// program has gone idle in its message loop after starting, and each of
// its windows' threads has answered a message, which it does only from
// its message loop.
void WaitUntilIdle(HANDLE process, int timeoutMs)
{
    WaitForInputIdle(process, static_cast<DWORD>(timeoutMs));
    std::vector<HWND> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    const DWORD pid = GetProcessId(process);
    for (HWND window : windows) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        DWORD_PTR ignored = 0;
        if (owner == pid)
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, static_cast<UINT>(timeoutMs), &ignored);
    }
}

}  // namespace

bool LoadLibraryInProcess(HANDLE process, const std::string& dllPath, int timeoutMs, bool suspended)
{
    if (!suspended)
        WaitUntilIdle(process, timeoutMs);
    CRemoteMemory name(process, dllPath.size() + 1);
    if (!name.Write(dllPath.c_str(), dllPath.size() + 1))
        return false;
    const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    DWORD module = 0;
    if (!RunRemoteThread(process, loadLibrary, name.get(), timeoutMs, module))
        return false;
    // The exit code holds only the low half of a 64-bit module address.
    if (module == 0 && !RemoteModule(GetProcessId(process), FileName(dllPath))) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    return true;
}

HMODULE RemoteModule(DWORD pid, const std::string& moduleName)
{
    UniqueSnapshot snapshot;
    // ERROR_BAD_LENGTH asks to try again while the module list changes.
    for (int attempt = 0; attempt < 5 && !snapshot; ++attempt)
        snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot)
        return nullptr;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot.get(), &entry); more; more = Module32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szModule, moduleName.c_str()) == 0)
            return entry.hModule;
    return nullptr;
}

bool CallInProcess(DWORD pid, const std::string& dllPath, const char* function, void* data, size_t size,
                   int timeoutMs)
{
    UniqueModule local(LoadLibraryA(dllPath.c_str()));
    const FARPROC localFunction = local ? GetProcAddress(local.get(), function) : nullptr;
    if (!localFunction)
        return false;
    fw::UniqueKernelHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (!process)
        return false;
    HMODULE remote = RemoteModule(pid, FileName(dllPath));
    if (!remote && LoadLibraryInProcess(process.get(), dllPath, timeoutMs))
        remote = RemoteModule(pid, FileName(dllPath));
    if (!remote)
        return false;
    const auto offset = reinterpret_cast<const BYTE*>(localFunction) - reinterpret_cast<const BYTE*>(local.get());
    const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<BYTE*>(remote) + offset);
    WaitUntilIdle(process.get(), timeoutMs);
    CRemoteMemory copy(process.get(), size);
    DWORD result = 0;
    return copy.Write(data, size) && RunRemoteThread(process.get(), start, copy.get(), timeoutMs, result) &&
           result != 0 && copy.Read(data, size);
}

}  // namespace harness
