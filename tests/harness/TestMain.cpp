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
#include "UniqueHandle.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Longer than any thread of a test may take to end once it has been joined.
constexpr DWORD kThreadEndWaitMs = 10000;

// ntdll's walk through one process's threads: a few server calls, where a
// system-wide thread snapshot took 8 ms under Wine.
using NtGetNextThreadFn = LONG(NTAPI*)(HANDLE process, HANDLE thread, ACCESS_MASK access, ULONG attributes,
                                       ULONG flags, HANDLE* next);

// This process's threads, each with a handle that can wait for it.
std::vector<fw::UniqueKernelHandle> ThreadsOfThisProcess()
{
    static const auto next = reinterpret_cast<NtGetNextThreadFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtGetNextThread")));
    std::vector<fw::UniqueKernelHandle> threads;
    HANDLE thread = nullptr;
    while (next && next(GetCurrentProcess(), thread, SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, 0, 0,
                        &thread) == 0)
        threads.emplace_back(thread);
    return threads;
}

std::vector<DWORD> Ids(const std::vector<fw::UniqueKernelHandle>& threads)
{
    std::vector<DWORD> ids;
    for (const auto& thread : threads)
        ids.push_back(GetThreadId(thread.get()));
    return ids;
}

// Waits until no thread of this process is left beside those in `kept`
// (which the exit ends), or the wait's bound has passed. Says which
// threads are left then: they may still race the exit.
void WaitForThreadsBeside(std::vector<DWORD> kept)
{
    const DWORD start = GetTickCount();
    for (bool waited = true; waited;) {
        waited = false;
        for (const auto& thread : ThreadsOfThisProcess()) {
            const DWORD id = GetThreadId(thread.get());
            if (std::find(kept.begin(), kept.end(), id) != kept.end())
                continue;
            const DWORD spent = GetTickCount() - start;
            // Signalled once Wine's server has let the thread go.
            if (spent >= kThreadEndWaitMs ||
                WaitForSingleObject(thread.get(), kThreadEndWaitMs - spent) != WAIT_OBJECT_0) {
                std::fprintf(stderr, "test main: thread %lu still runs at exit\n", static_cast<unsigned long>(id));
                return;
            }
            // Ended: a walk that still lists it does not wait again.
            kept.push_back(id);
            waited = true;
        }
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
    const std::vector<DWORD> kept = Ids(ThreadsOfThisProcess());
    const int result = RUN_ALL_TESTS();
    WaitForThreadsBeside(kept);
    return result;
}
