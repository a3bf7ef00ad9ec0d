#pragma once
// Reads that only work inside the process that owns a window: Wine refuses
// icon and menu handles of other processes. The robot calls these directly
// for its own process and runs them in another process from robotprobe.dll.
#include <windows.h>

namespace harness::probe {

enum IconKind : LONG { IconNone, IconExclamation, IconInformation, IconError, IconQuestion, IconOther };

struct IconRequest {
    HWND control;
    LONG kind;
};

constexpr int kMenuItems = 48;
constexpr int kMenuText = 96;

struct MenuItemData {
    UINT id;
    UINT type;
    char text[kMenuText];
};

struct MenuRequest {
    HWND window;
    LONG count;  // -1: the window has no system menu
    MenuItemData items[kMenuItems];
};

}  // namespace harness::probe

// Thread procedures, so that CreateRemoteThread can run them; each returns
// nonzero when it filled its request.
extern "C" DWORD WINAPI ProbeIconKind(void* iconRequest);
extern "C" DWORD WINAPI ProbeSystemMenu(void* menuRequest);
