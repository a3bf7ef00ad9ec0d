#pragma once
// What every program that registers the board's services checks before it
// writes anything: the rights, and no other set-up running.
namespace qb480 {

class CReporter;
class CSetupLock;

// The texts a program gives for the two refusals.
struct SetUpRefusals {
    const char* busy;
    const char* notAdministrator;
};

// First the rights, then the lock, which it takes and the caller keeps
// for the run. True when the run may go on; otherwise it has ended through
// the reporter with kExitNotAdministrator or kExitBusy (also for a lock
// that cannot be made). The lock's notes go to the log.
bool MaySetUp(CSetupLock& lock, const SetUpRefusals& refusals, CReporter& reporter);

}  // namespace qb480
