// A test program on the test programs' own entry point whose one test
// leaves a thread running: the thread ends a moment after the test by
// writing the file that QB480_LEFT_THREAD_MARKER names. It is there only
// if the exit waited for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

TEST(LeftThread, EndsAfterTheTest)
{
    const char* marker = std::getenv("QB480_LEFT_THREAD_MARKER");
    ASSERT_NE(marker, nullptr);
    std::thread([path = std::string(marker)] {
        // Still at work when the tests have ended.
        Sleep(300);
        std::ofstream(path) << "ended";
    }).detach();
}
