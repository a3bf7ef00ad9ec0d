#pragma once
// The end-to-end session of qb480.cpl: the built module loaded afresh for
// each test, CPlApplet called on the test's main thread as the Control
// Panel's thread calls it while a robot thread drives the dialogs, the
// applet's names, and what the tests read from and type into its dialogs.
#include <windows.h>
#include <cpl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CallSite.h"
#include "Child.h"
#include "Handles.h"
#include "HarnessFiles.h"
#include "ImportHook.h"
#include "RegValue.h"
#include "Robot.h"
#include "Scm.h"
#include "SimulatedBoard.h"

namespace harness {

inline const DWORD kSelf = GetCurrentProcessId();

inline constexpr char kAppletCaption[] = "qb480";
inline constexpr char kMainCaption[] = "Tessaline QB480 Configuration";
inline constexpr char kBoardCaption[] = "Board Settings";
inline constexpr char kAboutCaption[] = "About qb480";
inline constexpr char kDriverNotActive[] = "Driver not active";
inline constexpr char kStored[] = "Configuration stored in the Registry";

inline constexpr char kServiceName[] = "VDXQB480";
inline constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480";
inline constexpr char kParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
inline constexpr char kModesKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters\\SpecialModes";
inline constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";
inline constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\vdxqb480";

// Controls of the main dialog.
inline constexpr int kDriverVersion = 1021;
inline constexpr int kFirmwareVersion = 1022;
inline constexpr int kPrefix = 1040;
inline constexpr int kConfigure = 1015;
inline constexpr int kRemoveDriver = 1018;
inline constexpr int kPortNumberingButton = 1045;
inline constexpr int kAdvancedButton = 1047;
inline constexpr int kExit = IDOK;
inline constexpr UINT kAboutCommand = 0x10;

// Controls of the board settings dialog.
inline constexpr int kMemory = 1003;
inline constexpr int kPort = 1004;
inline constexpr int kIrq = 1005;

// The built qb480.cpl as a Windows path.
std::string CplPath();
// Wine's control.exe opening the built applet, as a command line.
std::string ControlPanelCommand();

// commandLine (a Control Panel, rundll32) started under token (null: this
// process's) with qb480.cpl's imports patched as it loads: see
// InjectFaultsWhenLoaded. A failed injection is reported and the child
// stays suspended.
CChild StartWithAppletFaults(const std::string& commandLine, HANDLE token,
                             const std::vector<std::pair<std::string, DWORD>>& faults, CallSite where = {});
// The captions of the dialogs and boxes the child showed until it ended
// (or timeoutMs passed); each is closed, so that a wrong one cannot keep it
// from ending.
std::vector<std::string> DialogsUntilExit(const CChild& child, int timeoutMs = 10000);

// The next message box of process pid, dismissed, checked as the applet's
// (caption "qb480", the exclamation icon, one OK button): its text, or
// empty when no box came in time.
std::string TakeBox(DWORD pid = kSelf, CallSite where = {});

// Clicks the main dialog's button and waits for the dialog it opens. The
// texts of the applet's boxes shown before that dialog appears are added to
// boxes, in order; without boxes, any such box is a failure.
HWND OpenFromMain(HWND main, int button, const std::string& caption, Texts* boxes = nullptr, CallSite where = {});
// True when dlg is still open, and no box came, waitMs after an action that
// should do nothing.
bool StaysOpenQuietly(HWND dlg, int waitMs = 150, CallSite where = {});
// Waits until the dialog has closed; a failure when it does not.
void ExpectClosed(HWND dlg, CallSite where = {});

struct MainFields {
    std::string driverVersion, firmwareVersion, prefix;
};
MainFields ReadMainFields(HWND main, CallSite where = {});
void ExpectMainFields(HWND main, const std::string& driverVersion, const std::string& firmwareVersion,
                      const std::string& prefix, CallSite where = {});

struct BoardEntries {
    std::string memory, port, irq;
    bool operator==(const BoardEntries& other) const
    {
        return memory == other.memory && port == other.port && irq == other.irq;
    }
};
void PrintTo(const BoardEntries& entries, std::ostream* out);
BoardEntries ReadBoardEntries(HWND board, CallSite where = {});
void TypeBoardEntries(HWND board, const BoardEntries& entries, CallSite where = {});
// Types the entries, presses OK, takes "Configuration stored in the
// Registry" and waits until the dialog has closed.
void StoreBoardEntries(HWND board, const BoardEntries& entries, CallSite where = {});

// Records the values qb480.cpl writes, as it passes them, and lets every
// write through. Wine's registry appends the terminating zero a text was
// given without, so only here is the byte count the applet gave visible.
class CRegWriteRecorder {
public:
    explicit CRegWriteRecorder(HMODULE cpl);
    CRegWriteRecorder(const CRegWriteRecorder&) = delete;
    CRegWriteRecorder& operator=(const CRegWriteRecorder&) = delete;

    bool Active() const { return static_cast<bool>(m_hook); }
    // The writes of values of that name, oldest first.
    std::vector<RegValue> Writes(const std::string& name) const;

private:
    CImportHook m_hook;
};

// Records the texts of the message boxes qb480.cpl shows, as it calls
// MessageBoxA, and lets every box through. Read once a step has finished,
// it tells of every box the step showed, also one the robot did not wait for.
class CBoxRecorder {
public:
    explicit CBoxRecorder(HMODULE cpl);
    CBoxRecorder(const CBoxRecorder&) = delete;
    CBoxRecorder& operator=(const CBoxRecorder&) = delete;

    bool Active() const { return static_cast<bool>(m_hook); }
    // Oldest first.
    Texts Shown() const;

private:
    CImportHook m_hook;
};

// A GetSystemDirectoryA that fails, to patch into the applet.
UINT WINAPI NoSystemDirectory(LPSTR buffer, UINT size);

class CAppletTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HMODULE Cpl() const { return m_module.get(); }

    // CPlApplet on this thread while drive runs on a robot thread. Windows
    // still open once drive is done are reported and closed, so that a
    // failed step cannot hang the test.
    LONG Call(UINT message, LPARAM lParam1 = 0, LPARAM lParam2 = 0, const std::function<void()>& drive = {});
    // The administrator's double-click: CPL_DBLCLK.
    LONG DoubleClick(const std::function<void()>& drive) { return Call(CPL_DBLCLK, 0, 0, drive); }
    // True once the running call has returned (for the robot to look at).
    bool Returned() const { return m_returned; }
    // Every box the applet has shown since the module was loaded.
    Texts BoxesShown() const { return m_boxes ? m_boxes->Shown() : Texts{}; }

    // The main dialog opened on an installed driver: drive gets it once it
    // shows. Dialogs and boxes drive leaves open are reported and closed;
    // the main dialog is closed with Cancel, which stores nothing.
    LONG WithMainDialog(const std::function<void(HWND main)>& drive, CallSite where = {});
    // The same for another message that opens it, such as CPL_STARTWPARMSW.
    LONG WithMainDialogOf(UINT message, LPARAM lParam2, const std::function<void(HWND main)>& drive,
                          CallSite where = {});

private:
    UniqueModule m_module;
    std::optional<CBoxRecorder> m_boxes;
    APPLET_PROC m_entry = nullptr;
    std::atomic<bool> m_returned{true};
};

// The same over the driver as a first opening leaves it: its file placed and
// its service registered (stopped, automatic start), so that the main
// dialog opens without installing.
class CInstalledAppletTest : public CAppletTest {
protected:
    void SetUp() override;
};

}  // namespace harness
