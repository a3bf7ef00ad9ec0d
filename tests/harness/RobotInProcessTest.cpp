// The robot against the test dialog run by this process's main thread, as
// the Control Panel's thread runs the applet's dialogs.
#include "RobotDialog.h"
#include "Robot.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

using namespace harness;

namespace {

constexpr const char* kDialog = "Robot Test";
const DWORD kSelf = GetCurrentProcessId();

class RobotInProcess : public ::testing::Test {
protected:
    // Runs the dialog on this thread while drive(dlg) works on a robot
    // thread; returns the dialog's result.
    int RunWithRobot(const std::function<void(HWND)>& drive)
    {
        const auto run = [&] { return INT_PTR{RunRobotDialog(m_result)}; };
        return static_cast<int>(harness::RunWithRobot(kDialog, run, drive));
    }

    RobotDialogResult m_result;
};

struct IconCase {
    int button;
    const char* text;
    MessageBoxIcon icon;
};

const IconCase kIconCases[] = {
    {IDC_WARN, "Warning text", MessageBoxIcon::Exclamation},
    {IDC_INFO, "Information text", MessageBoxIcon::Information},
    {IDC_ERROR, "Error text", MessageBoxIcon::Error},
    {IDC_PLAIN, "Plain text", MessageBoxIcon::None},
};

}  // namespace

