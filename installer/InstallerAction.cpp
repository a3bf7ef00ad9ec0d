// The installer packages' actions that set the board up with the board's
// properties (QB480_MEMSEG and the others):
// - PrepareBoardConfiguration, immediate, before anything is installed:
//   refuses a value the configurator must not get, names the
//   installation's own folder (RunFolder.h) and hands the values, the
//   package's configurator and its digest over to ConfigureBoard, the
//   folder to RestoreBoard and ForgetBoardRecord.
// - ConfigureBoard, deferred, as the installer's service: copies the
//   installed qb480cfg.exe into the folder, starts that copy only when its
//   bytes are the package's, and under the set-up lock records the board
//   right before and right after the run, lending the lock to the run. It
//   fails the installation on any code but 0 and 3010.
// - RestoreBoard, its rollback: when the configuration started, puts back
//   what it changed and nobody has changed since (RollbackPlan.h).
// - ForgetBoardRecord, its commit: the folder goes.
// - RequestRestartForDriver, immediate, after the installation: a running
//   driver takes its settings at its next start (the configurator's 3010),
//   so the installer is asked for a restart at the end and ends with 3010.
//   A deferred action may not ask for it itself, nor hand the configurator's
//   code over: the board is compared with its state before instead, and
//   equal means the configurator wrote nothing.
#include <windows.h>
#include <msiquery.h>

#include "ActionData.h"
#include "BoardRecord.h"
#include "BoardSnapshot.h"
#include "ConfiguratorRun.h"
#include "EntryText.h"
#include "MsiSession.h"
#include "RunFolder.h"
#include "windows/AuditLog.h"
#include "windows/ServiceState.h"
#include "windows/SetupLock.h"

