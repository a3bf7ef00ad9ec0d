#include "BoardParamsDlg.h"

#include "DataExchange.h"
#include "LoaderService.h"
#include "MessageBox.h"
#include "resource.h"

namespace qb480 {

CBoardParamsDlg::CBoardParamsDlg(HWND parent) : CDialog(IDD_BOARD_PARAMS, parent) {}

void CBoardParamsDlg::DoDataExchange(fw::CDataExchange& dx)
{
    dx.Text(IDC_MEMORY_SEGMENT, m_memorySegment);
    dx.Text(IDC_PORT_ADDRESS, m_portAddress);
}

void CBoardParamsDlg::OnOK()
{
    const fw::CMessageOwner owner(m_hWnd);
    UpdateData(true);
    const BoardCheck check = StoreBoardEntries(m_memorySegment, m_portAddress);
    if (check != BoardCheck::Ok) {
        fw::EntryRefusedBox(BoardCheckMessage(check));
        return;
    }
    CDialog::OnOK();
}

}  // namespace qb480
