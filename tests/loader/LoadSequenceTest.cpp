// qb480load.exe from the confirmation to its end, with no board driver
// installed: what a run leaves in the simulated board, the drivers folder,
// the registry and the service database, and the messages on its way.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "FirmwareFiles.h"
#include "Handles.h"
#include "LoaderProbe.h"
#include "LoaderRun.h"
#include "Remote.h"
#include "Robot.h"
#include "Scm.h"
#include "resource.h"

using namespace loadertest;

namespace {

constexpr DWORD kStatusUnsuccessful = 0xC0000001;

IconProbe ProbeIcons(HWND window, DWORD pid)
{
    IconProbe probe = {window, 0, 0, 0, 0, 0};
    EXPECT_TRUE(harness::CallInProcess(pid, QB480_LOADER_PROBE_DLL, "ProbeWindowIcons", &probe, sizeof probe));
    return probe;
}

}  // namespace

TEST_F(LoaderRun, RefusedConfirmationTouchesNothing)
{
    const std::string earlierImage = FirmwareImage(100, 7);
    WriteFileBytes(DriversFolder() + "\\fw.bin", earlierImage);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(64, 1)));
    SetDword(kLoaderParamKey, "MEM_SEG", 0xC0000);  // as an earlier run left it
    const auto helperKeyBefore = ReadValues(kLoaderParamKey);
    const struct {
        const char* way;
        std::function<void(HWND)> refuse;
    } ways[] = {
        {"Cancel", [](HWND main) { harness::Click(main, IDCANCEL); }},
        {"Escape", [](HWND main) { harness::PressEscape(main); }},
        {"close box", [](HWND main) { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& row : ways) {
        SCOPED_TRACE(row.way);
        ASSERT_TRUE(Start());
        row.refuse(MainDialog());
        EXPECT_EQ(BoxesUntilExit(), Texts{});
        EXPECT_EQ(ExitCode(), 0u);
    }
    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\fw.bin"), earlierImage);
    EXPECT_EQ(ReadValues(kLoaderParamKey), helperKeyBefore);
    EXPECT_FALSE(harness::IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kDriverServiceKey));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
}

TEST_F(LoaderRun, DownloadPutsTheImageIntoTheBoardUnchanged)
{
    // Past 64K, so the HEX file needs extended address records.
    const std::string image = FirmwareImage(70000, 1);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    EXPECT_EQ(harness::GetText(board, IDC_MEMORY_SEGMENT), "");
    EXPECT_EQ(harness::GetText(board, IDC_PORT_ADDRESS), "");
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::FocusedControlId(board) == IDOK; }));
    AcceptBoardParameters("d0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);

    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xD0000u);
    EXPECT_EQ(record.port, 0x300u);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_EQ(record.result, 0u);
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\fw.bin"), image);
    EXPECT_TRUE(ServiceGone("loader"));
    // With no board driver installed, the loader neither reads nor makes its key.
    EXPECT_FALSE(KeyExists(kDriverServiceKey));
    EXPECT_FALSE(harness::IsServiceListed("VDXQB480"));
}

