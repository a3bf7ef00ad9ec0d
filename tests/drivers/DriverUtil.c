#include "DriverUtil.h"

/* Declared by ntifs.h, which wdm.h users do not get. */
NTSYSAPI NTSTATUS NTAPI ZwDeleteFile(POBJECT_ATTRIBUTES attributes);

/* Room for the largest value read: a REG_SZ of DU_MAX_TEXT characters, its
 * NUL and one spare character to tell "exactly full" from "too long". Small
 * enough for the stack, which needs no probe below a page. */
#define DU_VALUE_BYTES ((DU_MAX_TEXT + 2) * sizeof(WCHAR))

typedef struct {
    KEY_VALUE_PARTIAL_INFORMATION info;
    UCHAR more[DU_VALUE_BYTES];
} DU_VALUE;

NTSTATUS DuOpenKeyU(HANDLE *key, PCUNICODE_STRING name, BOOLEAN create)
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, (PUNICODE_STRING)name,
                               OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (create)
        return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL);
    return ZwOpenKey(key, KEY_ALL_ACCESS, &attributes);
}

NTSTATUS DuOpenKey(HANDLE *key, HANDLE parent, PCWSTR name, BOOLEAN create)
{
    UNICODE_STRING text;
    OBJECT_ATTRIBUTES attributes;
    RtlInitUnicodeString(&text, name);
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, parent, NULL);
    if (create)
        return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL);
    return ZwOpenKey(key, KEY_ALL_ACCESS, &attributes);
}

static NTSTATUS DuQuery(HANDLE key, PCWSTR name, DU_VALUE *value)
{
    UNICODE_STRING text;
    ULONG length = 0;
    NTSTATUS status;
    if (!key)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    RtlInitUnicodeString(&text, name);
    status = ZwQueryValueKey(key, &text, KeyValuePartialInformation, value, sizeof(*value), &length);
    /* Too big for the buffer means too long for any value these drivers take. */
    if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL)
        return STATUS_BUFFER_OVERFLOW;
    return status;
}

NTSTATUS DuQueryDword(HANDLE key, PCWSTR name, ULONG *value)
{
    DU_VALUE data;
    NTSTATUS status = DuQuery(key, name, &data);
    if (status == STATUS_BUFFER_OVERFLOW)
        return STATUS_OBJECT_TYPE_MISMATCH;
    if (!NT_SUCCESS(status))
        return status;
    if (data.info.Type != REG_DWORD || data.info.DataLength != sizeof(ULONG))
        return STATUS_OBJECT_TYPE_MISMATCH;
    RtlCopyMemory(value, data.info.Data, sizeof(ULONG));
    return STATUS_SUCCESS;
}

NTSTATUS DuQueryString(HANDLE key, PCWSTR name, WCHAR *text)
{
    DU_VALUE data;
    const WCHAR *source;
    ULONG count;
    NTSTATUS status = DuQuery(key, name, &data);
    if (!NT_SUCCESS(status))
        return status;
    if (data.info.Type != REG_SZ || data.info.DataLength % sizeof(WCHAR) != 0)
        return STATUS_OBJECT_TYPE_MISMATCH;
    source = (const WCHAR *)data.info.Data;
    count = data.info.DataLength / sizeof(WCHAR);
    while (count > 0 && source[count - 1] == 0)
        --count;
    if (count > DU_MAX_TEXT)
        return STATUS_BUFFER_OVERFLOW;
    RtlCopyMemory(text, source, count * sizeof(WCHAR));
    text[count] = 0;
    return STATUS_SUCCESS;
}

ULONG DuKnob(HANDLE key, PCWSTR name, ULONG fallback)
{
    ULONG value;
    return NT_SUCCESS(DuQueryDword(key, name, &value)) ? value : fallback;
}

NTSTATUS DuSetDword(HANDLE key, PCWSTR name, ULONG value)
{
    UNICODE_STRING text;
    RtlInitUnicodeString(&text, name);
    return ZwSetValueKey(key, &text, 0, REG_DWORD, &value, sizeof(value));
}

NTSTATUS DuSetString(HANDLE key, PCWSTR name, PCWSTR value)
{
    UNICODE_STRING text;
    RtlInitUnicodeString(&text, name);
    return ZwSetValueKey(key, &text, 0, REG_SZ, (PVOID)value, (DuLength(value) + 1) * sizeof(WCHAR));
}

void DuDeleteValue(HANDLE key, PCWSTR name)
{
    UNICODE_STRING text;
    RtlInitUnicodeString(&text, name);
    ZwDeleteValueKey(key, &text);
}

void DuSleepMs(ULONG ms)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -(LONGLONG)ms * 10000; /* relative, in 100 ns units */
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

NTSTATUS DuOpenFile(HANDLE *file, PCWSTR path, BOOLEAN write)
{
    UNICODE_STRING text;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    RtlInitUnicodeString(&text, path);
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (write)
        return ZwCreateFile(file, GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                            0, FILE_OVERWRITE_IF, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                            NULL, 0);
    return ZwCreateFile(file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ, FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                        NULL, 0);
}

NTSTATUS DuFileSize(HANDLE file, ULONG *size)
{
    FILE_STANDARD_INFORMATION info;
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwQueryInformationFile(file, &io, &info, sizeof(info), FileStandardInformation);
    if (!NT_SUCCESS(status))
        return status;
    /* Board images are far below 4 GiB; a bigger file is not an image. */
    if (info.EndOfFile.HighPart != 0)
        return STATUS_FILE_TOO_LARGE;
    *size = info.EndOfFile.LowPart;
    return STATUS_SUCCESS;
}

NTSTATUS DuDeleteFile(PCWSTR path)
{
    UNICODE_STRING text;
    OBJECT_ATTRIBUTES attributes;
    RtlInitUnicodeString(&text, path);
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    return ZwDeleteFile(&attributes);
}

ULONG DuCrc32(ULONG crc, const UCHAR *data, ULONG length)
{
    ULONG i;
    int bit;
    crc = ~crc;
    for (i = 0; i < length; ++i) {
        crc ^= data[i];
        for (bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

ULONG DuLength(PCWSTR text)
{
    ULONG n = 0;
    while (text[n])
        ++n;
    return n;
}

void DuAppend(WCHAR *buffer, ULONG capacity, PCWSTR text)
{
    ULONG n = DuLength(buffer);
    while (*text && n + 1 < capacity)
        buffer[n++] = *text++;
    buffer[n] = 0;
}

void DuAppendDecimal(WCHAR *buffer, ULONG capacity, ULONG value)
{
    WCHAR digits[11];
    int i = 10;
    digits[i] = 0;
    do {
        digits[--i] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value);
    DuAppend(buffer, capacity, digits + i);
}

void DuAppendHex8(WCHAR *buffer, ULONG capacity, ULONG value)
{
    static const WCHAR hex[] = L"0123456789ABCDEF";
    WCHAR digits[9];
    int i;
    for (i = 7; i >= 0; --i) {
        digits[i] = hex[value & 0xF];
        value >>= 4;
    }
    digits[8] = 0;
    DuAppend(buffer, capacity, digits);
}
