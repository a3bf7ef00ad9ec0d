#pragma once
// The exit codes that mean the same in every program of the board's
// set-up, so that one script reads them all alike. They are fixed for good.

namespace qb480 {

inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 1;  // the command line or the log
inline constexpr int kExitNotAdministrator = 8;
inline constexpr int kExitStepFailed = 9;  // done, but an earlier step reported a failure
// ERROR_INSTALL_ALREADY_RUNNING, which deployment tools already read as
// "try again later".
inline constexpr int kExitBusy = 1618;

}  // namespace qb480
