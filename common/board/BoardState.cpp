#include "board/BoardState.h"

#include "windows/ParamNames.h"
#include "board/PortModes.h"
#include "windows/Registry.h"
#include "windows/ServiceControl.h"
#include "board/PortModeWords.h"

namespace qb480 {

namespace {

// The program's own query with no more access than reading needs.
bool FindReadOnly(ServiceQuery query)
{
    query.managerAccess = kReadOnlyManagerAccess;
    return FindDriverService(query);
}

DriverServiceState ReadServiceState()
{
    // Asked in the main dialog's order. A crowded manager can hide the
    // driver from the first question and not from the second.
    const bool installed = FindReadOnly(kServiceVariant.installed);
    if (FindReadOnly(kServiceVariant.started))
        return DriverServiceState::Running;
    return installed ? DriverServiceState::Stopped : DriverServiceState::Absent;
}

void ReadVersions(BoardState& state)
{
    if (state.service != DriverServiceState::Running) {
        state.driverVersion = state.firmwareVersion = kDriverNotActive;
        return;
    }
    state.driverVersion.assign(kVersionBuffer, '0');
    state.firmwareVersion.assign(kVersionBuffer, '0');
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    ReadVersionTexts(key.get(), state.driverVersion, state.firmwareVersion);
}

void ReadParameters(BoardState& state)
{
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    state.memory = ReadDword(key.get(), kValueMemSeg);
    state.port = ReadDword(key.get(), kValuePort);
    state.irq = ReadDword(key.get(), kValueIrq);
    state.firstPort = ReadDword(key.get(), kValueFirstPort);
}

void ReadPorts(BoardState& state)
{
    const PortFacts facts = ReadPortFacts();
    state.totalPorts = facts.count;
    state.portsStartingAt = facts.first;
    state.prefix = facts.prefix;
    state.prefixTooLong = facts.prefixTooLong;
    PortState ports;
    ports.count = facts.count.value_or(0);
    ports.first = facts.first.value_or(0);
    ports.prefix = facts.prefix.value_or("");
    ports.prefixNamesPorts = !facts.prefixTooLong;
    const std::uint32_t count = ConfigurablePorts(ports);
    const auto words = ReadStoredSpecialModes(ports, count);
    for (std::uint32_t i = 0; i < count; ++i)
        state.ports.push_back({ports.first + i, PortName(ports.prefix, ports.first + i), words[i]});
}

}  // namespace

void ReadVersionTexts(HKEY key, std::string& driverText, std::string& firmwareText)
{
    if (auto text = ReadText(key, kValueDriverVersion, kVersionBuffer))
        driverText = *text;
    if (auto text = ReadText(key, kValueFirmwareVersion, kVersionBuffer))
        firmwareText = *text;
}

BoardState ReadBoardState()
{
    BoardState state;
    state.service = ReadServiceState();
    ReadVersions(state);
    ReadParameters(state);
    ReadPorts(state);
    return state;
}

}  // namespace qb480
