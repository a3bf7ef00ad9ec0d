#include "LibcFaults.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

bool g_failNext[4] = {};

bool TakeFault(LibcCall call)
{
    bool& armed = g_failNext[static_cast<int>(call)];
    const bool fail = armed;
    armed = false;
    if (fail)
        errno = ENOMEM;
    return fail;
}

}  // namespace

void FailNextCall(LibcCall call) { g_failNext[static_cast<int>(call)] = true; }

extern "C" {
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);
std::FILE* __real_fdopen(int fd, const char* mode);
std::size_t __real_fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* file);

void* __wrap_calloc(std::size_t count, std::size_t size)
{
    return TakeFault(LibcCall::Calloc) ? nullptr : __real_calloc(count, size);
}

void* __wrap_realloc(void* block, std::size_t size)
{
    return TakeFault(LibcCall::Realloc) ? nullptr : __real_realloc(block, size);
}

std::FILE* __wrap_fdopen(int fd, const char* mode)
{
    return TakeFault(LibcCall::Fdopen) ? nullptr : __real_fdopen(fd, mode);
}

std::size_t __wrap_fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* file)
{
    return TakeFault(LibcCall::Fwrite) ? 0 : __real_fwrite(data, size, count, file);
}
}
