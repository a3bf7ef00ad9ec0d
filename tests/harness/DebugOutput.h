#pragma once
// Records what this process passes to OutputDebugStringA while no debugger
// is attached: Wine raises DBG_PRINTEXCEPTION_C for it, which a vectored
// handler sees first. The handler lets the exception go on
// (EXCEPTION_CONTINUE_SEARCH), so the output still reaches its usual end.
#include <string>
#include <vector>

namespace harness {

class CDebugOutputRecorder {
public:
    CDebugOutputRecorder();
    ~CDebugOutputRecorder();
    CDebugOutputRecorder(const CDebugOutputRecorder&) = delete;
    CDebugOutputRecorder& operator=(const CDebugOutputRecorder&) = delete;

    // Each OutputDebugStringA text since this recorder was made, in order,
    // from any thread. Recorders alive at once each see the same texts.
    std::vector<std::string> Messages() const;
    // All of them joined.
    std::string Text() const;

private:
    void* m_handler;  // shared by the recorders alive
};

}  // namespace harness
