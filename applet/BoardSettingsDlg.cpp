#include "BoardSettingsDlg.h"
#include "windows/AuditLog.h"

#include "board/BoardSettings.h"
#include "DataExchange.h"
#include "EntryText.h"
#include "MessageBox.h"
#include "resource.h"

namespace qb480 {

CBoardSettingsDlg::CBoardSettingsDlg() : CDialog(IDD_BOARD_SETTINGS) {}

void CBoardSettingsDlg::DoDataExchange(fw::CDataExchange& dx)
{
    dx.Text(IDC_IRQ, m_irq);
    dx.Text(IDC_MEMORY, m_memoryText);
    dx.Text(IDC_PORT, m_portText);
}

BOOL CBoardSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowTextA(m_hWnd, "Board Settings");
    const BoardResources stored = ReadBoardResources();
    m_memoryText = fw::HexText(stored.memory);
    m_portText = fw::HexText(stored.port);
    m_irq = stored.irq;
    UpdateData(false);
    return TRUE;
}

void CBoardSettingsDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    const CAuditScope scope("Board Settings dialog");
    const JudgedResources judged = JudgeBoardEntries(m_memoryText, m_portText, m_irq);
    if (judged.check != BoardCheck::Ok) {
        fw::AppMessageBox(BoardCheckMessage(judged.check));
        const BoardResources& asked = judged.resources;
        RecordRefusedBoardValues({asked.memory, asked.port, asked.irq}, BoardCheckMessage(judged.check));
        return;
    }
    StoreBoardResources(judged.resources);
    CDialog::OnOK();
}

}  // namespace qb480
