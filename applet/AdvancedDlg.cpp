#include "AdvancedDlg.h"

#include <new>
#include <string>

#include "DataExchange.h"
#include "EntryText.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "Registry.h"
#include "PortModes.h"
#include "resource.h"

namespace qb480 {

namespace {

// What the driver reports about the board's ports. It lives as long as the
// module: a value that cannot be read keeps what an earlier opening read.
struct PortState {
    std::uint32_t count = 0;
    std::uint32_t first = 0;
    std::string prefix;
    bool prefixNamesPorts = true;  // false after a prefix too long for any value name
};
PortState g_ports;

constexpr DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;               // 0x50010003
constexpr DWORD kPortListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;  // 0x50210003

void RefusePrefix()
{
    g_ports.prefixNamesPorts = false;
    fw::AppMessageBox("The Port Name Prefix is too long to name the ports; shorten it in the main dialog.");
}

// Read whole: the main dialog stores a prefix of any length, and a cut one
// would name other ports. One too long for any value name is reported and
// names no port (longer data is not even read); a missing one is not
// reported and leaves the one read before.
void ReadPortNamePrefix(HKEY key)
{
    const WholeText read = ReadWholeText(key, kValuePortNamePrefix, kMaxPrefixLength + 1);
    if (read.tooLong || (read.text && read.text->size() > kMaxPrefixLength))
        return RefusePrefix();
    if (!read.text)
        return;
    g_ports.prefix = *read.text;
    g_ports.prefixNamesPorts = true;
}

void ReadPortData()
{
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    if (!key)
        return;
    if (const auto count = ReadDword(key.get(), kValueTotalNumberOfPorts))
        g_ports.count = *count;
    else
        fw::AppMessageBox("Couldn't get TotalNumberOfPorts from registry");
    if (const auto first = ReadDword(key.get(), kValuePortsStartingAt))
        g_ports.first = *first;
    else
        fw::AppMessageBox("Couldn't read PortsStartingAt from registry");
    ReadPortNamePrefix(key.get());
}

// How many ports the dialog lists; says so when that is fewer than reported.
std::uint32_t PortsToList()
{
    if (!g_ports.prefixNamesPorts)
        return 0;
    const std::uint32_t listable = ListablePorts(g_ports.count, g_ports.first);
    if (listable < g_ports.count) {
        const std::string message = "The driver reports " + fw::DecimalText(g_ports.count) +
                                    " ports starting at " + fw::DecimalText(g_ports.first) + "; only " +
                                    fw::DecimalText(listable) + " of them can be configured here.";
        fw::AppMessageBox(message.c_str());
    }
    return listable;
}

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
    dx.MinMax(IDC_RX_TIMEOUT, m_rxTimeout, 1, 255);
    dx.Text(IDC_RX_THRESHOLD, m_rxThreshold);
    dx.MinMax(IDC_RX_THRESHOLD, m_rxThreshold, 0, 12);
    dx.Text(IDC_TX_LOAD, m_txLoad);
    dx.MinMax(IDC_TX_LOAD, m_txLoad, 1, 12);
}

BOOL CAdvancedDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CreateCheckBoxes();
    ReadPortData();
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
    m_portTable.assign(PortsToList(), kDefaultSpecialModes);
    const fw::UniqueHkey key = OpenKeyForQuery(kSpecialModesKey);
    if (!key)
        return;
    for (std::uint32_t i = 0; i < m_portTable.size(); ++i) {
        if (const auto word = ReadDword(key.get(), PortName(g_ports.prefix, g_ports.first + i).c_str()))
            m_portTable[i] = *word;
    }
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

    const fw::UniqueHkey key = CreateKeyForWriting(kSpecialModesKey);
    if (!key) {
        fw::AppMessageBox("Could not open registry key");
        return;
    }
    if (!WriteDword(key.get(), portName.c_str(), word))
        fw::AppMessageBox("Could not write the magic data");
}

}  // namespace qb480
