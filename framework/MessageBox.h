#pragma once
// Every failure the deliverables report goes through here: a modal box with
// the fixed text, one OK button and the exclamation icon, captioned with the
// module's name. Returns when the operator has closed it.
#include <windows.h>

namespace fw {

// Owned by the window of the innermost CMessageOwner while that window is
// visible, else by DefaultOwner(): a window that is not visible is never
// the owner.
void AppMessageBox(const char* text);

// While it lives, the boxes of this thread block window, also when another
// program's window is active and this thread has none: a step run by a
// dialog reports to that dialog.
class CMessageOwner {
public:
    explicit CMessageOwner(HWND window);
    ~CMessageOwner();
    CMessageOwner(const CMessageOwner&) = delete;
    CMessageOwner& operator=(const CMessageOwner&) = delete;

private:
    HWND m_previous;
};

}  // namespace fw
