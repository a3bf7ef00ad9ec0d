#pragma once
// The order in which the set-up claims and gives back the board's COM
// numbers and keeps its record of them, against a database and a record
// the caller provides. The record is written before anything is given
// back: a number once released is never in it, since another device may
// claim that number at once and the database does not say who claimed
// what. A new claim that cannot be recorded is given back at once.
// Portable, for unit tests.
#include "board/ComNumbering.h"

namespace qb480 {

// What the database answers a claim or a release.
enum class ComAnswer {
    Done,
    InUse,          // a claim of a number in use
    NotInDatabase,  // a release of a number beyond the database's size: nobody holds it
    Failed,
};

// The database and the set-up's record, as the steps use them.
class CComLedger {
public:
    virtual ComAnswer Claim(std::uint32_t number) = 0;
    virtual ComAnswer Release(std::uint32_t number) = 0;
    // False when the record could not be kept.
    virtual bool WriteRecord(const ComNumbers& record) = 0;

protected:
    ~CComLedger() = default;
};

struct ClaimOutcome {
    bool checked = false;     // false: no database here; nothing was claimed or released
    ComNumbers claimed;       // claimed now, and recorded
    ComNumbers released;      // given back now, and no longer recorded
    ComNumbers handedOver;    // no longer recorded, and left claimed: another device uses it now
    ComNumbers heldByOthers;  // needed by the board but held by another device
    ComNumbers failed;        // a claim or release the database refused; tried again next time
    bool recordFailed = false;  // a record could not be written (see ApplyClaimPlan)
};

// Carries the plan out on a machine whose record is record. When the record
// cannot be written before the releases, the new claims are given back and
// nothing is released: the record still names every number it did. A
// release the database refused is recorded again; should that write fail,
// the number stays claimed without a record.
ClaimOutcome ApplyClaimPlan(const ClaimPlan& plan, const ComNumbers& record, CComLedger& ledger);

}  // namespace qb480
