// qb480cfg.exe: the board's configuration from a command line, for scripts
// and deployment tools. The shell waits for a console program and reads its
// exit code; every message goes to standard output (and the log), never to
// a window.
#include <windows.h>

#include "CfgCommands.h"
#include "CfgExitCodes.h"
#include "CommandLine.h"
#include "Console.h"
#include "ConsoleCancel.h"
#include "LogFile.h"
#include "Reporter.h"
#include "windows/SetUpStart.h"
#include "windows/SetupLock.h"
#include "qb480version.h"

namespace qb480 {

namespace {

constexpr char kNotAdministrator[] = "Administrator rights are needed to configure the QB480 board.";
constexpr char kAnotherRun[] =
    "Another configuration or firmware load is running on this machine. Run qb480cfg.exe again when it has ended.";

void RunCommand(const CfgArguments& arguments, CReporter& reporter)
{
    switch (arguments.command) {
    case CfgCommand::Install:
        return RunInstall(arguments, reporter);
    case CfgCommand::Set:
        return RunSet(arguments, reporter);
    case CfgCommand::Import:
        return RunImport(*arguments.file, reporter);
    case CfgCommand::Remove:
        return RunRemove(reporter);
    default:
        return;
    }
}

// Ctrl+C, Ctrl+Break or a closed console while nothing is being changed:
// the run's last lines, on the handler's thread, before the program ends.
void EndCancelled(void* reporter)
{
    static_cast<CReporter*>(reporter)->Fail(kExitCancelled, kCancelled);
    static_cast<CReporter*>(reporter)->Finish();
}

void Run(const CfgArguments& arguments, CReporter& reporter)
{
    // Reading changes nothing: it needs neither the rights nor the lock.
    if (arguments.command == CfgCommand::Show)
        return RunShow(reporter);
    if (arguments.command == CfgCommand::Export)
        return RunExport(*arguments.file, reporter);
    // A firmware load registers the board's services too: one set-up at a
    // time, and nothing written without the rights.
    CSetupLock lock;
    if (MaySetUp(lock, {kAnotherRun, kNotAdministrator}, reporter))
        RunCommand(arguments, reporter);
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
    if (!arguments.error.empty()) {
        fw::WriteOutputLine(arguments.error);
        return kExitUsage;
    }
    fw::CLogFile log;
    if (arguments.logFile && !log.Open(*arguments.logFile)) {
        fw::WriteOutputLine("The log file " + *arguments.logFile + " cannot be opened.");
        return kExitUsage;
    }
    CReporter reporter(ReportTo::Console, log.IsOpen() ? &log : nullptr);
    const fw::CConsoleCancel cancel(kExitCancelled, EndCancelled, &reporter);
    reporter.Note(std::string("qb480cfg ") + QB480_VERSION_TEXT + ", command line: " + GetCommandLineA());
    Run(arguments, reporter);
    return reporter.Finish();
}
