#pragma once
// A replacement for EnumServicesStatusA with the Windows short-buffer
// behaviour, for IAT patching. Wine 8 answers a short buffer with 122 and a
// count of unfilled entries, or with 234 and nothing copied; Windows copies
// the entries that fit, returns FALSE with ERROR_MORE_DATA (234), the count
// of entries copied and the full size needed.
#include <windows.h>

#include <vector>

namespace harness {

struct EnumServicesPlan {
    // Nonzero: fail with this error, no entries, needed 0.
    DWORD failWith = 0;
    // Running kernel-driver entries "QB480Fill0001"... listed before the
    // real ones, to stand for a crowded service database without creating
    // hundreds of services. They match SERVICE_ACTIVE and SERVICE_STATE_ALL.
    DWORD fillers = 0;
    // Set: the real entry of this service (any letter case) is reported in
    // reportedState, and the caller's state filter judges it in that state,
    // as the SCM would: for states no driver can be put in, such as
    // SERVICE_PAUSED.
    const char* reportedService = nullptr;
    DWORD reportedState = 0;
};

struct EnumServicesCall {
    DWORD serviceType = 0;
    DWORD serviceState = 0;
    DWORD bufferSize = 0;
};

// The fake: asks the real function (from advapi32 itself, never through a
// patched slot) into a large buffer and copies what fits into the caller's,
// entries from the front and their names packed from the end. All fitting:
// TRUE, *needed 0. Otherwise FALSE, 234, *returned = the entries copied,
// *needed = the size of all entries from the resume point; a resume handle
// is advanced past the copied entries. Failures of the real call are passed
// on.
BOOL WINAPI EmulatedEnumServicesStatusA(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                        LPENUM_SERVICE_STATUSA services, DWORD bufferSize, LPDWORD needed,
                                        LPDWORD returned, LPDWORD resumeHandle);

// The fake's configuration lives in process globals, since it is a plain
// function; this scope sets it and restores the default (plain emulation)
// on destruction.
class CEnumServicesPlanScope {
public:
    explicit CEnumServicesPlanScope(const EnumServicesPlan& plan);
    ~CEnumServicesPlanScope();
    CEnumServicesPlanScope(const CEnumServicesPlanScope&) = delete;
    CEnumServicesPlanScope& operator=(const CEnumServicesPlanScope&) = delete;

    // The calls the fake received during this scope, oldest first.
    std::vector<EnumServicesCall> Calls() const;
};

// The plan with no scope, for a hook DLL that lives as long as its process.
void SetEnumServicesPlan(const EnumServicesPlan& plan);
EnumServicesPlan GetEnumServicesPlan();

}  // namespace harness
