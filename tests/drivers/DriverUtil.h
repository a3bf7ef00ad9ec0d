/*
 * Helpers shared by the test-double kernel drivers: registry values, files,
 * a sleep and a CRC-32, all through calls that both Windows' and Wine's
 * ntoskrnl export. No C runtime is linked into a driver, so text formatting
 * is done by hand as well.
 */
#pragma once
#include <ddk/wdm.h>

/* Longest REG_SZ value a driver reads, in characters, without the NUL. */
#define DU_MAX_TEXT 260

/* Opens a key by its absolute kernel name (\Registry\Machine\...), or below
 * `parent` when that is not NULL. `create` makes it when it is missing; its
 * parent must exist (as on Windows). */
NTSTATUS DuOpenKey(HANDLE *key, HANDLE parent, PCWSTR name, BOOLEAN create);
NTSTATUS DuOpenKeyU(HANDLE *key, PCUNICODE_STRING name, BOOLEAN create);

/* STATUS_OBJECT_NAME_NOT_FOUND when the value is missing,
 * STATUS_OBJECT_TYPE_MISMATCH when it has another type or size. */
NTSTATUS DuQueryDword(HANDLE key, PCWSTR name, ULONG *value);
/* REG_SZ into text[DU_MAX_TEXT + 1], NUL-terminated, trailing NULs dropped;
 * STATUS_BUFFER_OVERFLOW when longer than DU_MAX_TEXT. */
NTSTATUS DuQueryString(HANDLE key, PCWSTR name, WCHAR *text);
/* A DWORD used as a switch or setting: `fallback` when it is absent or is
 * not a REG_DWORD. A NULL key has no values. */
ULONG DuKnob(HANDLE key, PCWSTR name, ULONG fallback);

NTSTATUS DuSetDword(HANDLE key, PCWSTR name, ULONG value);
NTSTATUS DuSetString(HANDLE key, PCWSTR name, PCWSTR text);
void DuDeleteValue(HANDLE key, PCWSTR name);

void DuSleepMs(ULONG ms);

/* Opens a file by its kernel name (\??\C:\...) for synchronous I/O.
 * `write` creates or truncates it. */
NTSTATUS DuOpenFile(HANDLE *file, PCWSTR path, BOOLEAN write);
NTSTATUS DuFileSize(HANDLE file, ULONG *size);
NTSTATUS DuDeleteFile(PCWSTR path);

/* The CRC-32 of zip and Ethernet (reflected 0xEDB88320), continued from
 * `crc`; start with 0. */
ULONG DuCrc32(ULONG crc, const UCHAR *data, ULONG length);

/* Bounded text building: each appends to a NUL-terminated buffer of
 * `capacity` characters and truncates rather than overruns. */
void DuAppend(WCHAR *buffer, ULONG capacity, PCWSTR text);
void DuAppendDecimal(WCHAR *buffer, ULONG capacity, ULONG value);
void DuAppendHex8(WCHAR *buffer, ULONG capacity, ULONG value);
ULONG DuLength(PCWSTR text);
