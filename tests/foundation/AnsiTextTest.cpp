// The installer's properties in the ANSI code page where that is UTF-8, as
// Windows 10 and 11 offer it. Wine does not hold WideCharToMultiByte to its
// page there, so a stand-in that does takes its place.
#include <gtest/gtest.h>

#include "AnsiText.h"
#include "ImportHook.h"

namespace {

using WideToMulti = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);
WideToMulti g_real = nullptr;

// WideCharToMultiByte's page, for UTF-8 (CP_UTF8, and CP_ACP where the ANSI
// code page is UTF-8): "dwFlags must be set to either 0 or
// WC_ERR_INVALID_CHARS. Otherwise, the function fails with
// ERROR_INVALID_FLAGS", and lpDefaultChar and lpUsedDefaultChar "must be set
// to NULL. Otherwise, the function fails with ERROR_INVALID_PARAMETER".
int WINAPI StrictWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out, int size,
                                     LPCCH defaultChar, LPBOOL usedDefault)
{
    const bool utf8 = codePage == CP_UTF8 || ((codePage == CP_ACP || codePage == CP_THREAD_ACP) && GetACP() == CP_UTF8);
    if (utf8 && (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (utf8 && (defaultChar || usedDefault)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return g_real(codePage, flags, text, length, out, size, defaultChar, usedDefault);
}

}  // namespace

// Run as Applet.Utf8 (CMakeLists.txt), where the ANSI code page is UTF-8.
TEST(AnsiText, WhereTheCodePageIsUtf8EveryCharacterIsCarried)
{
    if (GetACP() != CP_UTF8)
        GTEST_SKIP() << "runs as Applet.Utf8, with the ANSI code page UTF-8";
    harness::CImportHook strict(GetModuleHandleA(nullptr), nullptr, "WideCharToMultiByte",
                                reinterpret_cast<void*>(StrictWideCharToMultiByte));
    ASSERT_TRUE(strict);
    g_real = reinterpret_cast<WideToMulti>(strict.original());
    EXPECT_EQ(qb480::InAnsiCodePage(L"\u00c9X\u2028", 3), std::optional<std::string>("\xC3\x89X\xE2\x80\xA8"));
    const wchar_t lone[] = {L'A', static_cast<wchar_t>(0xD800)};
    EXPECT_EQ(qb480::InAnsiCodePage(lone, 2), std::nullopt);
}
