#include "DebugOutput.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

using harness::CDebugOutputRecorder;

TEST(DebugOutput, RecordsEachMessageInOrderFromAnyThread)
{
    OutputDebugStringA("before the recorder\n");
    CDebugOutputRecorder recorder;
    EXPECT_TRUE(recorder.Messages().empty());
    OutputDebugStringA("\nTesting if driver is installed\n\n");
    std::thread([] { OutputDebugStringA("from a thread"); }).join();
    EXPECT_EQ(recorder.Messages(),
              (std::vector<std::string>{"\nTesting if driver is installed\n\n", "from a thread"}));
    EXPECT_EQ(recorder.Text(), "\nTesting if driver is installed\n\nfrom a thread");
}

TEST(DebugOutput, NothingIsRecordedOnceTheRecorderIsGone)
{
    {
        CDebugOutputRecorder first;
        OutputDebugStringA("first");
    }
    OutputDebugStringA("between");
    CDebugOutputRecorder second;
    EXPECT_TRUE(second.Messages().empty());
}
