#include "DebugOutput.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

using harness::CDebugOutputRecorder;

TEST(DebugOutput, RecordsEachMessageInOrderFromAnyThread)
{
    OutputDebugStringA("before the recorder\n");
    CDebugOutputRecorder recorder;
    OutputDebugStringA("\nTesting if driver is installed\n\n");
    std::thread([] { OutputDebugStringA("from a thread"); }).join();
    EXPECT_EQ(recorder.Messages(),
              (std::vector<std::string>{"\nTesting if driver is installed\n\n", "from a thread"}));
    EXPECT_EQ(recorder.Text(), "\nTesting if driver is installed\n\nfrom a thread");
}

TEST(DebugOutput, EachRecorderKeepsWhatCameInItsOwnLifetime)
{
    CDebugOutputRecorder outer;
    OutputDebugStringA("outer only");
    {
        CDebugOutputRecorder inner;
        OutputDebugStringA("both");
        EXPECT_EQ(inner.Messages(), std::vector<std::string>{"both"});
    }
    OutputDebugStringA("after the inner one");
    EXPECT_EQ(outer.Messages(), (std::vector<std::string>{"outer only", "both", "after the inner one"}));
}
