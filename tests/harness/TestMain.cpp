// The entry point of the Windows test programs: GoogleTest's own, and then a
// wait for the threads that the tests started to end.
//
// GoogleTest gives every thread that uses its per-thread state (an assertion
// or a failure reporter on a robot thread) a watcher thread, which ends just
// after that thread. Wine 8 can kill a process by SIGSEGV on its Unix side
// when a thread is ending on its own while the process terminates: the
// server still signals the thread after it has closed its connection, and
// the signal handler faults on what the thread has already let go. A test
// that joined its robot and returned at once was seen to end so, after its
// pass, about once in 170 runs. So nothing may be ending during the exit.
#include "Handles.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Longer than any thread of a test may take to end once it has been joined.
constexpr DWORD kThreadEndWaitMs = 10000;

std::vector<DWORD> ThreadsOfThisProcess()
{
    std::vector<DWORD> threads;
    const harness::UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return threads;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            threads.push_back(entry.th32ThreadID);
    }
    return threads;
}

// Waits until no thread of this process is left beside those in `kept`
// (which the exit ends), or the wait's bound has passed. Says which
// threads are left then: they may still race the exit.
void WaitForThreadsBeside(const std::vector<DWORD>& kept)
{
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<DWORD> left;
        for (const DWORD id : ThreadsOfThisProcess()) {
            if (std::find(kept.begin(), kept.end(), id) == kept.end())
                left.push_back(id);
        }
        const DWORD spent = GetTickCount() - start;
        if (left.empty())
            return;
        if (spent >= kThreadEndWaitMs) {
            for (const DWORD id : left)
                std::fprintf(stderr, "test main: thread %lu still runs at exit\n", static_cast<unsigned long>(id));
            return;
        }
        // A thread's handle is signalled once Wine's server has let it go.
        const fw::UniqueKernelHandle thread(OpenThread(SYNCHRONIZE, FALSE, left.front()));
        if (thread)
            WaitForSingleObject(thread.get(), kThreadEndWaitMs - spent);
    }
}

// Starts the main thread's own watcher now, so that it is one of the kept
// threads: it waits for this thread, and the exit ends it.
void StartMainThreadWatcher()
{
    ::testing::TestPartResultArray unused;
    const ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &unused);
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    StartMainThreadWatcher();
    const std::vector<DWORD> kept = ThreadsOfThisProcess();
    const int result = RUN_ALL_TESTS();
    WaitForThreadsBeside(kept);
    return result;
}
