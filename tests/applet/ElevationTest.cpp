// An administrator's Control Panel without administrator rights, as since
// Windows Vista when the host did not read the applet's manifest: control.exe
// started with the limited linked token. The applet's request for an
// elevated instance is seen through its patched ShellExecuteExA. A standard
// user's Control Panel: control.exe with Administrators deny-only.
#include "AppletSession.h"
#include "Child.h"
#include "ImportFaults.h"

#include <cstring>

using namespace harness;

namespace {

using Elevation = CAppletTest;

constexpr char kNeedsRights[] = "Administrator rights are needed to configure the QB480 board.";
constexpr int kExitWaitMs = 10000;

// What a refused opening must leave as it found it: the driver service, its
// keys, the System log's sources and the drivers folder.
std::vector<std::string> Untouched()
{
    const auto sources = ReadValue(kEventLogKey, "Sources");
    std::vector<std::string> state = {"service listed " + std::to_string(IsServiceListed(kServiceName)),
                                      "service key " + std::to_string(KeyExists(kServiceKey)),
                                      "source key " + std::to_string(KeyExists(kSourceKey)),
                                      "sources " + (sources ? sources->data : "none")};
    for (const std::string& entry : FolderListing(DriversFolder()))
        state.push_back("drivers\\" + entry);
    return state;
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
    CChild control = StartWithAppletFaults(ControlPanelCommand(), token.get(), {{"ShellExecuteExA", 0}});
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
        StartWithAppletFaults("rundll32.exe shell32.dll,Control_RunDLL \"" + CplPath() + "\",@0,elevated",
                              token.get(), {{"ShellExecuteExA", ERROR_CANCELLED}});
    ASSERT_TRUE(instance.Started()) << instance.StartError();
    const HWND main = harness::WaitForDialog(kMainCaption, instance.pid());
    ASSERT_TRUE(main);
    harness::PressEscape(main);
    EXPECT_EQ(instance.Wait(kExitWaitMs), std::optional<DWORD>(0));
    EXPECT_EQ(harness::PatchedFunctions(), std::vector<std::string>{"ShellExecuteExA"});
    EXPECT_FALSE(harness::RecordedText("ShellExecuteExA", "lpVerb"));
}

namespace {

struct Refusal {
    const char* name;
    fw::UniqueKernelHandle (*token)();
    std::optional<std::string> request;  // the verb it asked for, if any
};

class RefusedOpening : public CAppletTest, public ::testing::WithParamInterface<Refusal> {};

}  // namespace

TEST_P(RefusedOpening, IsReportedAndNothingIsRegisteredOrWritten)
{
    // Were the dialog opened, the driver found here would be registered.
    ASSERT_TRUE(PlaceBoardDriver());
    const std::vector<std::string> before = Untouched();
    const fw::UniqueKernelHandle token = GetParam().token();
    ASSERT_TRUE(token) << "no such token";
    CChild control =
        StartWithAppletFaults(ControlPanelCommand(), token.get(), {{"ShellExecuteExA", ERROR_CANCELLED}});
    ASSERT_TRUE(control.Started()) << control.StartError();
    EXPECT_EQ(TakeBox(control.pid()), kNeedsRights);
    EXPECT_EQ(DialogsUntilExit(control), std::vector<std::string>{});
    EXPECT_EQ(control.Wait(0), std::optional<DWORD>(0));
    EXPECT_EQ(harness::RecordedText("ShellExecuteExA", "lpVerb"), GetParam().request);
    EXPECT_EQ(Untouched(), before);
}

// The declined request; then NT 4.0 to XP as a standard user, or an
// instance that a declined elevation left limited.
INSTANTIATE_TEST_SUITE_P(Tokens, RefusedOpening,
                         ::testing::Values(Refusal{"DeclinedElevation", LimitedToken, "runas"},
                                           Refusal{"NonAdministrator", NonAdministratorToken, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same decisions inside this process, its token reported limited, its
// elevation unknown or its groups not an administrator's, through the
// applet's own imports.
namespace {

using ElevationRules = CInstalledAppletTest;

struct UnknownElevation {
    const char* name;
    const char* function;
    DWORD error;
};

class WithoutElevation : public CInstalledAppletTest, public ::testing::WithParamInterface<UnknownElevation> {};

FARPROC WINAPI WithoutCheckTokenMembership(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && std::strcmp(name, "CheckTokenMembership") == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return GetProcAddress(module, name);
}

// The token the applet gets as its process's, a copy for each call.
HANDLE g_processToken = nullptr;
BOOL WINAPI OpenGivenProcessToken(HANDLE, DWORD, PHANDLE token)
{
    return DuplicateHandle(GetCurrentProcess(), g_processToken, GetCurrentProcess(), token, 0, FALSE,
                           DUPLICATE_SAME_ACCESS);
}

}  // namespace

TEST_F(ElevationRules, LimitedTokenAsksUnlessStartedWithTheWord)
{
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetTokenInformation", 0));
    ASSERT_TRUE(faults.Inject("ShellExecuteExA", 0));
    // A near miss is not the word: the host is told to double-click, which asks.
    EXPECT_EQ(Call(CPL_STARTWPARMSA, 0, reinterpret_cast<LPARAM>("elevated.")), 0);
    EXPECT_EQ(DoubleClick({}), 0);
    EXPECT_EQ(RecordedText("ShellExecuteExA", "lpVerb"), "runas");
    ForgetRecordedCalls();
    // The word, in any letter case and among blanks, opens the dialog within
    // the message itself, in UTF-16 as in ANSI.
    EXPECT_EQ(WithMainDialogOf(CPL_STARTWPARMSW, reinterpret_cast<LPARAM>(L" ELEVATED\t"), [](HWND) {}), 1);
    EXPECT_EQ(WithMainDialogOf(CPL_STARTWPARMSA, reinterpret_cast<LPARAM>("Elevated "), [](HWND) {}), 1);
    EXPECT_FALSE(RecordedText("ShellExecuteExA", "lpVerb"));
    EXPECT_EQ(BoxesShown(), Texts{});
}

// NT 4.0 has neither CheckTokenMembership nor elevation: the token's groups
// decide.
TEST_F(ElevationRules, WithoutCheckTokenMembershipTheTokensGroupsDecide)
{
    CImportHook lookup(Cpl(), nullptr, "GetProcAddress", reinterpret_cast<void*>(WithoutCheckTokenMembership));
    ASSERT_TRUE(lookup);
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("GetTokenInformation", ERROR_INVALID_PARAMETER));
    WithMainDialog([](HWND) {});
    const fw::UniqueKernelHandle restricted = harness::NonAdministratorToken();
    ASSERT_TRUE(restricted) << "no restricted token";
    g_processToken = restricted.get();
    CImportHook token(Cpl(), nullptr, "OpenProcessToken", reinterpret_cast<void*>(OpenGivenProcessToken));
    ASSERT_TRUE(token);
    EXPECT_EQ(DoubleClick([] { EXPECT_EQ(TakeBox(), kNeedsRights); }), 0);
    EXPECT_EQ(BoxesShown(), Texts{kNeedsRights});
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
