#include "Robot.h"

#include "Child.h"
#include "HarnessFiles.h"
#include "Probe.h"
#include "Remote.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace harness {
namespace {

constexpr int kPollMs = 10;
constexpr UINT kSendTimeoutMs = 2000;
constexpr int kMessageBoxIconId = 1088;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kOpenFileNameId = 1148;

DWORD WindowPid(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::string ClassName(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string Narrow(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string narrow(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Describe(HWND dlg, int id)
{
    return "control " + std::to_string(id) + " of " + Quoted(Caption(dlg));
}

// Sends with a time-out, so a blocked or modal window cannot hang the robot.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result)
{
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

DWORD_PTR SendOrFail(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const std::string& what,
                     const CallSite& where)
{
    DWORD_PTR result = 0;
    if (!Send(window, message, wParam, lParam, result))
        Fail(where, what + ": the window did not answer within " + std::to_string(kSendTimeoutMs) + " ms");
    return result;
}

HWND Control(HWND dlg, int id, const CallSite& where)
{
    HWND control = IsWindow(dlg) ? GetDlgItem(dlg, id) : nullptr;
    if (!control)
        Fail(where, IsWindow(dlg) ? Quoted(Caption(dlg)) + " has no control " + std::to_string(id)
                                  : "the dialog is gone (looking for control " + std::to_string(id) + ")");
    return control;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string WindowText(HWND window, const CallSite& where)
{
    const auto length = SendOrFail(window, WM_GETTEXTLENGTH, 0, 0, "reading the text length", where);
    std::string text(length + 1, '\0');
    const auto copied = SendOrFail(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                   "reading the text", where);
    text.resize(std::min<size_t>(copied, length));
    return text;
}

// Runs a probe in the window's own process: directly for this process,
// from robotprobe.dll on a remote thread for another.
bool RunProbe(HWND window, const char* function, LPTHREAD_START_ROUTINE local, void* data, size_t size)
{
    const DWORD pid = WindowPid(window);
    if (pid == GetCurrentProcessId())
        return local(data) != 0;
    return CallInProcess(pid, HarnessBinary("robotprobe.dll"), function, data, size);
}

MessageBoxIcon IconOf(HWND box, const CallSite& where)
{
    probe::IconRequest request = {GetDlgItem(box, kMessageBoxIconId), probe::IconNone};
    if (!RunProbe(box, "ProbeIconKind", ProbeIconKind, &request, sizeof request)) {
        Fail(where, "could not read the icon of message box " + Quoted(Caption(box)));
        return MessageBoxIcon::Other;
    }
    switch (request.kind) {
    case probe::IconNone: return MessageBoxIcon::None;
    case probe::IconExclamation: return MessageBoxIcon::Exclamation;
    case probe::IconInformation: return MessageBoxIcon::Information;
    case probe::IconError: return MessageBoxIcon::Error;
    case probe::IconQuestion: return MessageBoxIcon::Question;
    default: return MessageBoxIcon::Other;
    }
}

std::vector<std::string> ButtonsOf(HWND box, const CallSite& where)
{
    std::vector<std::pair<LONG, std::string>> buttons;
    for (HWND child : ChildrenOf(box)) {
        if (ClassName(child) != "Button" || !IsWindowVisible(child))
            continue;
        RECT rect = {};
        GetWindowRect(child, &rect);
        buttons.emplace_back(rect.left, WindowText(child, where));
    }
    std::sort(buttons.begin(), buttons.end());
    std::vector<std::string> texts;
    for (auto& button : buttons)
        texts.push_back(std::move(button.second));
    return texts;
}

void PostClick(HWND control)
{
    PostMessageA(control, BM_CLICK, 0, 0);
}

// The focused window when it lies inside dlg, else dlg itself.
HWND KeyTarget(HWND dlg)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == dlg || IsChild(dlg, info.hwndFocus)))
        return info.hwndFocus;
    return dlg;
}

void PostKey(HWND dlg, WPARAM key, UINT scanCode, const CallSite& where)
{
    if (!IsWindow(dlg)) {
        Fail(where, "the dialog is gone (pressing a key)");
        return;
    }
    const HWND target = KeyTarget(dlg);
    const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    PostMessageA(target, WM_KEYDOWN, key, down);
    PostMessageA(target, WM_KEYUP, key, down | 0xC0000000);
}

HWND OpenDialogButton(HWND open, int id)
{
    for (HWND child : ChildrenOf(open))
        if (GetParent(child) == open && GetDlgCtrlID(child) == id && ClassName(child) == "Button")
            return child;
    return nullptr;
}

void CloseOpenDialog(HWND open, int buttonId, const std::string& name, const CallSite& where)
{
    const HWND button = OpenDialogButton(open, buttonId);
    if (!button) {
        Fail(where, "the Open dialog has no button " + std::to_string(buttonId));
        return;
    }
    PostClick(button);
    DWORD pid = 0;
    GetWindowThreadProcessId(open, &pid);
    if (!WaitGone(open))
        Fail(where, "the Open dialog stayed open" + (name.empty() ? "" : " after choosing " + Quoted(name)) +
                        "; windows: " + DescribeWindows(pid));
}

}  // namespace

std::vector<HWND> VisibleDialogs(DWORD pid)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> dialogs;
    for (HWND window : all)
        if (WindowPid(window) == pid && IsWindowVisible(window) && ClassName(window) == "#32770")
            dialogs.push_back(window);
    return dialogs;
}

std::vector<HWND> WindowsOf(DWORD pid)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr))
        all.push_back(window);
    std::vector<HWND> own;
    for (HWND window : all)
        if (WindowPid(window) == pid)
            own.push_back(window);
    return own;
}

bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (predicate())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

INT_PTR RunWithRobot(const std::string& caption, const std::function<INT_PTR()>& runDialog,
                     const std::function<void(HWND)>& drive)
{
    std::thread robot([&] {
        const HWND dlg = WaitForDialog(caption, GetCurrentProcessId());
        if (!dlg)
            return;
        drive(dlg);
        if (WaitGone(dlg, 200))
            return;
        while (const HWND box = FindMessageBox(GetCurrentProcessId()))
            DismissMessageBox(box);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        WaitGone(dlg);
    });
    const INT_PTR result = runDialog();
    robot.join();
    return result;
}

std::string Caption(HWND window)
{
    WCHAR wide[512] = {};
    const int length = InternalGetWindowText(window, wide, ARRAYSIZE(wide));
    return Narrow(std::wstring(wide, length));
}

bool IsMessageBox(HWND window)
{
    const HWND icon = GetDlgItem(window, kMessageBoxIconId);
    const HWND text = GetDlgItem(window, kMessageBoxTextId);
    return icon && text && ClassName(icon) == "Static" && ClassName(text) == "Static" &&
           (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

HWND WaitForDialog(const std::string& caption, DWORD pid, int timeoutMs, CallSite where)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleDialogs(pid))
                if (Caption(window) == caption && !IsMessageBox(window))
                    found = window;
            return found != nullptr;
        },
        timeoutMs);
    if (!found)
        Fail(where, "no dialog " + Quoted(caption) + " of process " + std::to_string(pid) + " within " +
                        std::to_string(timeoutMs) + " ms; its windows: " + DescribeWindows(pid));
    return found;
}

bool WaitGone(HWND window, int timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool Settle(HWND window, int timeoutMs)
{
    DWORD_PTR ignored = 0;
    return !IsWindow(window) ||
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeoutMs), &ignored) != 0 ||
           !IsWindow(window);
}

HWND FindDialog(const std::string& caption, DWORD pid)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all)
        if (WindowPid(window) == pid && ClassName(window) == "#32770" && Caption(window) == caption &&
            !IsMessageBox(window))
            return window;
    return nullptr;
}

std::string DescribeWindows(DWORD pid)
{
    std::string list;
    for (HWND window : VisibleDialogs(pid)) {
        list += list.empty() ? "" : ", ";
        list += Quoted(Caption(window));
        if (IsMessageBox(window))
            list += " (message box: " + Quoted(Caption(GetDlgItem(window, kMessageBoxTextId))) + ")";
    }
    return list.empty() ? "none" : list;
}

HWND FindMessageBox(DWORD pid, int timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleDialogs(pid))
                if (IsMessageBox(window))
                    found = window;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

MessageBoxSeen ReadMessageBox(HWND box, CallSite where)
{
    MessageBoxSeen seen;
    seen.caption = Caption(box);
    seen.text = WindowText(GetDlgItem(box, kMessageBoxTextId), where);
    seen.icon = IconOf(box, where);
    seen.exclamation = seen.icon == MessageBoxIcon::Exclamation;
    seen.buttons = ButtonsOf(box, where);
    return seen;
}

void DismissMessageBox(HWND box, int buttonId, CallSite where)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    if (!WaitGone(box))
        Fail(where, "message box " + Quoted(Caption(box)) + " stayed open after button " + std::to_string(buttonId));
}

