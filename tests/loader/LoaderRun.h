#pragma once
// qb480load.exe run as an operator runs it: a copy of the program with the
// helper driver stand-in (fakeloader.sys as loader.sys) beside it, in a
// folder of the test's own, started there and driven by the robot. Each
// test starts and ends on the harness baseline.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "CallSite.h"
#include "Child.h"

namespace loadertest {

using Texts = std::vector<std::string>;

inline constexpr char kCaption[] = "qb480load";
inline constexpr char kBoardDialog[] = "Enter board parameters:";
inline constexpr char kProgressWindow[] = "Loading in progress";
inline constexpr char kBoardFile[] = "C:\\qb480board.bin";
inline constexpr char kHelperRecordKey[] = "SOFTWARE\\QB480Test\\LoaderRun";
inline constexpr char kTestKey[] = "SOFTWARE\\QB480Test";
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

// What fakeloader.sys read and returned when the loader started it.
struct HelperRecord {
    bool present = false;
    std::optional<DWORD> memSeg, port, bytes, result;
    std::optional<std::string> firmwareFile;
};
HelperRecord ReadHelperRecord();

// HKEY_LOCAL_MACHINE as the test sees it.
bool KeyExists(const std::string& path);
struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
};
// Every value of the key by name; empty when the key is missing.
std::map<std::string, RegValue> ReadValues(const std::string& path);
// A REG_DWORD or REG_SZ value; nothing when missing or of another type.
std::optional<DWORD> ReadDword(const std::string& path, const char* name);
std::optional<std::string> ReadString(const std::string& path, const char* name);
// The little-endian bytes of a value as the registry stores them.
std::string BytesOf(std::uint64_t value, std::size_t size = 4);
void SetValue(const std::string& path, const char* name, DWORD type, const std::string& data);
void SetDword(const std::string& path, const char* name, DWORD value);

std::string DriversFolder();
// Nothing when the file is missing, so that "gone" and "empty" differ.
std::optional<std::string> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Waits until the SCM no longer lists the service; false when it stays.
bool ServiceGone(const std::string& name);

class LoaderRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test's folder, holding qb480load.exe and loader.sys.
    const std::string& Folder() const { return m_folder; }
    std::string InFolder(const std::string& name) const { return m_folder + "\\" + name; }
    // A subfolder of the test's folder, created.
    std::string Subfolder(const std::string& name) const;

    // Starts the copy with this current directory (default: its folder) and
    // waits for the confirmation dialog.
    bool Start(const std::string& currentDirectory = std::string(), harness::CallSite where = {});
    void Confirm(harness::CallSite where = {});
    // Confirms and types name into the Open dialog.
    void ConfirmAndChoose(const std::string& name, harness::CallSite where = {});
    HWND WaitForBoardDialog(harness::CallSite where = {});
    // Types both entries and presses OK; the dialog must close.
    void AcceptBoardParameters(const std::string& memory, const std::string& port, harness::CallSite where = {});
    // The text of every message box until the program ends, in order, each
    // dismissed with OK; each must be the application's box (caption,
    // exclamation icon, one OK button). Reports a program that does not end.
    Texts BoxesUntilExit(int timeoutMs = 15000, harness::CallSite where = {});
    // The next box's text, checked like those of BoxesUntilExit.
    std::string NextBox(harness::CallSite where = {});
    std::optional<DWORD> ExitCode(int timeoutMs = 5000) const;

    DWORD pid() const { return m_child->pid(); }
    harness::CChild& Child() { return *m_child; }
    HWND MainDialog() const { return m_main; }

private:
    std::string m_folder;
    std::optional<harness::CChild> m_child;
    HWND m_main = nullptr;
};

}  // namespace loadertest
