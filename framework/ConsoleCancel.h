#pragma once
// The console control handler of a program that changes the machine
// (ConsoleControl.h says what each event leads to), and its window for the
// session's end, which such a program hears of only through one
// (SessionEndWindow.h). One lives for the program's run; the steps of a
// change are bracketed by CConsoleChange and ask ConsoleCancelRequested()
// before each further step.
#include "ConsoleControl.h"

namespace fw {

class CConsoleCancel {
public:
    // onEnd(context) runs on the handler's thread when the program ends at
    // once, before it ends with exitCode; it writes the program's last lines.
    CConsoleCancel(int exitCode, void (*onEnd)(void* context), void* context);
    ~CConsoleCancel();
    CConsoleCancel(const CConsoleCancel&) = delete;
    CConsoleCancel& operator=(const CConsoleCancel&) = delete;
};

// While one lives, the program is changing the machine.
class CConsoleChange {
public:
    CConsoleChange();
    ~CConsoleChange();
    CConsoleChange(const CConsoleChange&) = delete;
    CConsoleChange& operator=(const CConsoleChange&) = delete;
};

// True once an event asked the program to end: take no further step.
bool ConsoleCancelRequested();

// The run's final output is written next: from now on a console event or
// the session's end changes neither that output nor the exit code. Waits
// while an event ends the run at once, and then never returns.
void ConsoleRunFinished();

}  // namespace fw
