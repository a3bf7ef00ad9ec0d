#include "LoadSequence.h"

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "BoardParamsDlg.h"
#include "EntryText.h"
#include "FirmwareAudit.h"
#include "FirmwareNames.h"
#include "HexConvert.h"
#include "LoaderArguments.h"
#include "LoaderDialogs.h"
#include "LoaderService.h"
#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "Reporter.h"
#include "windows/ServiceControl.h"
#include "windows/SystemFolder.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

constexpr char kParametersMissing[] =
    "The board driver is not installed: the board parameters are needed, given as /mem SEGMENT /port PORT.";

// The picked path; empty when the operator cancelled. The dialog is modal
// to owner, the program's main window.
std::string PickFirmwareFile(HWND owner)
{
    char path[MAX_PATH] = "";
    OPENFILENAMEA dialog = {};
    // The size NT 4.0 knows; every later Windows accepts it too.
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    GetOpenFileNameA(&dialog);
    return path;
}

// The file the command line names, or else the one the operator picks.
FirmwareNames ChooseFirmware(const LoaderArguments& arguments, HWND mainWindow)
{
    if (arguments.hexFile)
        return NamesForGivenFile(*arguments.hexFile);
    return NamesForPickedFile(PickFirmwareFile(mainWindow));
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH] = "";
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

// The image in the drivers folder. False when the conversion failed, or when
// the system folder is unknown: the image would land elsewhere, so nothing
// is written then.
bool ConvertIntoDriversFolder(const FirmwareNames& names, CReporter& reporter, CFirmwareAudit& audit)
{
    reporter.Note("HEX file: " + FullPath(names.hexPath));
    const auto systemDirectory = SystemDirectory();
    if (!systemDirectory) {
        reporter.Note("The system folder is unknown.");
        audit.Failed("the system folder is unknown");
        return false;
    }
    const std::string imagePath = *systemDirectory + "\\drivers\\" + names.imageName;
    reporter.Note("Image: " + imagePath);
    audit.ImageNamed(imagePath);
    const HexOutcome outcome = ConvertHexFile(names.hexPath.c_str(), imagePath.c_str());
    if (outcome.fault == HexFault::None) {
        audit.ImageWritten(imagePath);
        return true;
    }
    const std::string fault = std::string("Conversion failed: ") + HexFaultName(outcome.fault) +
                              (outcome.line ? ", line " + fw::DecimalText(outcome.line) : std::string());
    reporter.Note(fault);
    audit.Refused(fault);
    return false;
}

// The folder of qb480load.exe: the helper driver lies beside the program,
// never in whatever folder the firmware file was picked from.
bool ProgramFolder(std::string& folder)
{
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return false;
    folder = FolderOf(path);
    return !folder.empty();
}

void NoteBoardParameters(CReporter& reporter, const char* source, const std::string& memory,
                         const std::string& port)
{
    reporter.Note(std::string("Board parameters from ") + source + ": memory segment " + memory + ", port " + port);
}

// The values /mem and /port give, judged and written as the dialog's.
bool TakeBoardParametersGiven(const LoaderArguments& arguments, CReporter& reporter)
{
    if (!arguments.memorySegment || !arguments.portAddress) {
        reporter.Fail(kExitBoardParameters, kParametersMissing);
        return false;
    }
    std::string memory = *arguments.memorySegment;
    std::string port = *arguments.portAddress;
    const BoardCheck check = StoreBoardEntries(memory, port);
    if (check != BoardCheck::Ok) {
        reporter.Fail(kExitBoardParameters, BoardCheckMessage(check));
        return false;
    }
    NoteBoardParameters(reporter, "the command line", memory, port);
    return true;
}

// With no board driver to copy them from: the command line's values, or
// the operator's. False when the run ends here.
bool AskBoardParameters(const LoaderArguments& arguments, CReporter& reporter, HWND mainWindow)
{
    if (arguments.memorySegment || arguments.portAddress || reporter.Quiet())
        return TakeBoardParametersGiven(arguments, reporter);
    CBoardParamsDlg parameters(mainWindow);
    if (parameters.DoModal() == IDOK)
        NoteBoardParameters(reporter, "the dialog", parameters.m_memorySegment, parameters.m_portAddress);
    else  // the helper key keeps what it holds
        reporter.Note("The board parameters dialog was cancelled.");
    return true;
}

