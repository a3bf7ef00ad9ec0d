#include "DebugOutput.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace harness {
namespace {

// One handler serves every recorder alive; each keeps what came in its own
// lifetime.
std::mutex g_recordersLock;
std::map<const CDebugOutputRecorder*, std::vector<std::string>> g_logs;
void* g_vectoredHandler = nullptr;

LONG CALLBACK RecordDebugOutput(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        // The length counts the terminating zero.
        std::lock_guard<std::mutex> lock(g_recordersLock);
        for (auto& log : g_logs)
            log.second.emplace_back(text, length ? length - 1 : 0);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

CDebugOutputRecorder::CDebugOutputRecorder()
{
    std::lock_guard<std::mutex> lock(g_recordersLock);
    g_logs[this];
    if (!g_vectoredHandler)
        g_vectoredHandler = AddVectoredExceptionHandler(1, RecordDebugOutput);
    m_handler = g_vectoredHandler;
}

CDebugOutputRecorder::~CDebugOutputRecorder()
{
    std::lock_guard<std::mutex> lock(g_recordersLock);
    g_logs.erase(this);
    if (g_logs.empty() && g_vectoredHandler) {
        RemoveVectoredExceptionHandler(g_vectoredHandler);
        g_vectoredHandler = nullptr;
    }
}

std::vector<std::string> CDebugOutputRecorder::Messages() const
{
    std::lock_guard<std::mutex> lock(g_recordersLock);
    const auto log = g_logs.find(this);
    return log == g_logs.end() ? std::vector<std::string>{} : log->second;
}

std::string CDebugOutputRecorder::Text() const
{
    std::string text;
    for (const auto& message : Messages())
        text += message;
    return text;
}

}  // namespace harness
