#include "Console.h"

#include <windows.h>

namespace fw {

void WriteOutputLine(const std::string& text)
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return;
    std::string line;
    for (const char c : text) {
        if (c == '\n' && (line.empty() || line.back() != '\r'))
            line += '\r';
        line += c;
    }
    line += "\r\n";
    DWORD written = 0;
    // A console takes the text in its own code page; a file or pipe gets
    // the bytes as they are.
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode))
        WriteConsoleA(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    else
        WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace fw
