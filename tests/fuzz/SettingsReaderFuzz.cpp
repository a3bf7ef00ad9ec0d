// libFuzzer target for the settings-file reader. The first two bytes choose
// the board's ports (first number and count), the rest is the file. A refusal
// must name a line of the file and a reason; accepted settings must pass the
// dialogs' rules on their own, name only the board's ports, each once, and
// survive a write and a second read unchanged. Held against a machine, the
// changes they name, once applied, leave nothing to change, and every
// difference is valid JSON as the configurator prints it. Anything else
// aborts, so libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "board/BoardRules.h"
#include "FuzzCheck.h"
#include "JsonText.h"
#include "board/PortModes.h"
#include "settingsfile/SettingsComparison.h"
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

// A JSON string literal as RFC 8259 has it: quoted, escapes known, no
// control character, valid UTF-8.
bool ValidJsonString(const std::string& json)
{
    if (json.size() < 2 || json.front() != '"' || json.back() != '"')
        return false;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c == '"')
            return false;
        if (c == '\\') {
            const char next = json[++i];
            if (next == 'u')
                i += 4;
            else if (std::string("\"\\/bfnrt").find(next) == std::string::npos)
                return false;
        } else if (c >= 0x80) {
            std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            if (!length || c > 0xF4 || i + length > json.size() - 1)
                return false;
            for (std::size_t k = 1; k < length; ++k)
                if ((static_cast<unsigned char>(json[i + k]) & 0xC0) != 0x80)
                    return false;
            i += length - 1;
        }
    }
    return true;
}

// The machine after the changes are written, as the configurator writes
// them: each value given replaces the stored one; a port's word gets the
// given fields over the stored word, or over the default one.
qb480::Settings Applied(qb480::Settings stored, const qb480::Settings& changes)
{
    stored.memory = changes.memory ? changes.memory : stored.memory;
    stored.port = changes.port ? changes.port : stored.port;
    stored.irq = changes.irq ? changes.irq : stored.irq;
    stored.prefix = changes.prefix ? changes.prefix : stored.prefix;
    if (changes.numberingGiven)
        stored.firstPort = changes.firstPort;
    for (const qb480::PortModesSetting& change : changes.ports) {
        qb480::PortModesSetting* port = nullptr;
        for (qb480::PortModesSetting& candidate : stored.ports)
            port = candidate.number == change.number ? &candidate : port;
        const std::uint32_t word = port ? qb480::ApplyPortModes(0, *port) : qb480::kDefaultSpecialModes;
        const qb480::PortModesSetting written = qb480::PortModesOf(change.number, qb480::ApplyPortModes(word, change));
        if (port)
            *port = written;
        else
            stored.ports.push_back(written);
    }
    return stored;
}

void CheckComparison(const qb480::Settings& wanted, const qb480::Settings& stored)
{
    const qb480::SettingsComparison comparison = qb480::CompareSettings(wanted, stored);
    for (const qb480::SettingDifference& difference : comparison.differences) {
        for (const std::string& text : {difference.setting, difference.machine.value_or(""), difference.wanted})
            FUZZ_CHECK(ValidJsonString(qb480::JsonString(text)), "%s is no JSON string", text.c_str());
    }
    const auto again = qb480::CompareSettings(wanted, Applied(stored, comparison.changes)).differences;
    FUZZ_CHECK(again.empty(), "%s still differs once applied", again.front().setting.c_str());
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
    qb480::Settings fresh;
    fresh.numberingGiven = true;
    qb480::Settings stored = fresh;
    stored.memory = 0xD0000;
    stored.irq = 5;
    stored.prefix = "COM";
    stored.ports = {qb480::PortModesOf(board.first, 0x05030A03)};
    CheckComparison(*outcome.settings, fresh);
    CheckComparison(*outcome.settings, stored);
    return 0;
}
