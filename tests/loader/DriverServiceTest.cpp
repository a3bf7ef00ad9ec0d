// The board driver's service decides where the board values come from: its
// parameter key while it is installed and stopped, without a question to
// the operator; while it runs the loader refuses, after the image has been
// written, and changes nothing else.
#include <windows.h>

#include <gtest/gtest.h>

#include "LoaderRun.h"

using namespace loadertest;

TEST_F(LoaderRun, StoppedDriverGivesItsBoardValuesWithoutAsking)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    WriteValue(kDriverParamKey, "MEM_SEG", Dword(0xE0000));
    WriteValue(kDriverParamKey, "PORT", Dword(0x2A0));
    WriteValue(kDriverParamKey, "IRQ", Dword(5));
    const auto driverValues = ReadValues(kDriverParamKey);
    const std::string image = PlaceFirmware(8000, 20);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    // No board parameters dialog comes first.
    EXPECT_EQ(NextBox(), kLoaded);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);

    ExpectDelivered(image, 0xE0000, 0x2A0);
    EXPECT_EQ(ReadValues(kDriverParamKey), driverValues);
    EXPECT_EQ(ServiceState("VDXQB480"), DWORD{SERVICE_STOPPED});
}

struct DriverValues {
    const char* name;
    std::map<std::string, RegValue> stored;  // nothing stored: no parameter key at all
    DWORD memSeg, port;                      // what the helper must be given
};

class UnreadableDriverValue : public LoaderRun, public ::testing::WithParamInterface<DriverValues> {};

// A value the loader cannot read is handed on as 0, which the helper driver
// refuses; the driver's key is left as it was (created empty when missing).
TEST_P(UnreadableDriverValue, IsHandedOnAsZero)
{
    const DriverValues& row = GetParam();
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    for (const auto& [name, value] : row.stored)
        WriteValue(kDriverParamKey, name, value);
    PlaceFirmware(700, 22);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    EXPECT_EQ(NextBox(), kStartFailed);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);

    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, row.memSeg);
    EXPECT_EQ(record.port, row.port);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_TRUE(WaitUntilUnlisted("loader"));
    EXPECT_TRUE(KeyExists(kDriverParamKey));
    EXPECT_EQ(ReadValues(kDriverParamKey), row.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Values, UnreadableDriverValue,
    ::testing::Values(DriverValues{"NoParameterKey", {}, 0, 0},
                      DriverValues{"PortMissing", {{"MEM_SEG", Dword(0xD0000)}}, 0xD0000, 0},
                      DriverValues{"MemSegLongerThanFourBytes",
                                   {{"MEM_SEG", {REG_QWORD, BytesOf(0xD0000, 8)}},
                                    {"PORT", Dword(0x300)}},
                                   0,
                                   0x300}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, RunningDriverIsRefusedAfterTheImageWasWritten)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(StartDriverService("VDXQB480"), 0u);
    const auto driverValues = ReadValues(kDriverParamKey);  // as the running driver published them
    ASSERT_FALSE(driverValues.empty());
    const std::string image = PlaceFirmware(3000, 21);
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    EXPECT_EQ(BoxesUntilExit(), Texts{kDriverActive});
    EXPECT_EQ(ExitCode(), 0u);

    EXPECT_EQ(ReadFileBytes(ImageFile()), image);
    EXPECT_FALSE(KeyExists(kLoaderServiceKey));
    EXPECT_FALSE(IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_EQ(ServiceState("VDXQB480"), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ReadValues(kDriverParamKey), driverValues);
}
