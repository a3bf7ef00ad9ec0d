#pragma once
// Running code inside another process of the same architecture: kernel32
// sits at the same address in every process of one prefix, so LoadLibraryA
// can be a remote thread's start address.
#include <windows.h>

#include <string>

namespace harness {

// LoadLibraryA(dllPath) on a remote thread; true when it returned a module.
// Fails with the thread's error or WAIT_TIMEOUT in GetLastError. A process
// that runs is first waited for until it is idle in its message loop (see
// Remote.cpp); one whose main thread is still suspended is waiting already.
bool LoadLibraryInProcess(HANDLE process, const std::string& dllPath, int timeoutMs = 5000,
                          bool suspended = false);

// Load address of a module (file name, any letter case) in process pid, or
// nullptr when it is not loaded there.
HMODULE RemoteModule(DWORD pid, const std::string& moduleName);

// Runs function, a thread procedure exported by dllPath, in process pid on
// a copy of data[0..size) and copies the data back. Loads the DLL there
// first when needed. False when any step failed.
bool CallInProcess(DWORD pid, const std::string& dllPath, const char* function, void* data, size_t size,
                   int timeoutMs = 5000);

}  // namespace harness
