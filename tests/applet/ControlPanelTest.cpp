// qb480.cpl opened as an administrator opens it: Wine's control.exe with the
// applet's file name, the dialogs driven in that process.
#include "AppletSession.h"
#include "Child.h"

using namespace harness;

namespace {

using ControlPanel = CAppletTest;

constexpr int kExitWaitMs = 5000;

CChild StartControlPanel()
{
    return CChild(ControlPanelCommand());
}

}  // namespace

TEST_F(ControlPanel, OpensTheMainDialogAndEndsWithExit)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    CChild control = StartControlPanel();
    ASSERT_TRUE(control.Started()) << control.StartError();
    const HWND main = WaitForDialog(kMainCaption, control.pid());
    ASSERT_TRUE(main);
    ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
    SetText(main, kPrefix, "tty");
    Click(main, kExit);
    EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("TTY"));
}

TEST_F(ControlPanel, FirstOpeningInstallsAndAsksForTheBoardSettings)
{
    ASSERT_TRUE(PlaceBoardDriver());
    CChild control = StartControlPanel();
    ASSERT_TRUE(control.Started()) << control.StartError();
    const HWND board = WaitForDialog(kBoardCaption, control.pid());
    ASSERT_TRUE(board);
    StoreBoardEntries(board, {"C0000", "3F8", "4"});
    const HWND main = WaitForDialog(kMainCaption, control.pid());
    ASSERT_TRUE(main);
    ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
    PressEscape(main);
    EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    const auto config = QueryServiceConfiguration(kServiceName);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(config->imagePath, BoardDriverPath());
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xC0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x3F8));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(4));
}
