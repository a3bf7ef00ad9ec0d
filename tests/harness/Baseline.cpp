#include "Handles.h"
#include "Scm.h"
#include "TestKeys.h"

#include <cstring>

namespace harness {
namespace {

constexpr const char* kEventLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";
constexpr const char* kSourcesValue = "Sources";
constexpr const char* kSnapshotKey = "SOFTWARE\\QB480TestBaseline";

struct RegValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool operator==(const RegValue& other) const
    {
        return present == other.present && (!present || (type == other.type && data == other.data));
    }
};

RegValue ReadValue(HKEY root, const char* path, const char* name)
{
    RegValue value;
    DWORD size = 0;
    if (RegGetValueA(root, path, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = RegGetValueA(root, path, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.data.data(),
                                 &size) == ERROR_SUCCESS;
    value.data.resize(size);
    return value;
}

LONG WriteValue(HKEY root, const char* path, const char* name, const RegValue& value)
{
    if (!value.present) {
        const LONG error = RegDeleteKeyValueA(root, path, name);
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    return RegSetKeyValueA(root, path, name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

// The snapshot keeps the value's bytes as REG_BINARY and its type (REG_NONE
// when the value was absent) beside them.
RegValue ReadSnapshot()
{
    RegValue type = ReadValue(HKEY_LOCAL_MACHINE, kSnapshotKey, "SourcesType");
    RegValue snapshot = ReadValue(HKEY_LOCAL_MACHINE, kSnapshotKey, kSourcesValue);
    if (!type.present || type.data.size() != sizeof(DWORD))
        return {};
    snapshot.type = *reinterpret_cast<const DWORD*>(type.data.data());
    snapshot.present = snapshot.type != REG_NONE;
    return snapshot;
}

bool SnapshotTaken()
{
    return ReadValue(HKEY_LOCAL_MACHINE, kSnapshotKey, "SourcesType").present;
}

LONG TakeSnapshot(const RegValue& sources)
{
    const RegValue bytes = {true, REG_BINARY, sources.data};
    const DWORD type = sources.present ? sources.type : REG_NONE;
    const RegValue typeValue = {true, REG_DWORD,
                                std::vector<BYTE>(reinterpret_cast<const BYTE*>(&type),
                                                  reinterpret_cast<const BYTE*>(&type) + sizeof type)};
    const LONG error = WriteValue(HKEY_LOCAL_MACHINE, kSnapshotKey, kSourcesValue, bytes);
    return error ? error : WriteValue(HKEY_LOCAL_MACHINE, kSnapshotKey, "SourcesType", typeValue);
}

void RestoreSources(std::string& problems)
{
    const RegValue current = ReadValue(HKEY_LOCAL_MACHINE, kEventLogKey, kSourcesValue);
    if (!SnapshotTaken()) {
        if (const LONG error = TakeSnapshot(current))
            problems += "snapshot of Sources: error " + std::to_string(error) + "; ";
        return;
    }
    const RegValue original = ReadSnapshot();
    if (current == original)
        return;
    if (const LONG error = WriteValue(HKEY_LOCAL_MACHINE, kEventLogKey, kSourcesValue, original))
        problems += "restoring Sources: error " + std::to_string(error) + "; ";
}

void DeleteTree(HKEY root, const std::string& path, std::string& problems)
{
    const LONG error = RegDeleteTreeA(root, path.c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        problems += "deleting " + path + ": error " + std::to_string(error) + "; ";
}

void DeleteFileIfThere(const std::string& path, std::string& problems)
{
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        problems += "deleting " + path + ": error " + std::to_string(GetLastError()) + "; ";
}

std::string DriversFolder()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\drivers\\";
}

// A 32-bit test on 64-bit Windows sees SysWOW64's drivers folder under
// System32; the real one, where the deliverables put their files, is
// reached through sysnative. Both are cleaned.
std::vector<std::string> DriversFolders()
{
    std::vector<std::string> folders = {DriversFolder()};
    BOOL wow64 = FALSE;
    char windows[MAX_PATH] = {};
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && GetWindowsDirectoryA(windows, MAX_PATH))
        folders.push_back(std::string(windows) + "\\sysnative\\drivers\\");
    return folders;
}

void DeleteImages(const std::string& folder, std::string& problems)
{
    WIN32_FIND_DATAA found = {};
    const HANDLE search = FindFirstFileA((folder + "*.bin").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileIfThere(folder + found.cFileName, problems);
    while (FindNextFileA(search, &found));
    FindClose(search);
}

void DeleteServices(std::string& problems)
{
    std::vector<std::string> names = {"VDXQB480", "loader"};
    for (const auto& listed : ServiceNames(SERVICE_DRIVER | SERVICE_WIN32))
        if (_strnicmp(listed.c_str(), "QB480Test", 9) == 0)
            names.push_back(listed);
    for (const auto& name : names)
        if (!DeleteServiceAndWait(name))
            problems += "service " + name + " is still listed; ";
}

}  // namespace

bool ResetBaseline(CallSite where)
{
    std::string problems;
    KillProcessesNamed({"qb480load.exe", "cplhost.exe"});
    DeleteServices(problems);
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
    DeleteTree(HKEY_LOCAL_MACHINE, services + "VDXQB480", problems);
    DeleteTree(HKEY_LOCAL_MACHINE, services + "loader", problems);
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kEventLogKey) + "\\vdxqb480", problems);
    DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, problems);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", problems);
    RestoreSources(problems);
    for (const std::string& drivers : DriversFolders()) {
        DeleteFileIfThere(drivers + "vdxqb480.sys", problems);
        DeleteImages(drivers, problems);
    }
    DeleteFileIfThere("C:\\qb480board.bin", problems);
    if (!problems.empty())
        Fail(where, "the baseline could not be restored: " + problems);
    return problems.empty();
}

}  // namespace harness
