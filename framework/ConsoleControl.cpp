#include "ConsoleControl.h"

namespace fw {

ControlAnswer AnswerControlEvent(unsigned event, bool inChange)
{
    switch (event) {
    case kCtrlCEvent:
    case kCtrlBreakEvent:
        return inChange ? ControlAnswer::FinishStep : ControlAnswer::EndNow;
    case kCloseEvent:
    case kShutdownEvent:
        return inChange ? ControlAnswer::FinishStepWhileHeld : ControlAnswer::EndNow;
    case kLogoffEvent:
        return ControlAnswer::Ignore;
    default:
        return ControlAnswer::PassOn;
    }
}

}  // namespace fw
