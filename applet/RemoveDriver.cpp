#include "RemoveDriver.h"

#include <string>

#include "ServiceControl.h"

namespace qb480 {

int RemoveDriver(SC_HANDLE manager, const char* name)
{
    bool opened = false;
    const int deleted = RemoveService(manager, name, &opened);
    if (!opened)
        return 0;  // the file stays with a service we could not reach
    char systemDirectory[MAX_PATH] = "";
    // Without the system folder the path would name a file at the root of
    // the current drive: nothing is deleted then.
    if (!GetSystemDirectoryA(systemDirectory, sizeof systemDirectory))
        return deleted;
    // A file that is already gone or locked is not reported.
    DeleteFileA((std::string(systemDirectory) + "\\drivers\\vdxqb480.sys").c_str());
    return deleted;
}

}  // namespace qb480
