#pragma once
// The machine's side of the board's record (BoardRecord.h): read before
// the configuration runs, put back by the rollback.
#include <optional>
#include <string>
#include <vector>

#include "BoardRecord.h"

namespace qb480 {

// Whether the driver's service is registered, and every key and value the
// configuration may write or delete: the driver's parameters, its special
// modes, the System event log's list of sources and the driver's entry in
// it. None when one cannot be read; fault then names it.
std::optional<BoardRecord> ReadBoardRecord(std::string& fault);

// Puts the record back: the service is deleted when it was not registered
// before, each key the record says was absent is deleted, and each other
// key gets exactly its recorded values back. Every step is tried; the
// faults of those that failed are returned, one line each.
std::vector<std::string> RestoreBoardRecord(const BoardRecord& record);

}  // namespace qb480
