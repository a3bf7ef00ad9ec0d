#include "ConsoleScreen.h"

namespace harness {

namespace {

constexpr DWORD kStandard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

}  // namespace

void CConsoleScreen::SetStandardHandles(const HANDLE (&handles)[3])
{
    for (int i = 0; i < 3; ++i)
        SetStdHandle(kStandard[i], handles[i]);
}

CConsoleScreen::CConsoleScreen()
{
    for (int i = 0; i < 3; ++i)
        m_own[i] = GetStdHandle(kStandard[i]);
    FreeConsole();
    m_allocated = AllocConsole() != FALSE;
    if (!m_allocated)
        return;
    for (int i = 0; i < 3; ++i)
        m_console[i] = GetStdHandle(kStandard[i]);
    // The test's own output stays where it went.
    SetStandardHandles(m_own);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    m_output.reset(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr));
}

CConsoleScreen::~CConsoleScreen()
{
    m_output.reset();
    if (!m_allocated)
        return;
    // Wine's FreeConsole closes the standard handles it finds: give it the
    // console's, not the test's own.
    SetStandardHandles(m_console);
    FreeConsole();
    SetStandardHandles(m_own);
}

std::vector<std::wstring> CConsoleScreen::Lines() const
{
    std::vector<std::wstring> lines;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!m_output || !GetConsoleScreenBufferInfo(m_output.get(), &info))
        return lines;
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y < info.dwSize.Y; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(m_output.get(), &row[0], info.dwSize.X, COORD{0, y}, &read);
        const std::size_t end = row.find_last_not_of(L' ', read ? read - 1 : 0);
        lines.push_back(read && end != std::wstring::npos ? row.substr(0, end + 1) : std::wstring());
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

}  // namespace harness
