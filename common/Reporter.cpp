#include "Reporter.h"

#include "EntryText.h"
#include "ExitCodes.h"
#include "LogFile.h"

namespace qb480 {

CReporter::CReporter(bool quiet, fw::CLogFile* log)
    : m_quiet(quiet), m_log(log), m_previous(fw::SetMessageSink(this))
{
}

CReporter::~CReporter() { fw::SetMessageSink(m_previous); }

void CReporter::Note(const std::string& text)
{
    if (m_log)
        m_log->Line(text);
}

void CReporter::Show(const char* text)
{
    Note(std::string("Message: ") + text);
    if (!m_quiet)
        fw::ShowMessageBox(text);
}

void CReporter::OnMessage(const char* text, fw::MessageKind kind)
{
    if (kind == fw::MessageKind::Failure)
        m_stepFailed = true;
    Show(text);
}

void CReporter::Fail(int code, const char* text)
{
    // The first end decides: a failure while cleaning up after it does not
    // replace its code.
    if (!m_ended)
        m_code = code;
    m_ended = true;
    Show(text);
}

void CReporter::Succeed(const char* text)
{
    if (!m_ended)
        m_code = m_stepFailed ? kExitStepFailed : kExitDone;
    m_ended = true;
    Show(text);
}

int CReporter::Finish()
{
    Note("exit code " + fw::DecimalText(static_cast<std::uint32_t>(m_code)));
    return m_code;
}

}  // namespace qb480
