// qb480load.exe from the confirmation to its end, with no board driver
// installed: what a run leaves in the simulated board, the drivers folder,
// the registry and the service database, and the messages on its way.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "FirmwareFiles.h"
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
    EXPECT_TRUE(CallInProcess(pid, QB480_LOADER_PROBE_DLL, "ProbeWindowIcons", &probe, sizeof probe));
    return probe;
}

}  // namespace

TEST_F(LoaderRun, RefusedConfirmationTouchesNothing)
{
    const std::string earlierImage = FirmwareImage(100, 7);
    WriteFileBytes(ImageFile(), earlierImage);
    PlaceFirmware(64, 1);
    WriteValue(kLoaderParamKey, "MEM_SEG", Dword(0xC0000));  // as an earlier run left it
    const auto helperKeyBefore = ReadValues(kLoaderParamKey);
    const struct {
        const char* way;
        std::function<void(HWND)> refuse;
    } ways[] = {
        {"Cancel", [](HWND main) { Click(main, IDCANCEL); }},
        {"Escape", [](HWND main) { PressEscape(main); }},
        {"close box", [](HWND main) { ChooseSystemMenuCommand(main, SC_CLOSE); }},
    };
    for (const auto& row : ways) {
        SCOPED_TRACE(row.way);
        ASSERT_TRUE(Start());
        row.refuse(MainDialog());
        EXPECT_EQ(BoxesUntilExit(), Texts{});
        EXPECT_EQ(ExitCode(), 0u);
    }
    EXPECT_EQ(ReadFileBytes(ImageFile()), earlierImage);
    EXPECT_EQ(ReadValues(kLoaderParamKey), helperKeyBefore);
    EXPECT_FALSE(IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kDriverServiceKey));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
}

