/*
 * fakeloader.sys: stands in for the helper driver loader.sys in tests. The
 * firmware loader starts it once per download; the start is the download,
 * and its success or failure the only answer. This double:
 *   - reads MEM_SEG, PORT (REG_DWORD) and FirmwareFile (REG_SZ) from
 *     <service key>\Parameters and checks them as the board would;
 *   - copies <system root>\system32\drivers\<FirmwareFile> (the real
 *     folder also under WOW64) into the
 *     simulated board, C:\qb480board.bin (fakevdx.sys reports its size and
 *     CRC as the firmware version);
 *   - records what it read, and the status it returns, in
 *     HKLM\SOFTWARE\QB480Test\LoaderRun: the loader deletes the service, and
 *     Wine deletes the service key with it, so its Parameters cannot be
 *     examined afterwards.
 * Any missing or invalid value fails the start, and the board is then left
 * untouched.
 *
 * Knobs, REG_DWORD values in HKLM\SOFTWARE\QB480Test:
 *   LoaderDelayMs    sleep this long first, so that a test can watch the
 *                    loader's progress window while StartService blocks
 *   LoaderFailStart  nonzero: refuse the download with STATUS_UNSUCCESSFUL
 */
#include "DriverUtil.h"

#define TEST_KEY L"\\Registry\\Machine\\SOFTWARE\\QB480Test"
#define WINDOWS_KEY L"\\Registry\\Machine\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
#define BOARD_FILE L"\\??\\C:\\qb480board.bin"
#define DEFAULT_SYSTEM_ROOT L"C:\\windows"
#define PATH_CHARS 600
#define CHUNK_BYTES 0x10000
#define POOL_TAG 0x666C4251u /* "QBlf" in a pool dump */

DRIVER_INITIALIZE DriverEntry;

static VOID NTAPI FakeLoaderUnload(PDRIVER_OBJECT driver)
{
    UNREFERENCED_PARAMETER(driver);
}

static BOOLEAN ValidMemSeg(ULONG memSeg)
{
    return memSeg == 0xC0000 || memSeg == 0xD0000 || memSeg == 0xE0000 || memSeg == 0xF0000;
}

static BOOLEAN ValidPort(ULONG port)
{
    return port >= 0x100 && port <= 0x3FC && port % 4 == 0;
}

/* A bare file name in the drivers folder: nothing that could reach another
 * folder or drive. */
static BOOLEAN ValidFileName(PCWSTR name)
{
    ULONG i;
    if (!name[0])
        return FALSE;
    for (i = 0; name[i]; ++i) {
        if (name[i] == L'\\' || name[i] == L'/' || name[i] == L':')
            return FALSE;
        if (name[i] == L'.' && name[i + 1] == L'.')
            return FALSE;
    }
    return TRUE;
}

/* The Windows folder in DOS form ("C:\windows"). \SystemRoot would be the
 * kernel's own way to name it, but Wine does not resolve it; the registry
 * records it on both systems. */
static void SystemRoot(WCHAR *root)
{
    HANDLE key;
    root[0] = 0;
    if (NT_SUCCESS(DuOpenKey(&key, NULL, WINDOWS_KEY, FALSE))) {
        if (!NT_SUCCESS(DuQueryString(key, L"SystemRoot", root)) || root[0] == 0 || root[1] != L':')
            root[0] = 0;
        ZwClose(key);
    }
    if (!root[0])
        DuAppend(root, DU_MAX_TEXT + 1, DEFAULT_SYSTEM_ROOT);
}

/* Copies the whole image into the board. A board that did not receive all of
 * it is removed rather than left half written. */
static NTSTATUS CopyToBoard(HANDLE image, ULONG size)
{
    HANDLE board;
    ULONG done = 0;
    UCHAR *chunk = ExAllocatePoolWithTag(PagedPool, CHUNK_BYTES, POOL_TAG);
    NTSTATUS status = chunk ? DuOpenFile(&board, BOARD_FILE, TRUE) : STATUS_INSUFFICIENT_RESOURCES;
    if (!NT_SUCCESS(status)) {
        if (chunk)
            ExFreePoolWithTag(chunk, POOL_TAG);
        return status;
    }
    while (NT_SUCCESS(status) && done < size) {
        IO_STATUS_BLOCK io;
        status = ZwReadFile(image, NULL, NULL, NULL, &io, chunk, CHUNK_BYTES, NULL, NULL);
        if (NT_SUCCESS(status) && io.Information == 0)
            status = STATUS_END_OF_FILE;
        if (NT_SUCCESS(status)) {
            ULONG got = (ULONG)io.Information;
            status = ZwWriteFile(board, NULL, NULL, NULL, &io, chunk, got, NULL, NULL);
            if (NT_SUCCESS(status) && io.Information != got)
                status = STATUS_DISK_FULL;
            done += got;
        }
    }
    ZwClose(board);
    ExFreePoolWithTag(chunk, POOL_TAG);
    if (!NT_SUCCESS(status))
        DuDeleteFile(BOARD_FILE);
    return status;
}

