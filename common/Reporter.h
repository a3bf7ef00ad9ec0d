#pragma once
// Where a run's messages go: the message box as the dialogs have always
// shown them, or, for a quiet run, no window at all. A log, when there is
// one, gets every message and every step besides. While it lives it also
// takes the messages that shared steps raise through fw::AppMessageBox.
// It keeps the run's exit code (ExitCodes.h and the program's own).
#include <string>

#include "MessageBox.h"

namespace fw {
class CLogFile;
}

namespace qb480 {

class CReporter : public fw::CMessageSink {
public:
    // log: null when the run keeps none.
    CReporter(bool quiet, fw::CLogFile* log);
    ~CReporter();
    CReporter(const CReporter&) = delete;
    CReporter& operator=(const CReporter&) = delete;

    bool Quiet() const { return m_quiet; }

    // A step of the run, for the log only.
    void Note(const std::string& text);
    // The run ends with this message and code; the steps that follow
    // (removing what the run registered) may still report.
    void Fail(int code, const char* text);
    // The run's goal reached: 0, or kExitStepFailed when a step reported a
    // failure on the way.
    void Succeed(const char* text);

    int ExitCode() const { return m_code; }
    // The log's last line, "exit code N"; the code.
    int Finish();

    void OnMessage(const char* text, fw::MessageKind kind) override;

private:
    void Show(const char* text);

    bool m_quiet;
    fw::CLogFile* m_log;
    fw::CMessageSink* m_previous;
    bool m_stepFailed = false;
    bool m_ended = false;
    int m_code = 0;
};

}  // namespace qb480
