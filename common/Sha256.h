#pragma once
// SHA-256 (FIPS 180-4), for telling a file's bytes from any other's: the
// installer's action compares the configurator it starts with the package's
// own. Portable, so it is checked against the standard's vectors natively;
// Windows' own hashing comes with XP SP3 at the earliest.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qb480 {

class CSha256 {
public:
    CSha256();
    void Add(const void* data, std::size_t size);
    // The digest as 64 lower-case hexadecimal digits; the object is spent.
    std::string HexDigest();

private:
    void Block(const unsigned char* block);

    std::uint32_t m_state[8];
    unsigned char m_buffer[64];
    std::size_t m_buffered = 0;
    std::uint64_t m_bytes = 0;
};

}  // namespace qb480
