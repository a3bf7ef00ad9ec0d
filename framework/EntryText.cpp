#include "EntryText.h"

namespace fw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ReplaceFirst(std::string& text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
}

}  // namespace

std::optional<std::uint32_t> ParseUnsignedEntry(const std::string& entry)
{
    const std::string text = entry.substr(0, kNumberEntryLength);
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    const char first = i < text.size() ? text[i] : '\0';
    if (first == '+')
        ++i;
    std::uint64_t value = 0;
    const std::size_t digitsStart = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > UINT32_MAX)
            value = std::uint64_t{UINT32_MAX} + 1;  // clamped below; keeps the sum bounded
    }
    if (i == digitsStart || (value == 0 && first != '0'))
        return std::nullopt;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    return static_cast<std::uint32_t>(value > UINT32_MAX ? UINT32_MAX : value);
}

namespace {

std::string DigitsOf(std::uint32_t value, std::uint32_t base)
{
    static const char kDigits[] = "0123456789ABCDEF";
    char text[16];
    char* end = text + sizeof text;
    char* at = end;
    do {
        *--at = kDigits[value % base];
        value /= base;
    } while (value != 0);
    return std::string(at, end);
}

}  // namespace

std::string DecimalText(std::uint32_t value) { return DigitsOf(value, 10); }

std::string HexText(std::uint32_t value) { return DigitsOf(value, 16); }

std::string RangeMessage(unsigned low, unsigned high)
{
    std::string message = kRangeMessageTemplate;
    ReplaceFirst(message, "%1", DecimalText(low));
    ReplaceFirst(message, "%2", DecimalText(high));
    return message;
}

}  // namespace fw
