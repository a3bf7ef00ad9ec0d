// qb480load.exe started by a script: its exit codes as a Windows parent
// reads them (the Linux shell sees them modulo 256), no window in a quiet
// run, its log, and one load at a time on the machine.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "EventRecords.h"
#include "LoaderRun.h"
#include "Sha256.h"
#include "LockSquatter.h"
#include "Remote.h"
#include "qb480version.h"
#include "resource.h"

using namespace loadertest;

namespace {

constexpr char kBoardValues[] = "/mem D0000 /port 300 fw.hex";

enum class Board { NoDriver, DriverStopped, DriverRunning, HelperRefuses };

struct ScriptedCase {
    const char* name;
    Board board;
    std::string arguments;  // after "/quiet /log run.log"
    Faults faults;
    DWORD code;
    std::string message;       // the log's last message
    std::string line;          // another line the log must hold; empty: none
    bool registers;            // the run got as far as the helper's key
    DWORD memSeg = 0, port = 0;  // what a download delivered, when one did
};
void PrintTo(const ScriptedCase& row, std::ostream* out) { *out << row.name; }

class QuietRun : public LoaderRun, public ::testing::WithParamInterface<ScriptedCase> {
protected:
    void SetUpBoard(Board board)
    {
        if (board == Board::DriverStopped || board == Board::DriverRunning) {
            ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
            WriteValue(kDriverParamKey, "MEM_SEG", Dword(0xE0000));
            WriteValue(kDriverParamKey, "PORT", Dword(0x2A0));
        }
        if (board == Board::DriverRunning) {
            ASSERT_EQ(StartDriverService("VDXQB480"), 0u);
        }
        if (board == Board::HelperRefuses)
            WriteValue(kTestKey, "LoaderFailStart", Dword(1));
    }
};

}  // namespace

// Every end has its code, its message last in the log, and no window.
TEST_P(QuietRun, EndsWithItsCodeAndNoWindow)
{
    const ScriptedCase& row = GetParam();
    SetUpBoard(row.board);
    const std::string hex = IntelHex(FirmwareImage(2000, 60));
    WriteFileBytes(InFolder("fw.hex"), row.code == 2 ? WithBadChecksum(hex) : hex);
    // The helper is slow, so that a progress window would be seen.
    WriteValue(kTestKey, "LoaderDelayMs", Dword(300));
    const ScriptedRun run = RunScripted("/quiet /log run.log " + row.arguments, row.faults);
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.windows, Texts{});
    const Texts log = LogLines();
    ASSERT_GE(log.size(), 3u);
    const auto isMessage = [](const std::string& line) { return line.rfind("Message: ", 0) == 0; };
    const auto lastMessage = std::find_if(log.rbegin(), log.rend(), isMessage);
    ASSERT_NE(lastMessage, log.rend());
    EXPECT_EQ(*lastMessage, "Message: " + row.message);
    EXPECT_EQ(log.back(), "exit code " + std::to_string(row.code));
    if (!row.line.empty()) {
        EXPECT_NE(std::find(log.begin(), log.end(), row.line), log.end()) << row.line;
    }
    if (!row.registers) {
        EXPECT_FALSE(KeyExists(kLoaderParamKey));
    }
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
    if (row.memSeg)
        ExpectDelivered(FirmwareImage(2000, 60), row.memSeg, row.port);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, QuietRun,
    ::testing::Values(
        ScriptedCase{"Loaded", Board::NoDriver, "/mem d0000 /port 300 fw.hex", {}, 0, kLoaded,
                     "Board parameters from the command line: memory segment D0000, port 300", true, 0xD0000, 0x300},
        ScriptedCase{"BadHexFile", Board::NoDriver, kBoardValues, {}, 2, kConversionFailed,
                     "Conversion failed: bad checksum, line 1", false},
        ScriptedCase{"DriverActive", Board::DriverRunning, kBoardValues, {}, 3, kDriverActive,
                     "/mem and /port are ignored: the board driver is installed.", false},
        ScriptedCase{"BoardParametersMissing", Board::NoDriver, "/mem D0000 fw.hex", {}, 4,
                     "The board driver is not installed: the board parameters are needed, given as /mem SEGMENT "
                     "/port PORT.",
                     "", false},
        ScriptedCase{"BoardParametersRefused", Board::NoDriver, "/mem D0000 /port 3fe fw.hex", {}, 4,
                     "The port address must be evenly divisible by 4", "", false},
        ScriptedCase{"HelperNotRegistered", Board::NoDriver, kBoardValues, {{"CreateServiceA", ERROR_ACCESS_DENIED}},
                     5, kInstallAborted, "Message: Unknown error encountered: CreateService", true},
        ScriptedCase{"DownloadFailed", Board::HelperRefuses, kBoardValues, {}, 6, kStartFailed, "", true},
        ScriptedCase{"DriverValuesOverTheCommandLine", Board::DriverStopped, kBoardValues, {}, 0, kLoaded,
                     "Board parameters from the driver's key: memory segment E0000, port 2A0", true, 0xE0000, 0x2A0},
        ScriptedCase{"StepFailedOnTheWay", Board::NoDriver, kBoardValues,
                     {{"EnumServicesStatusA", ERROR_ACCESS_DENIED}}, 9, kLoaded, "Message: EnumServiceStatus failed",
                     true, 0xD0000, 0x300}),
    [](const auto& info) { return std::string(info.param.name); });

