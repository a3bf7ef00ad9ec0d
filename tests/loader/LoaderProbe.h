#pragma once
// What loaderprobe.dll does inside qb480load.exe, run there as remote
// threads (harness::CallInProcess); each returns nonzero once done.
#include <windows.h>

// Wine does not pass WM_GETICON or WM_QUERYDRAGICON between processes, so
// the window's icons are read in its own.
struct IconProbe {
    HWND window;
    LONG big;       // WM_GETICON ICON_BIG answered an icon
    LONG small;     // WM_GETICON ICON_SMALL answered an icon
    LONG sameIcon;  // both, and WM_QUERYDRAGICON, answered the same one
    LONG width;     // of the big icon's image
    LONG height;
};
extern "C" DWORD WINAPI ProbeWindowIcons(void* iconProbe);

// From now on the program's own GetModuleFileNameA(NULL, ...) answers as
// for a program whose path does not fit the buffer: truncated, the buffer's
// size returned, ERROR_INSUFFICIENT_BUFFER. Calls for a given module are
// left alone. The argument is not used.
extern "C" DWORD WINAPI TruncateProgramPath(void* unused);
