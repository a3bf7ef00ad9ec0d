// The applet as the platform runs it. Every dialog it opens is modal to the
// window the administrator was using: that window is disabled while the
// dialog is up and enabled and active again once it has closed. Clicks are
// posted and reach a disabled window all the same, so the disabled state
// itself is what is judged. A system folder too long for MAX_PATH is no
// folder at all.
#include "AppletSession.h"
#include "Child.h"
#include "ImportFaults.h"

using namespace harness;

namespace {

using Ownership = CAppletTest;
using SystemFolder = CAppletTest;

void ExpectModalTo(HWND owner, HWND dialog, harness::CallSite where = {})
{
    if (harness::OwnerOf(dialog) != owner)
        harness::Fail(where, "\"" + harness::Caption(dialog) + "\" is not owned by the window that opened it");
    if (IsWindowEnabled(owner))
        harness::Fail(where, "\"" + harness::Caption(owner) + "\" takes clicks under \"" + harness::Caption(dialog) +
                                 "\"");
}

void ExpectBackInUse(HWND owner, harness::CallSite where = {})
{
    if (!harness::WaitUntil([&] { return IsWindowEnabled(owner) && harness::IsActiveOnItsThread(owner); }))
        harness::Fail(where, "\"" + harness::Caption(owner) + "\" is not enabled and active again");
}

struct Nested {
    const char* name;
    int button;  // 0: the system menu's "&About ..."
    const char* caption;
    int close;
};

class NestedDialog : public CInstalledAppletTest, public ::testing::WithParamInterface<Nested> {};

// A stand-in for the Control Panel's window, active on the thread that
// calls the applet.
class CControlPanelWindow {
public:
    explicit CControlPanelWindow(bool visible = true)
        : m_window(CreateWindowExA(0, "STATIC", "Control Panel", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10,
                                   10, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr))
    {
        SetActiveWindow(m_window);
    }
    ~CControlPanelWindow() { DestroyWindow(m_window); }
    CControlPanelWindow(const CControlPanelWindow&) = delete;
    CControlPanelWindow& operator=(const CControlPanelWindow&) = delete;
    HWND get() const { return m_window; }

private:
    HWND m_window;
};

}  // namespace

TEST_P(NestedDialog, DisablesTheMainDialogWhileItRuns)
{
    // Ports to list, so that the advanced options open without a message.
    ASSERT_TRUE(WriteValue(kParamKey, "TotalNumberOfPorts", Dword(2)));
    ASSERT_TRUE(WriteValue(kParamKey, "PortsStartingAt", Dword(1)));
    const Nested& nested = GetParam();
    WithMainDialog([&](HWND main) {
        if (nested.button)
            harness::Click(main, nested.button);
        else
            harness::ChooseSystemMenuCommand(main, kAboutCommand);
        const HWND dialog = harness::WaitForDialog(nested.caption, kSelf);
        ASSERT_TRUE(dialog);
        ExpectModalTo(main, dialog);
        harness::Click(dialog, nested.close);
        EXPECT_TRUE(harness::WaitGone(dialog));
        ExpectBackInUse(main);
    });
}

INSTANTIATE_TEST_SUITE_P(Dialogs, NestedDialog,
                         ::testing::Values(Nested{"Configure", kConfigure, kBoardCaption, IDCANCEL},
                                           Nested{"PortNumbering", 1045, "Port Numbering", IDCANCEL},
                                           Nested{"Advanced", 1047, "Advanced Options", 1036},
                                           Nested{"About", 0, kAboutCaption, IDOK}),
                         [](const auto& info) { return std::string(info.param.name); });

