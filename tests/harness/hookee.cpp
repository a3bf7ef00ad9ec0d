// hookee.dll: a stand-in for the applet module in the import-patching tests.
// It calls the patched functions through its own import table. With no
// export markings, the linker exports every function.
#include "UniqueHandle.h"

#include <windows.h>

extern "C" {

LONG HookeeSetValue(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG HookeeCreateKey(const char* path)
{
    fw::UniqueHkey key;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

// 0 or the error of CreateServiceA.
DWORD HookeeCreateService(const char* name, const char* imagePath)
{
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    fw::UniqueScHandle service(CreateServiceA(manager.get(), name, name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, imagePath, nullptr, nullptr, nullptr,
                                     nullptr, nullptr));
    return service ? 0 : GetLastError();
}

// EnumServicesStatusA over drivers; *error receives GetLastError after it.
BOOL HookeeEnumServices(DWORD state, ENUM_SERVICE_STATUSA* services, DWORD size, DWORD* needed, DWORD* returned,
                        DWORD* error)
{
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD resume = 0;
    SetLastError(0xdeadbeef);
    const BOOL ok =
        EnumServicesStatusA(manager.get(), SERVICE_DRIVER, state, services, size, needed, returned, &resume);
    *error = GetLastError();
    return ok;
}

}  // extern "C"
