#include "MessageBox.h"

#include "App.h"
#include "Dialog.h"

namespace fw {

namespace {

// The deliverables run their windows on one thread.
HWND g_messageOwner = nullptr;
CMessageSink* g_sink = nullptr;

HWND MessageBoxOwner()
{
    return g_messageOwner && IsWindowVisible(g_messageOwner) ? g_messageOwner : DefaultOwner();
}

void ShowBox(const char* text, UINT icon)
{
    // The box disables its owner, so that the window that raised the
    // message cannot be used until the box is closed.
    const COwnerState owner(MessageBoxOwner());
    MessageBoxA(owner.Owner(), text, ModuleName().c_str(), MB_OK | icon);
    owner.KeepAsFound();
}

void Report(const char* text, MessageKind kind)
{
    if (g_sink)
        g_sink->OnMessage(text, kind);
    else
        ShowMessageBox(text);
}

}  // namespace

CMessageSink* SetMessageSink(CMessageSink* sink)
{
    CMessageSink* const previous = g_sink;
    g_sink = sink;
    return previous;
}

void AppMessageBox(const char* text) { Report(text, MessageKind::Failure); }

void EntryRefusedBox(const char* text) { Report(text, MessageKind::EntryRefused); }

void DoneBox(const char* text) { Report(text, MessageKind::Done); }

void ShowMessageBox(const char* text) { ShowBox(text, MB_ICONEXCLAMATION); }

void ShowInformationBox(const char* text) { ShowBox(text, MB_ICONINFORMATION); }

CMessageOwner::CMessageOwner(HWND window) : m_previous(g_messageOwner) { g_messageOwner = window; }

CMessageOwner::~CMessageOwner() { g_messageOwner = m_previous; }

}  // namespace fw
