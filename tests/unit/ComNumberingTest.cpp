// The rule's edges; the applet's tests walk its ordinary cases end to end.
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

}  // namespace

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
