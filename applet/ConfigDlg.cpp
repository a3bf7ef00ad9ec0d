#include "ConfigDlg.h"
#include "windows/AuditLog.h"

#include "AboutDlg.h"
#include "AdvancedDlg.h"
#include "App.h"
#include "BoardSettingsDlg.h"
#include "board/BoardState.h"
#include "board/ComClaims.h"
#include "DataExchange.h"
#include "Install.h"
#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "board/PortNamePrefix.h"
#include "PortNumberingDlg.h"
#include "windows/Registry.h"
#include "board/RemoveDriver.h"
#include "windows/ServiceControl.h"
#include "resource.h"

namespace qb480 {

void ReadVersions(std::string& driverText, std::string& firmwareText)
{
    const fw::UniqueHkey key = CreateKeyForReadWrite(kDriverParamKey);
    ReadVersionTexts(key.get(), driverText, firmwareText);
}

CConfigDlg::CConfigDlg(HWND parent)
    : CDialog(IDD_CONFIG, parent), m_hIcon(LoadIconA(fw::ModuleInstance(), MAKEINTRESOURCEA(IDI_BOARD)))
{
}

void CConfigDlg::DoDataExchange(fw::CDataExchange& dx)
{
    dx.Text(IDC_DRIVER_VERSION, m_driverVersion);
    dx.Text(IDC_FIRMWARE_VERSION, m_firmwareVersion);
    dx.Text(IDC_PORT_NAME_PREFIX, m_portNamePrefix);
}

BOOL CConfigDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    AppendAboutMenuEntry(IDS_ABOUTBOX);
    SetIcon(m_hIcon);
    OutputDebugStringA("\nTesting if driver is installed\n\n");
    if (!IsDriverInstalled()) {
        switch (InstallDriverService()) {
        case InstallOutcome::FileMissing:
            return FALSE;
        case InstallOutcome::ServiceNotCreated:
            return TRUE;
        case InstallOutcome::Done:
            break;
        }
    }
    ShowVersions();
    m_portNamePrefix = PrefixAtOpening();
    const CAuditScope scope("opening of the Control Panel applet");
    StorePortNamePrefix(m_portNamePrefix);
    UpdateData(false);
    UpdateComClaims();  // silent; with no database it does nothing
    return TRUE;
}

void CConfigDlg::ShowVersions()
{
    if (!VDXDriverStarted()) {
        m_driverVersion = m_firmwareVersion = kDriverNotActive;
        return;
    }
    std::string driverText(kVersionBuffer, '0');
    std::string firmwareText(kVersionBuffer, '0');
    ReadVersions(driverText, firmwareText);
    m_driverVersion = driverText;
    m_firmwareVersion = firmwareText;
}

void CConfigDlg::OnOK()
{
    UpdateData(true);
    const CAuditScope scope("Tessaline QB480 Configuration dialog, OK");
    // The prefix decides whether the ports take COM numbers at all.
    if (StoreEnteredPrefix(m_portNamePrefix))
        UpdateComClaims();
    CDialog::OnOK();
}

bool CConfigDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_CONFIGURE:
        OnConfigure();
        return true;
    case IDC_REMOVE_DRIVER:
        OnRemoveDriver();
        return true;
    case IDC_PORT_NUMBERING:
        OnPortNumbering();
        return true;
    case IDC_ADVANCED:
        OnAdvanced();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

bool CConfigDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) != kAboutCommand)
        return false;
    CAboutDlg about;
    about.DoModal();
    return true;
}

void CConfigDlg::OnConfigure()
{
    CBoardSettingsDlg settings;
    settings.DoModal();
}

void CConfigDlg::OnRemoveDriver()
{
    const CAuditScope scope("Remove driver button of the Control Panel applet");
    if (RemoveBoardDriver() == RemovalOutcome::DriverActive)
        return;
    CDialog::OnOK();  // ends without storing the prefix
}

void CConfigDlg::OnPortNumbering()
{
    CPortNumberingDlg numbering;
    numbering.DoModal();
}

void CConfigDlg::OnAdvanced()
{
    CAdvancedDlg advanced;
    advanced.DoModal();
}

}  // namespace qb480
