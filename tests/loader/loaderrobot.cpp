// loaderrobot.exe PROGRAM FIRMWARE: runs qb480load.exe (PROGRAM, started in
// its own folder) on a display through one download of FIRMWARE, as
// tools/show-loader.sh asks. At each dialog it writes
//   shot NAME LEFT TOP RIGHT BOTTOM
// (the window's screen rectangle) to stdout and waits for one line on stdin
// while the script takes the picture. Then it reports what the helper driver
// stand-in read ("helper ..."), the loader's exit code ("exit N") and "done";
// or "error TEXT" with exit code 1 when something does not come.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kFirstWindowMs = 60000;  // a cold Wine start on a fresh display
constexpr DWORD kWindowMs = 15000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kPaintMs = 400;
// The helper driver stand-in waits this long before its download, so that
// the progress window stays up long enough for its picture.
constexpr DWORD kHelperDelayMs = 2500;

constexpr int kMemorySegment = 1001;
constexpr int kPortAddress = 1003;
constexpr int kOpenFileName = 1148;
constexpr int kMessageBoxIcon = 1088;
constexpr int kMessageBoxText = 0xFFFF;

constexpr char kTestKey[] = "SOFTWARE\\QB480Test";
constexpr char kHelperRecordKey[] = "SOFTWARE\\QB480Test\\LoaderRun";
constexpr char kOpenDialogMemory[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32";

[[noreturn]] void Fail(const std::string& text)
{
    std::printf("error %s\n", text.c_str());
    std::fflush(stdout);
    std::exit(1);
}

bool IsMessageBox(HWND window)
{
    return GetDlgItem(window, kMessageBoxIcon) && GetDlgItem(window, kMessageBoxText);
}

struct Search {
    DWORD pid;
    const char* caption;
    bool messageBox;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char className[16] = "";
    char caption[128] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (pid == search->pid && IsWindowVisible(window) && std::string(className) == "#32770" &&
        std::string(caption) == search->caption && IsMessageBox(window) == search->messageBox) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, const char* caption, bool messageBox, DWORD timeoutMs = kWindowMs)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMs) {
        Search search = {pid, caption, messageBox, nullptr};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(kPollMs);
    }
    Fail(std::string("no ") + (messageBox ? "message box" : "window") + " \"" + caption + "\"");
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

// Hands the window to the script for its picture; paint first when the
// window's thread can.
void Shoot(HWND window, const char* name, bool letItPaint = true)
{
    if (letItPaint)
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
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The Open dialog starts in the folder remembered for the program, or in its
// current directory when there is none: forget the remembered one. No
// record of an earlier download may be mistaken for this one's.
void PrepareBoard()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kOpenDialogMemory);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHelperRecordKey);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        Fail("cannot write HKLM\\" + std::string(kTestKey));
    const DWORD delay = kHelperDelayMs;
    RegSetValueExA(key, "LoaderDelayMs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&delay), sizeof delay);
    RegCloseKey(key);
}

// The operator's double-click: the program runs in its own folder.
PROCESS_INFORMATION StartLoader(const std::string& program)
{
    const std::string folder = program.substr(0, program.find_last_of('\\'));
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &started))
        Fail("cannot start " + program + ": error " + std::to_string(GetLastError()));
    CloseHandle(started.hThread);
    return started;
}

void ReportHelperRecord()
{
    DWORD memSeg = 0, port = 0, bytes = 0, size = sizeof(DWORD);
    char firmwareFile[MAX_PATH] = "";
    RegGetValueA(HKEY_LOCAL_MACHINE, kHelperRecordKey, "MEM_SEG", RRF_RT_REG_DWORD, nullptr, &memSeg, &size);
    size = sizeof port;
    RegGetValueA(HKEY_LOCAL_MACHINE, kHelperRecordKey, "PORT", RRF_RT_REG_DWORD, nullptr, &port, &size);
    size = sizeof bytes;
    RegGetValueA(HKEY_LOCAL_MACHINE, kHelperRecordKey, "Bytes", RRF_RT_REG_DWORD, nullptr, &bytes, &size);
    size = sizeof firmwareFile;
    RegGetValueA(HKEY_LOCAL_MACHINE, kHelperRecordKey, "FirmwareFile", RRF_RT_REG_SZ, nullptr, firmwareFile, &size);
    std::printf("helper MEM_SEG=%lX PORT=%lX FirmwareFile=%s Bytes=%lu\n", memSeg, port, firmwareFile, bytes);
}

void Download(DWORD pid, const char* firmware)
{
    const HWND main = WaitForWindow(pid, "qb480load", false, kFirstWindowMs);
    Shoot(main, "loader-confirm");
    Click(main, IDOK);

    const HWND open = WaitForWindow(pid, "Open", false);
    Type(open, kOpenFileName, firmware);
    Shoot(open, "loader-open");
    Click(open, IDOK);
    WaitGone(open);

    const HWND board = WaitForWindow(pid, "Enter board parameters:", false);
    Type(board, kMemorySegment, "D0000");
    Type(board, kPortAddress, "300");
    Shoot(board, "loader-board-parameters");
    Click(board, IDOK);
    WaitGone(board);

    // The loader's thread is blocked in the service start: it paints nothing more.
    const HWND progress = WaitForWindow(pid, "Loading in progress", false);
    Shoot(progress, "loader-progress", false);

    const HWND outcome = WaitForWindow(pid, "qb480load", true);
    char text[256] = "";
    GetDlgItemTextA(outcome, kMessageBoxText, text, sizeof text);
    std::printf("message %s\n", text);
    Shoot(outcome, "loader-success");
    Click(outcome, IDOK);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        Fail("usage: loaderrobot.exe PROGRAM FIRMWARE");
    PrepareBoard();
    const PROCESS_INFORMATION loader = StartLoader(argv[1]);
    Download(loader.dwProcessId, argv[2]);
    if (WaitForSingleObject(loader.hProcess, kWindowMs) != WAIT_OBJECT_0)
        Fail("qb480load did not end");
    DWORD code = 0;
    GetExitCodeProcess(loader.hProcess, &code);
    CloseHandle(loader.hProcess);
    ReportHelperRecord();
    std::printf("exit %lu\ndone\n", code);
    std::fflush(stdout);
    return 0;
}