// Opened from the Control Panel, the applet is modal to its window: a second
// double-click cannot open a second copy over the first. The installation's
// board settings come before the main dialog shows, and so are modal to it too.
TEST_F(Ownership, ControlPanelWindowIsDisabledWhileTheAppletRuns)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const CControlPanelWindow controlPanel;
    ASSERT_TRUE(harness::IsActiveOnItsThread(controlPanel.get()));
    DoubleClick([&] {
        if (const HWND board = harness::WaitForDialog(kBoardCaption, kSelf)) {
            ExpectModalTo(controlPanel.get(), board);
            StoreBoardEntries(board, {"D0000", "300", "5"});
        }
        if (const HWND main = harness::WaitForDialog(kMainCaption, kSelf)) {
            ExpectModalTo(controlPanel.get(), main);
            harness::Click(main, kExit);
        }
    });
    ExpectBackInUse(controlPanel.get());
}

// A host's hidden window (rundll32 keeps one) is never taken as owner, even
// when it is the active window: the applet's dialogs then stand on their
// own, with their own taskbar buttons.
TEST_F(Ownership, HiddenActiveWindowIsNeverTakenAsOwner)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const CControlPanelWindow host(false);
    ASSERT_TRUE(harness::IsActiveOnItsThread(host.get())) << "set-up: the hidden window is not active";
    DoubleClick([&] {
        if (const HWND board = harness::WaitForDialog(kBoardCaption, kSelf)) {
            EXPECT_EQ(harness::OwnerOf(board), nullptr);
            harness::Click(board, IDCANCEL);
        }
        if (const HWND main = harness::WaitForDialog(kMainCaption, kSelf)) {
            EXPECT_EQ(harness::OwnerOf(main), nullptr);
            harness::PressEscape(main);
        }
    });
}

// A message of the opening, before the main dialog shows, leaves the Control
// Panel's window disabled too.
TEST_F(Ownership, ControlPanelWindowStaysDisabledAfterAMessageOfTheOpening)
{
    const CControlPanelWindow controlPanel;
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), "Driver file not found");
        if (const HWND main = harness::WaitForDialog(kMainCaption, kSelf)) {
            ExpectModalTo(controlPanel.get(), main);
            harness::PressEscape(main);
        }
    });
    ExpectBackInUse(controlPanel.get());
}

TEST_F(Ownership, ConfigureThroughControlExeDisablesTheMainDialog)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    CChild control(ControlPanelCommand());
    ASSERT_TRUE(control.Started()) << control.StartError();
    const HWND main = harness::WaitForDialog(kMainCaption, control.pid());
    ASSERT_TRUE(main);
    harness::Click(main, kConfigure);
    const HWND board = harness::WaitForDialog(kBoardCaption, control.pid());
    ASSERT_TRUE(board);
    ExpectModalTo(main, board);
    harness::Click(board, IDCANCEL);
    EXPECT_TRUE(harness::WaitGone(board));
    ExpectBackInUse(main);
    harness::Click(main, kExit);
    EXPECT_EQ(control.Wait(5000), std::optional<DWORD>(0));
}

// The answer is the size the folder would need; the fake still leaves the
// real folder in the buffer, where a careless caller would use it.
TEST_F(SystemFolder, TooLongForMaxPathEndsTheInstallationAsForAMissingFile)
{
    ASSERT_TRUE(PlaceBoardDriver());
    harness::CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetSystemDirectoryA", MAX_PATH));
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), "Could not detect system path");
        if (const HWND main = harness::WaitForDialog(kMainCaption, kSelf)) {
            ExpectMainFields(main, "", "", "");
            harness::PressEscape(main);
        }
    });
    EXPECT_FALSE(harness::IsServiceListed(kServiceName));
}

TEST_F(SystemFolder, TooLongForMaxPathDeletesNoFileOnRemoval)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    harness::CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetSystemDirectoryA", MAX_PATH + 40));
    WithMainDialog([&](HWND main) {
        harness::Click(main, kRemoveDriver);
        EXPECT_TRUE(harness::WaitGone(main));
    });
    EXPECT_TRUE(harness::WaitUntil([] { return !harness::IsServiceListed(kServiceName); }));
    EXPECT_TRUE(FileExists(BoardDriverPath())) << "a file was deleted by a path built on no folder";
}
