#pragma once

namespace qb480 {

// Lists vdxqb480 as a source of the System event log and writes its entry.
// Each failure that the administrator has always been told of is reported;
// false when any part of the entry could not be written.
bool RegisterEventLogSource();

}  // namespace qb480
