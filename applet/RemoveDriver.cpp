#include "RemoveDriver.h"

#include <string>

#include "ServiceControl.h"
#include "SystemFolder.h"

namespace qb480 {

int RemoveDriver(SC_HANDLE manager, const char* name)
{
    bool opened = false;
    const int deleted = RemoveService(manager, name, &opened);
    if (!opened)
        return 0;  // the file stays with a service we could not reach
    // Without the system folder the path would name a file at the root of
    // the current drive: nothing is deleted then.
    const auto systemDirectory = SystemDirectory();
    if (!systemDirectory)
        return deleted;
    // The real drivers folder, also from 32-bit code on 64-bit Windows. A
    // file that is already gone or locked is not reported.
    const CRealFileSystemView realView;
    DeleteFileA((*systemDirectory + "\\drivers\\vdxqb480.sys").c_str());
    return deleted;
}

}  // namespace qb480
