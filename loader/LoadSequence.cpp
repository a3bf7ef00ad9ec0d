#include "LoadSequence.h"

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "BoardParamsDlg.h"
#include "FirmwareNames.h"
#include "HexConvert.h"
#include "LoaderDialogs.h"
#include "LoaderService.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "ServiceControl.h"
#include "SystemFolder.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

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

// The image in the drivers folder. False when the conversion failed, or when
// the system folder is unknown: the image would land elsewhere, so nothing
// is written then.
bool ConvertIntoDriversFolder(const FirmwareNames& names)
{
    const auto systemDirectory = SystemDirectory();
    if (!systemDirectory)
        return false;
    const std::string imagePath = *systemDirectory + "\\drivers\\" + names.imageName;
    return ConvertHexToBinary(names.hexPath.c_str(), imagePath.c_str()) == 0;
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

// Board values from the driver's key when the driver is installed and
// stopped, else from the operator. False when the driver is running.
bool ProvideBoardParameters(HWND mainWindow)
{
    if (!IsDriverInstalled()) {
        CBoardParamsDlg parameters(mainWindow);
        parameters.DoModal();  // after Cancel the helper key keeps what it holds
        return true;
    }
    if (VDXDriverStarted()) {
        fw::AppMessageBox("The vdxqb480 driver is active. Please stop it and restart the firmware loader");
        return false;
    }
    const std::uint32_t port = ReadDriverParameter(kValuePort);
    const std::uint32_t memorySegment = ReadDriverParameter(kValueMemSeg);
    WriteBoardParameters(memorySegment, port);
    return true;
}

// Starts the registered helper service, which performs the download, with
// the progress window shown meanwhile; then stops and deletes it.
void DownloadThroughHelper(SC_HANDLE manager)
{
    const fw::UniqueScHandle service(OpenServiceA(manager, kLoaderServiceName, SERVICE_ALL_ACCESS));
    CLoadingDlg progress;
    if (!progress.Create())
        fw::AppMessageBox("Could not create modeless dialogue");
    ShowWindow(progress.GetSafeHwnd(), SW_SHOWNORMAL);
    // Drawn now: no message is processed while the start blocks.
    UpdateWindow(progress.GetSafeHwnd());
    const BOOL started = StartServiceA(service.get(), 0, nullptr);
    ShowWindow(progress.GetSafeHwnd(), SW_HIDE);
    if (started) {
        SERVICE_STATUS status;
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        fw::AppMessageBox("The firmware was successfully loaded into the card");
    } else {
        fw::AppMessageBox("There was an error. Check the system's error log");
    }
    DeleteService(service.get());
}

void LoadFirmware(HWND mainWindow)
{
    const FirmwareNames names = NamesForPickedFile(PickFirmwareFile(mainWindow));
    if (!ConvertIntoDriversFolder(names)) {
        fw::AppMessageBox("Error converting the firmware hex file to binary");
        return;
    }
    if (!ProvideBoardParameters(mainWindow))
        return;
    WriteFirmwareFile(names.imageName);

    std::string programFolder;
    if (!ProgramFolder(programFolder)) {
        fw::AppMessageBox("Could not detect current path");
        return;
    }
    const std::string helperPath = programFolder + "\\loader.sys";
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const HelperValues handedOver = ReadHelperValues();
    if (!CreateKernelService(manager.get(), kLoaderServiceName, helperPath.c_str(), SERVICE_DEMAND_START)) {
        fw::AppMessageBox("Couldn't install the loader service: installation aborted");
        return;
    }
    // Replacing a registration left by an interrupted run deletes its key,
    // Parameters included: the helper must still find what was handed over.
    RestoreHelperValues(handedOver);
    DownloadThroughHelper(manager.get());
}

}  // namespace

void RunLoadSequence(CLoaderDlg& dialog)
{
    // The progress window is hidden before the outcome shows, and another
    // program's window may be active by then: every message still blocks
    // the confirmation.
    const fw::CMessageOwner owner(dialog.GetSafeHwnd());
    LoadFirmware(dialog.GetSafeHwnd());
    dialog.End();
}

}  // namespace qb480
