#pragma once
#include <string>

#include "Dialog.h"

namespace qb480 {

// The applet's main window: installs the driver service on first use, shows
// the driver's versions and keeps the port-name prefix.
class CConfigDlg : public fw::CDialog {
public:
    explicit CConfigDlg(HWND parent = nullptr);

    std::string m_driverVersion;
    std::string m_firmwareVersion;
    std::string m_portNamePrefix;
    HICON m_hIcon;

protected:
    void DoDataExchange(fw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;

private:
    void ShowVersions();
    void OnConfigure();
    void OnRemoveDriver();
    void OnPortNumbering();
    void OnAdvanced();
};

// The driver's two version texts, each read into 100 bytes; a text that
// cannot be read keeps what it held.
void ReadVersions(std::string& driverText, std::string& firmwareText);

}  // namespace qb480
