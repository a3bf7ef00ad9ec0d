#include "windows/SystemText.h"

#include <windows.h>

#include <vector>

#include "EntryText.h"

namespace qb480 {

std::string SystemUpperCase(const std::string& text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    CharUpperA(buffer.data());
    return buffer.data();
}

std::string SystemErrorText(unsigned long error)
{
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                      text[length - 1] == '.'))
        --length;
    return std::string(text, length) + (length ? " " : "") + "(error " +
           fw::DecimalText(static_cast<std::uint32_t>(error)) + ")";
}

}  // namespace qb480
