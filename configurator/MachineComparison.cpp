#include "MachineComparison.h"

#include "board/PortModeWords.h"
#include "board/PortModes.h"
#include "board/PortNamePrefix.h"
#include "settingsfile/BoardSettingsFile.h"

namespace qb480 {

namespace {

constexpr char kNotStored[] = "not stored";

}  // namespace

SettingsComparison CompareWithMachine(const Settings& asked, const BoardState& state)
{
    Settings wanted = asked;
    if (wanted.prefix)
        wanted.prefix = PrefixAsStored(*wanted.prefix);
    Settings stored = SettingsOf(state);
    // The advanced options look a port's word up by the prefix stored last.
    const std::string prefix = wanted.prefix.value_or(state.prefix.value_or(kDefaultPrefix));
    stored.ports.clear();
    for (const PortModesSetting& port : wanted.ports)
        if (const auto word = ReadStoredWord(PortName(prefix, port.number)))
            stored.ports.push_back(PortModesOf(port.number, *word));
    return CompareSettings(wanted, stored);
}

std::uint32_t FirstBoardNumber(const Settings& asked, const BoardState& state)
{
    const std::optional<std::uint32_t> first = asked.numberingGiven ? asked.firstPort : state.firstPort;
    return first.value_or(state.portsStartingAt.value_or(0));
}

std::string DifferenceLine(const SettingDifference& difference, const std::string& file)
{
    return difference.setting + ": " + difference.machine.value_or(kNotStored) + " on this machine, " +
           difference.wanted + " in " + file;
}

std::string ChangeLine(const SettingDifference& change, bool whatIf)
{
    return change.setting + (whatIf ? ": would change from " : ": changed from ") +
           change.machine.value_or(kNotStored) + " to " + change.wanted;
}

}  // namespace qb480
