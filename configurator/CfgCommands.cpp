#include "CfgCommands.h"

#include <windows.h>

#include "board/BoardSettings.h"
#include "settingsfile/BoardSettingsFile.h"
#include "CfgExitCodes.h"
#include "CfgJson.h"
#include "board/ComClaims.h"
#include "MachineComparison.h"
#include "board/DriverService.h"
#include "ConsoleCancel.h"
#include "EntryText.h"
#include "board/EventLogSource.h"
#include "LogFile.h"
#include "board/PortNamePrefix.h"
#include "board/RemoveDriver.h"
#include "windows/AdminRights.h"
#include "windows/AuditLog.h"
#include "windows/ParamNames.h"
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
constexpr char kStoredWithoutRecord[] = "The settings are stored, but not every change is on the record: see the line above.";
// A refusal that names no single setting: the switches or the file as a whole.
constexpr char kSettingsGiven[] = "(the settings given)";
constexpr char kDriverRuns[] = "The driver is running: it takes the new settings at its next start.";
constexpr char kNothingToChange[] = "Nothing to change: the machine holds every setting given.";
constexpr char kNothingChanged[] = "Nothing is changed (/whatif).";

bool GivesAnything(const Settings& settings)
{
    for (const PortModesSetting& port : settings.ports)
        if (port.AnyGiven())
            return true;
    return settings.memory || settings.port || settings.irq || settings.prefix || settings.numberingGiven;
}

// What the settings file gave, or why it was refused (and the run ended).
// A file that gives nothing is refused too: an empty copy must not pass
// for a configuration applied. sha256: the digest of the bytes judged.
// read: the digest of the bytes judged and the refusal, for the records.
std::optional<Settings> ReadFileSettings(const std::string& file, const BoardState& state, CReporter& reporter,
                                         SettingsOutcome* read = nullptr)
{
    SettingsOutcome outcome = ReadSettingsFile(file.c_str(), BoardPortsOf(state));
    if (read) {
        read->sha256 = outcome.sha256;
        read->refusal = outcome.refusal;
    }
    if (outcome.settings && !GivesAnything(*outcome.settings)) {
        outcome.settings.reset();
        outcome.refusal = {0, "gives no setting (it is empty, or holds comments and empty sections only)", {}, {}};
    }
    if (!outcome.settings) {
        const SettingsRefusal& refusal = outcome.refusal;
        const std::string where =
            refusal.line ? ", line " + fw::DecimalText(static_cast<std::uint32_t>(refusal.line)) : std::string();
        reporter.Fail(kExitSettingsFile, ("The settings file " + file + where + ": " + refusal.reason).c_str());
    }
    return outcome.settings;
}

// The switches as typed, for the record of their refusal.
std::string SwitchesText(const CfgSettingTexts& texts)
{
    std::string line;
    for (const auto& [name, value] : {std::pair{"/mem", &texts.memory}, std::pair{"/port", &texts.port},
                                      std::pair{"/irq", &texts.irq}, std::pair{"/prefix", &texts.prefix},
                                      std::pair{"/first", &texts.first}})
        if (*value)
            line += (line.empty() ? "" : " ") + std::string(name) + " " + **value;
    return line;
}

// A change refused before the values could be held against the machine's:
// the run's ending line says why, the old value is not known ("-"). Nothing
// is recorded for a run that changes nothing.
void RecordRefusedRun(const CfgArguments& arguments, const std::string& setting, const std::string& asked,
                      const CReporter& reporter)
{
    if (!arguments.whatIf)
        RecordAudit(audit::kSettingRefused, setting, std::string(), asked, "refused: " + reporter.FailureLine());
}

// A settings file refused: the value refused when it was one, else the
// file as a whole.
void RecordRefusedFile(const CfgArguments& arguments, const std::string& file, const SettingsRefusal& refusal,
                       const CReporter& reporter)
{
    if (refusal.key.empty())
        RecordRefusedRun(arguments, kSettingsGiven, file, reporter);
    else
        RecordRefusedRun(arguments, refusal.key, refusal.value, reporter);
}

// The switches over what the file gave; false when one was refused (and
// the run ended).
bool TakeSwitches(const CfgArguments& arguments, Settings& settings, CReporter& reporter)
{
    const std::string refusal = TakeSwitchSettings(arguments.settings, settings);
    if (!refusal.empty()) {
        reporter.Fail(kExitSettingRefused, refusal.c_str());
        RecordRefusedRun(arguments, kSettingsGiven, SwitchesText(arguments.settings), reporter);
    }
    return refusal.empty();
}

