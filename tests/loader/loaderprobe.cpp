// loaderprobe.dll: loaded into qb480load.exe by the tests, which run its
// functions as remote threads. It does nothing when loaded.
#include "LoaderProbe.h"

#include "ImportHook.h"

namespace {

using GetModuleFileNameAFunction = DWORD(WINAPI*)(HMODULE, LPSTR, DWORD);
GetModuleFileNameAFunction g_getModuleFileNameA = nullptr;

HICON AskIcon(HWND window, UINT message, WPARAM type)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, message, type, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    return reinterpret_cast<HICON>(answer);
}

DWORD WINAPI TruncatedProgramPath(HMODULE module, LPSTR path, DWORD size)
{
    if (module)
        return g_getModuleFileNameA(module, path, size);
    if (size == 0)
        return 0;
    const char deepFolder[] = "C:\\a folder deeper than any buffer\\";
    for (DWORD i = 0; i + 1 < size; ++i)
        path[i] = deepFolder[i % (sizeof deepFolder - 1)];
    path[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI ProbeWindowIcons(void* iconProbe)
{
    auto* probe = static_cast<IconProbe*>(iconProbe);
    const HICON big = AskIcon(probe->window, WM_GETICON, ICON_BIG);
    const HICON small = AskIcon(probe->window, WM_GETICON, ICON_SMALL);
    const HICON dragged = AskIcon(probe->window, WM_QUERYDRAGICON, 0);
    probe->big = big != nullptr;
    probe->small = small != nullptr;
    probe->sameIcon = big && big == small && big == dragged;
    ICONINFO info = {};
    if (big && GetIconInfo(big, &info)) {
        BITMAP image = {};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof image, &image);
        probe->width = image.bmWidth;
        // A monochrome icon keeps its AND and XOR masks one above the other.
        probe->height = info.hbmColor ? image.bmHeight : image.bmHeight / 2;
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    return 1;
}

extern "C" __declspec(dllexport) DWORD WINAPI TruncateProgramPath(void*)
{
    // The patch stays for the rest of the process's life.
    void* original = harness::PatchImport(GetModuleHandleA(nullptr), nullptr, "GetModuleFileNameA",
                                          reinterpret_cast<void*>(TruncatedProgramPath));
    if (original && original != reinterpret_cast<void*>(TruncatedProgramPath))
        g_getModuleFileNameA = reinterpret_cast<GetModuleFileNameAFunction>(original);
    return g_getModuleFileNameA != nullptr;
}
