#pragma once
// What the tests of the "Port Numbering" and "Advanced Options" dialogs
// share: the built qb480.cpl loaded afresh for each test, its main dialog
// opened through CPlApplet on the test's main thread (as the Control Panel's
// thread opens it) while a robot thread drives the dialogs, and the registry
// values the tests set and check.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CallSite.h"
#include "Handles.h"

namespace portstest {

inline const DWORD kSelf = GetCurrentProcessId();

inline constexpr char kMainCaption[] = "Tessaline QB480 Configuration";
inline constexpr char kParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
inline constexpr char kModesKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters\\SpecialModes";

// Controls of the main dialog.
inline constexpr int kPrefixField = 1040;
inline constexpr int kPortNumberingButton = 1045;
inline constexpr int kAdvancedButton = 1047;

using Texts = std::vector<std::string>;

// A registry value as stored: its type and its bytes.
struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
};
void PrintTo(const RegValue& value, std::ostream* out);

RegValue Dword(std::uint32_t value);
RegValue Sz(const std::string& text);
// Any type with the given bytes.
RegValue Raw(DWORD type, const std::string& bytes);

// Values and keys under HKEY_LOCAL_MACHINE. Failures to set up are
// reported at the caller's line.
std::optional<RegValue> ReadValue(const std::string& key, const std::string& name);
void WriteValue(const std::string& key, const std::string& name, const RegValue& value, harness::CallSite where = {});
void DeleteValue(const std::string& key, const std::string& name, harness::CallSite where = {});
void DeleteKeyTree(const std::string& key, harness::CallSite where = {});
bool KeyExists(const std::string& key);
// The key's value names, sorted; empty when the key is missing.
Texts ValueNames(const std::string& key);

// The driver's report of its ports, as the driver writes it.
void WritePorts(std::uint32_t count, std::uint32_t first, harness::CallSite where = {});

// The next message box of this process, dismissed. Its form is checked as
// the applet's: caption "qb480", the exclamation icon, one OK button. Its
// text, or empty when no box came in time.
std::string TakeBox(harness::CallSite where = {});

// Clicks the main dialog's button and waits for the dialog it opens. The
// texts of the boxes shown before that dialog appears are added to boxes,
// in order; without boxes, any such box is a failure.
HWND OpenFromMain(HWND main, int button, const std::string& caption, Texts* boxes = nullptr,
                  harness::CallSite where = {});

// Puts the focus into a control as the Tab key would.
void FocusControl(HWND dlg, int id, harness::CallSite where = {});
// The system menu's Close, as the caption's close box sends it.
void PressCloseBox(HWND dlg);
// True when dlg is still open, and no box came, waitMs after an action that
// should do nothing.
bool StaysOpenQuietly(HWND dlg, int waitMs = 150, harness::CallSite where = {});
// Waits until the dialog has closed; a failure when it does not.
void ExpectClosed(HWND dlg, harness::CallSite where = {});

class CPortsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HMODULE Cpl() const { return m_module.get(); }

    // The administrator's double-click: the main dialog opens on this thread
    // over a registered driver that is not running, and drive gets it on a
    // robot thread once it shows. Dialogs and boxes drive leaves open are
    // reported and closed; the main dialog is closed with Escape, which
    // stores nothing.
    void WithMainDialog(const std::function<void(HWND main)>& drive, harness::CallSite where = {});

private:
    using AppletProc = LONG(APIENTRY*)(HWND, UINT, LPARAM, LPARAM);

    harness::CModule m_module;
    AppletProc m_entry = nullptr;
};

}  // namespace portstest
