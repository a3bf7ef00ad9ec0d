#include "Install.h"

#include "BoardSettingsDlg.h"
#include "EventLogSource.h"
#include "MessageSink.h"

namespace qb480 {

InstallOutcome InstallDriverService()
{
    const InstallOutcome outcome = RegisterDriverService(MessageBoxSink());
    if (outcome != InstallOutcome::Done)
        return outcome;
    RegisterEventLogSource(MessageBoxSink());
    CBoardSettingsDlg settings;
    settings.DoModal();
    return InstallOutcome::Done;
}

}  // namespace qb480
