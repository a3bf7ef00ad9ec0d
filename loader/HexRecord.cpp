#include "HexRecord.h"

#include <array>

namespace qb480 {

namespace {

constexpr int kNotHex = -1;

constexpr std::array<int, 256> MakeDigitTable()
{
    std::array<int, 256> table{};
    for (int& v : table)
        v = kNotHex;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = c - '0';
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = c - 'A' + 10;
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = c - 'a' + 10;
    return table;
}

constexpr std::array<int, 256> kDigit = MakeDigitTable();

// One byte from two hexadecimal characters; false when either is not one.
bool ReadByte(const char* at, unsigned& value)
{
    const int high = kDigit[static_cast<unsigned char>(at[0])];
    const int low = kDigit[static_cast<unsigned char>(at[1])];
    if (high == kNotHex || low == kNotHex)
        return false;
    value = static_cast<unsigned>(high * 16 + low);
    return true;
}

std::string_view WithoutLineFeed(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    return line;
}

constexpr std::size_t kHeaderLength = 9;  // ':' count address type

}  // namespace

HexFault DecodeRecord(std::string_view line, HexRecord& record)
{
    const std::string_view text = WithoutLineFeed(line);
    if (text.size() < kHeaderLength)
        return HexFault::BadHeader;
    unsigned count, addressHigh, addressLow, type;
    if (!ReadByte(&text[1], count) || !ReadByte(&text[3], addressHigh) || !ReadByte(&text[5], addressLow) ||
        !ReadByte(&text[7], type))
        return HexFault::BadHeader;
    if (text.size() < kHeaderLength + 2 * count + 2)
        return HexFault::ShortRecord;

    unsigned sum = count + addressHigh + addressLow + type;
    for (unsigned i = 0; i <= count; ++i) {  // the data bytes, then the checksum
        unsigned byte;
        if (!ReadByte(&text[kHeaderLength + 2 * i], byte))
            return HexFault::BadDigit;
        record.bytes[i] = static_cast<std::uint8_t>(byte);
        sum += byte;
    }
    if (sum % 256 != 0)
        return HexFault::BadChecksum;

    record.count = count;
    record.address = addressHigh * 256 + addressLow;
    record.type = type;
    return HexFault::None;
}

HexFault DecodeExtendedAddress(std::string_view line, std::uint16_t& upper)
{
    const std::string_view text = WithoutLineFeed(line);
    unsigned high, low;
    if (text.size() < kHeaderLength + 4 || !ReadByte(&text[kHeaderLength], high) ||
        !ReadByte(&text[kHeaderLength + 2], low))
        return HexFault::BadExtendedAddress;
    upper = static_cast<std::uint16_t>(high * 256 + low);
    return HexFault::None;
}

}  // namespace qb480
