#pragma once
// Only an administrator may open the Service Control Manager with full
// access, register kernel services or write the board's keys. Asking first
// gives the operator the real cause instead of a later, misleading failure.

#include <windows.h>

#include <memory>
#include <vector>

namespace qb480 {

struct FreeSidDeleter {
    void operator()(PSID sid) const { FreeSid(sid); }
};
using UniqueSid = std::unique_ptr<void, FreeSidDeleter>;

// The groups that may set the board up: BUILTIN\Administrators
// (S-1-5-32-544) and LocalSystem (S-1-5-18). Empty when the system cannot
// make them.
UniqueSid AdministratorsSid();
UniqueSid LocalSystemSid();

// True when this process's token holds the Administrators group enabled
// (not deny-only, as a limited or restricted token holds it). False when
// the token cannot be read: a check that cannot be made does not pass.
bool HoldsAdministratorRights();

// The SID of the account this process runs as, its bytes; empty when the
// token cannot be read.
std::vector<BYTE> ProcessUserSid();

}  // namespace qb480
