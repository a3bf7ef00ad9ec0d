#pragma once
// Fault injection by import address table patching: a module's calls of an
// imported function go to a replacement, everything else in the process is
// left alone. The replacement needs the function's exact WINAPI signature.
#include <windows.h>

#include <string>

namespace harness {

// Points every import slot of module for function (matched by name through
// OriginalFirstThunk; dll matched in any letter case, nullptr for any DLL)
// at replacement. Returns the first slot's previous target, or nullptr when
// the module imports no such function by name.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Installs a patch and takes it back on destruction (move-only).
class CImportHook {
public:
    CImportHook() = default;
    CImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
    CImportHook(CImportHook&& other) noexcept;
    CImportHook& operator=(CImportHook&& other) noexcept;
    CImportHook(const CImportHook&) = delete;
    CImportHook& operator=(const CImportHook&) = delete;
    ~CImportHook();

    explicit operator bool() const { return m_original != nullptr; }
    // The function the slot held before: call it to delegate.
    void* original() const { return m_original; }
    // Restores the slot now.
    void reset();

private:
    HMODULE m_module = nullptr;
    std::string m_dll;  // empty: any DLL
    std::string m_function;
    void* m_original = nullptr;
};

}  // namespace harness
