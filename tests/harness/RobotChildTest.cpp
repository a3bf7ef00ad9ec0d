// The robot against robotdialog.exe, a dialog of another process, as the
// tests drive qb480load.exe: reading icons and the system menu there needs
// robotprobe.dll, and faults come in through iathook.dll.
#include "Child.h"
#include "HarnessFiles.h"
#include "Remote.h"
#include "RobotDialog.h"
#include "RegValue.h"
#include "Robot.h"
#include "Scm.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace harness;

namespace {

constexpr const char* kDialog = "Robot Test";
constexpr const char* kResultKey = "SOFTWARE\\QB480Test\\RobotDialog";

// A folder of the test's own, removed with its files.
class CScratchFolder {
public:
    CScratchFolder()
        : m_path(std::filesystem::temp_directory_path() / ("qb480-harness-" + std::to_string(GetCurrentProcessId())))
    {
        std::filesystem::create_directories(m_path);
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string Path() const { return m_path.string(); }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(m_path / name) << text; }

private:
    std::filesystem::path m_path;
};

class RobotChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetBaseline());
        m_child.emplace("\"" + HarnessBinary("robotdialog.exe") + "\"", m_folder.Path());
        ASSERT_TRUE(m_child->Started()) << m_child->StartError();
        m_dlg = WaitForDialog(kDialog, m_child->pid());
        ASSERT_TRUE(m_dlg);
    }
    void TearDown() override
    {
        m_child.reset();
        ResetBaseline();
    }

    DWORD pid() const { return m_child->pid(); }

    CScratchFolder m_folder;
    std::optional<CChild> m_child;
    HWND m_dlg = nullptr;
};

}  // namespace

TEST_F(RobotChild, DrivesTheDialogAndTheProgramStoresWhatItAccepted)
{
    EXPECT_EQ(ComboItems(m_dlg, IDC_PORT), (std::vector<std::string>{"COM", "LPT", "AUX"}));
    SetText(m_dlg, IDC_NUMBER, "42");
    SetCheck(m_dlg, IDC_ENABLED, true);
    ChooseComboItem(m_dlg, IDC_PORT, 2);
    EXPECT_TRUE(WaitUntil([&] { return GetText(m_dlg, IDC_CHOICE) == "AUX"; }));
    Click(m_dlg, IDOK);
    EXPECT_TRUE(WaitGone(m_dlg));
    EXPECT_EQ(m_child->Wait(kRobotTimeoutMs), DWORD{IDOK});
    EXPECT_EQ(ReadString(kResultKey, "Number"), "42");
    EXPECT_EQ(ReadDword(kResultKey, "Enabled"), DWORD{1});
    EXPECT_EQ(ReadDword(kResultKey, "Port"), DWORD{2});
}

TEST_F(RobotChild, RefusalFocusAndSelectionAcrossProcesses)
{
    SetText(m_dlg, IDC_NUMBER, "abc");
    PressEnter(m_dlg);
    const auto box = TakeMessageBox(pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "robotdialog");
    EXPECT_EQ(box->text, "Enter a number from 0 to 99.");
    EXPECT_TRUE(box->exclamation);
    EXPECT_TRUE(WaitUntil([&] { return FocusedControlId(m_dlg) == IDC_NUMBER; }));
    EXPECT_EQ(Selection(m_dlg, IDC_NUMBER), std::make_pair(0, 3));
    PressEscape(m_dlg);
    EXPECT_EQ(m_child->Wait(kRobotTimeoutMs), DWORD{IDCANCEL});
    EXPECT_FALSE(KeyExists(kResultKey));
}

TEST_F(RobotChild, MessageBoxIconsAreToldApartInAnotherProcess)
{
    const struct {
        int button;
        MessageBoxIcon icon;
    } rows[] = {
        {IDC_WARN, MessageBoxIcon::Exclamation},
        {IDC_INFO, MessageBoxIcon::Information},
        {IDC_ERROR, MessageBoxIcon::Error},
        {IDC_PLAIN, MessageBoxIcon::None},
    };
    for (const auto& row : rows) {
        Click(m_dlg, row.button);
        const auto box = TakeMessageBox(pid());
        ASSERT_TRUE(box) << row.button;
        EXPECT_EQ(box->icon, row.icon) << box->text;
        EXPECT_EQ(box->exclamation, row.icon == MessageBoxIcon::Exclamation) << box->text;
    }
}

TEST_F(RobotChild, SystemMenuOfAnotherProcess)
{
    const auto items = SystemMenuItems(m_dlg);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[items.size() - 2], "");
    EXPECT_EQ(items.back(), "&About robot...");
    ChooseSystemMenuCommand(m_dlg, IDM_ROBOT_ABOUT);
    const auto about = TakeMessageBox(pid());
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text, "About the robot dialog");
}

TEST_F(RobotChild, OpenDialogReturnsTheTypedNameOrNothingWhenCancelled)
{
    Click(m_dlg, IDC_BROWSE);
    CancelOpenDialog(pid());
    EXPECT_TRUE(WaitUntil([&] { return GetText(m_dlg, IDC_FILE) == "(cancelled)"; })) << GetText(m_dlg, IDC_FILE);

    m_folder.Write("fw.hex", ":00000001FF\n");
    Click(m_dlg, IDC_BROWSE);
    ChooseFileInOpenDialog(pid(), "fw.hex");
    const std::string expected = m_folder.Path() + "\\fw.hex";
    EXPECT_TRUE(WaitUntil([&] { return lstrcmpiA(GetText(m_dlg, IDC_FILE).c_str(), expected.c_str()) == 0; }))
        << GetText(m_dlg, IDC_FILE);
}

TEST_F(RobotChild, InjectedLibraryIsLoadedInTheChild)
{
    EXPECT_FALSE(RemoteModule(pid(), "hookee.dll"));
    EXPECT_TRUE(InjectLibrary(*m_child, HarnessBinary("hookee.dll")));
    EXPECT_TRUE(RemoteModule(pid(), "hookee.dll"));
    EXPECT_FALSE(InjectLibrary(*m_child, m_folder.Path() + "\\missing.dll"));
}

TEST_F(RobotChild, InjectedFaultsMakeTheProgramsCallsFail)
{
    ASSERT_TRUE(InjectFaults(*m_child, {{"RegSetValueExA", 5}}));
    SetText(m_dlg, IDC_NUMBER, "42");
    Click(m_dlg, IDOK);
    const auto box = TakeMessageBox(pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Could not store the result: error 5");
    EXPECT_TRUE(box->exclamation);
    EXPECT_EQ(m_child->Wait(kRobotTimeoutMs), DWORD{3});
    // RegCreateKeyExA was left alone, RegSetValueExA wrote nothing.
    EXPECT_TRUE(KeyExists(kResultKey));
    EXPECT_EQ(ReadString(kResultKey, "Number"), std::nullopt);
}

TEST_F(RobotChild, FaultPlanForAnImportTheProgramLacksIsReported)
{
    EXPECT_NONFATAL_FAILURE(InjectFaults(*m_child, {{"RegCreateKeyExA", 1450}, {"CreateServiceA", 5}}),
                            "did not patch CreateServiceA");
    SetText(m_dlg, IDC_NUMBER, "1");
    Click(m_dlg, IDOK);
    const auto box = TakeMessageBox(pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Could not store the result: error 1450");
    EXPECT_FALSE(KeyExists(kResultKey));
}
