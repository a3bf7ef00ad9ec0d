#include "BoardRecord.h"

#include <cstdint>

#include "EntryText.h"

namespace qb480 {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return hex;
}

int DigitValue(char c)
{
    for (int i = 0; i < 16; ++i)
        if (kDigits[i] == c)
            return i;
    return -1;
}

std::optional<std::string> Bytes(const std::string& hex)
{
    if (hex.size() % 2)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = DigitValue(hex[i]), low = DigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

// A registry value's type: a 32-bit number.
std::optional<unsigned long> Number(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long long number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<unsigned long>(number);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(separator, at)) != std::string::npos; at = end + 1)
        parts.push_back(text.substr(at, end - at));
    parts.push_back(text.substr(at));
    return parts;
}

std::optional<RecordedValue> ValueFromText(const std::string& text)
{
    const std::vector<std::string> fields = Split(text, ',');
    if (fields.size() != 3)
        return std::nullopt;
    const auto name = Bytes(fields[0]);
    const auto type = Number(fields[1]);
    const auto data = Bytes(fields[2]);
    if (!name || !type || !data)
        return std::nullopt;
    return RecordedValue{*name, *type, *data};
}

std::optional<RecordedKey> KeyFromText(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, ':');
    const std::string& head = parts[0];
    if (head.size() != 2 || (head[1] != '0' && head[1] != '1'))
        return std::nullopt;
    RecordedKey key{head[0], head[1] == '1', {}};
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const auto value = ValueFromText(parts[i]);
        if (!value || !key.existed)
            return std::nullopt;
        key.values.push_back(*value);
    }
    return key;
}

std::string ComText(const RecordedComDatabase& com)
{
    std::string bits((com.inUse.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < com.inUse.size(); ++i)
        if (com.inUse[i])
            bits[i / 8] = static_cast<char>(bits[i / 8] | 1 << i % 8);
    return ";C" + Hex(bits) + "/" + RecordText(com.claimed);
}

std::optional<RecordedComDatabase> ComFromText(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, '/');
    const auto bits = parts.size() == 2 ? Bytes(parts[0]) : std::nullopt;
    if (!bits || bits->size() * 8 > kComDbMaxPorts)
        return std::nullopt;
    RecordedComDatabase com;
    for (std::size_t i = 0; i < bits->size() * 8; ++i)
        com.inUse.push_back(((*bits)[i / 8] >> i % 8 & 1) != 0);
    com.claimed = ParseRecord(parts[1]);
    // Only what RecordText writes.
    if (qb480::RecordText(com.claimed) != parts[1])
        return std::nullopt;
    return com;
}

}  // namespace

std::string RecordText(const BoardRecord& record)
{
    std::string text = record.serviceExisted ? "S1" : "S0";
    for (const RecordedKey& key : record.keys) {
        text += ';';
        text += key.id;
        text += key.existed ? '1' : '0';
        for (const RecordedValue& value : key.values)
            text += ":" + Hex(value.name) + "," + fw::DecimalText(static_cast<std::uint32_t>(value.type)) + "," + Hex(value.data);
    }
    if (record.com)
        text += ComText(*record.com);
    return text;
}

std::optional<BoardRecord> RecordFromText(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, ';');
    if (parts[0] != "S0" && parts[0] != "S1")
        return std::nullopt;
    BoardRecord record{parts[0] == "S1", {}, {}};
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (i + 1 == parts.size() && parts[i].compare(0, 1, "C") == 0) {
            record.com = ComFromText(parts[i].substr(1));
            if (!record.com)
                return std::nullopt;
            continue;
        }
        const auto key = KeyFromText(parts[i]);
        if (!key)
            return std::nullopt;
        record.keys.push_back(*key);
    }
    return record;
}

}  // namespace qb480
