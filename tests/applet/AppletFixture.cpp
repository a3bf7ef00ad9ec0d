#include "AppletFixture.h"

#include <algorithm>
#include <iomanip>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "Robot.h"
#include "Scm.h"

namespace applettest {
namespace {

constexpr int kCloseWaitMs = 2000;
constexpr int kCleanupMs = 10000;
constexpr int kCleanupRoundMs = 100;

std::string ClassName(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct DialogSearch {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<DialogSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && ClassName(window) == "#32770" && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> DialogsOf(DWORD pid, bool visibleOnly)
{
    DialogSearch search{pid, visibleOnly, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Closes what a failed step left open: boxes with OK, dialogs with Cancel,
// until the call under test has returned.
void CloseLeftovers(const std::atomic<bool>& returned)
{
    std::string seen;
    harness::WaitUntil(
        [&] {
            if (returned)
                return true;
            for (HWND window : DialogsOf(kSelf, true)) {
                seen += "\"" + harness::Caption(window) + "\" ";
                PostMessageA(window, WM_COMMAND, harness::IsMessageBox(window) ? IDOK : IDCANCEL, 0);
            }
            Sleep(kCleanupRoundMs);
            return false;
        },
        kCleanupMs);
    ADD_FAILURE() << "the applet was still open after the robot's last step; closed: " << seen;
}

using RegSetValueExAFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);

// The recorder's state: its fake is a plain function.
std::mutex g_writesLock;
std::vector<std::pair<std::string, RegValue>> g_writes;
RegSetValueExAFunction g_realRegSetValueExA = nullptr;

LONG WINAPI RecordingRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    {
        std::lock_guard<std::mutex> lock(g_writesLock);
        g_writes.emplace_back(name ? name : "",
                              RegValue{type, std::string(reinterpret_cast<const char*>(data), data ? size : 0)});
    }
    return g_realRegSetValueExA(key, name, reserved, type, data, size);
}

std::string WindowsStyle(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace

void PrintTo(const RegValue& value, std::ostream* out)
{
    *out << "type " << value.type << ", " << value.data.size() << " bytes \"";
    for (unsigned char c : value.data) {
        if (c >= 0x20 && c < 0x7F && c != '\\')
            *out << c;
        else
            *out << "\\x" << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(c) << std::dec;
    }
    *out << "\"";
}

RegValue Sz(const std::string& text)
{
    return {REG_SZ, text + '\0'};
}

RegValue Dword(std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    return {REG_DWORD, std::string(bytes, sizeof bytes)};
}

RegValue MultiSz(const std::string& bytes)
{
    return {REG_MULTI_SZ, bytes};
}

std::optional<RegValue> ReadValue(const std::string& key, const std::string& name)
{
    harness::CRegKey opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

bool WriteValue(const std::string& key, const std::string& name, const RegValue& value)
{
    harness::CRegKey created;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, created.put(),
                           nullptr) == ERROR_SUCCESS &&
           RegSetValueExA(created.get(), name.c_str(), 0, value.type,
                          reinterpret_cast<const BYTE*>(value.data.data()),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool DeleteValue(const std::string& key, const std::string& name)
{
    const LONG error = RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND;
}

bool KeyExists(const std::string& key)
{
    harness::CRegKey opened;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) == ERROR_SUCCESS;
}

CRegWriteRecorder::CRegWriteRecorder(HMODULE cpl)
{
    {
        std::lock_guard<std::mutex> lock(g_writesLock);
        g_writes.clear();
    }
    m_hook = harness::CImportHook(cpl, nullptr, "RegSetValueExA", reinterpret_cast<void*>(RecordingRegSetValueExA));
    g_realRegSetValueExA = reinterpret_cast<RegSetValueExAFunction>(m_hook.original());
}

std::vector<RegValue> CRegWriteRecorder::Writes(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(g_writesLock);
    std::vector<RegValue> writes;
    for (const auto& [written, value] : g_writes)
        if (written == name)
            writes.push_back(value);
    return writes;
}

UINT WINAPI NoSystemDirectory(LPSTR, UINT)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

std::string DriverFilePath()
{
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\drivers\\vdxqb480.sys";
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PlaceDriverFile()
{
    return CopyFileA(QB480_FAKEVDX_SYS, DriverFilePath().c_str(), FALSE) != 0;
}

bool RegisterDriver()
{
    return PlaceDriverFile() &&
           harness::CreateDriverService(kServiceName, kServiceName, DriverFilePath(), SERVICE_AUTO_START) == 0;
}

std::string CplPath()
{
    return WindowsStyle(QB480_CPL);
}

HWND FindDialog(const std::string& caption, DWORD pid)
{
    for (HWND window : DialogsOf(pid, false))
        if (harness::Caption(window) == caption && !harness::IsMessageBox(window))
            return window;
    return nullptr;
}

std::string TakeBox(DWORD pid, harness::CallSite where)
{
    const auto box = harness::TakeMessageBox(pid, harness::kRobotTimeoutMs, where);
    if (!box)
        return std::string();
    if (box->caption != "qb480" || !box->exclamation || box->buttons != std::vector<std::string>{"OK"}) {
        std::string buttons;
        for (const auto& button : box->buttons)
            buttons += "[" + button + "]";
        harness::Fail(where, "box \"" + box->text + "\" is captioned \"" + box->caption + "\", has buttons " +
                                 buttons + (box->exclamation ? "" : " and not the exclamation icon") +
                                 "; expected \"qb480\", [OK], exclamation");
    }
    return box->text;
}

MainFields ReadMainFields(HWND main, harness::CallSite where)
{
    return {harness::GetText(main, kDriverVersion, where), harness::GetText(main, kFirmwareVersion, where),
            harness::GetText(main, kPrefix, where)};
}

void ExpectMainFields(HWND main, const std::string& driverVersion, const std::string& firmwareVersion,
                      const std::string& prefix, harness::CallSite where)
{
    const MainFields shown = ReadMainFields(main, where);
    if (shown.driverVersion != driverVersion || shown.firmwareVersion != firmwareVersion || shown.prefix != prefix)
        harness::Fail(where, "the main dialog shows \"" + shown.driverVersion + "\", \"" + shown.firmwareVersion +
                                 "\", \"" + shown.prefix + "\"; expected \"" + driverVersion + "\", \"" +
                                 firmwareVersion + "\", \"" + prefix + "\"");
}

void PrintTo(const BoardEntries& entries, std::ostream* out)
{
    *out << "{\"" << entries.memory << "\", \"" << entries.port << "\", \"" << entries.irq << "\"}";
}

BoardEntries ReadBoardEntries(HWND board, harness::CallSite where)
{
    return {harness::GetText(board, kMemory, where), harness::GetText(board, kPort, where),
            harness::GetText(board, kIrq, where)};
}

void TypeBoardEntries(HWND board, const BoardEntries& entries, harness::CallSite where)
{
    harness::SetText(board, kMemory, entries.memory, where);
    harness::SetText(board, kPort, entries.port, where);
    harness::SetText(board, kIrq, entries.irq, where);
}

void StoreBoardEntries(HWND board, const BoardEntries& entries, harness::CallSite where)
{
    TypeBoardEntries(board, entries, where);
    harness::Click(board, IDOK, where);
    DWORD pid = 0;
    GetWindowThreadProcessId(board, &pid);
    const std::string text = TakeBox(pid, where);
    if (text != kStored)
        harness::Fail(where, "OK on the board settings showed \"" + text + "\"");
    if (!harness::WaitGone(board))
        harness::Fail(where, "the board settings dialog stayed open after it stored");
}

void CAppletTest::SetUp()
{
    ASSERT_TRUE(harness::ResetBaseline());
    m_module.reset(LoadLibraryA(QB480_CPL));
    ASSERT_TRUE(m_module) << "LoadLibrary " << QB480_CPL << ": error " << GetLastError();
    m_entry = reinterpret_cast<APPLET_PROC>(reinterpret_cast<void*>(GetProcAddress(m_module.get(), "CPlApplet")));
    ASSERT_TRUE(m_entry) << "qb480.cpl exports no CPlApplet";
}

void CAppletTest::TearDown()
{
    m_module.reset();
    harness::ResetBaseline();
}

LONG CAppletTest::Call(UINT message, LPARAM lParam1, LPARAM lParam2, const std::function<void()>& drive)
{
    m_returned = false;
    std::thread robot([&] {
        if (drive)
            drive();
        if (!harness::WaitUntil([&] { return m_returned.load(); }, kCloseWaitMs))
            CloseLeftovers(m_returned);
    });
    const LONG result = m_entry(nullptr, message, lParam1, lParam2);
    m_returned = true;
    robot.join();
    return result;
}

LONG CAppletTest::WithMainDialog(const std::function<void(HWND)>& drive)
{
    return DoubleClick([&] {
        const HWND main = harness::WaitForDialog(kMainCaption, kSelf);
        if (!main)
            return;
        drive(main);
        if (IsWindow(main) && IsWindowVisible(main))
            harness::PressEscape(main);
    });
}

}  // namespace applettest
