#pragma once
// The test's own view of the Service Control Manager and the reset to a
// known baseline before and after each test. Every function opens and closes
// its own handles; errors are the Win32 codes of the failing call.
#include "CallSite.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace harness {

// Registers a kernel-driver service (normal error control); 0 or the error.
DWORD CreateDriverService(const std::string& name, const std::string& displayName, const std::string& imagePath,
                          DWORD startType = SERVICE_DEMAND_START);
// 0 or the error of StartServiceA (1056 when it already runs).
DWORD StartDriverService(const std::string& name);
// 0 once the service is stopped, also when it was not running; 1060 when it
// is not registered, or the error of ControlService.
DWORD StopService(const std::string& name);
// Stops the service when it runs, deletes it and polls until the SCM no
// longer lists it, so that the next CreateServiceA of that name does not
// fail with 1072. True once it is gone (also when it never existed).
bool DeleteServiceAndWait(const std::string& name, int timeoutMs = 5000);

// dwCurrentState (SERVICE_STOPPED, SERVICE_RUNNING...), or nothing when no
// such service is registered.
std::optional<DWORD> ServiceState(const std::string& name);

struct ServiceConfig {
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::string imagePath, displayName;
};
std::optional<ServiceConfig> QueryServiceConfiguration(const std::string& name);

// Names in the SCM's order and letter case.
std::vector<std::string> ServiceNames(DWORD type = SERVICE_DRIVER, DWORD state = SERVICE_STATE_ALL);
// Listed under any letter case, as the SCM compares names.
bool IsServiceListed(const std::string& name, DWORD type = SERVICE_DRIVER | SERVICE_WIN32);
// Polls until the SCM no longer lists the service (its deletion completes
// once the last handle is closed); false when it stays.
bool WaitUntilUnlisted(const std::string& name, int timeoutMs = 5000);

// Terminates this prefix's processes with these file names (this process
// excepted) and waits for their end.
void KillProcessesNamed(const std::vector<std::string>& exeNames);

// Puts the prefix back to what the tests start from:
// - kills leftover qb480load.exe and cplhost.exe processes;
// - deletes the services VDXQB480, loader and any named QB480Test...;
// - deletes the keys HKLM\SYSTEM\CurrentControlSet\Services\VDXQB480 and
//   ...\loader, ...\Services\EventLog\System\vdxqb480, HKLM\SOFTWARE\QB480Test
//   and HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32;
// - restores the System event log's Sources value as it was before any test
//   (a snapshot taken by the first call in this prefix, kept under
//   HKLM\SOFTWARE\QB480TestBaseline);
// - puts Wine's own msports.dll back (CComDatabaseSwap) and removes the
//   tests' SERIALCOMM entries;
// - deletes system32\drivers\vdxqb480.sys, system32\drivers\*.bin and
//   C:\qb480board.bin.
// Reports what could not be reset as a failure at the caller's line and
// returns false then.
bool ResetBaseline(CallSite where = {});

}  // namespace harness