// A HEX file of another extension, relative to the current directory: its
// title names the image. The log is appended to, one stamped line per step.
TEST_F(LoaderRun, QuietRunLogsEveryStep)
{
    WriteFileBytes(InFolder("run.log"), "2026-01-02 03:04:05 an earlier run\r\n");
    const std::string image = FirmwareImage(3000, 61);
    WriteFileBytes(Subfolder("fw v2") + "\\qb480.2.dat", IntelHex(image));
    const std::string arguments = "-Q -Log run.log /mem D0000 /port 300 \"fw v2\\qb480.2.dat\"";
    EXPECT_EQ(RunScripted(arguments).code, 0u);
    ExpectDelivered(image, 0xD0000, 0x300, "qb480.2.bin");
    EXPECT_EQ(LogLines(), (Texts{
        "an earlier run",
        "qb480load " QB480_VERSION_TEXT ", command line: \"" + InFolder("qb480load.exe") + "\" " + arguments,
        "HEX file: " + InFolder("fw v2\\qb480.2.dat"),
        "Image: " + ImageFile("qb480.2.bin"),
        "Board parameters from the command line: memory segment D0000, port 300",
        "Registering the helper service: " + InFolder("loader.sys"),
        "Starting the helper service.",
        "The helper service started and was told to stop.",
        "Message: The firmware was successfully loaded into the card",
        "The helper service was deleted.",
        "exit code 0",
    }));
}

// The load on the record, read back from Wine's trace: the HEX file by the
// SHA-256 of its bytes, the image and its size; a HEX file refused is a
// warning.
TEST_F(LoaderRun, AFirmwareLoadIsOnTheRecord)
{
    using qb480::audit::Field;
    CWineStderr wine;
    if (!wine.Captured())
        GTEST_SKIP() << "run by qb480load.Records, with Wine's trace of the records";
    const std::string hex = IntelHex(FirmwareImage(3000, 61));
    WriteFileBytes(InFolder("fw.hex"), hex);
    ASSERT_EQ(RunScripted("/quiet /mem D0000 /port 300 fw.hex").code, 0u);
    qb480::CSha256 digest;
    digest.Add(hex.data(), hex.size());
    const std::vector<EventRecord> loaded = RecordsIn(wine.NewLines());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].id & 0xFFFF, 2001u);
    EXPECT_EQ(loaded[0].category, 2);
    EXPECT_EQ((Texts{loaded[0].At(Field::Subject), loaded[0].At(Field::Old), loaded[0].At(Field::New),
                     loaded[0].At(Field::Outcome), loaded[0].At(Field::Sha256)}),
              (Texts{InFolder("fw.hex"), ImageFile("fw.bin"), "3000", "loaded", digest.HexDigest()}));

    WriteFileBytes(InFolder("bad.hex"), ":00000001FE\r\nnot a record\r\n");
    EXPECT_EQ(RunScripted("/quiet /mem D0000 /port 300 bad.hex").code, 2u);
    const std::vector<EventRecord> refused = RecordsIn(wine.NewLines());
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(refused[0].At(Field::New), "(not set)") << "no image was written";
    EXPECT_EQ(refused[0].At(Field::Outcome).rfind("refused: Conversion failed: ", 0), 0u) << refused[0].At(Field::Outcome);
}

// A refused line opens nothing, its log included.
TEST_F(LoaderRun, ARefusedLineOpensNothing)
{
    PlaceFirmware(600, 62);
    for (const char* arguments : {"/quiet /log run.log /force fw.hex", "/quiet /log planted.bat /log run.log fw.hex"}) {
        EXPECT_EQ(RunScripted(arguments).code, 1u) << arguments;
        EXPECT_FALSE(FileExists(InFolder("planted.bat")));
        EXPECT_FALSE(FileExists(InFolder("run.log")));
    }
}

