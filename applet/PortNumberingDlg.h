#pragma once
#include <cstdint>

#include "Dialog.h"

namespace qb480 {

// The index from which the board's ports are numbered: FirstPort exists
// only while "Start from this index:" is checked. A chosen index whose
// COM numbers other devices hold is stored all the same, after a warning.
class CPortNumberingDlg : public fw::CDialog {
public:
    explicit CPortNumberingDlg(HWND parent = nullptr);

    std::uint32_t m_nFirstPort = 0;
    int m_bStartFrom = 0;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    // Names the numbers from the chosen index that other devices hold.
    void WarnOfNumbersHeldByOthers() const;
};

}  // namespace qb480
