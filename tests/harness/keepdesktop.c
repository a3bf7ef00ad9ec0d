/* keepdesktop.exe [RUN]: owns one hidden window for the whole test run.
 * Wine's desktop process ends about a second after the last process with a
 * window, and the next GUI test would then wait up to a second for a new
 * one. Ends on WM_CLOSE, when the wineserver is killed, or when the Unix
 * process RUN (the ctest or script that started it) is gone: a run that was
 * killed never stops its prefix, and while the keeper lives, Wine's server
 * and its system processes would too. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RUN_CHECK_TIMER 1
#define RUN_CHECK_MS 500

static char g_runStat[64];

/* Whether the run's process still exists and is no zombie, read from
 * /proc through drive Z: (the Unix root). */
static BOOL RunIsAlive(void)
{
    char text[512];
    DWORD read = 0;
    const char* state;
    HANDLE stat = CreateFileA(g_runStat, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (stat == INVALID_HANDLE_VALUE)
        return FALSE;
    if (!ReadFile(stat, text, sizeof text - 1, &read, NULL))
        read = 0;
    CloseHandle(stat);
    text[read] = '\0';
    /* "pid (name) state ...": the name may hold blanks and brackets. */
    state = strrchr(text, ')');
    return state && state[1] == ' ' && state[2] != 'Z' && state[2] != 'X';
}

static LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == RUN_CHECK_TIMER) {
        if (!RunIsAlive())
            DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    WNDCLASSA windowClass = {0};
    MSG message;
    HWND window;
    unsigned long run = strtoul(commandLine, NULL, 10);
    (void)previous;
    (void)show;
    windowClass.lpfnWndProc = KeeperProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "QB480DesktopKeeper";
    if (!RegisterClassA(&windowClass))
        return 1;
    window = CreateWindowA(windowClass.lpszClassName, "QB480 desktop keeper", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL,
                           NULL, instance, NULL);
    if (!window)
        return 1;
    if (run) {
        snprintf(g_runStat, sizeof g_runStat, "Z:\\proc\\%lu\\stat", run);
        if (!RunIsAlive() || !SetTimer(window, RUN_CHECK_TIMER, RUN_CHECK_MS, NULL))
            return 1;
    }
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
