// The installer packages' actions that set the board up with the board's
// properties (QB480_MEMSEG and the others):
// - PrepareBoardConfiguration, immediate, before anything is installed:
//   refuses a value the configurator must not get, hands the values over
//   to ConfigureBoard and records the board's state for RestoreBoard.
// - RestoreBoard, the rollback of ConfigureBoard: puts that state back.
// - ConfigureBoard, deferred, as the installer's service: runs the
//   installed qb480cfg.exe install, its lines into the installer's log,
//   and fails the installation on any code but 0 and 3010.
// - RequestRestartForDriver, immediate, after the installation: a running
//   driver takes its settings at its next start (the configurator's 3010),
//   so the installer is asked for a restart at the end and ends with 3010.
//   A deferred action may not ask for it itself, nor hand the configurator's
//   code over: the board is compared with the record taken before the
//   configuration instead, and equal means the configurator wrote nothing.
#include <windows.h>
#include <msiquery.h>

#include "ActionData.h"
#include "BoardRecord.h"
#include "BoardSnapshot.h"
#include "ConfiguratorRun.h"
#include "EntryText.h"
#include "MsiSession.h"
#include "windows/ServiceState.h"

namespace {

using namespace qb480;

constexpr DWORD kDoneDriverRuns = 3010;

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

bool RecordBoardForRollback(MSIHANDLE install)
{
    std::string fault;
    const std::optional<BoardRecord> record = ReadBoardRecord(fault);
    if (!record) {
        LogLine(install, "the board's state cannot be recorded for a rollback: " + fault);
        return false;
    }
    return SetPropertyText(install, "RestoreBoard", RecordText(*record));
}

// Whether the board is as PrepareBoardConfiguration recorded it; in doubt
// (a record that cannot be read) it is taken as changed.
bool BoardUnchanged(MSIHANDLE install)
{
    const std::optional<std::string> text = PropertyText(install, "RestoreBoard");
    const std::optional<BoardRecord> before = text ? RecordFromText(*text) : std::nullopt;
    std::string fault;
    const std::optional<BoardRecord> now = ReadBoardRecord(fault);
    return before && now && *before == *now;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall PrepareBoardConfiguration(MSIHANDLE install)
{
    const auto given = GivenProperties(install);
    if (!given)
        return ERROR_INSTALL_FAILURE;
    const std::optional<std::string> program = FormattedText(install, "[#qb480cfg.exe]");
    if (!program || program->empty()) {
        LogLine(install, "the installed qb480cfg.exe has no path in the system's code page.");
        return ERROR_INSTALL_FAILURE;
    }
    if (!SetPropertyText(install, "ConfigureBoard", ActionDataOf(*program, *given)) || !RecordBoardForRollback(install))
        return ERROR_INSTALL_FAILURE;
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall ConfigureBoard(MSIHANDLE install)
{
    const std::optional<std::string> data = PropertyText(install, "CustomActionData");
    const std::optional<ConfiguratorCall> call = data ? CallOf(*data) : std::nullopt;
    if (!call) {
        LogLine(install, "the action was not given the configurator and the board's properties.");
        return ERROR_INSTALL_FAILURE;
    }
    const std::optional<DWORD> code = RunConfigurator(install, *call);
    if (!code)
        return ERROR_INSTALL_FAILURE;
    LogLine(install, "ended with exit code " + fw::DecimalText(*code));
    return *code == 0 || *code == kDoneDriverRuns ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// A rollback's result is not looked at: every step is tried, and each one
// that fails is said in the log.
extern "C" __declspec(dllexport) UINT __stdcall RestoreBoard(MSIHANDLE install)
{
    const std::optional<std::string> data = PropertyText(install, "CustomActionData");
    const std::optional<BoardRecord> record = data ? RecordFromText(*data) : std::nullopt;
    if (!record) {
        LogLine(install, "rollback: the action was not given the board's record; the board is left as it is.");
        return ERROR_SUCCESS;
    }
    const std::vector<std::string> faults = RestoreBoardRecord(*record);
    for (const std::string& fault : faults)
        LogLine(install, "rollback: " + fault);
    LogLine(install, faults.empty() ? "rollback: the board is as it was before the installation."
                                    : "rollback: the board is not wholly as it was: see the lines above.");
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
