// qb480.cpl opened as an administrator opens it: Wine's control.exe with the
// applet's file name, the dialogs driven in that process.
#include "AppletFixture.h"
#include "Child.h"
#include "Robot.h"
#include "Scm.h"

using namespace applettest;

namespace {

using ControlPanel = CAppletTest;

constexpr int kExitWaitMs = 5000;

harness::CChild StartControlPanel()
{
    return harness::CChild("control.exe \"" + CplPath() + "\"");
}

}  // namespace

TEST_F(ControlPanel, OpensTheMainDialogAndEndsWithExit)
{
    ASSERT_TRUE(RegisterDriver());
    harness::CChild control = StartControlPanel();
    ASSERT_TRUE(control.Started()) << control.StartError();
    const HWND main = harness::WaitForDialog(kMainCaption, control.pid());
    ASSERT_TRUE(main);
    ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
    harness::SetText(main, kPrefix, "tty");
    harness::Click(main, kExit);
    EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("TTY"));
}

TEST_F(ControlPanel, FirstOpeningInstallsAndAsksForTheBoardSettings)
{
    ASSERT_TRUE(PlaceDriverFile());
    harness::CChild control = StartControlPanel();
    ASSERT_TRUE(control.Started()) << control.StartError();
    const HWND board = harness::WaitForDialog(kBoardCaption, control.pid());
    ASSERT_TRUE(board);
    StoreBoardEntries(board, {"C0000", "3F8", "4"});
    const HWND main = harness::WaitForDialog(kMainCaption, control.pid());
    ASSERT_TRUE(main);
    ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
    harness::PressEscape(main);
    EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    const auto config = harness::QueryServiceConfiguration(kServiceName);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(config->imagePath, DriverFilePath());
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xC0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x3F8));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(4));
}
