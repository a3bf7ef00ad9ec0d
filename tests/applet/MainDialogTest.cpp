// The main dialog on a machine where the driver service is registered: the
// versions the running driver reports, the port-name prefix as read, shown
// and stored, the system menu's about box and the debug line.
#include "AppletSession.h"
#include "DebugOutput.h"
#include "ImportFaults.h"

using namespace harness;

namespace {

using MainDialog = CInstalledAppletTest;

const std::string kHundredZeros(100, '0');

HWND FindIconControl(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    return nullptr;
}

}  // namespace

TEST_F(MainDialog, RunningDriverShowsTheVersionsItReports)
{
    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    WithMainDialog([&](HWND main) { ExpectMainFields(main, "QB480 test driver 1.0", "no firmware", "COM"); });
}

TEST_F(MainDialog, StoppedDriverReadsNoVersion)
{
    // Values that would show if they were read.
    ASSERT_TRUE(WriteValue(kParamKey, "DriverVersion", Sz("left by an earlier start")));
    ASSERT_TRUE(WriteValue(kParamKey, "FirmwareVersion", Sz("left by an earlier start")));
    WithMainDialog([&](HWND main) { ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM"); });
}

TEST_F(MainDialog, RunningDriverWithoutVersionsShowsZeros)
{
    ASSERT_TRUE(WriteValue(kParamKey, "TestNoVersions", Dword(1)));
    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    ASSERT_FALSE(ReadValue(kParamKey, "DriverVersion"));
    WithMainDialog([&](HWND main) { ExpectMainFields(main, kHundredZeros, kHundredZeros, "COM"); });
}

TEST_F(MainDialog, VersionTooLongForItsHundredBytesShowsZeros)
{
    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    const std::string fits(99, 'f');
    ASSERT_TRUE(WriteValue(kParamKey, "DriverVersion", Sz(std::string(100, 'd'))));
    ASSERT_TRUE(WriteValue(kParamKey, "FirmwareVersion", Sz(fits)));
    WithMainDialog([&](HWND main) { ExpectMainFields(main, kHundredZeros, fits, "COM"); });
}

TEST_F(MainDialog, StoredPrefixIsShownTrimmedAndStoredInUpperCaseAtOnce)
{
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("\t lpt \r\n")));
    WithMainDialog([&](HWND main) {
        ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "lpt");
        EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("LPT"));
    });
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("LPT"));
}

TEST_F(MainDialog, MissingPrefixBecomesCOM)
{
    ASSERT_TRUE(WriteValue(kParamKey, "MEM_SEG", Dword(0xD0000)));
    WithMainDialog([&](HWND main) {
        EXPECT_EQ(GetText(main, kPrefix), "COM");
        EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("COM"));
    });
}

TEST_F(MainDialog, LongStoredPrefixIsShownWhole)
{
    for (const std::string prefix : {"tessalineCO", "Tessaline_QB480_Serial_Port_"}) {
        SCOPED_TRACE(prefix);
        ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz(prefix)));
        std::string upper = prefix;
        CharUpperA(upper.data());
        WithMainDialog([&](HWND main) {
            EXPECT_EQ(GetText(main, kPrefix), prefix);
            EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz(upper));
        });
    }
}

TEST_F(MainDialog, TypedPrefixIsTrimmedUpperCasedAndStoredOnExit)
{
    CRegWriteRecorder recorder(Cpl());
    ASSERT_TRUE(recorder.Active());
    const LONG result = WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, " ab ");
        Click(main, kExit);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("AB"));
    EXPECT_EQ(recorder.Writes("PortNamePrefix"), (std::vector<RegValue>{Sz("COM"), Sz("AB")}))
        << "stored at the opening, then on Exit, each with its terminating zero";
}

TEST_F(MainDialog, EnterStoresThePrefixAsExitDoes)
{
    WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, "\tcd");
        EXPECT_EQ(FocusedControlId(main), kPrefix);
        PressEnter(main);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("CD"));
}

TEST_F(MainDialog, EscapeAndTheCloseBoxStoreNothingTyped)
{
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("lpt")));
    WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, "xyz");
        PressEscape(main);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("LPT"));
    WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, "xyz");
        ChooseSystemMenuCommand(main, SC_CLOSE);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("LPT"));
}

TEST_F(MainDialog, FailedPrefixWritesAreReported)
{
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("lpt")));
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), "Could not write Port Name Prefix");
        const HWND main = WaitForDialog(kMainCaption, kSelf);
        if (!main)
            return;
        EXPECT_EQ(GetText(main, kPrefix), "lpt");
        SetText(main, kPrefix, "ab");
        Click(main, kExit);
        EXPECT_EQ(TakeBox(), "Could not write Port Name Prefix");
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("lpt"));
}

TEST_F(MainDialog, SystemMenuEndsWithTheAboutBox)
{
    WithMainDialog([&](HWND main) {
        const std::vector<MenuItem> menu = SystemMenu(main);
        ASSERT_GE(menu.size(), 3u);
        EXPECT_TRUE(menu[menu.size() - 2].separator);
        EXPECT_EQ(menu.back().text, "&About ...");
        EXPECT_EQ(menu.back().id, kAboutCommand);
        ChooseSystemMenuCommand(main, kAboutCommand);
        const HWND about = WaitForDialog(kAboutCaption, kSelf);
        ASSERT_TRUE(about);
        const HWND icon = FindIconControl(about);
        EXPECT_TRUE(icon && SendMessageA(icon, STM_GETICON, 0, 0)) << "the about box shows no icon";
        Click(about, IDOK);
        EXPECT_TRUE(WaitGone(about));
        EXPECT_TRUE(Settle(main));
        EXPECT_TRUE(IsWindowVisible(main)) << "the main dialog closed with the about box";
    });
    EXPECT_EQ(BoxesShown(), Texts{});
}

TEST_F(MainDialog, CarriesTheBoardIconInItsCaption)
{
    const HICON board = LoadIconA(Cpl(), MAKEINTRESOURCEA(129));
    ASSERT_TRUE(board);
    WithMainDialog([&](HWND main) {
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(main, WM_GETICON, ICON_BIG, 0)), board);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(main, WM_GETICON, ICON_SMALL, 0)), board);
    });
}

TEST_F(MainDialog, WritesTheDebugLineAtEveryOpening)
{
    CDebugOutputRecorder recorder;
    const std::string line = "\nTesting if driver is installed\n\n";
    WithMainDialog([&](HWND) { EXPECT_EQ(recorder.Messages(), std::vector<std::string>{line}); });
    WithMainDialog([&](HWND) { EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{line, line})); });
}
