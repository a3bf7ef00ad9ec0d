// The rule's edges, and the order of the claims, releases and record
// writes against a database that fails where Windows may; the applet's
// tests walk the ordinary cases end to end.
#include "board/ComClaimSteps.h"
#include "board/ComNumbering.h"

#include <gtest/gtest.h>

using namespace qb480;

namespace {

ComNumbers Span(std::uint32_t first, std::uint32_t last)
{
    ComNumbers numbers;
    for (std::uint32_t n = first; n <= last; ++n)
        numbers.insert(n);
    return numbers;
}

// A database and a record that answer as told: a claim of a number in use
// is refused, and the record's writes fail from the Nth on.
class CFakeLedger : public CComLedger {
public:
    ComAnswer Claim(std::uint32_t number) override
    {
        return (claimRaced.count(number) || !inUse.insert(number).second) ? ComAnswer::InUse : ComAnswer::Done;
    }
    ComAnswer Release(std::uint32_t number) override
    {
        if (refuseRelease.count(number))
            return ComAnswer::Failed;
        inUse.erase(number);
        return ComAnswer::Done;
    }
    bool WriteRecord(const ComNumbers& written) override
    {
        if (++writes >= failFromWrite)
            return false;
        record = written;
        return true;
    }
    // One run of the set-up with the board needing the driver's report.
    ClaimOutcome Run(std::uint32_t first, std::uint32_t count)
    {
        ClaimFacts facts;
        facts.prefix = "COM";
        facts.reportedFirst = first;
        facts.portCount = count;
        facts.record = record;
        facts.inUse = inUse;
        facts.serialComm = serialComm;
        return ApplyClaimPlan(PlanClaims(facts), record, *this);
    }

    ComNumbers inUse, record, serialComm, claimRaced, refuseRelease;
    int writes = 0, failFromWrite = 1000;
};

}  // namespace

TEST(ApplyClaimPlan, ARecordedNumberInUseStaysTheBoardsWhateverItsClaimAnswers)
{
    CFakeLedger machine;
    machine.inUse = {5};  // another device's
    EXPECT_EQ(machine.Run(3, 4).claimed, (ComNumbers{3, 4, 6}));
    for (int run = 0; run < 2; ++run)  // the next openings
        EXPECT_EQ(machine.Run(3, 4).heldByOthers, ComNumbers{5});
    EXPECT_EQ(machine.record, (ComNumbers{3, 4, 6}));
    // The usage read showed COM3 free, and its claim then found it in use.
    machine.inUse.erase(3);
    machine.claimRaced = {3};
    const ClaimOutcome raced = machine.Run(3, 4);
    EXPECT_EQ(raced.heldByOthers, ComNumbers{5});
    EXPECT_EQ(machine.record, (ComNumbers{3, 4, 6}));
}

TEST(ApplyClaimPlan, ANumberOnceReleasedIsNeverInTheRecordSoAnotherDeviceKeepsIt)
{
    CFakeLedger machine;
    machine.Run(3, 2);
    ASSERT_EQ(machine.record, (ComNumbers{3, 4}));
    // The record cannot be written: the new claims go back, nothing is released.
    machine.failFromWrite = machine.writes + 1;
    const ClaimOutcome refused = machine.Run(10, 2);
    EXPECT_TRUE(refused.recordFailed);
    EXPECT_EQ(refused.released, ComNumbers{});
    EXPECT_EQ(machine.inUse, (ComNumbers{3, 4}));
    EXPECT_EQ(machine.record, (ComNumbers{3, 4}));
    // The first write succeeds, a release fails and its record write fails.
    machine.failFromWrite = machine.writes + 2;
    machine.refuseRelease = {4};
    const ClaimOutcome half = machine.Run(10, 2);
    EXPECT_EQ(half.released, ComNumbers{3});
    EXPECT_TRUE(half.recordFailed);
    EXPECT_EQ(machine.record, (ComNumbers{10, 11}));
    machine.inUse.insert(3);  // another device claims what was given back
    machine.failFromWrite = 1000;
    machine.refuseRelease.clear();
    // Back to COM3: the other device keeps it, and COM4 went unrecorded.
    EXPECT_EQ(machine.Run(3, 2).heldByOthers, (ComNumbers{3, 4}));
    EXPECT_EQ(machine.inUse, (ComNumbers{3, 4}));
    EXPECT_EQ(machine.record, ComNumbers{});
}

