// The board settings dialog behind "Configure": the stored values shown,
// every rule's refusal, what OK stores and what it reports.
#include "AppletSession.h"
#include "ImportFaults.h"

using namespace harness;

namespace {

class BoardSettings : public CInstalledAppletTest {
protected:
    void SetUp() override
    {
        CInstalledAppletTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(WriteValue(kParamKey, "MEM_SEG", Dword(0xE0000)));
        ASSERT_TRUE(WriteValue(kParamKey, "PORT", Dword(0x100)));
        ASSERT_TRUE(WriteValue(kParamKey, "IRQ", Dword(3)));
    }

    // The dialog opened from the main dialog's "Configure". Once drive is
    // done it must have closed, back to the main dialog.
    void WithBoardSettings(const std::function<void(HWND)>& drive)
    {
        WithMainDialog([&](HWND main) {
            Click(main, kConfigure);
            const HWND board = WaitForDialog(kBoardCaption, kSelf);
            if (!board)
                return;
            drive(board);
            EXPECT_TRUE(WaitGone(board)) << "the board settings stayed open";
            EXPECT_TRUE(Settle(main));
            EXPECT_TRUE(IsWindowVisible(main)) << "the main dialog closed with the board settings";
        });
    }

    static void ExpectStoredUnchanged(CallSite where = {})
    {
        if (ReadValue(kParamKey, "MEM_SEG") != Dword(0xE0000) || ReadValue(kParamKey, "PORT") != Dword(0x100) ||
            ReadValue(kParamKey, "IRQ") != Dword(3))
            Fail(where, "the stored board settings changed");
    }
};

struct Refusal {
    BoardEntries entries;
    const char* message;
};

const Refusal kRefusals[] = {
    {{"0", "300", "5"}, "Zero is not allowed"},
    {{"", "300", "5"}, "Zero is not allowed"},
    {{"d8000", "300", "5"}, "The memory address must be evenly divisible by 64K"},
    {{"B0000", "300", "5"}, "Memory segment outside allowed range"},
    {{"100000", "300", "5"}, "Memory segment outside allowed range"},
    {{"D0000 ", "300", "5"}, "Memory segment outside allowed range"},
    {{"D0000", "0", "5"}, "Zero is not allowed"},
    {{"D0000", "3fe", "5"}, "The port address must be evenly divisible by 4"},
    {{"D0000", "FC", "5"}, "The port address must be >= 100 and <= 3fc"},
    {{"D0000", "400", "5"}, "The port address must be >= 100 and <= 3fc"},
    {{"D0000", "300", "16"}, "IRQ not in acceptable range"},
    {{"D0000", "300", "1"}, "IRQ not in acceptable range"},
    {{"D0000", "300", "0"}, "IRQ not in acceptable range"},
    {{"B0000", "3FE", "16"}, "Memory segment outside allowed range"},
    {{"D0000", "3FE", "16"}, "The port address must be evenly divisible by 4"},
};

}  // namespace

TEST_F(BoardSettings, ShowsTheStoredValuesInUpperCaseHex)
{
    ASSERT_TRUE(WriteValue(kParamKey, "MEM_SEG", Dword(0xD0000)));
    ASSERT_TRUE(WriteValue(kParamKey, "PORT", Dword(0x2A0)));
    ASSERT_TRUE(WriteValue(kParamKey, "IRQ", Dword(11)));
    WithBoardSettings([&](HWND board) {
        EXPECT_EQ(ReadBoardEntries(board), (BoardEntries{"D0000", "2A0", "11"}));
        EXPECT_EQ(FocusedControlId(board), IDOK);
        Click(board, IDCANCEL);
    });
}

TEST_F(BoardSettings, UnreadableValuesShowZero)
{
    const RegValue eightBytes{REG_BINARY, std::string("\x00\x00\x0D\x00\x00\x00\x00\x00", 8)};
    ASSERT_TRUE(WriteValue(kParamKey, "MEM_SEG", eightBytes));
    ASSERT_TRUE(DeleteValue(kParamKey, "PORT"));
    WithBoardSettings([&](HWND board) {
        EXPECT_EQ(ReadBoardEntries(board), (BoardEntries{"0", "0", "3"}));
        Click(board, IDCANCEL);
    });
}

