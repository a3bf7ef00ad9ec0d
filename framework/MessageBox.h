#pragma once
// Every failure the deliverables report goes through here: a modal box with
// the fixed text, one OK button and the exclamation icon, captioned with the
// module's name. Returns when the operator has closed it. A run that
// reports elsewhere (to a log, for a script) installs a sink that takes the
// messages instead.
#include <windows.h>

namespace fw {

enum class MessageKind {
    Failure,       // a step failed
    EntryRefused,  // an entry in a dialog still open, which the operator corrects there
    Done,          // a step tells that it succeeded, in the same box
};

// Takes this thread's messages instead of the box while installed.
class CMessageSink {
public:
    virtual void OnMessage(const char* text, MessageKind kind) = 0;

protected:
    ~CMessageSink() = default;
};

// Installs sink (null: the box again); returns the one installed before.
CMessageSink* SetMessageSink(CMessageSink* sink);

// To the sink, or else the box.
void AppMessageBox(const char* text);
void EntryRefusedBox(const char* text);
void DoneBox(const char* text);

// The box itself, whatever sink is installed. Owned by the window of the
// innermost CMessageOwner while that window is visible, else by
// DefaultOwner(): a window that is not visible is never the owner.
void ShowMessageBox(const char* text);
// The same with the information icon, for what is no failure (the usage).
void ShowInformationBox(const char* text);

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