std::optional<MessageBoxSeen> TakeMessageBox(DWORD pid, int timeoutMs, CallSite where)
{
    const HWND box = FindMessageBox(pid, timeoutMs);
    if (!box) {
        Fail(where, "no message box of process " + std::to_string(pid) + " within " + std::to_string(timeoutMs) +
                        " ms; its windows: " + DescribeWindows(pid));
        return std::nullopt;
    }
    MessageBoxSeen seen = ReadMessageBox(box, where);
    DismissMessageBox(box, IDOK, where);
    return seen;
}

bool NoMessageBox(DWORD pid, int waitMs, CallSite where)
{
    const HWND box = FindMessageBox(pid, waitMs);
    if (box)
        Fail(where, "unexpected message box " + Quoted(Caption(box)) + ": " +
                        Quoted(WindowText(GetDlgItem(box, kMessageBoxTextId), where)));
    return box == nullptr;
}

bool ExpectApplicationBox(const MessageBoxSeen& seen, const std::string& caption, CallSite where)
{
    if (seen.caption == caption && seen.exclamation && seen.buttons == std::vector<std::string>{"OK"})
        return true;
    std::string buttons;
    for (const auto& button : seen.buttons)
        buttons += "[" + button + "]";
    Fail(where, "box " + Quoted(seen.text) + " is captioned " + Quoted(seen.caption) + ", has buttons " + buttons +
                    (seen.exclamation ? "" : " and not the exclamation icon") + "; expected " + Quoted(caption) +
                    ", [OK], exclamation");
    return false;
}

std::string TakeApplicationBox(DWORD pid, const std::string& caption, int timeoutMs, CallSite where)
{
    const auto seen = TakeMessageBox(pid, timeoutMs, where);
    if (!seen)
        return std::string();
    ExpectApplicationBox(*seen, caption, where);
    return seen->text;
}

void SetText(HWND dlg, int id, const std::string& text, CallSite where)
{
    if (const HWND control = Control(dlg, id, where)) {
        const auto done = SendOrFail(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                     "typing into " + Describe(dlg, id), where);
        if (!done)
            Fail(where, Describe(dlg, id) + " refused the text " + Quoted(text));
    }
}

std::string GetText(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    return control ? WindowText(control, where) : std::string();
}

void Click(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    if (!control)
        return;
    if (!IsWindowEnabled(control) || !IsWindowVisible(control)) {
        Fail(where, "cannot click " + Describe(dlg, id) + ": it is disabled or hidden");
        return;
    }
    if (ClassName(control) == "Button")
        PostClick(control);
    else
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool IsChecked(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    return control && SendOrFail(control, BM_GETCHECK, 0, 0, "reading " + Describe(dlg, id), where) == BST_CHECKED;
}

void SetCheck(HWND dlg, int id, bool checked, CallSite where)
{
    if (IsChecked(dlg, id, where) == checked)
        return;
    Click(dlg, id, where);
    if (!WaitUntil([&] { return IsChecked(dlg, id, where) == checked; }))
        Fail(where, Describe(dlg, id) + " did not change its check state when clicked");
}

int ComboSelection(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    return control ? static_cast<int>(SendOrFail(control, CB_GETCURSEL, 0, 0, "reading " + Describe(dlg, id), where))
                   : -1;
}

void ChooseComboItem(HWND dlg, int id, int index, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    if (!control)
        return;
    DWORD_PTR result = 0;
    if (!Send(control, CB_SETCURSEL, index, 0, result) || static_cast<int>(result) != index) {
        Fail(where, Describe(dlg, id) + " has no item " + std::to_string(index));
        return;
    }
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
}

std::vector<std::string> ComboItems(HWND dlg, int id, CallSite where)
{
    std::vector<std::string> items;
    const HWND control = Control(dlg, id, where);
    if (!control)
        return items;
    const auto count = static_cast<int>(SendOrFail(control, CB_GETCOUNT, 0, 0, "counting items", where));
    for (int index = 0; index < count; ++index) {
        const auto length = SendOrFail(control, CB_GETLBTEXTLEN, index, 0, "reading an item's length", where);
        // Wine 8 hands another process's CB_GETLBTEXT back in UTF-16 even to
        // the A call, so ask for UTF-16 and convert here.
        std::wstring wide(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
            Fail(where, "reading item " + std::to_string(index) + " of " + Describe(dlg, id) + " timed out");
        wide.resize(std::min<size_t>(copied, length));
        items.push_back(Narrow(wide));
    }
    return items;
}

void PressEnter(HWND dlg, CallSite where)
{
    PostKey(dlg, VK_RETURN, 0x1C, where);
}

void PressEscape(HWND dlg, CallSite where)
{
    PostKey(dlg, VK_ESCAPE, 0x01, where);
}

void FocusControl(HWND dlg, int id, CallSite where)
{
    if (const HWND control = Control(dlg, id, where)) {
        PostMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        if (!WaitUntil([&] { return FocusedControlId(dlg) == id; }))
            Fail(where, Describe(dlg, id) + " did not take the focus");
    }
}

int FocusedControlId(HWND dlg)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info) || !info.hwndFocus ||
        !IsChild(dlg, info.hwndFocus))
        return -1;
    HWND control = info.hwndFocus;
    while (GetAncestor(control, GA_PARENT) != dlg)
        control = GetAncestor(control, GA_PARENT);
    return GetDlgCtrlID(control);
}

