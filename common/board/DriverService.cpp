#include "board/DriverService.h"

#include <windows.h>

#include "MessageBox.h"
#include "windows/AuditLog.h"
#include "windows/SystemText.h"
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

constexpr char kNotRegistered[] = "not registered";
constexpr char kRegistered[] = "registered";

void RecordRegistration(const audit::Event& event, const std::string& outcome)
{
    RecordAudit(event, kDriverServiceName, std::string(kNotRegistered), std::string(kRegistered), outcome);
}

// Said, and recorded as the registration's failure.
InstallOutcome Failed(InstallOutcome outcome, const char* message, const std::string& why = std::string())
{
    fw::AppMessageBox(message);
    RecordRegistration(audit::kDriverFailed, std::string("failed: ") + message + why);
    return outcome;
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
    // Without the folder there is no driver file to register.
    if (!driverPath)
        return Failed(InstallOutcome::FileMissing, "Could not detect system path");
    if (!DriverFileExists(*driverPath))
        return Failed(InstallOutcome::FileMissing, "Driver file not found", " (" + *driverPath + ")");
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!CreateKernelService(manager.get(), kDriverServiceName, driverPath->c_str(), SERVICE_AUTO_START)) {
        const DWORD error = GetLastError();
        return Failed(InstallOutcome::ServiceNotCreated, "Create service failed: installation aborted",
                      " (" + SystemErrorText(error) + ")");
    }
    RecordRegistration(audit::kDriverRegistered, "registered for " + *driverPath + ", started with Windows");
    return InstallOutcome::Done;
}

}  // namespace qb480
