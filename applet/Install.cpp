#include "Install.h"

#include "BoardSettingsDlg.h"
#include "board/EventLogSource.h"
#include "MessageBox.h"
#include "windows/AuditLog.h"

namespace qb480 {

InstallOutcome InstallDriverService()
{
    const CAuditScope scope("first opening of the Control Panel applet");
    const InstallOutcome outcome = RegisterDriverService();
    if (outcome != InstallOutcome::Done)
        return outcome;
    RegisterEventLogSource();
    RegisterAuditSource();
    CBoardSettingsDlg settings;
    settings.DoModal();
    return InstallOutcome::Done;
}

}  // namespace qb480
