#pragma once
// The handle kinds only the tests own, on the framework's move-only owner
// (framework/UniqueHandle.h), which serves the tests for the kinds the
// deliverables hold too: fw::UniqueHkey, fw::UniqueScHandle,
// fw::UniqueKernelHandle and fw::UniqueModule.
#include <windows.h>

#include "UniqueHandle.h"

namespace harness {

// CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE.
struct SnapshotTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE snapshot) { CloseHandle(snapshot); }
};

using fw::UniqueModule;
using UniqueSnapshot = fw::UniqueHandle<HANDLE, SnapshotTraits>;

}  // namespace harness
