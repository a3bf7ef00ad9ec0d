// "Advanced Options" opened from the main dialog: the ports listed from the
// driver's report, each port's special-modes word shown and stored by
// Apply, refusals with their bounds, and registry data no driver would
// write.
#include <gtest/gtest.h>

#include <atomic>

#include "AdvancedDlg.h"
#include "ImportFaults.h"
#include "PortsTest.h"

using namespace portstest;

namespace {

constexpr char kCaption[] = "Advanced Options";
constexpr int kRxTimeout = 1003;
constexpr int kRxThreshold = 1004;
constexpr int kTxLoad = 1005;
constexpr int kApply = 1048;
constexpr int kExitButton = 1036;
constexpr int kMultidrop = 13;
constexpr int kHalfDuplex = 14;
constexpr int kPortList = 0;
constexpr std::uint32_t kDefaultWord = 0x01000C00;

// What the dialog shows for the selected port.
struct Modes {
    std::string timeout, threshold, load;
    bool multidrop = false, halfDuplex = false;
    bool operator==(const Modes& other) const
    {
        return timeout == other.timeout && threshold == other.threshold && load == other.load &&
               multidrop == other.multidrop && halfDuplex == other.halfDuplex;
    }
};
void PrintTo(const Modes& modes, std::ostream* out)
{
    *out << "Rx Timeout \"" << modes.timeout << "\", Rx Threshold \"" << modes.threshold << "\", Tx Load \""
         << modes.load << "\"" << (modes.multidrop ? ", multidrop" : "") << (modes.halfDuplex ? ", half duplex" : "");
}
const Modes kDefaults{"1", "0", "12", false, false};

Modes Read(HWND dlg, CallSite where = {})
{
    return {GetText(dlg, kRxTimeout, where), GetText(dlg, kRxThreshold, where),
            GetText(dlg, kTxLoad, where), IsChecked(dlg, kMultidrop, where),
            IsChecked(dlg, kHalfDuplex, where)};
}

// Half duplex first: checking it checks multidrop too.
void Type(HWND dlg, const Modes& modes, CallSite where = {})
{
    SetText(dlg, kRxTimeout, modes.timeout, where);
    SetText(dlg, kRxThreshold, modes.threshold, where);
    SetText(dlg, kTxLoad, modes.load, where);
    SetCheck(dlg, kHalfDuplex, modes.halfDuplex, where);
    SetCheck(dlg, kMultidrop, modes.multidrop, where);
}

HWND Open(HWND main, Texts* boxes = nullptr, CallSite where = {})
{
    return OpenFromMain(main, kAdvancedButton, kCaption, boxes, where);
}

// A user's choice of port, handled before this returns: the dialog's
// handler opens nothing, so the notification can be sent.
void Choose(HWND dlg, int index, CallSite where = {})
{
    const HWND list = GetDlgItem(dlg, kPortList);
    DWORD_PTR result = 0;
    if (!list || !SendMessageTimeoutA(list, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 2000, &result) ||
        static_cast<int>(result) != index) {
        Fail(where, "the port list has no item " + std::to_string(index));
        return;
    }
    SendMessageTimeoutA(dlg, WM_COMMAND, MAKEWPARAM(kPortList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list),
                        SMTO_ABORTIFHUNG, 2000, &result);
}

// Presses Apply expecting a refusal: its text, once the focus is in the
// refused field with its entry selected.
std::string Refusal(HWND dlg, int field, CallSite where = {})
{
    Click(dlg, kApply, where);
    const std::string text = TakeBox(kSelf, where);
    const int length = static_cast<int>(GetText(dlg, field, where).size());
    if (!WaitUntil([&] { return FocusedControlId(dlg) == field; }, 2000))
        Fail(where, "the focus is not in field " + std::to_string(field) + " after \"" + text + "\"");
    else if (Selection(dlg, field, where) != std::make_pair(0, length))
        Fail(where, "the entry is not selected after \"" + text + "\"");
    return text;
}

Texts PortNames(const std::string& prefix, std::uint32_t first, std::uint32_t count)
{
    Texts names;
    for (std::uint32_t i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(first + i));
    return names;
}

bool AllEditingDisabled(HWND dlg)
{
    for (int id : {kRxTimeout, kRxThreshold, kTxLoad, kApply, kMultidrop, kHalfDuplex})
        if (IsWindowEnabled(GetDlgItem(dlg, id)))
            return false;
    return true;
}

// A port-less dialog: an empty list, empty disabled fields, and an Apply
// command that still arrives (posted, as a stray accelerator would) stores
// nothing and says nothing.
void ExpectNoPortToEdit(HWND dlg, CallSite where = {})
{
    const testing::ScopedTrace trace(where.file, where.line, "a dialog without ports");
    EXPECT_EQ(ComboItems(dlg, kPortList), Texts{});
    EXPECT_EQ(ComboSelection(dlg, kPortList), -1);
    EXPECT_TRUE(AllEditingDisabled(dlg));
    EXPECT_EQ(Read(dlg), (Modes{"", "", "", false, false}));
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, kApply)));
    EXPECT_TRUE(StaysOpenQuietly(dlg));
    EXPECT_FALSE(KeyExists(kModesKey));
}

