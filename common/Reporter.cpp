#include "Reporter.h"

#include "EntryText.h"
#include "Console.h"
#include "ExitCodes.h"
#include "LogFile.h"

namespace qb480 {

namespace {

class CHeld {
public:
    explicit CHeld(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
    ~CHeld() { LeaveCriticalSection(&m_lock); }
    CHeld(const CHeld&) = delete;
    CHeld& operator=(const CHeld&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};

}  // namespace

CReporter::CReporter(ReportTo to, fw::CLogFile* log)
    : m_to(to), m_log(log), m_previous(fw::SetMessageSink(this))
{
    InitializeCriticalSection(&m_lock);
}

CReporter::~CReporter()
{
    fw::SetMessageSink(m_previous);
    DeleteCriticalSection(&m_lock);
}

void CReporter::Note(const std::string& text)
{
    const CHeld held(m_lock);
    if (m_log)
        m_log->Line(text);
}

void CReporter::Print(const std::string& text)
{
    const CHeld held(m_lock);
    Note(text);
    if (m_to == ReportTo::Console)
        fw::WriteOutputLine(text);
}

void CReporter::Show(const char* text)
{
    // A console's lines are the messages themselves, and its log the same
    // lines; the window programs' logs tell messages from steps.
    if (m_to == ReportTo::Console || m_to == ReportTo::ConsoleJson)
        return Print(text);
    Note(std::string("Message: ") + text);
    if (m_to == ReportTo::Boxes)
        fw::ShowMessageBox(text);
}

void CReporter::OnMessage(const char* text, fw::MessageKind kind)
{
    const CHeld held(m_lock);
    if (kind == fw::MessageKind::Failure) {
        ++m_failures;
        if (!m_ended)
            m_failureLine = text;
    }
    Show(text);
}

void CReporter::Fail(int code, const char* text)
{
    // The first end decides: a failure while cleaning up after it does not
    // replace its code.
    const CHeld held(m_lock);
    if (!m_ended) {
        m_code = code;
        if (text)
            m_failureLine = text;
    }
    m_ended = true;
    if (text)
        Show(text);
}

void CReporter::Succeed(const char* text, int doneCode)
{
    const CHeld held(m_lock);
    if (!m_ended)
        m_code = m_failures ? kExitStepFailed : doneCode;
    m_ended = true;
    if (text)
        Show(text);
}

int CReporter::Finish()
{
    const CHeld held(m_lock);
    Note("exit code " + fw::DecimalText(static_cast<std::uint32_t>(m_code)));
    return m_code;
}

}  // namespace qb480
