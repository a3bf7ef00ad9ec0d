/* harnessdriver.sys: a kernel driver that loads, runs and unloads, so that
 * the service helpers can be tested on a running driver. */
#include <ddk/wdm.h>

static void NTAPI Unload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
