// The steps of tests/install/run_install.py that need Windows, run in the
// fresh prefix the runner has just installed a package into: the installed
// applet and loader used as the administrator's guide says, and the message
// of a refused package. The runner passes what it installed where in
// environment variables (QB480_...); it places the board's files first.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "Child.h"
#include "Robot.h"
#include "Scm.h"
#include "resource.h"  // the applet's

namespace {

constexpr int kExitWaitMs = 10000;
constexpr int kDownloadWaitMs = 20000;
constexpr int kInstallerWaitMs = 30000;
constexpr int kMessageTextId = 0xFFFF;
// What the runner expects to find the helper stand-in recorded.
constexpr DWORD kMemory = 0xD0000, kPort = 0x300, kIrq = 5;

std::string Setting(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        ADD_FAILURE() << name << " is not set: run this through tests/install/run_install.py";
    return value ? value : "";
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::optional<DWORD> ReadDword(const char* key, const char* name)
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadString(const char* key, const char* name)
{
    char text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(text);
}

std::string SystemDirectory()
{
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

bool SameText(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

std::string TextOfBox(const std::optional<harness::MessageBoxSeen>& box)
{
    return box ? box->text : "(no message box)";
}

}  // namespace

// The driver file lies in the real drivers folder; nothing is registered.
TEST(InstalledApplet, FirstOpeningThroughTheControlPanelRegistersTheDriver)
{
    harness::CChild panel(Quoted(Setting("QB480_CONTROL")) + " qb480.cpl");
    ASSERT_TRUE(panel.Started()) << panel.StartError();
    const HWND board = harness::WaitForDialog("Board Settings", panel.pid());
    ASSERT_TRUE(board) << "the first opening asked for no board settings";
    harness::SetText(board, IDC_MEMORY, "D0000");
    harness::SetText(board, IDC_PORT, "300");
    harness::SetText(board, IDC_IRQ, "5");
    harness::Click(board, IDOK);
    EXPECT_EQ(TextOfBox(harness::TakeMessageBox(panel.pid())), "Configuration stored in the Registry");
    const HWND main = harness::WaitForDialog("Tessaline QB480 Configuration", panel.pid());
    ASSERT_TRUE(main);
    EXPECT_EQ(harness::GetText(main, IDC_DRIVER_VERSION), "Driver not active");
    harness::Click(main, IDOK);  // Exit
    EXPECT_EQ(panel.Wait(kExitWaitMs), std::optional<DWORD>(0));

    const auto config = harness::QueryServiceConfiguration("VDXQB480");
    ASSERT_TRUE(config) << "no VDXQB480 service";
    EXPECT_EQ(config->startType, DWORD{SERVICE_AUTO_START});
    EXPECT_TRUE(SameText(config->imagePath, SystemDirectory() + "\\drivers\\vdxqb480.sys")) << config->imagePath;
    const char* parameters = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
    EXPECT_EQ(ReadDword(parameters, "MEM_SEG"), std::optional<DWORD>(kMemory));
    EXPECT_EQ(ReadDword(parameters, "PORT"), std::optional<DWORD>(kPort));
    EXPECT_EQ(ReadDword(parameters, "IRQ"), std::optional<DWORD>(kIrq));
}

// After the applet's first opening: the driver is registered and stopped,
// loader.sys lies beside the installed loader, the firmware in a folder of
// its own.
TEST(InstalledLoader, DownloadsThroughTheHelperBesideIt)
{
    harness::CChild loader(Quoted(Setting("QB480_LOADER")), Setting("QB480_FIRMWARE_FOLDER"));
    ASSERT_TRUE(loader.Started()) << loader.StartError();
    const HWND main = harness::WaitForDialog("qb480load", loader.pid());
    ASSERT_TRUE(main);
    harness::Click(main, IDOK);
    harness::ChooseFileInOpenDialog(loader.pid(), Setting("QB480_FIRMWARE_FILE"));
    EXPECT_EQ(TextOfBox(harness::TakeMessageBox(loader.pid(), kDownloadWaitMs)),
              "The firmware was successfully loaded into the card");
    EXPECT_EQ(loader.Wait(kExitWaitMs), std::optional<DWORD>(0));
    EXPECT_FALSE(harness::IsServiceListed("loader")) << "the helper service stayed registered";

    // Recorded by the helper stand-in as it downloaded.
    const char* record = "SOFTWARE\\QB480Test\\LoaderRun";
    EXPECT_EQ(ReadDword(record, "MEM_SEG"), std::optional<DWORD>(kMemory));
    EXPECT_EQ(ReadDword(record, "PORT"), std::optional<DWORD>(kPort));
    const std::string image = Setting("QB480_FIRMWARE_FILE");
    EXPECT_EQ(ReadString(record, "FirmwareFile"), std::optional<std::string>(image.substr(0, image.rfind('.')) + ".bin"));
}

// A package the installer refuses (an earlier version beside a later one,
// the x86 package on 64-bit Windows), opened with the installer's own user
// interface, as an administrator would double-click it.
// QB480_REFUSED_ARGUMENTS, when set, follow the package on the line.
TEST(RefusedPackage, TellsTheAdministratorWhy)
{
    const char* more = std::getenv("QB480_REFUSED_ARGUMENTS");
    harness::CChild installer(Quoted(Setting("QB480_MSIEXEC")) + " /i " + Quoted(Setting("QB480_REFUSED_MSI")) +
                              (more ? std::string(" ") + more : std::string()));
    ASSERT_TRUE(installer.Started()) << installer.StartError();
    const HWND box = harness::FindMessageBox(installer.pid(), kInstallerWaitMs);
    ASSERT_TRUE(box) << "the installer showed no message";
    // Read without the robot's icon probe: the installer may be of the other
    // architecture than this test (64-bit msiexec, 32-bit package).
    EXPECT_EQ(harness::GetText(box, kMessageTextId), Setting("QB480_REFUSAL"));
    harness::DismissMessageBox(box);
    EXPECT_EQ(installer.Wait(kInstallerWaitMs), std::optional<DWORD>(ERROR_INSTALL_FAILURE));
}

// msiexec started by a Windows program with exactly the command line given,
// in the installer's own syntax (a quote inside a quoted value doubled):
// the values that reach the board's properties are then the ones the test
// chose, whatever Wine's start-up would make of them; and the exit code is
// seen whole, above 255 too.
TEST(Msiexec, EndsWithTheCodeExpected)
{
    harness::CChild installer(Quoted(Setting("QB480_MSIEXEC")) + " " + Setting("QB480_MSIEXEC_ARGUMENTS"));
    ASSERT_TRUE(installer.Started()) << installer.StartError();
    EXPECT_EQ(installer.Wait(kInstallerWaitMs), std::optional<DWORD>(std::stoul(Setting("QB480_EXIT_CODE"))));
}
