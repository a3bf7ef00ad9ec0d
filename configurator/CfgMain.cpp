// qb480cfg.exe: the board's configuration from a command line, for scripts
// and deployment tools. The shell waits for a console program and reads its
// exit code; every message goes to standard output (and the log), never to
// a window.
#include <windows.h>

#include "CfgCommands.h"
#include "CfgExitCodes.h"
#include "CfgJson.h"
#include "CommandLine.h"
#include "Console.h"
#include "ConsoleCancel.h"
#include "LogFile.h"
#include "Reporter.h"
#include "windows/AdminRights.h"
#include "windows/AuditLog.h"
#include "windows/SetUpStart.h"
#include "windows/SetupLock.h"
#include "qb480version.h"

namespace qb480 {

namespace {

constexpr char kNotAdministrator[] = "Administrator rights are needed to configure the QB480 board.";
constexpr char kAnotherRun[] =
    "Another configuration or firmware load is running on this machine. Run qb480cfg.exe again when it has ended.";

// What the run's end needs, from the main thread or the console handler's.
struct CfgRun {
    const CfgArguments& arguments;
    CReporter& reporter;
    CJsonObject json;
};

bool Changes(CfgCommand command)
{
    return command == CfgCommand::Install || command == CfgCommand::Set || command == CfgCommand::Import;
}

int EndRun(CfgRun& run)
{
    fw::ConsoleRunFinished();
    const int code = run.reporter.Finish();
    if (run.arguments.json)
        WriteJsonEnd(run.json, run.reporter, Changes(run.arguments.command));
    return code;
}

void RunCommand(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json)
{
    switch (arguments.command) {
    case CfgCommand::Install:
        return RunInstall(arguments, reporter, json);
    case CfgCommand::Set:
        return RunSet(arguments, reporter, json);
    case CfgCommand::Import:
        return RunImport(arguments, reporter, json);
    case CfgCommand::Remove:
        return RunRemove(arguments, reporter);
    default:
        return;
    }
}

// Ctrl+C, Ctrl+Break or a closed console while nothing is being changed:
// the run's last lines, on the handler's thread, before the program ends.
void EndCancelled(void* context)
{
    // The main thread may be filling the run's object: the end says only
    // what ended it.
    CfgRun& run = *static_cast<CfgRun*>(context);
    run.reporter.Fail(kExitCancelled, kCancelled);
    run.reporter.Finish();
    if (run.arguments.json)
        WriteJsonFailure(kExitCancelled, kCancelled);
}

void Run(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json)
{
    // Reading changes nothing: it needs neither the rights nor the lock,
    // and nor does a run that only says what it would change.
    if (arguments.command == CfgCommand::Show)
        return RunShow(reporter, json);
    if (arguments.command == CfgCommand::Check)
        return RunCheck(*arguments.file, reporter, json);
    if (arguments.command == CfgCommand::Export)
        return RunExport(*arguments.file, reporter);
    if (arguments.whatIf)
        return RunCommand(arguments, reporter, json);
    // A firmware load registers the board's services too: one set-up at a
    // time, and nothing written without the rights.
    CSetupLock lock;
    const bool mayRun = MaySetUp(lock, {kAnotherRun, kNotAdministrator}, reporter);
    if (lock.Lent())
        TrustInitiatorOfParent();
    if (mayRun)
        RunCommand(arguments, reporter, json);
    else if (reporter.ExitCode() == kExitNotAdministrator)
        RecordRefusedStart(arguments, reporter);
}

// A line refused before any run: the usage error alone, as JSON when the
// line asked for it.
int Refuse(const CfgArguments& arguments, const std::string& line)
{
    if (arguments.json)
        WriteJsonFailure(kExitUsage, line);
    else
        fw::WriteOutputLine(line);
    return kExitUsage;
}

}  // namespace

}  // namespace qb480

int main()
{
    using namespace qb480;
    // A drive without a medium must not raise the system's box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const CfgArguments arguments = ParseCfgArguments(fw::ArgumentsOf(GetCommandLineA()));
    if (arguments.command == CfgCommand::Help) {
        fw::WriteOutputLine(kCfgUsage);
        return kExitDone;
    }
    // A refused line opens nothing, not even its log: a value shaped like
    // a switch must not choose a file for a run as SYSTEM to write.
    if (!arguments.error.empty())
        return Refuse(arguments, arguments.error);
    fw::CLogFile log;
    if (arguments.logFile && !log.Open(*arguments.logFile, HoldsAdministratorRights()))
        return Refuse(arguments, log.Refusal(*arguments.logFile));
    CReporter reporter(arguments.json ? ReportTo::ConsoleJson : ReportTo::Console, log.IsOpen() ? &log : nullptr);
    CfgRun run{arguments, reporter, {}};
    const fw::CConsoleCancel cancel(kExitCancelled, EndCancelled, &run);
    reporter.Note(std::string("qb480cfg ") + QB480_VERSION_TEXT + ", command line: " + GetCommandLineA());
    SetAuditReason(arguments.reason.value_or(""));
    Run(arguments, reporter, run.json);
    return EndRun(run);
}
