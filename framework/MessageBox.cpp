#include "MessageBox.h"

#include <windows.h>

#include "App.h"

namespace fw {

void AppMessageBox(const char* text)
{
    // Owned by the active window of this thread, so that the dialog that
    // raised the message cannot be used until the box is closed. The system
    // enables the owner when the box ends; one that an outer modal window
    // had disabled stays disabled.
    const HWND owner = GetActiveWindow();
    const bool ownerWasEnabled = !owner || IsWindowEnabled(owner);
    MessageBoxA(owner, text, ModuleName().c_str(), MB_OK | MB_ICONEXCLAMATION);
    if (!ownerWasEnabled)
        EnableWindow(owner, FALSE);
}

}  // namespace fw
