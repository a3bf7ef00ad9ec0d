#include "LoaderRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "resource.h"

namespace loadertest {

std::string ImageFile(const std::string& name)
{
    return DriversFolder() + "\\" + name;
}

void ExpectDelivered(const std::string& image, DWORD memSeg, DWORD port, const std::string& imageName,
                     CallSite where)
{
    const ::testing::ScopedTrace trace(where.file, where.line, "the download");
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, memSeg);
    EXPECT_EQ(record.port, port);
    EXPECT_EQ(record.firmwareFile, imageName);
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

MachineState ReadMachineState()
{
    MachineState state;
    state.services = ServiceNames(SERVICE_DRIVER | SERVICE_WIN32);
    state.helperValues = ReadValues(kLoaderParamKey);
    state.driverKey = KeyExists(kDriverServiceKey);
    WIN32_FIND_DATAA found;
    const fw::UniqueFindHandle find(FindFirstFileA((DriversFolder() + "\\*").c_str(), &found));
    for (BOOL more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found))
        state.driverFiles.push_back(std::string(found.cFileName) + " " + std::to_string(found.nFileSizeLow));
    return state;
}

void ExpectMachineUnchanged(const MachineState& before, CallSite where)
{
    const ::testing::ScopedTrace trace(where.file, where.line, "the machine as before the run");
    const MachineState after = ReadMachineState();
    EXPECT_EQ(after.services, before.services);
    EXPECT_EQ(after.helperValues, before.helperValues);
    EXPECT_EQ(after.driverKey, before.driverKey);
    EXPECT_EQ(after.driverFiles, before.driverFiles);
}

void LeaveStaleHelperRegistration(CallSite where)
{
    if (const DWORD error = CreateDriverService("loader", "loader", "C:\\stale run\\loader.sys", SERVICE_AUTO_START))
        Fail(where, "set-up: registering loader failed with " + std::to_string(error));
    WriteValue(kLoaderParamKey, "MEM_SEG", Dword(0xC0000), where);
    WriteValue(kLoaderParamKey, "PORT", Dword(0x100), where);
    WriteValue(kLoaderParamKey, "FirmwareFile", Sz("old.bin"), where);
}

void LoaderRun::SetUp()
{
    ASSERT_TRUE(ResetBaseline());
    // A blank in the folder, as under "Program Files": the helper's image path holds it too.
    m_folder = MakeTestFolder("qb480 loader tests");
    ASSERT_TRUE(CopyFileA(QB480LOAD_EXE, InFolder("qb480load.exe").c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CopyFileA(FakeLoaderPath().c_str(), InFolder("loader.sys").c_str(), FALSE)) << GetLastError();
}

void LoaderRun::TearDown()
{
    m_child.reset();
    ResetBaseline();
    RemoveTestFolder(m_folder);
}

std::string LoaderRun::Subfolder(const std::string& name) const
{
    const std::string path = InFolder(name);
    std::filesystem::create_directories(path);
    return path;
}

std::string LoaderRun::PlaceFirmware(std::size_t size, std::uint32_t seed, const std::string& name) const
{
    const std::string image = FirmwareImage(size, seed);
    WriteFileBytes(InFolder(name), IntelHex(image));
    return image;
}

bool LoaderRun::Launch(const std::string& arguments, const ChildStart& start, const std::string& currentDirectory,
                       CallSite where)
{
    const std::string line = "\"" + InFolder("qb480load.exe") + "\"" + (arguments.empty() ? "" : " " + arguments);
    m_child.emplace(line, currentDirectory.empty() ? m_folder : currentDirectory, start);
    if (!m_child->Started())
        Fail(where, m_child->StartError());
    return m_child->Started();
}

bool LoaderRun::Start(const std::string& currentDirectory, CallSite where)
{
    if (!Launch(std::string(), {}, currentDirectory, where))
        return false;
    m_main = WaitForDialog(kCaption, pid(), kRobotTimeoutMs, where);
    return m_main != nullptr;
}

void LoaderRun::Confirm(CallSite where)
{
    Click(m_main, IDOK, where);
}

void LoaderRun::ConfirmAndChoose(const std::string& name, CallSite where)
{
    Confirm(where);
    ChooseFileInOpenDialog(pid(), name, where);
}

HWND LoaderRun::WaitForBoardDialog(CallSite where)
{
    return WaitForDialog(kBoardDialog, pid(), kRobotTimeoutMs, where);
}

void LoaderRun::AcceptBoardParameters(const std::string& memory, const std::string& port, CallSite where)
{
    const HWND dialog = WaitForBoardDialog(where);
    if (!dialog)
        return;
    SetText(dialog, IDC_MEMORY_SEGMENT, memory, where);
    SetText(dialog, IDC_PORT_ADDRESS, port, where);
    Click(dialog, IDOK, where);
    if (!WaitGone(dialog))
        Fail(where, "the board parameters dialog stayed open after OK; windows: " + DescribeWindows(pid()));
}

Texts LoaderRun::Run(const std::string& name, const std::string& memory, const std::string& port,
                     const Faults& faults, CallSite where)
{
    if (!Start(std::string(), where) || (!faults.empty() && !InjectFaults(*m_child, faults, 0, where)))
        return {};
    ConfirmAndChoose(name, where);
    AcceptBoardParameters(memory, port, where);
    const Texts boxes = BoxesUntilExit(15000, where);
    if (ExitCode() != DWORD{0})
        Fail(where, "qb480load did not end with exit code 0");
    return boxes;
}

LoaderRun::ScriptedRun LoaderRun::RunScripted(const std::string& arguments, const Faults& faults, CallSite where)
{
    ChildStart start;
    start.suspended = true;
    if (!Launch(arguments, start, std::string(), where) || (!faults.empty() && !InjectFaults(*m_child, faults, 0, where)))
        return ScriptedRun();
    m_child->Resume();
    return WatchUntilExit(*m_child, "qb480load " + arguments, 15000, where);
}

Texts LoaderRun::LogLines(const std::string& name, CallSite where) const
{
    return StampedLogLines(InFolder(name), where);
}

Texts LoaderRun::BoxesUntilExit(int timeoutMs, CallSite where)
{
    Texts texts;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_child->Wait(0)) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::string boxes;
            for (const auto& text : texts)
                boxes += "\"" + text + "\" ";
            Fail(where, "qb480load still runs after " + std::to_string(timeoutMs) + " ms; boxes so far " + boxes +
                            "; windows " + DescribeWindows(pid()));
            break;
        }
        const HWND box = FindMessageBox(pid(), 50);
        if (!box)
            continue;
        const MessageBoxSeen seen = ReadMessageBox(box, where);
        ExpectApplicationBox(seen, kCaption, where);
        texts.push_back(seen.text);
        DismissMessageBox(box, IDOK, where);
    }
    return texts;
}

std::string LoaderRun::NextBox(CallSite where)
{
    return TakeApplicationBox(pid(), kCaption, kRobotTimeoutMs, where);
}

std::optional<DWORD> LoaderRun::ExitCode(int timeoutMs) const
{
    return m_child->Wait(timeoutMs);
}

}  // namespace loadertest
