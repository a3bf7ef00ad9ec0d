#include "PortNumberingDlg.h"

#include "DataExchange.h"
#include "MessageBox.h"
#include "board/PortNumbering.h"
#include "resource.h"

namespace qb480 {

CPortNumberingDlg::CPortNumberingDlg(HWND parent) : CDialog(IDD_PORT_NUMBERING, parent) {}

void CPortNumberingDlg::DoDataExchange(fw::CDataExchange& dx)
{
    dx.Text(IDC_FIRST_PORT, m_nFirstPort);
    dx.Check(IDC_START_FROM, m_bStartFrom);
}

BOOL CPortNumberingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (const auto firstPort = ReadFirstPort()) {
        m_nFirstPort = *firstPort;
        m_bStartFrom = 1;
    }
    UpdateData(false);
    return FALSE;
}

void CPortNumberingDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (m_bStartFrom && !IsValidFirstPort(m_nFirstPort)) {
        fw::AppMessageBox(kFirstPortZeroMessage);
        return;
    }
    StoreFirstPort(m_bStartFrom ? std::optional<std::uint32_t>(m_nFirstPort) : std::nullopt);
    CDialog::OnOK();
}

}  // namespace qb480
