#include "board/RemoveDriver.h"

#include <string>

#include "board/DriverService.h"
#include "MessageBox.h"
#include "windows/ServiceControl.h"
#include "windows/SystemFolder.h"
#include "UniqueHandle.h"

namespace qb480 {

int RemoveDriver(SC_HANDLE manager, const char* name)
{
    bool opened = false;
    const int deleted = RemoveService(manager, name, &opened);
    if (!opened)
        return 0;  // the file stays with a service we could not reach
    // Without the system folder the path would name a file at the root of
    // the current drive: nothing is deleted then.
    const auto driverPath = DriverFilePath();
    if (!driverPath)
        return deleted;
    // The real drivers folder, also from 32-bit code on 64-bit Windows. A
    // file that is already gone or locked is not reported.
    const CRealFileSystemView realView;
    DeleteFileA(driverPath->c_str());
    return deleted;
}

RemovalOutcome RemoveBoardDriver()
{
    if (VDXDriverStarted()) {
        fw::AppMessageBox(
            "The driver is active. Please close all the applications that are using qb480 ports and then stop "
            "the driver manually before attempting to remove it.");
        return RemovalOutcome::DriverActive;
    }
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return RemoveDriver(manager.get(), "vdxqb480") ? RemovalOutcome::Removed : RemovalOutcome::Failed;
}

}  // namespace qb480
