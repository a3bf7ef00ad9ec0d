#include "ComDatabaseStandIn.h"
#include "HarnessFiles.h"
#include "RegValue.h"
#include "Scm.h"
#include "TestKeys.h"

#include <cstring>

namespace harness {
namespace {

constexpr const char* kEventLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";
constexpr const char* kApplicationLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr const char* kSourcesValue = "Sources";
constexpr const char* kSnapshotKey = "SOFTWARE\\QB480TestBaseline";

// A log's list of sources as the first test found it, kept under the
// snapshot key as name (the bytes, REG_BINARY) and name + "Type" (REG_NONE
// when the list was absent).
struct SourcesSnapshot {
    const char* logKey;
    const char* name;
};
constexpr SourcesSnapshot kSnapshots[] = {{kEventLogKey, "Sources"}, {kApplicationLogKey, "ApplicationSources"}};

// Absent values are restored by deleting them.
LONG Restore(const char* path, const char* name, const std::optional<RegValue>& value)
{
    if (!value) {
        const LONG error = RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, path, name);
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, path, name, value->type, value->data.data(),
                           static_cast<DWORD>(value->data.size()));
}

std::string TypeName(const SourcesSnapshot& snapshot) { return std::string(snapshot.name) + "Type"; }

std::optional<RegValue> ReadSnapshot(const SourcesSnapshot& snapshot)
{
    const auto type = ReadDword(kSnapshotKey, TypeName(snapshot).c_str());
    const auto bytes = ReadValue(kSnapshotKey, snapshot.name);
    if (!type || *type == REG_NONE || !bytes)
        return std::nullopt;
    return RegValue{*type, bytes->data};
}

bool SnapshotTaken(const SourcesSnapshot& snapshot)
{
    return ReadDword(kSnapshotKey, TypeName(snapshot).c_str()).has_value();
}

LONG TakeSnapshot(const SourcesSnapshot& snapshot, const std::optional<RegValue>& sources)
{
    const LONG error = Restore(kSnapshotKey, snapshot.name, RegValue{REG_BINARY, sources ? sources->data : ""});
    return error ? error
                 : Restore(kSnapshotKey, TypeName(snapshot).c_str(), Dword(sources ? sources->type : REG_NONE));
}

void RestoreSources(const SourcesSnapshot& snapshot, std::string& problems)
{
    const auto current = ReadValue(snapshot.logKey, kSourcesValue);
    if (!SnapshotTaken(snapshot)) {
        if (const LONG error = TakeSnapshot(snapshot, current))
            problems += std::string("snapshot of ") + snapshot.name + ": error " + std::to_string(error) + "; ";
        return;
    }
    const auto original = ReadSnapshot(snapshot);
    if (current == original)
        return;
    if (const LONG error = Restore(snapshot.logKey, kSourcesValue, original))
        problems += std::string("restoring ") + snapshot.name + ": error " + std::to_string(error) + "; ";
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

// A 32-bit test on 64-bit Windows sees SysWOW64's drivers folder under
// System32; the real one, where the deliverables put their files, is
// reached through sysnative. Both are cleaned.
std::vector<std::string> DriversFolders()
{
    std::vector<std::string> folders = {DriversFolder() + "\\"};
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
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kApplicationLogKey) + "\\Tessaline QB480", problems);
    DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, problems);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", problems);
    for (const SourcesSnapshot& snapshot : kSnapshots)
        RestoreSources(snapshot, problems);
    RestoreWineComDatabase(problems);
    RemoveSerialCommEntries(problems);
    for (const std::string& drivers : DriversFolders()) {
        DeleteFileIfThere(drivers + "vdxqb480.sys", problems);
        DeleteImages(drivers, problems);
        DeleteFileIfThere(drivers + "..\\qb480msg.dll", problems);  // the audit trail's message file
    }
    DeleteFileIfThere("C:\\qb480board.bin", problems);
    if (!problems.empty())
        Fail(where, "the baseline could not be restored: " + problems);
    return problems.empty();
}

}  // namespace harness
