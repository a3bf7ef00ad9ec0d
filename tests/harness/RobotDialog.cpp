#include "RobotDialog.h"

#include <windows.h>

#include <cstdlib>

namespace {

constexpr const char* kCaption = "robotdialog";

struct Dialog {
    HWND window;
    RobotDialogResult* result;
};

void Say(HWND owner, const char* text, UINT icon)
{
    MessageBoxA(owner, text, kCaption, MB_OK | icon);
}

std::string ItemText(HWND dlg, int id)
{
    char text[MAX_PATH] = {};
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

void OnInit(HWND dlg)
{
    for (const char* port : {"COM", "LPT", "AUX"})
        SendDlgItemMessageA(dlg, IDC_PORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
    SetDlgItemTextA(dlg, IDC_FILE, "(none)");
    const HMENU menu = GetSystemMenu(dlg, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ROBOT_ABOUT, "&About robot...");
}

void OnPortChosen(HWND dlg)
{
    SetDlgItemTextA(dlg, IDC_CHOICE, ItemText(dlg, IDC_PORT).c_str());
}

void OnBrowse(HWND dlg)
{
    char file[MAX_PATH] = {};
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = dlg;
    open.lpstrFilter = "All files\0*.*\0";
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    SetDlgItemTextA(dlg, IDC_FILE, GetOpenFileNameA(&open) ? file : "(cancelled)");
}

bool NumberInRange(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= 0 && value <= 99;
}

void OnOk(HWND dlg, RobotDialogResult& result)
{
    const std::string number = ItemText(dlg, IDC_NUMBER);
    if (!NumberInRange(number)) {
        Say(dlg, "Enter a number from 0 to 99.", MB_ICONEXCLAMATION);
        const HWND field = GetDlgItem(dlg, IDC_NUMBER);
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
        return;
    }
    result.number = number;
    result.enabled = IsDlgButtonChecked(dlg, IDC_ENABLED) == BST_CHECKED;
    result.port = static_cast<int>(SendDlgItemMessageA(dlg, IDC_PORT, CB_GETCURSEL, 0, 0));
    result.file = ItemText(dlg, IDC_FILE);
    EndDialog(dlg, IDOK);
}

bool OnCommand(HWND dlg, int id, int code, RobotDialogResult& result)
{
    switch (id) {
    case IDOK: OnOk(dlg, result); return true;
    case IDCANCEL: EndDialog(dlg, IDCANCEL); return true;
    case IDC_PORT:
        if (code == CBN_SELCHANGE)
            OnPortChosen(dlg);
        return true;
    case IDC_BROWSE: OnBrowse(dlg); return true;
    case IDC_LOCKED: Say(dlg, "A locked button was pressed.", MB_ICONERROR); return true;
    case IDC_WARN: Say(dlg, "Warning text", MB_ICONEXCLAMATION); return true;
    case IDC_INFO: Say(dlg, "Information text", MB_ICONINFORMATION); return true;
    case IDC_ERROR: Say(dlg, "Error text", MB_ICONERROR); return true;
    case IDC_PLAIN: Say(dlg, "Plain text", 0); return true;
    default: return false;
    }
}

INT_PTR CALLBACK RobotDialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* result = reinterpret_cast<RobotDialogResult*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        OnInit(dlg);
        return TRUE;
    case WM_COMMAND: return OnCommand(dlg, LOWORD(wParam), HIWORD(wParam), *result);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ROBOT_ABOUT)
            return FALSE;
        Say(dlg, "About the robot dialog", MB_ICONINFORMATION);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int RunRobotDialog(RobotDialogResult& result)
{
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ROBOT), nullptr,
                                            RobotDialogProc, reinterpret_cast<LPARAM>(&result)));
}
