// The board's COM numbers in Windows' COM port database as the applet keeps
// them: claimed whenever the main dialog opens and when a numbering is
// stored, recorded, never taken from another device, and given back when
// the board no longer needs them; the Port Numbering dialog's warning; and
// no database at all, where nothing changes.
#include "AppletSession.h"
#include "ComDatabaseStandIn.h"

using namespace harness;

namespace {

constexpr char kRecord[] = "ClaimedComNumbers";
constexpr char kNumberingCaption[] = "Port Numbering";
constexpr int kNumberField = 1003;
constexpr int kStartFromBox = 1046;

using ComNumbers = CAppletTest;

std::set<DWORD> Span(DWORD first, DWORD last, std::set<DWORD> more = {})
{
    for (DWORD n = first; n <= last; ++n)
        more.insert(n);
    return more;
}

// The driver's report of its ports, as it writes it when it starts.
void DriverReports(DWORD count, DWORD first, CallSite where = {})
{
    WriteValue(kParamKey, "TotalNumberOfPorts", Dword(count), where);
    WriteValue(kParamKey, "PortsStartingAt", Dword(first), where);
}

// "Start from this index:" checked with index, then OK: the texts of the
// boxes shown before the dialog closed.
Texts StoreIndex(HWND main, const std::string& index, CallSite where = {})
{
    Texts boxes;
    const HWND dlg = OpenFromMain(main, kPortNumberingButton, kNumberingCaption, nullptr, where);
    SetCheck(dlg, kStartFromBox, true, where);
    SetText(dlg, kNumberField, index, where);
    Click(dlg, IDOK, where);
    for (;;) {
        HWND box = nullptr;
        WaitUntil([&] { return !IsWindowVisible(dlg) || (box = FindMessageBox(kSelf)) != nullptr; });
        if (!box)
            break;
        const MessageBoxSeen seen = ReadMessageBox(box, where);
        ExpectApplicationBox(seen, kAppletCaption, where);
        boxes.push_back(seen.text);
        DismissMessageBox(box, IDOK, where);
        WaitGone(box);
    }
    ExpectClosed(dlg, where);
    return boxes;
}

}  // namespace

TEST_F(ComNumbers, TheDriversNumbersAreClaimedAtTheOpeningAfterItReportsThemButNotAnotherDevices)
{
    ASSERT_TRUE(PlaceBoardDriver());
    CComDatabaseSwap database(ComDatabaseKind::StandIn);
    ASSERT_TRUE(ClaimForOtherDevice({5}));
    DoubleClick([&] {
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
            StoreBoardEntries(board, {"D0000", "300", "5"});
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            Click(main, kExit);
    });
    EXPECT_EQ(ComNumbersInUse(), std::set<DWORD>{5});  // nothing reported yet
    EXPECT_EQ(ReadValue(kParamKey, kRecord), std::nullopt);

    DriverReports(8, 3);
    Texts warning;
    WithMainDialog([&](HWND main) { warning = StoreIndex(main, "3"); });
    EXPECT_EQ(ComNumbersInUse(), Span(3, 10));
    EXPECT_EQ(ReadString(kParamKey, kRecord), "3,4,6,7,8,9,10");
    const std::string named = "COM5 is in use by another device on this machine. The board's ports will be numbered "
                              "from 3 all the same; check the other device's port number.";
    EXPECT_EQ(warning, Texts{named});
    EXPECT_EQ(ReadValue(kParamKey, "FirstPort"), Dword(3));
    EXPECT_EQ(BoxesShown(), (Texts{kStored, named}));  // the claims themselves are silent

    // Another opening finds its own numbers in use and keeps them; the
    // removal gives back only those.
    WithMainDialog([](HWND) {});
    EXPECT_EQ(ReadString(kParamKey, kRecord), "3,4,6,7,8,9,10");
    WithMainDialog([](HWND main) {
        Click(main, kRemoveDriver);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ComNumbersInUse(), std::set<DWORD>{5});
}

TEST_F(ComNumbers, AMovedIndexIsClaimedAtOnceAndTheOldNumbersGoOnceTheDriverReportsIt)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    CComDatabaseSwap database(ComDatabaseKind::StandIn);
    DriverReports(8, 3);
    ASSERT_TRUE(ClaimForOtherDevice({5, 21, 22}));
    const std::string device = EnterSerialComm("Serial22", "COM22");
    Texts warning;
    WithMainDialog([&](HWND main) { warning = StoreIndex(main, "20"); });
    EXPECT_EQ(warning, Texts{"COM21 and COM22 (" + device +
                             ") are in use by other devices on this machine. The board's ports will be numbered "
                             "from 20 all the same; check the other devices' port numbers."});
    EXPECT_EQ(ReadValue(kParamKey, "FirstPort"), Dword(20));
    EXPECT_EQ(ComNumbersInUse(), Span(3, 10, Span(20, 27)));
    EXPECT_EQ(ReadString(kParamKey, kRecord), "3,4,6,7,8,9,10,20,23,24,25,26,27");

    DriverReports(8, 20);  // its next start
    WithMainDialog([](HWND) {});
    EXPECT_EQ(ComNumbersInUse(), Span(20, 27, {5}));
    EXPECT_EQ(ReadString(kParamKey, kRecord), "20,23,24,25,26,27");
}

TEST_F(ComNumbers, APrefixOtherThanComGivesBackTheRecordAndClaimsNothing)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    CComDatabaseSwap database(ComDatabaseKind::StandIn);
    DriverReports(8, 3);
    ASSERT_TRUE(ClaimForOtherDevice({5}));
    WithMainDialog([&](HWND main) {
        EXPECT_EQ(ComNumbersInUse(), Span(3, 10));  // claimed as it opened
        SetText(main, kPrefix, "tty");
        Click(main, kExit);
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_EQ(ComNumbersInUse(), std::set<DWORD>{5});
    EXPECT_EQ(ReadValue(kParamKey, kRecord), std::nullopt);
    WithMainDialog([](HWND) {});
    EXPECT_EQ(ComNumbersInUse(), std::set<DWORD>{5});
    EXPECT_EQ(BoxesShown(), Texts{});
}

TEST_F(ComNumbers, WithoutADatabaseNothingIsClaimedAndNothingIsSaid)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_AUTO_START));
    DriverReports(8, 3);
    EnterSerialComm("Serial5", "COM5");
    for (const bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "msports.dll missing" : "Wine's own msports.dll");
        std::optional<CComDatabaseSwap> swap;
        if (missing)
            swap.emplace(ComDatabaseKind::Missing);
        WithMainDialog([&](HWND main) { EXPECT_EQ(StoreIndex(main, "3"), Texts{}); });
        EXPECT_EQ(ReadValue(kParamKey, "FirstPort"), Dword(3));
        EXPECT_EQ(ReadValue(kParamKey, kRecord), std::nullopt);
    }
    EXPECT_EQ(BoxesShown(), Texts{});
}
