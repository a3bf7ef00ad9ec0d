#pragma once
// Only an administrator may open the Service Control Manager with full
// access, register kernel services or write the board's keys. Asking first
// gives the operator the real cause instead of a later, misleading failure.

namespace qb480 {

// True when this process's token holds the Administrators group enabled
// (not deny-only, as a limited or restricted token holds it). False when
// the token cannot be read: a check that cannot be made does not pass.
bool HoldsAdministratorRights();

}  // namespace qb480
