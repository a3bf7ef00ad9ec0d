// "Port Numbering" opened from the main dialog: the stored FirstPort shown,
// number entries refused or stored, the check box deciding between storing
// and deleting, and registry failures reported.
#include <gtest/gtest.h>

#include "EventRecords.h"
#include "ImportFaults.h"
#include "PortsTest.h"

using namespace portstest;

namespace {

constexpr char kCaption[] = "Port Numbering";
constexpr char kFirstPort[] = "FirstPort";
constexpr int kNumberField = 1003;
constexpr int kStartFromBox = 1046;
constexpr char kPositiveInteger[] = "Please enter a positive integer.";

struct Shown {
    bool checked = false;
    std::string number;
    bool operator==(const Shown& other) const { return checked == other.checked && number == other.number; }
};
void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << (shown.checked ? "checked" : "unchecked") << ", \"" << shown.number << "\"";
}

Shown Read(HWND dlg, CallSite where = {})
{
    return {IsChecked(dlg, kStartFromBox, where), GetText(dlg, kNumberField, where)};
}

HWND Open(HWND main, CallSite where = {})
{
    return OpenFromMain(main, kPortNumberingButton, kCaption, nullptr, where);
}

void Enter(HWND dlg, bool checked, const std::string& number, CallSite where = {})
{
    SetCheck(dlg, kStartFromBox, checked, where);
    SetText(dlg, kNumberField, number, where);
}

// Presses OK expecting a refusal: its text, once the focus is back in the
// number field with the whole entry selected.
std::string Refusal(HWND dlg, CallSite where = {})
{
    Click(dlg, IDOK, where);
    const std::string text = TakeBox(kSelf, where);
    const int length = static_cast<int>(GetText(dlg, kNumberField, where).size());
    if (!WaitUntil([&] { return FocusedControlId(dlg) == kNumberField; }, 2000))
        Fail(where, "the focus is not in the number field after \"" + text + "\"");
    else if (Selection(dlg, kNumberField, where) != std::make_pair(0, length))
        Fail(where, "the entry is not selected after \"" + text + "\"");
    if (!Settle(dlg) || !IsWindowVisible(dlg))
        Fail(where, "the dialog closed after \"" + text + "\"");
    return text;
}

class PortNumbering : public CPortsTest {};

// The records this dialog made (the main dialog's opening stores the
// prefix it shows): ID, setting, old, new and outcome.
std::vector<std::pair<DWORD, Texts>> RecordsOfTheDialog(const CEventRecorder& recorder)
{
    using qb480::audit::Field;
    std::vector<std::pair<DWORD, Texts>> seen;
    for (const EventRecord& record : recorder.Records())
        if (record.At(Field::Means) == "Port Numbering dialog")
            seen.push_back({record.id & 0xFFFF, {record.At(Field::Subject), record.At(Field::Old),
                                                 record.At(Field::New), record.At(Field::Outcome)}});
    return seen;
}

}  // namespace

TEST_F(PortNumbering, WithoutAStoredIndexItOpensClearedAndOkDeletesNothing)
{
    Shown shown;
    bool keyMadeByOpening = false;
    const CEventRecorder records(Cpl());
    ASSERT_TRUE(records.Active());
    WithMainDialog([&](HWND main) {
        // The main dialog made the key; opening this dialog makes it again.
        DeleteKeyTree(kParamKey);
        const HWND dlg = Open(main);
        keyMadeByOpening = KeyExists(kParamKey);
        shown = Read(dlg);
        Click(dlg, IDOK);
        ExpectClosed(dlg);
        EXPECT_TRUE(NoMessageBox(kSelf, 100));
    });
    EXPECT_EQ(shown, (Shown{false, "0"}));
    EXPECT_TRUE(keyMadeByOpening);
    EXPECT_EQ(ValueNames(kParamKey), Texts{});
    EXPECT_EQ(RecordsOfTheDialog(records).size(), 0u) << "nothing changed, nothing is on the record";
}

TEST_F(PortNumbering, StoredIndexOpensCheckedAndClearingTheBoxDeletesIt)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    Shown first, second;
    WithMainDialog([&](HWND main) {
        HWND dlg = Open(main);
        first = Read(dlg);
        SetCheck(dlg, kStartFromBox, false);
        Click(dlg, IDOK);
        ExpectClosed(dlg);
        dlg = Open(main);
        second = Read(dlg);
        Click(dlg, IDCANCEL);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(first, (Shown{true, "7"}));
    EXPECT_EQ(second, (Shown{false, "0"}));
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), std::nullopt);
}