TEST(ApplyClaimPlan, ANumberAnotherDeviceUsesNowIsHandedOverNotReleased)
{
    CFakeLedger machine;
    machine.Run(3, 2);
    machine.serialComm = {3};
    const ClaimOutcome moved = machine.Run(10, 2);
    EXPECT_EQ(moved.handedOver, ComNumbers{3});
    EXPECT_EQ(moved.released, ComNumbers{4});
    EXPECT_EQ(machine.inUse, (ComNumbers{3, 10, 11}));
    EXPECT_EQ(machine.record, (ComNumbers{10, 11}));
    ClaimFacts facts;
    facts.serialComm = {3, 10, 12};
    facts.reportedFirst = 10;
    facts.portCount = 2;
    facts.driverRuns = true;  // its own ports are entered while it runs
    EXPECT_EQ(OtherDevicesNumbers(facts), (ComNumbers{3, 12}));
}

TEST(PlanClaims, TakesComInAnyCaseAndAgainANumberTheDatabaseLost)
{
    ClaimFacts facts;
    facts.reportedFirst = 3;
    facts.portCount = 2;
    facts.record = {3, 4, 9};
    facts.inUse = {4, 9};  // COM3 was lost
    for (const char* prefix : {"COM", "cOm"}) {
        facts.prefix = prefix;
        const ClaimPlan plan = PlanClaims(facts);
        EXPECT_EQ(plan.claim, ComNumbers{3}) << prefix;
        EXPECT_EQ(plan.release, ComNumbers{9}) << prefix;
    }
    for (const char* prefix : {"COM ", "COMX", "", "CO"}) {
        facts.prefix = prefix;
        EXPECT_EQ(PlanClaims(facts).claim, ComNumbers{}) << prefix;
        EXPECT_EQ(PlanClaims(facts).release, (ComNumbers{3, 4, 9})) << prefix;
    }
    facts.prefix = "COM";
    facts.portCount.reset();  // a driver that never ran: nothing is known to claim
    facts.firstPort = 20;
    EXPECT_EQ(NeededNumbers(facts), ComNumbers{});
}

TEST(PlanClaims, RangesStayWithinWhatTheDatabaseArbitrates)
{
    EXPECT_EQ(RangeNumbers(4094, 8), Span(4094, 4096));
    EXPECT_EQ(RangeNumbers(0, 3), Span(1, 2));
    EXPECT_EQ(RangeNumbers(1, 4000000000u), Span(1, 256));
    EXPECT_EQ(RangeNumbers(4294967295u, 8), ComNumbers{});
}

TEST(ComRecord, IsReadBackAndPassesOverWhatNoNumberIs)
{
    EXPECT_EQ(RecordText({3, 4, 12, 4096}), "3,4,12,4096");
    EXPECT_EQ(ParseRecord("3,4,12,4096"), (ComNumbers{3, 4, 12, 4096}));
    EXPECT_EQ(ParseRecord("x,0,4097,05,,-3, 7,99999999999,12"), ComNumbers{12});
}

TEST(ComNumberOfName, TakesComAndDigitsOnly)
{
    EXPECT_EQ(ComNumberOfName("com12"), 12u);
    for (const char* name : {"COM", "COM05", "LPT1", "COM5 ", "COM12345", "XCOM5"})
        EXPECT_EQ(ComNumberOfName(name), std::nullopt) << name;
}

TEST(CollisionMessage, ShortensLongLists)
{
    EXPECT_EQ(CollisionMessage({{20, ""}, {21, "\\Device\\Serial1"}, {22, ""}, {27, ""}}, 20)
                  .find("COM20, COM21 (\\Device\\Serial1), COM22 and COM27 are in use"),
              0u);
    EXPECT_EQ(CollisionMessage({{5, ""}, {6, ""}, {7, ""}, {8, ""}, {9, ""}, {10, ""}, {11, ""}}, 5)
                  .find("COM5, COM6, COM7 and 4 more are in use"),
              0u);
}
