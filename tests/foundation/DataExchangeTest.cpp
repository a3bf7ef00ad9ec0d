// The dialog framework driven through the robot: data exchange refusals with
// their texts and focus, the about entry, reflected notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "App.h"
#include "Control.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "FoundationResources.h"
#include "ImportHook.h"
#include "Robot.h"

namespace {

constexpr char kCaption[] = "Exchange Test";
constexpr int kReflectedButton = 1500;
const DWORD kSelf = GetCurrentProcessId();

class CRecordingButton : public fw::CButton {
public:
    bool OnReflectedCommand(WORD code) override
    {
        if (code != BN_CLICKED)
            return false;
        ++m_clicks;
        return true;
    }
    int m_clicks = 0;
};

class CExchangeDlg : public fw::CDialog {
public:
    CExchangeDlg() : CDialog(IDD_EXCHANGE) {}

    std::string m_text = "start";
    std::uint32_t m_number = 5;
    int m_check = 1;
    std::uint8_t m_timeout = 1;
    std::uint8_t m_threshold = 0;
    std::uint8_t m_load = 12;
    int m_aboutChosen = 0;
    std::vector<WORD> m_commands;
    CRecordingButton m_button;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override
    {
        dx.Text(IDC_TEXT, m_text);
        dx.Text(IDC_NUMBER, m_number);
        dx.Check(IDC_CHECK, m_check);
        dx.Text(IDC_TIMEOUT, m_timeout);
        dx.MinMax(IDC_TIMEOUT, m_timeout, 1, 255);
        dx.Text(IDC_THRESHOLD, m_threshold);
        dx.MinMax(IDC_THRESHOLD, m_threshold, 0, 12);
        dx.Text(IDC_LOAD, m_load);
        dx.MinMax(IDC_LOAD, m_load, 1, 12);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        AppendAboutMenuEntry(IDS_ABOUT_ENTRY);
        m_button.Create("Reflected", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{10, 10, 90, 40}, *this,
                        kReflectedButton);
        return TRUE;
    }
    bool OnSysCommand(UINT id, LPARAM) override
    {
        if ((id & 0xFFF0) != kAboutCommand)
            return false;
        ++m_aboutChosen;
        return true;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override
    {
        m_commands.push_back(id);
        return CDialog::OnCommand(id, code, control);
    }
};

// The dialog on this thread while drive works on a robot thread.
INT_PTR RunWithRobot(CExchangeDlg& dialog, const std::function<void(HWND)>& drive)
{
    return harness::RunWithRobot(kCaption, [&] { return dialog.DoModal(); }, drive);
}

struct Refusal {
    std::string text, caption;
    bool exclamation = false;
    int focus = 0;
    std::pair<int, int> selection;
};

// Types the entries, presses OK and records the refusal that follows, once
// the focus has settled in the field expected to take it.
Refusal Refuse(HWND dlg, const std::vector<std::pair<int, std::string>>& entries, int expectedFocus)
{
    for (const auto& [id, text] : entries)
        harness::SetText(dlg, id, text);
    harness::Click(dlg, IDOK);
    Refusal refusal;
    if (const auto box = harness::TakeMessageBox(kSelf)) {
        refusal.text = box->text;
        refusal.caption = box->caption;
        refusal.exclamation = box->exclamation && box->buttons == std::vector<std::string>{"OK"};
    }
    harness::WaitUntil([&] { return harness::FocusedControlId(dlg) == expectedFocus; }, 2000);
    refusal.focus = harness::FocusedControlId(dlg);
    if (refusal.focus > 0)
        refusal.selection = harness::Selection(dlg, refusal.focus);
    return refusal;
}

}  // namespace

TEST(DataExchange, FieldsAreShownWhenTheDialogOpens)
{
    CExchangeDlg dialog;
    std::vector<std::string> shown;
    bool checked = false;
    const INT_PTR result = RunWithRobot(dialog, [&](HWND dlg) {
        for (int id : {IDC_TEXT, IDC_NUMBER, IDC_TIMEOUT, IDC_THRESHOLD, IDC_LOAD})
            shown.push_back(harness::GetText(dlg, id));
        checked = harness::IsChecked(dlg, IDC_CHECK);
        harness::PressEscape(dlg);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"start", "5", "1", "0", "12"}));
    EXPECT_TRUE(checked);
}

