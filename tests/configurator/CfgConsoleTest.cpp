// The configurator as Windows' own console tools behave: its text in the
// code page each reader expects, and Ctrl+C that never leaves a step half
// done.
#include "CfgRun.h"
#include "ImportFaults.h"

using namespace cfgtest;

namespace {

constexpr char kCancelled[] = "Cancelled (Ctrl+C, Ctrl+Break or the console closed): no further step is taken.";

}  // namespace

// A prefix with an É: 0xC9 in the ANSI code page (1252), 0x90 in the OEM
// one (437 or 850). A file or pipe gets the OEM byte, as cmd and PowerShell
// read it; the log keeps ANSI, for Notepad; a console shows the character.
TEST_F(CCfgTest, TextComesInTheCodePageItsReaderExpects)
{
    ASSERT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(GetOEMCP() == 437 || GetOEMCP() == 850) << GetOEMCP();
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(Run("set /prefix T\xC9").code, 0u);

    const CfgResult redirected = Run("show /log run.log");
    EXPECT_TRUE(Holds(redirected.lines, "Port Name Prefix: T\x90")) << ::testing::PrintToString(redirected.lines);
    const Texts log = StampedLogLines(InFolder("run.log"));
    EXPECT_TRUE(Holds(log, "Port Name Prefix: T\xC9"));
    const std::vector<std::wstring> screen = RunOnConsole("show");
    EXPECT_NE(std::find(screen.begin(), screen.end(), L"Port Name Prefix: T\u00C9"), screen.end())
        << ::testing::PrintToString(screen);
}

// Ctrl+C while an import stores the board settings: that step is stored
// whole, the prefix after it is not, and the code says cancelled.
TEST_F(CCfgTest, CtrlCDuringAnImportFinishesTheStepAndTakesNoOther)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), "[Board Settings]\r\nMemory Address = D0000\r\n"
                                                      "Port Address = 300\r\nIRQ = 5\r\n[Port Numbering]\r\n"
                                                      "Port Name Prefix = TTY\r\n"));
    const CfgResult run =
        Run("import board.ini /log run.log", {{"SetConsoleCtrlHandler", 0}, {"RegSetValueExA", kDeliverCtrlC}});
    EXPECT_EQ(run.code, 1602u);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), kCancelled);
    EXPECT_EQ(ReadValue(kParamKey, "MEM_SEG"), Dword(0xD0000));
    EXPECT_EQ(ReadValue(kParamKey, "PORT"), Dword(0x300));
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(5));
    EXPECT_FALSE(ReadValue(kParamKey, "PortNamePrefix"));
    const Texts log = StampedLogLines(InFolder("run.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.rbegin()[1], kCancelled);
    EXPECT_EQ(log.back(), "exit code 1602");
}

// The session ends (shutdown, restart, logoff) while an import stores the
// board settings: a console program that loads user32 hears of it only by
// its window. The end is held off while the step finishes, and no further
// step is taken.
TEST_F(CCfgTest, ASessionEndDuringAnImportFinishesTheStepAndTakesNoOther)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), "[Board Settings]\r\nMemory Address = D0000\r\n"
                                                      "Port Address = 300\r\nIRQ = 5\r\n[Port Numbering]\r\n"
                                                      "Port Name Prefix = TTY\r\n"));
    const CfgResult run = Run("import board.ini /log run.log", {{"RegSetValueExA", kDeliverSessionEnd}});
    EXPECT_EQ(RecordedNumber("WM_QUERYENDSESSION", "answer"), DWORD{FALSE});
    EXPECT_EQ(run.code, 1602u);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), kCancelled);
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(5));
    EXPECT_FALSE(ReadValue(kParamKey, "PortNamePrefix"));
    const Texts log = StampedLogLines(InFolder("run.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.rbegin()[1], kCancelled);
    EXPECT_EQ(log.back(), "exit code 1602");
}

// Ctrl+C while install registers the service: the registration finishes
// with its event-log entry, the settings are left for the next run.
TEST_F(CCfgTest, CtrlCDuringAnInstallFinishesTheRegistration)
{
    ASSERT_TRUE(PlaceBoardDriver());
    const CfgResult run =
        Run("install /mem D0000 /port 300 /irq 5", {{"SetConsoleCtrlHandler", 0}, {"RegSetValueExA", kDeliverCtrlC}});
    EXPECT_EQ(run.code, 1602u);
    EXPECT_EQ(run.lines, (Texts{"The service VDXQB480 is registered.", kCancelled}));
    EXPECT_TRUE(IsServiceListed(kServiceName));
    // The Sources list first, the source's two values after it.
    EXPECT_TRUE(ReadValue(kSourceKey, "EventMessageFile"));
    EXPECT_TRUE(ReadValue(kSourceKey, "TypesSupported"));
    EXPECT_FALSE(ReadValue(kParamKey, "MEM_SEG"));
}