TEST_F(RobotInProcess, TypedTextCheckAndComboChoiceReachTheOkHandler)
{
    std::vector<std::string> items;
    std::string choice;
    const int answer = RunWithRobot([&](HWND dlg) {
        SetText(dlg, IDC_NUMBER, "42");
        SetCheck(dlg, IDC_ENABLED, true);
        // Already checked: a second click would clear it again.
        SetCheck(dlg, IDC_ENABLED, true);
        items = ComboItems(dlg, IDC_PORT);
        ChooseComboItem(dlg, IDC_PORT, 1);
        // The dialog echoes CBN_SELCHANGE into IDC_CHOICE.
        WaitUntil([&] { return GetText(dlg, IDC_CHOICE) == "LPT"; });
        choice = GetText(dlg, IDC_CHOICE);
        EXPECT_EQ(GetText(dlg, IDC_NUMBER), "42");
        EXPECT_TRUE(IsChecked(dlg, IDC_ENABLED));
        EXPECT_EQ(ComboSelection(dlg, IDC_PORT), 1);
        Click(dlg, IDOK);
        EXPECT_TRUE(WaitGone(dlg));
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(items, (std::vector<std::string>{"COM", "LPT", "AUX"}));
    EXPECT_EQ(choice, "LPT");
    EXPECT_EQ(m_result.number, "42");
    EXPECT_TRUE(m_result.enabled);
    EXPECT_EQ(m_result.port, 1);
}

TEST_F(RobotInProcess, EnterPressesTheDefaultButtonFromTheFocusedField)
{
    int focused = 0;
    const int answer = RunWithRobot([&](HWND dlg) {
        focused = FocusedControlId(dlg);
        SetText(dlg, IDC_NUMBER, "7");
        PressEnter(dlg);
        EXPECT_TRUE(WaitGone(dlg));
    });
    EXPECT_EQ(focused, IDC_NUMBER);
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(m_result.number, "7");
}

TEST_F(RobotInProcess, EscapeCancelsWithoutTheOkHandler)
{
    m_result.number = "untouched";
    const int answer = RunWithRobot([&](HWND dlg) {
        SetText(dlg, IDC_NUMBER, "7");
        PressEscape(dlg);
        EXPECT_TRUE(WaitGone(dlg));
    });
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(m_result.number, "untouched");
}

TEST_F(RobotInProcess, RefusalShowsExclamationBoxThenSelectsTheField)
{
    std::optional<MessageBoxSeen> box;
    int focusedWithBoxOpen = 0, focusedAfter = 0;
    std::pair<int, int> selection;
    bool stillOpen = false;
    const int answer = RunWithRobot([&](HWND dlg) {
        SetText(dlg, IDC_NUMBER, "123");
        // Sentinel: a caret inside the text, not a selection of all of it.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(GetDlgItem(dlg, IDC_NUMBER), EM_SETSEL, 1, 1, SMTO_ABORTIFHUNG, 1000, &ignored);
        Click(dlg, IDOK);
        const HWND open = FindMessageBox(kSelf, kRobotTimeoutMs);
        focusedWithBoxOpen = FocusedControlId(dlg);
        box = ReadMessageBox(open);
        DismissMessageBox(open);
        WaitUntil([&] { return FocusedControlId(dlg) == IDC_NUMBER; });
        focusedAfter = FocusedControlId(dlg);
        selection = Selection(dlg, IDC_NUMBER);
        stillOpen = IsWindowVisible(dlg) != 0;
        PressEscape(dlg);
    });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "robotdialog");
    EXPECT_EQ(box->text, "Enter a number from 0 to 99.");
    EXPECT_TRUE(box->exclamation);
    EXPECT_EQ(box->buttons, (std::vector<std::string>{"OK"}));
    EXPECT_EQ(focusedWithBoxOpen, -1);
    EXPECT_EQ(focusedAfter, IDC_NUMBER);
    EXPECT_EQ(selection, std::make_pair(0, 3));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(RobotInProcess, MessageBoxIconsAreToldApart)
{
    std::vector<std::optional<MessageBoxSeen>> boxes;
    RunWithRobot([&](HWND dlg) {
        for (const auto& row : kIconCases) {
            Click(dlg, row.button);
            boxes.push_back(TakeMessageBox(kSelf));
        }
        PressEscape(dlg);
    });
    ASSERT_EQ(boxes.size(), std::size(kIconCases));
    for (size_t i = 0; i < boxes.size(); ++i) {
        const IconCase& row = kIconCases[i];
        ASSERT_TRUE(boxes[i]) << row.text;
        EXPECT_EQ(boxes[i]->text, row.text);
        EXPECT_EQ(boxes[i]->caption, "robotdialog") << row.text;
        EXPECT_EQ(boxes[i]->icon, row.icon) << row.text;
        EXPECT_EQ(boxes[i]->exclamation, row.icon == MessageBoxIcon::Exclamation) << row.text;
    }
}

TEST_F(RobotInProcess, DialogSearchSkipsMessageBoxesAndNoMessageBoxReportsOne)
{
    RunWithRobot([&](HWND dlg) {
        EXPECT_TRUE(NoMessageBox(kSelf, 100));
        Click(dlg, IDC_WARN);
        ASSERT_TRUE(FindMessageBox(kSelf, kRobotTimeoutMs));
        // The box is captioned "robotdialog" and is a #32770 as well.
        EXPECT_NONFATAL_FAILURE(WaitForDialog("robotdialog", kSelf, 200), "no dialog \"robotdialog\"");
        EXPECT_NONFATAL_FAILURE(NoMessageBox(kSelf, 100), "Warning text");
        EXPECT_TRUE(TakeMessageBox(kSelf));
        PressEscape(dlg);
    });
}

TEST_F(RobotInProcess, DisabledButtonIsReportedAndNotClicked)
{
    RunWithRobot([&](HWND dlg) {
        EXPECT_FALSE(IsEnabled(dlg, IDC_LOCKED));
        EXPECT_TRUE(IsEnabled(dlg, IDOK));
        EXPECT_NONFATAL_FAILURE(Click(dlg, IDC_LOCKED), "disabled");
        // Pressed, it would show an error box.
        EXPECT_TRUE(NoMessageBox(kSelf, 300));
        PressEscape(dlg);
    });
}

TEST_F(RobotInProcess, SystemMenuShowsTheAppendedCommandAndRunsIt)
{
    std::vector<MenuItem> menu;
    std::optional<MessageBoxSeen> about;
    RunWithRobot([&](HWND dlg) {
        menu = SystemMenu(dlg);
        ChooseSystemMenuCommand(dlg, IDM_ROBOT_ABOUT);
        about = TakeMessageBox(kSelf);
        PressEscape(dlg);
    });
    ASSERT_GE(menu.size(), 3u);
    EXPECT_TRUE(menu[menu.size() - 2].separator);
    EXPECT_EQ(menu.back().text, "&About robot...");
    EXPECT_EQ(menu.back().id, UINT{IDM_ROBOT_ABOUT});
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text, "About the robot dialog");
    EXPECT_EQ(about->icon, MessageBoxIcon::Information);
}

TEST(RobotFailures, PointAtTheCallersLine)
{
    ::testing::TestPartResultArray failures;
    int line = 0;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        line = __LINE__ + 1;
        GetText(nullptr, 4242);
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.GetTestPartResult(0).line_number(), line);
    EXPECT_STREQ(failures.GetTestPartResult(0).file_name(), __FILE__);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("4242"), std::string::npos);
}
