// Failures of the registry and the Service Control Manager made inside the
// running program (its own imports patched while it waits for the
// confirmation): each is reported with its text, the run goes on or ends as
// it should, and no service is left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include "LoaderRun.h"
#include "resource.h"

using namespace loadertest;

// Every write fails: each is reported, the dialog still closes, and the
// helper, finding no values, refuses the download.
TEST_F(LoaderRun, FailedRegistryWritesAreEachReported)
{
    PlaceFirmware(800, 40);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(InjectFaults(Child(), {{"RegSetValueExA", ERROR_ACCESS_DENIED}}));
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    SetText(board, IDC_MEMORY_SEGMENT, "D0000");
    SetText(board, IDC_PORT_ADDRESS, "300");
    Click(board, IDOK);
    EXPECT_EQ(BoxesUntilExit(), (Texts{"Could not write MemSeg", "Could not write Port",
                                       "Could not write Firmware filename", kStartFailed}));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(board));
    const HelperRecord record = ReadHelperRecord();
    EXPECT_TRUE(record.present);
    EXPECT_FALSE(record.memSeg);
    EXPECT_FALSE(record.port);
    EXPECT_FALSE(record.firmwareFile);
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

// A helper key that cannot be opened is not reported: nothing is stored,
// the dialog closes, and only the refused download tells.
TEST_F(LoaderRun, UnopenableHelperKeyStoresNothingSilently)
{
    PlaceFirmware(800, 41);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{"RegCreateKeyExA", ERROR_ACCESS_DENIED}}), Texts{kStartFailed});
    const HelperRecord record = ReadHelperRecord();
    EXPECT_FALSE(record.memSeg);
    EXPECT_FALSE(record.firmwareFile);
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

// The old registration's key held values; replacing it deleted them, and
// with the key unwritable they cannot be put back either: the helper finds
// nothing of the earlier run.
TEST_F(LoaderRun, UnopenableHelperKeyRestoresNothingOfAnEarlierRun)
{
    LeaveStaleHelperRegistration();
    PlaceFirmware(800, 46);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{"RegCreateKeyExA", ERROR_ACCESS_DENIED}}), Texts{kStartFailed});
    const HelperRecord record = ReadHelperRecord();
    EXPECT_TRUE(record.present);
    EXPECT_FALSE(record.memSeg);
    EXPECT_FALSE(record.firmwareFile);
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

struct RegistrationFault {
    const char* name;
    DWORD error;
    const char* message;
};

class FailedRegistration : public LoaderRun, public ::testing::WithParamInterface<RegistrationFault> {};

// The registration's own text, then the abort; nothing registered, and the
// helper's key holds what the run wrote (no service deletion took it away).
TEST_P(FailedRegistration, IsReportedAndAbortsTheRun)
{
    const RegistrationFault& row = GetParam();
    const std::string image = PlaceFirmware(900, 42);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{"CreateServiceA", row.error}}), (Texts{row.message, kInstallAborted}));
    EXPECT_FALSE(IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_EQ(ReadFileBytes(ImageFile()), image);
    const auto values = ReadValues(kLoaderParamKey);
    EXPECT_EQ(values, (std::map<std::string, RegValue>{{"MEM_SEG", Dword(0xD0000)},
                                                        {"PORT", Dword(0x300)},
                                                        {"FirmwareFile", Sz("fw.bin")}}));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FailedRegistration,
    ::testing::Values(RegistrationFault{"CircularDependency", ERROR_CIRCULAR_DEPENDENCY,
                                        "  Circular service dependency was specified."},
                      RegistrationFault{"AccessDenied", ERROR_ACCESS_DENIED,
                                        "Unknown error encountered: CreateService"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, FailedStartCallIsReportedAndTheServiceDeleted)
{
    PlaceFirmware(900, 43);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{"StartServiceA", ERROR_SERVICE_DISABLED}}), Texts{kStartFailed});
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

struct StuckRegistration {
    const char* name;
    const char* function;
    const char* message;
};

class StuckHelperRegistration : public LoaderRun, public ::testing::WithParamInterface<StuckRegistration> {};

// An old registration that cannot be opened or deleted: the removal says
// so, then the second registration, which finds the old one still there,
// and the run stops instead of starting the old registration.
TEST_P(StuckHelperRegistration, IsReportedAndNothingIsStarted)
{
    const StuckRegistration& row = GetParam();
    LeaveStaleHelperRegistration();
    PlaceFirmware(700, 44);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{row.function, ERROR_ACCESS_DENIED}}),
              (Texts{row.message, "Unknown error encountered: CreateService", kInstallAborted}));
    EXPECT_FALSE(KeyExists(kHelperRecordKey)) << "a helper driver was started";
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    const auto old = QueryServiceConfiguration("loader");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->imagePath, "C:\\stale run\\loader.sys");
}

INSTANTIATE_TEST_SUITE_P(Faults, StuckHelperRegistration,
                         ::testing::Values(StuckRegistration{"Unopenable", "OpenServiceA", "failure: OpenService"},
                                           StuckRegistration{"Undeletable", "DeleteService",
                                                             "failure: DeleteService "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, ProgressWindowThatCannotBeCreatedIsReportedAndTheDownloadGoesOn)
{
    const std::string image = PlaceFirmware(900, 45);
    EXPECT_EQ(Run("fw.hex", "D0000", "300", {{"CreateDialogParamA", ERROR_NOT_ENOUGH_MEMORY}}),
              (Texts{"Could not create modeless dialogue", kLoaded}));
    ExpectDelivered(image, 0xD0000, 0x300);
}
