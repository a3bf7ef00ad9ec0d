#include "settingsfile/SettingsComparison.h"

#include "EntryText.h"
#include "board/PortModes.h"
#include "SettingsNames.h"

namespace qb480 {

namespace {

using namespace settings;

std::string Decimal(std::uint32_t value) { return fw::DecimalText(value); }
std::string Hex(std::uint32_t value) { return fw::HexText(value); }
std::string Text(const std::string& text) { return text; }
std::string YesNo(bool value) { return value ? kYes : kNo; }
std::string FirstPortText(const std::optional<std::uint32_t>& first) { return first ? Decimal(*first) : kNone; }

// One value asked for against the stored one; true when they differ.
template <typename T, typename Format>
bool Differs(std::vector<SettingDifference>& differences, const std::string& setting, const std::optional<T>& wanted,
             const std::optional<T>& stored, Format format)
{
    if (!wanted || (stored && *stored == *wanted))
        return false;
    differences.push_back(
        {setting, stored ? std::optional<std::string>(format(*stored)) : std::nullopt, format(*wanted)});
    return true;
}

const PortModesSetting* StoredPort(const Settings& stored, std::uint32_t number)
{
    for (const PortModesSetting& port : stored.ports)
        if (port.number == number)
            return &port;
    return nullptr;
}

// A port's given fields against its stored word, or the default word the
// driver, show and the advanced options take for one not stored; those that
// differ are returned, without fields when none does.
PortModesSetting ComparePort(std::vector<SettingDifference>& differences, const std::string& name,
                             const PortModesSetting& wanted, const PortModesSetting* stored)
{
    const PortModesSetting word = stored ? *stored : PortModesOf(wanted.number, kDefaultSpecialModes);
    const std::string section = std::string(kPortSection) + " " + name + " ";
    PortModesSetting changed;
    changed.number = wanted.number;
    if (Differs(differences, section + kRxTimeoutKey, wanted.rxTimeout, word.rxTimeout, Decimal))
        changed.rxTimeout = wanted.rxTimeout;
    if (Differs(differences, section + kRxThresholdKey, wanted.rxThreshold, word.rxThreshold, Decimal))
        changed.rxThreshold = wanted.rxThreshold;
    if (Differs(differences, section + kTxLoadKey, wanted.txLoad, word.txLoad, Decimal))
        changed.txLoad = wanted.txLoad;
    if (Differs(differences, section + kMultidropKey, wanted.multidrop, word.multidrop, YesNo))
        changed.multidrop = wanted.multidrop;
    if (Differs(differences, section + kHalfDuplexKey, wanted.halfDuplex, word.halfDuplex, YesNo))
        changed.halfDuplex = wanted.halfDuplex;
    return changed;
}

}  // namespace

SettingsComparison CompareSettings(const Settings& wanted, const Settings& stored)
{
    SettingsComparison comparison;
    std::vector<SettingDifference>& differences = comparison.differences;
    Settings& changed = comparison.changes;
    if (Differs(differences, kMemoryKey, wanted.memory, stored.memory, Hex))
        changed.memory = wanted.memory;
    if (Differs(differences, kPortKey, wanted.port, stored.port, Hex))
        changed.port = wanted.port;
    if (Differs(differences, kIrqKey, wanted.irq, stored.irq, Decimal))
        changed.irq = wanted.irq;
    if (Differs(differences, kPrefixKey, wanted.prefix, stored.prefix, Text))
        changed.prefix = wanted.prefix;
    // No index chosen is a stored state of its own ("none"), never "not stored".
    if (wanted.numberingGiven && wanted.firstPort != stored.firstPort) {
        differences.push_back({kFirstPortKey, FirstPortText(stored.firstPort), FirstPortText(wanted.firstPort)});
        changed.numberingGiven = true;
        changed.firstPort = wanted.firstPort;
    }
    const std::string prefix = wanted.prefix.value_or(stored.prefix.value_or(""));
    for (const PortModesSetting& port : wanted.ports) {
        const PortModesSetting changedPort =
            ComparePort(differences, PortName(prefix, port.number), port, StoredPort(stored, port.number));
        if (changedPort.AnyGiven())
            changed.ports.push_back(changedPort);
    }
    return comparison;
}

}  // namespace qb480
