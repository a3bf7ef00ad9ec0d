// An administrator's Control Panel without administrator rights, as since
// Windows Vista when the host did not read the applet's manifest: control.exe
// started with the limited linked token. The applet's request for an
// elevated instance is seen through its patched ShellExecuteExA.
#include "AppletSession.h"
#include "Child.h"
#include "ImportFaults.h"

using namespace harness;

namespace {

using Elevation = CAppletTest;

constexpr char kNeedsRights[] = "Administrator rights are needed to configure the QB480 board.";
constexpr int kExitWaitMs = 10000;

// A limited program of the administrator's, its applet patched before it runs.
CChild StartLimited(const std::string& commandLine, const fw::UniqueKernelHandle& token,
                             const std::vector<std::pair<std::string, DWORD>>& faults)
{
    CChild child(commandLine, std::string(), {token.get(), true});
    if (child.Started() && InjectFaultsWhenLoaded(child, "qb480.cpl", faults))
        child.Resume();
    return child;
}

// The captions of the dialogs and boxes the child showed until it ended;
// each is closed, so that a wrong one cannot keep it from ending.
std::vector<std::string> DialogsUntilExit(const CChild& child)
{
    std::vector<std::string> captions;
    harness::WaitUntil(
        [&] {
            for (HWND dialog : VisibleDialogs(child.pid())) {
                captions.push_back(harness::Caption(dialog));
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                harness::WaitGone(dialog, 1000);
            }
            return child.Wait(0).has_value();
        },
        kExitWaitMs);
    return captions;
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

}  // namespace

TEST_F(Elevation, LimitedInstanceAsksForAnElevatedOneAndOpensNothing)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const fw::UniqueKernelHandle token = harness::LimitedToken();
    ASSERT_TRUE(token) << "no limited linked token";
    CChild control = StartLimited(ControlPanelCommand(), token, {{"ShellExecuteExA", 0}});
    ASSERT_TRUE(control.Started()) << control.StartError();
    EXPECT_TRUE(harness::NoMessageBox(control.pid(), 0));
    EXPECT_EQ(DialogsUntilExit(control), std::vector<std::string>{});
    EXPECT_EQ(control.Wait(0), std::optional<DWORD>(0));
    EXPECT_EQ(harness::PatchedFunctions(), std::vector<std::string>{"ShellExecuteExA"});
    EXPECT_EQ(harness::RecordedText("ShellExecuteExA", "lpVerb"), "runas");
    EXPECT_EQ(harness::RecordedText("ShellExecuteExA", "lpFile"), SystemFolder() + "\\rundll32.exe");
    EXPECT_EQ(harness::RecordedText("ShellExecuteExA", "lpParameters"),
              "shell32.dll,Control_RunDLL \"" + CplPath() + "\",@0,elevated");
    EXPECT_FALSE(harness::IsServiceListed(kServiceName));
}

TEST_F(Elevation, InstanceGivenTheWordOpensTheMainDialogWithoutAsking)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    const fw::UniqueKernelHandle token = harness::LimitedToken();
    ASSERT_TRUE(token) << "no limited linked token";
    // A request it should not make would be refused, and say so.
    CChild instance =
        StartLimited("rundll32.exe shell32.dll,Control_RunDLL \"" + CplPath() + "\",@0,elevated", token,
                     {{"ShellExecuteExA", ERROR_CANCELLED}});
    ASSERT_TRUE(instance.Started()) << instance.StartError();
    const HWND main = harness::WaitForDialog(kMainCaption, instance.pid());
    ASSERT_TRUE(main);
    harness::PressEscape(main);
    EXPECT_EQ(instance.Wait(kExitWaitMs), std::optional<DWORD>(0));
    EXPECT_EQ(harness::PatchedFunctions(), std::vector<std::string>{"ShellExecuteExA"});
    EXPECT_FALSE(harness::RecordedText("ShellExecuteExA", "lpVerb"));
}

