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

ComNumbers Without(ComNumbers numbers, std::uint32_t number)
{
    numbers.erase(number);
    return numbers;
}

// COM3 to COM10 reported, COM5 held by another device.
ClaimFacts Reported3To10()
{
    ClaimFacts facts;
    facts.prefix = "COM";
    facts.reportedFirst = 3;
    facts.portCount = 8;
    facts.inUse = {1, 5};
    return facts;
}

}  // namespace

TEST(PlanClaims, ClaimsTheReportedNumbersAndLeavesAnotherDevicesAlone)
{
    ClaimFacts facts = Reported3To10();
    ClaimPlan plan = PlanClaims(facts);
    EXPECT_EQ(plan.claim, Without(Span(3, 10), 5));
    EXPECT_EQ(plan.heldByOthers, ComNumbers{5});
    EXPECT_EQ(plan.release, ComNumbers{});

    // Once claimed, nothing is left to do; a recorded number the database
    // lost is claimed again.
    facts.record = Without(Span(3, 10), 5);
    facts.inUse = {1, 3, 4, 5, 6, 7, 8, 10};
    plan = PlanClaims(facts);
    EXPECT_EQ(plan.claim, ComNumbers{9});
    EXPECT_EQ(plan.heldByOthers, ComNumbers{5});
    EXPECT_EQ(plan.release, ComNumbers{});
}

TEST(PlanClaims, AMovedFirstPortIsClaimedAtOnceAndTheOldNumbersGoWhenTheDriverReportsTheNew)
{
    ClaimFacts facts = Reported3To10();
    facts.record = Without(Span(3, 10), 5);
    facts.inUse = Span(1, 10);
    facts.firstPort = 20;
    ClaimPlan plan = PlanClaims(facts);
    EXPECT_EQ(plan.claim, Span(20, 27));
    EXPECT_EQ(plan.release, ComNumbers{});

    facts.reportedFirst = 20;
    facts.record = Span(20, 27);
    for (std::uint32_t n : Without(Span(3, 10), 5))
        facts.record.insert(n);
    facts.inUse = Span(1, 27);
    plan = PlanClaims(facts);
    EXPECT_EQ(plan.claim, ComNumbers{});
    EXPECT_EQ(plan.release, Without(Span(3, 10), 5));  // never COM5, which is not ours
    EXPECT_EQ(plan.heldByOthers, ComNumbers{});
}

TEST(PlanClaims, OnlyTheComPrefixInAnyCaseTakesNumbers)
{
    ClaimFacts facts = Reported3To10();
    facts.prefix = "cOm";
    EXPECT_EQ(PlanClaims(facts).claim, Without(Span(3, 10), 5));
    facts.record = {3, 4};
    facts.inUse = {1, 3, 4, 5};
    for (const char* prefix : {"TTY", "COM ", "COMX", "", "CO"}) {
        facts.prefix = prefix;
        const ClaimPlan plan = PlanClaims(facts);
        EXPECT_EQ(plan.claim, ComNumbers{}) << prefix;
        EXPECT_EQ(plan.heldByOthers, ComNumbers{}) << prefix;
        EXPECT_EQ(plan.release, (ComNumbers{3, 4})) << prefix;
    }
}

TEST(PlanClaims, RangesStayWithinWhatTheDatabaseArbitrates)
{
    EXPECT_EQ(RangeNumbers(4094, 8), Span(4094, 4096));
    EXPECT_EQ(RangeNumbers(0, 3), Span(1, 2));
    EXPECT_EQ(RangeNumbers(1, 4000000000u), Span(1, 256));
    EXPECT_EQ(RangeNumbers(4294967295u, 8), ComNumbers{});
    ClaimFacts facts = Reported3To10();
    facts.portCount.reset();  // a driver that never ran: nothing is known to claim
    facts.firstPort = 20;
    EXPECT_EQ(NeededNumbers(facts), ComNumbers{});
}

TEST(ComRecord, IsReadBackAndPassesOverWhatNoNumberIs)
{
    EXPECT_EQ(RecordText({3, 4, 12, 4096}), "3,4,12,4096");
    EXPECT_EQ(ParseRecord("3,4,12,4096"), (ComNumbers{3, 4, 12, 4096}));
    EXPECT_EQ(ParseRecord(""), ComNumbers{});
    EXPECT_EQ(ParseRecord("x,0,4097,05,,-3, 7,99999999999,12"), ComNumbers{12});
}

TEST(ComNumberOfName, TakesComAndDigitsOnly)
{
    EXPECT_EQ(ComNumberOfName("COM5"), 5u);
    EXPECT_EQ(ComNumberOfName("com12"), 12u);
    for (const char* name : {"COM", "COM05", "COM0", "LPT1", "COM5 ", "COM5:", "COM12345", "XCOM5"})
        EXPECT_EQ(ComNumberOfName(name), std::nullopt) << name;
}

TEST(CollisionMessage, NamesTheNumbersAndShortensLongLists)
{
    EXPECT_EQ(CollisionMessage({{5, ""}, {6, ""}}, 3),
              "COM5 and COM6 are in use by other devices on this machine. The board's ports will be numbered from 3 "
              "all the same; check the other devices' port numbers.");
    EXPECT_EQ(CollisionMessage({{5, "\\Device\\Serial0"}}, 3),
              "COM5 (\\Device\\Serial0) is in use by another device on this machine. The board's ports will be "
              "numbered from 3 all the same; check the other device's port number.");
    EXPECT_EQ(CollisionMessage({{20, ""}, {21, "\\Device\\Serial1"}, {22, ""}, {27, ""}}, 20)
                  .find("COM20, COM21 (\\Device\\Serial1), COM22 and COM27 are in use"),
              0u);
    EXPECT_EQ(CollisionMessage({{5, ""}, {6, ""}, {7, ""}, {8, ""}, {9, ""}, {10, ""}, {11, ""}}, 5)
                  .find("COM5, COM6, COM7 and 4 more are in use"),
              0u);
}
