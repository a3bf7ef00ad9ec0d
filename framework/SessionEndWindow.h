#pragma once
// A console program that loads user32 gets neither CTRL_LOGOFF_EVENT nor
// CTRL_SHUTDOWN_EVENT (SetConsoleCtrlHandler's Remarks): it learns of the
// session's end from WM_QUERYENDSESSION and WM_ENDSESSION, sent to its
// top-level windows. This one is hidden, on a thread of its own, so that
// the messages come while the main thread works.
#include <windows.h>

namespace fw {

inline constexpr char kSessionEndWindowClass[] = "QB480SessionEnd";

class CSessionEndHandler {
public:
    // WM_QUERYENDSESSION: true lets the session end.
    virtual bool QueryEnd(HWND window) = 0;
    // WM_ENDSESSION: ending, or the end called off.
    virtual void Ends(HWND window, bool ending) = 0;

protected:
    ~CSessionEndHandler() = default;
};

class CSessionEndWindow {
public:
    explicit CSessionEndWindow(CSessionEndHandler& handler);
    ~CSessionEndWindow();
    CSessionEndWindow(const CSessionEndWindow&) = delete;
    CSessionEndWindow& operator=(const CSessionEndWindow&) = delete;

private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    CSessionEndHandler& m_handler;
    HANDLE m_ready = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
};

// ShutdownBlockReasonCreate (Vista and later, looked up at run time): the
// reason Windows shows while the window holds the session's end off.
void BlockSessionEnd(HWND window, const wchar_t* reason);
void UnblockSessionEnd(HWND window);

}  // namespace fw