TEST_F(Elevation, RefusedRequestIsReportedAndNothingIsRegisteredOrWritten)
{
    // Were the dialog opened, the driver found here would be registered.
    ASSERT_TRUE(PlaceBoardDriver());
    const auto sources = ReadValue(kEventLogKey, "Sources");
    const fw::UniqueKernelHandle token = harness::LimitedToken();
    ASSERT_TRUE(token) << "no limited linked token";
    CChild control = StartLimited(ControlPanelCommand(), token, {{"ShellExecuteExA", ERROR_CANCELLED}});
    ASSERT_TRUE(control.Started()) << control.StartError();
    EXPECT_EQ(TakeBox(control.pid()), kNeedsRights);
    EXPECT_EQ(DialogsUntilExit(control), std::vector<std::string>{});
    EXPECT_EQ(control.Wait(0), std::optional<DWORD>(0));
    EXPECT_EQ(harness::RecordedText("ShellExecuteExA", "lpVerb"), "runas");
    EXPECT_FALSE(harness::IsServiceListed(kServiceName));
    EXPECT_FALSE(KeyExists(kServiceKey));
    EXPECT_FALSE(KeyExists(kSourceKey));
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), sources);
}

// The same decisions inside this process, its token reported limited (or its
// elevation unknown) through the applet's own imports.
namespace {

using ElevationRules = CInstalledAppletTest;

struct UnknownElevation {
    const char* name;
    const char* function;
    DWORD error;
};

class WithoutElevation : public CInstalledAppletTest, public ::testing::WithParamInterface<UnknownElevation> {};

}  // namespace

TEST_F(ElevationRules, LimitedTokenAsksUnlessStartedWithTheWord)
{
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetTokenInformation", 0));
    ASSERT_TRUE(faults.Inject("ShellExecuteExA", 0));
    EXPECT_EQ(DoubleClick({}), 0);
    EXPECT_EQ(RecordedText("ShellExecuteExA", "lpVerb"), "runas");
    ForgetRecordedCalls();
    // Message 9, as a host that hands the word over in ANSI sends it.
    EXPECT_EQ(Call(CPL_STARTWPARMSA, 0, reinterpret_cast<LPARAM>("elevated")), 0);
    WithMainDialog([](HWND) {});
    EXPECT_FALSE(RecordedText("ShellExecuteExA", "lpVerb"));
    EXPECT_EQ(BoxesShown(), Texts{});
}

TEST_F(ElevationRules, UnknownSystemFolderRefusesTheRequestWithItsMessage)
{
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetTokenInformation", 0));
    ASSERT_TRUE(faults.Inject("ShellExecuteExA", 0));
    ASSERT_TRUE(faults.Inject("GetSystemDirectoryA", MAX_PATH));
    DoubleClick([] { EXPECT_EQ(TakeBox(), kNeedsRights); });
    EXPECT_FALSE(RecordedText("ShellExecuteExA", "lpVerb")) << "asked for rundll32 of no folder";
}

// NT 4.0 to XP: no token tells its elevation, and the dialog opens as ever.
TEST_P(WithoutElevation, TheDialogOpensWithoutAsking)
{
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject(GetParam().function, GetParam().error));
    ASSERT_TRUE(faults.Inject("ShellExecuteExA", 0));
    WithMainDialog([](HWND) {});
    EXPECT_FALSE(RecordedText("ShellExecuteExA", "lpVerb"));
    EXPECT_EQ(BoxesShown(), Texts{});
}

INSTANTIATE_TEST_SUITE_P(Systems, WithoutElevation,
                         ::testing::Values(UnknownElevation{"NoTokenClass", "GetTokenInformation",
                                                            ERROR_INVALID_PARAMETER},
                                           UnknownElevation{"NoToken", "OpenProcessToken", ERROR_ACCESS_DENIED}),
                         [](const auto& info) { return std::string(info.param.name); });
