// showrobot.exe COMMAND...: runs COMMAND (control.exe qb480.cpl) and drives
// the applet it opens on a display through a first opening, for
// tools/show-applet.sh. Started from here, the Control Panel is the prefix's
// own architecture's (a plain "wine control" is the 32-bit one in a win64
// prefix). At each dialog it writes
//   shot NAME LEFT TOP RIGHT BOTTOM
// (the window's screen rectangle) to stdout and waits for one line on stdin,
// while the script takes the picture. It ends with "done EXITCODE" once the
// Control Panel has ended, or with "error TEXT" and exit code 1.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kFirstWindowMs = 60000;  // a cold Wine start on a fresh display
constexpr DWORD kWindowMs = 10000;
constexpr DWORD kPollMs = 50;
constexpr DWORD kPaintMs = 500;
constexpr DWORD kExitMs = 10000;

constexpr int kMemory = 1003;
constexpr int kPort = 1004;
constexpr int kIrq = 1005;
constexpr int kConfigure = 1015;
constexpr int kPortNumbering = 1045;
constexpr int kAdvanced = 1047;
constexpr int kAdvancedExit = 1036;
constexpr UINT kAboutCommand = 0x10;

PROCESS_INFORMATION g_controlPanel = {};

struct Search {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    char className[16] = "";
    char caption[128] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == g_controlPanel.dwProcessId && IsWindowVisible(window) && std::string(className) == "#32770" &&
        std::string(caption) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

[[noreturn]] void Fail(const std::string& text)
{
    std::printf("error %s\n", text.c_str());
    std::fflush(stdout);
    if (g_controlPanel.hProcess)
        TerminateProcess(g_controlPanel.hProcess, 1);
    std::exit(1);
}

HWND WaitForWindow(const char* caption, DWORD timeoutMs = kWindowMs)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMs) {
        Search search = {caption, nullptr};
        EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(kPollMs);
    }
    Fail(std::string("no window \"") + caption + "\"");
}

void WaitGone(HWND window)
{
    for (DWORD waited = 0; waited <= kWindowMs; waited += kPollMs) {
        if (!IsWindow(window) || !IsWindowVisible(window))
            return;
        Sleep(kPollMs);
    }
    Fail("a window stayed open");
}

// Lets the window paint, then hands it to the script for its picture.
void Shoot(HWND window, const char* name)
{
    Sleep(kPaintMs);
    RECT rect = {};
    GetWindowRect(window, &rect);
    std::printf("shot %s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right, rect.bottom);
    std::fflush(stdout);
    char reply[64];
    if (!std::fgets(reply, sizeof reply, stdin))
        Fail("the script went away");
}

void Type(HWND dialog, int id, const char* text)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &ignored);
}

void Click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// The board driver reports its ports once it has run; the simulated board's
// driver is not started in this walk-through, so its report is written here.
void ReportPortsAsTheDriverWould()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        Fail("cannot write the driver's port report");
    const DWORD ports = 8;
    const DWORD first = 3;
    RegSetValueExA(key, "TotalNumberOfPorts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ports), sizeof ports);
    RegSetValueExA(key, "PortsStartingAt", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&first), sizeof first);
    RegCloseKey(key);
}

}  // namespace

void Start(int argc, char** argv)
{
    std::string command;
    for (int i = 1; i < argc; ++i)
        command += (i > 1 ? " " : "") + std::string(argv[i]);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (command.empty() ||
        !CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &g_controlPanel))
        Fail("could not start \"" + command + "\"");
    CloseHandle(g_controlPanel.hThread);  // the process handle serves to the end
}

DWORD WaitForExit()
{
    DWORD code = 0;
    if (WaitForSingleObject(g_controlPanel.hProcess, kExitMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(g_controlPanel.hProcess, &code))
        Fail("the Control Panel did not end");
    return code;
}

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);  // plain \n lines for the script
    Start(argc, argv);
    const HWND firstBoard = WaitForWindow("Board Settings", kFirstWindowMs);
    Type(firstBoard, kMemory, "D0000");
    Type(firstBoard, kPort, "300");
    Type(firstBoard, kIrq, "5");
    Shoot(firstBoard, "1-board-settings-first-opening");
    Click(firstBoard, IDOK);

    const HWND stored = WaitForWindow("qb480");
    Shoot(stored, "2-configuration-stored");
    PostMessageA(stored, WM_COMMAND, IDOK, 0);
    WaitGone(stored);
    WaitGone(firstBoard);

    const HWND main = WaitForWindow("Tessaline QB480 Configuration");
    Shoot(main, "3-main-dialog");

    PostMessageA(main, WM_SYSCOMMAND, kAboutCommand, 0);
    const HWND about = WaitForWindow("About qb480");
    Shoot(about, "4-about-box");
    Click(about, IDOK);
    WaitGone(about);

    Click(main, kConfigure);
    const HWND board = WaitForWindow("Board Settings");
    Shoot(board, "5-board-settings-from-configure");
    Click(board, IDCANCEL);
    WaitGone(board);

    Click(main, kPortNumbering);
    const HWND numbering = WaitForWindow("Port Numbering");
    Shoot(numbering, "6-port-numbering");
    Click(numbering, IDCANCEL);
    WaitGone(numbering);

    ReportPortsAsTheDriverWould();
    Click(main, kAdvanced);
    const HWND advanced = WaitForWindow("Advanced Options");
    Shoot(advanced, "7-advanced-options");
    Click(advanced, kAdvancedExit);
    WaitGone(advanced);

    Click(main, IDOK);
    WaitGone(main);
    std::printf("done %lu\n", WaitForExit());
    std::fflush(stdout);
    return 0;
}
