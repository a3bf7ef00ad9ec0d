#include "board/RemoveDriver.h"

#include <string>

#include "board/ComClaims.h"
#include "board/DriverService.h"
#include "MessageBox.h"
#include "windows/AuditLog.h"
#include "windows/ParamNames.h"
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

namespace {

void RecordRemoval(const audit::Event& event, const char* before, const std::string& outcome)
{
    RecordAudit(event, kDriverServiceName, std::string(before), std::string("not registered"), outcome);
}

}  // namespace

RemovalOutcome RemoveBoardDriver()
{
    if (VDXDriverStarted()) {
        constexpr char kActive[] =
            "The driver is active. Please close all the applications that are using qb480 ports and then stop "
            "the driver manually before attempting to remove it.";
        fw::AppMessageBox(kActive);
        RecordRemoval(audit::kDriverRefused, "running", std::string("refused: ") + kActive);
        return RemovalOutcome::DriverActive;
    }
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    // Read first: the record goes with the service's key. Its numbers are
    // given back once the service is gone; a driver that stays keeps them.
    const ComNumbers record = ReadComRecord();
    if (!RemoveDriver(manager.get(), "vdxqb480")) {
        RecordRemoval(audit::kDriverFailed, "registered", "failed: the service could not be deleted");
        return RemovalOutcome::Failed;
    }
    if (!record.empty())
        ReleaseComClaims(record);
    RecordRemoval(audit::kDriverRemoved, "registered", "removed, with the driver file");
    return RemovalOutcome::Removed;
}

}  // namespace qb480
