#include "PortNumberingDlg.h"

#include "DataExchange.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "Registry.h"
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
    {
        const fw::UniqueHkey key = CreateKeyForReading(kDriverParamKey);
        if (!key)
            fw::AppMessageBox("Could not open registry key");
        if (const auto firstPort = ReadDword(key.get(), kValueFirstPort)) {
            m_nFirstPort = *firstPort;
            m_bStartFrom = 1;
        }
    }
    UpdateData(false);
    return FALSE;
}

void CPortNumberingDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (m_bStartFrom && m_nFirstPort == 0) {
        fw::AppMessageBox("Please enter a valid number");
        return;
    }
    StoreChoice();
    CDialog::OnOK();
}

void CPortNumberingDlg::StoreChoice()
{
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key) {
        fw::AppMessageBox("Could not open registry key");
        return;
    }
    if (m_bStartFrom) {
        if (!WriteDword(key.get(), kValueFirstPort, m_nFirstPort))
            fw::AppMessageBox("Could not write first port suffix");
    } else {
        DeleteValue(key.get(), kValueFirstPort);  // a value that was not there is fine
    }
}

}  // namespace qb480
