// ResetBaseline undoes what a test of the deliverables may leave behind.
#include "Child.h"
#include "HarnessFiles.h"
#include "RegValue.h"
#include "Robot.h"
#include "Scm.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace harness;

namespace {

constexpr const char* kEventLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";

std::optional<RegValue> ReadSources()
{
    return ReadValue(kEventLogKey, "Sources");
}

LONG CreateKeyWithValue(HKEY root, const std::string& path)
{
    const DWORD value = 0x5A5A;
    return RegSetKeyValueA(root, path.c_str(), "Left", REG_DWORD, &value, sizeof value);
}

}  // namespace

TEST(Baseline, ResetRemovesWhatATestLeftAndRestoresTheSourcesList)
{
    ASSERT_TRUE(ResetBaseline());
    const auto sources = ReadSources();
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
    const std::string comDlg = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32";
    const std::vector<std::string> files = {DriversFolder() + "\\vdxqb480.sys", DriversFolder() + "\\fw.bin",
                                            "C:\\qb480board.bin"};

    ASSERT_EQ(CreateDriverService("VDXQB480", "VDXQB480", "C:\\windows\\system32\\drivers\\vdxqb480.sys"), 0u);
    ASSERT_EQ(CreateDriverService("loader", "loader", "C:\\loader.sys"), 0u);
    ASSERT_EQ(CreateDriverService("QB480TestLeftover", "QB480TestLeftover", "C:\\leftover.sys"), 0u);
    ASSERT_EQ(CreateKeyWithValue(HKEY_LOCAL_MACHINE, services + "VDXQB480\\Parameters"), ERROR_SUCCESS);
    ASSERT_EQ(CreateKeyWithValue(HKEY_LOCAL_MACHINE, std::string(kEventLogKey) + "\\vdxqb480"), ERROR_SUCCESS);
    ASSERT_EQ(CreateKeyWithValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\QB480Test\\Anything"), ERROR_SUCCESS);
    ASSERT_EQ(CreateKeyWithValue(HKEY_CURRENT_USER, comDlg + "\\LastVisitedMRU"), ERROR_SUCCESS);
    const char appended[] = "COM\0vdxqb480\0";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kEventLogKey, "Sources", REG_MULTI_SZ, appended, sizeof appended),
              ERROR_SUCCESS);
    for (const auto& file : files)
        std::ofstream(file) << "left by a test";
    ASSERT_NE(ReadSources(), sources);

    EXPECT_TRUE(ResetBaseline());

    for (const char* name : {"VDXQB480", "loader", "QB480TestLeftover"})
        EXPECT_FALSE(IsServiceListed(name)) << name;
    EXPECT_FALSE(KeyExists(services + "VDXQB480"));
    EXPECT_FALSE(KeyExists(services + "loader"));
    EXPECT_FALSE(KeyExists(std::string(kEventLogKey) + "\\vdxqb480"));
    EXPECT_FALSE(KeyExists("SOFTWARE\\QB480Test"));
    EXPECT_FALSE(KeyExists(comDlg, HKEY_CURRENT_USER));
    EXPECT_TRUE(KeyExists(kEventLogKey));
    EXPECT_EQ(ReadSources(), sources);
    for (const auto& file : files)
        EXPECT_FALSE(FileExists(file)) << file;
}

TEST(Baseline, LeftoverProgramsAreKilledByName)
{
    CChild child("\"" + HarnessBinary("robotdialog.exe") + "\"");
    ASSERT_TRUE(child.Started()) << child.StartError();
    ASSERT_TRUE(WaitForDialog("Robot Test", child.pid()));
    KillProcessesNamed({"notthisone.exe"});
    EXPECT_EQ(child.Wait(0), std::nullopt);
    KillProcessesNamed({"ROBOTDIALOG.EXE"});
    EXPECT_EQ(child.Wait(0), DWORD{1});
}
