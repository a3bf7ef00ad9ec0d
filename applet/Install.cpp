#include "Install.h"

#include "BoardSettingsDlg.h"
#include "board/EventLogSource.h"
#include "MessageBox.h"

namespace qb480 {

InstallOutcome InstallDriverService()
{
    const InstallOutcome outcome = RegisterDriverService();
    if (outcome != InstallOutcome::Done)
        return outcome;
    RegisterEventLogSource();
    CBoardSettingsDlg settings;
    settings.DoModal();
    return InstallOutcome::Done;
}

}  // namespace qb480
