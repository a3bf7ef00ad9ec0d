#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "Control.h"
#include "Dialog.h"

namespace qb480 {

class CAdvancedDlg;

// Checking half duplex also checks multidrop.
class CHalfDuplexCheckBox : public fw::CButton {
public:
    explicit CHalfDuplexCheckBox(CAdvancedDlg& dialog) : m_dialog(dialog) {}
    bool OnReflectedCommand(WORD code) override;

private:
    CAdvancedDlg& m_dialog;
};

// Selecting a port shows its stored settings.
class CPortComboBox : public fw::CComboBox {
public:
    explicit CPortComboBox(CAdvancedDlg& dialog) : m_dialog(dialog) {}
    bool OnReflectedCommand(WORD code) override;

private:
    CAdvancedDlg& m_dialog;
};

// Per-port special modes: one port's word stored per Apply.
class CAdvancedDlg : public fw::CDialog {
public:
    explicit CAdvancedDlg(HWND parent = nullptr);
    ~CAdvancedDlg() override;

    std::uint8_t m_rxTimeout = 0;
    std::uint8_t m_rxThreshold = 0;
    std::uint8_t m_txLoad = 0;
    fw::CButton m_multidrop;
    std::unique_ptr<CHalfDuplexCheckBox> m_halfDuplex;
    std::unique_ptr<CPortComboBox> m_portList;
    std::vector<std::uint32_t> m_portTable;

    void ShowSelectedPort();
    void OnHalfDuplexClicked();

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void CreateCheckBoxes();
    void LoadPortTable();
    void FillPortList();
    void EnableEditing(bool enable);
    int SelectedPort() const;  // index into the port table, or -1
    void ShowNoPort();
    void OnApply();
};

}  // namespace qb480
