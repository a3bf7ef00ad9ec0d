#include "AdvancedDlg.h"
#include "windows/AuditLog.h"

#include <new>
#include <string>

#include "DataExchange.h"
#include "MessageBox.h"
#include "MessageBox.h"
#include "board/PortModes.h"
#include "board/PortModeWords.h"
#include "resource.h"

namespace qb480 {

namespace {

PortState g_ports;  // lives as long as the module, as the driver's facts are kept

constexpr DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;               // 0x50010003
constexpr DWORD kPortListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;  // 0x50210003

}  // namespace

bool CHalfDuplexCheckBox::OnReflectedCommand(WORD code)
{
    if (code != BN_CLICKED)
        return false;
    m_dialog.OnHalfDuplexClicked();
    return true;
}

bool CPortComboBox::OnReflectedCommand(WORD code)
{
    if (code != CBN_SELCHANGE)
        return false;
    m_dialog.ShowSelectedPort();
    return true;
}

CAdvancedDlg::CAdvancedDlg(HWND parent)
    : CDialog(IDD_ADVANCED, parent),
      m_halfDuplex(new (std::nothrow) CHalfDuplexCheckBox(*this)),
      m_portList(new (std::nothrow) CPortComboBox(*this))
{
    if (!m_halfDuplex)
        fw::AppMessageBox("Cannot create CheckBox");
}

CAdvancedDlg::~CAdvancedDlg() = default;

void CAdvancedDlg::DoDataExchange(fw::CDataExchange& dx)
{
    dx.Text(IDC_RX_TIMEOUT, m_rxTimeout);
    dx.MinMax(IDC_RX_TIMEOUT, m_rxTimeout, kRxTimeoutRange.low, kRxTimeoutRange.high);
    dx.Text(IDC_RX_THRESHOLD, m_rxThreshold);
    dx.MinMax(IDC_RX_THRESHOLD, m_rxThreshold, kRxThresholdRange.low, kRxThresholdRange.high);
    dx.Text(IDC_TX_LOAD, m_txLoad);
    dx.MinMax(IDC_TX_LOAD, m_txLoad, kTxLoadRange.low, kTxLoadRange.high);
}

BOOL CAdvancedDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CreateCheckBoxes();
    ReadPortData(g_ports);
    LoadPortTable();
    if (!m_portList || !m_portList->Create(kPortListStyle, RECT{80, 28, 200, 119}, *this, IDC_PORT_LIST))
        fw::AppMessageBox("ComboBox not created");
    FillPortList();
    ShowSelectedPort();
    return FALSE;  // no control gets the focus
}

void CAdvancedDlg::CreateCheckBoxes()
{
    if (!m_multidrop.Create("RS-485 Multidrop Mode Enabled", kCheckBoxStyle, RECT{30, 60, 340, 110}, *this,
                            IDC_MULTIDROP))
        fw::AppMessageBox("Could not create Checkbox");
    // Without its object (already reported) the dialog works without the box.
    if (m_halfDuplex && !m_halfDuplex->Create("RS-485 Half Duplex Mode Enabled", kCheckBoxStyle,
                                              RECT{30, 100, 340, 150}, *this, IDC_HALF_DUPLEX))
        fw::AppMessageBox("Could not create Checkbox");
}

void CAdvancedDlg::LoadPortTable()
{
    m_portTable = ReadSpecialModes(g_ports, PortsToList(g_ports));
}

void CAdvancedDlg::FillPortList()
{
    if (!m_portList || !m_portList->GetSafeHwnd())
        return;
    for (std::uint32_t i = 0; i < m_portTable.size(); ++i)
        m_portList->AddString(PortName(g_ports.prefix, g_ports.first + i));
    m_portList->SetCurSel(0);
}

void CAdvancedDlg::EnableEditing(bool enable)
{
    for (int id : {IDC_RX_TIMEOUT, IDC_RX_THRESHOLD, IDC_TX_LOAD, IDC_APPLY, IDC_MULTIDROP, IDC_HALF_DUPLEX})
        if (HWND control = GetDlgItem(id))
            EnableWindow(control, enable);
}

int CAdvancedDlg::SelectedPort() const
{
    const int index = m_portList && m_portList->GetSafeHwnd() ? m_portList->GetCurSel() : CB_ERR;
    return index >= 0 && static_cast<std::size_t>(index) < m_portTable.size() ? index : -1;
}

// With no port there is nothing to show or store: the fields stay empty and
// disabled rather than showing values no port has.
void CAdvancedDlg::ShowNoPort()
{
    EnableEditing(false);
    for (int id : {IDC_RX_TIMEOUT, IDC_RX_THRESHOLD, IDC_TX_LOAD})
        SetDlgItemTextA(m_hWnd, id, "");
    m_multidrop.SetCheck(BST_UNCHECKED);
    if (m_halfDuplex)
        m_halfDuplex->SetCheck(BST_UNCHECKED);
}

void CAdvancedDlg::ShowSelectedPort()
{
    const int index = SelectedPort();
    if (index < 0)
        return ShowNoPort();
    EnableEditing(true);
    const SpecialModes modes = UnpackSpecialModes(m_portTable[static_cast<std::size_t>(index)]);
    m_multidrop.SetCheck(modes.multidrop ? BST_CHECKED : BST_UNCHECKED);
    if (m_halfDuplex)
        m_halfDuplex->SetCheck(modes.halfDuplex ? BST_CHECKED : BST_UNCHECKED);
    m_txLoad = modes.txLoad;
    m_rxThreshold = modes.rxThreshold;
    m_rxTimeout = modes.rxTimeout;
    UpdateData(false);
}

void CAdvancedDlg::OnHalfDuplexClicked()
{
    if (m_halfDuplex->GetCheck() == BST_CHECKED && m_multidrop.GetCheck() != BST_CHECKED)
        m_multidrop.SetCheck(BST_CHECKED);
}

bool CAdvancedDlg::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id) {
    case IDC_APPLY:
        OnApply();
        return true;
    case IDC_EXIT:
    case IDCANCEL:
        EndDialog(IDCANCEL);
        return true;
    case IDOK:
        return true;  // Enter neither applies nor closes
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CAdvancedDlg::OnApply()
{
    const int index = SelectedPort();
    if (index < 0 || !UpdateData(true))
        return;
    const std::string portName = m_portList->GetLBText(index);
    SpecialModes modes;
    modes.multidrop = m_multidrop.GetCheck() == BST_CHECKED;
    modes.halfDuplex = m_halfDuplex && m_halfDuplex->GetCheck() == BST_CHECKED;
    modes.txLoad = m_txLoad;
    modes.rxThreshold = m_rxThreshold;
    modes.rxTimeout = m_rxTimeout;
    const std::uint32_t word = PackSpecialModes(modes);
    m_portTable[static_cast<std::size_t>(index)] = word;
    const CAuditScope scope("Advanced Options dialog, Apply");
    StoreSpecialModes(portName, word);
}

}  // namespace qb480
