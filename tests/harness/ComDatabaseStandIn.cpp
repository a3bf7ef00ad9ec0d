#include "ComDatabaseStandIn.h"

#include <gtest/gtest.h>

#include "HarnessFiles.h"
#include "RegValue.h"

namespace harness {

namespace {

constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr char kDevicePrefix[] = "\\Device\\QB480Test";

std::string SystemFile(const char* name)
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

std::string Msports() { return SystemFile("msports.dll"); }
// Where Wine's own waits while another is in its place.
std::string WinesOwn() { return SystemFile("msports.qb480test-wine.dll"); }

}  // namespace

CComDatabaseSwap::CComDatabaseSwap(ComDatabaseKind kind, CallSite where)
{
    if (!FileExists(WinesOwn()) && !MoveFileA(Msports().c_str(), WinesOwn().c_str())) {
        Fail(where, "set-up: moving Wine's msports.dll away failed with " + std::to_string(GetLastError()));
        return;
    }
    if (kind == ComDatabaseKind::StandIn && !CopyFileA(WindowsPath(QB480_MSPORTS_DLL).c_str(), Msports().c_str(), FALSE))
        Fail(where, "set-up: placing the stand-in msports.dll failed with " + std::to_string(GetLastError()));
    if (kind == ComDatabaseKind::Missing && !DeleteFileA(Msports().c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        Fail(where, "set-up: deleting msports.dll failed with " + std::to_string(GetLastError()));
}

CComDatabaseSwap::~CComDatabaseSwap()
{
    std::string problems;
    RestoreWineComDatabase(problems);
    if (!problems.empty())
        ADD_FAILURE() << problems;
}

void RestoreWineComDatabase(std::string& problems)
{
    if (FileExists(WinesOwn()) && !MoveFileExA(WinesOwn().c_str(), Msports().c_str(), MOVEFILE_REPLACE_EXISTING))
        problems += "restoring Wine's msports.dll: error " + std::to_string(GetLastError()) + "; ";
}

std::set<DWORD> ComNumbersInUse()
{
    std::set<DWORD> numbers;
    const auto value = ReadValue(kComDatabaseKey, "ComDB");
    for (std::size_t byte = 0; value && byte < value->data.size(); ++byte)
        for (int bit = 0; bit < 8; ++bit)
            if (static_cast<unsigned char>(value->data[byte]) >> bit & 1)
                numbers.insert(static_cast<DWORD>(byte * 8 + bit + 1));
    return numbers;
}

bool ClaimForOtherDevice(const std::set<DWORD>& numbers, CallSite where)
{
    const auto value = ReadValue(kComDatabaseKey, "ComDB");
    std::string bits = value ? value->data : std::string(32, '\0');
    for (DWORD number : numbers) {
        if (bits.size() < (number + 7) / 8)
            bits.resize((number + 1023) / 1024 * 128, '\0');
        bits[(number - 1) / 8] = static_cast<char>(bits[(number - 1) / 8] | 1 << (number - 1) % 8);
    }
    return WriteValue(kComDatabaseKey, "ComDB", RegValue{REG_BINARY, bits}, where);
}

std::string EnterSerialComm(const std::string& tag, const std::string& port, CallSite where)
{
    const std::string device = kDevicePrefix + tag;
    HKEY key = nullptr;
    // HARDWARE is volatile: a key made below it must be too.
    LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                                 nullptr, &key, nullptr);
    if (!error) {
        error = RegSetValueExA(key, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                               static_cast<DWORD>(port.size() + 1));
        RegCloseKey(key);
    }
    if (error)
        Fail(where, "set-up: entering " + device + " in SERIALCOMM failed with " + std::to_string(error));
    return device;
}

void RemoveSerialCommEntries(std::string& problems)
{
    const std::string prefix = kDevicePrefix;
    for (const std::string& name : ValueNames(kSerialCommKey))
        if (name.compare(0, prefix.size(), prefix) == 0 && !DeleteValue(kSerialCommKey, name))
            problems += "deleting " + name + " from SERIALCOMM; ";
}

}  // namespace harness
