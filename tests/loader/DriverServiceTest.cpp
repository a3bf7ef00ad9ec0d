// The board driver's service decides where the board values come from: its
// parameter key while it is installed and stopped, without a question to
// the operator; while it runs the loader refuses, after the image has been
// written, and changes nothing else.
#include <windows.h>

#include <gtest/gtest.h>

#include "FirmwareFiles.h"
#include "LoaderRun.h"
#include "Scm.h"

using namespace loadertest;

namespace {

// The board driver stand-in, registered as VDXQB480 where the applet puts it.
void RegisterBoardDriver()
{
    const std::string image = DriversFolder() + "\\vdxqb480.sys";
    ASSERT_TRUE(CopyFileA(QB480_FAKEVDX_SYS, image.c_str(), FALSE)) << GetLastError();
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", image), 0u);
}

}  // namespace

TEST_F(LoaderRun, StoppedDriverGivesItsBoardValuesWithoutAsking)
{
    RegisterBoardDriver();
    SetDword(kDriverParamKey, "MEM_SEG", 0xE0000);
    SetDword(kDriverParamKey, "PORT", 0x2A0);
    SetDword(kDriverParamKey, "IRQ", 5);
    const auto driverValues = ReadValues(kDriverParamKey);
    const std::string image = FirmwareImage(8000, 20);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    // No board parameters dialog comes first.
    EXPECT_EQ(NextBox(), kLoaded);
    EXPECT_EQ(BoxesUntilExit(), Texts{});
    EXPECT_EQ(ExitCode(), 0u);

    const HelperRecord record = ReadHelperRecord();
    EXPECT_EQ(record.memSeg, 0xE0000u);
    EXPECT_EQ(record.port, 0x2A0u);
    EXPECT_EQ(record.firmwareFile, "fw.bin");
    EXPECT_EQ(ReadFileBytes(kBoardFile), image);
    EXPECT_TRUE(ServiceGone("loader"));
    EXPECT_EQ(ReadValues(kDriverParamKey), driverValues);
    EXPECT_EQ(harness::ServiceState("VDXQB480"), DWORD{SERVICE_STOPPED});
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
    RegisterBoardDriver();
    for (const auto& [name, value] : row.stored)
        SetValue(kDriverParamKey, name.c_str(), value.type, value.data);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(FirmwareImage(700, 22)));
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
    EXPECT_TRUE(ServiceGone("loader"));
    EXPECT_TRUE(KeyExists(kDriverParamKey));
    EXPECT_EQ(ReadValues(kDriverParamKey), row.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Values, UnreadableDriverValue,
    ::testing::Values(DriverValues{"NoParameterKey", {}, 0, 0},
                      DriverValues{"PortMissing", {{"MEM_SEG", {REG_DWORD, BytesOf(0xD0000)}}}, 0xD0000, 0},
                      DriverValues{"MemSegLongerThanFourBytes",
                                   {{"MEM_SEG", {REG_QWORD, BytesOf(0xD0000, 8)}},
                                    {"PORT", {REG_DWORD, BytesOf(0x300)}}},
                                   0,
                                   0x300}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderRun, RunningDriverIsRefusedAfterTheImageWasWritten)
{
    RegisterBoardDriver();
    ASSERT_EQ(harness::StartDriverService("VDXQB480"), 0u);
    const auto driverValues = ReadValues(kDriverParamKey);  // as the running driver published them
    ASSERT_FALSE(driverValues.empty());
    const std::string image = FirmwareImage(3000, 21);
    WriteFileBytes(InFolder("fw.hex"), IntelHex(image));
    ASSERT_TRUE(Start());
    ConfirmAndChoose("fw.hex");
    EXPECT_EQ(BoxesUntilExit(), Texts{kDriverActive});
    EXPECT_EQ(ExitCode(), 0u);

    EXPECT_EQ(ReadFileBytes(DriversFolder() + "\\fw.bin"), image);
    EXPECT_FALSE(KeyExists(kLoaderServiceKey));
    EXPECT_FALSE(harness::IsServiceListed("loader"));
    EXPECT_FALSE(KeyExists(kHelperRecordKey));
    EXPECT_FALSE(ReadFileBytes(kBoardFile));
    EXPECT_EQ(harness::ServiceState("VDXQB480"), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ReadValues(kDriverParamKey), driverValues);
}
