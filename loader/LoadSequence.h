#pragma once
#include <windows.h>

namespace qb480 {

class CReporter;
struct LoaderArguments;

// The loader's exit codes besides those of ExitCodes.h; fixed for good.
inline constexpr int kExitConversionFailed = 2;
inline constexpr int kExitDriverActive = 3;
inline constexpr int kExitBoardParameters = 4;
inline constexpr int kExitHelperNotRegistered = 5;
inline constexpr int kExitDownloadFailed = 6;
inline constexpr int kExitProgramFolderUnknown = 7;

// The one download of a run: take and convert the firmware, check the board
// driver, hand the board values and the image name to the helper service,
// start it, report, remove it. mainWindow is the confirmation, which owns
// every window and message of the run; a quiet run has none and creates no
// window at all.
void RunLoadSequence(const LoaderArguments& arguments, CReporter& reporter, HWND mainWindow);

}  // namespace qb480
