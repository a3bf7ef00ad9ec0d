// The applet module's one export: the Control Panel calls it for every
// message and it dispatches to the current applet.
#include <windows.h>
#include <cpl.h>

#include "AppletApp.h"
#include "Elevation.h"

namespace {
qb480::CAppletApp g_theApp;

// The instance started with the elevation word opens its dialog within this
// message and answers TRUE: no host is bound to double-click after a FALSE.
// Any other text is not ours, and a host that falls back double-clicks.
LONG StartWithParameters(qb480::CApplet* applet, HWND hwndCPl, LPARAM lParam1, bool elevatedWord)
{
    if (!elevatedWord)
        return FALSE;
    applet->OnDblclk(hwndCPl, lParam1, 0);
    return TRUE;
}
}  // namespace

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND hwndCPl, UINT uMsg, LPARAM lParam1, LPARAM lParam2)
{
    qb480::CApplet* applet = qb480::CApplet::Current();
    switch (uMsg) {
    case CPL_INIT:
        return applet->OnInit();
    case CPL_GETCOUNT:
        return applet->OnGetCount();
    case CPL_INQUIRE:
        return 0;  // the caller's CPLINFO is left as it is; CPL_NEWINQUIRE answers
    case CPL_SELECT:
        return applet->OnSelect(lParam1, lParam2);
    case CPL_DBLCLK:
        return applet->OnDblclk(hwndCPl, lParam1, lParam2);
    case CPL_STOP:
        return applet->OnStop(lParam1, lParam2);
    case CPL_EXIT:
        return applet->OnExit();
    case CPL_NEWINQUIRE:
        return applet->OnNewInquire(lParam1, reinterpret_cast<NEWCPLINFOA*>(lParam2));
    case CPL_STARTWPARMSA:
        return StartWithParameters(applet, hwndCPl, lParam1,
                                   qb480::NoteStartParameters(reinterpret_cast<const char*>(lParam2)));
    case CPL_STARTWPARMSW:
        return StartWithParameters(applet, hwndCPl, lParam1,
                                   qb480::NoteStartParameters(reinterpret_cast<const wchar_t*>(lParam2)));
    default:
        return 1;
    }
}
