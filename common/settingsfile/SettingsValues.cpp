#include "settingsfile/SettingsValues.h"

#include "SettingsNames.h"

namespace qb480::settings {

namespace {

constexpr char kBlanks[] = " \t\r";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::optional<std::uint32_t> Decimal(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> Hexadecimal(const std::string& text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const char lower = Lower(c);
        unsigned digit;
        if (IsDigit(lower))
            digit = static_cast<unsigned>(lower - '0');
        else if (lower >= 'a' && lower <= 'f')
            digit = static_cast<unsigned>(lower - 'a' + 10);
        else
            return std::nullopt;
        value = value << 4 | digit;
    }
    return value;
}

std::optional<bool> YesNo(const std::string& text)
{
    if (SameName(text, kYes) || text == "1")
        return true;
    if (SameName(text, kNo) || text == "0")
        return false;
    return std::nullopt;
}

}  // namespace qb480::settings
