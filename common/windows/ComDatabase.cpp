#include "windows/ComDatabase.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "windows/SystemFolder.h"

namespace qb480 {

namespace {

constexpr DWORD kMaxArbitrated = 4096;  // COMDB_MAX_PORTS_ARBITRATED
// CDB_REPORT_BITS: bit n-1 for COMn. Only this form reports how many numbers
// it filled in; the byte form leaves MaxPortsReported as it was.
constexpr ULONG kReportBits = 0;

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

// The DLLs it needs come from the system folder too, never from the
// program's own folder. LoadLibraryEx's page: the LOAD_LIBRARY_SEARCH_
// flags exist where kernel32 exports AddDllDirectory (Windows 8, or 7 and
// Vista with KB2533623); elsewhere the altered search path puts the DLL's
// own folder, the system folder, in the program's folder's place.
HMODULE LoadFromSystemFolder(const std::string& path)
{
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    const DWORD flags = Kernel32Function("AddDllDirectory") ? kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExA(path.c_str(), nullptr, flags);
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
    fw::UniqueModule module(LoadFromSystemFolder(*folder + "\\msports.dll"));
    if (!module || IsWineBuiltin(module.get()))
        return;
    const auto open = Export<OpenFn>(module.get(), "ComDBOpen");
    m_close = Export<CloseFn>(module.get(), "ComDBClose");
    m_usage = Export<UsageFn>(module.get(), "ComDBGetCurrentPortUsage");
    m_claim = Export<ClaimFn>(module.get(), "ComDBClaimPort");
    m_release = Export<ReleaseFn>(module.get(), "ComDBReleasePort");
    m_resize = Export<ResizeFn>(module.get(), "ComDBResizeDatabase");
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
    // A NULL buffer asks for the database's size, the numbers it arbitrates.
    DWORD size = 0;
    if (!IsOpen() || m_usage(m_handle, nullptr, 0, kReportBits, &size) != ERROR_SUCCESS)
        return std::nullopt;
    size = std::min(size, kMaxArbitrated);
    std::vector<BYTE> bits((size + 7) / 8);
    // The numbers filled in: the smaller of the size now and the buffer's bits.
    DWORD reported = 0;
    if (!bits.empty() &&
        m_usage(m_handle, bits.data(), static_cast<DWORD>(bits.size()), kReportBits, &reported) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<bool> inUse(std::min(reported, size));
    for (std::size_t i = 0; i < inUse.size(); ++i)
        inUse[i] = (bits[i / 8] >> (i % 8) & 1) != 0;
    return inUse;
}

void CComDatabase::GrowToHold(std::uint32_t number) const
{
    constexpr DWORD kStep = 1024;  // the sizes the database takes
    DWORD size = 0;
    if (!m_resize || number > kMaxArbitrated || m_usage(m_handle, nullptr, 0, kReportBits, &size) != ERROR_SUCCESS ||
        number <= size)
        return;
    // A failure shows in the claim that follows.
    m_resize(m_handle, (number + kStep - 1) / kStep * kStep);
}

LONG CComDatabase::Claim(std::uint32_t number) const
{
    if (!IsOpen())
        return ERROR_NOT_CONNECTED;
    GrowToHold(number);
    return m_claim(m_handle, number, FALSE, nullptr);
}

LONG CComDatabase::Release(std::uint32_t number) const
{
    return IsOpen() ? m_release(m_handle, number) : ERROR_NOT_CONNECTED;
}

}  // namespace qb480
