#pragma once
// The system folder, where the board driver and the firmware image live in
// its "drivers" folder, and the real view of it for 32-bit code on 64-bit
// Windows.
#include <windows.h>

#include <optional>
#include <string>

namespace qb480 {

// GetSystemDirectoryA's answer; absent when it fails or does not fit
// MAX_PATH, so that no path is ever built on a missing folder.
std::optional<std::string> SystemDirectory();

// The folder of the system programs of this process's own kind. A 32-bit
// process on 64-bit Windows finds its rundll32.exe in the folder that
// GetSystemWow64DirectoryA names: a start that is not redirected (an
// elevated one) would find the 64-bit program in System32. Elsewhere it is
// SystemDirectory(). Absent when it cannot be told.
std::optional<std::string> OwnKindSystemDirectory();

// A kernel32 function newer than NT 4.0, looked up at run time; null where
// the system lacks it. Inline, for the code that has this header only.
inline void* Kernel32Function(const char* name)
{
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? reinterpret_cast<void*>(GetProcAddress(kernel32, name)) : nullptr;
}

// A 32-bit process on 64-bit Windows is sent to SysWOW64 when it opens a
// file under System32, but the kernel and the helper driver look only in
// the real System32\drivers. While this object lives, the thread's file
// calls see the real folders; they are redirected again when it ends.
// Elsewhere (32-bit Windows, a 64-bit process) nothing changes. The
// functions are looked up at run time: NT 4.0's kernel32 has none of them.
class CRealFileSystemView {
public:
    CRealFileSystemView()
    {
        using Disable = BOOL(WINAPI*)(PVOID*);
        const auto disable = reinterpret_cast<Disable>(Kernel32Function("Wow64DisableWow64FsRedirection"));
        m_disabled = disable && disable(&m_previous);
    }
    ~CRealFileSystemView()
    {
        using Revert = BOOL(WINAPI*)(PVOID);
        const auto revert = reinterpret_cast<Revert>(Kernel32Function("Wow64RevertWow64FsRedirection"));
        if (m_disabled && revert)
            revert(m_previous);
    }
    CRealFileSystemView(const CRealFileSystemView&) = delete;
    CRealFileSystemView& operator=(const CRealFileSystemView&) = delete;

private:
    PVOID m_previous = nullptr;
    bool m_disabled = false;
};

}  // namespace qb480
