/*
 * fakevdx.sys: stands in for the board driver vdxqb480.sys in tests. Started
 * as a service it publishes in <service key>\Parameters what the real driver
 * publishes there while it runs, so that the applet's status display can be
 * tested without a board:
 *   DriverVersion, FirmwareVersion (REG_SZ)
 *   TotalNumberOfPorts, PortsStartingAt (REG_DWORD)
 * FirmwareVersion describes the image the fake loader last copied into the
 * simulated board, C:\qb480board.bin, so that a test can tell which image a
 * download delivered.
 *
 * Knobs, REG_DWORD values a test puts in the same Parameters key:
 *   TestDelayMs     sleep this long before anything else (start pending)
 *   TestStopDelayMs sleep this long when unloaded (stop pending)
 *   TestFailStart   nonzero: fail the start with STATUS_UNSUCCESSFUL and
 *                   write nothing
 *   TestPorts       TotalNumberOfPorts instead of 8
 *   TestFirstPort   PortsStartingAt instead of 3
 *   TestNoVersions  nonzero: leave out (and remove) DriverVersion and
 *                   FirmwareVersion, as a driver that publishes none would
 */
#include "DriverUtil.h"

#define FAKEVDX_VERSION L"QB480 test driver 1.0"
#define BOARD_FILE L"\\??\\C:\\qb480board.bin"
#define DEFAULT_PORTS 8
#define DEFAULT_FIRST_PORT 3
#define CHUNK_BYTES 0x10000
#define POOL_TAG 0x66764251u /* "QBvf" in a pool dump */

DRIVER_INITIALIZE DriverEntry;

/* Read at the start: the key may be gone by the time of the stop. */
static ULONG g_stopDelayMs;

static VOID NTAPI FakeVdxUnload(PDRIVER_OBJECT driver)
{
    UNREFERENCED_PARAMETER(driver);
    if (g_stopDelayMs)
        DuSleepMs(g_stopDelayMs);
}

/* "size N crc32 XXXXXXXX" of the board file, "no firmware" without one. */
static void DescribeBoard(WCHAR *text, ULONG capacity)
{
    HANDLE file;
    ULONG size = 0, done = 0, crc = 0;
    UCHAR *chunk;
    NTSTATUS status = DuOpenFile(&file, BOARD_FILE, FALSE);

    text[0] = 0;
    if (status == STATUS_OBJECT_NAME_NOT_FOUND || status == STATUS_OBJECT_PATH_NOT_FOUND) {
        DuAppend(text, capacity, L"no firmware");
        return;
    }
    if (NT_SUCCESS(status)) {
        status = DuFileSize(file, &size);
        chunk = NT_SUCCESS(status) ? ExAllocatePoolWithTag(PagedPool, CHUNK_BYTES, POOL_TAG) : NULL;
        if (NT_SUCCESS(status) && !chunk)
            status = STATUS_INSUFFICIENT_RESOURCES;
        while (NT_SUCCESS(status) && done < size) {
            IO_STATUS_BLOCK io;
            status = ZwReadFile(file, NULL, NULL, NULL, &io, chunk, CHUNK_BYTES, NULL, NULL);
            if (NT_SUCCESS(status) && io.Information == 0)
                status = STATUS_END_OF_FILE; /* shrank while being read */
            if (NT_SUCCESS(status)) {
                crc = DuCrc32(crc, chunk, (ULONG)io.Information);
                done += (ULONG)io.Information;
            }
        }
        if (chunk)
            ExFreePoolWithTag(chunk, POOL_TAG);
        ZwClose(file);
    }
    if (!NT_SUCCESS(status)) {
        /* Visible in the applet rather than silently "no firmware". */
        DuAppend(text, capacity, L"board unreadable, status ");
        DuAppendHex8(text, capacity, (ULONG)status);
        return;
    }
    DuAppend(text, capacity, L"size ");
    DuAppendDecimal(text, capacity, done);
    DuAppend(text, capacity, L" crc32 ");
    DuAppendHex8(text, capacity, crc);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    HANDLE service, parameters;
    WCHAR firmware[64];
    ULONG delayMs;
    NTSTATUS status;

    driver->DriverUnload = FakeVdxUnload;

    status = DuOpenKeyU(&service, registryPath, FALSE);
    if (!NT_SUCCESS(status))
        return status;
    status = DuOpenKey(&parameters, service, L"Parameters", TRUE);
    ZwClose(service);
    if (!NT_SUCCESS(status))
        return status;

    g_stopDelayMs = DuKnob(parameters, L"TestStopDelayMs", 0);
    delayMs = DuKnob(parameters, L"TestDelayMs", 0);
    if (delayMs)
        DuSleepMs(delayMs);
    if (DuKnob(parameters, L"TestFailStart", 0)) {
        ZwClose(parameters);
        return STATUS_UNSUCCESSFUL;
    }

    if (DuKnob(parameters, L"TestNoVersions", 0)) {
        /* Left over from an earlier start of the same service otherwise. */
        DuDeleteValue(parameters, L"DriverVersion");
        DuDeleteValue(parameters, L"FirmwareVersion");
    } else {
        DescribeBoard(firmware, sizeof(firmware) / sizeof(firmware[0]));
        status = DuSetString(parameters, L"DriverVersion", FAKEVDX_VERSION);
        if (NT_SUCCESS(status))
            status = DuSetString(parameters, L"FirmwareVersion", firmware);
    }
    if (NT_SUCCESS(status))
        status = DuSetDword(parameters, L"TotalNumberOfPorts", DuKnob(parameters, L"TestPorts", DEFAULT_PORTS));
    if (NT_SUCCESS(status))
        status = DuSetDword(parameters, L"PortsStartingAt",
                            DuKnob(parameters, L"TestFirstPort", DEFAULT_FIRST_PORT));
    ZwClose(parameters);
    return status;
}
