#include "PortNumberingDlg.h"
#include "windows/AuditLog.h"

#include "DataExchange.h"
#include "MessageBox.h"
#include "board/ComClaims.h"
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
    const CAuditScope scope("Port Numbering dialog");
    if (m_bStartFrom && !IsValidFirstPort(m_nFirstPort)) {
        fw::AppMessageBox(kFirstPortZeroMessage);
        RecordRefusedFirstPort(m_nFirstPort, kFirstPortZeroMessage);
        return;
    }
    if (m_bStartFrom)
        WarnOfNumbersHeldByOthers();
    // The driver takes the index at its next start: its numbers are claimed now.
    if (StoreFirstPort(m_bStartFrom ? std::optional<std::uint32_t>(m_nFirstPort) : std::nullopt))
        UpdateComClaims();
    CDialog::OnOK();
}

void CPortNumberingDlg::WarnOfNumbersHeldByOthers() const
{
    const std::vector<HeldNumber> held = NumbersHeldByOthers(m_nFirstPort);
    if (!held.empty())
        fw::AppMessageBox(CollisionMessage(held, m_nFirstPort).c_str());
}

}  // namespace qb480
