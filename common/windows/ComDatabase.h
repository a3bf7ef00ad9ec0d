#pragma once
// Windows' COM port database (msports.dll, Windows 2000 and later): one
// "in use" mark per COM number, which every installer of COM ports claims
// for its ports so that no two devices are given the same number. It is
// opened for one step and closed again, since every installer waits for it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "UniqueHandle.h"

namespace qb480 {

class CComDatabase {
public:
    // Opens the database. It stays closed where the system has none:
    // msports.dll missing (NT 4.0) or one that only stubs the functions
    // (Wine's own, where a call ends the process), a function missing, or
    // the open refused (a user who may not change the machine).
    CComDatabase();
    ~CComDatabase();
    CComDatabase(const CComDatabase&) = delete;
    CComDatabase& operator=(const CComDatabase&) = delete;

    bool IsOpen() const { return m_handle != nullptr; }

    // The numbers in use: entry n-1 for COMn, as many as the database
    // reports. Absent when the database is closed or cannot be read.
    std::optional<std::vector<bool>> Usage() const;
    // ERROR_SUCCESS, ERROR_SHARING_VIOLATION for a number in use, or the
    // database's error; ERROR_NOT_CONNECTED while it is closed. A number
    // above the database's size is claimed after the database has grown to
    // hold it, since no page says what a claim beyond the size does.
    LONG Claim(std::uint32_t number) const;
    LONG Release(std::uint32_t number) const;

private:
    using OpenFn = LONG(WINAPI*)(HANDLE*);
    using CloseFn = LONG(WINAPI*)(HANDLE);
    using UsageFn = LONG(WINAPI*)(HANDLE, BYTE*, DWORD, ULONG, DWORD*);
    using ClaimFn = LONG(WINAPI*)(HANDLE, DWORD, BOOL, BOOL*);
    using ReleaseFn = LONG(WINAPI*)(HANDLE, DWORD);
    using ResizeFn = LONG(WINAPI*)(HANDLE, DWORD);

    void GrowToHold(std::uint32_t number) const;

    // Declared first: the module is freed after the handle is closed.
    fw::UniqueModule m_module;
    HANDLE m_handle = nullptr;
    CloseFn m_close = nullptr;
    UsageFn m_usage = nullptr;
    ClaimFn m_claim = nullptr;
    ReleaseFn m_release = nullptr;
    ResizeFn m_resize = nullptr;  // optional
};

}  // namespace qb480
