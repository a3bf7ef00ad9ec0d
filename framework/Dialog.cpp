#include "Dialog.h"

#include <algorithm>

#include "App.h"
#include "Control.h"
#include "DataExchange.h"

namespace fw {

HWND DefaultOwner()
{
    // The active window is always a top-level one: the system activates no
    // child window.
    const HWND window = GetActiveWindow();
    return window && IsWindowVisible(window) ? window : nullptr;
}

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog()
{
    if (m_hWnd && !m_modal)
        ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    m_modal = true;
    // The system disables the owner for as long as the dialog runs.
    m_owner = COwnerState(m_parent ? m_parent : DefaultOwner());
    const INT_PTR result = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(m_templateId), m_owner.Owner(),
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    m_owner.KeepAsFound();
    m_hWnd = nullptr;
    return result;
}

bool CDialog::Create()
{
    m_modal = false;
    return CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::DestroyWindow()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_modal) {
        ::EndDialog(m_hWnd, result);
        m_owner.KeepAsFound();
    } else {
        DestroyWindow();
    }
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CDialog::AddReflection(CControl& control) { m_reflections.push_back(&control); }

void CDialog::RemoveReflection(CControl& control)
{
    m_reflections.erase(std::remove(m_reflections.begin(), m_reflections.end(), &control), m_reflections.end());
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(WORD id, WORD /*code*/, HWND /*control*/)
{
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void CDialog::AppendAboutMenuEntry(UINT stringId)
{
    const std::string text = LoadResourceString(stringId);
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (text.empty() || !menu)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kAboutCommand, text.c_str());
}

void CDialog::SetIcon(HICON icon)
{
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool CDialog::ReflectCommand(HWND control, WORD code)
{
    for (CControl* reflected : m_reflections)
        if (reflected->GetSafeHwnd() == control)
            return reflected->OnReflectedCommand(code);
    return false;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        const HWND control = reinterpret_cast<HWND>(lParam);
        if (control && ReflectCommand(control, HIWORD(wParam)))
            return TRUE;
        return OnCommand(LOWORD(wParam), HIWORD(wParam), control);
    }
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    default: {
        bool handled = false;
        const INT_PTR result = OnMessage(message, wParam, lParam, handled);
        if (!handled)
            return FALSE;
        // Messages whose answer is not the procedure's result go through DWLP_MSGRESULT.
        switch (message) {
        case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORMSGBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
        case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
            return result;
        default:
            SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        dialog->m_hWnd = hwnd;
    }
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!dialog)
        return FALSE;
    const INT_PTR result = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        dialog->m_hWnd = nullptr;
    }
    return result;
}

}  // namespace fw
