// libFuzzer target for the settings-file reader. The first two bytes choose
// the board's ports (first number and count), the rest is the file. A refusal
// must name a line of the file and a reason; accepted settings must pass the
// dialogs' rules on their own, name only the board's ports, each once, and
// survive a write and a second read unchanged. Anything else aborts, so
// libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "board/BoardRules.h"
#include "FuzzCheck.h"
#include "board/PortModes.h"
#include "settingsfile/SettingsFile.h"

namespace {

bool InRange(const std::optional<std::uint8_t>& field, const qb480::FieldRange& range)
{
    return !field || (*field >= range.low && *field <= range.high);
}

void CheckRefusal(const qb480::SettingsOutcome& outcome, const std::string& text)
{
    unsigned long lines = 1;
    for (char c : text)
        lines += c == '\n';
    FUZZ_CHECK(!outcome.refusal.reason.empty(), "a refusal without a reason");
    FUZZ_CHECK(outcome.refusal.line >= 1 && outcome.refusal.line <= lines, "line %lu of %lu", outcome.refusal.line,
               lines);
}

void CheckAccepted(const qb480::Settings& s, const qb480::BoardPorts& board)
{
    using qb480::BoardCheck;
    FUZZ_CHECK(!s.memory || qb480::CheckMemoryAddress(*s.memory) == BoardCheck::Ok, "memory %X", *s.memory);
    FUZZ_CHECK(!s.port || qb480::CheckPortAddress(*s.port) == BoardCheck::Ok, "port %X", *s.port);
    FUZZ_CHECK(!s.irq || qb480::CheckIrq(*s.irq) == BoardCheck::Ok, "irq %u", *s.irq);
    FUZZ_CHECK(!s.firstPort || (s.numberingGiven && *s.firstPort != 0), "first port %u", *s.firstPort);
    FUZZ_CHECK(!s.prefix || s.prefix->find('\0') == std::string::npos, "a zero byte in the prefix");
    const std::uint32_t count = qb480::ListablePorts(board.count, board.first);
    std::set<std::uint32_t> numbers;
    for (const qb480::PortModesSetting& port : s.ports) {
        FUZZ_CHECK(port.number >= board.first && port.number - board.first < count, "port %u", port.number);
        FUZZ_CHECK(numbers.insert(port.number).second, "port %u twice", port.number);
        const bool fieldsInRange = InRange(port.rxTimeout, qb480::kRxTimeoutRange) &&
                                   InRange(port.rxThreshold, qb480::kRxThresholdRange) &&
                                   InRange(port.txLoad, qb480::kTxLoadRange);
        FUZZ_CHECK(fieldsInRange, "port %u's fields", port.number);
    }
}

void CheckRoundTrip(const qb480::Settings& s, const qb480::BoardPorts& board)
{
    const qb480::SettingsHeader header{"qb480cfg", "1.0.0", "FUZZ", "2024-05-01 12:34:56"};
    const std::string written = qb480::WriteSettings(header, s, board.storedPrefix);
    const qb480::SettingsOutcome again = qb480::ReadSettings(written, board);
    FUZZ_CHECK(again.settings, "its own text refused on line %lu: %s", again.refusal.line,
               again.refusal.reason.c_str());
    FUZZ_CHECK(qb480::WriteSettings(header, *again.settings, board.storedPrefix) == written,
               "a second read differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const qb480::BoardPorts board{data[0], data[1] % 20u, "COM"};
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const qb480::SettingsOutcome outcome = qb480::ReadSettings(text, board);
    if (!outcome.settings) {
        CheckRefusal(outcome, text);
        return 0;
    }
    CheckAccepted(*outcome.settings, board);
    CheckRoundTrip(*outcome.settings, board);
    return 0;
}
