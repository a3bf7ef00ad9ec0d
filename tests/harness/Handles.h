#pragma once
// The handle kinds only the tests own, on the framework's move-only owner
// (framework/UniqueHandle.h), which serves the tests for the kinds the
// deliverables hold too: fw::UniqueHkey, fw::UniqueScHandle and
// fw::UniqueKernelHandle.
#include <windows.h>

#include "UniqueHandle.h"

namespace harness {

struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};
// CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE.
struct SnapshotTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE snapshot) { CloseHandle(snapshot); }
};

using UniqueModule = fw::UniqueHandle<HMODULE, ModuleTraits>;
using UniqueSnapshot = fw::UniqueHandle<HANDLE, SnapshotTraits>;

}  // namespace harness
