#include "PortsSession.h"

#include <cpl.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "Robot.h"
#include "Scm.h"

namespace portstest {

namespace {

constexpr char kAppletCaption[] = "qb480";

harness::CRegKey OpenKey(const std::string& key, REGSAM access)
{
    harness::CRegKey handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, access, handle.put()) != ERROR_SUCCESS)
        handle.reset();
    return handle;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

// Visible dialogs and message boxes of this process other than the main dialog.
std::vector<HWND> OtherDialogs(HWND main)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> dialogs;
    for (HWND window : all) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (pid == kSelf && window != main && IsWindowVisible(window) && std::string(name) == "#32770")
            dialogs.push_back(window);
    }
    return dialogs;
}

// Closes what a test left open: boxes first, then the dialogs under the main
// one, then the main dialog itself, so that CPL_DBLCLK returns. Without main
// (it never showed) whatever shows is closed, the main dialog included.
void CloseEverything(HWND main, const harness::CallSite& where)
{
    for (int round = 0; round < 20; ++round) {
        const std::vector<HWND> others = OtherDialogs(main);
        if (others.empty())
            break;
        for (HWND window : others) {
            if (harness::IsMessageBox(window)) {
                harness::Fail(where, "message box left open: \"" + harness::ReadMessageBox(window, where).text + "\"");
                harness::DismissMessageBox(window, IDOK, where);
            } else {
                harness::Fail(where, "dialog left open: \"" + harness::Caption(window) + "\"");
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                harness::WaitGone(window);
            }
        }
    }
    if (main && IsWindow(main)) {
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
        if (!harness::WaitGone(main))
            harness::Fail(where, "the main dialog did not close");
    }
}

std::string SystemDriverPath()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\drivers\\vdxqb480.sys";
}

}  // namespace

void PrintTo(const RegValue& value, std::ostream* out)
{
    *out << "type " << value.type << ", bytes";
    for (unsigned char byte : value.data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        *out << hex;
    }
}

RegValue Dword(std::uint32_t value)
{
    return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}

RegValue Sz(const std::string& text) { return {REG_SZ, std::string(text.c_str(), text.size() + 1)}; }

RegValue Raw(DWORD type, const std::string& bytes) { return {type, bytes}; }

std::optional<RegValue> ReadValue(const std::string& key, const std::string& name)
{
    const harness::CRegKey handle = OpenKey(key, KEY_QUERY_VALUE);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (!handle || RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return RegValue{type, data};
}

void WriteValue(const std::string& key, const std::string& name, const RegValue& value, harness::CallSite where)
{
    const LONG error = RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), value.type, value.data.data(),
                                       static_cast<DWORD>(value.data.size()));
    if (error != ERROR_SUCCESS)
        harness::Fail(where, "set-up: writing " + key + "\\" + name + " failed with " + std::to_string(error));
}

void DeleteValue(const std::string& key, const std::string& name, harness::CallSite where)
{
    const LONG error = RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        harness::Fail(where, "set-up: deleting " + key + "\\" + name + " failed with " + std::to_string(error));
}

void DeleteKeyTree(const std::string& key, harness::CallSite where)
{
    const LONG error = RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    else
        harness::Fail(where, "set-up: deleting " + key + " failed with " + std::to_string(error));
}

bool KeyExists(const std::string& key) { return static_cast<bool>(OpenKey(key, KEY_QUERY_VALUE)); }

Texts ValueNames(const std::string& key)
{
    Texts names;
    const harness::CRegKey handle = OpenKey(key, KEY_QUERY_VALUE);
    if (!handle)
        return names;
    std::string name(16384, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueA(handle.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.c_str(), length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WritePorts(std::uint32_t count, std::uint32_t first, harness::CallSite where)
{
    WriteValue(kParamKey, "TotalNumberOfPorts", Dword(count), where);
    WriteValue(kParamKey, "PortsStartingAt", Dword(first), where);
}

std::string TakeBox(harness::CallSite where)
{
    const auto box = harness::TakeMessageBox(kSelf, harness::kRobotTimeoutMs, where);
    if (!box)
        return std::string();
    if (box->caption != kAppletCaption || !box->exclamation || box->buttons != Texts{"OK"})
        harness::Fail(where, "the box \"" + box->text + "\" is not the applet's: caption \"" + box->caption +
                                 "\", " + std::to_string(box->buttons.size()) + " buttons");
    return box->text;
}

HWND OpenFromMain(HWND main, int button, const std::string& caption, Texts* boxes, harness::CallSite where)
{
    if (!main)
        return nullptr;
    harness::Click(main, button, where);
    HWND dialog = nullptr;
    harness::WaitUntil([&] {
        for (HWND window : OtherDialogs(main)) {
            if (harness::IsMessageBox(window)) {
                const harness::MessageBoxSeen seen = harness::ReadMessageBox(window, where);
                if (boxes && seen.caption == kAppletCaption)
                    boxes->push_back(seen.text);
                else
                    harness::Fail(where, "unexpected box \"" + seen.text + "\" before \"" + caption + "\"");
                harness::DismissMessageBox(window, IDOK, where);
                return false;
            }
            if (harness::Caption(window) == caption)
                dialog = window;
        }
        return dialog != nullptr;
    });
    if (!dialog)
        harness::Fail(where, "\"" + caption + "\" did not open");
    return dialog;
}

void FocusControl(HWND dlg, int id, harness::CallSite where)
{
    PostMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, id)), TRUE);
    if (!harness::WaitUntil([&] { return harness::FocusedControlId(dlg) == id; }, 2000))
        harness::Fail(where, "control " + std::to_string(id) + " did not take the focus");
}

void PressCloseBox(HWND dlg) { PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool StaysOpenQuietly(HWND dlg, int waitMs, harness::CallSite where)
{
    const bool quiet = harness::NoMessageBox(kSelf, waitMs, where);
    const bool open = IsWindow(dlg) && IsWindowVisible(dlg);
    if (!open)
        harness::Fail(where, "the dialog closed");
    return quiet && open;
}

void ExpectClosed(HWND dlg, harness::CallSite where)
{
    if (!harness::WaitGone(dlg))
        harness::Fail(where, "\"" + harness::Caption(dlg) + "\" stayed open");
}

void CPortsTest::SetUp()
{
    ASSERT_TRUE(harness::ResetBaseline());
    // Registered, so the main dialog opens without installing; never started.
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", SystemDriverPath(), SERVICE_AUTO_START), 0u);
    m_module.reset(LoadLibraryA(QB480_CPL));
    ASSERT_TRUE(m_module) << "LoadLibrary " << QB480_CPL << ": error " << GetLastError();
    m_entry = reinterpret_cast<AppletProc>(reinterpret_cast<void*>(GetProcAddress(m_module.get(), "CPlApplet")));
    ASSERT_NE(m_entry, nullptr);
    ASSERT_EQ(m_entry(nullptr, CPL_INIT, 0, 0), 1);
}

void CPortsTest::TearDown()
{
    if (m_entry)
        m_entry(nullptr, CPL_EXIT, 0, 0);
    m_entry = nullptr;
    m_module.reset();
    harness::ResetBaseline();
}

void CPortsTest::WithMainDialog(const std::function<void(HWND main)>& drive, harness::CallSite where)
{
    ASSERT_NE(m_entry, nullptr);
    std::thread robot([&] {
        const HWND main = harness::WaitForDialog(kMainCaption, kSelf, harness::kRobotTimeoutMs, where);
        if (main)
            drive(main);
        CloseEverything(main, where);
    });
    m_entry(nullptr, CPL_DBLCLK, 0, 0);
    robot.join();
}

}  // namespace portstest