void ExitWith(HWND dlg, CallSite where = {})
{
    Click(dlg, kExitButton, where);
    ExpectClosed(dlg, where);
}

class AdvancedOptions : public CPortsTest {
protected:
    void SetUp() override
    {
        CPortsTest::SetUp();
        WritePorts(8, 3);
    }

    // Presses Apply and waits until the port's value holds the word; a
    // failure when it does not, or when Apply showed a box.
    void Apply(HWND dlg, const std::string& port, std::uint32_t word, CallSite where = {}) const
    {
        const Texts before = BoxesShown();
        Click(dlg, kApply, where);
        if (!WaitUntil([&] { return ReadValue(kModesKey, port) == Dword(word); }, 3000))
            Fail(where, "Apply did not store the word under " + port);
        Settle(dlg);
        if (BoxesShown() != before)
            Fail(where, "Apply showed \"" + BoxesShown().back() + "\"");
    }
};

}  // namespace

TEST_F(AdvancedOptions, PortsWithoutStoredModesShowTheDefaultsAndApplyStoresTheDefaultWord)
{
    Texts boxes, items;
    int selected = -2;
    Modes shown;
    bool openAfterApply = false;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        items = ComboItems(dlg, kPortList);
        selected = ComboSelection(dlg, kPortList);
        shown = Read(dlg);
        EXPECT_FALSE(KeyExists(kModesKey));
        Apply(dlg, "COM3", kDefaultWord);
        openAfterApply = StaysOpenQuietly(dlg, 50);
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes, Texts{});
    // In port order, not sorted as text: COM10 comes last.
    EXPECT_EQ(items, (Texts{"COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"}));
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(shown, kDefaults);
    EXPECT_TRUE(openAfterApply);
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM3"});
    EXPECT_EQ(ReadValue(kModesKey, "COM3"), Dword(kDefaultWord));
}

TEST_F(AdvancedOptions, ApplyStoresTheExactWordUnderTheSelectedPortsOwnName)
{
    WriteValue(kModesKey, "COM3", Dword(0x02030501));
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        Choose(dlg, 7);
        EXPECT_EQ(Read(dlg), kDefaults);
        Type(dlg, {"10", "8", "4", true, true});
        Apply(dlg, "COM10", 0x0A080403);
        ExitWith(dlg);
    });
    EXPECT_EQ(ValueNames(kModesKey), (Texts{"COM10", "COM3"}));
    EXPECT_EQ(ReadValue(kModesKey, "COM10"), Dword(0x0A080403));
    EXPECT_EQ(ReadValue(kModesKey, "COM3"), Dword(0x02030501));
}

