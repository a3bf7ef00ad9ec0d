// The first opening on a machine where the driver file lies in the drivers
// folder and no service is registered: the service, the event-log entry and
// the board settings, then the main dialog; and the ways it is cut short.
#include "AppletSession.h"
#include "DebugOutput.h"
#include "EventRecords.h"
#include "ImportFaults.h"

using namespace harness;
using namespace std::string_literals;

namespace {

using FirstOpening = CAppletTest;

const std::string kMessageFiles =
    "%SystemRoot%\\System32\\IOLOGMSG.DLL;%SystemRoot%\\System32\\Drivers\\vdxqb480.sys\0"s;
const std::string kAuditMessageFile = "%SystemRoot%\\System32\\qb480msg.dll\0"s;
// What the audit trail's source says when the registry refuses it.
const std::string kAuditSourceRefused = "The event log source \"Tessaline QB480\" cannot be registered: ";
const std::string kAuditEntryRefused =
    kAuditSourceRefused + "its entry under HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application cannot be written.";

// The first opening's steps for an administrator who cancels the board
// settings and leaves the main dialog with Escape.
void CancelFirstOpening()
{
    if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
        Click(board, IDCANCEL);
    if (const HWND main = WaitForDialog(kMainCaption, kSelf))
        PressEscape(main);
}

void ExpectEventLogEntry(CallSite where = {})
{
    const auto files = ReadValue(kSourceKey, "EventMessageFile");
    const auto types = ReadValue(kSourceKey, "TypesSupported");
    if (!files || *files != RegValue{REG_EXPAND_SZ, kMessageFiles})
        Fail(where, "EventMessageFile is " + (files ? ::testing::PrintToString(*files) : "absent"));
    if (!types || *types != Dword(7))
        Fail(where, "TypesSupported is " + (types ? ::testing::PrintToString(*types) : "absent"));
}

void ExpectNothingRegistered(const std::optional<RegValue>& sourcesBefore, CallSite where = {})
{
    if (IsServiceListed(kServiceName))
        Fail(where, "the service VDXQB480 was registered");
    if (KeyExists(kServiceKey))
        Fail(where, "the service's key was written");
    if (KeyExists(kSourceKey))
        Fail(where, "the event-log entry was written");
    if (ReadValue(kEventLogKey, "Sources") != sourcesBefore)
        Fail(where, "the event log's Sources changed");
}

}  // namespace

TEST_F(FirstOpening, RegistersTheDriverServiceForAutomaticStart)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const LONG result = DoubleClick([&] {
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
            StoreBoardEntries(board, {"D0000", "300", "5"});
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            Click(main, kExit);
    });
    EXPECT_EQ(result, 0);
    const auto config = QueryServiceConfiguration(kServiceName);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->type, DWORD{SERVICE_KERNEL_DRIVER});
    EXPECT_EQ(config->startType, DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(config->errorControl, DWORD{SERVICE_ERROR_NORMAL});
    EXPECT_EQ(config->imagePath, BoardDriverPath());
    EXPECT_EQ(config->displayName, kServiceName);
    EXPECT_EQ(ServiceState(kServiceName), std::optional<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xD0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x300));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(5));
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("COM"));
}

TEST_F(FirstOpening, AsksForTheBoardSettingsBeforeTheMainDialogShowsItsFields)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const LONG result = DoubleClick([&] {
        const HWND board = WaitForDialog(kBoardCaption, kSelf);
        if (!board)
            return;
        const HWND main = FindDialog(kMainCaption, kSelf);
        EXPECT_TRUE(main) << "the main dialog's opening is under way";
        if (main) {
            EXPECT_FALSE(IsWindowVisible(main));
            ExpectMainFields(main, "", "", "");
        }
        EXPECT_FALSE(ReadValue(kParamKey, "PortNamePrefix"));
        EXPECT_EQ(ReadBoardEntries(board), (BoardEntries{"0", "0", "0"}));
        Click(board, IDCANCEL);
        EXPECT_TRUE(WaitGone(board));
        const HWND shown = WaitForDialog(kMainCaption, kSelf);
        if (!shown)
            return;
        EXPECT_EQ(shown, main);
        ExpectMainFields(shown, kDriverNotActive, kDriverNotActive, "COM");
        EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("COM"));
        PressEscape(shown);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxesShown(), Texts{});
    EXPECT_TRUE(IsServiceListed(kServiceName));
    for (const char* value : {"MEM_SEG", "PORT", "IRQ"})
        EXPECT_FALSE(ReadValue(kParamKey, value)) << value << " stored although the settings were cancelled";
}

