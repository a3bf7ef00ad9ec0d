#pragma once
// The caller's file and line, taken as a defaulted last parameter so that a
// helper's failure points at the test line that called it.
#include <string>

namespace harness {

struct CallSite {
    CallSite(const char* file = __builtin_FILE(), int line = __builtin_LINE()) : file(file), line(line) {}
    const char* file;
    int line;
};

// Records a non-fatal GoogleTest failure at the caller's line, or hands it
// to the handler set below.
void Fail(const CallSite& where, const std::string& message);

// For programs built on the harness that are not tests (the walk-through
// robots): every failure goes to handler instead. nullptr: GoogleTest again.
using FailureHandler = void (*)(const CallSite& where, const std::string& message);
void SetFailureHandler(FailureHandler handler);

}  // namespace harness
