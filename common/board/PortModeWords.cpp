#include "board/PortModeWords.h"

#include "EntryText.h"
#include "MessageBox.h"
#include "SettingsNames.h"
#include "windows/AuditLog.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"

namespace qb480 {

PortFacts ReadPortFacts()
{
    PortFacts facts;
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    if (!key)
        return facts;
    facts.keyOpened = true;
    facts.count = ReadDword(key.get(), kValueTotalNumberOfPorts);
    facts.first = ReadDword(key.get(), kValuePortsStartingAt);
    // Read whole: the main dialog stores a prefix of any length, and a cut
    // one would name other ports. Longer data is not even read.
    const WholeText read = ReadWholeText(key.get(), kValuePortNamePrefix, kMaxPrefixLength + 1);
    facts.prefixTooLong = read.tooLong || (read.text && read.text->size() > kMaxPrefixLength);
    if (!facts.prefixTooLong)
        facts.prefix = read.text;
    return facts;
}

void ReadPortData(PortState& state)
{
    const PortFacts facts = ReadPortFacts();
    if (!facts.keyOpened)
        return;
    if (facts.count)
        state.count = *facts.count;
    else
        fw::AppMessageBox("Couldn't get TotalNumberOfPorts from registry");
    if (facts.first)
        state.first = *facts.first;
    else
        fw::AppMessageBox("Couldn't read PortsStartingAt from registry");
    if (facts.prefixTooLong) {
        state.prefixNamesPorts = false;
        fw::AppMessageBox("The Port Name Prefix is too long to name the ports; shorten it in the main dialog.");
    } else if (facts.prefix) {
        state.prefix = *facts.prefix;
        state.prefixNamesPorts = true;
    }
}

std::uint32_t ConfigurablePorts(const PortState& state)
{
    return state.prefixNamesPorts ? ListablePorts(state.count, state.first) : 0;
}

std::uint32_t PortsToList(const PortState& state)
{
    const std::uint32_t listable = ConfigurablePorts(state);
    if (state.prefixNamesPorts && listable < state.count) {
        const std::string message = "The driver reports " + fw::DecimalText(state.count) + " ports starting at " +
                                    fw::DecimalText(state.first) + "; only " + fw::DecimalText(listable) +
                                    " of them can be configured here.";
        fw::AppMessageBox(message.c_str());
    }
    return listable;
}

std::vector<std::optional<std::uint32_t>> ReadStoredSpecialModes(const PortState& state, std::uint32_t count)
{
    std::vector<std::optional<std::uint32_t>> words(count);
    const fw::UniqueHkey key = OpenKeyForQuery(kSpecialModesKey);
    if (!key)
        return words;
    for (std::uint32_t i = 0; i < count; ++i)
        words[i] = ReadDword(key.get(), PortName(state.prefix, state.first + i).c_str());
    return words;
}

std::vector<std::uint32_t> ReadSpecialModes(const PortState& state, std::uint32_t count)
{
    std::vector<std::uint32_t> words;
    for (const auto& stored : ReadStoredSpecialModes(state, count))
        words.push_back(stored.value_or(kDefaultSpecialModes));
    return words;
}

std::optional<std::uint32_t> ReadStoredWord(const std::string& portName)
{
    const fw::UniqueHkey key = OpenKeyForQuery(kSpecialModesKey);
    return key ? ReadDword(key.get(), portName.c_str()) : std::nullopt;
}

namespace {

std::string YesNo(bool value) { return value ? settings::kYes : settings::kNo; }

// Each of the five fields that the new word changes, as the settings file
// names them; a port without a word has the default one, as the driver
// takes it.
void RecordPortModes(const std::string& portName, std::uint32_t oldWord, std::uint32_t newWord, bool written,
                     const char* failure)
{
    const SpecialModes before = UnpackSpecialModes(oldWord), after = UnpackSpecialModes(newWord);
    const std::string section = std::string(settings::kPortSection) + " " + portName + " ";
    const auto record = [&](const char* key, const std::string& old, const std::string& now) {
        RecordSetting(section + key, old, now, written, failure);
    };
    record(settings::kRxTimeoutKey, fw::DecimalText(before.rxTimeout), fw::DecimalText(after.rxTimeout));
    record(settings::kRxThresholdKey, fw::DecimalText(before.rxThreshold), fw::DecimalText(after.rxThreshold));
    record(settings::kTxLoadKey, fw::DecimalText(before.txLoad), fw::DecimalText(after.txLoad));
    record(settings::kMultidropKey, YesNo(before.multidrop), YesNo(after.multidrop));
    record(settings::kHalfDuplexKey, YesNo(before.halfDuplex), YesNo(after.halfDuplex));
}

}  // namespace

bool StoreSpecialModes(const std::string& portName, std::uint32_t word)
{
    const std::uint32_t before = ReadStoredWord(portName).value_or(kDefaultSpecialModes);
    const fw::UniqueHkey key = CreateKeyForWriting(kSpecialModesKey);
    if (!key) {
        fw::AppMessageBox("Could not open registry key");
        RecordPortModes(portName, before, word, false, "Could not open registry key");
        return false;
    }
    const bool written = WriteDword(key.get(), portName.c_str(), word);
    if (!written)
        fw::AppMessageBox("Could not write the magic data");
    RecordPortModes(portName, before, word, written, "Could not write the magic data");
    return written;
}

}  // namespace qb480
