#include "Probe.h"

namespace {

using namespace harness::probe;

IconKind KindOf(HICON icon)
{
    if (!icon)
        return IconNone;
    // LoadIcon hands out the process's shared system icons, the same
    // handles that MessageBox puts into its icon static.
    const struct {
        LPCSTR id;
        IconKind kind;
    } known[] = {
        {IDI_EXCLAMATION, IconExclamation},
        {IDI_INFORMATION, IconInformation},
        {IDI_ERROR, IconError},
        {IDI_QUESTION, IconQuestion},
    };
    for (const auto& entry : known)
        if (LoadIconA(nullptr, entry.id) == icon)
            return entry.kind;
    return IconOther;
}

void CopyItem(HMENU menu, int position, MenuItemData& item)
{
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = item.text;
    info.cch = kMenuText;
    item.text[0] = '\0';
    if (GetMenuItemInfoA(menu, position, TRUE, &info)) {
        item.id = info.wID;
        item.type = info.fType;
    }
}

}  // namespace

extern "C" DWORD WINAPI ProbeIconKind(void* iconRequest)
{
    auto* request = static_cast<IconRequest*>(iconRequest);
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(request->control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon))
        return 0;
    request->kind = KindOf(reinterpret_cast<HICON>(icon));
    return 1;
}

extern "C" DWORD WINAPI ProbeSystemMenu(void* menuRequest)
{
    auto* request = static_cast<MenuRequest*>(menuRequest);
    const HMENU menu = GetSystemMenu(request->window, FALSE);
    if (!menu) {
        request->count = -1;
        return 1;
    }
    const int count = GetMenuItemCount(menu);
    request->count = count < kMenuItems ? count : kMenuItems;
    for (int position = 0; position < request->count; ++position)
        CopyItem(menu, position, request->items[position]);
    return 1;
}
