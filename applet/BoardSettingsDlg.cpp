#include "BoardSettingsDlg.h"


#include "BoardRules.h"
#include "DataExchange.h"
#include "EntryText.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "Registry.h"
#include "SystemText.h"
#include "resource.h"

namespace qb480 {

namespace {

std::uint32_t ReadBoardValue(const char* name)
{
    const fw::UniqueHkey key = CreateKeyForReadWrite(kDriverParamKey);
    return ReadDword(key.get(), name).value_or(0);
}

}  // namespace

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
    m_memoryText = fw::HexText(ReadBoardValue(kValueMemSeg));
    m_portText = fw::HexText(ReadBoardValue(kValuePort));
    m_irq = ReadBoardValue(kValueIrq);
    UpdateData(false);
    return TRUE;
}

void CBoardSettingsDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    m_memoryText = SystemUpperCase(m_memoryText);
    m_portText = SystemUpperCase(m_portText);
    const std::uint32_t memory = ParseHexText(m_memoryText.c_str());
    const std::uint32_t port = ParseHexText(m_portText.c_str());
    const BoardCheck check = ValidateBoardResources(memory, port, m_irq);
    if (check != BoardCheck::Ok) {
        fw::AppMessageBox(BoardCheckMessage(check));
        return;
    }
    StoreSettings(memory, port);
    CDialog::OnOK();
}

void CBoardSettingsDlg::StoreSettings(std::uint32_t memory, std::uint32_t port)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key)
        return;  // closes as if stored, saying nothing
    if (!WriteDword(key.get(), kValueMemSeg, memory))
        fw::AppMessageBox("Could not write MemSeg");
    if (!WriteDword(key.get(), kValueIrq, m_irq))
        fw::AppMessageBox("Could not write Irq");
    if (!WriteDword(key.get(), kValuePort, port))
        fw::AppMessageBox("Could not write Port");
    fw::AppMessageBox("Configuration stored in the Registry");
}

}  // namespace qb480
