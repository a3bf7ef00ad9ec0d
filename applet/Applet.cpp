#include "Applet.h"

#include <cstring>

#include "App.h"
#include "ConfigDlg.h"
#include "Elevation.h"
#include "resource.h"

namespace qb480 {

namespace {
CApplet* g_currentApplet = nullptr;

template <std::size_t N>
void CopyText(char (&to)[N], const char* from)
{
    std::strncpy(to, from, N - 1);
    to[N - 1] = '\0';
}
}  // namespace

CApplet::CApplet() { g_currentApplet = this; }

CApplet* CApplet::Current() { return g_currentApplet; }

LONG CApplet::OnDblclk(HWND, LPARAM, LPARAM) { return 0; }
LONG CApplet::OnExit() { return 0; }
LONG CApplet::OnGetCount() { return 1; }
LONG CApplet::OnInit() { return 1; }
LONG CApplet::OnSelect(LPARAM, LPARAM) { return 1; }
LONG CApplet::OnStop(LPARAM, LPARAM) { return 1; }

LONG CApplet::OnNewInquire(LPARAM, NEWCPLINFOA* info)
{
    FillInquiry(*info, 1, "Applet", "Raw Cpl Applet");
    return 0;
}

void CApplet::FillInquiry(NEWCPLINFOA& info, UINT iconId, const char* name, const char* description)
{
    info.dwSize = sizeof(NEWCPLINFOA);
    info.dwFlags = 0;
    info.dwHelpContext = 0;
    info.lData = 0;
    info.hIcon = LoadIconA(fw::ModuleInstance(), MAKEINTRESOURCEA(iconId));
    CopyText(info.szName, name);
    CopyText(info.szInfo, description);
    info.szHelpFile[0] = '\0';
}

LONG CBoardApplet::OnNewInquire(LPARAM, NEWCPLINFOA* info)
{
    FillInquiry(*info, IDI_BOARD, "Tessaline QB480", "Configures or adds Tessaline QB480 boards");
    return 0;
}

LONG CBoardApplet::OnDblclk(HWND, LPARAM, LPARAM)
{
    if (!ConfigureInThisInstance())
        return 0;
    CConfigDlg dialog;
    dialog.DoModal();
    return 0;
}

}  // namespace qb480
