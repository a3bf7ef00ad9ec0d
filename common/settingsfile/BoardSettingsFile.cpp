#include "settingsfile/BoardSettingsFile.h"

#include "board/PortModes.h"

namespace qb480 {

Settings SettingsOf(const BoardState& state)
{
    Settings settings;
    settings.memory = state.memory;
    settings.port = state.port;
    settings.irq = state.irq;
    settings.prefix = state.prefix;
    settings.numberingGiven = true;
    settings.firstPort = state.firstPort;
    for (const PortView& port : state.ports)
        if (port.stored)
            settings.ports.push_back(PortModesOf(port.number, *port.stored));
    return settings;
}

Settings SettingsToExport(const BoardState& state)
{
    Settings settings = SettingsOf(state);
    settings.ports.clear();
    for (const PortView& port : state.ports)
        settings.ports.push_back(PortModesOf(port.number, port.stored.value_or(kDefaultSpecialModes)));
    return settings;
}

BoardPorts BoardPortsOf(const BoardState& state)
{
    BoardPorts ports;
    ports.first = state.portsStartingAt.value_or(0);
    ports.count = state.prefixTooLong ? 0 : state.totalPorts.value_or(0);
    ports.storedPrefix = state.prefix.value_or("");
    return ports;
}

}  // namespace qb480
