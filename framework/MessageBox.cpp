#include "MessageBox.h"

#include <windows.h>

#include "App.h"
#include "Dialog.h"

namespace fw {

void AppMessageBox(const char* text)
{
    // Owned by the active window of this thread, so that the dialog that
    // raised the message cannot be used until the box is closed.
    const COwnerState owner(GetActiveWindow());
    MessageBoxA(owner.Owner(), text, ModuleName().c_str(), MB_OK | MB_ICONEXCLAMATION);
    owner.KeepAsFound();
}

}  // namespace fw