TEST_F(FirstOpening, WritesTheDriversEventLogEntry)
{
    ASSERT_TRUE(PlaceBoardDriver());
    CRegWriteRecorder recorder(Cpl());
    ASSERT_TRUE(recorder.Active());
    const CEventRecorder records(Cpl());
    DoubleClick(CancelFirstOpening);
    ExpectEventLogEntry();
    // The driver's source in the System log, then the set-up's own in the
    // Application log, with the record of the registration.
    EXPECT_EQ(recorder.Writes("EventMessageFile"), (std::vector<RegValue>{RegValue{REG_EXPAND_SZ, kMessageFiles},
                                                                         RegValue{REG_EXPAND_SZ, kAuditMessageFile}}));
    EXPECT_EQ(recorder.Writes("TypesSupported"), (std::vector<RegValue>{Dword(7), Dword(7)}));
    EXPECT_EQ(AuditSourceProblems(), "");
    const std::vector<EventRecord> written = records.Records();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].id & 0xFFFF, 3001u);
    EXPECT_EQ(written[0].At(qb480::audit::Field::Means), "first opening of the Control Panel applet");
    EXPECT_EQ(written[1].At(qb480::audit::Field::Subject), "Port Name Prefix");
}

struct SourcesCase {
    const char* name;
    std::optional<std::string> before, after;
};

class EventLogSources : public CAppletTest, public ::testing::WithParamInterface<SourcesCase> {};

TEST_P(EventLogSources, AreAppendedOnlyWhenTheExactNameIsMissing)
{
    const SourcesCase& sources = GetParam();
    if (sources.before)
        ASSERT_TRUE(WriteValue(kEventLogKey, "Sources", MultiSz(*sources.before)));
    else
        ASSERT_TRUE(DeleteValue(kEventLogKey, "Sources"));
    ASSERT_TRUE(PlaceBoardDriver());
    CRegWriteRecorder recorder(Cpl());
    ASSERT_TRUE(recorder.Active());
    DoubleClick(CancelFirstOpening);
    const auto after = ReadValue(kEventLogKey, "Sources");
    if (sources.after)
        EXPECT_EQ(after, MultiSz(*sources.after));
    else
        EXPECT_FALSE(after) << "Sources was created";
    const std::vector<RegValue> written = recorder.Writes("Sources");
    if (sources.after != sources.before)
        EXPECT_EQ(written, std::vector<RegValue>{MultiSz(*sources.after)}) << "the bytes given to the registry";
    else
        EXPECT_EQ(written, std::vector<RegValue>{}) << "an unchanged list is not written";
    ExpectEventLogEntry();
}

INSTANTIATE_TEST_SUITE_P(
    FirstOpening, EventLogSources,
    ::testing::Values(SourcesCase{"TwoNames", "i8042prt\0Tcp\0\0"s, "i8042prt\0Tcp\0vdxqb480\0\0"s},
                      SourcesCase{"AlreadyListed", "Tcp\0vdxqb480\0Serial\0\0"s, "Tcp\0vdxqb480\0Serial\0\0"s},
                      SourcesCase{"ListedInUpperCase", "VDXQB480\0\0"s, "VDXQB480\0vdxqb480\0\0"s},
                      SourcesCase{"EmptyList", "\0\0"s, "\0\0"s},
                      SourcesCase{"Absent", std::nullopt, std::nullopt}),
    [](const ::testing::TestParamInfo<SourcesCase>& info) { return std::string(info.param.name); });

TEST_F(FirstOpening, SecondOpeningInstallsNothing)
{
    ASSERT_TRUE(PlaceBoardDriver());
    DoubleClick([&] {
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
            StoreBoardEntries(board, {"E0000", "2A0", "7"});
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            Click(main, kExit);
    });
    ASSERT_TRUE(IsServiceListed(kServiceName));
    // Sentinels that a second installation would overwrite.
    ASSERT_TRUE(WriteValue(kEventLogKey, "Sources", MultiSz("Tcp\0\0"s)));
    ASSERT_TRUE(WriteValue(kSourceKey, "TypesSupported", Dword(99)));
    ASSERT_TRUE(DeleteValue(kSourceKey, "EventMessageFile"));
    const LONG result = DoubleClick([&] {
        // Board settings asked for again would keep it from showing.
        const HWND main = WaitForDialog(kMainCaption, kSelf);
        if (!main)
            return;
        ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
        PressEscape(main);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxesShown(), Texts{kStored}) << "only the first opening's settings were confirmed";
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), MultiSz("Tcp\0\0"s));
    EXPECT_EQ(ReadValue(kSourceKey, "TypesSupported"), Dword(99));
    EXPECT_FALSE(ReadValue(kSourceKey, "EventMessageFile"));
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xE0000));
}

