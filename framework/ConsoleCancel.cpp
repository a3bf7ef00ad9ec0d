#include "ConsoleCancel.h"

#include <windows.h>

#include <memory>

#include "SessionEndWindow.h"

namespace fw {

namespace {

constexpr wchar_t kBlockReason[] = L"Finishing a change of the QB480 board; no further step is taken.";

// One handler per process: what it shares with the main thread. The lock
// is made once and kept for the process's life, as a handler thread may
// still wait for it when the program ends.
struct CancelState {
    CRITICAL_SECTION lock;
    bool made = false;
    bool installed = false;
    bool finished = false;  // the final output is being written, or was
    int changes = 0;
    HANDLE noChange = nullptr;  // set while no change is in progress
    volatile LONG requested = 0;
    int exitCode = 0;
    void (*onEnd)(void*) = nullptr;
    void* context = nullptr;
};
CancelState g_state;

class CHeld {
public:
    CHeld() { EnterCriticalSection(&g_state.lock); }
    ~CHeld() { LeaveCriticalSection(&g_state.lock); }
    CHeld(const CHeld&) = delete;
    CHeld& operator=(const CHeld&) = delete;
};

bool IsCtrlC(DWORD event) { return event == kCtrlCEvent || event == kCtrlBreakEvent; }

// Called with the lock held: the run's last lines, then its end.
[[noreturn]] void EndNow()
{
    InterlockedExchange(&g_state.requested, 1);
    g_state.onEnd(g_state.context);
    ExitProcess(static_cast<UINT>(g_state.exitCode));
}

// The process ends by the main thread, with the run's own code: an event
// that would end it sooner must not return.
[[noreturn]] void WaitForTheEnd()
{
    for (;;)
        Sleep(INFINITE);
}

BOOL WINAPI OnControlEvent(DWORD event)
{
    ControlAnswer answer;
    {
        const CHeld held;
        // Ending by itself, or its final output written: its own code stands.
        if (!g_state.installed || g_state.finished) {
            if (IsCtrlC(event))
                return TRUE;
        } else {
            answer = AnswerControlEvent(event, g_state.changes > 0);
            if (answer == ControlAnswer::Ignore || answer == ControlAnswer::PassOn)
                return answer == ControlAnswer::Ignore;
            InterlockedExchange(&g_state.requested, 1);
            // Still held, so that the main thread cannot begin a change.
            if (answer == ControlAnswer::EndNow)
                EndNow();
            if (answer == ControlAnswer::FinishStep)
                return TRUE;
        }
    }
    // The system ends the process once the handler returns.
    WaitForTheEnd();
}

// The session ends (shutdown, restart, logoff): as a closed console, the
// step in progress finishes first and no further one is taken, and a run
// that changes nothing ends at once.
class CSessionEnd : public CSessionEndHandler {
public:
    bool QueryEnd(HWND window) override
    {
        const CHeld held;
        if (!g_state.installed || g_state.finished || g_state.changes == 0)
            return true;
        // Held off no longer than the step takes: the run ends after it.
        InterlockedExchange(&g_state.requested, 1);
        BlockSessionEnd(window, kBlockReason);
        return false;
    }

    void Ends(HWND window, bool ending) override
    {
        if (!ending)
            return UnblockSessionEnd(window);
        {
            const CHeld held;
            if (g_state.installed && !g_state.finished && g_state.changes == 0)
                EndNow();
            InterlockedExchange(&g_state.requested, 1);
        }
        // After WM_ENDSESSION the process may end at any time: not before
        // the step is done and the run has said so.
        WaitForSingleObject(g_state.noChange, INFINITE);
        WaitForTheEnd();
    }
};

CSessionEnd g_sessionEnd;
std::unique_ptr<CSessionEndWindow> g_window;

}  // namespace

CConsoleCancel::CConsoleCancel(int exitCode, void (*onEnd)(void* context), void* context)
{
    if (!g_state.made) {
        InitializeCriticalSection(&g_state.lock);
        g_state.noChange = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        g_state.made = true;
    }
    {
        const CHeld held;
        g_state.exitCode = exitCode;
        g_state.onEnd = onEnd;
        g_state.context = context;
        g_state.finished = false;
        g_state.installed = SetConsoleCtrlHandler(OnControlEvent, TRUE) != FALSE;
    }
    g_window = std::make_unique<CSessionEndWindow>(g_sessionEnd);
}

CConsoleCancel::~CConsoleCancel()
{
    {
        const CHeld held;
        if (g_state.installed)
            SetConsoleCtrlHandler(OnControlEvent, FALSE);
        g_state.installed = false;
    }
    g_window.reset();
}

CConsoleChange::CConsoleChange()
{
    if (g_state.made) {
        const CHeld held;
        if (++g_state.changes == 1)
            ResetEvent(g_state.noChange);
    }
}

CConsoleChange::~CConsoleChange()
{
    if (g_state.made) {
        const CHeld held;
        if (--g_state.changes == 0)
            SetEvent(g_state.noChange);
    }
}

bool ConsoleCancelRequested() { return g_state.requested != 0; }

void ConsoleRunFinished()
{
    if (g_state.made) {
        const CHeld held;
        g_state.finished = true;
    }
}

}  // namespace fw
