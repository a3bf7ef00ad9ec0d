#include "BoardParamsDlg.h"

#include "BoardRules.h"
#include "DataExchange.h"
#include "LoaderService.h"
#include "MessageBox.h"
#include "SystemText.h"
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
    m_memorySegment = SystemUpperCase(m_memorySegment);
    m_portAddress = SystemUpperCase(m_portAddress);
    const std::uint32_t memory = ParseHexText(m_memorySegment.c_str());
    const std::uint32_t port = ParseHexText(m_portAddress.c_str());
    const BoardCheck check = ValidateBoardResources(memory, port);
    if (check != BoardCheck::Ok) {
        fw::AppMessageBox(BoardCheckMessage(check));
        return;
    }
    WriteBoardParameters(memory, port);
    CDialog::OnOK();
}

}  // namespace qb480