bool JudgeBoard(const Settings& settings, const BoardState& state, CReporter& reporter,
                const CfgArguments* arguments = nullptr)
{
    const std::string refusal = JudgeBoardResources(settings, state);
    if (!refusal.empty()) {
        reporter.Fail(kExitSettingRefused, refusal.c_str());
        if (arguments && !arguments->whatIf)
            RecordRefusedBoardValues({settings.memory, settings.port, settings.irq}, refusal);
    }
    return refusal.empty();
}

// How the run's changes are made, for their records: the command and the
// file it reads.
std::string Means(const CfgArguments& arguments)
{
    std::string means = std::string("qb480cfg ") + CfgCommandName(arguments.command);
    if (arguments.file)
        means += " " + *arguments.file;
    if (arguments.settingsFile)
        means += " /settings " + *arguments.settingsFile;
    return means;
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
    if (reporter.FailuresReported() && reporter.FailuresReported() == AuditFailuresSaid())
        return reporter.Succeed(kStoredWithoutRecord);
    if (reporter.FailuresReported())
        return reporter.Succeed(kNotAllStored);
    if (state.service != DriverServiceState::Running)
        return reporter.Succeed(kStored);
    reporter.Succeed(kDriverRuns, kExitDoneDriverRuns);
}

// Claims the board's COM numbers after a change, as the applet does, and
// names the numbers that other devices hold.
void ClaimComNumbers(const Settings& asked, const BoardState& state, CReporter& reporter)
{
    UpdateComClaims();
    const std::uint32_t first = FirstBoardNumber(asked, state);
    const std::vector<HeldNumber> held = NumbersHeldByOthers(first);
    if (!held.empty())
        reporter.Print(CollisionMessage(held, first));
}

// Each value that differs from the machine's gives a line, and only those
// are stored; with /whatif none is. changes: install's service, whose line
// the run has given already.
void ApplyAndEnd(const Settings& asked, const BoardState& state, const CfgArguments& arguments,
                 std::vector<SettingDifference> changes, CReporter& reporter, CJsonObject& json)
{
    const SettingsComparison comparison = CompareWithMachine(asked, state);
    for (const SettingDifference& change : comparison.differences)
        reporter.Print(ChangeLine(change, arguments.whatIf));
    changes.insert(changes.end(), comparison.differences.begin(), comparison.differences.end());
    AddChanges(json, changes, arguments.whatIf);
    if (changes.empty())
        return reporter.Succeed(kNothingToChange);
    if (arguments.whatIf)
        return reporter.Succeed(kNothingChanged, kExitDiffers);
    {
        const fw::CConsoleChange change;
        StoreSettings(comparison.changes, reporter);
        if (!fw::ConsoleCancelRequested())
            ClaimComNumbers(asked, state, reporter);
    }
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

// The audit trail's source, for a machine set up without a package, and
// for one that an earlier version set up; quietly, as the driver's own
// source: a failure is said.
void RegisterAuditTrail()
{
    if (!AuditSourceRegistered())
        RegisterAuditSource();
}

std::string MachineName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string("(unknown)");
}

}  // namespace

void RunShow(CReporter& reporter, CJsonObject& json)
{
    const BoardState state = ReadBoardState();
    const std::vector<ComNumberView> com = ReadComNumberStates(state);
    for (const std::string& line : ShowLines(state, com))
        reporter.Print(line);
    AddShow(json, state, com);
    reporter.Succeed(nullptr);
}

void RunCheck(const std::string& file, CReporter& reporter, CJsonObject& json)
{
    // As import would judge the file, and nothing written.
    const BoardState state = ReadBoardState();
    const auto settings = ReadFileSettings(file, state, reporter);
    if (!settings || !JudgeBoard(*settings, state, reporter))
        return;
    std::vector<SettingDifference> differences = CompareWithMachine(*settings, state).differences;
    // A board number another device holds stays so whatever is imported.
    for (const HeldNumber& held : NumbersHeldByOthers(FirstBoardNumber(*settings, state)))
        differences.push_back({"COM" + fw::DecimalText(held.number),
                               "in use by another device" + (held.device.empty() ? "" : " (" + held.device + ")"),
                               "a port of the board"});
    for (const SettingDifference& difference : differences)
        reporter.Print(DifferenceLine(difference, file));
    AddDifferences(json, differences);
    if (differences.empty())
        return reporter.Succeed(("The machine matches " + file + ".").c_str());
    reporter.Succeed(("The machine differs from " + file + ".").c_str(), kExitDiffers);
}

