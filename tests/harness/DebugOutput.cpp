#include "DebugOutput.h"

#include <windows.h>

#include <mutex>

namespace harness {
namespace {

std::mutex g_lock;
std::vector<std::string> g_messages;

LONG CALLBACK RecordDebugOutput(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        // The length counts the terminating zero.
        std::lock_guard<std::mutex> lock(g_lock);
        g_messages.emplace_back(text, length ? length - 1 : 0);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

CDebugOutputRecorder::CDebugOutputRecorder()
{
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_messages.clear();
    }
    m_handler = AddVectoredExceptionHandler(1, RecordDebugOutput);
}

CDebugOutputRecorder::~CDebugOutputRecorder()
{
    RemoveVectoredExceptionHandler(m_handler);
}

std::vector<std::string> CDebugOutputRecorder::Messages() const
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_messages;
}

std::string CDebugOutputRecorder::Text() const
{
    std::string text;
    for (const auto& message : Messages())
        text += message;
    return text;
}

}  // namespace harness
