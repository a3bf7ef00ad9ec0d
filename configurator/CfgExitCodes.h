#pragma once
// The configurator's own exit codes, beside those every program of the
// board's set-up shares (ExitCodes.h). Where the loader has a code of the
// same meaning, the number is the same. They are fixed for good.
#include "ExitCodes.h"

namespace qb480 {

inline constexpr int kExitSettingsFile = 2;       // cannot be read or written, or is refused
inline constexpr int kExitDriverActive = 3;       // remove while the driver runs
inline constexpr int kExitSettingRefused = 4;     // by the board's rules; nothing written
inline constexpr int kExitServiceNotCreated = 5;  // "Create service failed: installation aborted"
inline constexpr int kExitDriverFileMissing = 6;  // "Driver file not found"
// check, and /whatif: the machine differs from what is asked; nothing was
// changed.
inline constexpr int kExitDiffers = 10;
// ERROR_INSTALL_USEREXIT: Ctrl+C, Ctrl+Break or the console closed. The
// step in progress was finished; no further one was taken.
inline constexpr int kExitCancelled = 1602;
// ERROR_SUCCESS_REBOOT_REQUIRED, which deployment tools read as "done,
// takes effect later": the running driver reads its settings when it starts.
inline constexpr int kExitDoneDriverRuns = 3010;

}  // namespace qb480