TEST_F(LoaderRun, ProgressWindowIsShownOnlyWhileTheStartBlocks)
{
    SetDword(kTestKey, "LoaderDelayMs", 1000);
    const std::string image = FirmwareImage(3000, 2);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("C0000", "100");

    const HWND progress = harness::WaitForDialog(kProgressWindow, pid(), 3000);
    ASSERT_TRUE(progress);
    // The program's thread is blocked in StartService: only what needs no
    // message from it can be read.
    const auto starting = [] { return harness::ServiceState("loader") == DWORD{SERVICE_START_PENDING}; };
    EXPECT_TRUE(harness::WaitUntil(starting, 800));
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_FALSE(GetUpdateRect(progress, nullptr, FALSE)) << "not drawn before the start blocked";
    EXPECT_FALSE(GetWindowLongA(progress, GWL_STYLE) & WS_SYSMENU);
    EXPECT_FALSE(harness::FindMessageBox(pid()));

    const HWND box = harness::FindMessageBox(pid(), 10000);
    ASSERT_TRUE(box);
    EXPECT_FALSE(IsWindow(progress) && IsWindowVisible(progress)) << "still shown with the outcome";
    EXPECT_EQ(harness::ReadMessageBox(box).text, kLoaded);
    harness::DismissMessageBox(box);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

TEST_F(LoaderRun, AboutBoxFromTheSystemMenu)
{
    ASSERT_TRUE(Start());
    const auto menu = harness::SystemMenu(MainDialog());
    ASSERT_GE(menu.size(), 2u);
    EXPECT_TRUE(menu[menu.size() - 2].separator);
    EXPECT_EQ(menu.back().text, "&About qb480load...");
    harness::ChooseSystemMenuCommand(MainDialog(), menu.back().id);
    const HWND about = harness::WaitForDialog("About qb480load", pid());
    ASSERT_TRUE(about);
    EXPECT_EQ(harness::GetText(about, IDC_ABOUT_VERSION), "qb480load Version 1.0");
    harness::Click(about, IDOK);
    EXPECT_TRUE(harness::WaitGone(about));

    // Back in the confirmation, which still waits for an answer.
    EXPECT_TRUE(IsWindowVisible(MainDialog()));
    const IconProbe icons = ProbeIcons(MainDialog(), pid());
    EXPECT_TRUE(icons.big);
    EXPECT_TRUE(icons.small);
    EXPECT_TRUE(icons.sameIcon);
    EXPECT_EQ(icons.width, 32);
    EXPECT_EQ(icons.height, 32);
    harness::Click(MainDialog(), IDCANCEL);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(KeyExists(kLoaderServiceKey));
}

// The helper driver comes from the program's folder, whatever folder the
// firmware was picked from; a decoy there (the board driver stand-in, which
// starts without touching the board) must not be loaded.
TEST_F(LoaderRun, HelperDriverIsTakenFromTheProgramsFolder)
{
    const std::string firmware = Subfolder("firmware");
    ASSERT_TRUE(CopyFileA(QB480_FAKEVDX_SYS, (firmware + "\\loader.sys").c_str(), FALSE));
    const std::string image = FirmwareImage(4096, 3);
    WriteFileBytes(firmware + "\\fw.hex", IntelHex(image));
    ASSERT_TRUE(Start(firmware));
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("F0000", "3FC");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadHelperRecord().firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_TRUE(ServiceGone("loader"));
}

// A full path typed into the Open dialog leaves Wine's current directory
// where the dialog started; the HEX file must still come from the picked
// file's folder, not from a file of the same name in the current one.
TEST_F(LoaderRun, HexFileIsReadBesideThePickedFile)
{
    const std::string firmware = Subfolder("firmware v2");
    const std::string image = FirmwareImage(5000, 4);
    WriteFileBytes(firmware + "\\fw.hex", IntelHex(image));
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(5000, 5)));
    ASSERT_TRUE(Start());
    ConfirmAndChoose(firmware + "\\fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

struct PickedName {
    const char* picked;
    const char* hexName;
    const char* imageName;
};

class PickedFile : public LoaderRun, public ::testing::WithParamInterface<PickedName> {};

// Whatever the extension of the file picked, the HEX file of its title (all
// before the last dot) is converted, into an image of that title.
TEST_P(PickedFile, TitleNamesTheHexFileAndTheImage)
{
    const PickedName& row = GetParam();
    const std::string image = FirmwareImage(2000, 6);
    WriteFileBytes(InFolder(row.picked), "not a HEX file\n");
    WriteFileBytes(InFolder(row.hexName), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose(row.picked);
    AcceptBoardParameters("E0000", "2A0");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\" + row.imageName), image);
    EXPECT_EQ(ReadHelperRecord().firmwareFile, row.imageName);
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

INSTANTIATE_TEST_SUITE_P(Names, PickedFile,
                         ::testing::Values(PickedName{"fw.txt", "fw.hex", "fw.bin"},
                                           PickedName{"qb480.v2.1.dat", "qb480.v2.1.hex", "qb480.v2.1.bin"},
                                           PickedName{"FIRMWARE", "FIRMWARE.hex", "FIRMWARE.bin"}));

struct ConversionCase {
    const char* name;
    const char* picked;
    bool badChecksum;
};

class ConversionFailure : public LoaderRun, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ConversionFailure, EndsTheRunBeforeAnythingIsRegistered)
{
    const ConversionCase& row = GetParam();
    const std::string hex = IntelHex(FirmwareImage(600, 8));
    // A picked file of another extension holds good HEX, but only <title>.hex counts.
    WriteFileBytes(InFolder(row.picked), row.badChecksum ? WithBadChecksum(hex) : hex);
    const std::string earlierImage = FirmwareImage(300, 9);
    WriteFileBytes(DriversFolder() + "\\fw.bin", earlierImage);
    ASSERT_TRUE(Start());
    ConfirmAndChoose(row.picked);
    EXPECT_EQ(BoxesUntilExit(), Texts{kConversionFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\fw.bin"), earlierImage);
    EXPECT_FALSE(KeyExists(kLoaderServiceKey));
    EXPECT_FALSE(KeyExists(kDriverServiceKey));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
}

INSTANTIATE_TEST_SUITE_P(Files, ConversionFailure,
                         ::testing::Values(ConversionCase{"BadChecksum", "fw.hex", true},
                                           ConversionCase{"NoHexFileOfThatTitle", "fw.txt", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, CancelledOpenDialogFindsNoHexFile)
{
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(64, 10)));
    ASSERT_TRUE(Start());
    Confirm();
    harness::CancelOpenDialog(pid());
    EXPECT_EQ(BoxesUntilExit(), Texts{kConversionFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(ReadFileBytes(DriversFolder() + "\\.bin"));
    EXPECT_FALSE(KeyExists(kLoaderServiceKey));
}

// With no file picked the title is empty: ".hex" of the current folder is
// what gets converted.
TEST_F(LoaderRun, CancelledOpenDialogConvertsDotHexOfTheCurrentFolder)
{
    const std::string image = FirmwareImage(256, 11);
    WriteFileBytes(InFolder(".hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    Confirm();
    harness::CancelOpenDialog(pid());
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\.bin"), image);
    EXPECT_EQ(ReadHelperRecord().firmwareFile, ".bin");
}

struct FailedStartCase {
    const char* name;
    bool helperBesideProgram;
    bool helperRefuses;
};

class FailedStart : public LoaderRun, public ::testing::WithParamInterface<FailedStartCase> {};

TEST_P(FailedStart, IsReportedAndTheServiceIsStillDeleted)
{
    const FailedStartCase& row = GetParam();
    if (!row.helperBesideProgram) {
        ASSERT_TRUE(DeleteFileA(InFolder("loader.sys").c_str()));
    }
    if (row.helperRefuses)
        SetDword(kTestKey, "LoaderFailStart", 1);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(1000, 12)));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kStartFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(ServiceGone("loader"));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.present, row.helperBesideProgram);
    if (row.helperRefuses) {
        EXPECT_EQ(record.result, kStatusUnsuccessful);
    }
}

INSTANTIATE_TEST_SUITE_P(Helpers, FailedStart,
                         ::testing::Values(FailedStartCase{"NoHelperBesideTheProgram", false, false},
                                           FailedStartCase{"HelperRefuses", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// A registration of the helper left by an interrupted run, with the values
// that run handed over.
void LeaveStaleHelperRegistration()
{
    ASSERT_EQ(harness::CreateDriverService("loader", "loader", "C:\\stale run\\loader.sys", SERVICE_AUTO_START), 0u);
    SetDword(kLoaderParamKey, "MEM_SEG", 0xC0000);
    SetDword(kLoaderParamKey, "PORT", 0x100);
    SetValue(kLoaderParamKey, "FirmwareFile", REG_SZ, std::string("old.bin", 8));
}

}  // namespace

TEST_F(LoaderRun, StaleHelperRegistrationIsReplacedSilently)
{
    LeaveStaleHelperRegistration();
    const std::string image = FirmwareImage(1500, 13);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xD0000u);
    EXPECT_EQ(record.port, 0x300u);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_TRUE(ServiceGone("loader"));
}

// Replacing the old registration takes its key away; what the run goes on
// with after a cancelled board dialog must still reach the helper.
TEST_F(LoaderRun, StaleHelperRegistrationKeepsTheValuesTheRunGoesOnWith)
{
    LeaveStaleHelperRegistration();
    const std::string image = FirmwareImage(1500, 15);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    harness::Click(board, IDCANCEL);
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xC0000u);
    EXPECT_EQ(record.port, 0x100u);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

// A registration that stays marked for deletion (someone holds it open)
// cannot be made anew: the run says so and stops instead of starting the
// old one.
TEST_F(LoaderRun, HelperRegistrationThatCannotBeReplacedIsReported)
{
    ASSERT_EQ(harness::CreateDriverService("loader", "loader", "C:\\stale run\\loader.sys"), 0u);
    const harness::CScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    harness::CScHandle held(OpenServiceA(manager.get(), "loader", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(held);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(500, 14)));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), (Texts{" The specified service has been marked for deletion.", kInstallAborted}));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    held.reset();
    EXPECT_TRUE(ServiceGone("loader"));
}


// The program's folder, where the helper driver lies, cannot be known: the
// run ends before anything is registered.
TEST_F(LoaderRun, UnknownProgramFolderEndsTheRunBeforeRegistering)
{
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(400, 16)));
    ASSERT_TRUE(Start());
    int unused = 0;
    ASSERT_TRUE(harness::CallInProcess(pid(), QB480_LOADER_PROBE_DLL, "TruncateProgramPath", &unused, sizeof unused));
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{"Could not detect current path"});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(harness::IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
}
