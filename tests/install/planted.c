/* planted.exe: what a standard user puts in a folder an administrator
   installs into later, as qb480cfg.exe with a higher version, so that the
   installer keeps it. Run at all, it leaves C:\planted-ran.txt behind. */
#include <windows.h>

int main(void)
{
    const HANDLE file = CreateFileA("C:\\planted-ran.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return 0;
}
