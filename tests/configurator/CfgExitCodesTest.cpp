// Every end of a configurator run has its code, as a Windows parent reads
// it, its last line, and the same lines in its log, which ends with the code.
#include "CfgRun.h"
#include "ImportFaults.h"

using namespace cfgtest;

namespace {

enum class Board { Fresh, DriverFile, Registered, Running };

struct CodeCase {
    const char* name;
    Board board;
    std::string arguments;  // followed by /log run.log
    std::vector<std::pair<std::string, DWORD>> faults;
    DWORD code;
    std::string last;  // the last output line
};
void PrintTo(const CodeCase& row, std::ostream* out) { *out << row.name; }

constexpr char kUsageHint[] = " qb480cfg.exe /? shows the usage.";
constexpr char kBoard[] = "/mem D0000 /port 300 /irq 5";

class CfgExitCodes : public CCfgTest, public ::testing::WithParamInterface<CodeCase> {
protected:
    void SetUpBoard(Board board)
    {
        if (board == Board::DriverFile) {
            ASSERT_TRUE(PlaceBoardDriver());
        }
        if (board == Board::Registered || board == Board::Running) {
            ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
        }
        if (board == Board::Running) {
            ASSERT_EQ(StartDriverService(kServiceName), 0u);
        }
    }
};

}  // namespace

TEST_P(CfgExitCodes, EndsWithItsCodeItsLineAndItsLog)
{
    const CodeCase& row = GetParam();
    SetUpBoard(row.board);
    const CfgResult run = Run(row.arguments + " /log run.log", row.faults);
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.windows, Texts{});
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), row.last);
    Texts log = StampedLogLines(InFolder("run.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().rfind("qb480cfg ", 0), 0u) << log.front();
    EXPECT_EQ(log.back(), "exit code " + std::to_string(row.code));
    EXPECT_EQ(Texts(log.begin() + 1, log.end() - 1), run.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CfgExitCodes,
    ::testing::Values(
        CodeCase{"RefusedSetting", Board::Registered, "set /irq 16", {}, 4, "IRQ not in acceptable range"},
        CodeCase{"IrqNoNumber", Board::Registered, "set /irq 5x", {}, 4, "Please enter a positive integer."},
        CodeCase{"PrefixTooLong", Board::Registered, "set /prefix " + std::string(16374, 'P'), {}, 4,
                 "The Port Name Prefix is too long to name the ports."},
        CodeCase{"NoDriverFile", Board::Fresh, "install", {}, 6, "Driver file not found"},
        CodeCase{"ServiceNotCreated", Board::DriverFile, "install", {{"CreateServiceA", ERROR_ACCESS_DENIED}}, 5,
                 "Create service failed: installation aborted"},
        CodeCase{"WritesFail", Board::Registered, std::string("set ") + kBoard, {{"RegSetValueExA", ERROR_ACCESS_DENIED}},
                 9, "Not every setting could be stored: see the lines above."},
        // The key cannot be made: a dialog would close as if stored, a
        // script must learn it; likewise a service that cannot be deleted.
        CodeCase{"KeyNotCreated", Board::Registered, std::string("set ") + kBoard,
                 {{"RegCreateKeyExA", ERROR_ACCESS_DENIED}}, 9, "Not every setting could be stored: see the lines above."},
        CodeCase{"ServiceNotDeleted", Board::Registered, "remove", {{"DeleteService", ERROR_ACCESS_DENIED}}, 9,
                 "failure: DeleteService "},
        CodeCase{"DriverRuns", Board::Running, std::string("install ") + kBoard, {}, 3010,
                 "The driver is running: it takes the new settings at its next start."},
        // Ctrl+C while the board is read, before anything is written: the
        // run ends at once, with its line and its code.
        CodeCase{"CancelledBeforeAChange", Board::Registered, std::string("set ") + kBoard,
                 {{"SetConsoleCtrlHandler", 0}, {"OpenSCManagerA", kDeliverCtrlC}}, 1602,
                 "Cancelled (Ctrl+C, Ctrl+Break or the console closed): no further step is taken."}),
    [](const auto& info) { return std::string(info.param.name); });

// A refused line opens nothing, its log included: a value that carries a
// /log of its own ahead of the caller's must not choose a file to write.
TEST_F(CCfgTest, ARefusedLineOpensNothing)
{
    const std::pair<std::string, std::string> refused[] = {
        {"configure /log run.log", "Unknown command: configure."},
        {"set /irq \"\" /log run.log", "The switch /irq needs a value."},
        {"set /prefix X /log planted.bat /log run.log", "The switch /log is given twice."},
    };
    for (const auto& [arguments, error] : refused) {
        const CfgResult run = Run(arguments);
        EXPECT_EQ(run.code, 1u) << arguments;
        EXPECT_EQ(run.lines, Texts{error + kUsageHint});
        EXPECT_FALSE(FileExists(InFolder("planted.bat")));
        EXPECT_FALSE(FileExists(InFolder("run.log")));
    }
    const CfgResult noLog = Run("show /log \"no such folder\\run.log\"");
    EXPECT_EQ(noLog.code, 1u);
    EXPECT_EQ(noLog.lines, Texts{"The log file no such folder\\run.log cannot be opened."});
}

// With administrator rights, a log or an export whose way leads through a
// link that a user could have put there is refused, and nothing is written
// where the link leads.
TEST_F(CCfgTest, NoFileIsWrittenThroughALinkWithAdministratorRights)
{
    CreateDirectoryA(InFolder("target").c_str(), nullptr);
    ASSERT_TRUE(MakeLink(InFolder("link"), InFolder("target")));
    const CfgResult log = Run("show /log link\\run.log");
    EXPECT_EQ(log.code, 1u);
    EXPECT_EQ(log.lines, Texts{"The log file link\\run.log lies behind a junction or a symbolic link, and a run with "
                               "administrator rights writes through none."});
    const CfgResult exported = Run("export link\\board.ini");
    EXPECT_EQ(exported.code, 2u);
    EXPECT_EQ(exported.lines, Texts{"The settings file link\\board.ini cannot be written: it lies behind a junction or "
                                    "a symbolic link, and a run with administrator rights writes through none"});
    EXPECT_EQ(FolderListing(InFolder("target")), std::vector<std::string>{});
    EXPECT_TRUE(RemoveLink(InFolder("link")));
}

// Each line goes at the end of the log as it is then, also where the file
// system does not keep FILE_APPEND_DATA's writes there (a share may not).
TEST_F(CCfgTest, TheLogGoesOnAtTheEndOfTheFile)
{
    ASSERT_TRUE(WriteFileBytes(InFolder("run.log"), "2026-01-02 03:04:05 an earlier run\r\n"));
    EXPECT_EQ(Run("show /log run.log", {{"CreateFileA", 0}}).code, 0u);
    const Texts log = StampedLogLines(InFolder("run.log"));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "an earlier run");
    EXPECT_EQ(log[1].rfind("qb480cfg ", 0), 0u) << log[1];
    EXPECT_EQ(log.back(), "exit code 0");
}
