#pragma once
// Where a step's messages go. The steps that both the applet and a console
// program take report each message through this, in the exact text the
// operator has always read; the applet shows it in its message box.
namespace qb480 {

class CMessageSink {
public:
    // Returns when the message has been delivered (for a box: closed).
    virtual void Report(const char* text) = 0;

protected:
    CMessageSink() = default;
    ~CMessageSink() = default;
    CMessageSink(const CMessageSink&) = default;
    CMessageSink& operator=(const CMessageSink&) = default;
};

// The module's message box: modal, one OK button, the module's name as caption.
CMessageSink& MessageBoxSink();

}  // namespace qb480
