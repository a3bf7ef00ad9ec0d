#pragma once
// Whether the board driver's service runs, asked silently with no more
// access than a standard user has: for steps that only decide by it.
namespace qb480 {

// Registered and not stopped; false also when the manager cannot say.
bool DriverServiceRuns();

}  // namespace qb480
