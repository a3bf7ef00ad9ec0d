// Linked into the deliverables only: they are built without exceptions, and
// a failure that the C++ library would throw (memory exhausted, a length
// beyond what a string can hold) ends the program at once. Defining these
// here keeps the library's exception classes, its reference-counted string
// and its demangling terminate handler (together some 100 KB) out of every
// binary, and the global allocation functions keep out its operator new,
// whose bad_alloc would link the whole unwinder (some 30 KB on i686).
#include <cstdlib>
#include <new>

void* operator new(std::size_t size)
{
    if (void* block = std::malloc(size ? size : 1))
        return block;
    std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace std {
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
