#pragma once
// Move-only owners for the platform's handles, so that no handle outlives
// the step that opened it and no dialog calls a close function by hand.
#include <windows.h>

#include <utility>

namespace fw {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : m_value(value) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }

    void reset(T value = Traits::Invalid())
    {
        if (m_value != Traits::Invalid())
            Traits::Close(m_value);
        m_value = value;
    }
    T release() { return std::exchange(m_value, Traits::Invalid()); }

    // For out-parameters: closes what is held and hands out the slot.
    T* put()
    {
        reset();
        return &m_value;
    }

private:
    T m_value = Traits::Invalid();
};

struct HkeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct ScHandleTraits {
    static SC_HANDLE Invalid() { return nullptr; }
    static void Close(SC_HANDLE handle) { CloseServiceHandle(handle); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};

// CreateFile answers INVALID_HANDLE_VALUE, not null, when it fails.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

using UniqueHkey = UniqueHandle<HKEY, HkeyTraits>;
using UniqueScHandle = UniqueHandle<SC_HANDLE, ScHandleTraits>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;

}  // namespace fw