TEST_F(AdvancedOptions, StoredWordsAreShownPortByPortWhateverTheirType)
{
    WriteValue(kModesKey, "COM4", Dword(0x0A080403));
    WriteValue(kModesKey, "COM5", RegValue{REG_BINARY, std::string("\x02\x05\x03\x07", 4)});
    WriteValue(kModesKey, "COM6", RegValue{REG_QWORD, std::string("\x01\x05\x03\x07\x00\x00\x00\x00", 8)});
    WriteValue(kModesKey, "COM7", Dword(0xFF0C01FC));  // bits 2 to 7 mean nothing
    WriteValue(kModesKey, "com8", Dword(0x02020202));  // value names ignore letter case
    std::vector<Modes> shown;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        for (int index = 0; index < 6; ++index) {
            Choose(dlg, index);
            shown.push_back(Read(dlg));
        }
        ExitWith(dlg);
    });
    const std::vector<Modes> expected = {
        kDefaults,                        // COM3: no value
        {"10", "8", "4", true, true},     // COM4
        {"7", "3", "5", false, true},     // COM5: 4 bytes of another type
        kDefaults,                        // COM6: 8 bytes count as no value
        {"255", "12", "1", false, false}, // COM7
        {"2", "2", "2", false, true},     // COM8
    };
    EXPECT_EQ(shown, expected);
}

TEST_F(AdvancedOptions, HalfDuplexChecksMultidropButNotTheReverse)
{
    Modes afterMultidrop, afterHalfDuplex, afterClearingMultidrop, afterOtherNotice;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        SetCheck(dlg, kMultidrop, true);
        afterMultidrop = Read(dlg);
        SetCheck(dlg, kMultidrop, false);
        SetCheck(dlg, kHalfDuplex, true);
        afterHalfDuplex = Read(dlg);
        SetCheck(dlg, kMultidrop, false);
        afterClearingMultidrop = Read(dlg);
        // Only a click of the box checks multidrop, no other notice of it.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(dlg, WM_COMMAND, MAKEWPARAM(kHalfDuplex, BN_DOUBLECLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(dlg, kHalfDuplex)), SMTO_ABORTIFHUNG, 2000, &ignored);
        afterOtherNotice = Read(dlg);
        // The boxes are stored as they stand.
        Apply(dlg, "COM3", 0x01000C02);
        ExitWith(dlg);
    });
    EXPECT_EQ(afterMultidrop, (Modes{"1", "0", "12", true, false}));
    EXPECT_EQ(afterHalfDuplex, (Modes{"1", "0", "12", true, true}));
    EXPECT_EQ(afterClearingMultidrop, (Modes{"1", "0", "12", false, true}));
    EXPECT_EQ(afterOtherNotice, afterClearingMultidrop);
}

TEST_F(AdvancedOptions, RefusedEntriesNameTheirBoundsAndChangeNothing)
{
    const Modes stored{"2", "3", "5", true, false};
    WriteValue(kModesKey, "COM3", Dword(0x02030501));
    const struct {
        std::vector<std::pair<int, const char*>> entries;
        int field;
        const char* message;
    } cases[] = {
        {{{kRxTimeout, "0"}}, kRxTimeout, "Please enter an integer between 1 and 255."},
        {{{kRxThreshold, "13"}}, kRxThreshold, "Please enter an integer between 0 and 12."},
        {{{kTxLoad, "0"}}, kTxLoad, "Please enter an integer between 1 and 12."},
        {{{kTxLoad, "13"}}, kTxLoad, "Please enter an integer between 1 and 12."},
        {{{kTxLoad, "300"}}, kTxLoad, "Please enter an integer between 0 and 255."},
        {{{kRxTimeout, "256"}}, kRxTimeout, "Please enter an integer between 0 and 255."},
        {{{kRxThreshold, "-1"}}, kRxThreshold, "Please enter an integer between 0 and 255."},
        {{{kRxTimeout, ""}}, kRxTimeout, "Please enter an integer between 0 and 255."},
        {{{kTxLoad, "four"}}, kTxLoad, "Please enter an integer between 0 and 255."},
        // Rx Timeout is read first, then Rx Threshold, then Tx Load.
        {{{kTxLoad, "0"}, {kRxThreshold, "99"}, {kRxTimeout, "0"}}, kRxTimeout,
         "Please enter an integer between 1 and 255."},
        {{{kTxLoad, "0"}, {kRxThreshold, "99"}}, kRxThreshold, "Please enter an integer between 0 and 12."},
    };
    Modes afterSwitching;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        ASSERT_EQ(Read(dlg), stored);
        for (const auto& row : cases) {
            std::string typed;
            for (const auto& [id, text] : row.entries)
                typed += "field " + std::to_string(id) + " \"" + text + "\"; ";
            SCOPED_TRACE(typed);
            Type(dlg, {"10", "8", "4", true, true});  // would be stored if accepted
            for (const auto& [id, text] : row.entries)
                SetText(dlg, id, text);
            EXPECT_EQ(Refusal(dlg, row.field), row.message);
            EXPECT_EQ(ReadValue(kModesKey, "COM3"), Dword(0x02030501));
        }
        // The port table kept COM3's word too.
        Choose(dlg, 1);
        Choose(dlg, 0);
        afterSwitching = Read(dlg);
        ExitWith(dlg);
    });
    EXPECT_EQ(afterSwitching, stored);
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM3"});
}

