#pragma once
// A wide string for the installer action's Unicode calls. std::wstring
// would link the run-time's whole wide-string instantiation (35 KB) into a
// DLL that must stay small; with an allocator type of its own the template
// is compiled here, and only what is used stays.
#include <memory>
#include <string>

namespace qb480 {

template <typename T>
struct CWideAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = CWideAllocator<U>;
    };
    CWideAllocator() = default;
    template <typename U>
    CWideAllocator(const CWideAllocator<U>&) noexcept
    {
    }
};

using WideString = std::basic_string<wchar_t, std::char_traits<wchar_t>, CWideAllocator<wchar_t>>;

}  // namespace qb480
