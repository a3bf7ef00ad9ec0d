#pragma once
// qb480load.exe run as an operator runs it: a copy of the program with the
// helper driver stand-in (fakeloader.sys as loader.sys) beside it, in a
// folder of the test's own, started there and driven by the robot. Each
// test starts and ends on the harness baseline.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "CallSite.h"
#include "Child.h"
#include "FirmwareFiles.h"
#include "HarnessFiles.h"
#include "RegValue.h"
#include "Robot.h"
#include "Scm.h"
#include "SimulatedBoard.h"
#include "TestKeys.h"

namespace loadertest {

using namespace harness;

inline constexpr char kCaption[] = "qb480load";
inline constexpr char kBoardDialog[] = "Enter board parameters:";
inline constexpr char kProgressWindow[] = "Loading in progress";
inline constexpr char kLoaderServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\loader";
inline constexpr char kLoaderParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\loader\\Parameters";
inline constexpr char kDriverServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480";
inline constexpr char kDriverParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";

inline constexpr char kLoaded[] = "The firmware was successfully loaded into the card";
inline constexpr char kStartFailed[] = "There was an error. Check the system's error log";
inline constexpr char kConversionFailed[] = "Error converting the firmware hex file to binary";
inline constexpr char kDriverActive[] =
    "The vdxqb480 driver is active. Please stop it and restart the firmware loader";
inline constexpr char kInstallAborted[] = "Couldn't install the loader service: installation aborted";
inline constexpr char kNotAdministrator[] = "Administrator rights are needed to load the QB480 firmware.";
inline constexpr char kAnotherLoad[] =
    "Another firmware load is running on this machine. Start the loader again when it has ended.";

// The image file a run leaves in the drivers folder.
std::string ImageFile(const std::string& name = "fw.bin");

// A download that succeeded: what the helper read, the image in the board,
// and no helper service left behind.
void ExpectDelivered(const std::string& image, DWORD memSeg, DWORD port, const std::string& imageName = "fw.bin",
                     CallSite where = {});

// What a refused run must leave as it found it: the services, the helper's
// and the board driver's keys, and the drivers folder.
struct MachineState {
    std::vector<std::string> services;
    std::map<std::string, RegValue> helperValues;
    bool driverKey = false;
    std::vector<std::string> driverFiles;
};
MachineState ReadMachineState();
void ExpectMachineUnchanged(const MachineState& before, CallSite where = {});

// A registration of the helper left by an interrupted run, with the values
// that run handed over: MEM_SEG C0000, PORT 100, FirmwareFile "old.bin".
void LeaveStaleHelperRegistration(CallSite where = {});

// Imports of the program made to fail: the function and its error.
using Faults = std::vector<std::pair<std::string, DWORD>>;

class LoaderRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test's folder, holding qb480load.exe and loader.sys.
    const std::string& Folder() const { return m_folder; }
    std::string InFolder(const std::string& name) const { return m_folder + "\\" + name; }
    // A subfolder of the test's folder, created.
    std::string Subfolder(const std::string& name) const;
    // FirmwareImage(size, seed) written as Intel HEX into the test's folder
    // under that name; the image.
    std::string PlaceFirmware(std::size_t size, std::uint32_t seed, const std::string& name = "fw.hex") const;

    // Starts the copy with these arguments after its quoted path, in this
    // current directory (default: its folder), and waits for nothing.
    bool Launch(const std::string& arguments = std::string(), const ChildStart& start = {},
                const std::string& currentDirectory = std::string(), CallSite where = {});
    // Launches it without arguments and waits for the confirmation dialog.
    bool Start(const std::string& currentDirectory = std::string(), CallSite where = {});
    void Confirm(CallSite where = {});
    // Confirms and types name into the Open dialog.
    void ConfirmAndChoose(const std::string& name, CallSite where = {});
    HWND WaitForBoardDialog(CallSite where = {});
    // A run started by a script: launched with these arguments and the
    // faults injected before it runs any code of its own, then waited for.
    // Its exit code as a Windows parent reads it (reported when it does not
    // end), and the captions of the windows it had while it ran.
    using ScriptedRun = WatchedRun;
    ScriptedRun RunScripted(const std::string& arguments, const Faults& faults = {}, CallSite where = {});
    // The lines of a log in the test's folder without their time stamps;
    // each must begin with one.
    Texts LogLines(const std::string& name = "run.log", CallSite where = {}) const;
    // Types both entries and presses OK; the dialog must close.
    void AcceptBoardParameters(const std::string& memory, const std::string& port, CallSite where = {});
    // The whole run of an operator who picks name and, when the board
    // values are asked for, types memory and port: the boxes until the
    // program ended, which it must with exit code 0. The faults are injected
    // while the confirmation waits (see harness::InjectFaults).
    Texts Run(const std::string& name, const std::string& memory = "D0000", const std::string& port = "300",
              const Faults& faults = {}, CallSite where = {});
    // The text of every message box until the program ends, in order, each
    // dismissed with OK; each must be the application's box (caption,
    // exclamation icon, one OK button). Reports a program that does not end.
    Texts BoxesUntilExit(int timeoutMs = 15000, CallSite where = {});
    // The next box's text, checked like those of BoxesUntilExit.
    std::string NextBox(CallSite where = {});
    std::optional<DWORD> ExitCode(int timeoutMs = 5000) const;

    DWORD pid() const { return m_child->pid(); }
    CChild& Child() { return *m_child; }
    HWND MainDialog() const { return m_main; }

private:
    std::string m_folder;
    std::optional<CChild> m_child;
    HWND m_main = nullptr;
};

}  // namespace loadertest
