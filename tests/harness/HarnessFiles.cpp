#include "HarnessFiles.h"

#include "Robot.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace harness {
namespace {

using WineDosName = WCHAR*(CDECL*)(const char*);

// Wine's own conversion knows the prefix's drive mappings; Z: is the usual
// mapping of "/" when it is missing.
std::string WineDosFileName(const std::string& unixPath)
{
    const auto convert = reinterpret_cast<WineDosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (convert) {
        if (WCHAR* wide = convert(unixPath.c_str())) {
            char narrow[MAX_PATH * 4] = {};
            WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
            HeapFree(GetProcessHeap(), 0, wide);
            return narrow;
        }
    }
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

using WineUnixName = char*(CDECL*)(const WCHAR*);

std::string WineUnixFileName(const std::string& path)
{
    const auto convert = reinterpret_cast<WineUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(path.begin(), path.end());
    char* unix = convert ? convert(wide.c_str()) : nullptr;
    const std::string result = unix ? unix : "";
    if (unix)
        HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// A Unix program of the machine running Wine, started as Wine starts one
// given a Unix path. Wine gives no handle to wait on for it (the wait
// fails): the caller waits for its effect. False when it did not start.
bool StartUnixProgram(const std::string& program, const std::string& arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::string line = program + " " + arguments;
    if (!CreateProcessA(WindowsPath(program).c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

bool IsReparsePoint(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// "YYYY-MM-DD HH:MM:SS " and CR at the end. Checked by hand: std::regex
// recurses once per character and overflows the stack on a line of 16 KB.
bool IsStamped(const std::string& line)
{
    static const char kShape[] = "dddd-dd-dd dd:dd:dd ";
    const std::size_t stamp = sizeof kShape - 1;
    if (line.size() < stamp + 1 || line.back() != '\r')
        return false;
    for (std::size_t i = 0; i < stamp; ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kShape[i] == 'd' ? !digit : line[i] != kShape[i])
            return false;
    }
    return true;
}

}  // namespace

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    return WineDosFileName(path);
}

bool MakeLink(const std::string& link, const std::string& target, CallSite where)
{
    const std::string unixLink = WineUnixFileName(link), unixTarget = WineUnixFileName(target);
    const bool made = !unixLink.empty() && !unixTarget.empty() &&
                      StartUnixProgram("/bin/ln", "-sfn \"" + unixTarget + "\" \"" + unixLink + "\"") &&
                      WaitUntil([&] { return IsReparsePoint(link); });
    if (!made)
        Fail(where, "set-up: no link " + link + " to " + target + " that Wine sees as a reparse point");
    return made;
}

bool RemoveLink(const std::string& link)
{
    const std::string unixLink = WineUnixFileName(link);
    return !unixLink.empty() && StartUnixProgram("/bin/rm", "-f \"" + unixLink + "\"") &&
           WaitUntil([&] { return GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

std::string HarnessBinary(const std::string& name)
{
    return WindowsPath(QB480_HARNESS_BIN_DIR) + "\\" + name;
}

std::string DriversFolder()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\drivers";
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderListing(const std::string& folder)
{
    std::vector<std::string> entries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code unknown;  // a folder has no size: the same on both sides
        entries.push_back(entry.path().filename().string() + " " + std::to_string(entry.file_size(unknown)) + " " +
                          std::to_string(entry.last_write_time(unknown).time_since_epoch().count()));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, CallSite where)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush())
        Fail(where, "set-up: writing " + path + " failed");
    return static_cast<bool>(out);
}

std::string MakeTestFolder(const std::string& parent)
{
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    // A folder name may not hold the characters gtest puts into parameterised names.
    std::string name = std::string(test.test_suite_name()) + "." + test.name();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + parent + "\\" + name;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    return folder;
}

void RemoveTestFolder(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::remove(std::filesystem::path(folder).parent_path(), ignored);
}

std::vector<std::string> StampedLogLines(const std::string& path, CallSite where)
{
    constexpr std::size_t kStamp = 20;
    std::istringstream log(ReadFileBytes(path).value_or(""));
    std::vector<std::string> texts;
    for (std::string line; std::getline(log, line);) {
        if (IsStamped(line))
            texts.push_back(line.substr(kStamp, line.size() - kStamp - 1));
        else
            Fail(where, "a log line without its date and time, or its CR LF: \"" + line + "\"");
    }
    return texts;
}

}  // namespace harness
