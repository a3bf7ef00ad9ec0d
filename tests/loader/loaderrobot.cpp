// loaderrobot.exe PROGRAM FIRMWARE: runs qb480load.exe (PROGRAM, started in
// its own folder) on a display through one download of FIRMWARE, as
// tools/show-loader.sh asks. It shoots each dialog it reaches
// (harness/Walkthrough.h) and says what the outcome box said ("message
// TEXT"); then what the helper driver stand-in read ("helper ..."), the
// loader's exit code ("exit N") and "done".
#include <windows.h>

#include <cstdio>
#include <string>

#include "Child.h"
#include "RegValue.h"
#include "Robot.h"
#include "SimulatedBoard.h"
#include "TestKeys.h"
#include "Walkthrough.h"
#include "resource.h"

using namespace harness;
namespace show = harness::walkthrough;

namespace {

// The helper driver stand-in waits this long before its download, so that
// the progress window stays up long enough for its picture.
constexpr DWORD kHelperDelayMs = 2500;
constexpr int kMessageBoxText = 0xFFFF;

// The Open dialog starts in the folder remembered for the program, or in its
// current directory when there is none: forget the remembered one. No
// record of an earlier download may be mistaken for this one's.
void PrepareBoard()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32");
    DeleteKeyTree(kHelperRecordKey);
    WriteValue(kTestKey, "LoaderDelayMs", Dword(kHelperDelayMs));
}

void ExpectClosed(HWND window)
{
    if (!WaitGone(window, show::kWindowMs))
        show::Stop("\"" + Caption(window) + "\" stayed open");
}

void Download(DWORD pid, const std::string& firmware)
{
    const HWND main = WaitForDialog("qb480load", pid, show::kFirstWindowMs);
    show::Shoot(main, "loader-confirm");
    Click(main, IDOK);

    const HWND open = TypeFileName(pid, firmware, show::kWindowMs);
    show::Shoot(open, "loader-open");
    PressOpen(open);

    const HWND board = WaitForDialog("Enter board parameters:", pid, show::kWindowMs);
    SetText(board, IDC_MEMORY_SEGMENT, "D0000");
    SetText(board, IDC_PORT_ADDRESS, "300");
    show::Shoot(board, "loader-board-parameters");
    Click(board, IDOK);
    ExpectClosed(board);

    // The loader's thread is blocked in the service start: it paints nothing more.
    const HWND progress = WaitForDialog("Loading in progress", pid, show::kWindowMs);
    show::Shoot(progress, "loader-progress", false);

    const HWND outcome = FindMessageBox(pid, show::kWindowMs);
    if (!outcome)
        show::Stop("no message box after the download; windows: " + DescribeWindows(pid));
    // Read without a message: the loader's thread may not pump yet.
    show::Say("message " + Caption(GetDlgItem(outcome, kMessageBoxText)));
    show::Shoot(outcome, "loader-success");
    DismissMessageBox(outcome);
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(value));
    return text;
}

void ReportHelperRecord()
{
    const HelperRecord record = ReadHelperRecord();
    show::Say("helper MEM_SEG=" + Hex(record.memSeg.value_or(0)) + " PORT=" + Hex(record.port.value_or(0)) +
              " FirmwareFile=" + record.firmwareFile.value_or("") +
              " Bytes=" + std::to_string(record.bytes.value_or(0)));
}

}  // namespace

int main(int argc, char** argv)
{
    show::Begin();
    if (argc != 3)
        show::Stop("usage: loaderrobot.exe PROGRAM FIRMWARE");
    PrepareBoard();
    // The operator's double-click: the program runs in its own folder.
    const std::string program = argv[1];
    CChild loader("\"" + program + "\"", program.substr(0, program.find_last_of('\\')));
    if (!loader.Started())
        show::Stop(loader.StartError());
    Download(loader.pid(), argv[2]);
    const auto code = loader.Wait(show::kWindowMs);
    if (!code)
        show::Stop("qb480load did not end");
    ReportHelperRecord();
    show::Say("exit " + std::to_string(*code));
    show::Say("done");
    return 0;
}