TEST_F(BoardSettings, EachRuleRefusesWithItsMessageInOrderAndStoresNothing)
{
    Texts messages;
    WithBoardSettings([&](HWND board) {
        for (const Refusal& refusal : kRefusals) {
            SCOPED_TRACE(::testing::PrintToString(refusal.entries));
            TypeBoardEntries(board, refusal.entries);
            Click(board, IDOK);
            EXPECT_EQ(TakeBox(), refusal.message);
            messages.push_back(refusal.message);
            EXPECT_TRUE(Settle(board));
            EXPECT_TRUE(IsWindowVisible(board));
            EXPECT_EQ(ReadBoardEntries(board), refusal.entries) << "the entries are left as typed";
            ExpectStoredUnchanged();
        }
        Click(board, IDCANCEL);
    });
    EXPECT_EQ(BoxesShown(), messages) << "one box for each refusal";
    ExpectStoredUnchanged();
}

TEST_F(BoardSettings, ValidEntriesAreStoredAndConfirmed)
{
    WithBoardSettings([&](HWND board) { StoreBoardEntries(board, {"d0000", "2a0", " 5 "}); });
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xD0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x2A0));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(5));
}

TEST_F(BoardSettings, EnterInAFieldActsAsOK)
{
    WithBoardSettings([&](HWND board) {
        TypeBoardEntries(board, {"F0000", "3FC", "15"});
        FocusControl(board, kIrq);
        PressEnter(board);
        EXPECT_EQ(TakeBox(), kStored);
    });
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xF0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x3FC));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(15));
}

TEST_F(BoardSettings, NonNumericIrqIsRefusedWithTheFocusInItsField)
{
    WithBoardSettings([&](HWND board) {
        // The memory entry would fail its rule too: the rules must not run.
        TypeBoardEntries(board, {"0", "300", "five"});
        Click(board, IDOK);
        EXPECT_EQ(TakeBox(), "Please enter a positive integer.");
        EXPECT_TRUE(WaitUntil([&] { return FocusedControlId(board) == kIrq; }, 2000));
        EXPECT_EQ(Selection(board, kIrq), std::make_pair(0, 4));
        EXPECT_TRUE(Settle(board));
        EXPECT_TRUE(IsWindowVisible(board));
        ExpectStoredUnchanged();
        Click(board, IDCANCEL);
    });
    EXPECT_EQ(BoxesShown(), Texts{"Please enter a positive integer."});
    ExpectStoredUnchanged();
}

TEST_F(BoardSettings, CancelAfterAFailedOKStoresNothing)
{
    WithBoardSettings([&](HWND board) {
        TypeBoardEntries(board, {"D0000", "300", "16"});
        Click(board, IDOK);
        EXPECT_EQ(TakeBox(), "IRQ not in acceptable range");
        TypeBoardEntries(board, {"D0000", "300", "5"});
        Click(board, IDCANCEL);
    });
    ExpectStoredUnchanged();
}

TEST_F(BoardSettings, FailedWritesAreEachReportedAndStillConfirmed)
{
    WithMainDialog([&](HWND main) {
        // Injected once the prefix has been stored at the opening.
        CImportFaults faults(Cpl());
        ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
        Click(main, kConfigure);
        const HWND board = WaitForDialog(kBoardCaption, kSelf);
        if (!board)
            return;
        TypeBoardEntries(board, {"D0000", "300", "5"});
        Click(board, IDOK);
        EXPECT_EQ(TakeBox(), "Could not write MemSeg");
        EXPECT_EQ(TakeBox(), "Could not write Irq");
        EXPECT_EQ(TakeBox(), "Could not write Port");
        EXPECT_EQ(TakeBox(), kStored);
        EXPECT_TRUE(WaitGone(board));
    });
    ExpectStoredUnchanged();
}

TEST_F(BoardSettings, OpeningCreatesAMissingParameterKey)
{
    WithMainDialog([&](HWND main) {
        ASSERT_TRUE(DeleteKeyTree(kParamKey));  // the main dialog's opening made it
        Click(main, kConfigure);
        const HWND board = WaitForDialog(kBoardCaption, kSelf);
        if (!board)
            return;
        EXPECT_TRUE(KeyExists(kParamKey));
        EXPECT_EQ(ReadBoardEntries(board), (BoardEntries{"0", "0", "0"}));
        Click(board, IDCANCEL);
        ExpectClosed(board);
    });
}

TEST_F(BoardSettings, KeyThatCannotBeOpenedForWritingClosesTheDialogSilently)
{
    CImportFaults faults(Cpl());
    WithBoardSettings([&](HWND board) {
        // Only the store's open: the dialog has read the key already.
        ASSERT_TRUE(faults.InjectForAccess("RegCreateKeyExA", KEY_WRITE, ERROR_ACCESS_DENIED));
        TypeBoardEntries(board, {"D0000", "300", "5"});
        Click(board, IDOK);
    });
    EXPECT_EQ(BoxesShown(), Texts{});
    ExpectStoredUnchanged();
}
