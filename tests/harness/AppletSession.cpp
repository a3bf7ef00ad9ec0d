#include "AppletSession.h"

#include <mutex>
#include <thread>
#include <utility>

#include "HarnessFiles.h"
#include "Robot.h"
#include "Scm.h"

namespace harness {
namespace {

constexpr int kReturnWaitMs = 2000;
constexpr int kCleanupMs = 10000;
constexpr int kCleanupRoundMs = 100;
constexpr int kCleanupRounds = 20;

// Closes what a failed step left open: boxes with OK, dialogs with Cancel,
// until the call under test has returned.
void CloseLeftovers(const std::atomic<bool>& returned)
{
    std::string seen;
    WaitUntil(
        [&] {
            if (returned)
                return true;
            for (HWND window : VisibleDialogs(kSelf)) {
                seen += "\"" + Caption(window) + "\" ";
                PostMessageA(window, WM_COMMAND, IsMessageBox(window) ? IDOK : IDCANCEL, 0);
            }
            Sleep(kCleanupRoundMs);
            return false;
        },
        kCleanupMs);
    ADD_FAILURE() << "the applet was still open after the robot's last step; closed: " << seen;
}

std::vector<HWND> OthersThan(HWND main)
{
    std::vector<HWND> others;
    for (HWND window : VisibleDialogs(kSelf))
        if (window != main)
            others.push_back(window);
    return others;
}

// After a drive: boxes and dialogs left over the main dialog are failures,
// closed innermost first; the main dialog itself is closed with Cancel.
void CloseAllOver(HWND main, const CallSite& where)
{
    for (int round = 0; round < kCleanupRounds; ++round) {
        const std::vector<HWND> others = OthersThan(main);
        if (others.empty())
            break;
        for (HWND window : others) {
            if (IsMessageBox(window)) {
                Fail(where, "message box left open: \"" + ReadMessageBox(window, where).text + "\"");
                DismissMessageBox(window, IDOK, where);
            } else {
                Fail(where, "dialog left open: \"" + Caption(window) + "\"");
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                WaitGone(window);
            }
        }
    }
    if (IsWindow(main) && IsWindowVisible(main)) {
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
        if (!WaitGone(main))
            Fail(where, "the main dialog did not close");
    }
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

using MessageBoxAFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

std::mutex g_boxesLock;
Texts g_boxes;
MessageBoxAFunction g_realMessageBoxA = nullptr;

int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    {
        std::lock_guard<std::mutex> lock(g_boxesLock);
        g_boxes.emplace_back(text ? text : "");
    }
    return g_realMessageBoxA(owner, text, caption, type);
}

}  // namespace

std::string CplPath()
{
    return WindowsPath(QB480_CPL);
}

std::string ControlPanelCommand() { return "control.exe \"" + CplPath() + "\""; }

CChild StartWithAppletFaults(const std::string& commandLine, HANDLE token,
                             const std::vector<std::pair<std::string, DWORD>>& faults, CallSite where)
{
    CChild child(commandLine, std::string(), {token, true});
    if (child.Started() && InjectFaultsWhenLoaded(child, "qb480.cpl", faults, where))
        child.Resume();
    return child;
}

std::vector<std::string> DialogsUntilExit(const CChild& child, int timeoutMs)
{
    std::vector<std::string> captions;
    WaitUntil(
        [&] {
            for (HWND dialog : VisibleDialogs(child.pid())) {
                captions.push_back(Caption(dialog));
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                WaitGone(dialog, 1000);
            }
            return child.Wait(0).has_value();
        },
        timeoutMs);
    return captions;
}

std::string TakeBox(DWORD pid, CallSite where)
{
    return TakeApplicationBox(pid, kAppletCaption, kRobotTimeoutMs, where);
}

HWND OpenFromMain(HWND main, int button, const std::string& caption, Texts* boxes, CallSite where)
{
    if (!main)
        return nullptr;
    Click(main, button, where);
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND window : OthersThan(main)) {
            if (IsMessageBox(window)) {
                const MessageBoxSeen seen = ReadMessageBox(window, where);
                if (boxes && seen.caption == kAppletCaption)
                    boxes->push_back(seen.text);
                else
                    Fail(where, "unexpected box \"" + seen.text + "\" before \"" + caption + "\"");
                DismissMessageBox(window, IDOK, where);
                return false;
            }
            if (Caption(window) == caption)
                dialog = window;
        }
        return dialog != nullptr;
    });
    if (!dialog)
        Fail(where, "\"" + caption + "\" did not open");
    return dialog;
}

bool StaysOpenQuietly(HWND dlg, int waitMs, CallSite where)
{
    const bool quiet = NoMessageBox(kSelf, waitMs, where);
    const bool open = IsWindow(dlg) && IsWindowVisible(dlg);
    if (!open)
        Fail(where, "the dialog closed");
    return quiet && open;
}

void ExpectClosed(HWND dlg, CallSite where)
{
    if (!WaitGone(dlg))
        Fail(where, "\"" + Caption(dlg) + "\" stayed open");
}

