#pragma once
// What every program that registers the board's services checks before it
// writes anything: no other set-up running, and the rights.
namespace qb480 {

class CReporter;
class CSetupLock;

// The texts a program gives for the two refusals.
struct SetUpRefusals {
    const char* busy;
    const char* notAdministrator;
};

// True when the run may go on; otherwise it has ended through the reporter
// with kExitBusy or kExitNotAdministrator. A lock that cannot be made
// counts as busy only after the rights: a standard user cannot make it.
bool MaySetUp(const CSetupLock& lock, const SetUpRefusals& refusals, CReporter& reporter);

}  // namespace qb480
