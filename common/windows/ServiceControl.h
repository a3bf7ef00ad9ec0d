#pragma once
// The questions both deliverables ask the Service Control Manager about the
// board driver's service, and the registration and removal of a kernel-driver
// service. Every failure is reported in the module's message box.
#include <windows.h>

namespace qb480 {

// All that reading the service list needs: what the manager grants a
// standard user, so that reading the board works without the rights.
inline constexpr DWORD kReadOnlyManagerAccess = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE;

// How one query about the driver service runs in a deliverable.
struct ServiceQuery {
    DWORD managerAccess;
    DWORD stateFilter;
    DWORD bufferSize;                // the first enumeration's buffer
    const char* openFailureMessage;  // shown when the manager cannot be opened; null: nothing
    const char* enumFailureMessage;  // shown when the enumeration fails; null: nothing
};

// The constants that differ between the applet and the loader. Each
// deliverable defines kServiceVariant once.
struct ServiceVariant {
    ServiceQuery installed;
    ServiceQuery started;
    bool stopBeforeDelete;  // the applet stops a service before deleting it
};
extern const ServiceVariant kServiceVariant;

// A driver service named VDXQB480 (any letter case) is registered, in any state.
bool IsDriverInstalled();
// That service is registered and not stopped.
bool VDXDriverStarted();

// The query behind both, with the variant's constants given.
bool FindDriverService(const ServiceQuery& query);

// Registers a kernel-driver service named name (also its display name). An
// existing registration of that name is removed first. 1 when the service
// is registered; 0 after the failure has been shown.
int CreateKernelService(SC_HANDLE manager, const char* name, const char* imagePath, DWORD startType);

// Deletes the service (the applet stops it first); nonzero when the deletion
// succeeded. Failures are shown. opened, when given, tells whether the
// service could be opened at all.
int RemoveService(SC_HANDLE manager, const char* name, bool* opened = nullptr);

// The text shown for a failed registration.
const char* ServiceErrorText(DWORD code);

}  // namespace qb480