namespace {

using namespace qb480;

constexpr DWORD kDoneDriverRuns = 3010;
constexpr char kBefore[] = "\\before.rec";
constexpr char kAfter[] = "\\after.rec";
constexpr char kProgram[] = "\\qb480cfg.exe";
// The package's own configurator's digest, which tools/make-msi.sh puts
// in: a private property, which no command line can set.
constexpr char kPackageDigest[] = "Qb480CfgSha256";
constexpr char kBoardBefore[] = "Qb480BoardBefore";
// How long the rollback waits for another set-up to end.
constexpr int kRollbackLockTries = 240;
constexpr DWORD kRollbackLockPause = 250;

// Each property given, or none when one is refused (said in the log).
std::optional<std::vector<GivenProperty>> GivenProperties(MSIHANDLE install)
{
    std::vector<GivenProperty> given;
    for (const BoardProperty& property : kBoardProperties) {
        const std::optional<std::string> value = PropertyText(install, property.name);
        if (!value) {
            LogLine(install, std::string(property.name) + " holds a character that the system's code page cannot "
                                                          "carry to the configurator unchanged.");
            return std::nullopt;
        }
        const GivenProperty candidate{property.name, *value};
        const std::string fault = ValueFault(candidate);
        if (!fault.empty()) {
            LogLine(install, fault);
            return std::nullopt;
        }
        if (!value->empty())
            given.push_back(candidate);
    }
    return given;
}

// The registry's side only: the COM numbers a configuration claims are no
// setting the running driver takes.
std::optional<BoardRecord> RegistryRecord()
{
    std::string fault;
    std::optional<BoardRecord> record = ReadBoardRecord(fault);
    if (record)
        record->com.reset();
    return record;
}

// Whether the board is as PrepareBoardConfiguration found it; in doubt (a
// record that cannot be read) it is taken as changed.
bool BoardUnchanged(MSIHANDLE install)
{
    const std::optional<std::string> text = PropertyText(install, kBoardBefore);
    const std::optional<BoardRecord> before = text ? RecordFromText(*text) : std::nullopt;
    const std::optional<BoardRecord> now = RegistryRecord();
    return before && now && *before == *now;
}

UINT Failure(MSIHANDLE install, const std::string& line)
{
    LogLine(install, line);
    return ERROR_INSTALL_FAILURE;
}

bool RecordBoard(MSIHANDLE install, const std::string& file)
{
    std::string fault;
    const std::optional<BoardRecord> record = ReadBoardRecord(fault);
    if (record && WriteRunFile(file, RecordText(*record)))
        return true;
    LogLine(install, "the board's state cannot be recorded for a rollback: " +
                         (record ? file + " cannot be written" : fault));
    return false;
}

bool TakeLock(MSIHANDLE install, CSetupLock& lock)
{
    const CSetupLock::State state = lock.Take();
    for (const std::string& note : lock.Notes())
        LogLine(install, note);
    if (state == CSetupLock::State::Busy)
        LogLine(install, "another configuration or firmware load is running on this machine: the board is not set "
                         "up. Run the installation again when it has ended.");
    else if (state == CSetupLock::State::Denied)
        LogLine(install, "the set-up lock cannot be made: the board is not set up.");
    return state == CSetupLock::State::Held || state == CSetupLock::State::Unguarded;
}

// The rollback waits for a set-up that runs now, with a bound: past it, it
// goes on all the same, since it puts back only what nobody changed.
void TakeLockForRollback(MSIHANDLE install, CSetupLock& lock)
{
    for (int tries = 0; tries < kRollbackLockTries; ++tries) {
        if (lock.Take() != CSetupLock::State::Busy)
            return;
        Sleep(kRollbackLockPause);
    }
    LogLine(install, "rollback: another set-up still runs: the board is put back without the set-up lock.");
}

void LogRollback(MSIHANDLE install, const RollbackPlan& plan, const std::vector<std::string>& faults)
{
    for (const std::string& value : plan.leftAsTheyAre)
        LogLine(install, "rollback: " + value + " was changed by another set-up after this installation's: left as it is.");
    for (const std::string& fault : faults)
        LogLine(install, "rollback: " + fault);
    LogLine(install, faults.empty() && plan.leftAsTheyAre.empty()
                         ? "rollback: the board is as it was before the installation."
                         : "rollback: the board is not wholly as it was: see the lines above.");
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall PrepareBoardConfiguration(MSIHANDLE install)
{
    const auto given = GivenProperties(install);
    if (!given)
        return ERROR_INSTALL_FAILURE;
    ConfiguratorCall call;
    call.program = FormattedText(install, "[#qb480cfg.exe]").value_or("");
    if (call.program.empty())
        return Failure(install, "the installed qb480cfg.exe has no path in the system's code page.");
    call.sha256 = PropertyText(install, kPackageDigest).value_or("");
    if (!IsSha256Text(call.sha256))
        return Failure(install, "the package holds no digest of its own qb480cfg.exe.");
    call.folder = NewRunFolderPath();
    if (call.folder.empty())
        return Failure(install, "no folder of the installation's own can be named.");
    // Who asked for the installation, for the records the configurator
    // writes as SYSTEM; a name that cannot be handed over is left out.
    for (const auto& [name, field] : {std::pair{kUserSidProperty, &call.initiatorSid},
                                      std::pair{kLogonUserProperty, &call.initiatorName}}) {
        const std::string value = PropertyText(install, name).value_or("");
        if (ValueFault({name, value}).empty())
            *field = value;
    }
    const std::optional<BoardRecord> before = RegistryRecord();
    if (!SetPropertyText(install, "ConfigureBoard", ActionDataOf(call, *given)) ||
        !SetPropertyText(install, "RestoreBoard", call.folder) ||
        !SetPropertyText(install, "ForgetBoardRecord", call.folder) ||
        !SetPropertyText(install, kBoardBefore, before ? RecordText(*before) : std::string()))
        return ERROR_INSTALL_FAILURE;
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall ConfigureBoard(MSIHANDLE install)
{
    const std::optional<std::string> data = PropertyText(install, "CustomActionData");
    const std::optional<ConfiguratorCall> call = data ? CallOf(*data) : std::nullopt;
    if (!call)
        return Failure(install, "the action was not given the configurator and the board's properties.");
    std::string fault;
    if (!MakeRunFolder(call->folder, fault))
        return Failure(install, "the installation's own folder " + call->folder + " cannot be made: " + fault);
    const std::string program = call->folder + kProgram;
    if (!CopyVerified(call->program, program, call->sha256, fault))
        return Failure(install, call->program + " is not started: " + fault);
    CSetupLock lock;
    if (!TakeLock(install, lock) || !RecordBoard(install, call->folder + kBefore))
        return ERROR_INSTALL_FAILURE;
    const std::optional<DWORD> code = RunConfigurator(
        install, program, call->arguments, lock,
        {{kInitiatorSidVariable, call->initiatorSid}, {kInitiatorNameVariable, call->initiatorName}});
    // Still under the lock: what the run left. Without it the rollback
    // puts back all that differs from the record before.
    RecordBoard(install, call->folder + kAfter);
    if (!code)
        return ERROR_INSTALL_FAILURE;
    LogLine(install, "ended with exit code " + fw::DecimalText(*code));
    return *code == 0 || *code == kDoneDriverRuns ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// A rollback's result is not looked at: every step is tried, and each one
// that fails is said in the log.
extern "C" __declspec(dllexport) UINT __stdcall RestoreBoard(MSIHANDLE install)
{
    const std::string folder = PropertyText(install, "CustomActionData").value_or("");
    const bool ours = !folder.empty() && IsRunFolder(folder);
    const std::optional<std::string> text = ours ? ReadRunFile(folder + kBefore) : std::nullopt;
    if (!text) {
        LogLine(install, "rollback: the configuration did not start: there is nothing to put back.");
        if (ours)
            RemoveRunFolder(folder);
        return ERROR_SUCCESS;
    }
    CSetupLock lock;
    TakeLockForRollback(install, lock);
    const std::optional<BoardRecord> before = RecordFromText(*text);
    const std::optional<std::string> afterText = ReadRunFile(folder + kAfter);
    const std::optional<BoardRecord> after = afterText ? RecordFromText(*afterText) : std::nullopt;
    std::string fault;
    const std::optional<BoardRecord> now = ReadBoardRecord(fault);
    if (!before || !now) {
        LogLine(install, "rollback: " + (now ? "the record before the configuration cannot be read" : fault) +
                             ": the board is left as it is.");
        return ERROR_SUCCESS;
    }
    if (!after)
        LogLine(install, "rollback: the configuration was interrupted: all that differs from the board before it is put back.");
    const RollbackPlan plan = PlanRollback(*before, after, *now);
    LogRollback(install, plan, CarryOut(plan, *now));
    RemoveRunFolder(folder);
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall ForgetBoardRecord(MSIHANDLE install)
{
    const std::string folder = PropertyText(install, "CustomActionData").value_or("");
    if (!folder.empty() && IsRunFolder(folder))
        RemoveRunFolder(folder);
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall RequestRestartForDriver(MSIHANDLE install)
{
    if (!DriverServiceRuns())
        return ERROR_SUCCESS;
    if (BoardUnchanged(install)) {
        LogLine(install, "the driver is running and its settings are unchanged: no restart is needed.");
        return ERROR_SUCCESS;
    }
    LogLine(install, "the driver is running: it takes the new settings at its next start, so the installation asks "
                     "for a restart.");
    MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    return ERROR_SUCCESS;
}
