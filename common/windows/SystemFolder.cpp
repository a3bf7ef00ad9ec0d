#include "windows/SystemFolder.h"

namespace qb480 {

namespace {

std::optional<std::string> FolderOfAnswer(const char* directory, UINT length)
{
    // An answer of MAX_PATH or more is the size the folder would need.
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::string(directory, length);
}

// Absent when the system has the question but cannot answer it.
std::optional<bool> IsWow64()
{
    using IsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<IsWow64Process>(Kernel32Function("IsWow64Process"));
    if (!isWow64)
        return false;  // older than 64-bit Windows
    BOOL wow64 = FALSE;
    if (!isWow64(GetCurrentProcess(), &wow64))
        return std::nullopt;
    return wow64 != FALSE;
}

}  // namespace

std::optional<std::string> SystemDirectory()
{
    char directory[MAX_PATH] = "";
    return FolderOfAnswer(directory, GetSystemDirectoryA(directory, sizeof directory));
}

std::optional<std::string> OwnKindSystemDirectory()
{
    const auto wow64 = IsWow64();
    if (!wow64)
        return std::nullopt;
    if (!*wow64)
        return SystemDirectory();
    using GetSystemWow64Directory = UINT(WINAPI*)(LPSTR, UINT);
    const auto wow64Directory =
        reinterpret_cast<GetSystemWow64Directory>(Kernel32Function("GetSystemWow64DirectoryA"));
    if (!wow64Directory)
        return std::nullopt;
    char directory[MAX_PATH] = "";
    return FolderOfAnswer(directory, wow64Directory(directory, sizeof directory));
}

}  // namespace qb480
