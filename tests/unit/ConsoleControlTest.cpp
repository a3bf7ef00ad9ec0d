// What a console control event does to a console program that changes the
// machine. Wine 8 delivers none of them to a test (GenerateConsoleCtrlEvent
// fails or reaches no handler), so the decisions for the events that the
// end-to-end tests cannot fake are judged here.
#include <gtest/gtest.h>

#include "ConsoleControl.h"

using fw::ControlAnswer;

TEST(ConsoleControl, AChangeFinishesItsStepAndNoLogoffEndsARun)
{
    const struct {
        unsigned event;
        bool inChange;
        ControlAnswer answer;
    } rows[] = {
        {fw::kCtrlCEvent, false, ControlAnswer::EndNow},
        {fw::kCtrlCEvent, true, ControlAnswer::FinishStep},
        {fw::kCtrlBreakEvent, true, ControlAnswer::FinishStep},
        {fw::kCloseEvent, false, ControlAnswer::EndNow},
        // The system ends the process once the handler returns.
        {fw::kCloseEvent, true, ControlAnswer::FinishStepWhileHeld},
        {fw::kShutdownEvent, true, ControlAnswer::FinishStepWhileHeld},
        // Any user's logoff reaches a run as SYSTEM too.
        {fw::kLogoffEvent, true, ControlAnswer::Ignore},
        {fw::kLogoffEvent, false, ControlAnswer::Ignore},
        {3, true, ControlAnswer::PassOn},
    };
    for (const auto& row : rows)
        EXPECT_EQ(fw::AnswerControlEvent(row.event, row.inChange), row.answer)
            << "event " << row.event << (row.inChange ? " during a change" : "");
}
