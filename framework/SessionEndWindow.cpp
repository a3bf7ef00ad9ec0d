#include "SessionEndWindow.h"

namespace fw {

namespace {

// How long the program's end waits for the window's thread.
constexpr DWORD kThreadEndMs = 2000;

template <typename Function>
Function User32Function(const char* name)
{
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void*>(user32 ? GetProcAddress(user32, name) : nullptr));
}

}  // namespace

CSessionEndWindow::CSessionEndWindow(CSessionEndHandler& handler) : m_handler(handler)
{
    m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, Run, this, 0, &m_threadId);
    if (m_thread && m_ready)
        WaitForSingleObject(m_ready, kThreadEndMs);
}

CSessionEndWindow::~CSessionEndWindow()
{
    if (m_thread) {
        PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(m_thread, kThreadEndMs);
        CloseHandle(m_thread);
    }
    if (m_ready)
        CloseHandle(m_ready);
}

DWORD WINAPI CSessionEndWindow::Run(void* self)
{
    auto* owner = static_cast<CSessionEndWindow*>(self);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSessionEndWindowClass;
    RegisterClassA(&windowClass);
    // Top-level and never shown: a message-only window gets no broadcast.
    const HWND window = CreateWindowA(kSessionEndWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      windowClass.hInstance, owner);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the thread says it is ready
    SetEvent(owner->m_ready);
    while (window && GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    if (window)
        DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK CSessionEndWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* owner = reinterpret_cast<CSessionEndWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (owner && message == WM_QUERYENDSESSION)
        return owner->m_handler.QueryEnd(window) ? TRUE : FALSE;
    if (owner && message == WM_ENDSESSION) {
        owner->m_handler.Ends(window, wParam != FALSE);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void BlockSessionEnd(HWND window, const wchar_t* reason)
{
    using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
    if (const auto create = User32Function<Create>("ShutdownBlockReasonCreate"))
        create(window, reason);
}

void UnblockSessionEnd(HWND window)
{
    using Destroy = BOOL(WINAPI*)(HWND);
    if (const auto destroy = User32Function<Destroy>("ShutdownBlockReasonDestroy"))
        destroy(window);
}

}  // namespace fw
