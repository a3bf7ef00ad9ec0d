#pragma once
// Dialogs made from the module's dialog templates, modal or modeless. The
// dialog procedure only dispatches: a derived dialog overrides the handlers
// it needs and lists its fields once in DoDataExchange.
#include <windows.h>

#include <vector>

namespace fw {

class CControl;
class CDataExchange;

// The owner a modal window takes when none is given: the window active on
// this thread (a top-level window), so that the window the administrator
// was using cannot be used beneath it. Null when no window is
// active or that window is not visible (the dialog then stands on its own,
// with its own taskbar button).
HWND DefaultOwner();

// The system enables a modal window's owner whenever that window ends. An
// owner that an outer modal window had disabled (the Control Panel's window
// while the main dialog's opening runs the installation's board settings)
// must stay disabled, or it takes clicks under the window still running:
// this notes the owner's state before and puts it back.
class COwnerState {
public:
    COwnerState() = default;
    explicit COwnerState(HWND owner) : m_owner(owner), m_wasEnabled(!owner || IsWindowEnabled(owner)) {}
    HWND Owner() const { return m_owner; }
    void KeepAsFound() const
    {
        if (!m_wasEnabled)
            EnableWindow(m_owner, FALSE);
    }

private:
    HWND m_owner = nullptr;
    bool m_wasEnabled = true;
};

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // dialog could not be created. A dialog constructed without a parent is
    // owned by DefaultOwner() while it runs: that window is disabled until
    // the dialog ends, then enabled and active again.
    INT_PTR DoModal();

    // Creates the dialog modeless; false when it could not be created.
    bool Create();
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void EndDialog(INT_PTR result);

    // Moves the fields into the controls (false) or the controls into the
    // fields (true). False when an entry was refused: its message has been
    // shown, the focus is in the refused field and the fields are unchanged
    // from that field on.
    bool UpdateData(bool saveAndValidate = true);

    void AddReflection(CControl& control);
    void RemoveReflection(CControl& control);

protected:
    virtual void DoDataExchange(CDataExchange& /*dx*/) {}

    // Default: the fields are shown; true lets the system set the focus.
    virtual BOOL OnInitDialog();
    // Default: the controls are read and, when they pass, the dialog ends with IDOK.
    virtual void OnOK();
    // Default: the dialog ends with IDCANCEL.
    virtual void OnCancel();
    // A command from a button, menu or accelerator that no control handled;
    // true when handled. Default: IDOK and IDCANCEL.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // True when handled; otherwise the system's default handling runs.
    virtual bool OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) { return false; }
    // Any other message; set handled and return the result to give.
    virtual INT_PTR OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled)
    {
        handled = false;
        return 0;
    }

    // Appends a separator and the text of the string resource as the system
    // menu command 0x10, when the string exists and is not empty.
    void AppendAboutMenuEntry(UINT stringId);
    static constexpr UINT kAboutCommand = 0x10;
    void SetIcon(HICON icon);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool ReflectCommand(HWND control, WORD code);

    UINT m_templateId;
    HWND m_parent;
    COwnerState m_owner;  // while modal
    bool m_modal = false;
    std::vector<CControl*> m_reflections;
};

}  // namespace fw