TEST_F(FirstOpening, EventLogWriteFailuresAreReportedAndTheInstallationGoesOn)
{
    ASSERT_TRUE(WriteValue(kEventLogKey, "Sources", MultiSz("Tcp\0\0"s)));
    ASSERT_TRUE(PlaceBoardDriver());
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), "Could not set the REG_MULTI_SZ value, maybe you could do it yourself...");
        EXPECT_EQ(TakeBox(), "Could not set the REG_EXPAND_SZ value, maybe you could do it yourself...");
        EXPECT_EQ(TakeBox(), "Could not set the REG_DWORD value, maybe you could do it yourself...");
        EXPECT_EQ(TakeBox(), kAuditEntryRefused);
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
            Click(board, IDCANCEL);
        EXPECT_EQ(TakeBox(), "Could not write Port Name Prefix");
        const HWND main = WaitForDialog(kMainCaption, kSelf);
        if (!main)
            return;
        ExpectMainFields(main, kDriverNotActive, kDriverNotActive, "COM");
        PressEscape(main);
    });
    EXPECT_TRUE(IsServiceListed(kServiceName));
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), MultiSz("Tcp\0\0"s));
    EXPECT_FALSE(ReadValue(kSourceKey, "EventMessageFile"));
}

namespace {

// Where the installation is cut short, and the boxes that say so.
enum class Cut { NoDriverFile, NoSystemFolder, RefusedRegistration };

struct EarlyEndCase {
    const char* name;
    Cut cut;
    Texts boxes;
};

class EarlyEnd : public CAppletTest, public ::testing::WithParamInterface<EarlyEndCase> {};

}  // namespace

TEST_P(EarlyEnd, RegistersNothingAndLeavesTheFieldsEmpty)
{
    const EarlyEndCase& row = GetParam();
    if (row.cut != Cut::NoDriverFile) {
        ASSERT_TRUE(PlaceBoardDriver());
    }
    const auto sources = ReadValue(kEventLogKey, "Sources");
    CImportHook noSystemFolder;
    CImportFaults faults(Cpl());
    if (row.cut == Cut::NoSystemFolder) {
        noSystemFolder =
            CImportHook(Cpl(), nullptr, "GetSystemDirectoryA", reinterpret_cast<void*>(NoSystemDirectory));
        ASSERT_TRUE(noSystemFolder) << "qb480.cpl does not import GetSystemDirectoryA";
    }
    if (row.cut == Cut::RefusedRegistration) {
        ASSERT_TRUE(faults.Inject("CreateServiceA", ERROR_CIRCULAR_DEPENDENCY));
    }
    const LONG result = DoubleClick([&] {
        for (const std::string& text : row.boxes)
            EXPECT_EQ(TakeBox(), text);
        const HWND main = WaitForDialog(kMainCaption, kSelf);
        if (!main)
            return;
        ExpectMainFields(main, "", "", "");
        PressEscape(main);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxesShown(), row.boxes);
    ExpectNothingRegistered(sources);
    EXPECT_EQ(FileExists(BoardDriverPath()), row.cut != Cut::NoDriverFile) << "the driver file was touched";
}

INSTANTIATE_TEST_SUITE_P(
    FirstOpening, EarlyEnd,
    ::testing::Values(EarlyEndCase{"MissingDriverFile", Cut::NoDriverFile, {"Driver file not found"}},
                      // Ends as for a missing file.
                      EarlyEndCase{"UnknownSystemFolder", Cut::NoSystemFolder, {"Could not detect system path"}},
                      EarlyEndCase{"RefusedServiceRegistration",
                                   Cut::RefusedRegistration,
                                   {"  Circular service dependency was specified.",
                                    "Create service failed: installation aborted"}}),
    [](const ::testing::TestParamInfo<EarlyEndCase>& info) { return std::string(info.param.name); });

TEST_F(FirstOpening, OkAtOnceOnTheZerosOfNewSettingsIsRefused)
{
    ASSERT_TRUE(PlaceBoardDriver());
    DoubleClick([&] {
        const HWND board = WaitForDialog(kBoardCaption, kSelf);
        if (!board)
            return;
        Click(board, IDOK);
        // The memory address is judged first.
        EXPECT_EQ(TakeBox(), "Zero is not allowed");
        EXPECT_TRUE(Settle(board));
        EXPECT_TRUE(IsWindowVisible(board));
        Click(board, IDCANCEL);
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            PressEscape(main);
    });
    EXPECT_EQ(BoxesShown(), Texts{"Zero is not allowed"});
    for (const char* value : {"MEM_SEG", "PORT", "IRQ"})
        EXPECT_FALSE(ReadValue(kParamKey, value)) << value;
}

TEST_F(FirstOpening, UnopenableEventLogKeyIsReportedAndTheInstallationGoesOn)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const auto sources = ReadValue(kEventLogKey, "Sources");
    CImportFaults faults(Cpl());
    // The one key the applet opens with full access.
    ASSERT_TRUE(faults.InjectForAccess("RegOpenKeyExA", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED));
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), "Could not open EventLog key");
        EXPECT_EQ(TakeBox(), kAuditSourceRefused + "the Application log's key cannot be opened.");
        CancelFirstOpening();
    });
    EXPECT_EQ(BoxesShown(), (Texts{"Could not open EventLog key",
                                   kAuditSourceRefused + "the Application log's key cannot be opened."}));
    EXPECT_TRUE(IsServiceListed(kServiceName));
    EXPECT_FALSE(KeyExists(kSourceKey));
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), sources);
}

