#include "Install.h"

#include <windows.h>

#include <string>

#include "BoardSettingsDlg.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "ServiceControl.h"
#include "SystemFolder.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

// Looked for where the kernel will load it from, also from 32-bit code on
// 64-bit Windows.
bool DriverFileExists(const std::string& path)
{
    const CRealFileSystemView realView;
    WIN32_FIND_DATAA found;
    return fw::UniqueFindHandle(FindFirstFileA(path.c_str(), &found)).get() != INVALID_HANDLE_VALUE;
}

}  // namespace

InstallOutcome InstallDriverService()
{
    const auto systemDirectory = SystemDirectory();
    if (!systemDirectory) {
        // Without the folder there is no driver file to register.
        fw::AppMessageBox("Could not detect system path");
        return InstallOutcome::FileMissing;
    }
    const std::string driverPath = *systemDirectory + "\\drivers\\vdxqb480.sys";
    if (!DriverFileExists(driverPath)) {
        fw::AppMessageBox("Driver file not found");
        return InstallOutcome::FileMissing;
    }
    {
        const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!CreateKernelService(manager.get(), kDriverServiceName, driverPath.c_str(), SERVICE_AUTO_START)) {
            fw::AppMessageBox("Create service failed: installation aborted");
            return InstallOutcome::ServiceNotCreated;
        }
    }
    RegisterEventLogSource();
    CBoardSettingsDlg settings;
    settings.DoModal();
    return InstallOutcome::Done;
}

}  // namespace qb480
