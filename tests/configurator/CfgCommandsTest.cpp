// The configurator's commands on the simulated board: each takes the
// applet's own steps and writes what the applet writes, and a refused
// value writes nothing.
#include "CfgRun.h"
#include "EventRecords.h"

#include "qb480version.h"

using namespace cfgtest;

namespace {

constexpr char kRegistered[] = "The service VDXQB480 is registered.";
constexpr char kRegisteredAlready[] = "The service VDXQB480 is registered already: it is left as it is.";
constexpr char kSettingsStored[] = "The settings are stored.";
constexpr char kDriverRuns[] = "The driver is running: it takes the new settings at its next start.";
constexpr char kNothingToChange[] = "Nothing to change: the machine holds every setting given.";

using CfgCommands = CCfgTest;

}  // namespace

TEST_F(CfgCommands, InstallRegistersWhatTheAppletsFirstOpeningRegisters)
{
    ASSERT_TRUE(PlaceBoardDriver());
    DoubleClick([&] {
        if (const HWND board = WaitForDialog(kBoardCaption, kSelf))
            StoreBoardEntries(board, {"D0000", "300", "5"});
        if (const HWND main = WaitForDialog(kMainCaption, kSelf))
            Click(main, kExit);
    });
    const RegistryPicture applet = ReadRegistryPicture();
    ASSERT_FALSE(applet.service.empty());
    ASSERT_TRUE(ResetBaseline());
    ASSERT_TRUE(PlaceBoardDriver());
    const CfgResult run = Run("install /mem d0000 /port 300 /irq 5");
    EXPECT_EQ(run.code, 0u);
    EXPECT_EQ(run.lines, (Texts{kRegistered, "Memory Address: changed from not stored to D0000",
                                "Port Address: changed from not stored to 300", "IRQ: changed from not stored to 5",
                                "Port Name Prefix: changed from not stored to COM", kStored, kSettingsStored}));
    EXPECT_EQ(run.windows, Texts{});
    EXPECT_EQ(ReadRegistryPicture(), applet);
    EXPECT_EQ(AuditSourceProblems(), "");
}

TEST_F(CfgCommands, InstallAgainLeavesTheServiceAndStillAppliesTheSettings)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("TTY")));
    const CfgResult run = Run("install /mem D0000 /port 300 /irq 7");
    EXPECT_EQ(run.code, 0u);
    EXPECT_EQ(run.lines, (Texts{kRegisteredAlready, "Memory Address: changed from not stored to D0000",
                                "Port Address: changed from not stored to 300", "IRQ: changed from not stored to 7",
                                kStored, kSettingsStored}));
    // The applet registers for automatic start: the service was not touched.
    EXPECT_EQ(QueryServiceConfiguration(kServiceName)->startType, DWORD{SERVICE_DEMAND_START});
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(7));
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("TTY"));
    EXPECT_EQ(Run("install").lines, (Texts{kRegisteredAlready, kNothingToChange}));
}

