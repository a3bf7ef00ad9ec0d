#pragma once
// Windows' COM port database in the tests. Wine's own msports.dll ends the
// process at the first call, so a test that needs a database puts the
// stand-in (tests/drivers/msports.c) in the system folder as msports.dll;
// Wine 8 loads such a file before its builtin. A test of a system without
// the database (NT 4.0) takes msports.dll away. Every other test runs with
// Wine's own: ResetBaseline puts it back.
#include <windows.h>

#include <set>
#include <string>

#include "CallSite.h"

namespace harness {

// The stand-in's key: its value "ComDB" and its knob "OpenRefused".
inline constexpr char kComDatabaseKey[] = "SOFTWARE\\QB480Test\\ComDB";

enum class ComDatabaseKind { StandIn, Missing };

// While it lives, msports.dll in the system folder is the stand-in, or is
// missing; Wine's own is back when it ends.
class CComDatabaseSwap {
public:
    explicit CComDatabaseSwap(ComDatabaseKind kind, CallSite where = {});
    ~CComDatabaseSwap();
    CComDatabaseSwap(const CComDatabaseSwap&) = delete;
    CComDatabaseSwap& operator=(const CComDatabaseSwap&) = delete;
};

// Puts Wine's own msports.dll back where a test left another; adds to
// problems what it could not do.
void RestoreWineComDatabase(std::string& problems);

// The stand-in's numbers in use, read from its registry value.
std::set<DWORD> ComNumbersInUse();
// Marks the numbers in use, as another device's installer would claim them.
bool ClaimForOtherDevice(const std::set<DWORD>& numbers, CallSite where = {});

// An entry "\Device\QB480Test<tag>" = port in HARDWARE\DEVICEMAP\SERIALCOMM,
// as a serial driver running now enters its port; the device's name.
std::string EnterSerialComm(const std::string& tag, const std::string& port, CallSite where = {});
// Removes the entries EnterSerialComm made.
void RemoveSerialCommEntries(std::string& problems);

}  // namespace harness
