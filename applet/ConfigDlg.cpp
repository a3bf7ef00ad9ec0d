#include "ConfigDlg.h"

#include <mbstring.h>

#include <vector>

#include "AboutDlg.h"
#include "AdvancedDlg.h"
#include "App.h"
#include "BoardSettingsDlg.h"
#include "DataExchange.h"
#include "Install.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "PortModes.h"
#include "PortNumberingDlg.h"
#include "PrefixText.h"
#include "Registry.h"
#include "RemoveDriver.h"
#include "ServiceControl.h"
#include "resource.h"

namespace qb480 {

namespace {

constexpr std::size_t kVersionBuffer = 100;
constexpr char kDriverNotActive[] = "Driver not active";
constexpr char kDefaultPrefix[] = "COM";

// The run-time's multibyte-aware upper-casing in the current code page.
std::string RuntimeUpperCase(const std::string& text)
{
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    _mbsupr(buffer.data());
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace

void ReadVersions(std::string& driverText, std::string& firmwareText)
{
    const fw::UniqueHkey key = CreateKeyForReadWrite(kDriverParamKey);
    if (auto text = ReadText(key.get(), kValueDriverVersion, kVersionBuffer))
        driverText = *text;
    if (auto text = ReadText(key.get(), kValueFirmwareVersion, kVersionBuffer))
        firmwareText = *text;
}

bool ReadPortNamePrefix(std::string& prefixText)
{
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    if (!key)
        return false;
    // Read whole: a prefix the administrator stored is never cut. One too
    // long to name any port is read as a failure, as in the advanced options.
    const WholeText read = ReadWholeText(key.get(), kValuePortNamePrefix, kMaxPrefixLength + 1);
    if (!read.text)
        return false;
    prefixText = *read.text;
    return true;
}

void StorePortNamePrefix(const std::string& prefix)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (key && !WriteText(key.get(), kValuePortNamePrefix, RuntimeUpperCase(prefix)))
        fw::AppMessageBox("Could not write Port Name Prefix");
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
    LoadPortNamePrefix();
    StorePortNamePrefix(m_portNamePrefix);
    UpdateData(false);
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

void CConfigDlg::LoadPortNamePrefix()
{
    std::string prefix(12, ' ');
    m_portNamePrefix = ReadPortNamePrefix(prefix) ? TrimWhiteSpace(prefix) : kDefaultPrefix;
}

void CConfigDlg::OnOK()
{
    UpdateData(true);
    StorePortNamePrefix(TrimWhiteSpace(m_portNamePrefix));
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
    if (VDXDriverStarted()) {
        fw::AppMessageBox(
            "The driver is active. Please close all the applications that are using qb480 ports and then stop "
            "the driver manually before attempting to remove it.");
        return;
    }
    {
        const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        RemoveDriver(manager.get(), "vdxqb480");
    }
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
