// 32-bit programs on 64-bit Windows are sent to SysWOW64 when they open
// System32, but the kernel and the helper driver look only in the real
// System32\drivers. This test program is 32-bit too: it reaches the real
// folder through "sysnative", and what it opens under System32 lands in
// SysWOW64 as for the deliverables.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>

#include "AppletSession.h"
#include "ImportFaults.h"
#include "LoaderRun.h"

namespace {

constexpr int kExitWaitMs = 10000;

// The path as the kernel sees it: System32 not redirected.
std::string Real(const std::string& path)
{
    std::string lower = path;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find("\\system32\\");
    return at == std::string::npos ? path : path.substr(0, at) + "\\sysnative\\" + path.substr(at + 10);
}

harness::CChild StartControlPanel()
{
    // From a 32-bit program this is SysWOW64's control.exe, the 32-bit one.
    return harness::CChild(harness::ControlPanelCommand());
}

using Wow64Applet = harness::CAppletTest;
class Wow64Loader : public loadertest::LoaderRun {};

}  // namespace

TEST_F(Wow64Applet, InstallsAndRemovesTheDriverOfTheRealDriversFolder)
{
    using namespace harness;
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64) && wow64) << "not a 32-bit program on 64-bit Windows";
    ASSERT_TRUE(CopyFileA(FakeVdxPath().c_str(), Real(BoardDriverPath()).c_str(), FALSE));
    ASSERT_FALSE(FileExists(BoardDriverPath())) << "SysWOW64 holds a driver file too";
    {
        harness::CChild control = StartControlPanel();
        ASSERT_TRUE(control.Started()) << control.StartError();
        const HWND board = harness::WaitForDialog(kBoardCaption, control.pid());
        ASSERT_TRUE(board) << "the first opening did not find the driver";
        StoreBoardEntries(board, {"D0000", "300", "5"});
        const HWND main = harness::WaitForDialog(kMainCaption, control.pid());
        ASSERT_TRUE(main);
        harness::Click(main, kExit);
        EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    }
    const auto config = harness::QueryServiceConfiguration(kServiceName);
    ASSERT_TRUE(config);
    // The kernel reads the registered path without redirection.
    EXPECT_EQ(config->imagePath, BoardDriverPath());

    // Where a redirected deletion would look, a file that must stay. Wine's
    // SysWOW64 has no drivers folder of its own; Windows' has.
    ASSERT_TRUE(CreateDirectoryA(DriversFolder().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileA(FakeVdxPath().c_str(), BoardDriverPath().c_str(), FALSE));
    {
        harness::CChild control = StartControlPanel();
        ASSERT_TRUE(control.Started()) << control.StartError();
        const HWND main = harness::WaitForDialog(kMainCaption, control.pid());
        ASSERT_TRUE(main);
        harness::Click(main, kRemoveDriver);
        EXPECT_EQ(control.Wait(kExitWaitMs), std::optional<DWORD>(0));
    }
    EXPECT_TRUE(harness::WaitUntil([] { return !harness::IsServiceListed(kServiceName); }));
    EXPECT_FALSE(FileExists(Real(BoardDriverPath()))) << "the driver file was not deleted";
    EXPECT_TRUE(FileExists(BoardDriverPath())) << "the file in SysWOW64 was deleted instead";
}

// An elevated start is not redirected: System32's rundll32 would be the
// 64-bit one, which cannot load a 32-bit applet.
TEST_F(Wow64Applet, LimitedInstanceAsksForThe32BitRundll32)
{
    using namespace harness;
    const fw::UniqueKernelHandle token = LimitedToken();
    ASSERT_TRUE(token) << "no limited linked token";
    CChild control = StartWithAppletFaults(ControlPanelCommand(), token.get(), {{"ShellExecuteExA", 0}});
    ASSERT_TRUE(control.Started()) << control.StartError();
    EXPECT_EQ(DialogsUntilExit(control), std::vector<std::string>{});
    EXPECT_EQ(control.Wait(0), std::optional<DWORD>(0));
    char wow64Folder[MAX_PATH] = "";
    ASSERT_TRUE(GetSystemWow64DirectoryA(wow64Folder, sizeof wow64Folder));
    EXPECT_EQ(RecordedText("ShellExecuteExA", "lpVerb"), "runas");
    EXPECT_EQ(RecordedText("ShellExecuteExA", "lpFile"), std::string(wow64Folder) + "\\rundll32.exe");
    EXPECT_EQ(RecordedText("ShellExecuteExA", "lpParameters"),
              "shell32.dll,Control_RunDLL \"" + CplPath() + "\",@0,elevated");
}

TEST_F(Wow64Loader, WritesTheImageIntoTheRealDriversFolder)
{
    using namespace loadertest;
    const std::string image = PlaceFirmware(5000, 61);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    // Compared whole, but not printed: a failure would print kilobytes.
    EXPECT_TRUE(ReadFileBytes(Real(ImageFile())) == image) << "no image in the drivers folder";
    EXPECT_FALSE(ReadFileBytes(ImageFile())) << "an image landed in SysWOW64";
    EXPECT_TRUE(ReadFileBytes(kBoardFile) == image) << "the board did not receive the image";
}