TEST_F(CfgCommands, ShowReadsTheBoardAndCreatesNoKey)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    const CfgResult stopped = Run("show");
    EXPECT_EQ(stopped.code, 0u);
    EXPECT_EQ(stopped.lines,
              (Texts{"Service VDXQB480: stopped", "Driver version: Driver not active",
                     "Firmware version: Driver not active", "Memory Address: 0", "Port Address: 0", "IRQ: 0",
                     "Port Name Prefix: (not stored)", "Start from this index: none",
                     "TotalNumberOfPorts: (not stored)", "PortsStartingAt: (not stored)"}));
    EXPECT_FALSE(KeyExists(kParamKey));

    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    WriteValue(kParamKey, "PortNamePrefix", Sz("COM"));
    WriteValue(kParamKey, "MEM_SEG", Dword(0xD0000));
    WriteValue(kParamKey, "FirstPort", Dword(5));
    WriteValue(kModesKey, "COM4", Dword(0x05030A03));
    const Texts running = Run("show").lines;
    ASSERT_EQ(running.size(), 18u);
    EXPECT_EQ(running[0], "Service VDXQB480: running");
    EXPECT_EQ(running[1], "Driver version: QB480 test driver 1.0");
    EXPECT_EQ(running[3], "Memory Address: D0000");
    EXPECT_EQ(running[7], "Start from this index: 5");
    EXPECT_EQ(running[8], "TotalNumberOfPorts: 8");
    EXPECT_EQ(running[10],
              "Port COM3: Rx Timeout 1, Rx Threshold 0, Tx Load 12, RS-485 Multidrop Mode Enabled no, RS-485 Half "
              "Duplex Mode Enabled no (not stored: the default); COM database: not checked");
    EXPECT_EQ(running[11],
              "Port COM4: Rx Timeout 5, Rx Threshold 3, Tx Load 10, RS-485 Multidrop Mode Enabled yes, RS-485 Half "
              "Duplex Mode Enabled yes; COM database: not checked");
    EXPECT_EQ(ValueNames(kModesKey), Texts{"COM4"});
    // A prefix too long to name any port is said so, not printed whole.
    WriteValue(kParamKey, "PortNamePrefix", Sz(std::string(16374, 'P')));
    const Texts tooLong = Run("show").lines;
    ASSERT_GE(tooLong.size(), 7u);
    EXPECT_EQ(tooLong[6], "Port Name Prefix: (too long to name the ports)");
}

TEST_F(CfgCommands, SetJudgesEveryValueBeforeItWritesAny)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(Run("set /mem D0000 /port 300 /irq 5 /prefix com").code, 0u);
    const RegistryPicture before = ReadRegistryPicture();
    const std::pair<const char*, const char*> refusals[] = {
        {"/prefix tty /irq 99", "IRQ not in acceptable range"},
        {"/irq 7 /first 0", "Please enter a valid number"},
        {"/first x", "Please enter a positive integer."},
        {"/mem D8000", "The memory address must be evenly divisible by 64K"},
    };
    for (const auto& [switches, message] : refusals) {
        const CfgResult run = Run(std::string("set ") + switches);
        EXPECT_EQ(run.code, 4u) << switches;
        EXPECT_EQ(run.lines, Texts{message});
        EXPECT_EQ(ReadRegistryPicture(), before) << switches;
    }
    EXPECT_EQ(Run("set /prefix \" tty \" /first 4 /irq 7").lines,
              (Texts{"IRQ: changed from 5 to 7", "Port Name Prefix: changed from COM to TTY",
                     "Start from this index: changed from none to 4", kStored, kSettingsStored}));
    EXPECT_EQ(ReadValue(kParamKey, "PortNamePrefix"), Sz("TTY"));
    EXPECT_EQ(ReadValue(kParamKey, "FirstPort"), Dword(4));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(7));
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xD0000));
    EXPECT_EQ(Run("set /first NONE").code, 0u);
    EXPECT_FALSE(ReadValue(kParamKey, "FirstPort"));
}

