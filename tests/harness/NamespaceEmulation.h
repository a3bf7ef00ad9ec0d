#pragma once
// Private namespaces as Windows documents them, for IAT patching on a
// system that has none (Wine 8: CreateBoundaryDescriptorW is a stub, the
// other functions are not exported). A program finds the functions through
// GetProcAddress, so that replacement hands out the emulation:
// - CreateBoundaryDescriptorW, AddSIDToBoundaryDescriptor and
//   DeleteBoundaryDescriptor keep the boundary's SIDs;
// - CreatePrivateNamespaceW fails with the error planned for GetProcAddress
//   (SetNamespaceFailure) when there is one; otherwise it succeeds only for
//   a caller within a boundary of at least one SID (a member of every
//   one), fails with ERROR_ALREADY_EXISTS when a namespace of that name and
//   boundary exists, keeps the descriptor it is given, and records the
//   boundary and that descriptor (RecordedText "CreatePrivateNamespaceW
//   boundary" and "... security", SDDL);
// - OpenPrivateNamespaceW opens one that exists, as its descriptor allows,
//   and only while its creator has not closed it (Object Namespaces);
//   ClosePrivateNamespace closes a namespace handle, and fails for another.
// The error codes the pages leave open are the emulation's choices, named
// where they are made. A namespace is a named event of the test's own in
// the global namespace, so every process of the prefix sees the same one,
// and CreateMutexA maps "prefix\name" inside a namespace the process holds
// to a global name of that namespace's own (boundary and all).
// CreateMutexA also records every name asked ("CreateMutexA names",
// separated by '|'), whichever path.
#include <windows.h>

namespace harness {

FARPROC WINAPI EmulatedGetProcAddress(HMODULE module, LPCSTR name);
// Nonzero: CreatePrivateNamespaceW fails with it.
void SetNamespaceFailure(DWORD error);
HANDLE WINAPI RecordingCreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);

}  // namespace harness
