#pragma once
#include <cstdint>

#include "Dialog.h"

namespace qb480 {

// The index from which the board's ports are numbered: FirstPort exists
// only while "Start from this index:" is checked.
class CPortNumberingDlg : public fw::CDialog {
public:
    explicit CPortNumberingDlg(HWND parent = nullptr);

    std::uint32_t m_nFirstPort = 0;
    int m_bStartFrom = 0;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};

}  // namespace qb480
