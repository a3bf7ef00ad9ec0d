#pragma once
// The simulated board the end-to-end tests run on: the board driver
// stand-in (fakevdx.sys) placed and registered as the applet installs the
// real driver, the helper driver stand-in (fakeloader.sys), the file that
// plays the board's memory, and the record the helper leaves of its run.
#include "CallSite.h"

#include <windows.h>

#include <optional>
#include <string>

namespace harness {

inline constexpr char kBoardFile[] = "C:\\qb480board.bin";
// Where fakeloader.sys records each run: Wine deletes the helper service's
// own key with the service.
inline constexpr char kHelperRecordKey[] = "SOFTWARE\\QB480Test\\LoaderRun";

// The stand-ins as built, as Windows paths.
std::string FakeVdxPath();
std::string FakeLoaderPath();

// drivers\vdxqb480.sys, where the applet expects the board driver.
std::string BoardDriverPath();
// The stand-in copied there; a failure at the caller's line when it cannot be.
bool PlaceBoardDriver(CallSite where = {});
// Placed and registered as "VDXQB480", stopped, with that start type.
bool RegisterBoardDriver(DWORD startType, CallSite where = {});

// What fakeloader.sys read and returned when it was last started.
struct HelperRecord {
    bool present = false;
    std::optional<DWORD> memSeg, port, bytes, result;
    std::optional<std::string> firmwareFile;
};
HelperRecord ReadHelperRecord();

}  // namespace harness