// The audit trail as Wine's trace shows it: each change with its old and
// new value, who made it and how; a refusal as a warning; nothing for what
// changes nothing; a record that cannot be written is said, and the change
// stays made.
TEST_F(CfgCommands, EveryChangeIsOnTheRecordAndNothingThatChangesNothing)
{
    using qb480::audit::Field;
    if (!CWineStderr().Captured())
        GTEST_SKIP() << "run by qb480cfg.Records, with Wine's trace of the records";
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(Run("set /mem D0000 /port 300 /irq 5").code, 0u);
    const CfgResult set = Run("set /irq 7 /reason \"CR-17: new card\"");
    EXPECT_EQ(set.lines, (Texts{"IRQ: changed from 5 to 7", kStored, kSettingsStored}));
    const std::vector<EventRecord> records = RecordsIn(set.trace);
    ASSERT_EQ(records.size(), 1u);
    const EventRecord& irq = records[0];
    EXPECT_EQ(irq.id, 0x448003E9u);
    EXPECT_EQ(irq.type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(irq.category, 1);
    EXPECT_EQ(irq.strings.size(), qb480::audit::kStringCount);
    EXPECT_EQ((Texts{irq.At(Field::Subject), irq.At(Field::Old), irq.At(Field::New), irq.At(Field::Outcome),
                     irq.At(Field::Means), irq.At(Field::Sha256), irq.At(Field::Reason)}),
              (Texts{"IRQ", "5", "7", "changed", "qb480cfg set", "-", "CR-17: new card"}));
    EXPECT_EQ(irq.At(Field::AccountSid).rfind("S-1-5-", 0), 0u) << irq.At(Field::AccountSid);
    EXPECT_EQ(irq.At(Field::InitiatorSid), irq.At(Field::AccountSid)) << "nobody else asked for it";
    EXPECT_EQ(irq.At(Field::Program), InFolder("qb480cfg.exe"));
    EXPECT_EQ(irq.At(Field::Json).rfind("{\"v\":1,\"event\":1001,\"type\":\"information\",", 0), 0u);

    // Its own export imported, checked or tried changes nothing: no record.
    ASSERT_EQ(Run("export own.ini").code, 0u);
    for (const char* same : {"import own.ini", "check own.ini", "set /irq 3 /whatif"})
        EXPECT_EQ(RecordsIn(Run(same).trace).size(), 0u) << same;

    // A refused import: a warning for the value refused, naming the file by
    // the SHA-256 of its bytes; the machine's value was not looked at.
    ASSERT_TRUE(WriteFileBytes(InFolder("bad.ini"), "[Board Settings]\r\nMemory Address = D8000\r\n"));
    const CfgResult refused = Run("import bad.ini");
    EXPECT_EQ(refused.code, 2u);
    const std::vector<EventRecord> warned = RecordsIn(refused.trace);
    ASSERT_EQ(warned.size(), 1u);
    const EventRecord& memory = warned[0];
    EXPECT_EQ(memory.id & 0xFFFF, 1002u);
    EXPECT_EQ(memory.type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ((Texts{memory.At(Field::Subject), memory.At(Field::Old), memory.At(Field::New),
                     memory.At(Field::Outcome), memory.At(Field::Means), memory.At(Field::Sha256)}),
              (Texts{"Memory Address", "-", "D8000",
                     "refused: The settings file bad.ini, line 2: Memory Address = D8000: The memory address must be "
                     "evenly divisible by 64K",
                     "qb480cfg import bad.ini", "8b555d8cf7371a7c7a225dfb35a10d626499d5be806466d67edb82dc8baa8bd6"}));

    // The log refuses the record: the change stays, and the run says so.
    const CfgResult unrecorded = Run("set /irq 9", {{"ReportEventW", RPC_S_INVALID_BOUND}});
    EXPECT_EQ(unrecorded.code, 9u);
    ASSERT_EQ(unrecorded.lines.size(), 4u);
    EXPECT_EQ(unrecorded.lines[1].rfind("The change is made, but its record is missing from the Windows event log: ", 0),
              0u);
    EXPECT_NE(unrecorded.lines[1].find("(error 1734)"), std::string::npos) << unrecorded.lines[1];
    EXPECT_EQ(unrecorded.lines[3], "The settings are stored, but not every change is on the record: see the line above.");
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(9));
}

// A file's port sections are the state wanted: imported where other words
// are stored, every port ends as on the machine that exported it.
TEST_F(CfgCommands, AnExportImportedOnAnotherMachineMakesItMatch)
{
    RunDriver();
    ASSERT_EQ(Run("set /mem E0000 /port 2A0 /irq 11 /prefix Com /first 3").code, 3010u);
    WriteValue(kModesKey, "COM3", Dword(0x05030A03));
    WriteValue(kModesKey, "COM10", Dword(0xFF0C0101));
    const CfgResult exported = Run("export \"board settings.ini\"");
    EXPECT_EQ(exported.lines, Texts{"The settings are written to board settings.ini."});
    // A file that cannot be made fails with the system's reason.
    const CfgResult unwritten = Run("export \"no folder\\board.ini\"");
    EXPECT_EQ(unwritten.code, 2u);
    ASSERT_EQ(unwritten.lines.size(), 1u);
    EXPECT_EQ(unwritten.lines[0].rfind("The settings file no folder\\board.ini cannot be written: ", 0), 0u);
    EXPECT_EQ(unwritten.lines[0].substr(unwritten.lines[0].size() - 10), " (error 3)") << unwritten.lines[0];
    const std::string file = ReadFileBytes(InFolder("board settings.ini")).value_or("");
    EXPECT_EQ(file.rfind(std::string("; qb480cfg ") + QB480_VERSION_TEXT + " settings, machine ", 0), 0u) << file;
    // A port without a word has the default one: the target stores a word
    // only where it held another (COM5), and shows the same values.
    const auto values = [&] {
        Texts lines = Run("show").lines;
        for (std::string& line : lines)
            if (const std::size_t at = line.find(" (not stored: the default)"); at != std::string::npos)
                line.erase(at, std::string(" (not stored: the default)").size());
        return lines;
    };
    const Texts shown = values();

    ASSERT_TRUE(ResetBaseline());
    RunDriver();
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("COM")));
    WriteValue(kModesKey, "COM5", Dword(0x0A000101));
    EXPECT_EQ(Run("check \"board settings.ini\"").code, 10u);
    const CfgResult imported = Run("import \"board settings.ini\"");
    EXPECT_EQ(imported.code, 3010u);
    EXPECT_EQ(imported.lines.back(), kDriverRuns);
    EXPECT_EQ(Run("check \"board settings.ini\"").code, 0u);
    EXPECT_EQ(values(), shown);
    EXPECT_EQ(ReadValue(kModesKey, "COM5"), Dword(0x01000C00));  // the default word
    EXPECT_EQ(ReadValue(kModesKey, "COM6"), std::nullopt);
}