void RunInstall(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json)
{
    // Every value is judged before the service is registered: a refused
    // one leaves the machine as it was.
    const BoardState state = ReadBoardState();
    Settings settings;
    SettingsOutcome read;
    std::optional<Settings> fileSettings;
    if (arguments.settingsFile)
        fileSettings = ReadFileSettings(*arguments.settingsFile, state, reporter, &read);
    const CAuditScope scope(Means(arguments), read.sha256);
    if (arguments.settingsFile && !fileSettings)
        return RecordRefusedFile(arguments, *arguments.settingsFile, read.refusal, reporter);
    if (fileSettings)
        settings = *fileSettings;
    if (!TakeSwitches(arguments, settings, reporter) || !JudgeBoard(settings, state, reporter, &arguments))
        return;
    // As the applet's first opening: a board without a prefix gets "COM".
    std::string stored;
    if (!settings.prefix && !ReadPortNamePrefix(stored))
        settings.prefix = kDefaultPrefix;
    std::vector<SettingDifference> changes;
    if (state.service == DriverServiceState::Absent)
        changes.push_back({"Service VDXQB480", std::string("not registered"), "registered"});
    if (arguments.whatIf) {
        for (const SettingDifference& change : changes)
            reporter.Print(ChangeLine(change, true));
        return ApplyAndEnd(settings, state, arguments, changes, reporter, json);
    }
    const fw::CConsoleChange change;
    if (!RegisterService(state, reporter) || Cancelled(reporter))
        return;
    RegisterAuditTrail();
    ApplyAndEnd(settings, state, arguments, changes, reporter, json);
}

void RunSet(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json)
{
    const BoardState state = ReadBoardState();
    const CAuditScope scope(Means(arguments));
    Settings settings;
    if (TakeSwitches(arguments, settings, reporter) && JudgeBoard(settings, state, reporter, &arguments))
        ApplyAndEnd(settings, state, arguments, {}, reporter, json);
}

void RunImport(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json)
{
    const BoardState state = ReadBoardState();
    SettingsOutcome read;
    const auto settings = ReadFileSettings(*arguments.file, state, reporter, &read);
    const CAuditScope scope(Means(arguments), read.sha256);
    if (!settings)
        return RecordRefusedFile(arguments, *arguments.file, read.refusal, reporter);
    if (JudgeBoard(*settings, state, reporter, &arguments))
        ApplyAndEnd(*settings, state, arguments, {}, reporter, json);
}

void RunExport(const std::string& file, CReporter& reporter)
{
    const BoardState state = ReadBoardState();
    const SettingsHeader header{"qb480cfg", QB480_VERSION_TEXT, MachineName(), fw::LocalTimestamp()};
    const std::string text = WriteSettings(header, SettingsToExport(state), state.prefix.value_or(""));
    // A file replaced must not be left empty by Ctrl+C.
    const fw::CConsoleChange change;
    const std::string failure = WriteSettingsText(file, text, HoldsAdministratorRights());
    if (!failure.empty())
        return reporter.Fail(kExitSettingsFile, ("The settings file " + file + " cannot be written: " + failure).c_str());
    if (Cancelled(reporter))
        return;
    reporter.Succeed(("The settings are written to " + file + ".").c_str());
}

void RecordRefusedStart(const CfgArguments& arguments, const CReporter& reporter)
{
    const CAuditScope scope(Means(arguments));
    if (arguments.command == CfgCommand::Remove)
        return RecordAudit(audit::kDriverRefused, kDriverServiceName, std::string("registered"),
                           std::string("not registered"), "refused: " + reporter.FailureLine());
    RecordRefusedRun(arguments, kSettingsGiven,
                     arguments.command == CfgCommand::Import ? *arguments.file : SwitchesText(arguments.settings),
                     reporter);
}

void RunRemove(const CfgArguments& arguments, CReporter& reporter)
{
    // A script may remove on every machine: one without the service is done.
    if (ReadBoardState().service == DriverServiceState::Absent)
        return reporter.Succeed("The service VDXQB480 is not registered: there is nothing to remove.");
    const CAuditScope scope(Means(arguments));
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
