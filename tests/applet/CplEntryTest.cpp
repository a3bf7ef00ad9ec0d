// The Control Panel's messages and the applet's answers, each message sent
// as a Control Panel sends it.
#include <set>
#include <vector>

#include "AppletSession.h"

using namespace harness;

namespace {

using CplEntry = CAppletTest;

constexpr BYTE kMarker = 0xA5;
constexpr int kSlack = 32;  // marker bytes after the structure, to catch a longer write

std::vector<std::string> ExportedNames(HMODULE module, std::string& dllName)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (!entry.VirtualAddress)
        return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    dllName = reinterpret_cast<const char*>(base + exports->Name);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

struct IconLook {
    LONG width = 0, height = 0;
    std::size_t colours = 0;
};

IconLook LookAt(HICON icon)
{
    IconLook look;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return look;
    BITMAP bitmap = {};
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
        look.width = bitmap.bmWidth;
        look.height = bitmap.bmHeight;
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = bitmap.bmWidth;
        format.bmiHeader.biHeight = -bitmap.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<DWORD> pixels(static_cast<std::size_t>(bitmap.bmWidth) * bitmap.bmHeight);
        const HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS))
            look.colours = std::set<DWORD>(pixels.begin(), pixels.end()).size();
        ReleaseDC(nullptr, screen);
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return look;
}

}  // namespace

TEST_F(CplEntry, ExportsOnlyCPlAppletByItsPlainName)
{
    std::string dllName;
    EXPECT_EQ(ExportedNames(Cpl(), dllName), std::vector<std::string>{"CPlApplet"});
    EXPECT_EQ(dllName, "qb480.cpl");
}

TEST_F(CplEntry, AnswersTheLifecycleMessagesWithoutOpeningAnything)
{
    EXPECT_EQ(Call(CPL_INIT), 1);
    EXPECT_EQ(Call(CPL_GETCOUNT), 1);
    EXPECT_EQ(Call(CPL_SELECT, 0, 0), 1);
    EXPECT_EQ(Call(CPL_STOP, 0, 0), 1);
    EXPECT_EQ(Call(CPL_EXIT), 0);
    EXPECT_FALSE(KeyExists(kServiceKey));
}

TEST_F(CplEntry, DeclinesStartWithParametersSoTheHostDoubleClicks)
{
    const char ansi[] = "COM";
    const wchar_t wide[] = L"COM";
    EXPECT_EQ(Call(CPL_STARTWPARMSA, 0, 0), 0);
    EXPECT_EQ(Call(CPL_STARTWPARMSA, 0, reinterpret_cast<LPARAM>(ansi)), 0);
    EXPECT_EQ(Call(CPL_STARTWPARMSW, 0, 0), 0);
    EXPECT_EQ(Call(CPL_STARTWPARMSW, 0, reinterpret_cast<LPARAM>(wide)), 0);
    EXPECT_FALSE(KeyExists(kServiceKey));
}

TEST_F(CplEntry, AnswersOneToEveryOtherNumber)
{
    for (UINT message : {0u, 11u, 12u, 100u, 0x8000u, 0xFFFFFFFFu})
        EXPECT_EQ(Call(message, 1, 2), 1) << "message " << message;
    EXPECT_FALSE(KeyExists(kServiceKey));
}

TEST_F(CplEntry, InquiryLeavesTheCallersBytesUntouched)
{
    for (LPARAM applet : {0, 1}) {
        std::vector<BYTE> buffer(sizeof(CPLINFO) + kSlack, kMarker);
        EXPECT_EQ(Call(CPL_INQUIRE, applet, reinterpret_cast<LPARAM>(buffer.data())), 0);
        EXPECT_EQ(buffer, std::vector<BYTE>(buffer.size(), kMarker)) << "applet " << applet;
    }
}

TEST_F(CplEntry, NewInquiryDescribesTheBoardForAnyAppletNumber)
{
    constexpr DWORD expectedSize = sizeof(void*) == 8 ? 252 : 244;
    static_assert(sizeof(NEWCPLINFOA) == expectedSize, "the structure as the Control Panel hosts have it");
    const HICON boardIcon = LoadIconA(Cpl(), MAKEINTRESOURCEA(129));
    ASSERT_TRUE(boardIcon) << "icon resource 129";
    for (LPARAM applet : {0, 1, 5}) {
        SCOPED_TRACE("applet " + std::to_string(applet));
        std::vector<BYTE> buffer(sizeof(NEWCPLINFOA) + kSlack, kMarker);
        auto* info = reinterpret_cast<NEWCPLINFOA*>(buffer.data());
        EXPECT_EQ(Call(CPL_NEWINQUIRE, applet, reinterpret_cast<LPARAM>(info)), 0);
        EXPECT_EQ(info->dwSize, expectedSize);
        EXPECT_EQ(info->dwFlags, 0u);
        EXPECT_EQ(info->dwHelpContext, 0u);
        EXPECT_EQ(info->lData, 0);
        EXPECT_EQ(info->hIcon, boardIcon);
        EXPECT_STREQ(info->szName, "Tessaline QB480");
        EXPECT_STREQ(info->szInfo, "Configures or adds Tessaline QB480 boards");
        EXPECT_STREQ(info->szHelpFile, "");
        EXPECT_EQ(std::vector<BYTE>(buffer.begin() + sizeof(NEWCPLINFOA), buffer.end()),
                  std::vector<BYTE>(kSlack, kMarker));
    }
}

TEST_F(CplEntry, IconIsADrawing32PixelsSquare)
{
    const IconLook look = LookAt(LoadIconA(Cpl(), MAKEINTRESOURCEA(129)));
    EXPECT_EQ(look.width, 32);
    EXPECT_EQ(look.height, 32);
    EXPECT_GE(look.colours, 4u) << "a placeholder rather than a picture of the board";
}

TEST_F(CplEntry, DoubleClickReturnsZeroOnlyOnceTheDialogHasClosed)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> ways = {
        {"Exit", [](HWND main) { Click(main, kExit); }},
        {"Escape", [](HWND main) { PressEscape(main); }},
        {"close box", [](HWND main) { ChooseSystemMenuCommand(main, SC_CLOSE); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        bool returnedWhileOpen = true;
        const LONG result = DoubleClick([&] {
            const HWND main = WaitForDialog(kMainCaption, kSelf);
            if (!main)
                return;
            // A call that returned with the dialog open would leave it without
            // a message loop: the round trip would not come back.
            EXPECT_TRUE(Settle(main));
            returnedWhileOpen = Returned();
            close(main);
            EXPECT_TRUE(WaitGone(main));
        });
        EXPECT_FALSE(returnedWhileOpen);
        EXPECT_EQ(result, 0);
    }
}
