#include "ImportHook.h"

#include <utility>

namespace harness {
namespace {

template <typename T>
T* At(HMODULE module, DWORD rva)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

const IMAGE_DATA_DIRECTORY& ImportDirectory(HMODULE module)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = At<const IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
}

bool NamesFunction(HMODULE module, const IMAGE_THUNK_DATA& thunk, const char* function)
{
    if (IMAGE_SNAP_BY_ORDINAL(thunk.u1.Ordinal))
        return false;
    const auto* byName = At<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(thunk.u1.AddressOfData));
    return lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0;
}

void* Swap(IMAGE_THUNK_DATA& slot, void* replacement)
{
    DWORD protection = 0;
    if (!VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &protection))
        return nullptr;
    void* previous = reinterpret_cast<void*>(slot.u1.Function);
    slot.u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(&slot, sizeof slot, protection, &protection);
    return previous;
}

// Patches the matching slots of one DLL's import descriptor; returns the
// first previous target.
void* PatchDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, const char* function,
                      void* replacement)
{
    // Without the name table the bound slots cannot be told apart.
    if (!descriptor.OriginalFirstThunk)
        return nullptr;
    const auto* names = At<const IMAGE_THUNK_DATA>(module, descriptor.OriginalFirstThunk);
    auto* slots = At<IMAGE_THUNK_DATA>(module, descriptor.FirstThunk);
    void* first = nullptr;
    for (; names->u1.AddressOfData; ++names, ++slots) {
        if (!NamesFunction(module, *names, function))
            continue;
        void* previous = Swap(*slots, replacement);
        if (!first)
            first = previous;
    }
    return first;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    if (!module || !function)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = ImportDirectory(module);
    if (!directory.VirtualAddress)
        return nullptr;
    void* first = nullptr;
    for (auto* descriptor = At<const IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress); descriptor->Name;
         ++descriptor) {
        if (dll && lstrcmpiA(At<const char>(module, descriptor->Name), dll) != 0)
            continue;
        void* previous = PatchDescriptor(module, *descriptor, function, replacement);
        if (!first)
            first = previous;
    }
    return first;
}

CImportHook::CImportHook(HMODULE module, const char* dll, const char* function, void* replacement)
    : m_module(module),
      m_dll(dll ? dll : ""),
      m_function(function ? function : ""),
      m_original(PatchImport(module, dll, function, replacement))
{
}

CImportHook::CImportHook(CImportHook&& other) noexcept
    : m_module(other.m_module),
      m_dll(std::move(other.m_dll)),
      m_function(std::move(other.m_function)),
      m_original(std::exchange(other.m_original, nullptr))
{
}

CImportHook& CImportHook::operator=(CImportHook&& other) noexcept
{
    if (this != &other) {
        reset();
        m_module = other.m_module;
        m_dll = std::move(other.m_dll);
        m_function = std::move(other.m_function);
        m_original = std::exchange(other.m_original, nullptr);
    }
    return *this;
}

CImportHook::~CImportHook()
{
    reset();
}

void CImportHook::reset()
{
    if (m_original)
        PatchImport(m_module, m_dll.empty() ? nullptr : m_dll.c_str(), m_function.c_str(),
                    std::exchange(m_original, nullptr));
}

}  // namespace harness
