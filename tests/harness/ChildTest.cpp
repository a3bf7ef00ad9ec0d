// CChild: started in the given folder, inside a job that ends it; and the
// test programs' exit, which waits for what their tests left running.
#include "Child.h"
#include "HarnessFiles.h"
#include "Robot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace harness;

namespace {

std::string RobotDialogCommand()
{
    return "\"" + HarnessBinary("robotdialog.exe") + "\"";
}

bool Ended(DWORD pid)
{
    fw::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return !process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

TEST(Child, RunsInAKillOnCloseJobAndDiesWithTheObject)
{
    DWORD pid = 0;
    {
        CChild child(RobotDialogCommand());
        ASSERT_TRUE(child.Started()) << child.StartError();
        pid = child.pid();
        ASSERT_TRUE(WaitForDialog("Robot Test", pid));
        BOOL inJob = FALSE;
        ASSERT_TRUE(IsProcessInJob(child.process(), child.job(), &inJob));
        EXPECT_TRUE(inJob);
        EXPECT_FALSE(Ended(pid));
    }
    EXPECT_TRUE(Ended(pid));
}

TEST(Child, WaitGivesTheExitCodeOnlyOnceTheProgramEnded)
{
    CChild child(RobotDialogCommand());
    ASSERT_TRUE(child.Started()) << child.StartError();
    const HWND dlg = WaitForDialog("Robot Test", child.pid());
    ASSERT_TRUE(dlg);
    EXPECT_EQ(child.Wait(100), std::nullopt);
    PressEscape(dlg);
    EXPECT_EQ(child.Wait(kRobotTimeoutMs), DWORD{IDCANCEL});
}

TEST(Child, StartsInTheGivenFolder)
{
    const auto folder = std::filesystem::temp_directory_path() / ("qb480-child-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    {
        CChild child("cmd.exe /c cd > cwd.txt", folder.string());
        ASSERT_TRUE(child.Started()) << child.StartError();
        EXPECT_EQ(child.Wait(kRobotTimeoutMs), DWORD{0});
    }
    std::string written;
    std::getline(std::ifstream(folder / "cwd.txt"), written);
    std::filesystem::remove_all(folder);
    if (!written.empty() && written.back() == '\r')
        written.pop_back();
    EXPECT_EQ(lstrcmpiA(written.c_str(), folder.string().c_str()), 0) << written << " vs " << folder.string();
}

TEST(Child, StartFailureSaysWhy)
{
    CChild child("\"" + HarnessBinary("no-such-program.exe") + "\"");
    EXPECT_FALSE(child.Started());
    EXPECT_NE(child.StartError().find("no-such-program.exe\" failed with 2"), std::string::npos) << child.StartError();
    EXPECT_EQ(child.Wait(0), std::nullopt);
}

// Only Wine's "never started" answer is repeated, once, and said; any other
// failure stands as it came.
TEST(Child, OnlyAStartThatNeverRanIsMadeOnceMore)
{
    struct Outcome {
        BOOL created;
        DWORD error;
        size_t calls;
        std::string said;
    };
    auto starts = [](std::vector<DWORD> errors) {
        Outcome outcome = {};
        testing::internal::CaptureStderr();
        outcome.created = CreateOnceMoreIfNeverStarted(
            [&] {
                const DWORD error = outcome.calls < errors.size() ? errors[outcome.calls] : 0;
                ++outcome.calls;
                SetLastError(error);
                return error ? FALSE : TRUE;
            },
            "prog.exe /x");
        outcome.error = GetLastError();
        outcome.said = testing::internal::GetCapturedStderr();
        return outcome;
    };
    const Outcome repeated = starts({ERROR_INTERNAL_ERROR});
    EXPECT_TRUE(repeated.created);
    EXPECT_EQ(repeated.calls, 2u);
    EXPECT_EQ(repeated.said, std::string(kStartRepeatedMark) + "prog.exe /x (error 1359: it never started)\n");
    const Outcome twice = starts({ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR});
    EXPECT_FALSE(twice.created);
    EXPECT_EQ(twice.calls, 2u);
    EXPECT_EQ(twice.error, DWORD{ERROR_INTERNAL_ERROR});
    const Outcome refused = starts({ERROR_ACCESS_DENIED});
    EXPECT_FALSE(refused.created);
    EXPECT_EQ(refused.calls, 1u);
    EXPECT_EQ(refused.error, DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(refused.said, "");
}

TEST(TestMain, TheExitWaitsForAThreadThatATestLeftRunning)
{
    const auto marker =
        std::filesystem::temp_directory_path() / ("qb480-left-thread-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove(marker);
    SetEnvironmentVariableA("QB480_LEFT_THREAD_MARKER", marker.string().c_str());
    CChild child("\"" + HarnessBinary("leftthread.exe") + "\"");
    SetEnvironmentVariableA("QB480_LEFT_THREAD_MARKER", nullptr);
    ASSERT_TRUE(child.Started()) << child.StartError();
    EXPECT_EQ(child.Wait(kRobotTimeoutMs), DWORD{0});
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
}