TEST_F(PortNumbering, CheckedNumbersAreStoredAsTheyAreRead)
{
    const struct {
        const char* entry;
        std::uint32_t stored;
        bool byEnter;
    } cases[] = {
        {" 12 ", 12, false},
        {"\t+12\t", 12, false},
        {"0012", 12, true},
        {"99999999999", 4294967295u, false},  // eleven digits, clamped
        {"4294967295", 4294967295u, true},
        {"1", 1, false},
    };
    WithMainDialog([&](HWND main) {
        for (const auto& row : cases) {
            SCOPED_TRACE(std::string("entry \"") + row.entry + "\"");
            WriteValue(kParamKey, kFirstPort, Dword(0xDEADBEEF));  // shown checked: the box stays so
            const HWND dlg = Open(main);
            SetText(dlg, kNumberField, row.entry);
            if (row.byEnter) {
                FocusControl(dlg, kNumberField);
                PressEnter(dlg);
            } else {
                Click(dlg, IDOK);
            }
            ExpectClosed(dlg);
            EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(row.stored));
        }
    });
}

TEST_F(PortNumbering, RefusedNumberTextKeepsTheDialogOpenAndTheValue)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    const char* const entries[] = {"-5", "abc", "12abc", "1 2", "", "   ", "+", "0x10", "+-3"};
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        for (const char* entry : entries) {
            SCOPED_TRACE(std::string("entry \"") + entry + "\"");
            SetText(dlg, kNumberField, entry);
            EXPECT_EQ(Refusal(dlg), kPositiveInteger);
            EXPECT_EQ(Read(dlg), (Shown{true, entry}));
            EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
        }
        Click(dlg, IDCANCEL);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
}

TEST_F(PortNumbering, NumberIsReadBeforeTheBoxSoLettersKeepTheValue)
{
    // Cleared, the box would delete FirstPort; the letters stop that first.
    WriteValue(kParamKey, kFirstPort, Dword(7));
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        Enter(dlg, false, "seven");
        EXPECT_EQ(Refusal(dlg), kPositiveInteger);
        EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
        PressEscape(dlg);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
}

TEST_F(PortNumbering, CheckedZeroIsNotAValidNumberButClearedZeroDeletes)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    const CEventRecorder records(Cpl());
    ASSERT_TRUE(records.Active());
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        for (const char* zero : {"0", " 000 "}) {
            SetText(dlg, kNumberField, zero);
            Click(dlg, IDOK);
            EXPECT_EQ(TakeBox(), "Please enter a valid number");
            EXPECT_TRUE(StaysOpenQuietly(dlg, 50));
            EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
        }
        SetCheck(dlg, kStartFromBox, false);
        Click(dlg, IDOK);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), std::nullopt);
    // Each refusal a warning, the change on the record with its old and new
    // index.
    const Texts refused{"Start from this index", "7", "0", "refused: Please enter a valid number"};
    EXPECT_EQ(RecordsOfTheDialog(records),
              (std::vector<std::pair<DWORD, Texts>>{
                  {1002, refused}, {1002, refused}, {1001, {"Start from this index", "7", "none", "changed"}}}));
}

TEST_F(PortNumbering, CancelEscapeAndCloseBoxStoreNothing)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    WithMainDialog([&](HWND main) {
        HWND dlg = Open(main);
        Enter(dlg, false, "7");  // OK would delete
        Click(dlg, IDCANCEL);
        ExpectClosed(dlg);

        dlg = Open(main);
        Enter(dlg, true, "9");
        PressEscape(dlg);
        ExpectClosed(dlg);

        dlg = Open(main);
        Enter(dlg, true, "12");
        ChooseSystemMenuCommand(dlg, SC_CLOSE);
        ExpectClosed(dlg);
        EXPECT_TRUE(NoMessageBox(kSelf, 50));
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));

    DeleteValue(kParamKey, kFirstPort);
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        Enter(dlg, true, "5");
        Click(dlg, IDCANCEL);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), std::nullopt);
}

TEST_F(PortNumbering, KeyThatCannotBeOpenedIsReportedAtOpeningAndOnOk)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    CImportFaults faults(Cpl());
    Texts atOpening;
    Shown shown;
    WithMainDialog([&](HWND main) {
        ASSERT_TRUE(faults.Inject("RegCreateKeyExA", ERROR_ACCESS_DENIED));
        const HWND dlg = OpenFromMain(main, kPortNumberingButton, kCaption, &atOpening);
        shown = Read(dlg);
        Enter(dlg, true, "5");
        Click(dlg, IDOK);
        EXPECT_EQ(TakeBox(), "Could not open registry key");
        ExpectClosed(dlg);
    });
    EXPECT_EQ(atOpening, Texts{"Could not open registry key"});
    EXPECT_EQ(shown, (Shown{false, "0"}));  // nothing could be read
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
}

TEST_F(PortNumbering, FailedWriteIsReportedAndTheDialogCloses)
{
    WriteValue(kParamKey, kFirstPort, Dword(7));
    CImportFaults faults(Cpl());
    WithMainDialog([&](HWND main) {
        ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
        const HWND dlg = Open(main);
        EXPECT_EQ(Read(dlg), (Shown{true, "7"}));
        SetText(dlg, kNumberField, "12");
        Click(dlg, IDOK);
        EXPECT_EQ(TakeBox(), "Could not write first port suffix");
        ExpectClosed(dlg);
    });
    EXPECT_EQ(ReadValue(kParamKey, kFirstPort), Dword(7));
}