TEST_F(AdvancedOptions, ChoosingAnotherPortDropsWhatWasNotApplied)
{
    const Modes changed{"9", "4", "5", true, false};
    Modes backWithoutApply, otherPort, backAfterApply;
    bool storedBeforeApply = true;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        Type(dlg, changed);
        Choose(dlg, 1);
        Choose(dlg, 0);
        backWithoutApply = Read(dlg);
        storedBeforeApply = KeyExists(kModesKey);

        Type(dlg, changed);
        Apply(dlg, "COM3", 0x09040501);
        Choose(dlg, 1);
        otherPort = Read(dlg);
        Choose(dlg, 0);
        backAfterApply = Read(dlg);
        ExitWith(dlg);
    });
    EXPECT_EQ(backWithoutApply, kDefaults);
    EXPECT_FALSE(storedBeforeApply);
    EXPECT_EQ(otherPort, kDefaults);
    EXPECT_EQ(backAfterApply, changed);
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM3"});
}

TEST_F(AdvancedOptions, EnterDoesNothingAndExitEscapeOrCloseBoxStoreNothing)
{
    WithMainDialog([&](HWND main) {
        HWND dlg = Open(main);
        Type(dlg, {"9", "4", "5", true, false});
        for (int id : {kTxLoad, kRxTimeout, kMultidrop, kPortList}) {
            SCOPED_TRACE("Enter in control " + std::to_string(id));
            FocusControl(dlg, id);
            PressEnter(dlg);
            EXPECT_TRUE(StaysOpenQuietly(dlg));
        }
        EXPECT_EQ(Read(dlg), (Modes{"9", "4", "5", true, false}));
        PressEscape(dlg);
        ExpectClosed(dlg);

        dlg = Open(main);
        EXPECT_EQ(Read(dlg), kDefaults);
        Type(dlg, {"9", "4", "5", true, false});
        ExitWith(dlg);

        dlg = Open(main);
        Type(dlg, {"9", "4", "5", true, false});
        ChooseSystemMenuCommand(dlg, SC_CLOSE);
        ExpectClosed(dlg);
        EXPECT_TRUE(NoMessageBox(kSelf, 50));
    });
    EXPECT_FALSE(KeyExists(kModesKey));
}

TEST_F(AdvancedOptions, MissingPortValuesAreReportedAndNoPortIsOffered)
{
    DeleteValue(kParamKey, "TotalNumberOfPorts");
    DeleteValue(kParamKey, "PortsStartingAt");
    Texts boxes;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        ExpectNoPortToEdit(dlg);
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes,
              (Texts{"Couldn't get TotalNumberOfPorts from registry", "Couldn't read PortsStartingAt from registry"}));
}

TEST_F(AdvancedOptions, PortsStartAtZeroWhenTheirFirstNumberWasNeverRead)
{
    DeleteValue(kParamKey, "PortsStartingAt");
    WriteValue(kParamKey, "TotalNumberOfPorts", Dword(2));
    Texts boxes, items;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        items = ComboItems(dlg, kPortList);
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes, Texts{"Couldn't read PortsStartingAt from registry"});
    EXPECT_EQ(items, (Texts{"COM0", "COM1"}));
}

