#pragma once
#include <cstdint>
#include <string>

#include "Dialog.h"

namespace qb480 {

// The board's memory address, port address and IRQ: shown from the driver's
// parameter key, judged by the board rules, stored on OK.
class CBoardSettingsDlg : public fw::CDialog {
public:
    CBoardSettingsDlg();

    std::uint32_t m_irq = 0;
    std::string m_memoryText;
    std::string m_portText;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};

}  // namespace qb480
