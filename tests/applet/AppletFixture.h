#pragma once
// What the end-to-end tests of qb480.cpl share: the built module loaded
// afresh for each test, CPlApplet called on the test's main thread as the
// Control Panel's thread calls it while a robot thread drives the dialogs,
// and the registry values, files and services the tests set and check.
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
#include "Handles.h"
#include "ImportHook.h"

namespace applettest {

inline const DWORD kSelf = GetCurrentProcessId();

inline constexpr char kMainCaption[] = "Tessaline QB480 Configuration";
inline constexpr char kBoardCaption[] = "Board Settings";
inline constexpr char kAboutCaption[] = "About qb480";
inline constexpr char kDriverNotActive[] = "Driver not active";
inline constexpr char kStored[] = "Configuration stored in the Registry";

inline constexpr char kServiceName[] = "VDXQB480";
inline constexpr char kParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
inline constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480";
inline constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";
inline constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\vdxqb480";

// Controls of the main dialog.
inline constexpr int kDriverVersion = 1021;
inline constexpr int kFirmwareVersion = 1022;
inline constexpr int kPrefix = 1040;
inline constexpr int kConfigure = 1015;
inline constexpr int kRemoveDriver = 1018;
inline constexpr int kExit = IDOK;
inline constexpr UINT kAboutCommand = 0x10;

// Controls of the board settings dialog.
inline constexpr int kMemory = 1003;
inline constexpr int kPort = 1004;
inline constexpr int kIrq = 1005;

// A registry value as stored: its type and its bytes.
struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    bool operator!=(const RegValue& other) const { return !(*this == other); }
};
void PrintTo(const RegValue& value, std::ostream* out);

// REG_SZ with its terminating zero byte, as the applet writes text.
RegValue Sz(const std::string& text);
RegValue Dword(std::uint32_t value);
RegValue MultiSz(const std::string& bytes);

// Values and keys under HKEY_LOCAL_MACHINE.
std::optional<RegValue> ReadValue(const std::string& key, const std::string& name);
bool WriteValue(const std::string& key, const std::string& name, const RegValue& value);
bool DeleteValue(const std::string& key, const std::string& name);
bool KeyExists(const std::string& key);

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
    harness::CImportHook m_hook;
};

// A GetSystemDirectoryA that fails, to patch into the applet.
UINT WINAPI NoSystemDirectory(LPSTR buffer, UINT size);

std::string DriverFilePath();
bool FileExists(const std::string& path);
// The board driver stand-in copied to where the applet expects the driver.
bool PlaceDriverFile();
// The driver file placed and its service registered (stopped, automatic
// start), as after a first opening.
bool RegisterDriver();

// The built qb480.cpl as a Windows path.
std::string CplPath();

// The first dialog of process pid with that caption, visible or not.
HWND FindDialog(const std::string& caption, DWORD pid = kSelf);

// The next message box of process pid, dismissed. Its form is checked as the
// applet's: caption "qb480", the exclamation icon, one OK button. Its text,
// or nothing when no box came in time.
std::string TakeBox(DWORD pid = kSelf, harness::CallSite where = {});

struct MainFields {
    std::string driverVersion, firmwareVersion, prefix;
};
MainFields ReadMainFields(HWND main, harness::CallSite where = {});
void ExpectMainFields(HWND main, const std::string& driverVersion, const std::string& firmwareVersion,
                      const std::string& prefix, harness::CallSite where = {});

struct BoardEntries {
    std::string memory, port, irq;
    bool operator==(const BoardEntries& other) const
    {
        return memory == other.memory && port == other.port && irq == other.irq;
    }
};
void PrintTo(const BoardEntries& entries, std::ostream* out);
BoardEntries ReadBoardEntries(HWND board, harness::CallSite where = {});
void TypeBoardEntries(HWND board, const BoardEntries& entries, harness::CallSite where = {});
// Types the entries, presses OK, takes "Configuration stored in the
// Registry" and waits until the dialog has closed.
void StoreBoardEntries(HWND board, const BoardEntries& entries, harness::CallSite where = {});

class CAppletTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HMODULE Cpl() const { return m_module.get(); }

    // CPlApplet on this thread while drive runs on a robot thread. Windows
    // still open once drive is done are reported and closed, so that a
    // failed step cannot hang the test.
    LONG Call(UINT message, LPARAM lParam1 = 0, LPARAM lParam2 = 0,
              const std::function<void()>& drive = {});
    // The administrator's double-click: CPL_DBLCLK.
    LONG DoubleClick(const std::function<void()>& drive) { return Call(CPL_DBLCLK, 0, 0, drive); }
    // True once the running call has returned (for the robot to look at).
    bool Returned() const { return m_returned; }

    // The main dialog opened on an installed driver: drive gets it once it
    // shows; whatever drive leaves open is closed with Escape.
    LONG WithMainDialog(const std::function<void(HWND)>& drive);

private:
    harness::CModule m_module;
    APPLET_PROC m_entry = nullptr;
    std::atomic<bool> m_returned{true};
};

}  // namespace applettest
