#pragma once
// The machine's side of the board's record (BoardRecord.h) and of the
// rollback's plan (RollbackPlan.h): read before and after the
// configuration and at the rollback, and the plan carried out.
#include <optional>
#include <string>
#include <vector>

#include "BoardRecord.h"
#include "RollbackPlan.h"

namespace qb480 {

// Whether the driver's service is registered, every key and value the
// configuration may write or delete (the driver's parameters, its special
// modes, the System event log's list of sources and the driver's entry in
// it), and the COM port database's marks with the set-up's record of its
// claims. None when one cannot be read; fault then names it.
std::optional<BoardRecord> ReadBoardRecord(std::string& fault);

// Carries the plan out: the service this installation registered is
// deleted, each value written back or deleted, a key the configuration
// created deleted once nothing else is in it, and the COM numbers released
// or claimed again (one another device took meanwhile stays that device's).
// Every step is tried; the faults of those that failed are returned, one
// line each.
std::vector<std::string> CarryOut(const RollbackPlan& plan, const BoardRecord& now);

}  // namespace qb480