// The creates the applet asks with full access are the sources' entries:
// the driver's is left out silently, the audit trail's is said.
TEST_F(FirstOpening, UncreatableSourceEntryIsLeftOutSilently)
{
    ASSERT_TRUE(WriteValue(kEventLogKey, "Sources", MultiSz("Tcp\0\0"s)));
    ASSERT_TRUE(PlaceBoardDriver());
    CImportFaults faults(Cpl());
    ASSERT_TRUE(faults.InjectForAccess("RegCreateKeyExA", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED));
    DoubleClick([&] {
        EXPECT_EQ(TakeBox(), kAuditEntryRefused);
        CancelFirstOpening();
    });
    EXPECT_EQ(BoxesShown(), Texts{kAuditEntryRefused});
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), MultiSz("Tcp\0vdxqb480\0\0"s));
    EXPECT_FALSE(KeyExists(kSourceKey));
    EXPECT_TRUE(IsServiceListed(kServiceName));
}

namespace {

using QueryFunction = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
QueryFunction g_realQuery = nullptr;
int g_sourcesQueries = 0;

// The list's size can be asked, but the list itself not read.
LONG WINAPI SourcesUnreadableAfterTheProbe(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                           LPDWORD size)
{
    if (name && std::string(name) == "Sources" && ++g_sourcesQueries > 1)
        return ERROR_ACCESS_DENIED;
    return g_realQuery(key, name, reserved, type, data, size);
}

}  // namespace

TEST_F(FirstOpening, SourcesThatCannotBeReadAreLeftAloneAndTheEntryWritten)
{
    ASSERT_TRUE(WriteValue(kEventLogKey, "Sources", MultiSz("Tcp\0\0"s)));
    ASSERT_TRUE(PlaceBoardDriver());
    g_sourcesQueries = 0;
    CImportHook hook(Cpl(), nullptr, "RegQueryValueExA", reinterpret_cast<void*>(SourcesUnreadableAfterTheProbe));
    ASSERT_TRUE(hook);
    g_realQuery = reinterpret_cast<QueryFunction>(hook.original());
    DoubleClick(CancelFirstOpening);
    EXPECT_EQ(g_sourcesQueries, 3) << "the System log's list, probed and read, and the Application log's, probed";
    EXPECT_EQ(BoxesShown(), Texts{});
    EXPECT_EQ(ReadValue(kEventLogKey, "Sources"), MultiSz("Tcp\0\0"s));
    ExpectEventLogEntry();
}

TEST_F(FirstOpening, WritesTheDebugLineBeforeAskingAnything)
{
    ASSERT_TRUE(PlaceBoardDriver());
    CDebugOutputRecorder recorder;
    std::vector<std::string> beforeBoardSettings;
    DoubleClick([&] {
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf)) {
            beforeBoardSettings = recorder.Messages();
            Click(board, IDCANCEL);
        }
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            PressEscape(main);
    });
    EXPECT_EQ(beforeBoardSettings, std::vector<std::string>{"\nTesting if driver is installed\n\n"});
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"\nTesting if driver is installed\n\n"});
}
