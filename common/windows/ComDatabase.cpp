#include "windows/ComDatabase.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "windows/SystemFolder.h"

namespace qb480 {

namespace {

constexpr DWORD kMaxArbitrated = 4096;  // COMDB_MAX_PORTS_ARBITRATED
constexpr ULONG kReportBytes = 1;  // CDB_REPORT_BYTES: one byte per number, nonzero in use

// Wine's builtin DLLs carry this text at offset 0x40 of their image, where
// a Windows DLL has the code of its DOS stub. Wine's msports.dll ends the
// process when one of its functions is called, so it is recognised by its
// image alone.
bool IsWineBuiltin(HMODULE module)
{
    static constexpr char kMark[] = "Wine builtin DLL";
    const auto* image = reinterpret_cast<const unsigned char*>(module);
    return reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_magic == IMAGE_DOS_SIGNATURE &&
           std::memcmp(image + 0x40, kMark, sizeof kMark - 1) == 0;
}

template <typename Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

CComDatabase::CComDatabase()
{
    // By its full path in the system folder, never through the search path,
    // where a program's own folder comes first. A 32-bit process on 64-bit
    // Windows is sent to SysWOW64's copy, of its own kind.
    const auto folder = SystemDirectory();
    if (!folder)
        return;
    fw::UniqueModule module(LoadLibraryA((*folder + "\\msports.dll").c_str()));
    if (!module || IsWineBuiltin(module.get()))
        return;
    const auto open = Export<OpenFn>(module.get(), "ComDBOpen");
    m_close = Export<CloseFn>(module.get(), "ComDBClose");
    m_usage = Export<UsageFn>(module.get(), "ComDBGetCurrentPortUsage");
    m_claim = Export<ClaimFn>(module.get(), "ComDBClaimPort");
    m_release = Export<ReleaseFn>(module.get(), "ComDBReleasePort");
    if (!open || !m_close || !m_usage || !m_claim || !m_release)
        return;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (open(&handle) != ERROR_SUCCESS || handle == INVALID_HANDLE_VALUE || !handle)
        return;
    m_module = std::move(module);
    m_handle = handle;
}

CComDatabase::~CComDatabase()
{
    if (IsOpen())
        m_close(m_handle);
}

std::optional<std::vector<bool>> CComDatabase::Usage() const
{
    DWORD size = 0;
    if (!IsOpen() || m_usage(m_handle, nullptr, 0, kReportBytes, &size) != ERROR_SUCCESS)
        return std::nullopt;
    size = std::min(size, kMaxArbitrated);
    std::vector<BYTE> bytes(size);
    DWORD reported = 0;
    if (size && m_usage(m_handle, bytes.data(), size, kReportBytes, &reported) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<bool> inUse(std::min(reported, size));
    for (std::size_t i = 0; i < inUse.size(); ++i)
        inUse[i] = bytes[i] != 0;
    return inUse;
}

LONG CComDatabase::Claim(std::uint32_t number) const
{
    return IsOpen() ? m_claim(m_handle, number, FALSE, nullptr) : ERROR_NOT_CONNECTED;
}

LONG CComDatabase::Release(std::uint32_t number) const
{
    return IsOpen() ? m_release(m_handle, number) : ERROR_NOT_CONNECTED;
}

}  // namespace qb480
