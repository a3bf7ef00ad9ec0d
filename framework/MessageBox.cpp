#include "MessageBox.h"

#include "App.h"
#include "Dialog.h"

namespace fw {

namespace {

// The deliverables run their windows on one thread.
HWND g_messageOwner = nullptr;

HWND MessageBoxOwner()
{
    return g_messageOwner && IsWindowVisible(g_messageOwner) ? g_messageOwner : DefaultOwner();
}

}  // namespace

CMessageOwner::CMessageOwner(HWND window) : m_previous(g_messageOwner) { g_messageOwner = window; }

CMessageOwner::~CMessageOwner() { g_messageOwner = m_previous; }

void AppMessageBox(const char* text)
{
    // The box disables its owner, so that the window that raised the
    // message cannot be used until the box is closed.
    const COwnerState owner(MessageBoxOwner());
    MessageBoxA(owner.Owner(), text, ModuleName().c_str(), MB_OK | MB_ICONEXCLAMATION);
    owner.KeepAsFound();
}

}  // namespace fw