// Board values from the driver's key when the driver is installed and
// stopped, else from the command line or the operator. False when the run
// ends here.
bool ProvideBoardParameters(const LoaderArguments& arguments, CReporter& reporter, HWND mainWindow)
{
    if (!IsDriverInstalled())
        return AskBoardParameters(arguments, reporter, mainWindow);
    if (arguments.memorySegment || arguments.portAddress)
        reporter.Note("/mem and /port are ignored: the board driver is installed.");
    if (VDXDriverStarted()) {
        reporter.Fail(kExitDriverActive,
                      "The vdxqb480 driver is active. Please stop it and restart the firmware loader");
        return false;
    }
    const std::uint32_t port = ReadDriverParameter(kValuePort);
    const std::uint32_t memorySegment = ReadDriverParameter(kValueMemSeg);
    NoteBoardParameters(reporter, "the driver's key", fw::HexText(memorySegment), fw::HexText(port));
    WriteBoardParameters(memorySegment, port);
    return true;
}

// Shown while the start blocks, unless the run is quiet.
void ShowProgress(CLoadingDlg& progress, CReporter& reporter)
{
    if (reporter.Quiet())
        return;
    if (!progress.Create())
        fw::AppMessageBox("Could not create modeless dialogue");
    ShowWindow(progress.GetSafeHwnd(), SW_SHOWNORMAL);
    // Drawn now: no message is processed while the start blocks.
    UpdateWindow(progress.GetSafeHwnd());
}

// Starts the registered helper service, which performs the download, with
// the progress window shown meanwhile; then stops and deletes it.
void DownloadThroughHelper(SC_HANDLE manager, CReporter& reporter, CFirmwareAudit& audit)
{
    const fw::UniqueScHandle service(OpenServiceA(manager, kLoaderServiceName, SERVICE_ALL_ACCESS));
    CLoadingDlg progress;
    ShowProgress(progress, reporter);
    reporter.Note("Starting the helper service.");
    const BOOL started = StartServiceA(service.get(), 0, nullptr);
    const DWORD error = GetLastError();
    ShowWindow(progress.GetSafeHwnd(), SW_HIDE);
    if (started) {
        SERVICE_STATUS status;
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        reporter.Note("The helper service started and was told to stop.");
        reporter.Succeed("The firmware was successfully loaded into the card");
        audit.Loaded();
    } else {
        reporter.Note("The helper service did not start: error " + fw::DecimalText(error) + ".");
        reporter.Fail(kExitDownloadFailed, "There was an error. Check the system's error log");
        audit.Failed("the helper service did not start (error " + fw::DecimalText(error) + ")");
    }
    DeleteService(service.get());
    reporter.Note("The helper service was deleted.");
}

void LoadFirmware(const LoaderArguments& arguments, CReporter& reporter, HWND mainWindow)
{
    const FirmwareNames names = ChooseFirmware(arguments, mainWindow);
    CFirmwareAudit audit(FullPath(names.hexPath),
                         arguments.hexFile ? "qb480load, file named on its command line"
                                           : "qb480load, file picked in its Open dialog");
    if (!ConvertIntoDriversFolder(names, reporter, audit)) {
        reporter.Fail(kExitConversionFailed, "Error converting the firmware hex file to binary");
        return;
    }
    if (!ProvideBoardParameters(arguments, reporter, mainWindow))
        return audit.Refused(reporter.FailureLine());
    WriteFirmwareFile(names.imageName);

    std::string programFolder;
    if (!ProgramFolder(programFolder)) {
        reporter.Fail(kExitProgramFolderUnknown, "Could not detect current path");
        return audit.Failed(reporter.FailureLine());
    }
    const std::string helperPath = programFolder + "\\loader.sys";
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const HelperValues handedOver = ReadHelperValues();
    reporter.Note("Registering the helper service: " + helperPath);
    if (!CreateKernelService(manager.get(), kLoaderServiceName, helperPath.c_str(), SERVICE_DEMAND_START)) {
        reporter.Fail(kExitHelperNotRegistered, "Couldn't install the loader service: installation aborted");
        return audit.Failed(reporter.FailureLine());
    }
    // Replacing a registration left by an interrupted run deletes its key,
    // Parameters included: the helper must still find what was handed over.
    RestoreHelperValues(handedOver);
    DownloadThroughHelper(manager.get(), reporter, audit);
}

}  // namespace

void RunLoadSequence(const LoaderArguments& arguments, CReporter& reporter, HWND mainWindow)
{
    // The progress window is hidden before the outcome shows, and another
    // program's window may be active by then: every message still blocks
    // the confirmation.
    const fw::CMessageOwner owner(mainWindow);
    LoadFirmware(arguments, reporter, mainWindow);
}

}  // namespace qb480
