#pragma once
// The board's COM numbers in Windows' COM port database, claimed and given
// back by the rule of board/ComNumbering.h, with the set-up's record of its
// claims in the driver's parameter key. Nothing here shows a message: the
// callers decide what to tell. Where the system has no database (NT 4.0,
// Wine's own msports.dll), nothing is claimed and nothing fails.
#include <cstdint>
#include <string>
#include <vector>

#include "board/BoardState.h"
#include "board/ComClaimSteps.h"

namespace qb480 {

// The step the applet takes when its main dialog opens and after it stores
// a numbering, and the configurator after it changes a setting: claims the
// numbers the board needs, releases recorded numbers it needs no more, and
// keeps the record. Another device's numbers are never touched.
ClaimOutcome UpdateComClaims();

// The record as the registry holds it; empty when there is none.
ComNumbers ReadComRecord();

// The driver's removal: gives back every number of record, read before
// the service and its key went, but those another device uses now, and
// deletes the record where the key is still there (it is never created).
// Unchecked without a database.
ClaimOutcome ReleaseComClaims(const ComNumbers& record);

// The numbers that other devices hold among those the board's ports take
// from first (TotalNumberOfPorts of them), with the device SERIALCOMM names
// for each; none without a database, or where the stored prefix is not COM.
std::vector<HeldNumber> NumbersHeldByOthers(std::uint32_t first);

enum class ComNumberState {
    Claimed,    // in use and recorded: claimed for the board
    Other,      // in use and not recorded: another device holds it
    Free,       // not in use: the next claim takes it
    Unchecked,  // no database, a prefix other than COM, or a number it cannot arbitrate
};
struct ComNumberView {
    std::uint32_t number = 0;
    ComNumberState state = ComNumberState::Unchecked;
    std::string device;  // for Other: the device SERIALCOMM names, empty when none
};
// The state of each of state.ports' numbers, read only.
std::vector<ComNumberView> ReadComNumberStates(const BoardState& state);

}  // namespace qb480