TEST_F(LoaderRun, DownloadPutsTheImageIntoTheBoardUnchanged)
{
    // Past 64K, so the HEX file needs extended address records.
    const std::string image = PlaceFirmware(70000, 1);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    EXPECT_EQ(GetText(board, IDC_MEMORY_SEGMENT), "");
    EXPECT_EQ(GetText(board, IDC_PORT_ADDRESS), "");
    EXPECT_TRUE(WaitUntil([&] { return FocusedControlId(board) == IDOK; }));
    AcceptBoardParameters("d0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);

    ExpectDelivered(image, 0xD0000, 0x300);
    EXPECT_EQ(ReadHelperRecord().result, 0u);
    EXPECT_EQ(ReadFileBytes(ImageFile()), image);
    // With no board driver installed, the loader neither reads nor makes its key.
    EXPECT_FALSE(KeyExists(kDriverServiceKey));
    EXPECT_FALSE(IsServiceListed("VDXQB480"));
}

TEST_F(LoaderRun, ProgressWindowIsShownOnlyWhileTheStartBlocks)
{
    WriteValue(kTestKey, "LoaderDelayMs", Dword(1000));
    const std::string image = PlaceFirmware(3000, 2);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("C0000", "100");

    const HWND progress = WaitForDialog(kProgressWindow, pid(), 3000);
    ASSERT_TRUE(progress);
    // The program's thread is blocked in StartService: only what needs no
    // message from it can be read.
    const auto starting = [] { return ServiceState("loader") == DWORD{SERVICE_START_PENDING}; };
    EXPECT_TRUE(WaitUntil(starting, 800));
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_FALSE(GetUpdateRect(progress, nullptr, FALSE)) << "not drawn before the start blocked";
    EXPECT_FALSE(GetWindowLongA(progress, GWL_STYLE) & WS_SYSMENU);

    // The first box, and no other before it or after.
    const HWND box = FindMessageBox(pid(), 10000);
    ASSERT_TRUE(box);
    EXPECT_FALSE(IsWindow(progress) && IsWindowVisible(progress)) << "still shown with the outcome";
    EXPECT_EQ(ReadMessageBox(box).text, kLoaded);
    DismissMessageBox(box);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

// Escape on the progress window while the start blocks closes it once the
// outcome's box pumps messages; the run goes on to its end all the same.
TEST_F(LoaderRun, ProgressWindowClosedMeanwhileLeavesTheRunAlone)
{
    WriteValue(kTestKey, "LoaderDelayMs", Dword(800));
    const std::string image = PlaceFirmware(2000, 5);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    const HWND progress = WaitForDialog(kProgressWindow, pid(), 3000);
    ASSERT_TRUE(progress);
    PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    ExpectDelivered(image, 0xD0000, 0x300);
}

TEST_F(LoaderRun, AboutBoxFromTheSystemMenu)
{
    ASSERT_TRUE(Start());
    const auto menu = SystemMenu(MainDialog());
    ASSERT_GE(menu.size(), 2u);
    EXPECT_TRUE(menu[menu.size() - 2].separator);
    EXPECT_EQ(menu.back().text, "&About qb480load...");
    ChooseSystemMenuCommand(MainDialog(), menu.back().id);
    const HWND about = WaitForDialog("About qb480load", pid());
    ASSERT_TRUE(about);
    EXPECT_EQ(GetText(about, IDC_ABOUT_VERSION), "qb480load Version 1.0");
    Click(about, IDOK);
    EXPECT_TRUE(WaitGone(about));

    // Back in the confirmation, which still waits for an answer.
    EXPECT_TRUE(IsWindowVisible(MainDialog()));
    const IconProbe icons = ProbeIcons(MainDialog(), pid());
    EXPECT_TRUE(icons.big);
    EXPECT_TRUE(icons.small);
    EXPECT_TRUE(icons.sameIcon);
    EXPECT_EQ(icons.width, 32);
    EXPECT_EQ(icons.height, 32);
    Click(MainDialog(), IDCANCEL);
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
    ASSERT_TRUE(CopyFileA(FakeVdxPath().c_str(), (firmware + "\\loader.sys").c_str(), FALSE));
    const std::string image = FirmwareImage(4096, 3);
    WriteFileBytes(firmware + "\\fw.hex", IntelHex(image));
    ASSERT_TRUE(Start(firmware));
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("F0000", "3FC");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadHelperRecord().firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

// A full path typed into the Open dialog leaves Wine's current directory
// where the dialog started; the HEX file must still come from the picked
// file's folder, not from a file of the same name in the current one.
TEST_F(LoaderRun, HexFileIsReadBesideThePickedFile)
{
    const std::string firmware = Subfolder("firmware v2");
    const std::string image = FirmwareImage(5000, 4);
    WriteFileBytes(firmware + "\\fw.hex", IntelHex(image));
    PlaceFirmware(5000, 5);
    EXPECT_EQ(Run(firmware + "\\fw.hex", "D0000", "300"), Texts{kLoaded});
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
    EXPECT_EQ(Run(row.picked, "E0000", "2A0"), Texts{kLoaded});
    EXPECT_EQ(ReadFileBytes(ImageFile(row.imageName)), image);
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
    WriteFileBytes(ImageFile(), earlierImage);
    ASSERT_TRUE(Start());
    ConfirmAndChoose(row.picked);
    EXPECT_EQ(BoxesUntilExit(), Texts{kConversionFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(ImageFile()), earlierImage);
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
    PlaceFirmware(64, 10);
    ASSERT_TRUE(Start());
    Confirm();
    CancelOpenDialog(pid());
    EXPECT_EQ(BoxesUntilExit(), Texts{kConversionFailed});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(ReadFileBytes(ImageFile(".bin")));
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
    CancelOpenDialog(pid());
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(ImageFile(".bin")), image);
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
        WriteValue(kTestKey, "LoaderFailStart", Dword(1));
    PlaceFirmware(1000, 12);
    EXPECT_EQ(Run("fw.hex"), Texts{kStartFailed});
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
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

TEST_F(LoaderRun, StaleHelperRegistrationIsReplacedSilently)
{
    LeaveStaleHelperRegistration();
    const std::string image = PlaceFirmware(1500, 13);
    EXPECT_EQ(Run("fw.hex"), Texts{kLoaded});
    ExpectDelivered(image, 0xD0000, 0x300);
}

// A registration that stays marked for deletion (someone holds it open)
// cannot be made anew: the run says so and stops instead of starting the
// old one.
TEST_F(LoaderRun, HelperRegistrationThatCannotBeReplacedIsReported)
{
    ASSERT_EQ(CreateDriverService("loader", "loader", "C:\\stale run\\loader.sys"), 0u);
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    fw::UniqueScHandle held(OpenServiceA(manager.get(), "loader", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(held);
    PlaceFirmware(500, 14);
    EXPECT_EQ(Run("fw.hex"), (Texts{" The specified service has been marked for deletion.", kInstallAborted}));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    held.reset();
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}

// The program's folder, where the helper driver lies, cannot be known: the
// run ends before anything is registered.
TEST_F(LoaderRun, UnknownProgramFolderEndsTheRunBeforeRegistering)
{
    PlaceFirmware(400, 16);
    ASSERT_TRUE(Start());
    int unused = 0;
    ASSERT_TRUE(CallInProcess(pid(), QB480_LOADER_PROBE_DLL, "TruncateProgramPath", &unused, sizeof unused));
    ConfirmAndChoose("fw.hex");
    AcceptBoardParameters("D0000", "300");
    EXPECT_EQ(BoxesUntilExit(), Texts{"Could not detect current path"});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
}