TEST_F(AdvancedOptions, EachOpeningReadsThePortsAgainAndKeepsWhatItCannotRead)
{
    Texts first, kept, reread, keptBoxes;
    WithMainDialog([&](HWND main) {
        HWND dlg = Open(main);
        first = ComboItems(dlg, kPortList);
        ExitWith(dlg);

        DeleteValue(kParamKey, "TotalNumberOfPorts");
        DeleteValue(kParamKey, "PortsStartingAt");
        DeleteValue(kParamKey, "PortNamePrefix");
        dlg = Open(main, &keptBoxes);
        kept = ComboItems(dlg, kPortList);
        ExitWith(dlg);

        WritePorts(2, 7);
        dlg = Open(main);
        reread = ComboItems(dlg, kPortList);
        ExitWith(dlg);
    });
    EXPECT_EQ(first, PortNames("COM", 3, 8));
    EXPECT_EQ(keptBoxes,
              (Texts{"Couldn't get TotalNumberOfPorts from registry", "Couldn't read PortsStartingAt from registry"}));
    EXPECT_EQ(kept, PortNames("COM", 3, 8));
    EXPECT_EQ(reread, (Texts{"COM7", "COM8"}));
}

TEST_F(AdvancedOptions, MissingParameterKeyIsNeitherReportedNorCreated)
{
    Texts boxes;
    bool keyAfter = true;
    WithMainDialog([&](HWND main) {
        DeleteKeyTree(kParamKey);  // the main dialog's opening made it
        const HWND dlg = Open(main, &boxes);
        ExpectNoPortToEdit(dlg);
        ExitWith(dlg);
        keyAfter = KeyExists(kParamKey);
    });
    EXPECT_EQ(boxes, Texts{});
    EXPECT_FALSE(keyAfter);
}

TEST_F(AdvancedOptions, NoPortsReportedLeavesNothingToEdit)
{
    WritePorts(0, 3);
    Texts boxes;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        ExpectNoPortToEdit(dlg);
        PressEscape(dlg);
        ExpectClosed(dlg);
    });
    EXPECT_EQ(boxes, Texts{});
}

TEST_F(AdvancedOptions, HugePortCountIsCutToWhatCanBeListed)
{
    WritePorts(4294967295u, 1);
    Texts boxes, items;
    Modes last;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        items = ComboItems(dlg, kPortList);
        Choose(dlg, 255);
        last = Read(dlg);
        Type(dlg, {"10", "8", "4", true, true});
        Apply(dlg, "COM256", 0x0A080403);
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes,
              Texts{"The driver reports 4294967295 ports starting at 1; only 256 of them can be configured here."});
    EXPECT_EQ(items, PortNames("COM", 1, 256));
    EXPECT_EQ(last, kDefaults);
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM256"});
}

TEST_F(AdvancedOptions, PortNumbersStopAtTheLargestNumber)
{
    WritePorts(8, 4294967290u);
    Texts boxes, items;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main, &boxes);
        items = ComboItems(dlg, kPortList);
        Choose(dlg, 5);
        Apply(dlg, "COM4294967295", kDefaultWord);
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes,
              Texts{"The driver reports 8 ports starting at 4294967290; only 6 of them can be configured here."});
    EXPECT_EQ(items, PortNames("COM", 4294967290u, 6));
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM4294967295"});
}

TEST_F(AdvancedOptions, PortValuesAreTakenFromAnyFourBytesAndLongerDataIsMissing)
{
    const std::string eightBytes("\x02\x00\x00\x00\x00\x00\x00\x00", 8);
    WriteValue(kParamKey, "TotalNumberOfPorts", RegValue{REG_QWORD, eightBytes});
    WriteValue(kParamKey, "PortsStartingAt", RegValue{REG_BINARY, eightBytes});
    Texts longBoxes, shortBoxes, longItems, shortItems;
    WithMainDialog([&](HWND main) {
        HWND dlg = Open(main, &longBoxes);
        longItems = ComboItems(dlg, kPortList);
        ExitWith(dlg);

        WriteValue(kParamKey, "TotalNumberOfPorts", RegValue{REG_BINARY, std::string("\x02\x00\x00\x00", 4)});
        WriteValue(kParamKey, "PortsStartingAt", RegValue{REG_NONE, std::string("\x05\x00\x00\x00", 4)});
        dlg = Open(main, &shortBoxes);
        shortItems = ComboItems(dlg, kPortList);
        ExitWith(dlg);
    });
    EXPECT_EQ(longBoxes,
              (Texts{"Couldn't get TotalNumberOfPorts from registry", "Couldn't read PortsStartingAt from registry"}));
    EXPECT_EQ(longItems, Texts{});
    EXPECT_EQ(shortBoxes, Texts{});
    EXPECT_EQ(shortItems, (Texts{"COM5", "COM6"}));
}

