// 32-bit programs on 64-bit Windows are sent to SysWOW64 when they open
// System32, but the kernel and the helper driver look only in the real
// System32\drivers. This test program is 32-bit too: it reaches the real
// folder through "sysnative", and what it opens under System32 lands in
// SysWOW64 as for the deliverables.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>

#include "AppletSession.h"
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
