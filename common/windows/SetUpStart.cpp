#include "windows/SetUpStart.h"

#include "windows/AdminRights.h"
#include "ExitCodes.h"
#include "Reporter.h"
#include "windows/SetupLock.h"

namespace qb480 {

bool MaySetUp(const CSetupLock& lock, const SetUpRefusals& refusals, CReporter& reporter)
{
    if (lock.GetState() == CSetupLock::State::Busy)
        reporter.Fail(kExitBusy, refusals.busy);
    // Without the rights every later step fails with a misleading message.
    else if (!HoldsAdministratorRights())
        reporter.Fail(kExitNotAdministrator, refusals.notAdministrator);
    else if (lock.GetState() != CSetupLock::State::Held)
        reporter.Fail(kExitBusy, refusals.busy);
    else
        return true;
    return false;
}

}  // namespace qb480