TEST_F(AdvancedOptions, PrefixChangedInTheMainDialogNamesThePortsAnew)
{
    WriteValue(kModesKey, "COM3", Dword(0x0A080403));
    WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, " lpt ");
        Click(main, IDOK);  // Exit stores the prefix
        ExpectClosed(main);
    });
    Texts items;
    Modes shown;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        items = ComboItems(dlg, kPortList);
        shown = Read(dlg);
        Apply(dlg, "LPT3", kDefaultWord);
        ExitWith(dlg);
    });
    EXPECT_EQ(items, PortNames("LPT", 3, 8));
    EXPECT_EQ(shown, kDefaults);  // COM3's word is not LPT3's
    EXPECT_EQ(ValueNames(kModesKey), (Texts{"COM3", "LPT3"}));
    EXPECT_EQ(ReadValue(kModesKey, "COM3"), Dword(0x0A080403));
}

TEST_F(AdvancedOptions, LongPrefixIsUsedWholeAndOneNoNameCanHoldIsReported)
{
    // A value name holds 16383 characters; port numbers take up to 10.
    const std::string longPrefix(120, 'P');
    const std::string longest(16373, 'Q');
    const std::string tooLong(16374, 'R');
    Texts longItems, longestItems, boxes, tooLongItems, comItems;
    bool tooLongDisabled = false;
    WithMainDialog([&](HWND main) {
        WriteValue(kParamKey, "PortNamePrefix", Sz(longPrefix));
        HWND dlg = Open(main, &boxes);
        longItems = ComboItems(dlg, kPortList);
        Apply(dlg, longPrefix + "3", kDefaultWord);
        ExitWith(dlg);

        WriteValue(kParamKey, "PortNamePrefix", Sz(longest));
        dlg = Open(main, &boxes);
        longestItems = ComboItems(dlg, kPortList);
        ExitWith(dlg);

        WriteValue(kParamKey, "PortNamePrefix", Sz(tooLong));
        dlg = Open(main, &boxes);
        tooLongItems = ComboItems(dlg, kPortList);
        tooLongDisabled = AllEditingDisabled(dlg);
        ExitWith(dlg);

        WriteValue(kParamKey, "PortNamePrefix", Sz("COM"));
        dlg = Open(main, &boxes);
        comItems = ComboItems(dlg, kPortList);
        ExitWith(dlg);
    });
    EXPECT_EQ(longItems, PortNames(longPrefix, 3, 8));
    ASSERT_EQ(longestItems.size(), 8u);
    EXPECT_TRUE(longestItems.front() == longest + "3" && longestItems.back() == longest + "10");
    EXPECT_EQ(boxes, Texts{"The Port Name Prefix is too long to name the ports; shorten it in the main dialog."});
    EXPECT_EQ(tooLongItems, Texts{});
    EXPECT_TRUE(tooLongDisabled);
    EXPECT_EQ(comItems, PortNames("COM", 3, 8));
    EXPECT_EQ(ValueNames(kModesKey), Texts{longPrefix + "3"});
}

TEST_F(AdvancedOptions, KeyThatCannotBeOpenedIsReportedAndTheWordKeptOnScreen)
{
    CImportFaults faults(Cpl());
    Modes kept;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        ASSERT_TRUE(faults.Inject("RegCreateKeyExA", ERROR_ACCESS_DENIED));
        Type(dlg, {"9", "4", "5", true, false});
        Click(dlg, kApply);
        EXPECT_EQ(TakeBox(), "Could not open registry key");
        EXPECT_TRUE(StaysOpenQuietly(dlg, 50));
        Choose(dlg, 1);
        Choose(dlg, 0);
        kept = Read(dlg);
        ExitWith(dlg);
    });
    EXPECT_EQ(kept, (Modes{"9", "4", "5", true, false}));
    EXPECT_FALSE(KeyExists(kModesKey));
}