MainFields ReadMainFields(HWND main, CallSite where)
{
    return {GetText(main, kDriverVersion, where), GetText(main, kFirmwareVersion, where),
            GetText(main, kPrefix, where)};
}

void ExpectMainFields(HWND main, const std::string& driverVersion, const std::string& firmwareVersion,
                      const std::string& prefix, CallSite where)
{
    const MainFields shown = ReadMainFields(main, where);
    if (shown.driverVersion != driverVersion || shown.firmwareVersion != firmwareVersion || shown.prefix != prefix)
        Fail(where, "the main dialog shows \"" + shown.driverVersion + "\", \"" + shown.firmwareVersion + "\", \"" +
                        shown.prefix + "\"; expected \"" + driverVersion + "\", \"" + firmwareVersion + "\", \"" +
                        prefix + "\"");
}

void PrintTo(const BoardEntries& entries, std::ostream* out)
{
    *out << "{\"" << entries.memory << "\", \"" << entries.port << "\", \"" << entries.irq << "\"}";
}

BoardEntries ReadBoardEntries(HWND board, CallSite where)
{
    return {GetText(board, kMemory, where), GetText(board, kPort, where), GetText(board, kIrq, where)};
}

void TypeBoardEntries(HWND board, const BoardEntries& entries, CallSite where)
{
    SetText(board, kMemory, entries.memory, where);
    SetText(board, kPort, entries.port, where);
    SetText(board, kIrq, entries.irq, where);
}

void StoreBoardEntries(HWND board, const BoardEntries& entries, CallSite where)
{
    TypeBoardEntries(board, entries, where);
    Click(board, IDOK, where);
    DWORD pid = 0;
    GetWindowThreadProcessId(board, &pid);
    const std::string text = TakeBox(pid, where);
    if (text != kStored)
        Fail(where, "OK on the board settings showed \"" + text + "\"");
    if (!WaitGone(board))
        Fail(where, "the board settings dialog stayed open after it stored");
}

CRegWriteRecorder::CRegWriteRecorder(HMODULE cpl)
{
    {
        std::lock_guard<std::mutex> lock(g_writesLock);
        g_writes.clear();
    }
    m_hook = CImportHook(cpl, nullptr, "RegSetValueExA", reinterpret_cast<void*>(RecordingRegSetValueExA));
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

CBoxRecorder::CBoxRecorder(HMODULE cpl)
{
    {
        std::lock_guard<std::mutex> lock(g_boxesLock);
        g_boxes.clear();
    }
    m_hook = CImportHook(cpl, nullptr, "MessageBoxA", reinterpret_cast<void*>(RecordingMessageBoxA));
    g_realMessageBoxA = reinterpret_cast<MessageBoxAFunction>(m_hook.original());
}

Texts CBoxRecorder::Shown() const
{
    std::lock_guard<std::mutex> lock(g_boxesLock);
    return g_boxes;
}

UINT WINAPI NoSystemDirectory(LPSTR, UINT)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

void CAppletTest::SetUp()
{
    ASSERT_TRUE(ResetBaseline());
    m_module.reset(LoadLibraryA(CplPath().c_str()));
    ASSERT_TRUE(m_module) << "LoadLibrary " << CplPath() << ": error " << GetLastError();
    m_entry = reinterpret_cast<APPLET_PROC>(reinterpret_cast<void*>(GetProcAddress(m_module.get(), "CPlApplet")));
    ASSERT_TRUE(m_entry) << "qb480.cpl exports no CPlApplet";
    m_boxes.emplace(m_module.get());
    ASSERT_TRUE(m_boxes->Active()) << "qb480.cpl does not import MessageBoxA";
}

void CInstalledAppletTest::SetUp()
{
    CAppletTest::SetUp();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
}

void CAppletTest::TearDown()
{
    m_entry = nullptr;
    m_boxes.reset();
    m_module.reset();
    ResetBaseline();
}

LONG CAppletTest::Call(UINT message, LPARAM lParam1, LPARAM lParam2, const std::function<void()>& drive)
{
    if (!m_entry) {
        ADD_FAILURE() << "qb480.cpl is not loaded";
        return -1;
    }
    m_returned = false;
    std::thread robot([&] {
        if (drive)
            drive();
        if (!WaitUntil([&] { return m_returned.load(); }, kReturnWaitMs))
            CloseLeftovers(m_returned);
    });
    const LONG result = m_entry(nullptr, message, lParam1, lParam2);
    m_returned = true;
    robot.join();
    return result;
}

LONG CAppletTest::WithMainDialog(const std::function<void(HWND)>& drive, CallSite where)
{
    return WithMainDialogOf(CPL_DBLCLK, 0, drive, where);
}

LONG CAppletTest::WithMainDialogOf(UINT message, LPARAM lParam2, const std::function<void(HWND)>& drive,
                                   CallSite where)
{
    return Call(message, 0, lParam2, [&] {
        const HWND main = WaitForDialog(kMainCaption, kSelf, kRobotTimeoutMs, where);
        if (!main)
            return;
        drive(main);
        CloseAllOver(main, where);
    });
}

}  // namespace harness
