// showrobot.exe COMMAND...: runs COMMAND (control.exe qb480.cpl) and drives
// the applet it opens on a display through a first opening, for
// tools/show-applet.sh. Started from here, the Control Panel is the prefix's
// own architecture's (a plain "wine control" is the 32-bit one in a win64
// prefix). It shoots each dialog it reaches (harness/Walkthrough.h) and ends
// with "done EXITCODE" once the Control Panel has ended.
#include "AppletSession.h"
#include "Child.h"
#include "Robot.h"
#include "Walkthrough.h"

using namespace harness;
namespace show = harness::walkthrough;

namespace {

constexpr int kAdvancedExit = 1036;

void Store(DWORD pid, HWND firstBoard)
{
    TypeBoardEntries(firstBoard, {"D0000", "300", "5"});
    show::Shoot(firstBoard, "1-board-settings-first-opening");
    Click(firstBoard, IDOK);
    const HWND stored = FindMessageBox(pid, show::kWindowMs);
    if (!stored)
        show::Stop("no box after OK on the board settings");
    show::Shoot(stored, "2-configuration-stored");
    DismissMessageBox(stored);
    ExpectClosed(firstBoard);
}

// Opens a dialog from the main dialog, shoots it and closes it again.
void ShowFromMain(DWORD pid, HWND main, int button, const char* caption, const char* name, int closeId)
{
    Click(main, button);
    const HWND dialog = WaitForDialog(caption, pid, show::kWindowMs);
    show::Shoot(dialog, name);
    Click(dialog, closeId);
    ExpectClosed(dialog);
}

// The board driver reports its ports once it has run; the simulated board's
// driver is not started in this walk-through, so its report is written here.
void ReportPortsAsTheDriverWould()
{
    WriteValue(kParamKey, "TotalNumberOfPorts", Dword(8));
    WriteValue(kParamKey, "PortsStartingAt", Dword(3));
}

}  // namespace

int main(int argc, char** argv)
{
    show::Begin();
    std::string command;
    for (int i = 1; i < argc; ++i)
        command += (i > 1 ? " " : "") + std::string(argv[i]);
    CChild control(command);
    if (command.empty() || !control.Started())
        show::Stop("could not start \"" + command + "\": " + control.StartError());
    const DWORD pid = control.pid();

    Store(pid, WaitForDialog(kBoardCaption, pid, show::kFirstWindowMs));
    const HWND main = WaitForDialog(kMainCaption, pid, show::kWindowMs);
    show::Shoot(main, "3-main-dialog");

    ChooseSystemMenuCommand(main, kAboutCommand);
    const HWND about = WaitForDialog(kAboutCaption, pid, show::kWindowMs);
    show::Shoot(about, "4-about-box");
    Click(about, IDOK);
    ExpectClosed(about);

    ShowFromMain(pid, main, kConfigure, kBoardCaption, "5-board-settings-from-configure", IDCANCEL);
    ShowFromMain(pid, main, kPortNumberingButton, "Port Numbering", "6-port-numbering", IDCANCEL);
    ReportPortsAsTheDriverWould();
    ShowFromMain(pid, main, kAdvancedButton, "Advanced Options", "7-advanced-options", kAdvancedExit);

    Click(main, kExit);
    ExpectClosed(main);
    const auto code = control.Wait(show::kWindowMs);
    if (!code)
        show::Stop("the Control Panel did not end");
    show::Say("done " + std::to_string(*code));
    return 0;
}
