// The board parameters dialog, which the loader shows when no board driver
// is installed: entries refused by the board rules in their order, with the
// dialog kept open and nothing written; entries accepted into the helper's
// key; Cancel going on with what that key already holds.
#include <windows.h>

#include <gtest/gtest.h>

#include "FirmwareFiles.h"
#include "LoaderRun.h"
#include "Robot.h"
#include "Scm.h"
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
        {"G", "300", kZero},
        {"B0000", "302", kMemoryRange},  // the port is judged only after the memory passed
        {"D0000", "", kZero},
        {"D0000", "3fe", kPortAlignment},
        {"D0000", "FC", kPortRange},
        {"D0000", "400", kPortRange},
    };
    const std::string image = FirmwareImage(1024, 30);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    for (const auto& row : refusals) {
        SCOPED_TRACE(std::string("memory \"") + row.memory + "\", port \"" + row.port + "\"");
        harness::SetText(board, IDC_MEMORY_SEGMENT, row.memory);
        harness::SetText(board, IDC_PORT_ADDRESS, row.port);
        harness::Click(board, IDOK);
        EXPECT_EQ(NextBox(), row.message);
        ASSERT_TRUE(IsWindowVisible(board));
        EXPECT_EQ(harness::GetText(board, IDC_MEMORY_SEGMENT), row.memory);
        EXPECT_EQ(harness::GetText(board, IDC_PORT_ADDRESS), row.port);
        EXPECT_FALSE(KeyExists(kLoaderParamKey));
    }
    AcceptBoardParameters("e0000", "3fc");
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xE0000u);
    EXPECT_EQ(record.port, 0x3FCu);
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

// Cancel, here after a refused attempt, writes nothing: the helper gets the
// values an earlier run left in its key.
TEST_F(LoaderRun, CancelledBoardDialogGoesOnWithTheEarlierValues)
{
    SetDword(kLoaderParamKey, "MEM_SEG", 0xC0000);
    SetDword(kLoaderParamKey, "PORT", 0x100);
    const std::string image = FirmwareImage(2048, 31);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    harness::SetText(board, IDC_MEMORY_SEGMENT, "F0000");
    harness::SetText(board, IDC_PORT_ADDRESS, "302");
    harness::Click(board, IDOK);
    EXPECT_EQ(NextBox(), kPortAlignment);
    harness::Click(board, IDCANCEL);
    EXPECT_TRUE(harness::WaitGone(board));
    EXPECT_EQ(BoxesUntilExit(), Texts{kLoaded});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xC0000u);
    EXPECT_EQ(record.port, 0x100u);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
}

// On a first run nothing is there to go on with: the helper refuses the
// download and the service is removed all the same.
TEST_F(LoaderRun, CancelledBoardDialogOnAFirstRunEndsInAFailedStart)
{
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(512, 32)));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    const HWND board = WaitForBoardDialog();
    ASSERT_TRUE(board);
    harness::PressEscape(board);
    EXPECT_TRUE(harness::WaitGone(board));
    EXPECT_EQ(BoxesUntilExit(), Texts{kStartFailed});
    EXPECT_EQ(ExitCode(), 0u);
    const HelperRecord record = ReadHelperRecord();
    EXPECT_TRUE(record.present);
    EXPECT_FALSE(record.memSeg);
    EXPECT_FALSE(record.port);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_TRUE(ServiceGone("loader"));
}