/* Missing value: STATUS_OBJECT_NAME_NOT_FOUND; present but of another type
 * or too long: STATUS_INVALID_PARAMETER. */
static NTSTATUS ReadStatus(NTSTATUS status)
{
    if (NT_SUCCESS(status) || status == STATUS_OBJECT_NAME_NOT_FOUND)
        return status;
    return STATUS_INVALID_PARAMETER;
}

NTSYSAPI NTSTATUS NTAPI ZwQueryInformationProcess(HANDLE process, ULONG infoClass, PVOID info, ULONG size,
                                                  PULONG returned);
#define PROCESS_WOW64_INFORMATION 26

/* The kernel reads the image from the real System32\drivers. Wine runs the
 * driver of a service that a 32-bit program registered in a 64-bit prefix
 * in its 32-bit winedevice.exe, whose file access is redirected to
 * SysWOW64; "sysnative" names the real folder there. */
static PCWSTR DriversFolder(void)
{
    ULONG_PTR wow64 = 0;
    if (NT_SUCCESS(ZwQueryInformationProcess(NtCurrentProcess(), PROCESS_WOW64_INFORMATION, &wow64, sizeof wow64,
                                             NULL)) && wow64)
        return L"\\sysnative\\drivers\\";
    return L"\\system32\\drivers\\";
}

static NTSTATUS Download(PUNICODE_STRING registryPath, HANDLE record)
{
    HANDLE service, parameters, image;
    ULONG memSeg = 0, port = 0, size = 0;
    WCHAR name[DU_MAX_TEXT + 1], root[DU_MAX_TEXT + 1], path[PATH_CHARS];
    NTSTATUS memSegStatus, portStatus, nameStatus, status;

    status = DuOpenKeyU(&service, registryPath, FALSE);
    if (!NT_SUCCESS(status))
        return status;
    status = DuOpenKey(&parameters, service, L"Parameters", FALSE);
    ZwClose(service);
    if (!NT_SUCCESS(status))
        return status;
    /* All three are read and recorded before any is judged, so that the
     * record shows everything the loader provided. */
    memSegStatus = ReadStatus(DuQueryDword(parameters, L"MEM_SEG", &memSeg));
    portStatus = ReadStatus(DuQueryDword(parameters, L"PORT", &port));
    nameStatus = ReadStatus(DuQueryString(parameters, L"FirmwareFile", name));
    ZwClose(parameters);
    if (NT_SUCCESS(memSegStatus))
        DuSetDword(record, L"MEM_SEG", memSeg);
    if (NT_SUCCESS(portStatus))
        DuSetDword(record, L"PORT", port);
    if (NT_SUCCESS(nameStatus))
        DuSetString(record, L"FirmwareFile", name);

    if (!NT_SUCCESS(memSegStatus))
        return memSegStatus;
    if (!NT_SUCCESS(portStatus))
        return portStatus;
    if (!NT_SUCCESS(nameStatus))
        return nameStatus;
    if (!ValidMemSeg(memSeg) || !ValidPort(port) || !ValidFileName(name))
        return STATUS_INVALID_PARAMETER;

    SystemRoot(root);
    path[0] = 0;
    DuAppend(path, PATH_CHARS, L"\\??\\");
    DuAppend(path, PATH_CHARS, root);
    DuAppend(path, PATH_CHARS, DriversFolder());
    DuAppend(path, PATH_CHARS, name);
    status = DuOpenFile(&image, path, FALSE);
    if (!NT_SUCCESS(status))
        return status;
    status = DuFileSize(image, &size);
    if (NT_SUCCESS(status)) {
        DuSetDword(record, L"Bytes", size);
        status = CopyToBoard(image, size);
    }
    ZwClose(image);
    return status;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    static const PCWSTR recorded[] = { L"MEM_SEG", L"PORT", L"FirmwareFile", L"Bytes", L"Result" };
    HANDLE test, record;
    ULONG delayMs, i;
    NTSTATUS status;

    driver->DriverUnload = FakeLoaderUnload;

    /* Created one level at a time: ZwCreateKey makes no missing parents. */
    status = DuOpenKey(&test, NULL, TEST_KEY, TRUE);
    if (!NT_SUCCESS(status))
        return status;
    status = DuOpenKey(&record, test, L"LoaderRun", TRUE);
    if (!NT_SUCCESS(status)) {
        ZwClose(test);
        return status;
    }
    /* The record describes this start only. */
    for (i = 0; i < sizeof(recorded) / sizeof(recorded[0]); ++i)
        DuDeleteValue(record, recorded[i]);

    delayMs = DuKnob(test, L"LoaderDelayMs", 0);
    if (delayMs)
        DuSleepMs(delayMs);
    if (DuKnob(test, L"LoaderFailStart", 0))
        status = STATUS_UNSUCCESSFUL;
    else
        status = Download(registryPath, record);
    ZwClose(test);

    DuSetDword(record, L"Result", (ULONG)status);
    ZwClose(record);
    return status;
}
