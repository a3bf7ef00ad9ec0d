// robotprobe.dll: carries the Probe functions into a process under test. It
// does nothing when loaded; the robot starts its functions as remote threads.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
