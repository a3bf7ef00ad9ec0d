#pragma once

namespace qb480 {

// Lists vdxqb480 as a source of the System event log and writes its entry.
// Each failure that the administrator has always been told of is reported;
// false when any part of the entry could not be written.
bool RegisterEventLogSource();

// The set-up's own source of the Application log, "Tessaline QB480", for
// its audit trail: its message file put into the system folder from the
// program's own copy when none is there (a file already there, a
// package's or an earlier one, is kept: later messages only add strings),
// and its entry written. Each failure is said; false when the source could
// not be registered whole.
bool RegisterAuditSource();

// True when the entry names its message file and that file is there.
bool AuditSourceRegistered();

}  // namespace qb480
