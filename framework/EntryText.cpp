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

std::string RangeMessage(unsigned low, unsigned high)
{
    std::string message = kRangeMessageTemplate;
    ReplaceFirst(message, "%1", std::to_string(low));
    ReplaceFirst(message, "%2", std::to_string(high));
    return message;
}

}  // namespace fw
