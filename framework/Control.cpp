#include "Control.h"

#include "App.h"
#include "Dialog.h"

namespace fw {

CControl::~CControl()
{
    if (m_parent)
        m_parent->RemoveReflection(*this);
}

bool CControl::Create(const char* windowClass, const char* text, DWORD style, const RECT& rect, CDialog& parent,
                      int id)
{
    m_hWnd = CreateWindowExA(0, windowClass, text, style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent.GetSafeHwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
    if (!m_hWnd)
        return false;
    // Controls made at run time get the dialog's font, as template controls do.
    SendMessageA(m_hWnd, WM_SETFONT, SendMessageA(parent.GetSafeHwnd(), WM_GETFONT, 0, 0), FALSE);
    m_parent = &parent;
    parent.AddReflection(*this);
    return true;
}

int CButton::GetCheck() const { return static_cast<int>(SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }

void CButton::SetCheck(int state) { SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0); }

int CComboBox::AddString(const std::string& text)
{
    return static_cast<int>(SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int CComboBox::GetCurSel() const { return static_cast<int>(SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0)); }

int CComboBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessageA(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

std::string CComboBox::GetLBText(int index) const
{
    const LRESULT length = SendMessageA(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace fw
