#include "LoaderRun.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Handles.h"
#include "Robot.h"
#include "Scm.h"
#include "resource.h"

namespace loadertest {
namespace {

std::string Join(const Texts& texts)
{
    std::string joined;
    for (const auto& text : texts)
        joined += (joined.empty() ? "\"" : ", \"") + text + "\"";
    return "{" + joined + "}";
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

// The captions of the process's visible windows, for a failure message.
std::string WindowsOf(DWORD pid)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    Texts captions;
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid && IsWindowVisible(window))
            captions.push_back(harness::Caption(window));
    }
    return Join(captions);
}

void ExpectApplicationBox(const harness::MessageBoxSeen& seen, const harness::CallSite& where)
{
    if (seen.caption != kCaption || !seen.exclamation || seen.buttons != Texts{"OK"})
        ADD_FAILURE_AT(where.file, where.line)
            << "message box \"" << seen.text << "\" is not the application's: caption \"" << seen.caption
            << "\", exclamation icon " << seen.exclamation << ", buttons " << Join(seen.buttons);
}

// A folder name may not hold the characters gtest puts into parameterised names.
std::string FolderNameOf(const ::testing::TestInfo& test)
{
    std::string name = std::string(test.test_suite_name()) + "." + test.name();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    return name;
}

}  // namespace

HelperRecord ReadHelperRecord()
{
    HelperRecord record;
    record.present = KeyExists(kHelperRecordKey);
    record.memSeg = ReadDword(kHelperRecordKey, "MEM_SEG");
    record.port = ReadDword(kHelperRecordKey, "PORT");
    record.bytes = ReadDword(kHelperRecordKey, "Bytes");
    record.result = ReadDword(kHelperRecordKey, "Result");
    record.firmwareFile = ReadString(kHelperRecordKey, "FirmwareFile");
    return record;
}

bool KeyExists(const std::string& path)
{
    harness::CRegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::map<std::string, RegValue> ReadValues(const std::string& path)
{
    std::map<std::string, RegValue> values;
    harness::CRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD nameLength = sizeof name;
        std::string data(4096, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &size) != ERROR_SUCCESS)
            break;
        data.resize(size);
        values[name] = {type, data};
    }
    return values;
}

std::optional<DWORD> ReadDword(const std::string& path, const char* name)
{
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadString(const std::string& path, const char* name)
{
    char text[1024] = {};
    DWORD type = 0, size = sizeof text - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, text, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(text);
}

std::string BytesOf(std::uint64_t value, std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

void SetValue(const std::string& path, const char* name, DWORD type, const std::string& data)
{
    harness::CRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS)
        << path;
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << path << "\\" << name;
}

void SetDword(const std::string& path, const char* name, DWORD value)
{
    SetValue(path, name, REG_DWORD, BytesOf(value));
}

std::string DriversFolder()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\drivers";
}

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.flush()) << "writing " << path;
}

bool ServiceGone(const std::string& name)
{
    return harness::WaitUntil([&] { return !harness::IsServiceListed(name); });
}

void LoaderRun::SetUp()
{
    ASSERT_TRUE(harness::ResetBaseline());
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    // A blank in the folder, as under "Program Files": the helper's image path holds it too.
    m_folder = std::string(temp) + "qb480 loader tests\\" +
               FolderNameOf(*::testing::UnitTest::GetInstance()->current_test_info());
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    std::filesystem::create_directories(m_folder);
    ASSERT_TRUE(CopyFileA(QB480LOAD_EXE, InFolder("qb480load.exe").c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CopyFileA(QB480_FAKELOADER_SYS, InFolder("loader.sys").c_str(), FALSE)) << GetLastError();
}

void LoaderRun::TearDown()
{
    m_child.reset();
    harness::ResetBaseline();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    // The common parent goes with the last test's folder.
    std::filesystem::remove(std::filesystem::path(m_folder).parent_path(), ignored);
}

std::string LoaderRun::Subfolder(const std::string& name) const
{
    const std::string path = InFolder(name);
    std::filesystem::create_directories(path);
    return path;
}

bool LoaderRun::Start(const std::string& currentDirectory, harness::CallSite where)
{
    m_child.emplace("\"" + InFolder("qb480load.exe") + "\"", currentDirectory.empty() ? m_folder : currentDirectory);
    if (!m_child->Started()) {
        harness::Fail(where, m_child->StartError());
        return false;
    }
    m_main = harness::WaitForDialog(kCaption, pid(), harness::kRobotTimeoutMs, where);
    return m_main != nullptr;
}

void LoaderRun::Confirm(harness::CallSite where)
{
    harness::Click(m_main, IDOK, where);
}

void LoaderRun::ConfirmAndChoose(const std::string& name, harness::CallSite where)
{
    Confirm(where);
    harness::ChooseFileInOpenDialog(pid(), name, where);
}

HWND LoaderRun::WaitForBoardDialog(harness::CallSite where)
{
    return harness::WaitForDialog(kBoardDialog, pid(), harness::kRobotTimeoutMs, where);
}

void LoaderRun::AcceptBoardParameters(const std::string& memory, const std::string& port, harness::CallSite where)
{
    const HWND dialog = WaitForBoardDialog(where);
    if (!dialog)
        return;
    harness::SetText(dialog, IDC_MEMORY_SEGMENT, memory, where);
    harness::SetText(dialog, IDC_PORT_ADDRESS, port, where);
    harness::Click(dialog, IDOK, where);
    if (!harness::WaitGone(dialog))
        harness::Fail(where, "the board parameters dialog stayed open after OK; windows: " + WindowsOf(pid()));
}

Texts LoaderRun::BoxesUntilExit(int timeoutMs, harness::CallSite where)
{
    Texts texts;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_child->Wait(0)) {
        if (std::chrono::steady_clock::now() > deadline) {
            harness::Fail(where, "qb480load still runs after " + std::to_string(timeoutMs) +
                                     " ms; boxes so far " + Join(texts) + ", windows " + WindowsOf(pid()));
            break;
        }
        const HWND box = harness::FindMessageBox(pid(), 50);
        if (!box)
            continue;
        const harness::MessageBoxSeen seen = harness::ReadMessageBox(box, where);
        ExpectApplicationBox(seen, where);
        texts.push_back(seen.text);
        harness::DismissMessageBox(box, IDOK, where);
    }
    return texts;
}

std::string LoaderRun::NextBox(harness::CallSite where)
{
    const auto seen = harness::TakeMessageBox(pid(), harness::kRobotTimeoutMs, where);
    if (!seen)
        return std::string();
    ExpectApplicationBox(*seen, where);
    return seen->text;
}

std::optional<DWORD> LoaderRun::ExitCode(int timeoutMs) const
{
    return m_child->Wait(timeoutMs);
}

}  // namespace loadertest
