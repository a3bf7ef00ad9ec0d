#pragma once
// Where a run's messages go: the message box as the dialogs have always
// shown them; for a quiet run, no window at all; for a console program,
// a line each on standard output. A log, when there is one, gets every
// message and every step besides. While it lives it also
// takes the messages that shared steps raise through fw::AppMessageBox.
// It keeps the run's exit code (ExitCodes.h and the program's own). One
// thread at a time writes through it: a console program's handler of Ctrl+C
// or the session's end may write its last lines while the main thread
// writes.
#include <windows.h>

#include <string>

#include "MessageBox.h"

namespace fw {
class CLogFile;
}

namespace qb480 {

// ConsoleJson: a console program whose standard output is one JSON object
// that it writes itself at the end; the lines go to the log only.
enum class ReportTo { Boxes, LogOnly, Console, ConsoleJson };

class CReporter : public fw::CMessageSink {
public:
    // log: null when the run keeps none.
    CReporter(ReportTo to, fw::CLogFile* log);
    ~CReporter();
    CReporter(const CReporter&) = delete;
    CReporter& operator=(const CReporter&) = delete;

    bool Quiet() const { return m_to != ReportTo::Boxes; }

    // A step of the run, for the log only.
    void Note(const std::string& text);
    // A line of a console program's output, which its log gets too; the
    // log only for the others.
    void Print(const std::string& text);
    // The run ends with this message and code; the steps that follow
    // (removing what the run registered) may still report. text null: the
    // step that failed has said why.
    void Fail(int code, const char* text);
    // The run's goal reached: doneCode, or kExitStepFailed when a step
    // reported a failure on the way. text null: nothing more to say.
    void Succeed(const char* text, int doneCode = 0);
    // How many failures the steps have reported so far.
    int FailuresReported() const { return m_failures; }

    int ExitCode() const { return m_code; }
    // The line that said why the run failed: the end's own text, or the
    // last failure a step reported; empty when none was said.
    const std::string& FailureLine() const { return m_failureLine; }
    // The log's last line, "exit code N"; the code.
    int Finish();

    void OnMessage(const char* text, fw::MessageKind kind) override;

private:
    void Show(const char* text);

    mutable CRITICAL_SECTION m_lock;  // recursive: a message's lines go through Note
    ReportTo m_to;
    fw::CLogFile* m_log;
    fw::CMessageSink* m_previous;
    int m_failures = 0;
    bool m_ended = false;
    int m_code = 0;
    std::string m_failureLine;
};

}  // namespace qb480
