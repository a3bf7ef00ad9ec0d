#include "Console.h"

#include <windows.h>

#include <vector>

namespace fw {

namespace {

// Vectors, not std::wstring: the library's wide string would add some 40 KB
// to every program that writes a line.
std::vector<wchar_t> Widened(const std::string& text, UINT codePage)
{
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(length > 0 ? length : 0));
    if (length > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::vector<char> Narrowed(const std::vector<wchar_t>& wide, UINT codePage)
{
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0));
    if (length > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                            nullptr);
    return text;
}

// What a shell decodes a native program's redirected output with: the
// console's code page, the OEM one unless chcp changed it.
UINT RedirectedCodePage()
{
    const UINT console = GetConsoleOutputCP();
    return console ? console : GetOEMCP();
}

// text with each line break as CR LF, and CR LF at its end.
std::string CrLfLine(const std::string& text)
{
    std::string line;
    for (const char c : text) {
        if (c == '\n' && (line.empty() || line.back() != '\r'))
            line += '\r';
        line += c;
    }
    return line + "\r\n";
}

// line in codePage: a console is given it as UTF-16, which every console
// draws right; a file or pipe gets it in redirectedCodePage.
void WriteOutput(const std::string& line, UINT codePage, UINT redirectedCodePage)
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return;
    const std::vector<wchar_t> wide = Widened(line, codePage);
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const std::vector<char> redirected = Narrowed(wide, redirectedCodePage);
    WriteFile(output, redirected.data(), static_cast<DWORD>(redirected.size()), &written, nullptr);
}

}  // namespace

void WriteOutputLine(const std::string& text)
{
    // The text is in the ANSI code page (the command line, the system's
    // texts, names); a file or pipe gets the code page a shell reads it in.
    WriteOutput(CrLfLine(text), CP_ACP, RedirectedCodePage());
}

void WriteUtf8OutputLine(const std::string& utf8) { WriteOutput(CrLfLine(utf8), CP_UTF8, CP_UTF8); }

std::string AnsiToUtf8(const std::string& text)
{
    const std::vector<char> utf8 = Narrowed(Widened(text, CP_ACP), CP_UTF8);
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace fw
