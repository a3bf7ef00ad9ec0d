/*
 * msports.dll: stands in for Windows' COM port database in tests, since
 * Wine's own msports.dll ends the process at the first call. The tests put
 * it in the system folder as msports.dll (harness/ComDatabaseStandIn.h).
 *
 * The database is the REG_BINARY value "ComDB" under
 * HKLM\SOFTWARE\QB480Test\ComDB: bit (n-1) % 8 of byte (n-1) / 8 marks COMn
 * in use. Its size is eight numbers a byte, COMDB_MIN_PORTS_ARBITRATED at
 * least; ComDBResizeDatabase grows it. A test marks another device's
 * numbers by writing the value itself.
 *
 * Knob, a REG_DWORD in the same key: "OpenRefused" makes ComDBOpen fail
 * with ERROR_ACCESS_DENIED, the one failure its page lists, as for a user
 * who may not change the machine.
 *
 * Each function keeps to its page in Microsoft's reference (msports.h):
 * what a page says is not set stays as the caller left it, each error is
 * one the page lists for that case, and every access to the database holds
 * a mutex ("The database is protected by mutual exclusion", COM Port
 * Database). Where a page is silent, the stricter choice is taken and said
 * where it is made. docs/testing-under-wine.md lists them.
 */
#include <windows.h>

#define COMDB_MIN_PORTS_ARBITRATED 256
#define COMDB_MAX_PORTS_ARBITRATED 4096
#define CDB_REPORT_BITS 0
#define CDB_REPORT_BYTES 1
#define DB_KEY "SOFTWARE\\QB480Test\\ComDB"
#define MAX_HANDLES 8

typedef struct {
    DWORD size; /* numbers arbitrated */
    BYTE bits[COMDB_MAX_PORTS_ARBITRATED / 8];
} Database;

/* The handles given out and not yet closed. */
static BOOL g_open[MAX_HANDLES];

/* Held from a call's read of the database to its write, across processes. */
static HANDLE Lock(void)
{
    const HANDLE mutex = CreateMutexA(NULL, FALSE, "Global\\QB480Test.ComDB");
    if (mutex)
        WaitForSingleObject(mutex, INFINITE);
    return mutex;
}

static LONG Unlock(HANDLE mutex, LONG result)
{
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return result;
}

static int Slot(HANDLE handle)
{
    const ULONG_PTR slot = (ULONG_PTR)handle - 0x5100;
    return slot < MAX_HANDLES && g_open[slot] ? (int)slot : -1;
}

static HKEY OpenDb(void)
{
    HKEY key = NULL;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, DB_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ? NULL : key;
}

static BOOL Load(Database* db)
{
    HKEY key = OpenDb();
    DWORD bytes = sizeof db->bits;
    LONG result;
    if (!key)
        return FALSE;
    ZeroMemory(db, sizeof *db);
    result = RegQueryValueExA(key, "ComDB", NULL, NULL, db->bits, &bytes);
    RegCloseKey(key);
    if (result == ERROR_FILE_NOT_FOUND)
        bytes = 0;
    else if (result)
        return FALSE;
    db->size = bytes * 8 < COMDB_MIN_PORTS_ARBITRATED ? COMDB_MIN_PORTS_ARBITRATED : bytes * 8;
    return TRUE;
}

static LONG Store(const Database* db)
{
    HKEY key = OpenDb();
    LONG result;
    if (!key)
        return ERROR_CANTWRITE;
    result = RegSetValueExA(key, "ComDB", 0, REG_BINARY, db->bits, db->size / 8);
    RegCloseKey(key);
    return result ? ERROR_CANTWRITE : ERROR_SUCCESS;
}

static BOOL InUse(const Database* db, DWORD number)
{
    return (db->bits[(number - 1) / 8] >> ((number - 1) % 8)) & 1;
}

static void Mark(Database* db, DWORD number, BOOL inUse)
{
    const BYTE bit = (BYTE)(1 << ((number - 1) % 8));
    db->bits[(number - 1) / 8] = (BYTE)(inUse ? db->bits[(number - 1) / 8] | bit : db->bits[(number - 1) / 8] & ~bit);
}

