#include "Walkthrough.h"

#include "CallSite.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

namespace harness::walkthrough {
namespace {

// Long enough for Wine to draw a dialog that has just shown.
constexpr DWORD kPaintMs = 500;

void StopAt(const CallSite& where, const std::string& message)
{
    Stop(message + " (" + where.file + ":" + std::to_string(where.line) + ")");
}

}  // namespace

void Begin()
{
    _setmode(_fileno(stdout), _O_BINARY);
    SetFailureHandler(StopAt);
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Shoot(HWND window, const std::string& name, bool letItPaint)
{
    if (letItPaint)
        Sleep(kPaintMs);
    RECT rect = {};
    GetWindowRect(window, &rect);
    Say("shot " + name + " " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
        std::to_string(rect.right) + " " + std::to_string(rect.bottom));
    char reply[64];
    if (!std::fgets(reply, sizeof reply, stdin))
        Stop("the script went away");
}

void Stop(const std::string& text)
{
    Say("error " + text);
    std::exit(1);
}

}  // namespace harness::walkthrough
