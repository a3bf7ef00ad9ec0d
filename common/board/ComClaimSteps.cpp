#include "board/ComClaimSteps.h"

namespace qb480 {

namespace {

// A recorded number that the database shows in use is the board's, however
// the claim of it went.
void Claim(const ClaimPlan& plan, const ComNumbers& record, CComLedger& ledger, ClaimOutcome& outcome)
{
    for (std::uint32_t number : plan.claim) {
        const ComAnswer answer = ledger.Claim(number);
        if (answer == ComAnswer::Done)
            outcome.claimed.insert(number);
        else if (answer == ComAnswer::InUse && !record.count(number))
            outcome.heldByOthers.insert(number);
        else if (answer != ComAnswer::InUse)
            outcome.failed.insert(number);
    }
}

ComNumbers Without(ComNumbers numbers, const ComNumbers& gone)
{
    for (std::uint32_t number : gone)
        numbers.erase(number);
    return numbers;
}

void GiveBackClaims(CComLedger& ledger, ClaimOutcome& outcome)
{
    for (std::uint32_t number : outcome.claimed) {
        ledger.Release(number);
        outcome.failed.insert(number);
    }
    outcome.claimed.clear();
}

}  // namespace

ClaimOutcome ApplyClaimPlan(const ClaimPlan& plan, const ComNumbers& record, CComLedger& ledger)
{
    ClaimOutcome outcome;
    outcome.checked = true;
    outcome.heldByOthers = plan.heldByOthers;
    Claim(plan, record, ledger, outcome);
    ComNumbers next = Without(Without(record, plan.release), plan.handOver);
    next.insert(outcome.claimed.begin(), outcome.claimed.end());
    if (next != record && !ledger.WriteRecord(next)) {
        outcome.recordFailed = true;
        GiveBackClaims(ledger, outcome);
        return outcome;
    }
    outcome.handedOver = plan.handOver;
    ComNumbers unreleased;
    for (std::uint32_t number : plan.release) {
        const ComAnswer answer = ledger.Release(number);
        if (answer == ComAnswer::Done || answer == ComAnswer::NotInDatabase)
            outcome.released.insert(number);
        else
            unreleased.insert(number);
    }
    outcome.failed.insert(unreleased.begin(), unreleased.end());
    if (!unreleased.empty()) {
        next.insert(unreleased.begin(), unreleased.end());
        outcome.recordFailed = !ledger.WriteRecord(next);
    }
    return outcome;
}

}  // namespace qb480