LONG WINAPI ComDBOpen(HANDLE* handle)
{
    HKEY key;
    DWORD refused = 0, size = sizeof refused;
    int slot;
    if (!handle) /* "PHComDB must be non-NULL": no error given */
        return ERROR_INVALID_PARAMETER;
    *handle = INVALID_HANDLE_VALUE;
    if (!(key = OpenDb()))
        return ERROR_ACCESS_DENIED;
    RegQueryValueExA(key, "OpenRefused", NULL, NULL, (BYTE*)&refused, &size);
    RegCloseKey(key);
    if (refused)
        return ERROR_ACCESS_DENIED;
    for (slot = 0; slot < MAX_HANDLES && g_open[slot]; ++slot)
        ;
    if (slot == MAX_HANDLES)
        return ERROR_ACCESS_DENIED;
    g_open[slot] = TRUE;
    *handle = (HANDLE)(ULONG_PTR)(0x5100 + slot);
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClose(HANDLE handle)
{
    const int slot = Slot(handle);
    if (slot < 0)
        return ERROR_INVALID_PARAMETER;
    g_open[slot] = FALSE;
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBGetCurrentPortUsage(HANDLE handle, BYTE* buffer, DWORD bufferSize, ULONG reportType,
                                     DWORD* maxPortsReported)
{
    Database db;
    DWORD count, number;
    HANDLE lock;
    if (Slot(handle) < 0 || (!buffer && !maxPortsReported) ||
        (buffer && reportType != CDB_REPORT_BITS && reportType != CDB_REPORT_BYTES))
        return ERROR_INVALID_PARAMETER;
    lock = Lock();
    if (!Load(&db))
        return Unlock(lock, ERROR_NOT_CONNECTED);
    Unlock(lock, 0);
    if (!buffer) {
        *maxPortsReported = db.size;
        return ERROR_SUCCESS;
    }
    if (reportType == CDB_REPORT_BYTES) {
        /* "The routine does not set *MaxPortsReported." */
        count = bufferSize < db.size ? bufferSize : db.size;
        for (number = 1; number <= count; ++number)
            buffer[number - 1] = (BYTE)InUse(&db, number);
        return ERROR_SUCCESS;
    }
    count = bufferSize < db.size / 8 ? bufferSize * 8 : db.size;
    CopyMemory(buffer, db.bits, count / 8);
    if (maxPortsReported)
        *maxPortsReported = count;
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClaimPort(HANDLE handle, DWORD number, BOOL forceClaim, BOOL* forced)
{
    Database db;
    HANDLE lock;
    (void)forceClaim; /* "Reserved for internal use only." */
    (void)forced;
    if (Slot(handle) < 0 || number < 1 || number > COMDB_MAX_PORTS_ARBITRATED)
        return ERROR_INVALID_PARAMETER;
    lock = Lock();
    if (!Load(&db))
        return Unlock(lock, ERROR_NOT_CONNECTED);
    /* Not documented: a number above the database's size. Refused here, as
       for a number not in the database; the caller grows it first. */
    if (number > db.size)
        return Unlock(lock, ERROR_INVALID_PARAMETER);
    if (InUse(&db, number))
        return Unlock(lock, ERROR_SHARING_VIOLATION);
    Mark(&db, number, TRUE);
    return Unlock(lock, Store(&db));
}

LONG WINAPI ComDBReleasePort(HANDLE handle, DWORD number)
{
    Database db;
    HANDLE lock;
    if (Slot(handle) < 0)
        return ERROR_INVALID_PARAMETER;
    lock = Lock();
    if (!Load(&db))
        return Unlock(lock, ERROR_NOT_CONNECTED);
    if (number < 1 || number > db.size)
        return Unlock(lock, ERROR_INVALID_PARAMETER);
    Mark(&db, number, FALSE);
    return Unlock(lock, Store(&db));
}

LONG WINAPI ComDBResizeDatabase(HANDLE handle, DWORD newSize)
{
    Database db;
    HANDLE lock;
    if (Slot(handle) < 0 || newSize % 1024)
        return ERROR_INVALID_PARAMETER;
    lock = Lock();
    if (!Load(&db))
        return Unlock(lock, ERROR_NOT_CONNECTED);
    if (newSize <= db.size || newSize > COMDB_MAX_PORTS_ARBITRATED)
        return Unlock(lock, ERROR_BAD_LENGTH);
    db.size = newSize;
    return Unlock(lock, Store(&db));
}
