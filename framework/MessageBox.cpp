#include "MessageBox.h"

#include <windows.h>

#include "App.h"

namespace fw {

void AppMessageBox(const char* text)
{
    // Owned by the active window of this thread, so that the dialog that
    // raised the message cannot be used until the box is closed.
    MessageBoxA(GetActiveWindow(), text, ModuleName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace fw
