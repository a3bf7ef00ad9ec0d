/* keepdesktop.exe: owns one hidden window for the whole test run. Wine's
 * desktop process ends about a second after the last process with a window,
 * and the next GUI test would then wait up to a second for a new one. Ends
 * on WM_CLOSE or when the wineserver is killed. */
#include <windows.h>

static LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
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
    (void)previous;
    (void)commandLine;
    (void)show;
    windowClass.lpfnWndProc = KeeperProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "QB480DesktopKeeper";
    if (!RegisterClassA(&windowClass) ||
        !CreateWindowA(windowClass.lpszClassName, "QB480 desktop keeper", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL,
                       NULL, instance, NULL))
        return 1;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