// A run without arguments holds the lock from its start, and a set-up
// program of another session, an administrator's, would take it by its
// global name.
TEST_F(LoaderRun, OneLoadAtATimeOnTheMachine)
{
    PlaceFirmware(600, 63);
    ASSERT_TRUE(Start());
    CChild second("\"" + InFolder("qb480load.exe") + "\" /quiet /log second.log " + kBoardValues, Folder());
    EXPECT_EQ(second.Wait(10000), 1618u);
    EXPECT_EQ(LogLines("second.log").rbegin()[1], std::string("Message: ") + kAnotherLoad);
    Click(MainDialog(), IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);

    const MachineState before = ReadMachineState();
    PSECURITY_DESCRIPTOR administrators = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)",
                                                                     SDDL_REVISION_1, &administrators, nullptr));
    SECURITY_ATTRIBUTES security{sizeof security, administrators, FALSE};
    const fw::UniqueKernelHandle held(CreateMutexA(&security, TRUE, kSetupLockGlobalName));
    LocalFree(administrators);
    ASSERT_TRUE(held);
    ASSERT_TRUE(Launch());
    EXPECT_EQ(BoxesUntilExit(), Texts{kAnotherLoad});
    EXPECT_EQ(ExitCode(), 1618u);
    ExpectMachineUnchanged(before);
}

// A standard user who made the lock's name first stops no load: the run
// passes the name over and says so.
TEST_F(LoaderRun, AStandardUserHoldingTheLocksNameStopsNoLoad)
{
    const CLockSquatter squatter(CLockSquatter::Security::AdmitsNoOne);
    ASSERT_TRUE(squatter.Holds());
    const std::string image = PlaceFirmware(600, 66);
    EXPECT_EQ(RunScripted(std::string("/quiet /log run.log ") + kBoardValues).code, 0u);
    ExpectDelivered(image, 0xD0000, 0x300);
    const Texts log = LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "The set-up lock's name Global\\Tessaline.QB480.Setup is held by a program that is no "
                        "administrator's: passed over."),
              log.end());
}

struct ShownCase {
    const char* name;
    std::string arguments;
    bool confirms;  // the confirmation comes first
    Texts boxes;
    DWORD code;
};

class ShownRun : public LoaderRun, public ::testing::WithParamInterface<ShownCase> {};

// Without /quiet every message is a box; a HEX file on the command line
// still waits for the confirmation, and no Open dialog follows it.
TEST_P(ShownRun, ShowsItsMessagesAndEndsWithItsCode)
{
    const ShownCase& row = GetParam();
    PlaceFirmware(600, 64);
    ASSERT_TRUE(Launch(row.arguments));
    if (row.confirms) {
        ASSERT_TRUE(WaitForDialog(kCaption, pid()));
        int unused = 0;
        if (row.code == 7) {
            ASSERT_TRUE(CallInProcess(pid(), QB480_LOADER_PROBE_DLL, "TruncateProgramPath", &unused, sizeof unused));
        }
        Click(WaitForDialog(kCaption, pid()), IDOK);
    }
    EXPECT_EQ(BoxesUntilExit(), row.boxes);
    EXPECT_EQ(ExitCode(), row.code);
    EXPECT_FALSE(IsServiceListed("loader"));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ShownRun,
    ::testing::Values(ShownCase{"ProgramFolderUnknown", kBoardValues, true, {"Could not detect current path"}, 7},
                      ShownCase{"BoardParametersRefused", "/mem D8000 /port 300 fw.hex", true,
                                {"The memory address must be evenly divisible by 64K"}, 4},
                      ShownCase{"LogThatCannotBeOpened", "/log \"no such folder\\run.log\" fw.hex", false,
                                {"The log file no such folder\\run.log cannot be opened."}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, UsageInAnInformationBox)
{
    ASSERT_TRUE(Launch("/?"));
    const auto box = TakeMessageBox(pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, kCaption);
    EXPECT_EQ(box->icon, MessageBoxIcon::Information);
    EXPECT_NE(box->text.find("qb480load.exe [/quiet] [/log FILE] [/mem SEGMENT /port PORT] HEXFILE"),
              std::string::npos);
    EXPECT_EQ(ExitCode(), 0u);
}
