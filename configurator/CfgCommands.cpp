#include "CfgCommands.h"

#include <windows.h>

#include "settingsfile/BoardSettingsFile.h"
#include "CfgExitCodes.h"
#include "board/DriverService.h"
#include "ConsoleCancel.h"
#include "EntryText.h"
#include "board/EventLogSource.h"
#include "LogFile.h"
#include "board/PortNamePrefix.h"
#include "board/RemoveDriver.h"
#include "Reporter.h"
#include "SettingsFileOutput.h"
#include "ShowLines.h"
#include "StoreSettings.h"
#include "SwitchSettings.h"
#include "qb480version.h"

namespace qb480 {

const char kCancelled[] = "Cancelled (Ctrl+C, Ctrl+Break or the console closed): no further step is taken.";

namespace {

constexpr char kStored[] = "The settings are stored.";
constexpr char kNotAllStored[] = "Not every setting could be stored: see the lines above.";
constexpr char kDriverRuns[] = "The driver is running: it takes the new settings at its next start.";

bool GivesAnything(const Settings& settings)
{
    for (const PortModesSetting& port : settings.ports)
        if (port.AnyGiven())
            return true;
    return settings.memory || settings.port || settings.irq || settings.prefix || settings.numberingGiven;
}

// What the settings file gave, or why it was refused (and the run ended).
// A file that gives nothing is refused too: an empty copy must not pass
// for a configuration applied.
std::optional<Settings> ReadFileSettings(const std::string& file, const BoardState& state, CReporter& reporter)
{
    SettingsOutcome outcome = ReadSettingsFile(file.c_str(), BoardPortsOf(state));
    if (outcome.settings && !GivesAnything(*outcome.settings)) {
        outcome.settings.reset();
        outcome.refusal = {0, "gives no setting (it is empty, or holds comments and empty sections only)"};
    }
    if (!outcome.settings) {
        const SettingsRefusal& refusal = outcome.refusal;
        const std::string where =
            refusal.line ? ", line " + fw::DecimalText(static_cast<std::uint32_t>(refusal.line)) : std::string();
        reporter.Fail(kExitSettingsFile, ("The settings file " + file + where + ": " + refusal.reason).c_str());
    }
    return outcome.settings;
}

// The switches over what the file gave; false when one was refused (and
// the run ended).
bool TakeSwitches(const CfgArguments& arguments, Settings& settings, CReporter& reporter)
{
    const std::string refusal = TakeSwitchSettings(arguments.settings, settings);
    if (!refusal.empty())
        reporter.Fail(kExitSettingRefused, refusal.c_str());
    return refusal.empty();
}

bool JudgeBoard(const Settings& settings, const BoardState& state, CReporter& reporter)
{
    const std::string refusal = JudgeBoardResources(settings, state);
    if (!refusal.empty())
        reporter.Fail(kExitSettingRefused, refusal.c_str());
    return refusal.empty();
}

// A console control event came during the change: the step it found in
// progress has finished, and no other is taken.
bool Cancelled(CReporter& reporter)
{
    if (fw::ConsoleCancelRequested())
        reporter.Fail(kExitCancelled, kCancelled);
    return fw::ConsoleCancelRequested();
}

// A running driver read its settings when it started.
void EndStored(const BoardState& state, CReporter& reporter)
{
    if (Cancelled(reporter))
        return;
    if (reporter.FailuresReported())
        return reporter.Succeed(kNotAllStored);
    if (state.service != DriverServiceState::Running)
        return reporter.Succeed(kStored);
    reporter.Succeed(kDriverRuns, kExitDoneDriverRuns);
}

void StoreAndEnd(const Settings& settings, const BoardState& state, CReporter& reporter)
{
    if (!JudgeBoard(settings, state, reporter))
        return;
    const fw::CConsoleChange change;
    StoreSettings(settings, state, reporter);
    EndStored(state, reporter);
}

// False when the run ended: the driver file is missing or the service
// could not be created, each said by the step.
bool RegisterService(const BoardState& state, CReporter& reporter)
{
    if (state.service != DriverServiceState::Absent) {
        reporter.Print("The service VDXQB480 is registered already: it is left as it is.");
        return true;
    }
    switch (RegisterDriverService()) {
    case InstallOutcome::FileMissing:
        reporter.Fail(kExitDriverFileMissing, nullptr);
        return false;
    case InstallOutcome::ServiceNotCreated:
        reporter.Fail(kExitServiceNotCreated, nullptr);
        return false;
    case InstallOutcome::Done:
        break;
    }
    reporter.Print("The service VDXQB480 is registered.");
    RegisterEventLogSource();
    return true;
}

std::string MachineName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string("(unknown)");
}

}  // namespace

