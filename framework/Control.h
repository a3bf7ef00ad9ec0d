#pragma once
// Child controls that a dialog creates at run time. A control object can
// handle its own notifications: the dialog reflects each WM_COMMAND from the
// control's window to it first, and handles the command itself only when the
// control did not.
#include <windows.h>

#include <string>

namespace fw {

class CDialog;

class CControl {
public:
    CControl() = default;
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    // Creates the window as a child of the dialog and registers the object
    // for reflected notifications. False when the window was not created.
    bool Create(const char* windowClass, const char* text, DWORD style, const RECT& rect, CDialog& parent,
                int id);

    HWND GetSafeHwnd() const { return m_hWnd; }

    // A notification code the control sent to its parent; true when handled.
    virtual bool OnReflectedCommand(WORD /*code*/) { return false; }

protected:
    HWND m_hWnd = nullptr;
    CDialog* m_parent = nullptr;
};

class CButton : public CControl {
public:
    bool Create(const char* text, DWORD style, const RECT& rect, CDialog& parent, int id)
    {
        return CControl::Create("BUTTON", text, style, rect, parent, id);
    }
    int GetCheck() const;
    void SetCheck(int state);
};

class CComboBox : public CControl {
public:
    bool Create(DWORD style, const RECT& rect, CDialog& parent, int id)
    {
        return CControl::Create("COMBOBOX", "", style, rect, parent, id);
    }
    int AddString(const std::string& text);
    int GetCurSel() const;
    int SetCurSel(int index);
    std::string GetLBText(int index) const;
};

}  // namespace fw
