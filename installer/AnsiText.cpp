#include "AnsiText.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace qb480 {

std::optional<std::string> InAnsiCodePage(const wchar_t* text, std::size_t count)
{
    if (!count)
        return std::string();
    const int length = static_cast<int>(count);
    // Where the ANSI code page is UTF-8 the page of WideCharToMultiByte
    // allows no best-fit flag and no lost-character flag: the conversion
    // would fail with either. The reading back below still finds a lone
    // surrogate, which becomes U+FFFD.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* const lostFlag = utf8 ? nullptr : &lost;
    const int size = WideCharToMultiByte(CP_ACP, flags, text, length, nullptr, 0, nullptr, lostFlag);
    if (size <= 0 || lost)
        return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, text, length, &narrow[0], size, nullptr, lostFlag);
    // A multibyte code page may still read it back otherwise.
    std::vector<wchar_t> back(count);
    if (lost || MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, back.data(), length) != length ||
        !std::equal(back.begin(), back.end(), text))
        return std::nullopt;
    return narrow;
}

}  // namespace qb480