TEST(DataExchange, AcceptedEntriesAreStoredByOk)
{
    CExchangeDlg dialog;
    const INT_PTR result = RunWithRobot(dialog, [&](HWND dlg) {
        harness::SetText(dlg, IDC_TEXT, "  typed  ");
        harness::SetText(dlg, IDC_NUMBER, " +4294967296 ");
        harness::SetCheck(dlg, IDC_CHECK, false);
        harness::SetText(dlg, IDC_TIMEOUT, "255");
        // Only the first 31 characters of a number field are read.
        harness::SetText(dlg, IDC_THRESHOLD, "12" + std::string(29, ' ') + "junk");
        harness::SetText(dlg, IDC_LOAD, "1");
        harness::PressEnter(dlg);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_text, "  typed  ");
    EXPECT_EQ(dialog.m_number, 4294967295u);
    EXPECT_EQ(dialog.m_check, 0);
    EXPECT_EQ(dialog.m_timeout, 255);
    EXPECT_EQ(dialog.m_threshold, 12);
    EXPECT_EQ(dialog.m_load, 1);
}

TEST(DataExchange, RefusedNumberStopsTheExchangeWithFocusOnIt)
{
    CExchangeDlg dialog;
    Refusal refusal;
    const INT_PTR result = RunWithRobot(dialog, [&](HWND dlg) {
        harness::SetCheck(dlg, IDC_CHECK, false);
        refusal = Refuse(dlg, {{IDC_TEXT, "new"}, {IDC_NUMBER, "-3"}, {IDC_TIMEOUT, "0"}}, IDC_NUMBER);
        harness::PressEscape(dlg);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(refusal.text, "Please enter a positive integer.");
    EXPECT_EQ(refusal.caption, QB480_TEST_MODULE_NAME);
    EXPECT_TRUE(refusal.exclamation);
    EXPECT_EQ(refusal.focus, IDC_NUMBER);
    EXPECT_EQ(refusal.selection, std::make_pair(0, 2));
    // Fields after the refused one keep their values.
    EXPECT_EQ(dialog.m_number, 5u);
    EXPECT_EQ(dialog.m_check, 1);
}

TEST(DataExchange, ByteFieldsNameTheirBounds)
{
    const struct {
        int id;
        const char* entry;
        const char* message;
    } cases[] = {
        {IDC_TIMEOUT, "0", "Please enter an integer between 1 and 255."},
        {IDC_THRESHOLD, "13", "Please enter an integer between 0 and 12."},
        {IDC_LOAD, "0", "Please enter an integer between 1 and 12."},
        {IDC_LOAD, "300", "Please enter an integer between 0 and 255."},
        {IDC_TIMEOUT, "abc", "Please enter an integer between 0 and 255."},
        {IDC_THRESHOLD, "", "Please enter an integer between 0 and 255."},
    };
    for (const auto& c : cases) {
        CExchangeDlg dialog;
        Refusal refusal;
        RunWithRobot(dialog, [&](HWND dlg) {
            refusal = Refuse(dlg, {{c.id, c.entry}}, c.id);
            harness::PressEscape(dlg);
        });
        EXPECT_EQ(refusal.text, c.message) << c.entry;
        EXPECT_EQ(refusal.focus, c.id) << c.entry;
        EXPECT_EQ(refusal.selection, std::make_pair(0, static_cast<int>(std::string(c.entry).size()))) << c.entry;
    }
}

TEST(DataExchange, SystemMenuCarriesTheAboutEntry)
{
    CExchangeDlg dialog;
    std::vector<harness::MenuItem> menu;
    RunWithRobot(dialog, [&](HWND dlg) {
        menu = harness::SystemMenu(dlg);
        harness::ChooseSystemMenuCommand(dlg, 0x10);
        harness::WaitUntil([&] { return dialog.m_aboutChosen == 1; });
        harness::ChooseSystemMenuCommand(dlg, SC_CLOSE);  // still the system's own
    });
    ASSERT_GE(menu.size(), 2u);
    EXPECT_TRUE(menu[menu.size() - 2].separator);
    EXPECT_EQ(menu.back().text, "&About the test...");
    EXPECT_EQ(menu.back().id, 0x10u);
    EXPECT_EQ(dialog.m_aboutChosen, 1);
}

TEST(DataExchange, ControlsHandleTheirOwnNotifications)
{
    CExchangeDlg dialog;
    RunWithRobot(dialog, [&](HWND dlg) {
        harness::Click(dlg, kReflectedButton);
        harness::WaitUntil([&] { return dialog.m_button.m_clicks == 1; });
        harness::PressEscape(dlg);
    });
    EXPECT_EQ(dialog.m_button.m_clicks, 1);
    EXPECT_EQ(std::count(dialog.m_commands.begin(), dialog.m_commands.end(), kReflectedButton), 0);
}

TEST(DataExchange, ModelessDialogLivesUntilDestroyed)
{
    CExchangeDlg dialog;
    ASSERT_TRUE(dialog.Create());
    const HWND window = dialog.GetSafeHwnd();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(harness::GetText(window, IDC_NUMBER), "5");
    dialog.DestroyWindow();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

namespace {

using ModuleFileNameFunction = DWORD(WINAPI*)(HMODULE, LPSTR, DWORD);
ModuleFileNameFunction g_realModuleFileName = nullptr;
const std::string kDeepPath = "C:\\" + std::string(300, 'd') + "\\" QB480_TEST_MODULE_NAME ".exe";

// The module as if it lay deeper than MAX_PATH: a buffer too small is
// filled and its size answered, as the system does.
DWORD WINAPI DeepModuleFileName(HMODULE module, LPSTR path, DWORD size)
{
    if (module && module != GetModuleHandleA(nullptr))
        return g_realModuleFileName(module, path, size);
    const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(size - 1, kDeepPath.size()));
    std::memcpy(path, kDeepPath.data(), copied);
    path[copied] = '\0';
    if (copied < kDeepPath.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return copied;
}

}  // namespace

// A module deeper than MAX_PATH still has its whole path, and its name as
// every message box's caption.
TEST(Framework, ModulePathLongerThanMaxPathIsReadWhole)
{
    harness::CImportHook hook(GetModuleHandleA(nullptr), nullptr, "GetModuleFileNameA",
                              reinterpret_cast<void*>(DeepModuleFileName));
    ASSERT_TRUE(hook);
    g_realModuleFileName = reinterpret_cast<ModuleFileNameFunction>(hook.original());
    EXPECT_EQ(fw::ModulePath(), kDeepPath);
    EXPECT_EQ(fw::ModuleName(), QB480_TEST_MODULE_NAME);
}