TEST_F(AdvancedOptions, FailedWriteIsReportedAndTheWordKeptOnScreen)
{
    WriteValue(kModesKey, "COM3", Dword(0x02030501));
    CImportFaults faults(Cpl());
    Modes kept;
    WithMainDialog([&](HWND main) {
        const HWND dlg = Open(main);
        ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
        Type(dlg, {"9", "4", "5", true, false});
        Click(dlg, kApply);
        EXPECT_EQ(TakeBox(), "Could not write the magic data");
        EXPECT_TRUE(StaysOpenQuietly(dlg, 50));
        Choose(dlg, 1);
        Choose(dlg, 0);
        kept = Read(dlg);
        ExitWith(dlg);
    });
    EXPECT_EQ(kept, (Modes{"9", "4", "5", true, false}));
    EXPECT_EQ(ReadValue(kModesKey, "COM3"), Dword(0x02030501));
}

namespace {

// The module's next allocation of one size fails, as when memory runs out.
std::atomic<std::size_t> g_failingSize{0};
void* g_realMalloc = nullptr;

void* __cdecl MallocFailingOnce(std::size_t size)
{
    std::size_t armed = size;
    if (size != 0 && g_failingSize.compare_exchange_strong(armed, 0))
        return nullptr;
    return reinterpret_cast<void*(__cdecl*)(std::size_t)>(g_realMalloc)(size);
}

HWND WINAPI FailingCreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

}  // namespace

TEST_F(AdvancedOptions, WithoutItsHalfDuplexBoxTheDialogStillWorks)
{
    CImportHook hook(Cpl(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(MallocFailingOnce));
    ASSERT_TRUE(hook);
    g_realMalloc = hook.original();
    Texts boxes;
    bool hasHalfDuplex = true;
    std::string otherPortLoad;
    bool otherPortMultidrop = true;
    WithMainDialog([&](HWND main) {
        g_failingSize = sizeof(qb480::CHalfDuplexCheckBox);
        const HWND dlg = Open(main, &boxes);
        hasHalfDuplex = GetDlgItem(dlg, kHalfDuplex) != nullptr;
        EXPECT_EQ(ComboItems(dlg, kPortList), PortNames("COM", 3, 8));
        SetText(dlg, kTxLoad, "4");
        SetCheck(dlg, kMultidrop, true);
        Apply(dlg, "COM3", 0x01000401);
        Choose(dlg, 1);
        otherPortLoad = GetText(dlg, kTxLoad);
        otherPortMultidrop = IsChecked(dlg, kMultidrop);
        ExitWith(dlg);
    });
    EXPECT_EQ(g_failingSize, 0u) << "the allocation to fail never came";
    EXPECT_EQ(boxes, Texts{"Cannot create CheckBox"});
    EXPECT_FALSE(hasHalfDuplex);
    EXPECT_EQ(otherPortLoad, "12");
    EXPECT_FALSE(otherPortMultidrop);
}

TEST_F(AdvancedOptions, ControlsThatCannotBeCreatedAreReportedAndNothingIsEditable)
{
    Texts boxes;
    WithMainDialog([&](HWND main) {
        // Only the controls the dialog makes itself come through the
        // module's own CreateWindowExA; its template's do not.
        CImportHook hook(Cpl(), "user32.dll", "CreateWindowExA",
                                  reinterpret_cast<void*>(FailingCreateWindowExA));
        ASSERT_TRUE(hook);
        const HWND dlg = Open(main, &boxes);
        for (int id : {kMultidrop, kHalfDuplex, kPortList})
            EXPECT_EQ(GetDlgItem(dlg, id), nullptr) << "control " << id;
        for (int id : {kRxTimeout, kRxThreshold, kTxLoad, kApply})
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, id))) << "control " << id;
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, kApply)));
        EXPECT_TRUE(StaysOpenQuietly(dlg));
        ExitWith(dlg);
    });
    EXPECT_EQ(boxes, (Texts{"Could not create Checkbox", "Could not create Checkbox", "ComboBox not created"}));
    EXPECT_FALSE(KeyExists(kModesKey));
}
