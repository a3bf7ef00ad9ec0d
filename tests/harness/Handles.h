#pragma once
// One move-only owner per kind of Windows handle, after the shape of WIL's
// unique_any: get() to use it, reset() to close it, release() to give it away
// and put() to fill it through an out-parameter.
#include <windows.h>

#include <utility>

namespace harness {

template <typename Traits>
class CUnique {
public:
    using Type = typename Traits::Type;

    CUnique() = default;
    explicit CUnique(Type value) : m_value(value) {}
    CUnique(CUnique&& other) noexcept : m_value(other.release()) {}
    CUnique& operator=(CUnique&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    CUnique(const CUnique&) = delete;
    CUnique& operator=(const CUnique&) = delete;
    ~CUnique() { reset(); }

    Type get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }

    void reset(Type value = Traits::Invalid())
    {
        if (m_value != Traits::Invalid())
            Traits::Close(m_value);
        m_value = value;
    }
    Type release() { return std::exchange(m_value, Traits::Invalid()); }
    Type* put()
    {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Invalid();
};

struct HandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { CloseHandle(value); }
};

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { CloseServiceHandle(value); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { RegCloseKey(value); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { FreeLibrary(value); }
};

struct SnapshotTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) { CloseHandle(value); }
};

using CHandle = CUnique<HandleTraits>;
using CScHandle = CUnique<ServiceHandleTraits>;
using CRegKey = CUnique<RegKeyTraits>;
using CModule = CUnique<ModuleTraits>;
using CSnapshot = CUnique<SnapshotTraits>;

}  // namespace harness
