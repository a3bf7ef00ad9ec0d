#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "HexFault.h"

namespace qb480 {

// The image in memory, indexed by absolute address, zero where no record
// wrote. It never holds more than kMaxSize bytes: the board's firmware is far
// smaller, and a stray address record must not make us allocate gigabytes.
class CHexImage {
public:
    static constexpr std::size_t kInitialCapacity = 16384;
    static constexpr std::size_t kGrowthStep = 4096;
    static constexpr std::size_t kMaxSize = 64u * 1024 * 1024;

    // Steps: grow in 4096-byte steps to the first capacity that holds the
    // record; cheap where realloc extends in place (glibc). Geometric: at
    // least double, so a heap that copies on every growth (Windows) copies a
    // large image only a logarithmic number of times.
    enum class Growth { Steps, Geometric };
#ifdef _WIN32
    static constexpr Growth kPlatformGrowth = Growth::Geometric;
#else
    static constexpr Growth kPlatformGrowth = Growth::Steps;
#endif

    explicit CHexImage(Growth growth = kPlatformGrowth);

    // False when the initial buffer could not be allocated.
    bool Allocated() const { return m_bytes != nullptr; }

    // Copies count bytes to the absolute address. On failure nothing changes.
    HexFault Store(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);

    const std::uint8_t* Data() const { return m_bytes.get(); }
    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_capacity; }

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };

    HexFault Reserve(std::size_t end);

    Growth m_growth;
    std::unique_ptr<std::uint8_t, FreeDeleter> m_bytes;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

}  // namespace qb480
