#pragma once
// What a console program that changes the machine does on Ctrl+C,
// Ctrl+Break, a closed console window or a shutdown. The system's default
// ends the process in the middle of a step, with a code (0xC000013A) that no
// script knows. Instead a step in progress finishes and no further one is
// taken; a program that is changing nothing ends at once. Portable, so that
// the rules are unit-tested natively.
namespace fw {

// The events as the system numbers them (wincon.h).
enum ControlEvent : unsigned {
    kCtrlCEvent = 0,
    kCtrlBreakEvent = 1,
    kCloseEvent = 2,
    kLogoffEvent = 5,
    kShutdownEvent = 6,
};

enum class ControlAnswer {
    EndNow,
    // The program finishes the step and ends; the handler returns at once.
    FinishStep,
    // The same, but the handler must not return: the system ends the
    // process when it does.
    FinishStepWhileHeld,
    // Handled, nothing to do: a user's logoff reaches the programs of
    // services (and of SYSTEM's start-up scripts) too, and ends a user's
    // own programs by itself.
    Ignore,
    PassOn,  // not ours: the next handler, the system's default at last
};

ControlAnswer AnswerControlEvent(unsigned event, bool inChange);

}  // namespace fw
