#include "board/DriverService.h"

#include <windows.h>

#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "windows/ServiceControl.h"
#include "windows/SystemFolder.h"
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

std::optional<std::string> DriverFilePath()
{
    const auto systemDirectory = SystemDirectory();
    if (!systemDirectory)
        return std::nullopt;
    return *systemDirectory + "\\drivers\\vdxqb480.sys";
}

InstallOutcome RegisterDriverService()
{
    const auto driverPath = DriverFilePath();
    if (!driverPath) {
        // Without the folder there is no driver file to register.
        fw::AppMessageBox("Could not detect system path");
        return InstallOutcome::FileMissing;
    }
    if (!DriverFileExists(*driverPath)) {
        fw::AppMessageBox("Driver file not found");
        return InstallOutcome::FileMissing;
    }
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!CreateKernelService(manager.get(), kDriverServiceName, driverPath->c_str(), SERVICE_AUTO_START)) {
        fw::AppMessageBox("Create service failed: installation aborted");
        return InstallOutcome::ServiceNotCreated;
    }
    return InstallOutcome::Done;
}

}  // namespace qb480
