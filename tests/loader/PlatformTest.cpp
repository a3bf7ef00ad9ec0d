// The loader as the platform runs it. The dialogs it opens are modal to its
// main window: it is disabled while one of them is up, and enabled and
// active again once it has closed, so that its OK cannot start a second run
// inside the first. A system folder too long for MAX_PATH is no folder.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <memory>

#include "ImportFaults.h"
#include "LoaderRun.h"
#include "LockSquatter.h"
#include "resource.h"

using namespace loadertest;

namespace {

DWORD HandleNumber(HWND window) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)); }

// What the loader's call left behind: owner, and whether the owner was
// enabled and active again when the call returned.
void ExpectModalTo(HWND main, const std::string& function, const std::string& prefix,
                   harness::CallSite where = {})
{
    const auto owner = harness::RecordedNumber(function, prefix + "owner");
    const auto enabled = harness::RecordedNumber(function, prefix + "ownerEnabledAfter");
    const auto active = harness::RecordedNumber(function, prefix + "ownerActiveAfter");
    if (owner != HandleNumber(main) || enabled != 1u || active != 1u)
        harness::Fail(where, function + " " + prefix + ": owner " + (owner ? std::to_string(*owner) : "none") +
                                 " (main " + std::to_string(HandleNumber(main)) + "), enabled after " +
                                 (enabled ? std::to_string(*enabled) : "?") + ", active after " +
                                 (active ? std::to_string(*active) : "?"));
}

}  // namespace

TEST_F(LoaderRun, OpenAndBoardDialogsAreModalToTheMainWindow)
{
    PlaceFirmware(700, 51);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(harness::InjectFaults(Child(), {{"GetOpenFileNameA", 0}, {"DialogBoxParamA", 0}}));
    const HWND main = MainDialog();
    Confirm();
    const HWND open = harness::WaitForDialog("Open", pid());
    ASSERT_TRUE(open);
    EXPECT_EQ(harness::OwnerOf(open), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the confirmation takes clicks under the Open dialog";
    // The size NT 4.0's common dialogs know; every later Windows takes it too.
    EXPECT_EQ(harness::RecordedNumber("GetOpenFileNameA", "lStructSize"),
              DWORD{OPENFILENAME_SIZE_VERSION_400A});
    harness::ChooseFileInOpenDialog(pid(), "fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    EXPECT_EQ(harness::OwnerOf(board), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the confirmation takes clicks under the board parameters";
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    ExpectModalTo(main, "GetOpenFileNameA", "");
    ExpectModalTo(main, "DialogBoxParamA", std::to_string(IDD_BOARD_PARAMS) + " ");
}

// While the start blocks, the administrator activates another program's
// window; once the progress window is hidden the loader has no active
// window. The outcome must still block the confirmation, or a click queued
// meanwhile would run a second load inside the first.
TEST_F(LoaderRun, OutcomeBlocksTheConfirmationWhenAnotherWindowIsActive)
{
    WriteValue(kTestKey, "LoaderDelayMs", Dword(1000));
    PlaceFirmware(800, 54);
    ASSERT_TRUE(Start());
    const HWND main = MainDialog();
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    ASSERT_TRUE(harness::WaitForDialog(kProgressWindow, pid(), 3000));
    const std::unique_ptr<HWND__, decltype(&DestroyWindow)> other(
        CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                        nullptr, nullptr, nullptr),
        DestroyWindow);
    ASSERT_TRUE(other && SetForegroundWindow(other.get()));
    const HWND box = harness::FindMessageBox(pid(), 10000);
    ASSERT_TRUE(box);
    EXPECT_EQ(harness::OwnerOf(box), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the confirmation takes clicks under the outcome";
    EXPECT_EQ(harness::ReadMessageBox(box).text, kLoaded);
    harness::DismissMessageBox(box);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(LoaderRun, AboutBoxIsModalToTheMainWindow)
{
    ASSERT_TRUE(Start());
    const HWND main = MainDialog();
    harness::ChooseSystemMenuCommand(main, 0x10);
    const HWND about = harness::WaitForDialog("About qb480load", pid());
    ASSERT_TRUE(about);
    EXPECT_EQ(harness::OwnerOf(about), main);
    EXPECT_FALSE(IsWindowEnabled(main));
    harness::Click(about, IDOK);
    ASSERT_TRUE(harness::WaitGone(about));
    EXPECT_TRUE(harness::WaitUntil([&] { return IsWindowEnabled(main) && harness::IsActiveOnItsThread(main); }))
        << "the main window is not enabled and active after the about box";
    harness::Click(main, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
}

// Without the Administrators group enabled nothing can be registered: the
// loader says so before its confirmation and touches nothing, the set-up
// lock included, while its box is open.
TEST_F(LoaderRun, NonAdministratorIsRefusedBeforeAnythingIsTouched)
{
    PlaceFirmware(600, 53);
    const MachineState before = ReadMachineState();
    const fw::UniqueKernelHandle token = harness::NonAdministratorToken();
    ASSERT_TRUE(token);
    harness::ChildStart start;
    start.token = token.get();
    ASSERT_TRUE(Launch("", start));
    ASSERT_TRUE(harness::FindMessageBox(pid(), harness::kRobotTimeoutMs));
    EXPECT_FALSE(harness::MutexNameExists(harness::kSetupLockGlobalName));
    EXPECT_EQ(BoxesUntilExit(), Texts{"Administrator rights are needed to load the QB480 firmware."});
    EXPECT_EQ(ExitCode(), 8u);
    ExpectMachineUnchanged(before);
}

// The fake answers a length too long for the buffer and still leaves the
// real folder in it: the image must not be written there all the same.
TEST_F(LoaderRun, SystemFolderTooLongForMaxPathWritesNoImage)
{
    PlaceFirmware(600, 52);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(harness::InjectFaults(Child(), {{"GetSystemDirectoryA", MAX_PATH}}));
    ConfirmAndChoose("fw.hex");
    EXPECT_EQ(BoxesUntilExit(), Texts{kConversionFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(ReadFileBytes(ImageFile()));
    EXPECT_FALSE(KeyExists(kLoaderParamKey));
}