void RunShow(CReporter& reporter)
{
    for (const std::string& line : ShowLines(ReadBoardState()))
        reporter.Print(line);
    reporter.Succeed(nullptr);
}

void RunInstall(const CfgArguments& arguments, CReporter& reporter)
{
    // Every value is judged before the service is registered: a refused
    // one leaves the machine as it was.
    const BoardState state = ReadBoardState();
    Settings settings;
    if (arguments.settingsFile) {
        auto fileSettings = ReadFileSettings(*arguments.settingsFile, state, reporter);
        if (!fileSettings)
            return;
        settings = *fileSettings;
    }
    if (!TakeSwitches(arguments, settings, reporter) || !JudgeBoard(settings, state, reporter))
        return;
    const fw::CConsoleChange change;
    if (!RegisterService(state, reporter) || Cancelled(reporter))
        return;
    // As the applet's first opening: a board without a prefix gets "COM".
    std::string stored;
    if (!settings.prefix && !ReadPortNamePrefix(stored))
        settings.prefix = kDefaultPrefix;
    StoreSettings(settings, state, reporter);
    EndStored(state, reporter);
}

void RunSet(const CfgArguments& arguments, CReporter& reporter)
{
    const BoardState state = ReadBoardState();
    Settings settings;
    if (TakeSwitches(arguments, settings, reporter))
        StoreAndEnd(settings, state, reporter);
}

void RunImport(const std::string& file, CReporter& reporter)
{
    const BoardState state = ReadBoardState();
    if (const auto settings = ReadFileSettings(file, state, reporter))
        StoreAndEnd(*settings, state, reporter);
}

void RunExport(const std::string& file, CReporter& reporter)
{
    const BoardState state = ReadBoardState();
    const SettingsHeader header{"qb480cfg", QB480_VERSION_TEXT, MachineName(), fw::LocalTimestamp()};
    const std::string text = WriteSettings(header, SettingsOf(state), state.prefix.value_or(""));
    // A file replaced must not be left empty by Ctrl+C.
    const fw::CConsoleChange change;
    const std::string failure = WriteSettingsText(file, text);
    if (!failure.empty())
        return reporter.Fail(kExitSettingsFile, ("The settings file " + file + " cannot be written: " + failure).c_str());
    if (Cancelled(reporter))
        return;
    reporter.Succeed(("The settings are written to " + file + ".").c_str());
}

void RunRemove(CReporter& reporter)
{
    // A script may remove on every machine: one without the service is done.
    if (ReadBoardState().service == DriverServiceState::Absent)
        return reporter.Succeed("The service VDXQB480 is not registered: there is nothing to remove.");
    const fw::CConsoleChange change;
    const RemovalOutcome outcome = RemoveBoardDriver();
    if (Cancelled(reporter))
        return;
    switch (outcome) {
    case RemovalOutcome::DriverActive:
        return reporter.Fail(kExitDriverActive, nullptr);
    case RemovalOutcome::Failed:
        return reporter.Fail(kExitStepFailed, nullptr);
    case RemovalOutcome::Removed:
        break;
    }
    reporter.Succeed("The driver is removed.");
}

}  // namespace qb480
