#include "ShowLines.h"

#include "EntryText.h"
#include "board/PortModes.h"
#include "SettingsNames.h"

namespace qb480 {

namespace {

using namespace settings;

constexpr char kNotStored[] = "(not stored)";

std::string Decimal(const std::optional<std::uint32_t>& value)
{
    return value ? fw::DecimalText(*value) : kNotStored;
}

const char* YesNo(bool value) { return value ? kYes : kNo; }

std::string ComText(const ComNumberView* com)
{
    if (!com || com->state == ComNumberState::Unchecked)
        return "; COM database: not checked";
    if (com->state == ComNumberState::Claimed)
        return "; COM database: claimed for the board";
    if (com->state == ComNumberState::Free)
        return "; COM database: free, not claimed yet";
    return "; COM database: in use by another device" + (com->device.empty() ? "" : " (" + com->device + ")");
}

std::string PortLine(const PortView& port, const ComNumberView* com)
{
    const SpecialModes modes = UnpackSpecialModes(port.stored.value_or(kDefaultSpecialModes));
    return std::string(kPortSection) + " " + port.name + ": " + kRxTimeoutKey + " " + fw::DecimalText(modes.rxTimeout) +
           ", " + kRxThresholdKey + " " + fw::DecimalText(modes.rxThreshold) + ", " + kTxLoadKey + " " +
           fw::DecimalText(modes.txLoad) + ", " + kMultidropKey + " " + YesNo(modes.multidrop) + ", " +
           kHalfDuplexKey + " " + YesNo(modes.halfDuplex) + (port.stored ? "" : " (not stored: the default)") + ComText(com);
}

std::string PrefixText(const BoardState& state)
{
    if (state.prefixTooLong)
        return "(too long to name the ports)";
    return state.prefix ? *state.prefix : kNotStored;
}

}  // namespace

const char* ServiceText(DriverServiceState service)
{
    switch (service) {
    case DriverServiceState::Running:
        return "running";
    case DriverServiceState::Stopped:
        return "stopped";
    case DriverServiceState::Absent:
        break;
    }
    return "absent";
}

std::vector<std::string> ShowLines(const BoardState& state, const std::vector<ComNumberView>& com)
{
    std::vector<std::string> lines = {
        std::string("Service VDXQB480: ") + ServiceText(state.service),
        "Driver version: " + state.driverVersion,
        "Firmware version: " + state.firmwareVersion,
        // As the board settings dialog shows them: 0 for a value not stored.
        std::string(kMemoryKey) + ": " + fw::HexText(state.memory.value_or(0)),
        std::string(kPortKey) + ": " + fw::HexText(state.port.value_or(0)),
        std::string(kIrqKey) + ": " + fw::DecimalText(state.irq.value_or(0)),
        std::string(kPrefixKey) + ": " + PrefixText(state),
        std::string(kFirstPortKey) + ": " + (state.firstPort ? fw::DecimalText(*state.firstPort) : kNone),
        "TotalNumberOfPorts: " + Decimal(state.totalPorts),
        "PortsStartingAt: " + Decimal(state.portsStartingAt),
    };
    for (std::size_t i = 0; i < state.ports.size(); ++i)
        lines.push_back(PortLine(state.ports[i], i < com.size() ? &com[i] : nullptr));
    return lines;
}

}  // namespace qb480
