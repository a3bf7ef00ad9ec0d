#include "board/ComNumbering.h"

#include <algorithm>

#include "EntryText.h"
#include "board/PortModes.h"

namespace qb480 {

namespace {

// Lists longer than this name their first entries and count the rest.
constexpr std::size_t kListedInFull = 4;
constexpr std::size_t kListedBeforeMore = 3;

bool EqualsNoCase(const std::string& text, const char* word)
{
    const std::string upper(word);
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b;
           });
}

// Up to four decimal digits, without a leading zero: absent otherwise.
std::optional<std::uint32_t> SmallNumber(const std::string& digits)
{
    if (digits.empty() || digits.size() > 4 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    std::uint32_t number = 0;
    for (char digit : digits)
        number = number * 10 + static_cast<std::uint32_t>(digit - '0');
    return number;
}

std::string Listed(const HeldNumber& held)
{
    const std::string name = PortName("COM", held.number);
    return held.device.empty() ? name : name + " (" + held.device + ")";
}

std::string ListText(const std::vector<HeldNumber>& held)
{
    if (held.empty())
        return {};
    const std::size_t shown = held.size() <= kListedInFull ? held.size() - 1 : kListedBeforeMore;
    std::string text;
    for (std::size_t i = 0; i < shown; ++i)
        text += (i ? ", " : "") + Listed(held[i]);
    const std::string last = held.size() <= kListedInFull
                                 ? Listed(held.back())
                                 : fw::DecimalText(static_cast<std::uint32_t>(held.size() - shown)) + " more";
    return shown ? text + " and " + last : last;
}

}  // namespace

bool IsComPrefix(const std::string& prefix)
{
    return EqualsNoCase(prefix, "COM");
}

ComNumbers RangeNumbers(std::uint32_t first, std::uint32_t count)
{
    ComNumbers numbers;
    const std::uint32_t ports = ListablePorts(count, first);
    for (std::uint32_t i = 0; i < ports; ++i)
        if (first + i >= 1 && first + i <= kComDbMaxPorts)
            numbers.insert(first + i);
    return numbers;
}

ComNumbers NeededNumbers(const ClaimFacts& facts)
{
    if (!IsComPrefix(facts.prefix) || !facts.portCount)
        return {};
    ComNumbers needed;
    if (facts.reportedFirst)
        needed = RangeNumbers(*facts.reportedFirst, *facts.portCount);
    if (facts.firstPort)
        for (std::uint32_t number : RangeNumbers(*facts.firstPort, *facts.portCount))
            needed.insert(number);
    return needed;
}

ClaimPlan PlanClaims(const ClaimFacts& facts)
{
    ClaimPlan plan;
    const ComNumbers needed = NeededNumbers(facts);
    for (std::uint32_t number : needed) {
        const bool recorded = facts.record.count(number) != 0;
        if (!facts.inUse.count(number))
            plan.claim.insert(number);
        else if (!recorded)
            plan.heldByOthers.insert(number);
    }
    const ComNumbers others = OtherDevicesNumbers(facts);
    for (std::uint32_t number : facts.record)
        if (!needed.count(number))
            (others.count(number) ? plan.handOver : plan.release).insert(number);
    return plan;
}

ComNumbers OtherDevicesNumbers(const ClaimFacts& facts)
{
    ComNumbers others = facts.serialComm;
    if (facts.driverRuns && facts.reportedFirst && facts.portCount)
        for (std::uint32_t number : RangeNumbers(*facts.reportedFirst, *facts.portCount))
            others.erase(number);
    return others;
}

std::string RecordText(const ComNumbers& numbers)
{
    std::string text;
    for (std::uint32_t number : numbers)
        text += (text.empty() ? "" : ",") + fw::DecimalText(number);
    return text;
}

ComNumbers ParseRecord(const std::string& text)
{
    ComNumbers numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const auto number = SmallNumber(text.substr(start, end - start));
        if (number && *number <= kComDbMaxPorts)
            numbers.insert(*number);
        start = end + 1;
    }
    return numbers;
}

std::optional<std::uint32_t> ComNumberOfName(const std::string& name)
{
    if (name.size() < 3 || !EqualsNoCase(name.substr(0, 3), "COM"))
        return std::nullopt;
    return SmallNumber(name.substr(3));
}

std::string CollisionMessage(const std::vector<HeldNumber>& held, std::uint32_t first)
{
    const bool one = held.size() == 1;
    return ListText(held) + (one ? " is in use by another device" : " are in use by other devices") +
           " on this machine. The board's ports will be numbered from " + fw::DecimalText(first) +
           (one ? " all the same; check the other device's port number."
                : " all the same; check the other devices' port numbers.");
}

}  // namespace qb480
