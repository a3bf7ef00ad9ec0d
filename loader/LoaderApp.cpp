#include <windows.h>

#include "App.h"
#include "FirmwareAudit.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "LoadSequence.h"
#include "LoaderArguments.h"
#include "LoaderDialogs.h"
#include "LogFile.h"
#include "MessageBox.h"
#include "Reporter.h"
#include "windows/AdminRights.h"
#include "windows/SetUpStart.h"
#include "windows/SetupLock.h"
#include "qb480version.h"

namespace qb480 {

namespace {

constexpr char kNotAdministrator[] = "Administrator rights are needed to load the QB480 firmware.";
constexpr char kAnotherLoad[] =
    "Another firmware load is running on this machine. Start the loader again when it has ended.";

}  // namespace

// The program: the confirmation dialog and one load, or the same without a
// window for a quiet run from a script; then the end. Dialog controls are
// drawn three-dimensional by the system itself (DS_3DLOOK is the default
// since Windows 95), so there is nothing to switch on first.
class CLoaderApp : public fw::CWinApp {
public:
    int InitInstance() override
    {
        const LoaderArguments arguments = ParseLoaderArguments(fw::ArgumentsOf(GetCommandLineA()));
        if (arguments.help) {
            if (!arguments.quiet)
                fw::ShowInformationBox(kLoaderUsage);
            return kExitDone;
        }
        // A refused line opens nothing, not even its log.
        if (!arguments.error.empty()) {
            if (!arguments.quiet)
                fw::ShowMessageBox(arguments.error.c_str());
            return kExitUsage;
        }
        fw::CLogFile log;
        if (arguments.logFile && !log.Open(*arguments.logFile, HoldsAdministratorRights())) {
            if (!arguments.quiet)
                fw::ShowMessageBox(log.Refusal(*arguments.logFile).c_str());
            return kExitUsage;
        }
        CReporter reporter(arguments.quiet ? ReportTo::LogOnly : ReportTo::Boxes, log.IsOpen() ? &log : nullptr);
        reporter.Note(std::string("qb480load ") + QB480_VERSION_TEXT + ", command line: " + GetCommandLineA());
        Run(arguments, reporter);
        const int code = reporter.Finish();
        // Started without arguments, the loader ends with 0 as it always
        // has, unless it refused to start.
        return arguments.given || code == kExitBusy || code == kExitNotAdministrator ? code : kExitDone;
    }

private:
    void Run(const LoaderArguments& arguments, CReporter& reporter)
    {
        // Before anything else: two loads would fight over the one helper
        // service; nothing is written or registered without the rights.
        CSetupLock lock;
        if (!MaySetUp(lock, {kAnotherLoad, kNotAdministrator}, reporter)) {
            // A load refused for want of rights is on the record; one that
            // waits for another set-up is not refused, only put off.
            if (reporter.ExitCode() == kExitNotAdministrator && arguments.hexFile)
                CFirmwareAudit(*arguments.hexFile, "qb480load, file named on its command line")
                    .Refused(reporter.FailureLine());
            return;
        }
        if (arguments.quiet)
            return RunLoadSequence(arguments, reporter, nullptr);
        CLoaderDlg dialog(arguments, reporter);
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
};

namespace {
CLoaderApp g_theApp;
}

}  // namespace qb480