bool IsActiveOnItsThread(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           info.hwndActive == window;
}

HWND OwnerOf(HWND window) { return GetWindow(window, GW_OWNER); }

std::pair<int, int> Selection(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    if (!control)
        return {-1, -1};
    // The return value rather than the pointer arguments: no marshalling.
    const auto range = SendOrFail(control, EM_GETSEL, 0, 0, "reading the selection of " + Describe(dlg, id), where);
    return {LOWORD(range), HIWORD(range)};
}

bool IsEnabled(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    return control && IsWindowEnabled(control);
}

bool IsVisible(HWND dlg, int id, CallSite where)
{
    const HWND control = Control(dlg, id, where);
    return control && IsWindowVisible(control);
}

std::vector<MenuItem> SystemMenu(HWND dlg, CallSite where)
{
    probe::MenuRequest request = {};
    request.window = dlg;
    std::vector<MenuItem> items;
    if (!RunProbe(dlg, "ProbeSystemMenu", ProbeSystemMenu, &request, sizeof request)) {
        Fail(where, "could not read the system menu of " + Quoted(Caption(dlg)));
        return items;
    }
    if (request.count < 0)
        Fail(where, Quoted(Caption(dlg)) + " has no system menu");
    for (int position = 0; position < request.count; ++position) {
        const auto& data = request.items[position];
        const bool separator = (data.type & MFT_SEPARATOR) != 0;
        items.push_back({data.id, separator ? std::string() : std::string(data.text), separator});
    }
    return items;
}

std::vector<std::string> SystemMenuItems(HWND dlg, CallSite where)
{
    std::vector<std::string> texts;
    for (const auto& item : SystemMenu(dlg, where))
        texts.push_back(item.text);
    return texts;
}

void ChooseSystemMenuCommand(HWND dlg, UINT command)
{
    PostMessageA(dlg, WM_SYSCOMMAND, command, 0);
}

HWND TypeFileName(DWORD pid, const std::string& name, int timeoutMs, CallSite where)
{
    const HWND open = WaitForDialog("Open", pid, timeoutMs, where);
    if (open)
        SetText(open, kOpenFileNameId, name, where);
    return open;
}

void PressOpen(HWND open, CallSite where)
{
    if (open)
        CloseOpenDialog(open, IDOK, Caption(GetDlgItem(open, kOpenFileNameId)), where);
}

void ChooseFileInOpenDialog(DWORD pid, const std::string& name, CallSite where)
{
    if (const HWND open = TypeFileName(pid, name, kRobotTimeoutMs, where))
        CloseOpenDialog(open, IDOK, name, where);
}

void CancelOpenDialog(DWORD pid, CallSite where)
{
    if (const HWND open = WaitForDialog("Open", pid, kRobotTimeoutMs, where))
        CloseOpenDialog(open, IDCANCEL, std::string(), where);
}

WatchedRun WatchUntilExit(const CChild& child, const std::string& what, int timeoutMs, CallSite where)
{
    WatchedRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!(run.code = child.Wait(5)) && std::chrono::steady_clock::now() < deadline)
        for (HWND window : WindowsOf(child.pid()))
            if (IsWindowVisible(window) &&
                std::find(run.windows.begin(), run.windows.end(), Caption(window)) == run.windows.end())
                run.windows.push_back(Caption(window));
    if (!run.code)
        Fail(where, what + " still runs after " + std::to_string(timeoutMs / 1000) + " s; windows " +
                        DescribeWindows(child.pid()));
    return run;
}

}  // namespace harness
