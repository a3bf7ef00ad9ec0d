// The board parameters dialog, which the loader shows when no board driver
// is installed: entries refused by the board rules in their order, with the
// dialog kept open and nothing written; entries accepted into the helper's
// key; Cancel going on with what that key already holds.
#include <windows.h>

#include <gtest/gtest.h>

#include "LoaderRun.h"
#include "resource.h"

using namespace loadertest;

namespace {

constexpr char kZero[] = "Zero is not allowed";
constexpr char kMemoryAlignment[] = "The memory address must be evenly divisible by 64K";
constexpr char kMemoryRange[] = "Memory segment outside allowed range";
constexpr char kPortAlignment[] = "The port address must be evenly divisible by 4";
constexpr char kPortRange[] = "The port address must be >= 100 and <= 3fc";

}  // namespace

TEST_F(LoaderRun, BoardEntriesAreRefusedInRuleOrderUntilTheyPass)
{
    const struct {
        const char* memory;
        const char* port;
        const char* message;
    } refusals[] = {
        {"D8000", "300", kMemoryAlignment},
        {"B0000", "300", kMemoryRange},
        {"100000", "300", kMemoryRange},
        {"d0000 ", "300", kMemoryRange},  // the blank counts as a digit 0
        {"", "300", kZero},
        {"0", "300", kZero},
        {"G", "300", kZero},
        {"B0000", "302", kMemoryRange},  // the port is judged only after the memory passed
        {"D0000", "", kZero},
        {"D0000", "0", kZero},
        {"D0000", "3fe", kPortAlignment},
        {"D0000", "FC", kPortRange},
        {"D0000", "400", kPortRange},
    };
    const std::string image = PlaceFirmware(1024, 30);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    for (const auto& row : refusals) {
        SCOPED_TRACE(std::string("memory \"") + row.memory + "\", port \"" + row.port + "\"");
        SetText(board, IDC_MEMORY_SEGMENT, row.memory);
        SetText(board, IDC_PORT_ADDRESS, row.port);
        Click(board, IDOK);
        EXPECT_EQ(NextBox(), row.message);
        ASSERT_TRUE(Settle(board));
        ASSERT_TRUE(IsWindowVisible(board));
        EXPECT_EQ(GetText(board, IDC_MEMORY_SEGMENT), row.memory);
        EXPECT_EQ(GetText(board, IDC_PORT_ADDRESS), row.port);
        EXPECT_FALSE(KeyExists(kLoaderParamKey));
    }
    AcceptBoardParameters("e0000", "3fc");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    ExpectDelivered(image, 0xE0000, 0x3FC);
}

struct EarlierRun {
    const char* name;
    bool registrationLeft;  // or only its values, as a completed run leaves them
};

class CancelledBoardDialog : public LoaderRun, public ::testing::WithParamInterface<EarlierRun> {};

// Cancel, here after a refused attempt, writes nothing: the helper gets the
// values an earlier run left in its key, also when replacing that run's
// registration takes the key away.
TEST_P(CancelledBoardDialog, GoesOnWithTheEarlierValues)
{
    if (GetParam().registrationLeft) {
        LeaveStaleHelperRegistration();
    } else {
        WriteValue(kLoaderParamKey, "MEM_SEG", Dword(0xC0000));
        WriteValue(kLoaderParamKey, "PORT", Dword(0x100));
    }
    const std::string image = PlaceFirmware(2048, 31);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    SetText(board, IDC_MEMORY_SEGMENT, "F0000");
    SetText(board, IDC_PORT_ADDRESS, "302");
    Click(board, IDOK);
    EXPECT_EQ(NextBox(), kPortAlignment);
    Click(board, IDCANCEL);
    EXPECT_TRUE(WaitGone(board));
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    ExpectDelivered(image, 0xC0000, 0x100);
}

INSTANTIATE_TEST_SUITE_P(Earlier, CancelledBoardDialog,
                         ::testing::Values(EarlierRun{"ValuesOnly", false}, EarlierRun{"RegistrationLeft", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// On a first run nothing is there to go on with: the helper refuses the
// download and the service is removed all the same.
TEST_F(LoaderRun, CancelledBoardDialogOnAFirstRunEndsInAFailedStart)
{
    PlaceFirmware(512, 32);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    PressEscape(board);
    EXPECT_TRUE(WaitGone(board));
    EXPECT_EQ(BoxesUntilExit(), Texts{kStartFailed});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_TRUE(record.present);
    EXPECT_FALSE(record.memSeg);
    EXPECT_FALSE(record.port);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
}
