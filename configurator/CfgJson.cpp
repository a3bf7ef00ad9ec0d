#include "CfgJson.h"

#include "CfgExitCodes.h"
#include "Console.h"
#include "EntryText.h"
#include "Reporter.h"
#include "ShowLines.h"
#include "board/PortModes.h"

namespace qb480 {

namespace {

std::string Utf8(const std::string& ansi) { return fw::AnsiToUtf8(ansi); }

std::optional<std::string> Utf8(const std::optional<std::string>& ansi)
{
    return ansi ? std::optional<std::string>(Utf8(*ansi)) : std::nullopt;
}

std::optional<std::string> Hex(const std::optional<std::uint32_t>& value)
{
    return value ? std::optional<std::string>(fw::HexText(*value)) : std::nullopt;
}

const char* ComName(ComNumberState state)
{
    switch (state) {
    case ComNumberState::Claimed:
        return "claimed";
    case ComNumberState::Other:
        return "other";
    case ComNumberState::Free:
        return "free";
    case ComNumberState::Unchecked:
        break;
    }
    return "unchecked";
}

CJsonObject PortJson(const PortView& port, const ComNumberView* com)
{
    const SpecialModes modes = UnpackSpecialModes(port.stored.value_or(kDefaultSpecialModes));
    CJsonObject json;
    json.Text("name", Utf8(port.name))
        .Number("rxTimeout", modes.rxTimeout)
        .Number("rxThreshold", modes.rxThreshold)
        .Number("txLoad", modes.txLoad)
        .Bool("multidrop", modes.multidrop)
        .Bool("halfDuplex", modes.halfDuplex)
        .Bool("stored", port.stored.has_value())
        .Text("comDatabase", std::string(com ? ComName(com->state) : "unchecked"));
    return json;
}

std::vector<CJsonObject> Pairs(const std::vector<SettingDifference>& differences, const char* machine,
                               const char* wanted)
{
    std::vector<CJsonObject> items;
    for (const SettingDifference& difference : differences) {
        CJsonObject item;
        item.Text("setting", Utf8(difference.setting))
            .Text(machine, Utf8(difference.machine))
            .Text(wanted, Utf8(difference.wanted));
        items.push_back(item);
    }
    return items;
}

bool IsFailure(int code) { return code != kExitDone && code != kExitDiffers && code != kExitDoneDriverRuns; }

}  // namespace

void AddShow(CJsonObject& json, const BoardState& state, const std::vector<ComNumberView>& com)
{
    std::vector<CJsonObject> ports;
    for (std::size_t i = 0; i < state.ports.size(); ++i)
        ports.push_back(PortJson(state.ports[i], i < com.size() ? &com[i] : nullptr));
    json.Text("service", std::string(ServiceText(state.service)))
        .Text("driverVersion", Utf8(state.driverVersion))
        .Text("firmwareVersion", Utf8(state.firmwareVersion))
        .Text("memoryAddress", Hex(state.memory))
        .Text("portAddress", Hex(state.port))
        .Number("irq", state.irq)
        .Text("portNamePrefix", state.prefixTooLong ? std::nullopt : Utf8(state.prefix))
        .Number("firstPort", state.firstPort)
        .Number("totalNumberOfPorts", state.totalPorts)
        .Number("portsStartingAt", state.portsStartingAt)
        .Objects("ports", ports);
}

void AddDifferences(CJsonObject& json, const std::vector<SettingDifference>& differences)
{
    json.Bool("matches", differences.empty()).Objects("differences", Pairs(differences, "machine", "file"));
}

void AddChanges(CJsonObject& json, const std::vector<SettingDifference>& changes, bool whatIf)
{
    json.Bool("changed", !changes.empty()).Objects("changes", Pairs(changes, "old", "new"));
    if (whatIf)
        json.Bool("whatIf", true);
}

void WriteJsonEnd(CJsonObject json, const CReporter& reporter, bool changes)
{
    const int code = reporter.ExitCode();
    json.Number("exitCode", static_cast<std::uint32_t>(code));
    if (changes)
        json.Bool("restartNeeded", code == kExitDoneDriverRuns);
    if (IsFailure(code))
        json.Text("error", Utf8(reporter.FailureLine()));
    fw::WriteUtf8OutputLine(json.Str());
}

void WriteJsonFailure(int code, const std::string& line)
{
    CJsonObject json;
    json.Number("exitCode", static_cast<std::uint32_t>(code)).Text("error", Utf8(line));
    fw::WriteUtf8OutputLine(json.Str());
}

}  // namespace qb480
