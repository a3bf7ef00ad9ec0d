// robotdialog.exe: the robot's test dialog in a process of its own. After OK
// it stores what the dialog accepted under HKLM\SOFTWARE\QB480Test\RobotDialog
// and reports a failed store in an exclamation box, as the deliverables do.
// Exit code: the dialog's result, or 3 when the store failed.
#include "UniqueHandle.h"
#include "RobotDialog.h"

#include <windows.h>

#include <string>

namespace {

constexpr const char* kResultKey = "SOFTWARE\\QB480Test\\RobotDialog";

LONG Store(HKEY key, const char* name, DWORD type, const void* data, size_t size)
{
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

LONG StoreResult(const RobotDialogResult& result)
{
    fw::UniqueHkey key;
    LONG error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kResultKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (error)
        return error;
    const DWORD enabled = result.enabled;
    const DWORD port = static_cast<DWORD>(result.port);
    error = Store(key.get(), "Number", REG_SZ, result.number.c_str(), result.number.size() + 1);
    if (!error)
        error = Store(key.get(), "Enabled", REG_DWORD, &enabled, sizeof enabled);
    if (!error)
        error = Store(key.get(), "Port", REG_DWORD, &port, sizeof port);
    if (!error)
        error = Store(key.get(), "File", REG_SZ, result.file.c_str(), result.file.size() + 1);
    return error;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RobotDialogResult result;
    const int answer = RunRobotDialog(result);
    if (answer != IDOK)
        return answer;
    if (const LONG error = StoreResult(result)) {
        const std::string text = "Could not store the result: error " + std::to_string(error);
        MessageBoxA(nullptr, text.c_str(), "robotdialog", MB_OK | MB_ICONEXCLAMATION);
        return 3;
    }
    return answer;
}
