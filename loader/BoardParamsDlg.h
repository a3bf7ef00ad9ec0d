#pragma once
#include <string>

#include "Dialog.h"

namespace qb480 {

// Asks the operator for the board's memory segment and port address when no
// board driver is installed to copy them from.
class CBoardParamsDlg : public fw::CDialog {
public:
    explicit CBoardParamsDlg(HWND parent = nullptr);

    std::string m_memorySegment;
    std::string m_portAddress;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    void OnOK() override;
};

}  // namespace qb480
