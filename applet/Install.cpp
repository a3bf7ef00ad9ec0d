#include "Install.h"

#include <windows.h>

#include <string>

#include "BoardSettingsDlg.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "ServiceControl.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

bool FileExists(const std::string& path)
{
    WIN32_FIND_DATAA found;
    return fw::UniqueFindHandle(FindFirstFileA(path.c_str(), &found)).get() != INVALID_HANDLE_VALUE;
}

}  // namespace

InstallOutcome InstallDriverService()
{
    char systemDirectory[MAX_PATH] = "";
    if (!GetSystemDirectoryA(systemDirectory, sizeof systemDirectory)) {
        // Without the folder there is no driver file to register.
        fw::AppMessageBox("Could not detect system path");
        return InstallOutcome::FileMissing;
    }
    const std::string driverPath = std::string(systemDirectory) + "\\drivers\\vdxqb480.sys";
    if (!FileExists(driverPath)) {
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
