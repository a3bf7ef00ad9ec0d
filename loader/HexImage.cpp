#include "HexImage.h"

#include <algorithm>
#include <cstring>

namespace qb480 {

CHexImage::CHexImage(Growth growth)
    : m_growth(growth), m_bytes(static_cast<std::uint8_t*>(std::calloc(kInitialCapacity, 1)))
{
    if (m_bytes)
        m_capacity = kInitialCapacity;
}

HexFault CHexImage::Reserve(std::size_t end)
{
    if (end <= m_capacity)
        return HexFault::None;
    const std::size_t steps = (end - m_capacity + kGrowthStep - 1) / kGrowthStep;
    std::size_t capacity = m_capacity + steps * kGrowthStep;
    if (m_growth == Growth::Geometric)
        capacity = std::max(capacity, std::min(2 * m_capacity, kMaxSize));
    void* grown = std::realloc(m_bytes.get(), capacity);
    if (!grown)
        return HexFault::OutOfMemory;
    m_bytes.release();
    m_bytes.reset(static_cast<std::uint8_t*>(grown));
    std::memset(m_bytes.get() + m_capacity, 0, capacity - m_capacity);
    m_capacity = capacity;
    return HexFault::None;
}

HexFault CHexImage::Store(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (count == 0)  // an empty record carries no data and does not lengthen the image
        return HexFault::None;
    const std::uint64_t end = std::uint64_t{address} + count;
    if (end > kMaxSize)
        return HexFault::ImageTooLarge;
    if (const HexFault fault = Reserve(static_cast<std::size_t>(end)); fault != HexFault::None)
        return fault;
    std::memcpy(m_bytes.get() + address, bytes, count);
    m_size = std::max(m_size, static_cast<std::size_t>(end));
    return HexFault::None;
}

}  // namespace qb480