TEST_F(CfgCommands, AnImportWithOneFaultWritesNothing)
{
    RunDriver();
    const RegistryPicture before = ReadRegistryPicture();
    const std::string good = "[Board Settings]\r\nMemory Address = D0000\r\nPort Address = 300\r\nIRQ = 5\r\n"
                             "[Port Numbering]\r\nPort Name Prefix = COM\r\n[Port COM3]\r\nRx Timeout = 9\r\n";
    const std::pair<std::string, std::string> faults[] = {
        {good + "Tx Load = 13\r\n", "The settings file board.ini, line 9: Tx Load = 13: "},
        {good + "[Port COM11]\r\nTx Load = 3\r\n", "The settings file board.ini, line 9: the board has no port COM11"},
        {good + "[Ports]\r\n", "The settings file board.ini, line 9: unknown section [Ports]"},
        {"; only a comment\r\n\r\n", "The settings file board.ini: gives no setting"},
    };
    for (const auto& [text, refusal] : faults) {
        ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), text));
        const CfgResult run = Run("import board.ini");
        EXPECT_EQ(run.code, 2u) << refusal;
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_EQ(run.lines[0].rfind(refusal, 0), 0u) << run.lines[0];
        EXPECT_EQ(ReadRegistryPicture(), before) << refusal;
    }
    EXPECT_EQ(Run("import missing.ini").code, 2u);
}

TEST_F(CfgCommands, RemoveTakesTheDriverAwayUnlessItRuns)
{
    RunDriver();
    const CfgResult refused = Run("remove");
    EXPECT_EQ(refused.code, 3u);
    EXPECT_EQ(refused.lines, Texts{"The driver is active. Please close all the applications that are using qb480 "
                                   "ports and then stop the driver manually before attempting to remove it."});
    EXPECT_TRUE(IsServiceListed(kServiceName));
    ASSERT_EQ(StopService(kServiceName), 0u);
    EXPECT_EQ(Run("remove").lines, Texts{"The driver is removed."});
    EXPECT_TRUE(WaitUntilUnlisted(kServiceName));
    EXPECT_FALSE(FileExists(BoardDriverPath()));
    const CfgResult again = Run("remove");
    EXPECT_EQ(again.code, 0u);
    EXPECT_EQ(again.lines, Texts{"The service VDXQB480 is not registered: there is nothing to remove."});
}
