#include "windows/SetUpStart.h"

#include "windows/AdminRights.h"
#include "ExitCodes.h"
#include "Reporter.h"
#include "windows/SetupLock.h"

namespace qb480 {

bool MaySetUp(CSetupLock& lock, const SetUpRefusals& refusals, CReporter& reporter)
{
    // Without the rights every later step fails with a misleading message,
    // and a standard user's run never touches the lock.
    if (!HoldsAdministratorRights()) {
        reporter.Fail(kExitNotAdministrator, refusals.notAdministrator);
        return false;
    }
    const CSetupLock::State state = lock.Take();
    for (const std::string& note : lock.Notes())
        reporter.Note(note);
    if (state == CSetupLock::State::Held || state == CSetupLock::State::Unguarded)
        return true;
    reporter.Fail(kExitBusy, refusals.busy);
    return false;
}

}  // namespace qb480
