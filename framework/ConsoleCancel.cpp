#include "ConsoleCancel.h"

#include <windows.h>

namespace fw {

namespace {

// One handler per process: what it shares with the main thread. The lock
// is made once and kept for the process's life, as a handler thread may
// still wait for it when the program ends.
struct CancelState {
    CRITICAL_SECTION lock;
    bool made = false;
    bool installed = false;
    int changes = 0;
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

BOOL WINAPI OnControlEvent(DWORD event)
{
    ControlAnswer answer;
    {
        const CHeld held;
        // The program is ending by itself: its own code stands.
        if (!g_state.installed)
            return TRUE;
        answer = AnswerControlEvent(event, g_state.changes > 0);
        if (answer == ControlAnswer::Ignore || answer == ControlAnswer::PassOn)
            return answer == ControlAnswer::Ignore;
        InterlockedExchange(&g_state.requested, 1);
        // Still held, so that the main thread cannot begin a change.
        if (answer == ControlAnswer::EndNow) {
            g_state.onEnd(g_state.context);
            ExitProcess(static_cast<UINT>(g_state.exitCode));
        }
    }
    // The program ends itself once the step is done, and this thread with it.
    if (answer == ControlAnswer::FinishStepWhileHeld)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

CConsoleCancel::CConsoleCancel(int exitCode, void (*onEnd)(void* context), void* context)
{
    if (!g_state.made) {
        InitializeCriticalSection(&g_state.lock);
        g_state.made = true;
    }
    const CHeld held;
    g_state.exitCode = exitCode;
    g_state.onEnd = onEnd;
    g_state.context = context;
    g_state.installed = SetConsoleCtrlHandler(OnControlEvent, TRUE) != FALSE;
}

CConsoleCancel::~CConsoleCancel()
{
    const CHeld held;
    if (g_state.installed)
        SetConsoleCtrlHandler(OnControlEvent, FALSE);
    g_state.installed = false;
}

CConsoleChange::CConsoleChange()
{
    if (g_state.made) {
        const CHeld held;
        ++g_state.changes;
    }
}

CConsoleChange::~CConsoleChange()
{
    if (g_state.made) {
        const CHeld held;
        --g_state.changes;
    }
}

bool ConsoleCancelRequested() { return g_state.requested != 0; }

}  // namespace fw
